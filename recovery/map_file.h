#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/file.h"
#include "recovery/rescue_map.h"

namespace salvorine {

// A file's rescue map in GNU ddrescue's mapfile format, so that ddrescuelog,
// ddrescue and other tools can carry on from it: finished bytes are '+',
// bytes a read failed on '-', bytes never tried '?'. `finished` tells whether
// the pass over the file ended (current status '+') or was cut short ('?').
// `source`, when given, is the file the map is of: its size and modification
// time go on a comment line, so a later run can tell another file's map.
std::string MapFileText(const RescueMap& map, bool finished, const FileStatus* source = nullptr);

// The source's size and modification time a map's comment line records; nothing when it has none.
struct MappedSource {
  std::int64_t size = 0;
  std::int64_t modified_seconds = 0;
  std::int64_t modified_nanoseconds = 0;
  bool Is(const FileStatus& status) const {
    return size == status.size && modified_seconds == status.modified_seconds &&
           modified_nanoseconds == status.modified_nanoseconds;
  }
};
std::optional<MappedSource> MappedSourceOf(const std::string& text);

// The map of a file of `size` bytes from mapfile text; nothing when the text
// is not a mapfile that covers exactly [0, size). Areas ddrescue marks
// non-trimmed or non-scraped ('*', '/') count as failed.
std::optional<RescueMap> ParseMapFile(const std::string& text, std::int64_t size);

}  // namespace salvorine
