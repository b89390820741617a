#include "recovery/rescue_figures.h"

#include <string>

#include "recovery/figures.h"

namespace salvorine {

void RescueFigures::GiveUp(std::int64_t bytes) {
  given_up_ += bytes;
  ShowReading();
}

void RescueFigures::ShowReading() { Show(target_.map.Total(RescueState::kDone), given_up_); }

void RescueFigures::ShowRescuing() {
  const std::int64_t recovered = target_.map.Total(RescueState::kDone);
  Show(recovered, target_.size - recovered);
}

void RescueFigures::ShowStepDone() {
  Show(target_.size, target_.size - target_.map.Total(RescueState::kDone));
}

void RescueFigures::Show(std::int64_t completed, std::int64_t damaged) {
  RowFigures figures = context_.table.Figures(target_.row);  // keeps the row's state
  figures.size = target_.size;
  figures.recovered = target_.map.Total(RescueState::kDone);
  figures.damaged = damaged;
  figures.unread = target_.size - figures.recovered - damaged;
  figures.completed = completed;
  figures.completed_percent = CompletedPercent(completed, target_.size);
  context_.table.SetFigures(target_.row, figures);
  context_.progress.SetFileBar(figures.completed_percent);
  context_.progress.SetFilePercent(std::to_string(figures.completed_percent) + "%");
}

}  // namespace salvorine
