#pragma once

#include "recovery/rescue_map.h"
#include "recovery/run_ports.h"

namespace salvorine {

// The Completed figure of a row whose map says how much of it is finished.
void ShowMapFigures(JobTable& table, int row, const RescueMap& map);

// A row whose pass is over, in `state`, with every figure taken from its map,
// so that recovered + damaged + unread is its size whatever the end:
// what the map marks finished is recovered. Of a pass cut short (stopped,
// skipped) what a read failed on is damaged and what was never tried is
// unread; of a pass that ran to its end every other byte was given up, and
// is damaged.
void ShowPassOutcome(JobTable& table, int row, const RescueMap& map, RowState state);

// A row the run stopped in.
inline void MarkStopped(JobTable& table, int row, const RescueMap& map) {
  ShowPassOutcome(table, row, map, RowState::kStopped);
}

}  // namespace salvorine
