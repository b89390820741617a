// Decoding of recovered pictures for the Preview window: each decoder on
// small generated files, damaged files, and files that are no pictures at all.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <cstdio>
#include <random>
#include <string>

#include "preview/picture_loader.h"
#include "tests/support/picture_files.h"
#include "tests/support/temp_folder.h"

namespace salvorine {
namespace {

using test::TempFolder;

// libemf2svg finalizes fontconfig after drawing glyph-index text, pulling the
// fonts from under Qt, which later aborts. This definition takes the place of
// fontconfig's in the whole test program, so the calls can be counted.
int fontconfig_finalizations = 0;
extern "C" void FcFini() { ++fontconfig_finalizations; }

::testing::AssertionResult Near(QRgb actual, QRgb expected, int tolerance) {
  const int worst = std::max({std::abs(qRed(actual) - qRed(expected)), std::abs(qGreen(actual) - qGreen(expected)),
                              std::abs(qBlue(actual) - qBlue(expected))});
  if (worst <= tolerance) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << QColor(actual).name().toStdString() << " is not within " << tolerance
                                       << " of " << QColor(expected).name().toStdString();
}

// The pixel at a place given as fractions of the picture's width and height.
QRgb At(const QImage& image, double x, double y) {
  return image.pixel(static_cast<int>(x * (image.width() - 1)), static_cast<int>(y * (image.height() - 1)));
}

// How many pixels in the given part of the picture are black or nearly.
int DarkPixels(const QImage& image, double left, double top, double right, double bottom) {
  int dark = 0;
  for (int y = static_cast<int>(top * image.height()); y < static_cast<int>(bottom * image.height()); ++y) {
    for (int x = static_cast<int>(left * image.width()); x < static_cast<int>(right * image.width()); ++x) {
      const QRgb pixel = image.pixel(x, y);
      if (qRed(pixel) < 100 && qGreen(pixel) < 100 && qBlue(pixel) < 100) ++dark;
    }
  }
  return dark;
}

class PictureLoaderTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return folder_ / name; }

  TempFolder folder_;
};

constexpr QRgb kRed = 0xFFFF0000, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

TEST_F(PictureLoaderTest, BmpComesOutPixelForPixelTheRightWayUp) {
  test::WriteBmp(Path("bits.bmp"));
  const QImage image = LoadPicture(Path("bits.bmp"));
  ASSERT_EQ(image.size(), QSize(5, 3));
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(image.pixel(x, y), test::BmpPixel(x, y)) << x << "," << y;
  }
}

TEST_F(PictureLoaderTest, IconGivesItsLargestPicture) {
  test::WriteIco(Path("app.ico"));
  const QImage image = LoadPicture(Path("app.ico"));
  ASSERT_EQ(image.size(), QSize(32, 32));
  EXPECT_EQ(image.pixel(16, 16), test::kLargeIconColour);
}

TEST_F(PictureLoaderTest, ExtensionsAreMatchedWhateverTheirCase) {
  test::WriteBmp(Path("upper.Bmp"));
  test::WriteJpeg(Path("upper.JPG"));
  test::WriteJpeg(Path("long.JpEg"));
  test::WriteWmf(Path("upper.WMF"));
  EXPECT_EQ(LoadPicture(Path("upper.Bmp")).pixel(0, 0), test::BmpPixel(0, 0));
  EXPECT_TRUE(Near(At(LoadPicture(Path("upper.JPG")), 0.2, 0.5), kRed, 40));
  EXPECT_TRUE(Near(At(LoadPicture(Path("long.JpEg")), 0.8, 0.5), kBlue, 40));
  EXPECT_TRUE(Near(At(LoadPicture(Path("upper.WMF")), 0.5, 0.3), test::kWmfFillColour, 8));
}

TEST_F(PictureLoaderTest, JpegHalvesKeepTheirColoursInEveryLayout) {
  const struct {
    const char* name;
    test::JpegOptions options;
  } cases[] = {
      {"baseline.jpg", {}},
      {"progressive.jpg", {.scans = test::JpegScans::kProgressive}},
      {"cmyk.jpg", {.colours = test::JpegColours::kCmyk}},
      {"cmyk-progressive.jpg", {.colours = test::JpegColours::kCmyk, .scans = test::JpegScans::kProgressive}},
  };
  for (const auto& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    test::WriteJpeg(Path(test_case.name), test_case.options);
    const QImage image = LoadPicture(Path(test_case.name));
    ASSERT_EQ(image.size(), QSize(64, 32));
    for (const double y : {0.0, 0.5, 1.0}) {
      EXPECT_TRUE(Near(At(image, 0.2, y), kRed, 40)) << "left at " << y;
      EXPECT_TRUE(Near(At(image, 0.8, y), kBlue, 40)) << "right at " << y;
    }
  }
}

TEST_F(PictureLoaderTest, GrayscaleJpegStaysGray) {
  test::WriteJpeg(Path("gray.jpg"), {.colours = test::JpegColours::kGray});
  const QImage image = LoadPicture(Path("gray.jpg"));
  EXPECT_TRUE(image.isGrayscale());
  EXPECT_NEAR(qGray(At(image, 0.2, 0.5)), test::kJpegGrayLeft, 12);
  EXPECT_NEAR(qGray(At(image, 0.8, 0.5)), test::kJpegGrayRight, 12);
}

TEST_F(PictureLoaderTest, TruncatedJpegKeepsTheRowsBeforeTheCut) {
  test::WriteJpeg(Path("whole.jpg"));
  test::WriteTruncatedCopy(Path("whole.jpg"), Path("cut.jpg"), 0.6);
  const QImage image = LoadPicture(Path("cut.jpg"));
  ASSERT_EQ(image.size(), QSize(64, 32));
  for (int y = 0; y < 4; ++y) {
    EXPECT_TRUE(Near(image.pixel(10, y), kRed, 40)) << "row " << y;
    EXPECT_TRUE(Near(image.pixel(53, y), kBlue, 40)) << "row " << y;
  }
}

TEST_F(PictureLoaderTest, JpegCutInsideItsHeaderIsRefused) {
  test::WriteJpeg(Path("whole.jpg"));
  test::WriteTruncatedCopy(Path("whole.jpg"), Path("stub.jpg"), 0.05);
  EXPECT_THROW(LoadPicture(Path("stub.jpg")), PictureError);
}

TEST_F(PictureLoaderTest, JpegDeclaringAHugePictureIsRefusedBeforeDecoding) {
  test::WriteJpeg(Path("whole.jpg"));
  std::string bytes = test::ReadFile(Path("whole.jpg"));
  const std::size_t frame = bytes.find("\xFF\xC0", 0, 2);
  ASSERT_NE(frame, std::string::npos);
  bytes.replace(frame + 5, 4, "\xEA\x60\xEA\x60", 4);  // 60000 x 60000
  test::WriteFile(Path("huge.jpg"), bytes);
  try {
    LoadPicture(Path("huge.jpg"));
    FAIL() << "a 60000x60000 picture was accepted";
  } catch (const PictureError& error) {
    EXPECT_NE(std::string(error.what()).find("too large"), std::string::npos) << error.what();
  }
}

TEST_F(PictureLoaderTest, JpegWithThousandsOfScansIsRefused) {
  test::WriteJpeg(Path("scans.jpg"), {.width = 16, .height = 16, .scans = test::JpegScans::kThousands});
  EXPECT_THROW(LoadPicture(Path("scans.jpg")), PictureError);
}

TEST_F(PictureLoaderTest, MetafileRectanglesAreFilledOnWhitePaper) {
  test::WriteWmf(Path("box.wmf"));
  test::WriteEmf(Path("box.emf"));
  const QImage wmf = LoadPicture(Path("box.wmf"));
  const QImage emf = LoadPicture(Path("box.emf"));
  EXPECT_EQ(wmf.size(), QSize(192, 96));  // 1000x500 units at 500 per inch, shown at 96 dpi
  EXPECT_EQ(emf.size(), QSize(199, 99));  // the header's bounds
  for (const auto& [image, fill] : {std::pair{wmf, test::kWmfFillColour}, std::pair{emf, test::kEmfFillColour}}) {
    EXPECT_TRUE(Near(At(image, 0.5, 0.3), fill, 8));
    EXPECT_TRUE(Near(At(image, 0.25, 0.15), fill, 8));
    EXPECT_TRUE(Near(At(image, 0.75, 0.45), fill, 8));
    EXPECT_TRUE(Near(At(image, 0.5, 0.7), kWhite, 0));
    EXPECT_TRUE(Near(At(image, 0.1, 0.3), kWhite, 0));
  }
}

TEST_F(PictureLoaderTest, MetafileTextAndBitmapsAreDrawn) {
  for (const char* name : {"full.wmf", "full.emf"}) {
    SCOPED_TRACE(name);
    const std::string path = Path(name);
    const test::MetafileExtras extras{.text = true, .bitmap = true};
    path.ends_with(".wmf") ? test::WriteWmf(path, extras) : test::WriteEmf(path, extras);
    const QImage image = LoadPicture(path);
    EXPECT_TRUE(Near(At(image, 0.1, 0.75), test::kMetafileBitmapColour, 8));
    EXPECT_GT(DarkPixels(image, 0.25, 0.55, 1.0, 1.0), 30) << "no text drawn";
    EXPECT_EQ(DarkPixels(image, 0.0, 0.55, 0.25, 1.0), 0) << "text where the bitmap is";
  }
}

// Metafile text is 8-bit and may hold characters that XML reserves.
TEST_F(PictureLoaderTest, MetafileTextWithMarkupCharactersIsDrawn) {
  const test::MetafileExtras extras{.text = true, .words = "R&D <\xE9t\xE9>"};
  test::WriteWmf(Path("words.wmf"), extras);
  test::WriteEmf(Path("words.emf"), extras);
  EXPECT_GT(DarkPixels(LoadPicture(Path("words.wmf")), 0.25, 0.55, 1.0, 1.0), 30);
  EXPECT_GT(DarkPixels(LoadPicture(Path("words.emf")), 0.25, 0.55, 1.0, 1.0), 30);
}

TEST_F(PictureLoaderTest, EmfGlyphIndexTextLeavesFontconfigAlone) {
  test::WriteEmf(Path("glyphs.emf"), {.text = true, .glyph_indices = true});
  const QImage image = LoadPicture(Path("glyphs.emf"));
  EXPECT_EQ(fontconfig_finalizations, 0);
  EXPECT_TRUE(Near(At(image, 0.5, 0.3), test::kEmfFillColour, 8));
}

TEST_F(PictureLoaderTest, CutMetafilesStillDrawTheRecordsBeforeTheCut) {
  test::WriteWmf(Path("full.wmf"), {.text = true, .bitmap = true});
  test::WriteEmf(Path("full.emf"), {.text = true, .bitmap = true});
  test::WriteTruncatedCopy(Path("full.wmf"), Path("cut.wmf"), 0.8);
  test::WriteTruncatedCopy(Path("full.emf"), Path("cut.emf"), 0.8);
  EXPECT_TRUE(Near(At(LoadPicture(Path("cut.wmf")), 0.5, 0.3), test::kWmfFillColour, 8));
  EXPECT_TRUE(Near(At(LoadPicture(Path("cut.emf")), 0.5, 0.3), test::kEmfFillColour, 8));
}

TEST_F(PictureLoaderTest, ExtensionsWithoutDecoderAreRefusedNamingThePath) {
  for (const char* name : {"notes.txt", "README", "archive.tar.gz", "folder.jpg/inside"}) {
    const std::string path = Path(name);
    try {
      LoadPicture(path);
      ADD_FAILURE() << name << " was accepted";
    } catch (const PictureError& error) {
      EXPECT_EQ(error.Path(), path);
      EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
    }
  }
}

TEST_F(PictureLoaderTest, MissingFilesAreRefusedNamingThePath) {
  for (const char* name : {"gone.bmp", "gone.ico", "gone.jpg", "gone.emf", "gone.wmf"}) {
    const std::string path = Path(name);
    try {
      LoadPicture(path);
      ADD_FAILURE() << name << " was accepted";
    } catch (const PictureError& error) {
      EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
    }
  }
}

// Recovered copies are often zero-filled or hold another file's data; each
// decoder must refuse them or return some picture, and never crash.
TEST_F(PictureLoaderTest, ZeroFilledAndRandomFilesNeverCrashAnyDecoder) {
  std::mt19937 random(7);
  for (const char* extension : {"bmp", "ico", "jpg", "jpeg", "emf", "wmf"}) {
    for (const std::size_t size : {0u, 1u, 17u, 512u, 65536u}) {
      std::string random_bytes(size, '\0');
      for (char& byte : random_bytes) byte = static_cast<char>(random() & 0xFF);
      for (const std::string& bytes : {std::string(size, '\0'), random_bytes}) {
        const std::string path = Path(std::string("junk.") + extension);
        test::WriteFile(path, bytes);
        try {
          const QImage image = LoadPicture(path);
          EXPECT_FALSE(image.isNull()) << extension << " " << size;
        } catch (const PictureError& error) {
          EXPECT_EQ(error.Path(), path);
        }
      }
    }
  }
}

}  // namespace
}  // namespace salvorine
