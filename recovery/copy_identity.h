#pragma once

#include <vector>

#include "platform/file.h"
#include "recovery/file_pass.h"
#include "recovery/rescue_map.h"

namespace salvorine {

// What reading the same bytes of a source and of a saved copy anew tells.
enum class Likeness {
  kSame,       // every byte compared agrees
  kDifferent,  // some byte differs, or the copy is too short: another file's copy
  kUnread,     // the source did not read (or there was nothing to compare): the bytes cannot tell
};

// How many bytes at each end of a stretch are compared.
inline constexpr std::int64_t kSampleBytes = 4096;

// The first and last kSampleBytes of what `map` marks finished.
std::vector<ByteRange> FinishedSamples(const RescueMap& map);
// The first and last kSampleBytes of a file of `size` bytes.
std::vector<ByteRange> EndSamples(std::int64_t size);

// Reads `ranges` of both files and compares them. A copy that cannot be read
// raises FileSystemError; a source that cannot is kUnread.
Likeness CompareSamples(File& source, File& copy, const std::vector<ByteRange>& ranges);

}  // namespace salvorine
