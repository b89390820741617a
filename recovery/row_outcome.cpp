#include "recovery/row_outcome.h"

#include "recovery/figures.h"

namespace salvorine {

RowFigures OutcomeFigures(const RescueMap& map, RowState state) {
  RowFigures figures;
  figures.recovered = map.Total(RescueState::kDone);
  const std::int64_t bad = map.Total(RescueState::kBad);
  figures.size = figures.recovered + bad + map.Total(RescueState::kUntried);
  const bool cut_short = state == RowState::kStopped || state == RowState::kSkipped;
  figures.damaged = cut_short ? bad : figures.size - figures.recovered;
  figures.unread = figures.size - figures.recovered - figures.damaged;
  // Completed: every byte the run is done with, read or given up; the rest is unread.
  figures.completed = figures.recovered + figures.damaged;
  figures.completed_percent = CompletedPercent(figures.completed, figures.size);
  figures.state = state;
  return figures;
}

void ShowOutcome(JobTable& table, int row, const RescueMap& map, RowState state) {
  // A rescue cut short when only retries of bad sectors were left had tried every byte: it is damaged, not stopped.
  const bool cut_short = state == RowState::kStopped || state == RowState::kSkipped;
  if (cut_short && map.Total(RescueState::kUntried) == 0 && map.Total(RescueState::kBad) > 0) state = RowState::kDamaged;
  table.SetFigures(row, OutcomeFigures(map, state));
}

void ShowWholeCopy(JobTable& table, int row, std::int64_t size) {
  RescueMap whole(0, size);
  whole.Set(0, size, RescueState::kDone);
  ShowOutcome(table, row, whole, RowState::kSaved);
}

}  // namespace salvorine
