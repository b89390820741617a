#pragma once

#include <cstdint>

#include "recovery/rescue_map.h"
#include "recovery/run_ports.h"

namespace salvorine {

// A row's figures once its rescue is over (or held), taken from its map, so
// that recovered + damaged + unread is its size whatever the end: what the
// map marks finished is recovered. Of a rescue cut short (stopped, skipped)
// what a read failed on is damaged and what was never tried is unread; of
// one that ran to its end every other byte was given up, and is damaged.
RowFigures OutcomeFigures(const RescueMap& map, RowState state);

// Shows row `row` in `state` as `map` stands.
void ShowOutcome(JobTable& table, int row, const RescueMap& map, RowState state);

// Shows row `row` saved whole, as an earlier run left it: nothing read, nothing lost.
void ShowWholeCopy(JobTable& table, int row, std::int64_t size);

}  // namespace salvorine
