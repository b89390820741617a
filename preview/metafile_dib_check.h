#pragma once

#include "preview/metafile_fields.h"

namespace salvorine {

// Pictures embedded in metafiles larger than this are not converted.
inline constexpr std::int32_t kMaxDibSide = 16384;
inline constexpr std::uint64_t kMaxDibPixels = 16ull * 1024 * 1024;

// Whether a device-independent bitmap is consistent enough to hand to a
// converter: `info` holds its BITMAPINFOHEADER and colour table, `bits` its
// pixels. Accepts uncompressed, bit-field, JPEG and PNG pixels of a bounded
// size; refuses run-length compressed ones, whose decoders trust the data.
bool IsSoundDib(MetafileFields info, MetafileFields bits);

// The same for a packed bitmap: header, colour table and pixels back to back,
// the pixels running to the end of `dib`.
bool IsSoundPackedDib(MetafileFields dib);

}  // namespace salvorine
