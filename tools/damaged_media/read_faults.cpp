#include "damaged_media/read_faults.h"

#include <algorithm>

namespace salvorine::damaged_media {

ReadOutcome DecideRead(std::vector<FaultRange>& faults, uint64_t begin, uint64_t end,
                       uint64_t delay_bad_ms) {
  ReadOutcome outcome;
  uint64_t slowest = 0;
  for (FaultRange& fault : faults) {
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
