#pragma once

#include <string>
#include <vector>

// The metafile libraries behind these functions are kept out of every file
// that includes Qt: libwmf's headers define macros (U8, U16, ...) that clash
// with Qt's.
namespace salvorine {

// Converts EMF records, as SoundEmfRecords returns them, to an SVG document.
// Throws PictureError naming `path` when libemf2svg fails.
std::string EmfToSvg(const std::string& path, const std::vector<unsigned char>& records);

// Converts WMF records, as SoundWmfRecords returns them, to an SVG document
// at most `max_side` pixels wide and high. Throws PictureError naming `path`
// when libwmf fails, takes too long or writes too much.
std::string WmfToSvg(const std::string& path, const std::vector<unsigned char>& records, int max_side);

}  // namespace salvorine
