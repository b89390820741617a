#pragma once

#include "recovery/rescue_map.h"
#include "recovery/run_ports.h"

namespace salvorine {

// The Completed figure of a row whose map says how much of it is finished.
void ShowMapFigures(JobTable& table, int row, const RescueMap& map);

// A row the run stopped in: what its map marks finished is recovered, what a
// read failed on is damaged, and the rest is unread.
void MarkStopped(JobTable& table, int row, const RescueMap& map);

}  // namespace salvorine
