#include "damaged_media/read_faults.h"

#include <algorithm>

namespace salvorine::damaged_media {

ReadOutcome DecideRead(std::vector<FaultRange>& faults, uint64_t begin, uint64_t end,
                       uint64_t delay_bad_ms, uint64_t bad_sector) {
  ReadOutcome outcome;
  const uint64_t sector_begin = begin / bad_sector * bad_sector;
  const uint64_t sector_end = (end + bad_sector - 1) / bad_sector * bad_sector;
  uint64_t slowest = 0;
  for (FaultRange& fault : faults) {
    if (fault.kind == FaultKind::kBad && bad_sector > 1) {
      outcome.fails = outcome.fails || fault.Overlaps(sector_begin, sector_end);
      continue;
    }
    if (!fault.Overlaps(begin, end)) {
      continue;
    }
    switch (fault.kind) {
      case FaultKind::kBad:
        outcome.fails = true;
        break;
      case FaultKind::kFlaky:
        if (fault.failures_left != 0) {
          --fault.failures_left;
          outcome.fails = true;
        }
        break;
      case FaultKind::kSlow:
        // Several slow ranges in one request cost the slowest of them, once.
        slowest = std::max(slowest, fault.milliseconds);
        break;
    }
  }
  outcome.wait_ms = outcome.fails ? delay_bad_ms : slowest;
  return outcome;
}

}  // namespace salvorine::damaged_media
