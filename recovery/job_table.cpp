#include <algorithm>

#include "recovery/figures.h"
#include "recovery/run_ports.h"

namespace salvorine {
namespace {

constexpr int kSizeColumn = 1;
constexpr int kCompletedColumn = 2;
constexpr int kDamagedColumn = 3;

}  // namespace

const RowFigures& JobTable::Figures(int row) const {
  static const RowFigures kNone;
  return row >= 0 && static_cast<std::size_t>(row) < figures_.size() ? figures_[static_cast<std::size_t>(row)]
                                                                      : kNone;
}

RowFigures& JobTable::Row(int row) {
  const auto index = static_cast<std::size_t>(row < 0 ? 0 : row);
  if (index >= figures_.size()) {
    // Room for the table's rows at once: growing by doubling would hold up to twice their figures.
    figures_.reserve(std::max(index + 1, static_cast<std::size_t>(std::max(RowCount(), 0))));
    figures_.resize(index + 1);
  }
  return figures_[index];
}

void JobTable::StartRow(int row, std::int64_t size) {
  RowFigures& figures = Row(row);
  figures = RowFigures{};
  figures.size = size;
  figures.unread = size;
  SetCell(kSizeColumn, row, std::to_string(size));
  SetCell(kCompletedColumn, row, kZeroFigure);
  SetCell(kDamagedColumn, row, kZeroFigure);
  SetRowState(row, RowState::kPending, 0);
}

void JobTable::SetFigures(int row, const RowFigures& figures) {
  Row(row) = figures;
  SetCell(kCompletedColumn, row, CountWithPercent(figures.completed, std::to_string(figures.completed_percent) + "%"));
  SetCell(kDamagedColumn, row, CountWithShare(figures.damaged, figures.size));
  SetRowState(row, figures.state, figures.damaged);
}

void JobTable::SetState(int row, RowState state) {
  RowFigures& figures = Row(row);
  figures.state = state;
  // A row left unsaved has no copy: none of the bytes its rescue read count as recovered.
  if (state == RowState::kUnsaved) figures.recovered = 0;
  figures.unread = UnreadBytes(figures);
  SetRowState(row, state, figures.damaged);
}

}  // namespace salvorine
