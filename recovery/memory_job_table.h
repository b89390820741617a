#pragma once

#include <array>
#include <string>
#include <vector>

#include "recovery/run_ports.h"

namespace salvorine {

// A job table held in memory, for the headless front end and the tests.
class MemoryJobTable final : public JobTable {
 public:
  MemoryJobTable() : rows_(1) {}

  int RowCount() const override { return static_cast<int>(rows_.size()); }
  void SetRowCount(int rows) override { rows_.resize(static_cast<std::size_t>(rows < 1 ? 1 : rows)); }
  std::string Cell(int column, int row) const override {
    return InRange(column, row) ? rows_[Index(row)][Index(column)] : std::string();
  }
  void SetCell(int column, int row, const std::string& text) override {
    if (InRange(column, row)) rows_[Index(row)][Index(column)] = text;
  }
  void SetFixedRows(int rows) override { fixed_rows_ = rows; }
  void SelectRow(int row) override { selected_row_ = row; }

  // What became of row `row`'s file; pending until the run says otherwise.
  RowState State(int row) const { return Figures(row).state; }
  int FixedRows() const { return fixed_rows_; }
  int SelectedRow() const { return selected_row_; }

 private:
  static std::size_t Index(int value) { return static_cast<std::size_t>(value); }
  bool InRange(int column, int row) const { return column >= 0 && column < 4 && row >= 0 && row < RowCount(); }

  std::vector<std::array<std::string, 4>> rows_;
  int fixed_rows_ = 0;
  int selected_row_ = 0;
};

}  // namespace salvorine
