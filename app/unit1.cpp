#include "app/unit1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <set>

#include "app/salvorine_application.h"
#include "app/shell_tree_view.h"
#include "app/text_window.h"
#include "app/unit2.h"
#include "app/window_placement.h"
#include "i18n/data_files.h"
#include "i18n/dialog_texts.h"
#include "i18n/extra_message.h"
#include "i18n/plural_forms.h"
#include "i18n/window_texts.h"
#include "platform/file_system.h"
#include "preview/unit5.h"
#include "recovery/run_summary.h"
#include "recovery/working_folder.h"
#include "settings/settings_location.h"
#include "settings/unit3.h"
#include "widgets/text_bytes.h"

// The images live in a static library; register them before the first use.
static void InitImages() { Q_INIT_RESOURCE(salvorine); }

namespace salvorine {
namespace {

constexpr int kEjectMessage = 16;
constexpr int kEjectOpenMessage = 17;
constexpr int kStatusMessage = 24;
constexpr int kBrowseTitleMessage = 27;
// A run the save disk's running out of room ended: %1 the file cut short, %2 the save folder.
constexpr WindowText kFileNotSavedDiskFullText{
    200, "%1 could not be saved: the disk that holds the save folder %2 is full. Free some space on it, or "
         "choose another save folder, and recover again. The files already saved stay where they are."};
// The same between two files: %1 the save folder.
constexpr WindowText kSaveDiskFullText{
    201, "The disk that holds the save folder %1 is full. Free some space on it, or choose another save folder, "
         "and recover again. The files already saved stay where they are."};
// After the run's summary in the status bar.
constexpr WindowText kSaveDiskFullNote{202, "ended: the save disk is full"};
constexpr int kColumnZeroMinimum = 24;
// The room around a heading's text: wider margins than a cell's.
int HeadingPadding(const QWidget& table) {
  return 2 * table.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &table) + 8;
}
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
  if (placed == geometry()) return;
  setGeometry(placed);
  // A window manager still answering the size asked before (the settings',
  // cut to the screen its own way) may keep its answer: ask again once it has.
  QTimer::singleShot(0, this, [this, placed] {
    if (geometry() != placed) setGeometry(placed);
  });
}

bool TForm1::FormCloseQuery() { return run_->CanClose(); }

void TForm1::FormClose() {
  // A settings file that cannot be written is reported, but never keeps the program open.
  SalvorineApplication::Guarded([this] { SaveSettings(LocateSettings(program_folder_).write_path, *this); });
}

// Column 0 takes the table's visible width that the other columns leave, the room of a
// scroll bar too while none shows, so a marked row's file name is cut as late as it can be.
// In a table too narrow for its heading the figure columns give way, each in proportion
// (their texts elide, the exact figures stay in their tooltips), and widen again with it.
void TForm1::FormResize() {
  const int viewport = StringGrid1->viewport()->width(), names = NameColumnMinimum();
  const int fitted = figure_widths_[0] + figure_widths_[1] + figure_widths_[2];
  int others = StringGrid1->columnWidth(1) + StringGrid1->columnWidth(2) + StringGrid1->columnWidth(3);
  if (fitted > 0 && (others < fitted || viewport - others < names)) {
    const int room = viewport - names, least = StringGrid1->horizontalHeader()->minimumSectionSize();
    for (int column = 1; column < 4; ++column) {
      const int fitted_width = figure_widths_[column - 1];
      const int width = room >= fitted ? std::max(StringGrid1->columnWidth(column), fitted_width)
                                       : std::max(least, fitted_width * std::max(0, room) / fitted);
      if (width != StringGrid1->columnWidth(column)) StringGrid1->setColumnWidth(column, width);
    }
    others = StringGrid1->columnWidth(1) + StringGrid1->columnWidth(2) + StringGrid1->columnWidth(3);
  }
  StringGrid1->setColumnWidth(0, std::max(names, viewport - others));
}

// The table's visible part changes with the window, the splitter and its scroll bars.
bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == StringGrid1->viewport() && event->type() == QEvent::Resize) FormResize();
  return QMainWindow::eventFilter(watched, event);
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

// ---- Commands -----------------------------------------------------------------

void TForm1::ToolButton1Click() {
  if (run_on_stack_) return;
  // A selection whose medium went away before the tree heard of it is let go of as the tree would.
  const std::string selected = SelectedPath();
  if (!selected.empty() && !FileExists(selected) && !FolderExists(selected)) ShellTreeView1->Refresh();
  // The tree never stands in another path for one that went away: nothing selected, nothing read.
  if (SelectedPath().empty()) return services_.dialogs.ShowError(Bytes(ShownText(kNothingSelectedText)));
  run_on_stack_ = true;
  AnchorSaveFolder();
  const auto run_returned = [this] {
    run_on_stack_ = false;
    stopping_ = false;
    SetRunControlsEnabled(run_->Idle());
    Activity1->clear();
    Activity1->setToolTip(QString());
    ShowDamageMap(true);
  };
  auto returned = qScopeGuard(run_returned);
  // Without a save folder the user is asked for one; still without one, nothing starts.
  if (SaveFolder().empty()) Button3Click();
  RunOutcome outcome = RunOutcome::kNotStarted;
  run_began_ = false;
  try {
    outcome = run_->Recover({SelectedPath(), SaveFolder()});
  } catch (const FileSystemError& error) {
    if (!error.DiskFull()) throw;
    // The box comes over a window that shows the run ended, its clock stopped.
    returned.dismiss();
    run_returned();
    // Full before the run began, as its save folder was prepared: nothing was
    // read, and the last run's table and summary stay, as after a refused run.
    if (run_began_) ShowRunEnd(ShownText(kSaveDiskFullNote));
    return services_.dialogs.ShowError(Bytes(SaveDiskFullText()));
  }
  // A run refused before it read anything leaves the last run's table and summary as they were.
  if (outcome == RunOutcome::kNotStarted || outcome == RunOutcome::kRefused ||
      outcome == RunOutcome::kSaveFolderInUse) {
    return;
  }
  if (outcome == RunOutcome::kCompleted) TrayStep();
  ShowRunEnd(QString());
}

// The sources and the summary of the run that just ended; `ended_by` says
// what cut it short, if anything did.
void TForm1::ShowRunEnd(const QString& ended_by) {
  ListBox1->clear();
  for (const std::string& source : run_->SourceList()) ListBox1->addItem(Shown(source));
  ShowRunSummary(ended_by);
}

// What a full save disk asks of the user, naming the file it cut short as the
// user knows it (never its working copy's name) and the save folder it holds.
QString TForm1::SaveDiskFullText() const {
  QString folder = Shown(run_began_ ? run_->SaveFolder() : SaveFolder());
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  const int row = run_began_ ? run_->CurrentRow() : 0;
  if (row < 1) return ShownText(kSaveDiskFullText).arg(folder);
  return ShownText(kFileNotSavedDiskFullText).arg(Shown(FileNameOf(table_->Cell(0, row))), folder);
}

// The elapsed time stays; beside it, what the run came to and where it went.
// The save folder, the longest part, comes last: where the window is too
// narrow for the whole line, it is the part cut.
void TForm1::ShowRunSummary(const QString& ended_by) {
  const int files = table_->RowCount() - 1;
  int damaged = 0;
  std::int64_t unreadable = 0;
  for (int row = 1; row <= files; ++row) {
    if (table_->Figures(row).damaged > 0) ++damaged;
    unreadable += table_->Figures(row).damaged;
  }
  ShowProgress();
  QStringList notes;
  // What ended the run early, if anything did, leads: the save folder, the longest part, is the part cut.
  if (!ended_by.isEmpty()) notes << ended_by;
  // What the run found of earlier runs in the save folder, in the summary and on the rows.
  const std::set<int>& whole = run_->TakenWhole();
  const std::set<int>& continued = run_->Continued();
  if (!whole.empty() || !continued.empty()) {
    const auto taken_whole = static_cast<std::int64_t>(whole.size());
    const auto taken_on = static_cast<std::int64_t>(continued.size());
    notes << Shown(WithPluralForms(Bytes(earlier_copies_text_), {taken_whole, taken_on})).arg(taken_whole).arg(taken_on);
  }
  MarkEarlierCopies();
  const std::string unfinished = UnfinishedSummary(*table_, messages_);
  if (!unfinished.empty()) notes << Shown(unfinished);
  // The bytes not recovered in units; the tooltip gives the whole line with their exact count.
  const QString counted = Shown(WithPluralForms(Bytes(summary_text_), {files, damaged, unreadable}));
  const auto summary = [&](const QString& unreadable_text) {
    QStringList all = notes;
    all << counted.arg(files).arg(damaged).arg(unreadable_text, Shown(run_->SaveFolder()));
    const QString joined = all.join(QStringLiteral("; "));
    return StatusBar1->text().isEmpty() ? joined : StatusBar1->text() + QStringLiteral("   ") + joined;
  };
  const QString exact = summary(size_texts_.Exact(unreadable));
  StatusBar1->setText(summary(size_texts_.Readable(unreadable)));
  StatusBar1->setToolTip(exact);
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
  // Skip File ends the pass over the file being read: only a run has one.
  ToolButton8->setEnabled(!enabled);
  SkipFile1->setEnabled(!enabled);
  if (!enabled) {
    run_began_ = true;
    run_started_ = clock_.Now();
    stopping_ = false;
    activity_.Start(std::chrono::steady_clock::now(), BytesOfAllRows(&RowFigures::size));
    // The last run's summary goes at once: a run over before the first tick would add its own beside it.
    TickElapsed();
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
    Activity1->setToolTip(QString());
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  const ActivityLine::Line line = activity_.Text(
      now, {read_watch_.Activity(now), stopping_, BytesOfAllRows(&RowFigures::completed), read_watch_.bytes_read,
            progress_.Stage()});
  Activity1->setText(line.shown);
  Activity1->setToolTip(line.whole);
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
// column 0 then takes what is left. A cell's text stands between the style's
// text margins (a pixel of slack besides); a heading's between wider ones.
void TForm1::FitFigureColumns() {
  const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, StringGrid1);
  const int cell_padding = 2 * (margin + 1) + 2, heading_padding = HeadingPadding(*StringGrid1);
  bool widened = false;
  const QFontMetrics metrics = StringGrid1->fontMetrics();
  for (int column = 1; column < 4; ++column) {
    int needed = metrics.horizontalAdvance(Shown(table_->Cell(column, 0))) + heading_padding;
    for (const QString& shape : table_->FigureShapes(column)) {
      needed = std::max(needed, metrics.horizontalAdvance(shape) + cell_padding);
    }
    if (needed > figure_widths_[column - 1]) {
      figure_widths_[column - 1] = needed;
      widened = true;
    }
  }
  if (widened) {
    for (int column = 1; column < 4; ++column) {
      StringGrid1->setColumnWidth(column, std::max(StringGrid1->columnWidth(column), figure_widths_[column - 1]));
    }
    FormResize();
  }
}

int TForm1::NameColumnMinimum() const {
  const QFontMetrics metrics = StringGrid1->horizontalHeader()->fontMetrics();
  return std::max(kColumnZeroMinimum, metrics.horizontalAdvance(Shown(table_->Cell(0, 0))) + HeadingPadding(*StringGrid1));
}

// ---- Settings -------------------------------------------------------------------

void TForm1::SetSettingsDialog(TForm3* settings) {
  settings_ = settings;
  held_settings_.Follow(*settings, [this] { ShowMode(); });
  ShowMode();
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
int TForm1::TreeWidth() const { return Splitter1->sizes().value(0, SettingsHolder::kDefaultTreeWidth); }

// The table takes what the tree leaves; the splitter keeps each side at least its smallest width.
void TForm1::SetTreeWidth(int width) {
  const QList<int> sizes = Splitter1->sizes();
  const int total = sizes.value(0) + sizes.value(1);
  const int tree = std::max(0, width);
  Splitter1->setSizes({tree, std::max(0, total - tree)});
  FormResize();
}

}  // namespace salvorine
