// The main window's central area: the folder tree beside the job table and
// its damage map, over the bottom panel.
#include <QHeaderView>
#include <QListWidget>
#include <QMenu>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "app/path_cell_delegate.h"
#include "app/salvorine_application.h"
#include "app/shell_tree_view.h"
#include "app/unit1.h"

namespace salvorine {
namespace {

constexpr int kColumnWidths[4] = {133, 83, 95, 95};

}  // namespace

void TForm1::CreateCentralArea() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  Splitter1 = new QSplitter(Qt::Horizontal, central);
  Splitter1->setObjectName(QStringLiteral("Splitter1"));
  CreateTree();
  CreateJobTable();
  QWidget* files = CreateFilesPanel();
  Splitter1->addWidget(ShellTreeView1);
  Splitter1->addWidget(files);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({SettingsHolder::kDefaultTreeWidth, 630 - SettingsHolder::kDefaultTreeWidth});
  Splitter1->setChildrenCollapsible(false);
  // Widening the tree takes from the name column, narrowing it gives back.
  connect(Splitter1, &QSplitter::splitterMoved, this, [this] { FormResize(); });

  ListBox1 = new QListWidget(central);
  ListBox1->setObjectName(QStringLiteral("ListBox1"));
  ListBox1->setVisible(false);

  layout->addWidget(Splitter1, 1);
  layout->addWidget(CreateBottomPanel());
  setCentralWidget(central);
}

void TForm1::CreateTree() {
  ShellTreeView1 = new ShellTreeView(Splitter1);
  ShellTreeView1->setObjectName(QStringLiteral("ShellTreeView1"));
  connect(ShellTreeView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    // Right click selects the item under the mouse before the menu opens.
    if (QTreeWidgetItem* item = ShellTreeView1->itemAt(at)) ShellTreeView1->setCurrentItem(item);
    // Its one command is highlighted, so that Enter (after the Menu key) runs it.
    QTimer::singleShot(0, PopupMenu1, [this] {
      if (PopupMenu1->isVisible()) PopupMenu1->setActiveAction(Recover1);
    });
    PopupMenu1->exec(ShellTreeView1->viewport()->mapToGlobal(at));
  });
}

void TForm1::CreateJobTable() {
  StringGrid1 = new QTableView(Splitter1);
  StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
  StringGrid1->setModel(table_);
  StringGrid1->setShowGrid(true);
  StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
  StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Tab moves on to the next control, as everywhere else; arrows move inside.
  StringGrid1->setTabKeyNavigation(false);
  // Paths under one mount share their start; the file name is what tells rows apart,
  // so a path gives up its folders before its name.
  StringGrid1->setItemDelegateForColumn(0, new PathCellDelegate(StringGrid1));
  StringGrid1->viewport()->installEventFilter(this);
  StringGrid1->setTextElideMode(Qt::ElideMiddle);
  StringGrid1->setIconSize(QSize(16, 16));  // the rows' marks, as tall as a row
  StringGrid1->setWordWrap(false);  // a wrapped path would elide its first line, hiding the name
  StringGrid1->verticalHeader()->setVisible(false);
  StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  StringGrid1->verticalHeader()->setDefaultSectionSize(17);
  // Its heading and a row at the least, so that the window fits a short screen (double scale on a laptop).
  const int heading_and_row = 2 * StringGrid1->verticalHeader()->defaultSectionSize();
  StringGrid1->setMinimumHeight(heading_and_row + 2 * StringGrid1->frameWidth());
  StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  StringGrid1->horizontalHeader()->setHighlightSections(false);
  StringGrid1->horizontalHeader()->setVisible(false);
  for (int column = 0; column < 4; ++column) StringGrid1->setColumnWidth(column, kColumnWidths[column]);
  for (int column = 1; column < 4; ++column) figure_widths_[column - 1] = kColumnWidths[column];
  // A heading narrower than its text ends in "…" rather than showing letters cut in half.
  StringGrid1->horizontalHeader()->setTextElideMode(Qt::ElideRight);
  StringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
  StringGrid1->addAction(Preview1);
  connect(StringGrid1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu2->exec(StringGrid1->viewport()->mapToGlobal(at)); });
  connect(table_, &JobTableModel::FixedRowsChanged, this,
          [this](int rows) { StringGrid1->horizontalHeader()->setVisible(rows > 0); });
  // Selecting and scrolling to each row as it starts waits for the next frame, like the progress display.
  connect(table_, &JobTableModel::RowSelectionRequested, this, [this](int view_row) { pending_selection_ = view_row; });
  const char* headings[4] = {"Filename:", "Size", "Completed", "Damaged"};
  for (int column = 0; column < 4; ++column) table_->SetCell(column, 0, headings[column]);
}

// The selected row's damage map sits under the table.
QWidget* TForm1::CreateFilesPanel() {
  auto* files = new QWidget(Splitter1);
  files->setObjectName(QStringLiteral("FilesPanel1"));
  auto* files_layout = new QVBoxLayout(files);
  files_layout->setContentsMargins(0, 0, 0, 0);
  files_layout->setSpacing(2);
  DamageMap1 = new DamageMapView(files);
  DamageMap1->setObjectName(QStringLiteral("DamageMap1"));
  files_layout->addWidget(StringGrid1, 1);
  files_layout->addWidget(DamageMap1);
  connect(StringGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this] { SalvorineApplication::Guarded([this] { ShowDamageMap(true); }); });
  return files;
}

}  // namespace salvorine
