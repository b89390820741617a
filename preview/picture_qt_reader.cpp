#include "preview/picture_qt_reader.h"

#include <QFile>
#include <QImageReader>
#include <algorithm>

#include "preview/picture_error.h"

namespace salvorine {
namespace {

// A damaged icon directory may claim tens of thousands of pictures.
constexpr int kMaxIconPictures = 256;

long long Area(const QImage& image) { return 1ll * image.width() * image.height(); }

}  // namespace

QImage ReadWithQtReader(const std::string& path, const char* format) {
  QImageReader reader(QFile::decodeName(path.c_str()), format);
  reader.setDecideFormatFromContent(false);

  QImage best;
  QString error;
  const int count = std::clamp(reader.imageCount(), 1, kMaxIconPictures);
  for (int index = 0; index < count; ++index) {
    if (index > 0 && !reader.jumpToImage(index)) break;
    const QImage image = reader.read();
    if (image.isNull()) {
      error = reader.errorString();
      continue;
    }
    if (Area(image) > Area(best)) best = image;
  }
  if (best.isNull()) throw PictureError(path, "cannot decode " + std::string(format) + ": " + error.toStdString());
  return best;
}

}  // namespace salvorine
