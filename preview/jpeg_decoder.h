#pragma once

#include <QImage>
#include <span>
#include <string>

namespace salvorine {

// Pictures larger than this are refused before any pixel memory is taken, so a
// corrupt header cannot ask for gigabytes.
inline constexpr unsigned kMaxJpegSide = 30000;
inline constexpr unsigned long long kMaxJpegPixels = 200'000'000;

// Decodes the JPEG `bytes`, read from `path` (used in error texts only).
// Grayscale, RGB/YCbCr, CMYK/YCCK and progressive pictures are supported. When
// the data breaks off or goes bad after some rows, the picture comes back with
// those rows over a grey background. Throws PictureError when no row at all
// can be decoded.
QImage DecodeJpeg(const std::string& path, std::span<const unsigned char> bytes);

}  // namespace salvorine
