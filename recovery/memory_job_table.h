#pragma once

#include <string>
#include <vector>

#include "recovery/run_ports.h"

namespace salvorine {

// A job table held in memory, for the headless front end and the tests.
class MemoryJobTable final : public JobTable {
 public:
  MemoryJobTable() : rows_(1, kEmptyRow) {}

  int RowCount() const override { return static_cast<int>(rows_.size()); }
  void SetRowCount(int rows) override { rows_.resize(static_cast<std::size_t>(rows < 1 ? 1 : rows), kEmptyRow); }
  std::string Cell(int column, int row) const override {
    if (!InRange(column, row)) return {};
    const std::string& cells = rows_[Index(row)];
    const std::size_t start = CellStart(cells, column);
    return cells.substr(start, cells.find(kBetweenCells, start) - start);
  }
  void SetCell(int column, int row, const std::string& text) override {
    if (!InRange(column, row)) return;
    std::string& cells = rows_[Index(row)];
    const std::size_t start = CellStart(cells, column);
    cells.replace(start, cells.find(kBetweenCells, start) - start, text);
  }
  void SetFixedRows(int rows) override { fixed_rows_ = rows; }
  void SelectRow(int row) override { selected_row_ = row; }

  // What became of row `row`'s file; pending until the run says otherwise.
  RowState State(int row) const { return Figures(row).state; }
  int FixedRows() const { return fixed_rows_; }
  int SelectedRow() const { return selected_row_; }

 private:
  // A row's four cells in one string, a NUL between two (no path holds one):
  // one allocation per row, whatever the size of the table.
  static constexpr char kBetweenCells = '\0';
  inline static const std::string kEmptyRow = std::string(3, kBetweenCells);
  static std::size_t CellStart(const std::string& cells, int column) {
    std::size_t start = 0;
    for (int before = 0; before < column; ++before) start = cells.find(kBetweenCells, start) + 1;
    return start;
  }
  static std::size_t Index(int value) { return static_cast<std::size_t>(value); }
  bool InRange(int column, int row) const { return column >= 0 && column < 4 && row >= 0 && row < RowCount(); }

  std::vector<std::string> rows_;
  int fixed_rows_ = 0;
  int selected_row_ = 0;
};

}  // namespace salvorine
