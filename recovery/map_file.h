#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "recovery/rescue_map.h"

namespace salvorine {

// A file's rescue map in GNU ddrescue's mapfile format, so that ddrescuelog,
// ddrescue and other tools can carry on from it: finished bytes are '+',
// bytes a read failed on '-', bytes never tried '?'. `finished` tells whether
// the pass over the file ended (current status '+') or was cut short ('?').
std::string MapFileText(const RescueMap& map, bool finished);

// The map of a file of `size` bytes from mapfile text; nothing when the text
// is not a mapfile that covers exactly [0, size). Areas ddrescue marks
// non-trimmed or non-scraped ('*', '/') count as failed.
std::optional<RescueMap> ParseMapFile(const std::string& text, std::int64_t size);

}  // namespace salvorine
