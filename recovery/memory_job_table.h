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
  void SetRowCount(int rows) override {
    rows_.resize(static_cast<std::size_t>(rows < 1 ? 1 : rows));
    states_.assign(rows_.size(), RowState::kPending);
  }
  std::string Cell(int column, int row) const override {
    return InRange(column, row) ? rows_[Index(row)][Index(column)] : std::string();
  }
  void SetCell(int column, int row, const std::string& text) override {
    if (InRange(column, row)) rows_[Index(row)][Index(column)] = text;
  }
  void SetFixedRows(int rows) override { fixed_rows_ = rows; }
  void SelectRow(int row) override { selected_row_ = row; }
  void SetRowState(int row, RowState state, std::int64_t) override {
    if (row > 0 && row < RowCount()) {
      if (states_.size() < rows_.size()) states_.resize(rows_.size(), RowState::kPending);
      states_[Index(row)] = state;
    }
  }

  // What became of row `row`'s file; pending until the run says otherwise.
  RowState State(int row) const {
    return row > 0 && Index(row) < states_.size() ? states_[Index(row)] : RowState::kPending;
  }
  int FixedRows() const { return fixed_rows_; }
  int SelectedRow() const { return selected_row_; }

 private:
  static std::size_t Index(int value) { return static_cast<std::size_t>(value); }
  bool InRange(int column, int row) const { return column >= 0 && column < 4 && row >= 0 && row < RowCount(); }

  std::vector<std::array<std::string, 4>> rows_;
  std::vector<RowState> states_;
  int fixed_rows_ = 0;
  int selected_row_ = 0;
};

}  // namespace salvorine
