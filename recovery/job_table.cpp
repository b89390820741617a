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
  if (index >= figures_.size()) figures_.resize(index + 1);
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

void JobTable::SetCompleted(int row, std::int64_t bytes, int percent) {
  RowFigures& figures = Row(row);
  figures.completed = bytes;
  figures.completed_percent = percent;
  SetCell(kCompletedColumn, row, CountWithPercent(bytes, std::to_string(percent) + "%"));
}

void JobTable::SetDamaged(int row, std::int64_t bytes, std::int64_t whole) {
  Row(row).damaged = bytes;
  SetCell(kDamagedColumn, row, CountWithShare(bytes, whole));
}

void JobTable::SetRecovered(int row, std::int64_t bytes) { Row(row).recovered = bytes; }

void JobTable::SetState(int row, RowState state) {
  RowFigures& figures = Row(row);
  figures.state = state;
  figures.unread = UnreadBytes(figures);
  SetRowState(row, state, figures.damaged);
}

}  // namespace salvorine
