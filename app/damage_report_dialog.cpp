#include "app/damage_report_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <sstream>
#include <vector>

#include "widgets/text_bytes.h"

namespace salvorine {
namespace {

constexpr int kColumns = 6;
constexpr int kStateColumn = 4;
constexpr int kMapColumn = 5;
constexpr const char* kStateWords[5] = {"ok", "damaged", "unsaved", "stopped", "pending"};

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  fields.push_back(line.substr(start));
  return fields;
}

// A figure sorts by its value, not by its digits.
QTableWidgetItem* FigureItem(const std::string& field) {
  auto* item = new QTableWidgetItem;
  bool number = false;
  const qlonglong value = QString::fromStdString(field).toLongLong(&number);
  number ? item->setData(Qt::DisplayRole, value) : item->setText(Shown(field));
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

}  // namespace

std::string UnescapedField(const std::string& field) {
  std::string text;
  text.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      text += field[i];
      continue;
    }
    switch (field[++i]) {
      case 't': text += '\t'; break;
      case 'n': text += '\n'; break;
      case 'r': text += '\r'; break;
      default: text += field[i];
    }
  }
  return text;
}

DamageReportDialog::DamageReportDialog(std::function<void(const std::string&)> open_map, QWidget* parent)
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
    if (!map.empty()) open_map_(map);
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
  std::istringstream lines(report_text);
  std::string line;
  std::getline(lines, line);  // the header names the columns in English
  while (std::getline(lines, line)) {
    std::vector<std::string> fields = Fields(line);
    if (fields.size() < kColumns) continue;
    const int row = Table->rowCount();
    Table->insertRow(row);
    const std::string path = UnescapedField(fields[0]);
    auto* name = new QTableWidgetItem(Shown(path));
    name->setToolTip(Shown(path));
    Table->setItem(row, 0, name);
    for (int column = 1; column < kStateColumn; ++column) {
      Table->setItem(row, column, FigureItem(fields[static_cast<std::size_t>(column)]));
    }
    QString state = Shown(fields[kStateColumn]);
    for (int i = 0; i < 5 && i < texts.state_words.size(); ++i) {
      if (fields[kStateColumn] == kStateWords[i]) state = texts.state_words[i];
    }
    Table->setItem(row, kStateColumn, new QTableWidgetItem(state));
    auto* map = new QTableWidgetItem(Shown(UnescapedField(fields[kMapColumn])));
    map->setData(Qt::UserRole, QByteArray::fromStdString(UnescapedField(fields[kMapColumn])));
    Table->setItem(row, kMapColumn, map);
  }
  // In the report's own order until a heading is clicked.
  Table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  Table->setSortingEnabled(true);
  Table->resizeColumnsToContents();
  Table->setColumnWidth(0, std::min(Table->columnWidth(0), 320));
  OpenMapButton->setEnabled(false);
}

std::string DamageReportDialog::SelectedMapPath() const {
  const QList<QTableWidgetItem*> selected = Table->selectedItems();
  if (selected.isEmpty()) return {};
  const QTableWidgetItem* map = Table->item(selected.front()->row(), kMapColumn);
  return map == nullptr ? std::string() : map->data(Qt::UserRole).toByteArray().toStdString();
}

}  // namespace salvorine
