#pragma once

#include <QByteArray>
#include <QImage>
#include <string>

namespace salvorine {

// Longest side of a rendered metafile; the size a metafile declares can be absurd.
inline constexpr int kMaxMetafileSide = 4096;

// Renders `svg`, converted from the metafile at `path`, on white paper at the
// size it declares (640x480 when it declares none), scaled down to fit within
// kMaxMetafileSide. Throws PictureError when the SVG does not parse.
QImage RenderMetafileSvg(const std::string& path, const QByteArray& svg);

}  // namespace salvorine
