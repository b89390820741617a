#include "app/unit1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QScreen>
#include <QTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QSpinBox>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>

#include "widgets/mnemonics.h"
#include "widgets/named_widget.h"
#include "app/salvorine_application.h"
#include "app/shell_tree_view.h"
#include "widgets/text_bytes.h"
#include "app/damage_report_dialog.h"
#include "app/text_window.h"
#include "app/unit2.h"
#include "i18n/dialog_texts.h"
#include "app/window_placement.h"
#include "i18n/rescue_texts.h"
#include "i18n/window_texts.h"
#include "i18n/data_files.h"
#include "i18n/extra_message.h"
#include "i18n/run_view_texts.h"
#include "recovery/map_file.h"
#include "platform/file_system.h"
#include "preview/unit5.h"
#include "settings/settings_location.h"
#include "settings/unit3.h"
#include "recovery/run_summary.h"

// The images live in a static library; register them before the first use.
static void InitImages() { Q_INIT_RESOURCE(salvorine); }

namespace salvorine {
namespace {

constexpr int kEjectMessage = 16;
constexpr int kEjectOpenMessage = 17;
constexpr int kStatusMessage = 24;
constexpr int kBrowseTitleMessage = 27;
constexpr int kColumnWidths[4] = {133, 83, 95, 95};
// The window's outer width minus the three right columns minus this is column 0's width.
constexpr int kColumnZeroMargin = 224;
constexpr int kColumnZeroMinimum = 24;
// How often a run takes window messages between its blocks.
constexpr std::chrono::milliseconds kMessagesInterval{10};

const QString kWebSiteEnglish = QStringLiteral("https://salvorine.example/en/");
const QString kWebSiteRussian = QStringLiteral("https://salvorine.example/ru/");
const QString kSupportAddress = QStringLiteral("support@salvorine.example");

}  // namespace

TForm1::TForm1(WindowServices services, QWidget* parent) : QMainWindow(parent), services_(services) {
  InitImages();
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Salvorine 1.51"));
  setWindowIcon(QIcon(QStringLiteral(":/images/icon.svg")));
  for (std::size_t i = 0; i < images_.size(); ++i) {
    images_[i] = QIcon(QStringLiteral(":/images/%1.svg").arg(i));
  }
  table_ = new JobTableModel(this);
  RunEnvironment environment{*table_, progress_, held_settings_, messages_, run_dialogs_, *this, *this, clock_};
  environment.open_source = [this](const std::string& path) -> std::unique_ptr<File> {
    return std::make_unique<WatchedSource>(std::make_unique<BackgroundReadFile>(OpenRead(path), reader_), read_watch_);
  };
  // While the run waits for its medium, the window answers between two looks, Stop among it.
  environment.pause = [](Clock::Duration span) {
    QEventLoop loop;
    QTimer::singleShot(std::chrono::duration_cast<std::chrono::milliseconds>(span), &loop, &QEventLoop::quit);
    loop.exec();
  };
  run_ = std::make_unique<RecoveryRun>(std::move(environment));

  CreateToolBar();
  CreateMenus();
  CreateCentralArea();
  CreateStatusBar();
  progress_.Attach({Label8, Label1, ProgressBar1, Label2, ProgressBar2, Label4, StatusBar1});
  elapsed_ticker_ = new QTimer(this);
  // Often enough for the damage map to show a read under way, at most ten times a second.
  elapsed_ticker_->setInterval(100);
  connect(elapsed_ticker_, &QTimer::timeout, this, [this] { TickElapsed(); });
  ApplyRunViewTexts(std::string());
  setGeometry(100, 100, 630, 480);
  FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
  program_folder_ = services_.program_folder.empty() ? ProgramFolder() : services_.program_folder;
  first_activation_ = true;
  run_->SetIdle(true);
}

// The first activation loads what the program keeps between runs; later ones do nothing.
void TForm1::FormActivate() {
  if (!first_activation_) return;
  first_activation_ = false;
  LoadSettings(LocateSettings(program_folder_).read_path, *this, Bytes(QDir::homePath()) + "/");
  KeepTitleBarOnScreen();
}

// A saved position whose title bar would lie off every screen (a screen since
// removed, a hand-edited file) is brought back where the window can be grabbed.
void TForm1::KeepTitleBarOnScreen() {
  // The frame's sides and bottom must fit on the screen as well as the client area.
  const QMargins frame(geometry().left() - frameGeometry().left(), 0, frameGeometry().right() - geometry().right(),
                       frameGeometry().bottom() - geometry().bottom());
  QList<QRect> screens;
  for (const QScreen* screen : QGuiApplication::screens()) screens.append(screen->availableGeometry() - frame);
  const int frame_top = geometry().top() - frameGeometry().top();
  const int title_height = frame_top > 0 ? frame_top : style()->pixelMetric(QStyle::PM_TitleBarHeight);
  const QRect placed = PlacedOnScreen(geometry(), title_height, screens);
  if (placed != geometry()) setGeometry(placed);
}

bool TForm1::FormCloseQuery() { return run_->CanClose(); }

void TForm1::FormClose() {
  // A settings file that cannot be written is reported, but never keeps the program open.
  SalvorineApplication::Guarded([this] { SaveSettings(LocateSettings(program_folder_).write_path, *this); });
}

void TForm1::FormResize() {
  const int others = StringGrid1->columnWidth(1) + StringGrid1->columnWidth(2) + StringGrid1->columnWidth(3);
  StringGrid1->setColumnWidth(0, std::max(kColumnZeroMinimum, frameGeometry().width() - others - kColumnZeroMargin));
}

void TForm1::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
    SalvorineApplication::Guarded([this] { FormActivate(); });
  }
}

// Without a window manager a window may never be activated; its first showing counts as well.
void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  SalvorineApplication::Guarded([this] { FormActivate(); });
}

void TForm1::closeEvent(QCloseEvent* event) {
  bool close = false;
  SalvorineApplication::Guarded([&] {
    close = FormCloseQuery();
    if (close) FormClose();
  });
  close ? event->accept() : event->ignore();
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

// ---- Layout -------------------------------------------------------------------

void TForm1::CreateToolBar() {
  ToolBar1 = addToolBar(QString());
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->setIconSize(QSize(16, 16));
  const auto button = [this](const char* name, int image, const QString& caption, void (TForm1::*handler)()) {
    auto* tool = new QToolButton(ToolBar1);
    tool->setObjectName(QString::fromLatin1(name));
    tool->setText(caption);
    tool->setIcon(images_[static_cast<std::size_t>(image)]);
    tool->setProperty("imageIndex", image);
    tool->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tool->setAutoRaise(true);
    // As wide as the caption needs in the language shown, never narrower than 48.
    tool->setMinimumSize(48, 36);
    tool->setToolTip(caption);
    connect(tool, &QToolButton::clicked, this, [this, handler] { SalvorineApplication::Guarded([&] { (this->*handler)(); }); });
    return tool;
  };
  ToolButton6 = button("ToolButton6", 0, QStringLiteral("Eject"), &TForm1::ToolButton6Click);
  ToolButton7 = button("ToolButton7", 2, QStringLiteral("Refresh"), &TForm1::ToolButton7Click);
  ToolButton1 = button("ToolButton1", 3, QStringLiteral("Recover"), &TForm1::ToolButton1Click);
  ToolButton3 = button("ToolButton3", 5, QStringLiteral("Stop"), &TForm1::ToolButton3Click);
  ToolButton8 = button("ToolButton8", 5, QString::fromUtf8(kSkipFileText.english), &TForm1::ToolButton8Click);
  ToolButton8->setIcon(style()->standardIcon(QStyle::SP_MediaSkipForward));
  ToolButton4 = button("ToolButton4", 6, QStringLiteral("Preview"), &TForm1::ToolButton4Click);
  ToolButton5 = button("ToolButton5", 7, QStringLiteral("Settings"), &TForm1::ToolButton5Click);
  ToolButton2 = button("ToolButton2", 4, QStringLiteral("Pause"), &TForm1::ToolButton2Click);
  ToolBar1->addWidget(ToolButton6);
  ToolBar1->addWidget(ToolButton7);
  ToolBar1->addSeparator();
  ToolBar1->addWidget(ToolButton1);
  ToolBar1->addWidget(ToolButton3);
  ToolBar1->addWidget(ToolButton8);
  ToolBar1->addSeparator();
  ToolBar1->addWidget(ToolButton4);
  ToolBar1->addWidget(ToolButton5);
  ToolBar1->addWidget(ToolButton2)->setVisible(false);
}

void TForm1::CreateMenus() {
  const auto action = [this](QMenu* menu, const char* name, const QString& caption, void (TForm1::*handler)()) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(QString::fromLatin1(name));
    connect(item, &QAction::triggered, this, [this, handler] { SalvorineApplication::Guarded([&] { (this->*handler)(); }); });
    return item;
  };
  menuBar()->setObjectName(QStringLiteral("MainMenu1"));
  File1 = menuBar()->addMenu(QStringLiteral("File"));
  File1->setObjectName(QStringLiteral("File1"));
  Recover2 = action(File1, "Recover2", QStringLiteral("Recover"), &TForm1::ToolButton1Click);
  Recover2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  Information2 = action(File1, "Information2", QStringLiteral("Preview"), &TForm1::ToolButton4Click);
  SkipFile1 = action(File1, "SkipFile1", QString::fromUtf8(kSkipFileText.english), &TForm1::ToolButton8Click);
  SkipFile1->setShortcut(QKeySequence(Qt::Key_F8));
  Report1 = action(File1, "Report1", QString::fromUtf8(kReportMenuText.english), &TForm1::Report1Click);
  File1->addSeparator();
  Exit1 = action(File1, "Exit1", QStringLiteral("Exit"), &TForm1::Exit1Click);
  Exit1->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));

  Settings1 = menuBar()->addMenu(QStringLiteral("Options"));
  Settings1->setObjectName(QStringLiteral("Settings1"));
  Settings2 = action(Settings1, "Settings2", QStringLiteral("Settings..."), &TForm1::ToolButton5Click);
  Language1 = Settings1->addMenu(QStringLiteral("Language"));
  Language1->setObjectName(QStringLiteral("Language1"));
  English1 = action(Language1, "English1", QStringLiteral("English"), &TForm1::English1Click);
  Russian1 = action(Language1, "Russian1", QStringLiteral("Russian"), &TForm1::Russian1Click);
  English1->setCheckable(true);
  Russian1->setCheckable(true);
  English1->setChecked(true);

  Help1 = menuBar()->addMenu(QStringLiteral("Help"));
  Help1->setObjectName(QStringLiteral("Help1"));
  Help2 = action(Help1, "Help2", QStringLiteral("Help Topics"), &TForm1::Help2Click);
  Help2->setShortcut(QKeySequence(Qt::Key_F1));
  WebSite1 = action(Help1, "WebSite1", QStringLiteral("Web Site"), &TForm1::WebSite1Click);
  Support1 = action(Help1, "Support1", QStringLiteral("Feedback"), &TForm1::Support1Click);
  Help1->addSeparator();
  About1 = action(Help1, "About1", QStringLiteral("About..."), &TForm1::About1Click);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  Recover1 = action(PopupMenu1, "Recover1", QStringLiteral("Recover"), &TForm1::ToolButton1Click);
  PopupMenu2 = new QMenu(this);
  PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
  Preview1 = action(PopupMenu2, "Preview1", QStringLiteral("Preview"), &TForm1::ToolButton4Click);
  Preview1->setShortcut(QKeySequence(Qt::Key_F5));
  Preview1->setShortcutContext(Qt::WidgetShortcut);
  AssignMenuMnemonics();
}

// Every menu and item gets a mnemonic in the language shown; the language
// files' texts stay as they are.
void TForm1::AssignMenuMnemonics() {
  AssignMnemonics(menuBar()->actions());
  for (QMenu* menu : {File1, Settings1, Language1, Help1, PopupMenu1, PopupMenu2}) AssignMnemonics(menu->actions());
}

void TForm1::CreateCentralArea() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  Splitter1 = new QSplitter(Qt::Horizontal, central);
  Splitter1->setObjectName(QStringLiteral("Splitter1"));
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

  StringGrid1 = new QTableView(Splitter1);
  StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
  StringGrid1->setModel(table_);
  StringGrid1->setShowGrid(true);
  StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
  StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Tab moves on to the next control, as everywhere else; arrows move inside.
  StringGrid1->setTabKeyNavigation(false);
  // Paths under one mount share their start; the file name is what tells rows apart.
  StringGrid1->setTextElideMode(Qt::ElideMiddle);
  StringGrid1->setWordWrap(false);  // a wrapped path would elide its first line, hiding the name
  StringGrid1->verticalHeader()->setVisible(false);
  StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  StringGrid1->verticalHeader()->setDefaultSectionSize(17);
  StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  StringGrid1->horizontalHeader()->setHighlightSections(false);
  StringGrid1->horizontalHeader()->setVisible(false);
  for (int column = 0; column < 4; ++column) StringGrid1->setColumnWidth(column, kColumnWidths[column]);
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

  // The selected row's damage map sits under the table.
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

  Splitter1->addWidget(ShellTreeView1);
  Splitter1->addWidget(files);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({201, 429});
  Splitter1->setChildrenCollapsible(false);

  ListBox1 = new QListWidget(central);
  ListBox1->setObjectName(QStringLiteral("ListBox1"));
  ListBox1->setVisible(false);

  layout->addWidget(Splitter1, 1);
  layout->addWidget(CreateBottomPanel());
  setCentralWidget(central);
}

QWidget* TForm1::CreateBottomPanel() {
  Panel1 = new QWidget(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFixedHeight(169);
  auto* layout = new QVBoxLayout(Panel1);
  layout->setContentsMargins(4, 2, 4, 2);
  layout->setSpacing(2);

  GroupBox1 = new QGroupBox(QStringLiteral("Save to"), Panel1);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  auto* save = new QHBoxLayout(GroupBox1);
  save->setContentsMargins(6, 2, 6, 4);
  Edit2 = new QLineEdit(QDir::homePath() + QStringLiteral("/"), GroupBox1);
  Edit2->setObjectName(QStringLiteral("Edit2"));
  Button3 = new QPushButton(QStringLiteral("..."), GroupBox1);
  Button3->setObjectName(QStringLiteral("Button3"));
  Button3->setToolTip(QStringLiteral("Browse"));
  Button3->setFixedWidth(28);
  BitBtn3 = new QPushButton(GroupBox1);
  BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
  BitBtn3->setIcon(style()->standardIcon(QStyle::SP_DirIcon));
  BitBtn3->setToolTip(QStringLiteral("Open"));
  BitBtn3->setFixedWidth(28);
  save->addWidget(Edit2, 1);
  save->addWidget(Button3);
  save->addWidget(BitBtn3);
  connect(Button3, &QPushButton::clicked, this, [this] { SalvorineApplication::Guarded([this] { Button3Click(); }); });
  connect(BitBtn3, &QPushButton::clicked, this, [this] { SalvorineApplication::Guarded([this] { BitBtn3Click(); }); });

  GroupBox2 = new QGroupBox(QStringLiteral("Progress"), Panel1);
  GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
  auto* progress = new QGridLayout(GroupBox2);
  progress->setContentsMargins(6, 2, 6, 4);
  progress->setVerticalSpacing(1);
  const auto label = [this](const char* name, const QString& text) { return Named<QLabel>(name, text, GroupBox2); };
  Label5 = label("Label5", QStringLiteral("File:"));
  Label8 = label("Label8", QString());
  Label8->setMinimumWidth(1);
  Label2 = label("Label2", QStringLiteral("0%"));
  Label6 = label("Label6", QStringLiteral("Total:"));
  Label1 = label("Label1", QStringLiteral("0/0"));
  Label4 = label("Label4", QStringLiteral("0%"));
  ProgressBar1 = new QProgressBar(GroupBox2);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar2 = new QProgressBar(GroupBox2);
  ProgressBar2->setObjectName(QStringLiteral("ProgressBar2"));
  for (QProgressBar* bar : {ProgressBar1, ProgressBar2}) {
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setFixedHeight(14);
  }
  for (QLabel* percent : {Label2, Label4}) {
    percent->setMinimumWidth(36);
    percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
  progress->addWidget(Label5, 0, 0);
  progress->addWidget(Label8, 0, 1, 1, 2);
  progress->addWidget(ProgressBar1, 1, 0, 1, 2);
  progress->addWidget(Label2, 1, 2);
  progress->addWidget(Label6, 2, 0);
  progress->addWidget(Label1, 2, 1, 1, 2);
  progress->addWidget(ProgressBar2, 3, 0, 1, 2);
  progress->addWidget(Label4, 3, 2);
  progress->setColumnStretch(1, 1);

  layout->addWidget(GroupBox1);
  layout->addWidget(GroupBox2, 1);
  return Panel1;
}

void TForm1::CreateStatusBar() {
  StatusBar1 = new QLabel(statusBar());
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  statusBar()->addWidget(StatusBar1, 1);
  Activity1 = new QLabel(statusBar());
  Activity1->setObjectName(QStringLiteral("Activity1"));
  statusBar()->addPermanentWidget(Activity1);
  ModeLabel1 = Named<QLabel>("ModeLabel1", mode_text_.arg(QStringLiteral("Max Data")), statusBar());
  ModeLabel1->setToolTip(QString::fromUtf8(kModeInForceHint.english));
  statusBar()->addPermanentWidget(ModeLabel1);
}

// ---- Commands -----------------------------------------------------------------

void TForm1::ToolButton1Click() {
  if (run_on_stack_) return;
  // The tree never stands in another path for one that went away: nothing selected, nothing read.
  if (SelectedPath().empty()) return services_.dialogs.ShowError(Bytes(ShownText(kNothingSelectedText)));
  run_on_stack_ = true;
  AnchorSaveFolder();
  const auto returned = qScopeGuard([this] {
    run_on_stack_ = false;
    stopping_ = false;
    SetRunControlsEnabled(run_->Idle());
    Activity1->clear();
    ShowDamageMap(true);
  });
  // Without a save folder the user is asked for one; still without one, nothing starts.
  if (SaveFolder().empty()) Button3Click();
  const RunOutcome outcome = run_->Recover({SelectedPath(), SaveFolder()});
  if (outcome == RunOutcome::kNotStarted) return;
  if (outcome == RunOutcome::kCompleted) TrayStep();
  ListBox1->clear();
  for (const std::string& source : run_->SourceList()) ListBox1->addItem(Shown(source));
  ShowRunSummary();
}

// The elapsed time stays; beside it, what the run came to and where it went.
void TForm1::ShowRunSummary() {
  const int files = table_->RowCount() - 1;
  int damaged = 0;
  std::int64_t unreadable = 0;
  for (int row = 1; row <= files; ++row) {
    if (table_->Figures(row).damaged > 0) ++damaged;
    unreadable += table_->Figures(row).damaged;
  }
  ShowProgress();
  QString summary = summary_text_.arg(files).arg(damaged).arg(unreadable).arg(Shown(run_->SaveFolder()));
  // What the run found of earlier runs in the save folder, in the summary and on the rows.
  const std::set<int>& whole = run_->TakenWhole();
  const std::set<int>& continued = run_->Continued();
  if (!whole.empty() || !continued.empty()) {
    summary += QStringLiteral("; ") + earlier_copies_text_.arg(whole.size()).arg(continued.size());
  }
  MarkEarlierCopies();
  const std::string unfinished = UnfinishedSummary(*table_, messages_);
  if (!unfinished.empty()) summary += QStringLiteral("; ") + Shown(unfinished);
  StatusBar1->setText(StatusBar1->text().isEmpty() ? summary : StatusBar1->text() + QStringLiteral("   ") + summary);
}

void TForm1::ToolButton3Click() { run_->Stop(); }

void TForm1::ToolButton8Click() { run_->Skip(); }

void TForm1::ToolButton4Click() { Preview(); }

void TForm1::Preview() {
  const QModelIndex current = StringGrid1->currentIndex();
  if (preview_ == nullptr || !current.isValid()) return;
  const int row = table_->TableRow(current.row());
  if (row <= 0) return;
  PreviewRow shown;
  shown.source_path = table_->Cell(0, row);
  // Where the run saved this row. Only shown: previewing a row never writes anything.
  shown.destination_path = run_->CopyPathOf(row);
  // The working copy while a run lasts; after it, the saved one.
  shown.recovered_copy_path = run_->WorkingCopyPath(row);
  shown.size = table_->Cell(1, row);
  shown.completed = table_->Cell(2, row);
  shown.damaged = table_->Cell(3, row);
  preview_->ShowRow(shown);
}

void TForm1::ToolButton5Click() {
  if (settings_ != nullptr) settings_->exec();
}

void TForm1::English1Click() { ApplyLanguage(true); }
void TForm1::Russian1Click() { ApplyLanguage(false); }

void TForm1::SetEjectImage(int index) {
  ToolButton6->setIcon(images_[static_cast<std::size_t>(index)]);
  ToolButton6->setProperty("imageIndex", index);
}

void TForm1::ToolButton6Click() {
  if (ToolButton6->text() == Shown(messages_.Message(kEjectMessage))) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    services_.tray.Open();
    QApplication::restoreOverrideCursor();
    SetCaption(ToolButton6, Shown(messages_.Message(kEjectOpenMessage)));
    SetEjectImage(1);
  } else {
    services_.tray.Close();
    SetCaption(ToolButton6, Shown(messages_.Message(kEjectMessage)));
    SetEjectImage(0);
  }
  ToolButton7Click();
}

void TForm1::ToolButton7Click() { ShellTreeView1->Refresh(); }

void TForm1::Button3Click() {
  // The dialog opens at the save folder, or at home when there is none yet.
  AnchorSaveFolder();
  const std::string save = SaveFolder();
  const std::string start = !save.empty() && FolderExists(save) ? save : Bytes(QDir::homePath());
  const std::string folder =
      services_.folder_picker.PickFolder(this, Shown(messages_.Message(kBrowseTitleMessage)), start);
  if (!folder.empty()) Edit2->setText(Shown(folder));
}

void TForm1::BitBtn3Click() {
  AnchorSaveFolder();
  std::string folder = SaveFolder();
  if (folder.empty()) return;
  if (folder.back() != '/') folder += '/';
  if (!FolderExists(folder)) MakeFolder(folder);
  if (!services_.desktop.Open(QUrl::fromLocalFile(Shown(folder)))) {
    services_.dialogs.ShowError(Bytes(ShownText(kFolderUnopenedText)) + "\r" + folder);
  }
}

void TForm1::Exit1Click() { close(); }

// The report of the save folder shown now, read afresh: it outlives the
// program, and a run into another folder has a report of its own.
void TForm1::Report1Click() {
  AnchorSaveFolder();
  std::string folder = SaveFolder();
  if (!folder.empty() && folder.back() != '/') folder += '/';
  const std::string path = ReportPathIn(folder);
  if (folder.empty() || !FileExists(path)) return services_.dialogs.ShowInformation(no_report_text_);
  QFile report(Shown(path));
  if (!report.open(QIODevice::ReadOnly)) {
    return services_.dialogs.ShowError(Bytes(ShownText(kReportUnreadableText)) + "\r" + path + ": " +
                                       Bytes(report.errorString()));
  }
  if (report_dialog_ == nullptr) {
    report_dialog_ =
        new DamageReportDialog([this](const std::string& map, std::int64_t size) { OpenMap(map, size); }, this);
  }
  ReportDialogTexts texts{QString(Report1->text()).remove(QLatin1Char('&')), {}, {}, ShownText(kOpenMapText)};
  for (const WindowText& column : kReportColumnTexts) texts.columns.append(ShownText(column));
  for (const WindowText& state : kReportStateTexts) texts.state_words.append(ShownText(state));
  report_dialog_->ShowReport(report.readAll().toStdString(), texts);
  report_dialog_->show();
  report_dialog_->raise();
}

// A row's saved map inside the program: drawn as the map panel draws it, over its text.
void TForm1::OpenMap(const std::string& path, std::int64_t size) {
  QFile map(Shown(path));
  if (!map.open(QIODevice::ReadOnly)) {
    return services_.dialogs.ShowError(Bytes(ShownText(kReportUnreadableText)) + "\r" + path + ": " +
                                       Bytes(map.errorString()));
  }
  const QByteArray text = map.readAll();
  const std::optional<RescueMap> parsed = ParseMapFile(text.toStdString(), size);
  if (map_window_ == nullptr) map_window_ = new TextWindow(this);
  map_window_->ShowMap(QString::fromUtf8(text), Shown(path),
                       parsed ? parsed->Segments() : std::vector<RescueMap::Segment>{}, size, map_texts_);
}

QString TForm1::ShownText(const WindowText& entry) const {
  return Shown(ExtraMessage(LanguageFilePath(program_folder_, English1->isChecked()), entry.key, entry.english));
}

// The language in force is told by the "Save to" caption's first letter.
bool TForm1::TitleIsEnglish() const { return GroupBox1->title().startsWith(QLatin1Char('S')); }

// The manual's page in the language the "Save to" caption shows; a page that is
// missing is said so, and one that no program opens is shown inside the program.
void TForm1::Help2Click() {
  const bool english = TitleIsEnglish();
  const std::string page = HelpPagePath(program_folder_, english);
  const std::string language_file = LanguageFilePath(program_folder_, English1->isChecked());
  if (page.empty()) {
    services_.dialogs.ShowError(
        ExtraMessage(language_file, kHelpPageMissingMessage, "The manual was not found. It was looked for at:") +
        "\r" + HelpPageCandidates(program_folder_, english));
  } else if (!services_.desktop.Open(QUrl::fromLocalFile(Shown(page)))) {
    if (manual_window_ == nullptr) manual_window_ = new TextWindow(this);
    manual_window_->ShowPage(page, QString(Help2->text()).remove(QLatin1Char('&')));
  }
}

void TForm1::WebSite1Click() { services_.desktop.Open(QUrl(TitleIsEnglish() ? kWebSiteEnglish : kWebSiteRussian)); }

void TForm1::Support1Click() {
  services_.desktop.Open(QUrl(QStringLiteral("mailto:") + kSupportAddress +
                              QStringLiteral("?subject=\"Salvorine 1.51\"")));
}

void TForm1::About1Click() {
  if (about_ != nullptr) about_->exec();
}

// ---- Run adapters -------------------------------------------------------------

// A relative save folder is taken under the home folder, never under whatever
// folder the program was started from, and the box shows where that is.
void TForm1::AnchorSaveFolder() {
  const std::string folder = SaveFolder();
  if (folder.empty() || folder.front() == '/') return;
  const std::filesystem::path home(Bytes(QDir::homePath()));
  Edit2->setText(Shown((home / folder).lexically_normal().string()));
}

std::string TForm1::SaveFolder() const { return Bytes(Edit2->text()); }
std::string TForm1::SelectedPath() const { return ShellTreeView1->SelectedPath(); }

void TForm1::TrayStep() {
  if (!held_settings_.TrayOption() || table_->RowCount() < 2) return;
  const std::string first = table_->Cell(0, 1);
  if (!first.empty() && services_.drive_type(first) == kDriveCdRom) ToolButton6Click();
}

// Recover stays unavailable until the run has returned, even when Stop has
// already ended it and the pass is still waiting for a stalled read to come back.
void TForm1::SetRunControlsEnabled(bool enabled) {
  const bool available = enabled && !run_on_stack_;
  ToolButton1->setEnabled(available);
  Recover2->setEnabled(available);
  Button3->setEnabled(available);
  Edit2->setEnabled(available);
  ShellTreeView1->setEnabled(available);
  if (!enabled) {
    run_started_ = clock_.Now();
    stopping_ = false;
    activity_.Start(std::chrono::steady_clock::now(), BytesOfAllRows(&RowFigures::size));
    elapsed_ticker_->start();
  } else if (run_on_stack_ && elapsed_ticker_->isActive()) {
    // Stopped during a row: the pass ends after the read under way, and the clock runs until it has.
    stopping_ = true;
    ShowActivity();
  } else {
    elapsed_ticker_->stop();
  }
  ShowProgress();
}

// The rows are done: the elapsed time stops, though the run waits for its box.
void TForm1::RowsDone() { elapsed_ticker_->stop(); }

// The elapsed-time line moves on once a second even while a read stalls.
void TForm1::TickElapsed() {
  // The status line keeps saying the run waits for its medium.
  if (!run_->WaitingForMedium()) progress_.SetStatusText(messages_.Message(kStatusMessage) + " " + ElapsedText(clock_.Now() - run_started_));
  ShowActivity();
  ShowProgress();
}

void TForm1::ShowActivity() {
  // A run waiting for its medium reads nothing: no speed, no time left.
  if (run_->WaitingForMedium()) {
    Activity1->clear();
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  Activity1->setText(
      activity_.Text(now, read_watch_.Activity(now), stopping_, BytesOfAllRows(&RowFigures::completed),
                     read_watch_.bytes_read));
}

// The rows the last run took from earlier runs say so under their tooltips.
void TForm1::MarkEarlierCopies() {
  for (const int row : run_->TakenWhole()) table_->SetNote(row, row_taken_whole_text_);
  for (const int row : run_->Continued()) table_->SetNote(row, row_continued_text_);
}

// The bytes of all rows' sources and, of those, the bytes the passes have come through.
std::int64_t TForm1::BytesOfAllRows(std::int64_t RowFigures::*figure) const {
  std::int64_t sum = 0;
  for (int row = 1; row < table_->RowCount(); ++row) sum += table_->Figures(row).*figure;
  return sum;
}

void TForm1::ShowDamageMap(bool reload) {
  const QModelIndex current = StringGrid1->currentIndex();
  const int row = current.isValid() ? table_->TableRow(current.row()) : 0;
  if (row <= 0 || row >= table_->RowCount()) {
    if (map_row_ != 0) DamageMap1->Clear();
    map_row_ = 0;
    return;
  }
  const std::int64_t size = std::atoll(table_->Cell(1, row).c_str());
  if (const RescueMap* live = run_->CurrentRow() == row ? run_->LiveMap() : nullptr) {
    // The run's own map, at most ten times a second.
    const auto now = std::chrono::steady_clock::now();
    if (!reload && map_live_ && map_row_ == row && now - map_shown_at_ < std::chrono::milliseconds(100)) return;
    map_shown_at_ = now;
    map_row_ = row;
    map_live_ = true;
    const bool reading = read_watch_.open && read_watch_.under_way;
    DamageMap1->ShowMap(live->Segments(), size, reading ? read_watch_.start : 0, reading ? read_watch_.end : 0);
    return;
  }
  const RowState state = table_->StateOf(row);
  if (!reload && !map_live_ && map_row_ == row && map_state_ == state) return;
  map_row_ = row;
  map_live_ = false;
  map_state_ = state;
  // The map saved beside the copies, by this run or an earlier one; a copy saved whole has none.
  const std::string map_path = run_->MapPathOf(row);
  QFile file(Shown(map_path));
  std::optional<RescueMap> saved;
  if (!run_->SaveFolder().empty() && file.open(QIODevice::ReadOnly)) {
    saved = ParseMapFile(file.readAll().toStdString(), size);
  }
  if (!saved) {
    saved.emplace(0, size);
    if (state == RowState::kSaved) saved->Set(0, size, RescueState::kDone);
  }
  DamageMap1->ShowMap(saved->Segments(), size);
}


// Called after every block: on small files, tens of thousands of times a second.
// Messages are taken at most once every 10 ms, which no one can tell apart
// from at once: each time costs a pass over the window system's queue, which
// at once a millisecond came close to once per small file.
void TForm1::ProcessMessages() {
  const auto now = std::chrono::steady_clock::now();
  if (now - messages_processed_at_ < kMessagesInterval) return;
  if (progress_.FrameDue()) ShowProgress();
  QCoreApplication::processEvents();
  messages_processed_at_ = std::chrono::steady_clock::now();
}

// Puts what the run reported since the last frame on the screen.
void TForm1::ShowProgress() {
  if (pending_selection_ >= 0) {
    StringGrid1->selectRow(pending_selection_);
    StringGrid1->scrollTo(table_->index(pending_selection_, 0));
    pending_selection_ = -1;
  }
  progress_.Flush();
  table_->ShowChanges();
  FitFigureColumns();
  ShowDamageMap(false);
}

// Size, Completed and Damaged are at least as wide as their widest text;
// column 0 then takes what is left.
void TForm1::FitFigureColumns() {
  const int padding = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, StringGrid1) + 8;
  bool widened = false;
  const QFontMetrics metrics = StringGrid1->fontMetrics();
  for (int column = 1; column < 4; ++column) {
    const int needed = std::max(metrics.horizontalAdvance(Shown(table_->WidestText(column))),
                                metrics.horizontalAdvance(Shown(table_->Cell(column, 0)))) +
                       padding;
    if (needed > StringGrid1->columnWidth(column)) {
      StringGrid1->setColumnWidth(column, needed);
      widened = true;
    }
  }
  if (widened) FormResize();
}

// ---- Options, language and settings ---------------------------------------------

void TForm1::ApplyLanguage(bool english) {
  qt_translations_.Apply(english);
  salvorine::ApplyLanguage(english, program_folder_, messages_, *this);
  const std::string file = LanguageFilePath(program_folder_, english);
  const auto text = [&file](const WindowText& entry) { return Shown(ExtraMessage(file, entry.key, entry.english)); };
  table_->SetStateTexts({text(kRowPendingText), text(kRowStoppedText), text(kRowUnsavedText), text(kRowDamagedText),
                         text(kRowSavedText), text(kRowSkippedText)});
  summary_text_ = text(kRunSummaryText);
  ApplyRunViewTexts(file);
  Report1->setText(text(kReportMenuText));
  no_report_text_ = Bytes(text(kNoReportText));
  if (settings_ != nullptr) {
    QStringList modes;
    for (const WindowText& mode : kModeTexts) modes.append(text(mode));
    settings_->SetModeExplanations(modes);
    settings_->CheckBox3->setText(text(kContinueCopiesText));
    settings_->RetriesLabel->setText(text(kRetriesText));
  }
  mode_text_ = text(kModeInForceText);
  ModeLabel1->setToolTip(text(kModeInForceHint));
  ShowMode();
  AssignMenuMnemonics();
  table_->ShowChanges();
  FitFigureColumns();
}

// The damage map's and the activity line's texts from `language_file`; English where it lacks them.
void TForm1::ApplyRunViewTexts(const std::string& language_file) {
  const auto text = [&language_file](const WindowText& entry) {
    return Shown(ExtraMessage(language_file, entry.key, entry.english));
  };
  DamageMapView::Texts map;
  map.shades = {text(kMapFinishedText), text(kMapUntriedText), text(kMapBadText), text(kMapReadingText)};
  map.range = text(kMapRangeText);
  map.count = text(kMapCountText);
  map.empty = text(kMapEmptyText);
  DamageMap1->SetTexts(map);
  map_texts_ = map;
  ActivityLine::Texts activity;
  // Reading, Bad block, Retrying and Waiting for the drive are entries of the message table.
  const auto message = [this](int index, const char* english) {
    const std::string& shown = messages_.Message(index);
    return shown.empty() ? QString::fromUtf8(english) : Shown(shown);
  };
  activity.activities = {QString(), message(32, "Reading"), message(34, "Bad block"), message(36, "Retrying"),
                         message(37, "Waiting for the drive")};
  activity.bytes_done = text(kBytesDoneText);
  activity.kilobytes_per_second = text(kKilobytesPerSecondText);
  activity.megabytes_per_second = text(kMegabytesPerSecondText);
  activity.time_left = text(kTimeLeftText);
  activity.stopping = text(kStoppingText);
  activity_.SetTexts(activity);
  earlier_copies_text_ = text(kEarlierCopiesText);
  row_continued_text_ = text(kRowContinuedText);
  row_taken_whole_text_ = text(kRowTakenWholeText);
  if (!run_on_stack_) MarkEarlierCopies();
  SetCaption(ToolButton8, text(kSkipFileText));
  SkipFile1->setText(text(kSkipFileText));
}

// A caption in full, also as a tooltip for when the toolbar has no room to show it.
void TForm1::SetCaption(QToolButton* button, const QString& caption) {
  button->setText(caption);
  button->setToolTip(caption);
}

void TForm1::CheckLanguage(bool english) {
  English1->setChecked(english);
  Russian1->setChecked(!english);
}

void TForm1::SelectMode(int index) {
  held_settings_.SetMode(index);
}

void TForm1::SetSettingsDialog(TForm3* settings) {
  settings_ = settings;
  held_settings_.Follow(*settings, [this] { ShowMode(); });
  ShowMode();
}

// A mode the list does not hold runs as Max Data, and is shown as such.
void TForm1::ShowMode() {
  const int mode = held_settings_.Mode();
  const int shown = mode == kModeMaxSpeed || mode == kModeThorough ? mode : kModeMaxData;
  ModeLabel1->setText(mode_text_.arg(settings_ != nullptr ? settings_->ComboBox1->itemText(shown)
                                                          : QStringLiteral("Max Data")));
}

void TForm1::SetText(TextSlot slot, const std::string& text) {
  // The headings are row 0 of the job table, which keeps cell texts as bytes.
  if (slot >= TextSlot::kFileNameHeading && slot <= TextSlot::kDamagedHeading) {
    return table_->SetCell(static_cast<int>(slot) - static_cast<int>(TextSlot::kFileNameHeading), 0, text);
  }
  const QString shown = Shown(text);
  switch (slot) {
    case TextSlot::kMainCaption: return setWindowTitle(shown);
    case TextSlot::kFileMenu: return File1->setTitle(shown);
    case TextSlot::kOptionsMenu: return Settings1->setTitle(shown);
    case TextSlot::kHelpMenu: return Help1->setTitle(shown);
    case TextSlot::kRecoverMenuItem: return Recover2->setText(shown);
    case TextSlot::kPreviewMenuItem: return Information2->setText(shown);
    case TextSlot::kExitMenuItem: return Exit1->setText(shown);
    case TextSlot::kSettingsMenuItem: return Settings2->setText(shown);
    case TextSlot::kLanguageMenu: return Language1->setTitle(shown);
    case TextSlot::kRussianMenuItem: return Russian1->setText(shown);
    case TextSlot::kHelpTopicsMenuItem: return Help2->setText(shown);
    case TextSlot::kWebSiteMenuItem: return WebSite1->setText(shown);
    case TextSlot::kFeedbackMenuItem: return Support1->setText(shown);
    case TextSlot::kAboutMenuItem: return About1->setText(shown);
    case TextSlot::kEjectButton: return SetCaption(ToolButton6, shown);
    case TextSlot::kRefreshButton: return SetCaption(ToolButton7, shown);
    case TextSlot::kRecoverButton: return SetCaption(ToolButton1, shown);
    case TextSlot::kPauseButton: return SetCaption(ToolButton2, shown);
    case TextSlot::kStopButton: return SetCaption(ToolButton3, shown);
    case TextSlot::kPreviewButton: return SetCaption(ToolButton4, shown);
    case TextSlot::kSettingsButton: return SetCaption(ToolButton5, shown);
    case TextSlot::kSaveToGroup: return GroupBox1->setTitle(shown);
    case TextSlot::kBrowseHint: return Button3->setToolTip(shown);
    case TextSlot::kOpenHint: return BitBtn3->setToolTip(shown);
    case TextSlot::kProgressGroup: return GroupBox2->setTitle(shown);
    case TextSlot::kFileLabel: return Label5->setText(shown);
    case TextSlot::kTotalLabel: return Label6->setText(shown);
    case TextSlot::kTreeRecoverItem: return Recover1->setText(shown);
    case TextSlot::kTablePreviewItem: return Preview1->setText(shown);
    case TextSlot::kAboutCaption:
      if (about_ != nullptr) about_->setWindowTitle(shown);
      return;
    default: break;
  }
  if (settings_ != nullptr) SetSettingsText(slot, shown);
  if (preview_ != nullptr) SetPreviewText(slot, shown);
}

void TForm1::SetSettingsText(TextSlot slot, const QString& shown) {
  switch (slot) {
    case TextSlot::kSettingsCaption: return settings_->setWindowTitle(shown);
    case TextSlot::kTrayCheckBox: return settings_->CheckBox1Text->setText(shown);
    case TextSlot::kShowIconsCheckBox: return settings_->CheckBox2->setText(shown);
    case TextSlot::kViewGroup: return settings_->GroupBox1->setTitle(shown);
    case TextSlot::kFinishGroup: return settings_->GroupBox2->setTitle(shown);
    case TextSlot::kModeGroup: return settings_->GroupBox3->setTitle(shown);
    case TextSlot::kModeItem0: return settings_->ComboBox1->setItemText(0, shown);
    case TextSlot::kModeItem1: return settings_->ComboBox1->setItemText(1, shown);
    case TextSlot::kModeItem2: return settings_->ComboBox1->setItemText(2, shown);
    default: return;
  }
}

void TForm1::SetPreviewText(TextSlot slot, const QString& shown) {
  switch (slot) {
    case TextSlot::kPreviewInformationGroup: return preview_->GroupBox1->setTitle(shown);
    case TextSlot::kPreviewCloseButton: return preview_->Button1->setText(shown);
    case TextSlot::kPreviewCaption: return preview_->setWindowTitle(shown);
    case TextSlot::kPreviewFileNameLabel: return preview_->Label1->setText(shown);
    case TextSlot::kPreviewSaveAsLabel: return preview_->Label2->setText(shown);
    case TextSlot::kPreviewSizeLabel: return preview_->Label3->setText(shown);
    case TextSlot::kPreviewCompletedLabel: return preview_->Label4->setText(shown);
    case TextSlot::kPreviewDamagedLabel: return preview_->Label7->setText(shown);
    case TextSlot::kPreviewTextTab: return preview_->PageControl1->setTabText(0, shown);
    case TextSlot::kPreviewImageTab: return preview_->PageControl1->setTabText(1, shown);
    case TextSlot::kPreviewMediaTab: return preview_->PageControl1->setTabText(2, shown);
    case TextSlot::kPreviewOpenButton: return preview_->Button2->setText(shown);
    default: return;
  }
}

void TForm1::SetTreeIcons(bool show) { ShellTreeView1->SetShowIcons(show); }
void TForm1::SetSaveFolderText(const std::string& folder) { Edit2->setText(Shown(folder)); }
bool TForm1::EnglishChecked() const { return English1->isChecked(); }
int TForm1::ModeIndex() const { return held_settings_.Mode(); }
void TForm1::SetModeIndex(int index) { held_settings_.SetMode(index); }
bool TForm1::TrayChecked() const { return held_settings_.TrayOption(); }
void TForm1::SetTrayChecked(bool checked) { held_settings_.SetTray(checked); }
bool TForm1::ShowIconsChecked() const { return held_settings_.ShowIcons(); }
void TForm1::SetShowIconsChecked(bool checked) { held_settings_.SetShowIcons(checked); }
bool TForm1::ContinueChecked() const { return held_settings_.ContinueEarlierCopies(); }
void TForm1::SetContinueChecked(bool checked) { held_settings_.SetContinueCopies(checked); }
int TForm1::Retries() const { return held_settings_.Retries(); }
void TForm1::SetRetries(int retries) { held_settings_.SetRetries(retries); }

}  // namespace salvorine
