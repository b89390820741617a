#include "recovery/row_outcome.h"

#include "recovery/figures.h"

namespace salvorine {

void ShowMapFigures(JobTable& table, int row, const RescueMap& map) {
  const std::int64_t done = map.Total(RescueState::kDone);
  const std::int64_t size = done + map.Total(RescueState::kBad) + map.Total(RescueState::kUntried);
  table.SetCompleted(row, done, HeldBarPosition(Percent(done, size)));
}

void MarkStopped(JobTable& table, int row, const RescueMap& map) {
  const std::int64_t size =
      map.Total(RescueState::kDone) + map.Total(RescueState::kBad) + map.Total(RescueState::kUntried);
  table.SetRecovered(row, map.Total(RescueState::kDone));
  table.SetDamaged(row, map.Total(RescueState::kBad), size);
  table.SetState(row, RowState::kStopped);
}

}  // namespace salvorine
