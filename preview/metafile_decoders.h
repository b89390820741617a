#pragma once

#include <QImage>
#include <span>
#include <string>

namespace salvorine {

// Each decoder checks the records of the metafile `bytes`, read from `path`,
// converts the sound ones to SVG with its library and renders that. Throws
// PictureError when the file is no such metafile or nothing can be drawn.
QImage DecodeEmf(const std::string& path, std::span<const unsigned char> bytes);
QImage DecodeWmf(const std::string& path, std::span<const unsigned char> bytes);

}  // namespace salvorine
