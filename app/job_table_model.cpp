#include "app/job_table_model.h"

#include "app/text_bytes.h"

namespace salvorine {

JobTableModel::JobTableModel(QObject* parent) : QAbstractTableModel(parent), rows_(1) {}

bool JobTableModel::InRange(int column, int row) const {
  return column >= 0 && column < 4 && row >= 0 && row < RowCount();
}

void JobTableModel::SetRowCount(int rows) {
  beginResetModel();
  rows_.resize(static_cast<std::size_t>(rows < 1 ? 1 : rows));
  endResetModel();
}

std::string JobTableModel::Cell(int column, int row) const {
  return InRange(column, row) ? rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] : std::string();
}

void JobTableModel::SetCell(int column, int row, const std::string& text) {
  if (!InRange(column, row)) return;
  rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
  if (row < fixed_rows_) {
    emit headerDataChanged(Qt::Horizontal, column, column);
  } else {
    const QModelIndex changed = index(row - fixed_rows_, column);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
  }
}

void JobTableModel::SetFixedRows(int rows) {
  if (rows == fixed_rows_) return;
  beginResetModel();
  fixed_rows_ = rows;
  endResetModel();
  emit FixedRowsChanged(rows);
}

void JobTableModel::SelectRow(int row) { emit RowSelectionRequested(row - fixed_rows_); }

int JobTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : RowCount() - fixed_rows_;
}

int JobTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 4; }

QVariant JobTableModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  return Shown(Cell(index.column(), TableRow(index.row())));
}

QVariant JobTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || fixed_rows_ == 0) return {};
  return Shown(Cell(section, 0));
}

}  // namespace salvorine
