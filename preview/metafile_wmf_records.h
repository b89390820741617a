#pragma once

#include <span>
#include <string>
#include <vector>

namespace salvorine {

// The WMF `bytes` (read from `path`) cut down to what is safe to hand to the
// WMF converter: the optional placeable header and the metafile header, then
// every record up to the first damaged one, closed by a fresh end-of-file
// record. Bitmap records whose bitmap is unsound are left out; a pattern brush
// made from one becomes a hollow brush, so that later object numbers stay
// right. The header's size fields are rewritten to match. Throws PictureError
// when the file does not start with a WMF header.
std::vector<unsigned char> SoundWmfRecords(const std::string& path, std::span<const unsigned char> bytes);

}  // namespace salvorine
