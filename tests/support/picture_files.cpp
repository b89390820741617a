#include "tests/support/picture_files.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace salvorine::test {
namespace {

// Little-endian fields appended one after the other.
class ByteWriter {
 public:
  ByteWriter& U8(unsigned value) {
    bytes_.push_back(static_cast<char>(value & 0xFF));
    return *this;
  }
  ByteWriter& U16(unsigned value) { return U8(value).U8(value >> 8); }
  ByteWriter& U32(std::uint32_t value) { return U16(value & 0xFFFF).U16(value >> 16); }
  ByteWriter& I16(int value) { return U16(static_cast<unsigned>(value) & 0xFFFF); }
  ByteWriter& I32(std::int32_t value) { return U32(static_cast<std::uint32_t>(value)); }
  ByteWriter& Raw(const std::string& bytes) {
    bytes_ += bytes;
    return *this;
  }
  // A COLORREF: red, green, blue, zero.
  ByteWriter& Colour(QRgb colour) { return U8(colour >> 16).U8(colour >> 8).U8(colour).U8(0); }
  // A pixel as bitmaps store it: blue, green, red.
  ByteWriter& Bgr(QRgb colour) { return U8(colour).U8(colour >> 8).U8(colour >> 16); }
  void PutU32(std::size_t at, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes_.at(at++) = static_cast<char>((value >> shift) & 0xFF);
  }

  const std::string& Bytes() const { return bytes_; }
  std::uint32_t Size() const { return static_cast<std::uint32_t>(bytes_.size()); }

 private:
  std::string bytes_;
};

void Save(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path);
}

std::string Load(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A BITMAPINFOHEADER for uncompressed pixels.
void InfoHeader(ByteWriter& out, int width, int height, unsigned bit_count, std::uint32_t image_size) {
  out.U32(40).I32(width).I32(height).U16(1).U16(bit_count).U32(0).U32(image_size).I32(2835).I32(2835).U32(0).U32(0);
}

// An 8x4 24-bit picture of kMetafileBitmapColour, header and pixels.
std::string MetafileBitmap() {
  ByteWriter dib;
  InfoHeader(dib, 8, 4, 24, 96);
  for (int pixel = 0; pixel < 32; ++pixel) {
    dib.Bgr(kMetafileBitmapColour);
  }
  return dib.Bytes();
}

// Pseudo-random noise in [-8, 8], the same on every run.
class Noise {
 public:
  int Next() {
    state_ = state_ * 1103515245u + 12345u;
    return static_cast<int>((state_ >> 16) % 17) - 8;
  }

 private:
  std::uint32_t state_ = 1;
};

unsigned char Clamp(int value) { return static_cast<unsigned char>(std::clamp(value, 0, 255)); }

// Every AC coefficient of every component in its own band, each refined bit
// by bit: 1 + 63 * 11 scans per component.
std::vector<jpeg_scan_info> ThousandsOfScans(int components) {
  std::vector<jpeg_scan_info> scans;
  jpeg_scan_info dc{};
  dc.comps_in_scan = components;
  for (int component = 0; component < components; ++component) dc.component_index[component] = component;
  scans.push_back(dc);
  for (int component = 0; component < components; ++component) {
    for (int coefficient = 1; coefficient < 64; ++coefficient) {
      for (int bit = 10; bit >= 0; --bit) {
        jpeg_scan_info scan{};
        scan.comps_in_scan = 1;
        scan.component_index[0] = component;
        scan.Ss = scan.Se = coefficient;
        scan.Ah = bit == 10 ? 0 : bit + 1;
        scan.Al = bit;
        scans.push_back(scan);
      }
    }
  }
  return scans;
}

// The samples of one row: left half one colour, right half the other.
std::vector<JSAMPLE> JpegRow(const JpegOptions& options, int components, Noise& noise) {
  static constexpr unsigned char kRgb[2][3] = {{255, 0, 0}, {0, 0, 255}};
  static constexpr unsigned char kInvertedCmyk[2][4] = {{255, 0, 0, 255}, {0, 0, 255, 255}};
  std::vector<JSAMPLE> row;
  for (int x = 0; x < options.width; ++x) {
    const int half = x < options.width / 2 ? 0 : 1;
    for (int channel = 0; channel < components; ++channel) {
      int value = 0;
      if (options.colours == JpegColours::kGray) value = half == 0 ? kJpegGrayLeft : kJpegGrayRight;
      if (options.colours == JpegColours::kRgb) value = kRgb[half][channel];
      if (options.colours == JpegColours::kCmyk) value = kInvertedCmyk[half][channel];
      row.push_back(Clamp(value + noise.Next()));
    }
  }
  return row;
}

// Appends a WMF record: size in 16-bit words, function, parameters. Returns
// the size.
std::uint32_t WmfRecord(ByteWriter& out, unsigned function, const ByteWriter& parameters) {
  const std::uint32_t words = (6 + parameters.Size()) / 2;
  out.U32(words).U16(function).Raw(parameters.Bytes());
  return words;
}

// Appends an EMF record: type, size in bytes, parameters.
void EmfRecord(ByteWriter& out, std::uint32_t type, const ByteWriter& parameters) {
  out.U32(type).U32(8 + parameters.Size()).Raw(parameters.Bytes());
}

}  // namespace

QRgb BmpPixel(int x, int y) { return qRgb(20 + 40 * x, 10 + 80 * y, 255 - 30 * x - 50 * y); }

void WriteBmp(const std::string& path) {
  constexpr int kWidth = 5, kHeight = 3, kStride = 16;
  ByteWriter out;
  out.U8('B').U8('M').U32(54 + kStride * kHeight).U32(0).U32(54);
  InfoHeader(out, kWidth, kHeight, 24, kStride * kHeight);
  for (int y = kHeight - 1; y >= 0; --y) {  // bottom row first
    for (int x = 0; x < kWidth; ++x) out.Bgr(BmpPixel(x, y));
    for (int padding = 3 * kWidth; padding < kStride; ++padding) out.U8(0);
  }
  Save(path, out.Bytes());
}

void WriteIco(const std::string& path) {
  const struct {
    int side;
    QRgb colour;
  } pictures[] = {{16, kSmallIconColour}, {32, kLargeIconColour}};

  ByteWriter images;
  ByteWriter directory;
  directory.U16(0).U16(1).U16(2);
  const std::uint32_t first_image = 6 + 2 * 16;
  for (const auto& picture : pictures) {
    const std::uint32_t mask_size = static_cast<std::uint32_t>((picture.side + 31) / 32 * 4 * picture.side);
    const std::uint32_t pixel_size = static_cast<std::uint32_t>(picture.side * picture.side * 4);
    const std::uint32_t offset = first_image + images.Size();
    InfoHeader(images, picture.side, 2 * picture.side, 32, pixel_size + mask_size);
    for (int pixel = 0; pixel < picture.side * picture.side; ++pixel) {
      images.Bgr(picture.colour).U8(255);
    }
    for (std::uint32_t byte = 0; byte < mask_size; ++byte) images.U8(0);
    directory.U8(static_cast<unsigned>(picture.side)).U8(static_cast<unsigned>(picture.side)).U8(0).U8(0);
    directory.U16(1).U16(32).U32(images.Size() + first_image - offset).U32(offset);
  }
  Save(path, directory.Bytes() + images.Bytes());
}

void WriteJpeg(const std::string& path, const JpegOptions& options) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);

  int components = 3;
  info.in_color_space = JCS_RGB;
  if (options.colours == JpegColours::kGray) components = 1, info.in_color_space = JCS_GRAYSCALE;
  if (options.colours == JpegColours::kCmyk) components = 4, info.in_color_space = JCS_CMYK;
  info.image_width = static_cast<JDIMENSION>(options.width);
  info.image_height = static_cast<JDIMENSION>(options.height);
  info.input_components = components;
  jpeg_set_defaults(&info);
  // Full quality keeps the noise and small tables leave room for it, so that
  // most of the file is pixel data and a cut file still holds whole rows.
  jpeg_set_quality(&info, 100, TRUE);
  info.optimize_coding = TRUE;
  std::vector<jpeg_scan_info> scans;
  if (options.scans == JpegScans::kProgressive) jpeg_simple_progression(&info);
  if (options.scans == JpegScans::kThousands) {
    scans = ThousandsOfScans(info.num_components);
    info.scan_info = scans.data();
    info.num_scans = static_cast<int>(scans.size());
  }

  jpeg_start_compress(&info, TRUE);
  Noise noise;
  while (info.next_scanline < info.image_height) {
    std::vector<JSAMPLE> row = JpegRow(options, components, noise);
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  const std::string bytes(reinterpret_cast<const char*>(buffer), size);
  std::free(buffer);
  jpeg_destroy_compress(&info);
  Save(path, bytes);
}

void WriteTruncatedCopy(const std::string& from, const std::string& to, double fraction) {
  const std::string bytes = Load(from);
  Save(to, bytes.substr(0, static_cast<std::size_t>(static_cast<double>(bytes.size()) * fraction)));
}

void WriteWmf(const std::string& path, const MetafileExtras& extras) {
  ByteWriter records;
  std::uint32_t largest = 0;
  const auto add = [&records, &largest](unsigned function, const ByteWriter& parameters) {
    largest = std::max(largest, WmfRecord(records, function, parameters));
  };
  add(0x020B, ByteWriter().I16(0).I16(0));                                // SETWINDOWORG y, x
  add(0x020C, ByteWriter().I16(500).I16(1000));                           // SETWINDOWEXT y, x
  add(0x02FA, ByteWriter().U16(5).I16(0).I16(0).Colour(0));               // null pen: object 0
  add(0x012D, ByteWriter().U16(0));                                       // SELECTOBJECT
  add(0x041B, ByteWriter().I16(500).I16(1000).I16(0).I16(0));             // the page, in the default white
  add(0x02FC, ByteWriter().U16(0).Colour(kWmfFillColour).U16(0));         // solid brush: object 1
  add(0x012D, ByteWriter().U16(1));
  add(0x041B, ByteWriter().I16(250).I16(800).I16(50).I16(200));           // RECTANGLE b, r, t, l
  if (extras.text) {
    ByteWriter font;
    font.I16(-150).I16(0).I16(0).I16(0).I16(400).U8(0).U8(0).U8(0).U8(0).U8(0).U8(0).U8(0).U8(0);
    add(0x02FB, font.Raw(std::string("Arial\0", 6)));                     // CREATEFONTINDIRECT: object 2
    add(0x012D, ByteWriter().U16(2));
    add(0x0209, ByteWriter().Colour(qRgb(0, 0, 0)));                      // SETTEXTCOLOR
    add(0x0102, ByteWriter().U16(1));                                     // SETBKMODE transparent
    ByteWriter text;
    text.U16(static_cast<unsigned>(extras.words.size())).Raw(extras.words);
    if (extras.words.size() % 2 != 0) text.U8(0);
    add(0x0521, text.I16(300).I16(300));                                  // TEXTOUT y, x
  }
  if (extras.bitmap) {
    ByteWriter stretch;  // SRCCOPY, RGB colours, source 4x8 at 0,0, destination 150x100 at (50, 300)
    stretch.U32(0x00CC0020).U16(0).I16(4).I16(8).I16(0).I16(0).I16(150).I16(100).I16(300).I16(50);
    add(0x0F43, stretch.Raw(MetafileBitmap()));                           // STRETCHDIB
  }
  add(0x0000, ByteWriter());                                              // EOF

  ByteWriter out;
  out.U32(0x9AC6CDD7).U16(0).I16(0).I16(0).I16(1000).I16(500).U16(500).U32(0);
  unsigned checksum = 0;
  for (std::size_t at = 0; at < 20; at += 2) {
    checksum ^= static_cast<unsigned char>(out.Bytes()[at]) | static_cast<unsigned>(static_cast<unsigned char>(out.Bytes()[at + 1])) << 8;
  }
  out.U16(checksum);
  const std::uint32_t words = (18 + records.Size()) / 2;
  const unsigned objects = extras.text ? 3 : 2;
  out.U16(1).U16(9).U16(0x0300).U32(words).U16(objects).U32(largest).U16(0);
  Save(path, out.Raw(records.Bytes()).Bytes());
}

void WriteEmf(const std::string& path, const MetafileExtras& extras) {
  ByteWriter records;
  std::uint32_t count = 0;
  const auto add = [&records, &count](std::uint32_t type, const ByteWriter& parameters) {
    EmfRecord(records, type, parameters);
    ++count;
  };
  add(39, ByteWriter().U32(1).U32(0).Colour(kEmfFillColour).U32(0));  // CREATEBRUSHINDIRECT: object 1
  add(37, ByteWriter().U32(1));                                       // SELECTOBJECT
  add(43, ByteWriter().I32(40).I32(10).I32(160).I32(50));             // RECTANGLE l, t, r, b
  if (extras.text) {
    ByteWriter font;  // object 2: LOGFONTW, 30 pixels high
    font.U32(2).I32(-30).I32(0).I32(0).I32(0).I32(400).U8(0).U8(0).U8(0).U8(0).U8(0).U8(0).U8(0).U8(0);
    for (const char letter : std::string("Arial")) font.U16(static_cast<unsigned char>(letter));
    for (int padding = 5; padding < 32; ++padding) font.U16(0);
    add(82, font);                                    // EXTCREATEFONTINDIRECTW
    add(37, ByteWriter().U32(2));                     // SELECTOBJECT
    add(24, ByteWriter().Colour(qRgb(0, 0, 0)));      // SETTEXTCOLOR
    add(18, ByteWriter().U32(1));                     // SETBKMODE transparent
    const auto chars = static_cast<std::uint32_t>(extras.words.size());
    const std::uint32_t text_size = (2 * chars + 3) / 4 * 4;
    ByteWriter text;  // EXTTEXTOUTW at (60, 60)
    text.I32(60).I32(60).I32(180).I32(95).U32(1).U32(0).U32(0);
    const std::uint32_t options = extras.glyph_indices ? 0x10 : 0;  // ETO_GLYPH_INDEX
    text.I32(60).I32(60).U32(chars).U32(76).U32(options).I32(0).I32(0).I32(-1).I32(-1).U32(76 + text_size);
    for (const char letter : extras.words) text.U16(static_cast<unsigned char>(letter));  // Latin-1 is UTF-16's start
    for (std::uint32_t padding = 2 * chars; padding < text_size; ++padding) text.U8(0);
    for (std::uint32_t dx = 0; dx < chars; ++dx) text.U32(13);
    add(84, text);
  }
  if (extras.bitmap) {
    const std::string dib = MetafileBitmap();
    ByteWriter stretch;  // STRETCHDIBITS: 8x4 source to 20x30 at (10, 60), SRCCOPY
    stretch.I32(10).I32(60).I32(29).I32(89).I32(10).I32(60).I32(0).I32(0).I32(8).I32(4);
    stretch.U32(80).U32(40).U32(120).U32(static_cast<std::uint32_t>(dib.size() - 40)).U32(0).U32(0x00CC0020);
    stretch.I32(20).I32(30).Raw(dib);
    add(81, stretch);
  }
  add(14, ByteWriter().U32(0).U32(16).U32(20));  // EOF

  ByteWriter out;
  out.U32(1).U32(88);                                // EMR_HEADER
  out.I32(0).I32(0).I32(199).I32(99);                // bounds, pixels
  out.I32(0).I32(0).I32(5273).I32(2643);             // frame, 0.01 mm
  out.U32(0x464D4520).U32(0x10000);                  // " EMF", version
  out.U32(88 + records.Size()).U32(count + 1);       // bytes, records
  out.U16(extras.text ? 3 : 2).U16(0).U32(0).U32(0).U32(0);  // handles, reserved, no description or palette
  out.I32(1024).I32(768).I32(270).I32(203);          // device in pixels and millimetres
  Save(path, out.Raw(records.Bytes()).Bytes());
}

}  // namespace salvorine::test
