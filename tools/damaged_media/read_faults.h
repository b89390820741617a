// Decides how one read request behaves given the damage declared on its file.
#pragma once

#include <cstdint>
#include <vector>

#include "damaged_media/media_tree.h"

namespace salvorine::damaged_media {

struct ReadOutcome {
  bool fails = false;
  uint64_t wait_ms = 0;  // how long to sleep before answering
};

// [begin, end) is the part of the request that lies inside the file. Flaky
// ranges overlapping it use up one failure each, so this is called exactly
// once per request. With `bad_sector` above 1, a bad range fails every
// request that touches a sector (of that many bytes) holding a bad byte, as a
// disc that reads whole sectors does.
ReadOutcome DecideRead(std::vector<FaultRange>& faults, uint64_t begin, uint64_t end,
                       uint64_t delay_bad_ms, uint64_t bad_sector = 1);

}  // namespace salvorine::damaged_media
