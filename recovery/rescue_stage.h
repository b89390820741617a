#pragma once

#include <cstdint>

namespace salvorine {

// The steps of Thorough's sector-by-sector rescue the window names, each
// with its own progress.
enum class RescueStage {
  kNone,             // no sector rescue under way: a pass reads by blocks
  kBetweenBadAreas,  // the edges of each bad area, then probes into what lies between
  kSectorsLeft,      // every sector still untried, once
  kRetrying,         // the sectors still bad, again
};

// A stage and how far it has come: `done` of the `total` sectors it began
// with; 0 <= done <= total.
struct StageProgress {
  RescueStage stage = RescueStage::kNone;
  std::int64_t done = 0;
  std::int64_t total = 0;
  bool operator==(const StageProgress&) const = default;
};

// The damaged files whose rescue waited until every file had its first
// pass: file `at` of the `of` that waited in this run; 0 of 0 outside that part of the run.
struct DamagedFilesProgress {
  int at = 0;
  int of = 0;
  bool operator==(const DamagedFilesProgress&) const = default;
};

}  // namespace salvorine
