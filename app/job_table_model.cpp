#include "app/job_table_model.h"

#include <QApplication>
#include <QColor>
#include <QStyle>
#include <algorithm>

#include "i18n/run_view_texts.h"
#include "recovery/figures.h"
#include "widgets/text_bytes.h"

namespace salvorine {
namespace {

std::size_t Index(RowState state) { return static_cast<std::size_t>(state); }

constexpr int kSizeColumn = 1;
constexpr int kCompletedColumn = 2;
constexpr int kDamagedColumn = 3;

bool IsFigureColumn(int column) { return column >= kSizeColumn && column <= kDamagedColumn; }

// The text with every digit and decimal mark as "0": texts of one shape are equally wide, or nearly.
QString Shape(QString text, const QString& decimal_mark) {
  if (!decimal_mark.isEmpty()) text.replace(decimal_mark, QStringLiteral("0"));
  for (QChar& c : text) {
    if (c.isDigit()) c = QLatin1Char('0');
  }
  return text;
}

// Red at a low opacity: over a light or a dark base it stays a tint the text reads on.
const QColor kDamagedTint(220, 40, 40, 64);

}  // namespace

JobTableModel::JobTableModel(QObject* parent) : QAbstractTableModel(parent), rows_(1), outcomes_(1) {
  const QStyle* style = QApplication::style();
  marks_[Index(RowState::kDamaged)] = style->standardIcon(QStyle::SP_MessageBoxWarning);
  marks_[Index(RowState::kUnsaved)] = style->standardIcon(QStyle::SP_MessageBoxCritical);
  marks_[Index(RowState::kStopped)] = style->standardIcon(QStyle::SP_MediaStop);
  marks_[Index(RowState::kSkipped)] = style->standardIcon(QStyle::SP_MediaSkipForward);
  const WindowText english[] = {kRowPendingText, kRowStoppedText, kRowUnsavedText,
                                kRowDamagedText, kRowSavedText,   kRowSkippedText};
  for (std::size_t i = 0; i < state_texts_.size(); ++i) state_texts_[i] = QString::fromUtf8(english[i].english);
}

bool JobTableModel::InRange(int column, int row) const {
  return column >= 0 && column < 4 && row >= 0 && row < RowCount();
}

void JobTableModel::SetRowCount(int rows) {
  beginResetModel();
  const auto size = static_cast<std::size_t>(rows < 1 ? 1 : rows);
  rows_.resize(size);
  outcomes_.assign(size, Outcome{});
  shapes_ = {};
  const int before = shown_fixed_rows_;
  UpdateShownFixedRows();
  first_changed_ = last_changed_ = -1;  // a reset shows everything
  endResetModel();
  if (shown_fixed_rows_ != before) emit FixedRowsChanged(shown_fixed_rows_);
}

std::string JobTableModel::Cell(int column, int row) const {
  return InRange(column, row) ? rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] : std::string();
}

void JobTableModel::SetCell(int column, int row, const std::string& text) {
  if (!InRange(column, row)) return;
  rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
  if (row < shown_fixed_rows_) {
    emit headerDataChanged(Qt::Horizontal, column, column);
  } else {
    NoteChanged(row);
  }
}

void JobTableModel::NoteShape(int column, int row) {
  shapes_[static_cast<std::size_t>(column)].insert(
      Shape(FigureText(column, row, false), Shown(size_texts_.Units().decimal_mark)));
}

std::int64_t JobTableModel::Figure(int column, int row) const {
  const RowFigures& figures = Figures(row);
  switch (column) {
    case kSizeColumn: return figures.size;
    case kCompletedColumn: return figures.completed;
    default: return figures.damaged;
  }
}

QString JobTableModel::FigureText(int column, int row, bool exact) const {
  const std::int64_t figure = Figure(column, row);
  const QString shown = exact ? size_texts_.Exact(figure) : size_texts_.Readable(figure);
  const RowFigures& figures = Figures(row);
  switch (column) {
    case kCompletedColumn: return QStringLiteral("%1 (%2%)").arg(shown).arg(figures.completed_percent);
    case kDamagedColumn: return QStringLiteral("%1 (%2%)").arg(shown).arg(Percent(figures.damaged, figures.size));
    default: return shown;
  }
}

void JobTableModel::SetSizeTexts(const SizeTexts& texts) {
  size_texts_ = texts;
  shapes_ = {};
  for (int row = 1; row < RowCount(); ++row) {
    for (int column = kSizeColumn; column <= kDamagedColumn; ++column) NoteShape(column, row);
  }
  if (rowCount() > 0) emit dataChanged(index(0, kSizeColumn), index(rowCount() - 1, kDamagedColumn));
}

void JobTableModel::NoteChanged(int row) {
  first_changed_ = first_changed_ < 0 ? row : std::min(first_changed_, row);
  last_changed_ = std::max(last_changed_, row);
}

void JobTableModel::ShowChanges() {
  if (first_changed_ < 0) return;
  // Once a frame rather than at every block; headings are measured apart.
  for (int row = std::max(first_changed_, 1); row <= std::min(last_changed_, RowCount() - 1); ++row) {
    for (int column = kSizeColumn; column <= kDamagedColumn; ++column) NoteShape(column, row);
  }
  const int first = std::max(first_changed_, shown_fixed_rows_) - shown_fixed_rows_;
  const int last = std::min(last_changed_, RowCount() - 1) - shown_fixed_rows_;
  first_changed_ = last_changed_ = -1;
  if (first <= last) emit dataChanged(index(first, 0), index(last, 3));
}

void JobTableModel::UpdateShownFixedRows() { shown_fixed_rows_ = RowCount() > 1 ? fixed_rows_ : 0; }

void JobTableModel::SetFixedRows(int rows) {
  fixed_rows_ = rows;
  if ((RowCount() > 1 ? rows : 0) == shown_fixed_rows_) return;
  beginResetModel();
  UpdateShownFixedRows();
  endResetModel();
  emit FixedRowsChanged(shown_fixed_rows_);
}

void JobTableModel::SelectRow(int row) { emit RowSelectionRequested(row - shown_fixed_rows_); }

void JobTableModel::SetRowState(int row, RowState state, std::int64_t damaged_bytes) {
  if (!InRange(0, row)) return;
  Outcome& outcome = outcomes_[static_cast<std::size_t>(row)];
  outcome.state = state;
  outcome.damaged_bytes = damaged_bytes;
  if (row >= shown_fixed_rows_) NoteChanged(row);
}

RowState JobTableModel::StateOf(int row) const {
  return InRange(0, row) ? outcomes_[static_cast<std::size_t>(row)].state : RowState::kPending;
}

std::int64_t JobTableModel::DamagedBytesOf(int row) const {
  return InRange(0, row) ? outcomes_[static_cast<std::size_t>(row)].damaged_bytes : 0;
}

void JobTableModel::SetNote(int row, const QString& note) {
  if (!InRange(0, row) || row == 0) return;
  outcomes_[static_cast<std::size_t>(row)].note = note;
  NoteChanged(row);
}

void JobTableModel::SetStateTexts(const StateTexts& texts) {
  state_texts_ = texts;
  if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, 3), {Qt::ToolTipRole});
}

int JobTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : RowCount() - shown_fixed_rows_;
}

int JobTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 4; }

QVariant JobTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int row = TableRow(index.row());
  // Row 0 as an ordinary row holds the headings, not a file.
  if (role == Qt::DisplayRole) {
    return row > 0 && IsFigureColumn(index.column()) ? FigureText(index.column(), row, false)
                                                     : Shown(Cell(index.column(), row));
  }
  if (row == 0) return {};
  const Outcome& outcome = outcomes_[static_cast<std::size_t>(row)];
  switch (role) {
    case Qt::DecorationRole:
      return index.column() == 0 ? Mark(outcome) : QVariant();
    case Qt::ToolTipRole: {
      // The full path first: the name column elides the middle of it.
      const QString& state = state_texts_[Index(outcome.state)];
      QString text = Shown(Cell(0, row)) + QLatin1Char('\n') +
                     (state.contains(QLatin1String("%1")) ? state.arg(outcome.damaged_bytes) : state);
      if (!outcome.note.isEmpty()) text += QLatin1Char('\n') + outcome.note;
      // A figure's cell gives its exact count first.
      return IsFigureColumn(index.column()) ? FigureText(index.column(), row, true) + QLatin1Char('\n') + text
                                            : text;
    }
    case Qt::BackgroundRole:
      return outcome.state == RowState::kDamaged ? QVariant(kDamagedTint) : QVariant();
    default:
      return {};
  }
}

QVariant JobTableModel::Mark(const Outcome& outcome) const {
  const QIcon& mark = marks_[Index(outcome.state)];
  return mark.isNull() ? QVariant() : QVariant(mark);
}

QVariant JobTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || shown_fixed_rows_ == 0) return {};
  return Shown(Cell(section, 0));
}

}  // namespace salvorine
