#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "app/size_texts.h"
#include "recovery/run_ports.h"

namespace salvorine {

// The job table as a Qt model. Cells are the engine's byte strings, shown
// decoded. While row 0 is fixed and there are rows under it, it appears as
// the header; otherwise it is an ordinary first row.
//
// A file row's Size, Completed and Damaged cells show the row's figures in
// units a person reads ("2.5 MB (45%)"), each with its exact byte count in
// its tooltip; the cells themselves keep the engine's exact text.
//
// Each file row also carries what became of its file: rows saved with damage,
// not saved or stopped show a mark in column 0 and say so in a tooltip with
// the exact count of unreadable bytes; damaged rows are tinted.
class JobTableModel final : public QAbstractTableModel, public JobTable {
  Q_OBJECT

 public:
  // Tooltip texts per state, with %1 for the unreadable byte count.
  using StateTexts = std::array<QString, 6>;

  explicit JobTableModel(QObject* parent = nullptr);

  // JobTable
  int RowCount() const override { return static_cast<int>(rows_.size()); }
  void SetRowCount(int rows) override;
  std::string Cell(int column, int row) const override;
  void SetCell(int column, int row, const std::string& text) override;
  void SetFixedRows(int rows) override;
  void SelectRow(int row) override;
  void SetRowState(int row, RowState state, std::int64_t damaged_bytes) override;

  int FixedRows() const { return shown_fixed_rows_; }
  // The table row shown at view row `view_row`.
  int TableRow(int view_row) const { return view_row + shown_fixed_rows_; }
  RowState StateOf(int row) const;
  std::int64_t DamagedBytesOf(int row) const;
  void SetStateTexts(const StateTexts& texts);
  void SetSizeTexts(const SizeTexts& texts);
  // A line added under row `row`'s tooltip (empty for none), until the table is built again.
  void SetNote(int row, const QString& note);
  // Tells the views about every file row changed since the last call. The run
  // changes a cell after every block; views hear of it once per frame.
  void ShowChanges();
  // Every shape (digits and decimal marks as "0") figure column `column`
  // has shown in a file row since the table was last built, up to the last
  // ShowChanges: its widest text is one of them.
  const std::set<QString>& FigureShapes(int column) const { return shapes_[static_cast<std::size_t>(column)]; }

  // QAbstractTableModel
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 signals:
  void FixedRowsChanged(int rows);
  void RowSelectionRequested(int view_row);

 private:
  struct Outcome {
    RowState state = RowState::kPending;
    std::int64_t damaged_bytes = 0;
    QString note;
  };

  bool InRange(int column, int row) const;
  // Row 0 is shown as the header only while rows follow it.
  void UpdateShownFixedRows();
  QVariant Mark(const Outcome& outcome) const;
  // The figure a file row's Size (1), Completed (2) or Damaged (3) column shows.
  std::int64_t Figure(int column, int row) const;
  // "Figure (percent%)" as shown, in units or exactly.
  QString FigureText(int column, int row, bool exact) const;
  void NoteShape(int column, int row);

  void NoteChanged(int row);

  std::vector<std::array<std::string, 4>> rows_;
  int first_changed_ = -1, last_changed_ = -1;  // table rows changed and not yet shown
  std::vector<Outcome> outcomes_;
  std::array<std::set<QString>, 4> shapes_;
  SizeTexts size_texts_;
  int fixed_rows_ = 0;
  int shown_fixed_rows_ = 0;
  StateTexts state_texts_;
  std::array<QIcon, 6> marks_;
};

}  // namespace salvorine
