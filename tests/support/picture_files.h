#pragma once

#include <QRgb>
#include <string>

// Writers of small, real picture files with known content, for the tests of
// the picture decoders.
namespace salvorine::test {

// A 24-bit BMP of 5x3 pixels (rows padded to four bytes), each pixel its own
// colour: BmpPixel(x, y), with y = 0 the top row.
void WriteBmp(const std::string& path);
QRgb BmpPixel(int x, int y);

// An icon file holding a 16x16 picture of kSmallIconColour and a 32x32 one of
// kLargeIconColour, both 32-bit.
inline constexpr QRgb kSmallIconColour = 0xFF2050C0;
inline constexpr QRgb kLargeIconColour = 0xFFE08020;
void WriteIco(const std::string& path);

enum class JpegColours { kRgb, kGray, kCmyk };
enum class JpegScans { kBaseline, kProgressive, kThousands };

struct JpegOptions {
  int width = 64;
  int height = 32;
  JpegColours colours = JpegColours::kRgb;
  JpegScans scans = JpegScans::kBaseline;
};

// A JPEG whose left half is red and right half blue (dark and light grey for
// kGray; Adobe-style inverted inks for kCmyk), with slight noise so that the
// pixel data outweighs the tables. kThousands splits the picture into over two
// thousand progressive scans.
void WriteJpeg(const std::string& path, const JpegOptions& options = {});
inline constexpr int kJpegGrayLeft = 40;
inline constexpr int kJpegGrayRight = 200;

// The first `fraction` of the file at `from`, written to `to`.
void WriteTruncatedCopy(const std::string& from, const std::string& to, double fraction);

// What a metafile draws on its white page besides a rectangle filled with its
// fill colour. Places are fractions of the page's width and height.
struct MetafileExtras {
  bool text = false;    // `words` in black, from (0.3, 0.6) to about (0.9, 0.95)
  bool bitmap = false;  // a kMetafileBitmapColour picture from (0.05, 0.6) to (0.15, 0.9)
  std::string words = "Salvorine";  // Latin-1
  bool glyph_indices = false;       // EMF only: the text flagged as glyph indices
};
inline constexpr double kRectangleLeft = 0.2, kRectangleTop = 0.1, kRectangleRight = 0.8, kRectangleBottom = 0.5;
inline constexpr QRgb kWmfFillColour = 0xFF008000;  // a colour SVG names ("green")
inline constexpr QRgb kEmfFillColour = 0xFFC81E3C;
inline constexpr QRgb kMetafileBitmapColour = 0xFF0000FF;

// A placeable WMF of a 1000x500-unit page at 500 units per inch, the page
// painted white first.
void WriteWmf(const std::string& path, const MetafileExtras& extras = {});
// An EMF of a 200x100-pixel page.
void WriteEmf(const std::string& path, const MetafileExtras& extras = {});

}  // namespace salvorine::test
