#pragma once

#include <QAbstractTableModel>
#include <array>
#include <string>
#include <vector>

#include "recovery/run_ports.h"

namespace salvorine {

// The job table as a Qt model. Cells are the engine's byte strings, shown
// decoded. While row 0 is fixed it appears as the header; before that it is
// an ordinary first row.
class JobTableModel final : public QAbstractTableModel, public JobTable {
  Q_OBJECT

 public:
  explicit JobTableModel(QObject* parent = nullptr);

  // JobTable
  int RowCount() const override { return static_cast<int>(rows_.size()); }
  void SetRowCount(int rows) override;
  std::string Cell(int column, int row) const override;
  void SetCell(int column, int row, const std::string& text) override;
  void SetFixedRows(int rows) override;
  void SelectRow(int row) override;

  int FixedRows() const { return fixed_rows_; }
  // The table row shown at view row `view_row`.
  int TableRow(int view_row) const { return view_row + fixed_rows_; }

  // QAbstractTableModel
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 signals:
  void FixedRowsChanged(int rows);
  void RowSelectionRequested(int view_row);

 private:
  bool InRange(int column, int row) const;

  std::vector<std::array<std::string, 4>> rows_;
  int fixed_rows_ = 0;
};

}  // namespace salvorine
