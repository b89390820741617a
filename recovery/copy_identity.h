#pragma once

#include <vector>

#include "platform/file.h"
#include "recovery/file_pass.h"
#include "recovery/rescue_map.h"

namespace salvorine {

// What reading the same bytes of a source and of a saved copy anew tells.
enum class Likeness {
  kSame,       // at least one sample read from the source, and every one that read agrees
  kDifferent,  // some byte differs, or the copy is too short: another file's copy
  kUnread,     // no sample read from the source (or there was nothing to compare): the bytes cannot tell
};

// How many bytes each sample compares, and how many samples at most.
inline constexpr std::int64_t kSampleBytes = 4096;
inline constexpr int kMostSamples = 16;

// Samples spread evenly over what `map` marks finished: its first and last
// kSampleBytes and up to kMostSamples in all, so that a copy whose middle came
// from another file is told apart as surely as one whose ends did.
std::vector<ByteRange> FinishedSamples(const RescueMap& map);
// The same over a whole file of `size` bytes.
std::vector<ByteRange> WholeFileSamples(std::int64_t size);

// Reads `ranges` of both files and compares them. A sample the source cannot
// read tells nothing and is passed over; a copy that cannot be read raises FileSystemError.
Likeness CompareSamples(File& source, File& copy, const std::vector<ByteRange>& ranges);

}  // namespace salvorine
