#include "preview/metafile_svg_image.h"

#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>
#include <cmath>

#include "preview/picture_error.h"

namespace salvorine {
namespace {

QSize RenderSize(QSize declared) {
  if (declared.width() <= 0 || declared.height() <= 0) return {640, 480};
  const int longest = std::max(declared.width(), declared.height());
  if (longest <= kMaxMetafileSide) return declared;
  const double scale = static_cast<double>(kMaxMetafileSide) / longest;
  const auto fit = [scale](int side) { return std::max(1, static_cast<int>(std::lround(side * scale))); };
  return {fit(declared.width()), fit(declared.height())};
}

}  // namespace

QImage RenderMetafileSvg(const std::string& path, const QByteArray& svg) {
  QSvgRenderer renderer(svg);
  if (!renderer.isValid()) throw PictureError(path, "the drawing converted from the metafile does not parse");

  QImage image(RenderSize(renderer.defaultSize()), QImage::Format_RGB32);
  if (image.isNull()) throw PictureError(path, "not enough memory for the picture");
  image.fill(Qt::white);
  QPainter painter(&image);
  renderer.render(&painter);
  painter.end();
  return image;
}

}  // namespace salvorine
