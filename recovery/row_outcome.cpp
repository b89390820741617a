#include "recovery/row_outcome.h"

#include "recovery/figures.h"

namespace salvorine {

void ShowMapFigures(JobTable& table, int row, const RescueMap& map) {
  const std::int64_t done = map.Total(RescueState::kDone);
  const std::int64_t size = done + map.Total(RescueState::kBad) + map.Total(RescueState::kUntried);
  table.SetCompleted(row, done, HeldBarPosition(Percent(done, size)));
}

void ShowPassOutcome(JobTable& table, int row, const RescueMap& map, RowState state) {
  const std::int64_t done = map.Total(RescueState::kDone);
  const std::int64_t bad = map.Total(RescueState::kBad);
  const std::int64_t size = done + bad + map.Total(RescueState::kUntried);
  const bool cut_short = state == RowState::kStopped || state == RowState::kSkipped;
  const std::int64_t damaged = cut_short ? bad : size - done;
  // Completed: every byte the run is done with, read or given up; the rest is unread.
  const std::int64_t completed = done + damaged;
  table.SetCompleted(row, completed, completed == size ? 100 : HeldBarPosition(Percent(completed, size)));
  table.SetRecovered(row, done);
  table.SetDamaged(row, damaged, size);
  table.SetState(row, state);
}

}  // namespace salvorine
