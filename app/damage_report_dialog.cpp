#include "app/damage_report_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <iterator>

#include "app/window_placement.h"
#include "recovery/damage_report.h"
#include "widgets/text_bytes.h"

namespace salvorine {
namespace {

constexpr int kColumns = 7;  // path, size, recovered, damaged, unread, state, map
constexpr int kStateColumn = 5;
constexpr int kMapColumn = 6;
constexpr RowState kStates[] = {RowState::kSaved, RowState::kDamaged, RowState::kUnsaved, RowState::kStopped,
                                RowState::kPending};

// A figure sorts by its value, not by its digits.
QTableWidgetItem* FigureItem(std::int64_t value) {
  auto* item = new QTableWidgetItem;
  item->setData(Qt::DisplayRole, static_cast<qlonglong>(value));
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

}  // namespace

DamageReportDialog::DamageReportDialog(OpenMap open_map, QWidget* parent)
    : QDialog(parent), open_map_(std::move(open_map)) {
  setObjectName(QStringLiteral("DamageReport"));
  Table = new QTableWidget(0, kColumns, this);
  Table->setObjectName(QStringLiteral("ReportTable"));
  Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Table->setSelectionBehavior(QAbstractItemView::SelectRows);
  Table->setSelectionMode(QAbstractItemView::SingleSelection);
  Table->setTextElideMode(Qt::ElideMiddle);
  Table->setWordWrap(false);
  Table->setTabKeyNavigation(false);
  Table->verticalHeader()->setVisible(false);
  Table->horizontalHeader()->setStretchLastSection(true);
  Table->setSortingEnabled(true);

  OpenMapButton = new QPushButton(this);
  OpenMapButton->setObjectName(QStringLiteral("OpenMapButton"));
  OpenMapButton->setEnabled(false);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  buttons->addButton(OpenMapButton, QDialogButtonBox::ActionRole);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(OpenMapButton, &QPushButton::clicked, this, [this] {
    const std::string map = SelectedMapPath();
    if (!map.empty()) open_map_(map, SelectedSize());
  });
  connect(Table, &QTableWidget::itemSelectionChanged, this,
          [this] { OpenMapButton->setEnabled(!SelectedMapPath().empty()); });
  connect(Table, &QTableWidget::itemDoubleClicked, this, [this] { OpenMapButton->click(); });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Table, 1);
  layout->addWidget(buttons);
  resize(860, 400);
}

void DamageReportDialog::ShowReport(const std::string& report_text, const ReportDialogTexts& texts) {
  setWindowTitle(texts.caption);
  OpenMapButton->setText(texts.open_map);
  Table->setSortingEnabled(false);
  Table->clearContents();
  Table->setRowCount(0);
  Table->setHorizontalHeaderLabels(texts.columns);
  for (const ReportRow& report_row : ParseReport(report_text)) {
    const int row = Table->rowCount();
    Table->insertRow(row);
    auto* name = new QTableWidgetItem(Shown(report_row.path));
    name->setToolTip(Shown(report_row.path));
    Table->setItem(row, 0, name);
    const RowFigures& figures = report_row.figures;
    Table->setItem(row, 1, FigureItem(figures.size));
    Table->setItem(row, 2, FigureItem(figures.recovered));
    Table->setItem(row, 3, FigureItem(figures.damaged));
    Table->setItem(row, 4, FigureItem(figures.unread));
    const std::string_view word = RowStateWord(figures.state);
    QString state = QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size()));
    for (int i = 0; i < static_cast<int>(std::size(kStates)) && i < texts.state_words.size(); ++i) {
      if (figures.state == kStates[i]) state = texts.state_words[i];
    }
    Table->setItem(row, kStateColumn, new QTableWidgetItem(state));
    auto* map = new QTableWidgetItem(Shown(report_row.map_path));
    map->setData(Qt::UserRole, QByteArray::fromStdString(report_row.map_path));
    Table->setItem(row, kMapColumn, map);
  }
  // In the report's own order until a heading is clicked.
  Table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  Table->setSortingEnabled(true);
  Table->resizeColumnsToContents();
  Table->setColumnWidth(0, std::min(Table->columnWidth(0), 320));
  OpenMapButton->setEnabled(false);
}

// Over the main window and within its screen, Close and Open Map included, at any scale.
void DamageReportDialog::showEvent(QShowEvent* event) {
  PlaceOverOwner(*this);
  QDialog::showEvent(event);
}

std::int64_t DamageReportDialog::SelectedSize() const {
  const QList<QTableWidgetItem*> selected = Table->selectedItems();
  if (selected.isEmpty()) return 0;
  const QTableWidgetItem* size = Table->item(selected.front()->row(), 1);
  return size == nullptr ? 0 : size->data(Qt::DisplayRole).toLongLong();
}

std::string DamageReportDialog::SelectedMapPath() const {
  const QList<QTableWidgetItem*> selected = Table->selectedItems();
  if (selected.isEmpty()) return {};
  const QTableWidgetItem* map = Table->item(selected.front()->row(), kMapColumn);
  return map == nullptr ? std::string() : map->data(Qt::UserRole).toByteArray().toStdString();
}

}  // namespace salvorine
