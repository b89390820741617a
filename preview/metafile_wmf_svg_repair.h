#pragma once

#include <string>

namespace salvorine {

// Fixes the SVG that libwmf writes so that it parses and renders right:
// - the content of <text> elements is written raw, in the metafile's 8-bit
//   character set; it is escaped for XML and converted from Latin-1 to UTF-8;
// - each <image> is placed by x, y, width and height and then moved and scaled
//   a second time by a transform attribute, which is dropped.
std::string RepairLibwmfSvg(std::string svg);

}  // namespace salvorine
