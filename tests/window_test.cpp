// The main window over the engine, driven through its widgets without a screen.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <sys/mount.h>
#include <sys/stat.h>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTextBrowser>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <cmath>
#include <csignal>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include "app/salvorine_application.h"
#include "app/shell_tree_view.h"
#include "widgets/text_bytes.h"
#include "app/damage_report_dialog.h"
#include "app/text_window.h"
#include "app/unit1.h"
#include "app/left_out_dialog.h"
#include "app/path_cell_delegate.h"
#include "app/unit2.h"
#include "app/window_placement.h"
#include "settings/unit3.h"
#include "preview/unit5.h"
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QMenu>
#include <algorithm>
#include <QMenuBar>
#include <QMessageBox>
#include <filesystem>
#include <set>
#include "app/activity_line.h"
#include "i18n/byte_units.h"
#include "i18n/data_files.h"
#include "i18n/desktop_language.h"
#include "platform/file_system.h"
#include "platform/tray_device.h"
#include "damaged_media/pattern.h"
#include "recovery/map_file.h"
#include "recovery/split_text.h"
#include "recovery/working_folder.h"
#include "support/damaged_mount.h"
#include "support/run_program.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_folder.h"

namespace salvorine::test {
namespace {

struct FakeTray final : TrayDevice {
  int opened = 0, closed = 0;
  void Open() override { ++opened; }
  void Close() override { ++closed; }
};

struct FakePicker final : FolderPicker {
  std::string answer;
  QString title;
  std::string start;
  std::string PickFolder(QWidget*, const QString& shown_title, const std::string& start_folder) override {
    title = shown_title;
    start = start_folder;
    return answer;
  }
};

struct RecordingOpener final : DesktopOpener {
  std::vector<QUrl> opened;
  bool handler_found = true;
  bool Open(const QUrl& url) override {
    opened.push_back(url);
    return handler_found;
  }
};

// Runs `action` once, `ms` milliseconds from now, inside whatever loop is processing events then.
void After(int ms, std::function<void()> action) { QTimer::singleShot(ms, qApp, std::move(action)); }

// Runs `action` once, as soon as `condition` holds, inside whatever loop is
// processing events then; gives up after 20 s, which fails the test that waited.
// The poll belongs to `owner`, so it ends with the test's window.
void When(QObject* owner, std::function<bool()> condition, std::function<void()> action) {
  auto* poll = new QTimer(owner);
  QElapsedTimer waited;
  waited.start();
  QObject::connect(poll, &QTimer::timeout, [poll, waited, condition = std::move(condition), action = std::move(action)] {
    const bool hold = condition();
    if (!hold && waited.elapsed() < 20000) return;
    poll->stop();
    poll->deleteLater();
    if (hold) action();
  });
  poll->start(5);
}

// A menu text without its mnemonic mark.
QString Plain(QString text) { return text.remove(QLatin1Char('&')); }

// Processes events until `condition` holds; false when 10 s pass first.
bool Eventually(const std::function<bool()>& condition) {
  QElapsedTimer waited;
  waited.start();
  while (!condition()) {
    if (waited.elapsed() > 10000) return false;
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  return true;
}

// The text the job table draws in the cell at `index`, with the room the cell has now.
QString ShownCellText(const QTableView& table, const QModelIndex& index) {
  const auto* delegate = qobject_cast<const PathCellDelegate*>(table.itemDelegateForColumn(index.column()));
  if (delegate == nullptr) return index.data().toString();
  QStyleOptionViewItem option;
  option.initFrom(table.viewport());
  option.widget = &table;
  option.rect = table.visualRect(index);
  option.decorationSize = table.iconSize();
  return delegate->ShownText(option, index);
}

// A row as a front end shows it: the table's cells, or a line salvorine-cli prints.
struct ShownRow {
  std::string path;
  std::string_view state;  // as salvorine-cli words it
  std::string completed, damaged;  // "bytes (share%)"
};

// The row's report line says what `shown` shows, the map saved beside its
// copy (`map`, filled in: all finished for a copy saved whole, all untried
// without a copy) bears out the line, and the copy holds the bench's bytes
// of `seed` wherever that map says finished.
void ExpectViewsAgree(const std::vector<ReportRow>& report, const ShownRow& shown, std::uint64_t seed,
                      RescueMap& map) {
  const auto line = std::ranges::find(report, shown.path, &ReportRow::path);
  ASSERT_NE(line, report.end());
  const RowFigures& figures = line->figures;
  const RowState state = figures.state;
  EXPECT_EQ(shown.state, RowStateWord(state));
  EXPECT_EQ(figures.recovered + figures.damaged + figures.unread, figures.size);
  EXPECT_EQ(std::stoll(shown.damaged), figures.damaged);
  if (state != RowState::kUnsaved) {
    EXPECT_EQ(std::stoll(shown.completed), figures.recovered + figures.damaged);
  }
  // Of a pass cut short, what was never tried is unread; of one that ran to its end, damaged.
  const bool cut_short = state != RowState::kSaved && state != RowState::kDamaged;
  // A copy stands wherever the pass read something, none of a file not saved; only a copy saved whole has no map.
  if (state == RowState::kUnsaved || !cut_short || figures.recovered > 0) {
    EXPECT_EQ(line->copy_path.empty(), state == RowState::kUnsaved);
  }
  EXPECT_EQ(line->map_path.empty(), line->copy_path.empty() || state == RowState::kSaved);
  map = RescueMap(0, figures.size);
  if (state == RowState::kSaved) map.Set(0, figures.size, RescueState::kDone);
  if (!line->map_path.empty()) {
    const std::optional<RescueMap> saved = ParseMapFile(ReadFile(line->map_path), figures.size);
    ASSERT_TRUE(saved) << line->map_path;
    map = *saved;
  }
  EXPECT_EQ(figures.recovered, map.Total(RescueState::kDone));
  EXPECT_EQ(figures.damaged, map.Total(RescueState::kBad) + (cut_short ? 0 : map.Total(RescueState::kUntried)))
      << "damaged bytes are zeros in a copy, as its map marks them";
  EXPECT_EQ(figures.unread, cut_short ? map.Total(RescueState::kUntried) : 0);
  // "Saved as far as it got" leaves bytes unread: a row whose every byte was tried is not stopped at 100%.
  if (state == RowState::kStopped || state == RowState::kSkipped) {
    EXPECT_GT(figures.unread, 0) << shown.path << " is " << shown.state << ", yet Completed is " << shown.completed;
  }
  if (line->copy_path.empty()) return;
  const std::string copy = ReadFile(line->copy_path);
  ASSERT_EQ(static_cast<std::int64_t>(copy.size()), figures.size);
  std::int64_t differ = 0;
  for (const RescueMap::Segment& done : map.SegmentsIn(RescueState::kDone)) {
    for (std::int64_t at = done.start; at < done.end; ++at) {
      differ += static_cast<unsigned char>(copy[static_cast<std::size_t>(at)]) !=
                damaged_media::PatternByte(seed, static_cast<std::uint64_t>(at));
    }
  }
  EXPECT_EQ(differ, 0) << line->copy_path;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SalvorineApplication::ErrorSink() = [this](const QString& text) { top_level_errors.push_back(text); };
    for (const char* file : {"Language/English.ini", "Language/Russian.ini", "help/Salvorine.html",
                             "help/Salvorine-ru.html"}) {
      WriteFile(program / file, ReadFile(std::string(SALVORINE_SOURCE_DIR) + "/" + file));
    }
  }

  // The windows as the program creates them, reading the settings file on their first showing.
  void Start() {
    const auto drive = [this](const std::string& path) {
      drive_queries.push_back(path);
      return drive_type;
    };
    form = std::make_unique<TForm1>(WindowServices{dialogs, tray, picker, desktop, program.Path(), drive});
    about = std::make_unique<TForm2>([] {}, [] {}, form.get());
    form->SetAboutDialog(about.get());
    settings = std::make_unique<TForm3>([this](bool show) { form->Tree().SetShowIcons(show); }, form.get());
    form->SetSettingsDialog(settings.get());
    form->show();
    QApplication::processEvents();
  }

  // The folder tree selects `path` and the save folder is `save`; then Recover is clicked.
  void Recover(const std::string& path, const std::string& save) {
    ASSERT_TRUE(form->Tree().SelectPath(path)) << path;
    form->Edit2->setText(Shown(save));
    ASSERT_TRUE(form->ToolButton1->isEnabled());
    form->ToolButton1->click();
  }

  std::string Cell(int column, int row) { return form->Table().Cell(column, row); }

  TempFolder work;
  ScopedTmpdir tmpdir{work.Path()};
  ScriptedDialogs dialogs;
  FakeTray tray;
  FakePicker picker;
  RecordingOpener desktop;
  int drive_type = 0;  // what every path lies on
  std::vector<std::string> drive_queries;
  std::vector<QString> top_level_errors;
  TempFolder program;
  std::unique_ptr<TForm1> form;
  std::unique_ptr<TForm2> about;
  std::unique_ptr<TForm3> settings;
};

// Each test starts the windows before its first step.
class StartedWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
  }
};

TEST_F(StartedWindowTest, ARunFromTheWindowFillsTheTableAndHoldsTheBusyStateMeanwhile) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount disc(
      "file disc/a.bin 10000 1\nbad disc/a.bin 2848 1\n"
      "file disc/b.bin 40000 2\nslow disc/b.bin 0 40000 20\n");
  const std::string source = disc.Path().string() + "/disc";
  std::vector<bool> enabled_during_run;
  QString status_during_run;
  // While the second file is read and the status line has been shown.
  When(form.get(), [&] {
    return Cell(2, 2) != "0 (0%)" && Cell(2, 2) != "40000 (100%)" && !form->StatusBar1->text().isEmpty();
  }, [&] {
    enabled_during_run = {form->ToolButton1->isEnabled(), form->Recover2->isEnabled(), form->Button3->isEnabled(),
                          form->Edit2->isEnabled(), form->ShellTreeView1->isEnabled(),
                          form->ToolButton3->isEnabled(), form->ToolButton8->isEnabled(), form->SkipFile1->isEnabled()};
    status_during_run = form->StatusBar1->text();
  });
  // Skip File has nothing to skip before a run and after it.
  EXPECT_FALSE(form->ToolButton8->isEnabled() || form->SkipFile1->isEnabled());
  Recover(source, work / "out");

  EXPECT_EQ(enabled_during_run, (std::vector<bool>{false, false, false, false, false, true, true, true}));
  EXPECT_FALSE(form->ToolButton8->isEnabled() || form->SkipFile1->isEnabled());
  EXPECT_TRUE(status_during_run.startsWith("Elapsed time: 0:00:0")) << status_during_run.toStdString();
  ASSERT_EQ(form->Table().RowCount(), 3);
  EXPECT_EQ(Cell(0, 1), source + "/a.bin");
  EXPECT_EQ(Cell(2, 1), "10000 (100%)");
  EXPECT_EQ(Cell(3, 1), "1808 (18%)");
  EXPECT_EQ(Cell(2, 2), "40000 (100%)");
  EXPECT_EQ(Cell(3, 2), "0 (0%)");
  // Row 0 became the header; the view shows the two files.
  EXPECT_TRUE(form->StringGrid1->horizontalHeader()->isVisible());
  EXPECT_EQ(form->StringGrid1->model()->rowCount(), 2);
  EXPECT_EQ(form->Label1->text(), "2/2");
  EXPECT_EQ(form->Label4->text(), "100%");
  EXPECT_EQ(form->ProgressBar2->value(), 100);
  EXPECT_EQ(dialogs.information, std::vector<std::string>{"Recovery finished."});
  EXPECT_TRUE(form->ToolButton1->isEnabled());
  EXPECT_TRUE(form->ShellTreeView1->isEnabled());
  EXPECT_TRUE(FileExists(work / "out/disc/a.bin"));
}

// The bars are put on the screen with the frame rather than each on its own
// at once; after the run they hold its last figures and still repaint.
TEST_F(StartedWindowTest, TheBarsHoldTheRunsLastFiguresAndStillRepaint) {
  WriteFile(work / "in/a.bin", std::string(5000, 'a'));
  WriteFile(work / "in/b.bin", std::string(300000, 'b'));
  Recover(work / "in", work / "out");

  ASSERT_EQ(dialogs.information, std::vector<std::string>{"Recovery finished."});
  for (QProgressBar* bar : {form->ProgressBar1, form->ProgressBar2}) {
    EXPECT_EQ(bar->value(), 100) << bar->objectName().toStdString();
    EXPECT_TRUE(bar->updatesEnabled()) << bar->objectName().toStdString();
  }
  EXPECT_EQ(form->Label4->text(), "100%");
  EXPECT_EQ(form->Label1->text(), "2/2");
}

// Guards a read done on the window thread, and an elapsed time that stands still while a read stalls.
TEST_F(StartedWindowTest, WhileAReadStallsTheWindowProcessesMessagesAndTheElapsedTimeMovesOn) {
  SALVORINE_REQUIRE_FUSE();
  // The first block of the only file takes 2.5 s to read.
  DamagedMount disc("file disc/a.bin 5000 1\nslow disc/a.bin 0 1 2500\n");
  QElapsedTimer since_click;
  qint64 first_look_at = -1;
  std::set<QString> status_while_stalled;
  std::vector<QString> activity_while_stalled;
  When(form.get(), [&] { return !form->ToolButton1->isEnabled() && since_click.elapsed() > 200; },
       [&] { first_look_at = since_click.elapsed(); });
  When(form.get(), [&] {
         if (Cell(2, 1) == "0 (0%)") {
           status_while_stalled.insert(form->StatusBar1->text());
           const QString activity = form->Activity1->text() + "\n" + form->Activity1->toolTip();
           if (activity_while_stalled.empty() || activity_while_stalled.back() != activity) {
             activity_while_stalled.push_back(activity);
           }
         }
         return Cell(2, 1) != "0 (0%)";
       },
       [] {});
  since_click.start();
  Recover(disc.Path().string() + "/disc", work / "out");
  // Had the window waited for the read, nothing could have run before it ended.
  EXPECT_GT(first_look_at, 0);
  EXPECT_LT(first_look_at, 1500);
  EXPECT_TRUE(status_while_stalled.contains("Elapsed time: 0:00:01"));
  EXPECT_TRUE(status_while_stalled.contains("Elapsed time: 0:00:02"));
  EXPECT_EQ(Cell(2, 1), "5000 (100%)");
  // The status line says the drive is read, then that the run waits for it, with the bytes done of all.
  const auto said = [&](const QString& start) {
    return std::ranges::any_of(activity_while_stalled, [&](const QString& text) { return text.startsWith(start); });
  };
  EXPECT_TRUE(said("Reading  ·  ")) << activity_while_stalled.front().toStdString();
  EXPECT_TRUE(said("Waiting for the drive  ·  ")) << activity_while_stalled.back().toStdString();
  // Sizes in units on the line, the exact count in its tooltip.
  EXPECT_TRUE(activity_while_stalled.back().contains("0 B of 5 KB\n")) << activity_while_stalled.back().toStdString();
  EXPECT_TRUE(activity_while_stalled.back().contains("0 of 5000 bytes")) << activity_while_stalled.back().toStdString();
  // Once the run has returned, the line is empty again.
  EXPECT_TRUE(form->Activity1->text().isEmpty());
}

// Guards a Stop that seems to do nothing: the clock stood still while the run waited for the read under way.
TEST_F(StartedWindowTest, AfterStopTheStatusLineSaysTheRunEndsAfterTheReadAndTheClockRunsOn) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount disc("file disc/a.bin 5000 1\nslow disc/a.bin 0 1 2500\n");
  dialogs.answers = {true};
  std::set<QString> elapsed_after_stop;
  QString activity_after_stop;
  When(form.get(), [&] { return form->Activity1->text().startsWith("Reading"); }, [&] {
    form->ToolButton3->click();
    activity_after_stop = form->Activity1->text();
    When(form.get(), [&] {
      elapsed_after_stop.insert(form->StatusBar1->text());
      return form->ToolButton1->isEnabled();
    }, [] {});
  });
  Recover(disc.Path().string() + "/disc", work / "out");
  EXPECT_TRUE(activity_after_stop.startsWith("Stopping after the current read")) << activity_after_stop.toStdString();
  EXPECT_TRUE(elapsed_after_stop.contains("Elapsed time: 0:00:02"));
  EXPECT_TRUE(dialogs.information.empty());
}

// Guards a Skip that stops the whole run, loses what was read of the file, or
// is not heard by one of the passes: in Max Data during the first pass, in
// Thorough during the rescue of what the first pass left.
TEST_F(StartedWindowTest, SkipFileEndsThePassOverTheFileKeepsWhatWasReadAndGoesOnWithTheNext) {
  SALVORINE_REQUIRE_FUSE();
  struct Case {
    int mode;
    const char* description;
    std::function<bool(const RescueMap&)> skip_when;
  };
  const Case cases[] = {
      {kModeMaxData, "file disc/a.bin 40000 1\nslow disc/a.bin 0 40000 40\nfile disc/b.bin 100 2\n",
       [](const RescueMap& map) { return map.Total(RescueState::kDone) > 0; }},
      // Both directions of the first pass have failed: the rescue sector by sector has begun.
      {kModeThorough, "file disc/a.bin 65536 1\nbad disc/a.bin 8192 40000\ndelay_bad 150\nfile disc/b.bin 100 2\n",
       [](const RescueMap& map) { return map.Total(RescueState::kBad) >= 2048; }},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.mode);
    DamagedMount disc(test.description);
    form->ToolButton7Click();  // Refresh: the tree lists the new mount
    const std::filesystem::path out = work / ("out" + std::to_string(test.mode));
    dialogs.information.clear();
    settings->ComboBox1->setCurrentIndex(test.mode);
    bool skip_enabled = false;
    When(form.get(), [&] {
      const RescueMap* map = form->Run().LiveMap();
      return form->Run().CurrentRow() == 1 && map != nullptr && test.skip_when(*map);
    }, [&] {
      skip_enabled = form->SkipFile1->isEnabled();
      form->SkipFile1->trigger();
    });
    Recover(disc.Path().string() + "/disc", out);
    EXPECT_TRUE(skip_enabled);
    EXPECT_EQ(form->Table().StateOf(1), RowState::kSkipped);
    // The tooltip's first line is the full path; the state follows.
    EXPECT_EQ(form->StringGrid1->model()->index(0, 0).data(Qt::ToolTipRole).toString().section(QLatin1Char('\n'), 1),
              "Skipped: saved as far as it got, with its map");
    EXPECT_EQ(Cell(2, 2), "100 (100%)");
    EXPECT_EQ(dialogs.information, std::vector<std::string>{"Recovery finished."});
    // The part read is saved, and its map says how far it got.
    EXPECT_TRUE(FileExists(out / "disc/a.bin"));
    const std::string map_text = ReadFile(out / ".salvorine/maps/disc/a.bin.map");
    EXPECT_NE(map_text.find(" +"), std::string::npos) << map_text;
    EXPECT_NE(map_text.find(" ?"), std::string::npos) << map_text;
  }
}

// Guards a second run into the same save folder that leaves the user guessing
// whether it resumed anything: the summary counts what it found, the rows say it.
TEST_F(StartedWindowTest, ARunIntoTheSameSaveFolderSaysWhichFilesWereCompleteAndWhichContinued) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount disc(
      "file disc/a.bin 100 1\nfile disc/b.bin 40000 2\nslow disc/b.bin 0 40000 30\nfile disc/c.bin 100 3\n");
  dialogs.answers = {true};
  // The first run is stopped inside b.bin, which keeps its copy and map.
  When(form.get(), [&] { return form->Run().CurrentRow() == 2 && Cell(2, 2) != "0 (0%)"; },
       [&] { form->ToolButton3->click(); });
  Recover(disc.Path().string() + "/disc", work / "out");
  ASSERT_EQ(form->Table().StateOf(2), RowState::kStopped);
  EXPECT_FALSE(form->StatusBar1->text().contains("continued"));

  Recover(disc.Path().string() + "/disc", work / "out");
  const QString status = form->StatusBar1->text();
  // Before the files' count and the save folder, which a narrow window cuts first.
  EXPECT_TRUE(status.contains("   1 already complete, 1 continued; 3 files, ")) << status.toStdString();
  const QAbstractItemModel* view = form->StringGrid1->model();
  EXPECT_EQ(view->index(0, 0).data(Qt::ToolTipRole).toString().section(QLatin1Char('\n'), 1),
            "Saved whole\nAlready saved whole by an earlier run: not read again");
  EXPECT_EQ(view->index(1, 0).data(Qt::ToolTipRole).toString().section(QLatin1Char('\n'), 1),
            "Saved whole\nContinued from the copy an earlier run left");
  EXPECT_EQ(view->index(2, 0).data(Qt::ToolTipRole).toString().section(QLatin1Char('\n'), 1), "Saved whole");
  form->Russian1->trigger();
  EXPECT_EQ(view->index(1, 0).data(Qt::ToolTipRole).toString().section(QLatin1Char('\n'), 1),
            "Сохранён полностью\nПродолжен с копии, оставленной прошлым запуском");
  // "1 files": the counted words agree with their numbers.
  Recover(disc.Path().string() + "/disc/a.bin", work / "out");
  const QString one = form->StatusBar1->text();
  EXPECT_TRUE(one.contains("   1 файл, из них повреждено 0, не восстановлено: 0 Б; ")) << one.toStdString();
  EXPECT_TRUE(form->StatusBar1->TipText().contains("не восстановлено: 0 байт; "));
}

// Guards a list of left-out entries that loses their reasons or cannot hold a thousand.
// Guards sizes shown as raw bytes ("2538889 of 138333526 bytes"): units a
// person reads, rounded without passing 999 of a unit, in either language.
TEST(ByteUnitsTest, SizesTakeTheLargestUnitUnderAThousandInEitherLanguage) {
  const ByteUnits english = ByteUnitsFrom(std::string(SALVORINE_SOURCE_DIR) + "/Language/English.ini");
  const ByteUnits russian = ByteUnitsFrom(std::string(SALVORINE_SOURCE_DIR) + "/Language/Russian.ini");
  const struct {
    std::int64_t bytes;
    const char* english;
    const char* russian;
  } cases[] = {
      {0, "0 B", "0 Б"},           {999, "999 B", "999 Б"},           {1000, "1 KB", "1 КБ"},
      {1050, "1.1 KB", "1,1 КБ"},  {9999, "10 KB", "10 КБ"},          {999499, "999 KB", "999 КБ"},
      {999500, "1 MB", "1 МБ"},    {2538889, "2.5 MB", "2,5 МБ"},     {138333526, "138 MB", "138 МБ"},
      {5'000'000'000'000'000'000, "5000000 TB", "5000000 ТБ"},
  };
  for (const auto& row : cases) {
    EXPECT_EQ(ReadableBytes(row.bytes, english), row.english) << row.bytes;
    EXPECT_EQ(ReadableBytes(row.bytes, russian), row.russian) << row.bytes;
  }
}

// Guards an activity line that went silent in Thorough's sector stages, with
// a time left that climbed from 3:52 to 5:59 in 20 s, or cut in Russian after
// a speed of 0.0 KB/s over unreadable sectors: each stage is named
// with its own progress, and a time left is shown only while the finish it
// foresees holds steady, over the stage's pace rather than the run's.
TEST(ActivityLineTest, NamesEachStageWithItsProgressAndShowsOnlyASteadyTimeLeft) {
  ActivityLine line;
  ActivityLine::Texts texts;
  texts.activities = {QString(), "Reading", "Bad block", "Retrying", "Waiting for the drive"};
  texts.stages = {QString(), "Between %1 of %2", "Left %1", "Retrying %1 of %2"};
  texts.bytes_done = "%1 of %2 bytes";
  texts.size_done = "%1 of %2";
  texts.units = {{"%1 B", "%1 KB", "%1 MB", "%1 GB", "%1 TB"}, "."};
  texts.kilobytes_per_second = "%1 KB/s";
  texts.megabytes_per_second = "%1 MB/s";
  texts.time_left = "%1 left";
  texts.stopping = "Stopping";
  line.SetTexts(texts);
  using std::chrono::seconds;
  const ActivityLine::TimePoint start{};
  const std::int64_t total = 138333526;
  // Each second, `sectors(t)` sectors of the stage (of 1000) are done, and 3 KB more read.
  const struct {
    const char* name;
    RescueStage stage;
    std::function<std::int64_t(int)> sectors;
    const char* shown_at_20;  // the line after 20 s
    std::int64_t read_per_second = 3000;
  } cases[] = {
      {"steady retries", RescueStage::kRetrying, [](int t) { return 10 * t; },
       "Retrying 200 of 1000  ·  3.0 KB/s  ·  2.5 MB of 138 MB  ·  0:01:20 left"},
      {"steady scrape", RescueStage::kSectorsLeft, [](int t) { return 10 * t; },
       "Left 800  ·  3.0 KB/s  ·  2.5 MB of 138 MB  ·  0:01:20 left"},
      // The pace halves and halves again: the finish it foresees moves later.
      {"slowing scrape", RescueStage::kSectorsLeft, [](int t) { return t < 10 ? 20 * t : 200 + 2 * (t - 10); },
       "Left 780  ·  3.0 KB/s  ·  2.5 MB of 138 MB"},
      // Probes end before every sector is tried: no end to foresee.
      {"probes", RescueStage::kBetweenBadAreas, [](int t) { return 10 * t; },
       "Between 200 of 1000  ·  3.0 KB/s  ·  2.5 MB of 138 MB"},
      // Sectors that all fail deliver nothing: no "0.0 KB/s" taking the time left's room.
      {"unreadable scrape", RescueStage::kSectorsLeft, [](int t) { return 10 * t; },
       "Left 800  ·  2.5 MB of 138 MB  ·  0:01:20 left", 0},
  };
  for (const auto& row : cases) {
    line.Start(start, total);
    ActivityLine::Line shown;
    for (int t = 0; t <= 20; ++t) {
      const ActivityLine::State state{ReadActivity::kReading, false, 2538889, row.read_per_second * t,
                                      {row.stage, row.sectors(t), 1000}};
      shown = line.Text(start + seconds(t), state);
      // Not before the finish has held for some seconds.
      if (t < 5) {
        EXPECT_FALSE(shown.shown.endsWith(" left")) << row.name << " at " << t;
      }
    }
    EXPECT_EQ(shown.shown.toStdString(), row.shown_at_20) << row.name;
    EXPECT_EQ(shown.whole, QString(shown.shown).replace("2.5 MB of 138 MB", "2538889 of 138333526 bytes")) << row.name;
  }
  // Outside a stage, the drive's activity and the run's own pace.
  line.Start(start, 10'000'000);
  ActivityLine::Line shown;
  for (int t = 0; t <= 20; ++t) {
    shown = line.Text(start + seconds(t), {ReadActivity::kReading, false, 250'000 * t, 250'000 * t, {}});
  }
  EXPECT_EQ(shown.shown.toStdString(), "Reading  ·  250.0 KB/s  ·  5 MB of 10 MB  ·  0:00:20 left");
}

TEST(LeftOutDialogTest, ListsEveryEntryWithItsReason) {
  std::vector<std::string> entries;
  for (int i = 0; i < 1000; ++i) {
    entries.push_back("/disc/f" + std::to_string(i) + "\rA symbolic link that leads nowhere; left out.");
  }
  LeftOutDialog dialog("1000 entries below the selection were left out of the run:", entries);
  ASSERT_EQ(dialog.List1->rowCount(), 1000);
  EXPECT_EQ(dialog.List1->item(999, 0)->text(), "/disc/f999");
  EXPECT_EQ(dialog.List1->item(999, 1)->text(), "A symbolic link that leads nowhere; left out.");
}

// Guards a damage map that stays blank while a file is read, misses where the
// pass found damage, or disagrees with the row's Damaged figure once saved.
TEST_F(StartedWindowTest, TheDamageMapFollowsAThoroughPassAndThenShowsTheSavedMap) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount disc(
      "file disc/a.bin 65536 1\nbad disc/a.bin 20000 30000\ndelay_bad 100\nfile disc/b.bin 100 2\n");
  settings->ComboBox1->setCurrentIndex(kModeThorough);
  const auto count = [&](CellShade shade) {
    return std::ranges::count_if(form->DamageMap1->Cells(),
                                 [&](const DamageCell& cell) { return cell.Shade() == shade; });
  };
  std::set<long> finished_while_read;
  bool saw_reading = false, saw_untried = false;
  std::int64_t most_bad_while_read = 0;
  bool second_read = false;
  std::set<QString> activity_of_first, counts_disagreeing;
  // The first file's rescue goes on after the second file's pass.
  When(form.get(), [&] {
    // The Total label, bar and percentage tell one figure, the files done of all.
    const QStringList files = form->Label1->text().section("  ·  ", 0, 0).split('/');
    if (files.size() != 2 || files[1] == "0") {
      if (form->Label1->text() != "0/0") counts_disagreeing.insert(form->Label1->text());
    } else if (form->ProgressBar2->value() != files[0].toInt() * 100 / files[1].toInt() ||
        form->Label4->text() != QString::number(form->ProgressBar2->value()) + "%") {
      counts_disagreeing.insert(form->Label1->text() + " " + form->Label4->text());
    }
    if (form->Run().CurrentRow() == 1) {
      activity_of_first.insert(form->Label1->text() + " | " + form->Activity1->text());
    }
    if (form->Run().CurrentRow() == 1 && form->Run().LiveMap() != nullptr) {
      finished_while_read.insert(count(CellShade::kFinished));
      saw_reading = saw_reading || count(CellShade::kReading) > 0;
      saw_untried = saw_untried || count(CellShade::kUntried) > 0;
      most_bad_while_read = std::max(most_bad_while_read, form->Run().LiveMap()->Total(RescueState::kBad));
    }
    second_read = second_read || form->Run().CurrentRow() == 2;
    return second_read && form->Run().Idle();
  }, [] {});
  Recover(disc.Path().string() + "/disc", work / "out");
  ASSERT_EQ(Cell(2, 2), "100 (100%)");
  EXPECT_EQ(counts_disagreeing, std::set<QString>{});
  EXPECT_EQ(form->Label1->text(), "2/2");
  // The waiting file's rescue says what it does beside the files done, and
  // on the activity line stage by stage, each with its progress.
  const auto said = [&](const QString& start) {
    return std::ranges::any_of(activity_of_first, [&](const QString& text) { return text.startsWith(start); });
  };
  EXPECT_TRUE(said("1/2  ·  Rescuing damaged files: 1 of 1 | Rescuing between bad areas: "));
  EXPECT_TRUE(said("1/2  ·  Rescuing damaged files: 1 of 1 | Trying the sectors left, "));
  EXPECT_TRUE(saw_reading);
  EXPECT_TRUE(saw_untried);
  // The map grew as the pass went, not only once it was over.
  EXPECT_GE(finished_while_read.size(), 3u);
  // Failed probes showed as they failed, beyond the two blocks the first pass failed on.
  EXPECT_GT(most_bad_while_read, 2 * kSmallBlock);

  // The whole second file; then the first, from the map saved beside its copy.
  const std::vector<DamageCell>& cells = form->DamageMap1->Cells();
  form->StringGrid1->selectRow(1);
  ASSERT_FALSE(cells.empty());
  EXPECT_EQ(count(CellShade::kFinished), static_cast<long>(cells.size()));
  form->StringGrid1->selectRow(0);
  ASSERT_GT(cells.size(), 20u);
  std::int64_t bad = 0;
  for (const DamageCell& cell : cells) bad += cell.BytesIn(RescueState::kBad) + cell.BytesIn(RescueState::kUntried);
  EXPECT_EQ(bad, form->Table().DamagedBytesOf(1));
  EXPECT_GT(bad, 0);
  const auto cell_of = [&](std::int64_t byte) {
    const auto found = std::ranges::find_if(cells, [&](const DamageCell& cell) { return cell.end > byte; });
    return static_cast<int>(found - cells.begin());
  };
  // The first bad sector failed to read; the cells before it and after the bad range read.
  EXPECT_EQ(cells[static_cast<std::size_t>(cell_of(20000))].Shade(), CellShade::kBad);
  EXPECT_EQ(cells[static_cast<std::size_t>(cell_of(0))].Shade(), CellShade::kFinished);
  EXPECT_EQ(cells.back().Shade(), CellShade::kFinished);
  const QString tip = form->DamageMap1->CellText(cell_of(20000));
  EXPECT_TRUE(tip.startsWith("Bytes ")) << tip.toStdString();
  EXPECT_TRUE(tip.contains(": Unreadable\n")) << tip.toStdString();
  EXPECT_EQ(form->DamageMap1->CellAt(form->DamageMap1->CellRect(cell_of(20000)).center()), cell_of(20000));
  form->Russian1->trigger();
  EXPECT_TRUE(form->DamageMap1->CellText(cell_of(20000)).startsWith("Байты с"));
}

// Guards views of a row that disagree however a Thorough run ends while
// damaged files wait for their rescue: the table's cells and tooltip count,
// salvorine-cli's line, the report, the map beside the copy, the copy's bytes
// and the map panel; and a panel that shows another file's map for a copy
// kept beside it ("IMG (2).JPG") or for a long name whose map name is cut short.
TEST_F(StartedWindowTest, EveryViewOfARowAgreesHoweverAThoroughRunEnds) {
  SALVORINE_REQUIRE_FUSE();
  enum class End { kComplete, kStop, kSkip, kError, kMediumGone };
  // The Stop comes while the slow file's first read fails, slowly: the pass ends having read nothing.
  const std::string failing_start = "bad disc/zz.bin 0 4096\ndelay_bad 400\n";
  const struct {
    End end;
    const char* name;
    RowState waiting, read;  // the damaged files' state, and that of the one read at the end
    std::string damage;      // besides the description's
  } cases[] = {{End::kComplete, "complete", RowState::kDamaged, RowState::kSaved, "delay_bad 20\n"},
               {End::kStop, "stop", RowState::kStopped, RowState::kStopped, failing_start},
               {End::kSkip, "skip", RowState::kDamaged, RowState::kSkipped, "delay_bad 20\n"},
               {End::kMediumGone, "medium", RowState::kStopped, RowState::kStopped, "delay_bad 20\n"},
               {End::kError, "full", RowState::kStopped, RowState::kUnsaved, "delay_bad 20\n"}};
  // Row N holds the bytes of seed N: the two damaged files sort before the slow one. The first pass
  // and the edges of the damage leave IMG.JPG's middle untried, and the long name's one bad
  // sector for its retries alone.
  const std::string long_name(253, 'n');
  const std::string description = "file disc/IMG.JPG 65536 1\nbad disc/IMG.JPG 20000 12000\n"
                                  "file disc/" + long_name + " 65536 2\nbad disc/" + long_name + " 40000 1\n"
                                  "file disc/zz.bin 1048576 3\nslow disc/zz.bin 0 1048576 60\n";
  settings->ComboBox1->setCurrentIndex(kModeThorough);
  settings->SpinBox1->setValue(2);  // Retries
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string out = work / (std::string("out-") + c.name);
    const std::string cli_out = out + "-cli";
    // The error: a save disk too small for the slow file's copy, which only root can mount here.
    const bool small = c.end == End::kError;
    if (small && ::geteuid() != 0) GTEST_SKIP() << "mounting a small save disk needs root";
    const auto unmount = qScopeGuard([&] {
      if (!small) return;
      for (const std::string& folder : {out, cli_out}) ::umount2(folder.c_str(), MNT_DETACH);
    });
    for (const std::string& folder : {out, cli_out}) {
      std::filesystem::create_directories(folder);
      if (small) {
        ASSERT_EQ(::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=768k"), 0) << folder;
      }
      // Another file's copy, with a map of its own, where IMG.JPG's copy would go: both are kept.
      WriteFile(folder + "/disc/IMG.JPG", std::string(65536, '\xAA'));
      WriteFile(folder + "/.salvorine/maps/disc/IMG.JPG.map", "0x0 +\n0x0 0x10000 +\n");
    }
    const auto expected_state = [&](int row) { return row == 3 ? c.read : c.waiting; };
    // The map panel shows the slow file's map with a read under way.
    const auto slow_file_read = [&] {
      const std::vector<DamageCell>& cells = form->DamageMap1->Cells();
      return !cells.empty() && cells.back().end == 1048576 &&
             std::ranges::any_of(cells, [](const DamageCell& cell) { return cell.reading; });
    };

    DamagedMount disc(description + c.damage);
    form->ToolButton7Click();  // Refresh: the tree lists the new mount
    dialogs.answers = {true};
    if (c.end == End::kStop || c.end == End::kSkip || c.end == End::kMediumGone) {
      // Both damaged files wait for their rescue while the slow one is read.
      When(form.get(), [&] {
        return form->Run().CurrentRow() == 3 && form->Table().StateOf(1) == RowState::kDamaged &&
               form->Table().StateOf(2) == RowState::kDamaged &&
               (c.end == End::kStop ? slow_file_read() : Cell(2, 3) != "0 (0%)");
      }, [&] {
        if (c.end == End::kStop) form->ToolButton3->click();
        if (c.end == End::kSkip) form->SkipFile1->trigger();
        if (c.end != End::kMediumGone) return;
        disc.Kill();
        When(form.get(), [&] { return form->Run().WaitingForMedium(); }, [&] { form->ToolButton3->click(); });
      });
    }
    Recover(disc.Path().string() + "/disc", out);
    const std::vector<ReportRow> report = ParseReport(ReadFile(out + "/.salvorine/report.tsv"));
    ASSERT_EQ(form->Table().RowCount(), 4);
    for (int row = 1; row <= 3; ++row) {
      SCOPED_TRACE(row);
      const RowState state = form->Table().StateOf(row);
      // The long name's file waits for its retries alone: how it ends is the engine's to say, so long as views agree.
      if (row != 2) {
        ASSERT_EQ(state, expected_state(row));
      }
      RescueMap map(0, 0);
      ASSERT_NO_FATAL_FAILURE(ExpectViewsAgree(report, {Cell(0, row), RowStateWord(state), Cell(2, row), Cell(3, row)},
                                               static_cast<std::uint64_t>(row), map));
      EXPECT_EQ(form->Table().DamagedBytesOf(row), form->Table().Figures(row).damaged);
      const auto line = std::ranges::find(report, Cell(0, row), &ReportRow::path);
      if (!line->map_path.empty()) {
        EXPECT_EQ(form->Run().MapPathOf(row), line->map_path);
      }
      if (row == 1) {
        EXPECT_EQ(std::filesystem::path(line->copy_path).filename(), "IMG (2).JPG");
      }
      // The map panel draws that very map.
      form->StringGrid1->selectRow(row - 1);
      const std::vector<DamageCell>& cells = form->DamageMap1->Cells();
      ASSERT_FALSE(cells.empty());
      const std::vector<DamageCell> drawn =
          DamageCells(map.Segments(), form->Table().Figures(row).size, static_cast<int>(cells.size()));
      EXPECT_TRUE(std::ranges::equal(cells, drawn, [](const DamageCell& a, const DamageCell& b) {
        return a.start == b.start && a.bytes == b.bytes;
      }));
    }

    // salvorine-cli, ended the same way where it can be (it has no Skip File), prints what its report says.
    if (c.end == End::kSkip) continue;
    DamagedMount cli_disc(description + c.damage);
    StartedProgram cli(
        {SALVORINE_CLI_PATH, "--mode", "thorough", "--retries", "2", cli_disc.Path().string() + "/disc", cli_out}, {});
    // Both damaged files wait (their maps stand beside the other file's) and the slow one has its working copy.
    const auto reading_the_slow_file = [&] {
      std::error_code unknown;
      const auto maps = std::filesystem::directory_iterator(cli_out + "/.salvorine/maps/disc", unknown);
      return std::distance(begin(maps), end(maps)) == 3 && FileExists(cli_out + "/.salvorine/TMP654/3.bin");
    };
    if (c.end == End::kStop || c.end == End::kMediumGone) {
      ASSERT_TRUE(Eventually(reading_the_slow_file));
      c.end == End::kStop ? cli.Signal(SIGTERM) : cli_disc.Kill();
    }
    const ProgramOutput printed = cli.Wait();
    const std::vector<ReportRow> cli_report = ParseReport(ReadFile(cli_out + "/.salvorine/report.tsv"));
    const std::vector<std::string> lines = SplitText(printed.out, '\n');
    ASSERT_EQ(lines.size(), 4u) << printed.out << printed.err;  // three rows and the end of the last
    for (int row = 1; row <= 3; ++row) {
      SCOPED_TRACE(lines[static_cast<std::size_t>(row - 1)]);
      const std::vector<std::string> fields = SplitText(lines[static_cast<std::size_t>(row - 1)], '\t');
      ASSERT_EQ(fields.size(), 5u);
      if (row != 2) {
        EXPECT_EQ(fields[4], RowStateWord(expected_state(row)));
      }
      RescueMap map(0, 0);
      ExpectViewsAgree(cli_report, {UnescapedField(fields[0]), fields[4], fields[2], fields[3]},
                       static_cast<std::uint64_t>(row), map);
    }
  }
}

// Guards a second run entered while a stopped run still waits for its read:
// it would empty the working folder under the open copy and take the read's result.
TEST_F(StartedWindowTest, RecoverStaysUnavailableUntilAStoppedRunHasReturned) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount disc("file disc/a.bin 5000 1\nslow disc/a.bin 0 1 1500\n");
  dialogs.answers = {true};
  std::vector<bool> enabled_after_stop;
  When(form.get(), [&] { return !form->ToolButton1->isEnabled() && form->StatusBar1->text().startsWith("Elapsed"); },
       [&] {
         form->ToolButton3->click();
         enabled_after_stop = {form->ToolButton1->isEnabled(), form->Recover2->isEnabled()};
         form->ToolButton1Click();  // as a shortcut or a queued click would
       });
  Recover(disc.Path().string() + "/disc", work / "out");
  EXPECT_EQ(enabled_after_stop, (std::vector<bool>{false, false}));
  EXPECT_EQ(dialogs.questions.size(), 1u);
  EXPECT_TRUE(dialogs.information.empty());
  EXPECT_TRUE(form->ToolButton1->isEnabled());
  EXPECT_TRUE(form->Recover2->isEnabled());
}

TEST_F(StartedWindowTest, StopAnsweredNoGoesOnAndYesEndsTheRun) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount disc("file disc/a.bin 40000 1\nslow disc/a.bin 0 40000 40\nfile disc/b.bin 100 2\n");
  dialogs.answers = {false, true};
  // Stop during the first file, answered No; once the run has gone on, Stop answered Yes.
  std::string after_no;
  When(form.get(), [&] { return Cell(2, 1) != "0 (0%)"; }, [&] {
    form->ToolButton3->click();
    after_no = Cell(2, 1);
    When(form.get(), [&] { return Cell(2, 1) != after_no; }, [&] { form->ToolButton3->click(); });
  });
  Recover(disc.Path().string() + "/disc", work / "out");
  EXPECT_EQ(dialogs.questions.size(), 2u);
  EXPECT_NE(Cell(2, 1), "40000 (100%)");
  EXPECT_EQ(Cell(2, 2), "0 (0%)");
  EXPECT_TRUE(dialogs.information.empty());
  EXPECT_TRUE(form->ToolButton1->isEnabled());
  // The summary says what the stop left: most of a.bin unread, b.bin not reached.
  const QString status = form->StatusBar1->text();
  EXPECT_TRUE(status.contains("   1 stopped, ") && status.contains(" KB not read; 1 not reached; 2 files, "))
      << status.toStdString();
}

// A card pulled in the middle of a file: the status bar says the run waits
// for it, with no speed or time left beside, and once the same card is back
// the run goes on to the end, the file whole.
TEST_F(StartedWindowTest, APulledMediumIsWaitedForAndTheRunGoesOnWhenItIsBack) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount disc("file disc/a.bin 40000 1\nslow disc/a.bin 0 40000 40\nfile disc/b.bin 100 2\n");
  QString activity_while_waiting = QStringLiteral("not seen");
  When(form.get(), [&] { return Cell(2, 1) != "0 (0%)"; }, [&] {
    disc.Kill();
    When(form.get(), [&] { return form->StatusBar1->text().contains("waiting for it to come back"); }, [&] {
      activity_while_waiting = form->Activity1->text();
      disc.Restart();
    });
  });
  Recover(disc.Path().string() + "/disc", work / "out");
  EXPECT_EQ(activity_while_waiting.toStdString(), "");
  EXPECT_EQ(dialogs.information.size(), 1u);  // the run completed
  EXPECT_EQ(Cell(2, 1), "40000 (100%)");
  EXPECT_EQ(Cell(3, 1), "0 (0%)");
  EXPECT_EQ(ReadFile(work / "out/disc/a.bin").size(), 40000u);
}

// The preview reads a row's working copy while the run writes it (in the
// save folder's working folder, through the run's own descriptor of it), and
// the saved copy once the run is over and the working folder is gone.
TEST_F(StartedWindowTest, ThePreviewFindsTheCopyDuringTheRunAndAfterIt) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount disc("file disc/a.txt 40000 1\nslow disc/a.txt 0 40000 20\n");
  TForm5 preview(dialogs, form.get());
  form->SetPreviewWindow(&preview);
  const auto preview_path = [&] {
    std::string path;
    QTimer::singleShot(0, &preview, [&] {
      path = preview.Label9->property("path").toByteArray().toStdString();
      preview.Button1->click();
    });
    form->StringGrid1->setCurrentIndex(form->StringGrid1->model()->index(0, 0));
    form->ToolButton4->click();
    return path;
  };
  std::string during, first_block;
  When(form.get(), [&] { return Cell(2, 1) != "0 (0%)" && Cell(2, 1) != "40000 (100%)"; }, [&] {
    during = preview_path();
    first_block = ReadFile(during).substr(0, 1024);
  });
  Recover(disc.Path().string() + "/disc", work / "out");
  ASSERT_FALSE(during.empty());
  EXPECT_EQ(first_block, ReadFile(work / "out/disc/a.txt").substr(0, 1024));
  EXPECT_TRUE(preview_path().empty());
  EXPECT_EQ(preview.Edit2->property("path").toByteArray().toStdString(), work / "out/disc/a.txt");
  form->SetPreviewWindow(nullptr);
}

// The File menu opens the damage report the last run wrote (and says so when
// there is none); the Settings box decides whether earlier copies are taken up.
TEST_F(StartedWindowTest, TheDamageReportOpensFromTheFileMenuAndContinuingFollowsItsBox) {
  WriteFile(work / "src/a.txt", "a");
  form->Report1->trigger();
  ASSERT_EQ(dialogs.information, std::vector<std::string>{"No run has written a damage report yet."});
  EXPECT_TRUE(desktop.opened.empty());
  Recover(work / "src", work / "out");
  form->Report1->trigger();
  EXPECT_TRUE(desktop.opened.empty());
  auto* report = form->findChild<DamageReportDialog*>();
  ASSERT_NE(report, nullptr);
  EXPECT_TRUE(report->isVisible());
  ASSERT_EQ(report->Table->rowCount(), 1);
  EXPECT_EQ(report->Table->item(0, 0)->text(), Shown(work / "src/a.txt"));

  // A second run finds the copy whole and reads nothing (the saved copy
  // stays the very file it was); with the box cleared, the third reads it
  // again, into that very copy, which keeps what the source no longer gives.
  const auto saved = [&] {
    struct stat status {};
    EXPECT_EQ(::stat((work / "out/src/a.txt").c_str(), &status), 0);
    return status.st_ino;
  };
  const ino_t first = saved();
  Recover(work / "src", work / "out");
  EXPECT_EQ(saved(), first);
  EXPECT_NE(form->StatusBar1->text().indexOf(QStringLiteral("1 already complete, 0 continued")), -1)
      << form->StatusBar1->text().toStdString();
  settings->CheckBox3->setChecked(false);
  Recover(work / "src", work / "out");
  EXPECT_EQ(saved(), first);
  EXPECT_NE(form->StatusBar1->text().indexOf(QStringLiteral("0 already complete, 1 continued")), -1)
      << form->StatusBar1->text().toStdString();
}

// Guards a report that only a desktop handler could show and that was forgotten
// at a restart: the save folder's report is read afresh and shown in a table.
TEST_F(StartedWindowTest, TheDamageReportOfTheSaveFolderShowsInATableThatSortsAndOpensMaps) {
  WriteFile(work / "out/.salvorine/maps/b.bin.map", "# map of b\n0x0 +\n0x0 0x5 +\n0x5 0x4 -\n");
  WriteFile(work / "out/.salvorine/report.tsv",
            "path\tsize\trecovered\tdamaged\tstate\tmap\n"
            "/disc/a\\tb.txt\t100\t100\t0\tok\t\n"
            "/disc/b.bin\t9\t5\t4\tdamaged\t" + work / "out/.salvorine/maps/b.bin.map\n"
            "/disc/c.bin\t10\t0\t0\tpending\t\n");
  form->Edit2->setText(Shown(work / "out"));
  form->Russian1->trigger();
  form->Report1->trigger();
  auto* report = form->findChild<DamageReportDialog*>();
  ASSERT_NE(report, nullptr);
  ASSERT_EQ(report->Table->rowCount(), 3);
  EXPECT_EQ(report->windowTitle(), "Отчёт о повреждениях");
  EXPECT_EQ(report->Table->horizontalHeaderItem(1)->text(), "Размер");
  EXPECT_EQ(report->Table->item(0, 0)->text(), "/disc/a\tb.txt");
  EXPECT_EQ(report->Table->item(1, 5)->text(), "повреждён");
  // Recovered, damaged and unread add up to the size: the file never reached is all unread.
  EXPECT_EQ(report->Table->horizontalHeaderItem(4)->text(), "Не прочитано");
  EXPECT_EQ(report->Table->item(2, 4)->text(), "10");
  // Sizes sort by value: 9, 10, 100.
  report->Table->sortByColumn(1, Qt::AscendingOrder);
  EXPECT_EQ(report->Table->item(0, 0)->text(), "/disc/b.bin");
  EXPECT_EQ(report->Table->item(1, 0)->text(), "/disc/c.bin");
  report->Table->selectRow(1);
  EXPECT_FALSE(report->OpenMapButton->isEnabled());  // a row without a map
  report->Table->selectRow(0);
  ASSERT_TRUE(report->OpenMapButton->isEnabled());
  report->OpenMapButton->click();
  auto* map = form->findChild<TextWindow*>();
  ASSERT_NE(map, nullptr);
  EXPECT_TRUE(map->isVisible());
  EXPECT_EQ(map->Browser->toPlainText(), "# map of b\n0x0 +\n0x0 0x5 +\n0x5 0x4 -\n");
  // Drawn as the map panel draws a row's: the first five bytes read, the last four bad.
  const std::vector<DamageCell>& cells = map->Map->Cells();
  ASSERT_FALSE(cells.empty());
  EXPECT_EQ(cells.front().Shade(), CellShade::kFinished);
  EXPECT_EQ(cells.back().Shade(), CellShade::kBad);
  EXPECT_TRUE(map->Map->CellText(0).contains(QStringLiteral("9"))) << map->Map->CellText(0).toStdString();
  EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(StartedWindowTest, ClosingDuringARunAsksAndOkStopsTheRunAndClosesTheWindow) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount disc("file disc/a.bin 40000 1\nslow disc/a.bin 0 40000 40\n");
  dialogs.answers = {false, true};
  bool visible_after_cancel = false;
  std::string after_cancel;
  When(form.get(), [&] { return Cell(2, 1) != "0 (0%)"; }, [&] {
    form->close();
    visible_after_cancel = form->isVisible();
    after_cancel = Cell(2, 1);
    When(form.get(), [&] { return Cell(2, 1) != after_cancel; }, [&] { form->close(); });
  });
  Recover(disc.Path().string() + "/disc", work / "out");
  EXPECT_TRUE(visible_after_cancel);
  EXPECT_FALSE(form->isVisible());
  EXPECT_NE(Cell(2, 1), "40000 (100%)");
  // The copy the run was writing when the window closed is saved as far as
  // it got, with its map; the working folder goes with the run.
  EXPECT_TRUE(FileExists(work / "out/disc/a.bin"));
  EXPECT_TRUE(FileExists(work / "out/.salvorine/maps/disc/a.bin.map"));
  EXPECT_FALSE(FileExists(work / "out/.salvorine/TMP654"));
}

TEST_F(StartedWindowTest, EjectTogglesCaptionAndPictureAgainstTheTray) {
  ASSERT_EQ(form->ToolButton6->text(), "Eject");
  form->ToolButton6->click();
  EXPECT_EQ(tray.opened, 1);
  EXPECT_EQ(form->ToolButton6->text(), "Close");
  EXPECT_EQ(form->ToolButton6->property("imageIndex").toInt(), 1);
  form->ToolButton6->click();
  EXPECT_EQ(tray.closed, 1);
  EXPECT_EQ(form->ToolButton6->text(), "Eject");
  EXPECT_EQ(form->ToolButton6->property("imageIndex").toInt(), 0);
}

// Guards names cut in the middle ("/media/…14.JPG") while the folder part had room to give.
TEST(PathElisionTest, AFolderGivesUpItsMiddleThenItselfBeforeTheFileNameIsCut) {
  const QFontMetrics metrics(QApplication::font());
  const QString path = QStringLiteral("/media/alice/EOS_DIGITAL/DCIM/100CANON/IMG_0416.JPG");
  const QString name = QStringLiteral("IMG_0416.JPG"), nameless = QStringLiteral("\u2026/IMG_0416.JPG");
  const auto width = [&](const QString& text) { return metrics.horizontalAdvance(text); };
  // Empty: the folder's start, cut in its middle, before the whole name.
  const std::pair<int, QString> cases[] = {
      {width(path), path}, {width(path) - 1, {}}, {width(nameless), nameless}, {width(name), name},
      {width(name) - 1, metrics.elidedText(name, Qt::ElideMiddle, width(name) - 1)}};
  for (const auto& [room, expected] : cases) {
    const QString shown = ElidedPath(metrics, path, room);
    EXPECT_LE(width(shown), room) << shown.toStdString();
    if (expected.isEmpty()) {
      EXPECT_TRUE(shown.startsWith(QStringLiteral("/media/")) && shown.endsWith(QStringLiteral("/") + name) &&
                  shown.contains(QStringLiteral("\u2026")))
          << shown.toStdString();
    } else {
      EXPECT_EQ(shown.toStdString(), expected.toStdString());
    }
  }
}

// Guards a marked row's name cut ("IMG…JPG") beside the unused room of a hidden scroll bar.
TEST_F(StartedWindowTest, ColumnZeroTakesTheWidthTheOtherColumnsLeave) {
  const auto filled = [&] { return form->StringGrid1->columnWidth(0) + 83 + 95 + 95; };
  EXPECT_EQ(filled(), form->StringGrid1->viewport()->width());
  // Rows enough for a scroll bar: the columns leave it its room.
  form->Table().SetRowCount(40);
  form->Table().ShowChanges();
  ASSERT_TRUE(Eventually([&] { return form->StringGrid1->verticalScrollBar()->isVisible(); }));
  EXPECT_EQ(filled(), form->StringGrid1->viewport()->width());
  EXPECT_FALSE(form->StringGrid1->horizontalScrollBar()->isVisible());
  const int before = form->StringGrid1->columnWidth(0);
  form->resize(form->width() + 100, form->height());
  QApplication::processEvents();
  EXPECT_EQ(form->StringGrid1->columnWidth(0), before + 100);
  EXPECT_EQ(form->StringGrid1->columnWidth(1), 83);
  EXPECT_EQ(form->StringGrid1->columnWidth(3), 95);
  form->resize(300, 480);
  QApplication::processEvents();
  EXPECT_GT(form->StringGrid1->columnWidth(0), 0);

  // The tree is as wide as the user drags it, maximized too, and the names take what it leaves.
  form->resize(1000, 600);
  QApplication::processEvents();
  const int tree = form->Splitter1->sizes().value(0), names = form->StringGrid1->columnWidth(0);
  QSplitterHandle* handle = form->Splitter1->handle(1);
  const QPoint grip = handle->rect().center();
  const auto mouse = [&](QEvent::Type type, int dx, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(grip.x() + dx, grip.y()), QPointF(handle->mapToGlobal(grip) + QPoint(dx, 0)),
                      Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(handle, &event);
  };
  mouse(QEvent::MouseButtonPress, 0, Qt::LeftButton);
  mouse(QEvent::MouseMove, 150, Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, 150, Qt::NoButton);
  QApplication::processEvents();
  EXPECT_EQ(form->Splitter1->sizes().value(0), tree + 150);
  EXPECT_EQ(form->StringGrid1->columnWidth(0), names - 150);
  form->resize(1100, 600);
  QApplication::processEvents();
  EXPECT_EQ(form->Splitter1->sizes().value(0), tree + 150);
  EXPECT_EQ(form->StringGrid1->columnWidth(0), names - 50);
}

TEST_F(StartedWindowTest, TheTreeReportsTheSelectedItemsFullPath) {
  WriteFile(work / "d/\xff-name.txt", "x");
  EXPECT_EQ(form->Tree().SelectedPath(), "");
  EXPECT_EQ(ShellTreeView::PathOf(form->Tree().topLevelItem(0)), "/");
  ASSERT_TRUE(form->Tree().SelectPath(work / "d/\xff-name.txt"));
  EXPECT_EQ(form->Tree().SelectedPath(), work / "d/\xff-name.txt");
  // A run over that selection saves the file under its own bytes.
  form->Edit2->setText(Shown(work / "out"));
  form->ToolButton1->click();
  EXPECT_EQ(ReadFile(work / "out/\xff-name.txt"), "x");
}

// Guards a new folder that Refresh did not show because the first visible item was a file.
TEST_F(StartedWindowTest, RefreshRereadsEveryExpandedFolderWhereverTheTreeIsScrolled) {
  for (int i = 0; i < 300; ++i) WriteFile(work / ("d/f" + std::to_string(i)), "");
  ASSERT_TRUE(form->Tree().SelectPath(work / "d/f150"));
  // Far from both ends, so that other tests' folders coming and going in the
  // shared temporary folder cannot move the scroll bar's limits past it.
  form->Tree().scrollToItem(form->Tree().currentItem(), QAbstractItemView::PositionAtTop);
  QApplication::processEvents();
  ASSERT_EQ(ShellTreeView::PathOf(form->Tree().itemAt(0, 0)), work / "d/f150");
  std::filesystem::create_directories(work / "d/new");
  const int scroll = form->Tree().verticalScrollBar()->value();
  form->ToolButton7->click();
  EXPECT_EQ(form->Tree().SelectedPath(), work / "d/f150");
  EXPECT_EQ(form->Tree().verticalScrollBar()->value(), scroll);
  EXPECT_TRUE(form->Tree().SelectPath(work / "d/new"));
  // "/" and folders not read yet show that they can be opened.
  EXPECT_TRUE(form->Tree().rootIsDecorated());
  EXPECT_EQ(form->Tree().topLevelItem(0)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
}

// Guards a disc mounted after the start that never appeared, even after Refresh,
// and a selection that jumped to the neighbouring medium when its own went away,
// so that the next Recover would have read another disk.
TEST_F(StartedWindowTest, MediaMountedAndUnmountedAfterTheStartComeAndGoInTheTree) {
  std::vector<std::string> media;
  form->Tree().SetMountSource([&] { return media; });
  const auto listed = [&](const std::string& path) {
    for (int i = 0; i < form->Tree().topLevelItemCount(); ++i) {
      if (ShellTreeView::PathOf(form->Tree().topLevelItem(i)) == path) return true;
    }
    return false;
  };
  const int fixed = form->Tree().topLevelItemCount();
  std::filesystem::create_directories(work / "stick");
  media = {work / "stick"};
  form->ToolButton7->click();  // Refresh
  EXPECT_TRUE(listed(work / "stick"));
  std::filesystem::create_directories(work / "card/DCIM");
  media = {work / "card", work / "stick"};
  form->Tree().SyncMedia();  // as a change of the mount table runs it
  form->Edit2->setText(Shown(work / "out"));
  const std::string nothing_selected =
      "Nothing is selected in the folder tree: select the folder or file to recover. "
      "A medium that went away is selected again when it comes back.";
  for (const std::string& chosen : {work / "stick", work / "card/DCIM"}) {
    SCOPED_TRACE(chosen);
    ASSERT_TRUE(form->Tree().SelectPath(chosen));
    media = {chosen.starts_with(work / "card") ? work / "stick" : work / "card"};
    form->Tree().SyncMedia();
    EXPECT_EQ(form->Tree().SelectedPath(), "");
    form->ToolButton7->click();  // nor does Refresh select anything else
    EXPECT_EQ(form->Tree().SelectedPath(), "");
    dialogs.errors.clear();
    form->ToolButton1->click();
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{nothing_selected});
    EXPECT_FALSE(std::filesystem::exists(work / "out"));
    media = {work / "card", work / "stick"};
    form->Tree().SyncMedia();
    EXPECT_EQ(form->Tree().SelectedPath(), chosen);
  }
  // A folder gone at Refresh (a medium unmounted below its mount point) leaves no
  // selection, not its parent's; it is selected again once it is back.
  ASSERT_TRUE(form->Tree().SelectPath(work / "card/DCIM"));
  std::filesystem::remove(work / "card/DCIM");
  form->ToolButton7->click();
  EXPECT_EQ(form->Tree().SelectedPath(), "");
  std::filesystem::create_directories(work / "card/DCIM");
  form->ToolButton7->click();
  EXPECT_EQ(form->Tree().SelectedPath(), work / "card/DCIM");

  media.clear();
  form->ToolButton7->click();
  EXPECT_FALSE(listed(work / "stick"));
  EXPECT_EQ(form->Tree().topLevelItemCount(), fixed);

  // A change of the mount table is seen without a Refresh.
  SALVORINE_REQUIRE_FUSE();
  auto disc = std::make_unique<DamagedMount>("file a.bin 10 1\n");
  const std::string mounted = disc->Path().string();
  media = {mounted};
  EXPECT_TRUE(Eventually([&] { return listed(mounted); }));
  media.clear();
  disc.reset();
  EXPECT_TRUE(Eventually([&] { return !listed(mounted); }));
}

// Guards a Recover that read nothing and still said "Recovery finished.", emptied the last
// run's table (after the selected card went away unseen by the tree) and added a stale
// "0 files" summary to the status bar.
TEST_F(StartedWindowTest, ARecoverThatReadsNothingKeepsTheLastRunsTableBarsAndSummary) {
  WriteFile(work / "card/DCIM/IMG_0416.JPG", "photo");
  WriteFile(work / "stick/a.txt", "a");
  Recover(work / "card", work / "out");
  ASSERT_EQ(dialogs.information, std::vector<std::string>{"Recovery finished."});
  const QString status = form->StatusBar1->text();
  ASSERT_TRUE(status.contains("1 file,")) << status.toStdString();
  const std::string map = form->Run().MapPathOf(1);
  std::optional<SaveTree> other_run;  // another run saving into a folder
  const std::string nothing_selected =
      "Nothing is selected in the folder tree: select the folder or file to recover. "
      "A medium that went away is selected again when it comes back.";
  const struct {
    const char* name;
    std::function<void()> refuse;
    std::vector<std::string> errors;
    bool let_go = false;  // the tree lets go of the selection
  } cases[] = {
      {"nothing selected", [&] { form->Tree().clearSelection(); }, {nothing_selected}},
      {"selection gone", [&] {
         ASSERT_TRUE(form->Tree().SelectPath(work / "stick"));
         std::filesystem::remove_all(work / "stick");
       }, {nothing_selected}, true},
      {"save folder inside", [&] {
         ASSERT_TRUE(form->Tree().SelectPath(work / "card"));
         form->Edit2->setText(Shown(work / "card/out"));
       }, {work / "card/out/\rThe save folder lies inside the selection: the run would write into what it reads. "
                          "Choose a save folder outside it."}},
      {"save folder in use", [&] {
         std::filesystem::create_directories(work / "busy");
         ASSERT_TRUE(other_run.emplace(work / "busy/", work / "card").HoldAlone());
         form->Edit2->setText(Shown(work / "busy"));
       }, {work / "busy/\rAnother run is saving into this folder. Wait for it to end, or choose another save folder."}},
      {"no save folder", [&] { form->Edit2->clear(); }, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.errors.clear();
    c.refuse();
    form->ToolButton1->click();
    EXPECT_EQ(dialogs.errors, c.errors);
    if (c.let_go) {
      EXPECT_EQ(form->Tree().SelectedPath(), "");
    }
    EXPECT_EQ(dialogs.information.size(), 1u);
    ASSERT_EQ(form->Table().RowCount(), 2);
    EXPECT_EQ(Cell(0, 1), work / "card/DCIM/IMG_0416.JPG");
    EXPECT_EQ(form->Run().MapPathOf(1), map);  // where the damage map is looked for
    EXPECT_EQ(form->StatusBar1->text().toStdString(), status.toStdString());
    EXPECT_EQ(form->ProgressBar1->value(), 100);
    EXPECT_EQ(form->ProgressBar2->value(), 100);
  }
}

// Guards a full save disk reported by the working copy's name (".salvorine/TMP654/2.JPG:
// No space left on device") with no advice, a blank status bar and no summary.
TEST_F(StartedWindowTest, AFullSaveDiskNamesTheFileAndTheSaveFolderAndSaysWhatToDo) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small save disk needs root";
  const std::string out = work / "small";
  std::filesystem::create_directories(out);
  ASSERT_EQ(::mount("tmpfs", out.c_str(), "tmpfs", 0, "size=256k"), 0);
  const auto unmount = qScopeGuard([&] { ::umount2(out.c_str(), MNT_DETACH); });
  WriteFile(work / "card/DCIM/A.JPG", std::string(20000, 'a'));
  WriteFile(work / "card/DCIM/IMG_0416.JPG", std::string(600000, 'i'));
  const std::string advice[] = {
      "IMG_0416.JPG could not be saved: the disk that holds the save folder " + out + "/ is full. Free some space "
      "on it, or choose another save folder, and recover again. The files already saved stay where they are.",
      "Не удалось сохранить IMG_0416.JPG: диск, на котором находится папка для сохранения " + out + "/, "
      "заполнен. Освободите на нём место или выберите другую папку для сохранения и запустите восстановление "
      "снова. Уже сохранённые файлы остаются на месте."};
  const char* ended[] = {"ended: the save disk is full; ", "восстановление прервано: диск для сохранения заполнен; "};
  // The box comes over a window that says the run ended, not that it stops after a read.
  QString activity_behind_box = QStringLiteral("no box");
  bool recover_behind_box = false;
  dialogs.on_error = [&](const std::string&) {
    activity_behind_box = form->Activity1->text();
    recover_behind_box = form->ToolButton1->isEnabled();
  };
  for (int language = 0; language < 2; ++language) {
    SCOPED_TRACE(language);
    if (language == 1) form->Russian1->trigger();
    dialogs.errors.clear();
    Recover(work / "card", out);
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{advice[language]});
    EXPECT_EQ(activity_behind_box.toStdString(), "");
    EXPECT_TRUE(recover_behind_box);
    EXPECT_TRUE(top_level_errors.empty());
    EXPECT_TRUE(dialogs.information.empty());
    EXPECT_EQ(ReadFile(out + "/card/DCIM/A.JPG"), std::string(20000, 'a'));
    EXPECT_EQ(form->Table().StateOf(2), RowState::kUnsaved);
    const QString status = form->StatusBar1->text();
    // One summary, this run's, and what ended it; the bars stay where the run left them: one file of two done.
    EXPECT_EQ(status.count(QStringLiteral("saved to")) + status.count(QString::fromUtf8("сохранено в")), 1)
        << status.toStdString();
    EXPECT_TRUE(status.contains(QStringLiteral("   ") + QString::fromUtf8(ended[language]))) << status.toStdString();
    EXPECT_EQ(form->ProgressBar2->value(), 50);
    EXPECT_EQ(form->ProgressBar1->value(), form->Table().Figures(2).completed_percent);
    EXPECT_TRUE(form->ToolButton1->isEnabled());
  }
  // Full when the first working copy is created rather than written (three
  // inodes: the root, the working folder, the report the run cannot create):
  // the same advice, naming the file, and the run ends there, not once per file.
  const std::string no_inodes = work / "no_inodes";
  std::filesystem::create_directories(no_inodes);
  ASSERT_EQ(::mount("tmpfs", no_inodes.c_str(), "tmpfs", 0, "size=4m,nr_inodes=3"), 0);
  const auto unmount_no_inodes = qScopeGuard([&] { ::umount2(no_inodes.c_str(), MNT_DETACH); });
  dialogs.errors.clear();
  Recover(work / "card", no_inodes);
  ASSERT_EQ(dialogs.errors.size(), 1u);
  std::string first_file_advice = advice[1];
  first_file_advice.replace(first_file_advice.find("IMG_0416.JPG"), 12, "A.JPG");
  first_file_advice.replace(first_file_advice.find(out), out.size(), no_inodes);
  EXPECT_EQ(dialogs.errors.back(), first_file_advice);
  // Never the working copy's name ("Cannot create …/.salvorine/TMP654/1.JPG"), nor the next file.
  for (const char* named : {"/.salvorine/TMP", "IMG_0416"}) {
    EXPECT_EQ(std::ranges::count_if(dialogs.errors, [&](const std::string& e) { return e.find(named) != e.npos; }), 0)
        << named;
  }
}

// Guards a full save disk met outside a copy's writing (creating the save
// folders, the report, the list of whole copies, a copy's placing) that
// ended the run with the disk's own words ("…/report.tsv: No space left on
// device") instead of the advice. Every step is reached by growing the save
// disk a page, or an inode, at a time until the run fits.
TEST_F(StartedWindowTest, AFullSaveDiskAtEveryStepOfARunGivesTheSameAdvice) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small save disk needs root";
  WriteFile(work / "card/DCIM/A.JPG", std::string(9000, 'a'));
  WriteFile(work / "card/DCIM/100CANON/IMG_0416.JPG", std::string(9000, 'i'));
  const std::string out = work / "small";
  std::filesystem::create_directories(out);
  const std::string advice_end = " is full. Free some space on it, or choose another save folder, and recover again. "
                                 "The files already saved stay where they are.";
  int full = 0;
  for (const std::string limit : {"nr_inodes=", "size="}) {
    for (int amount = limit == "size=" ? 4 : 2; amount < 40; amount += limit == "size=" ? 4 : 1) {
      const std::string options = limit + std::to_string(amount) + (limit == "size=" ? "k" : "");
      SCOPED_TRACE(options);
      ASSERT_EQ(::mount("tmpfs", out.c_str(), "tmpfs", 0, (limit == "size=" ? options : options + ",size=4m").c_str()), 0);
      const auto unmount = qScopeGuard([&] { ::umount2(out.c_str(), MNT_DETACH); });
      dialogs.errors.clear();
      dialogs.information.clear();
      const QString status_before = form->StatusBar1->text();
      Recover(work / "card", out);
      EXPECT_TRUE(top_level_errors.empty());
      if (dialogs.errors.empty()) {
        EXPECT_EQ(dialogs.information, std::vector<std::string>{"Recovery finished."});
        break;
      }
      ++full;
      ASSERT_EQ(dialogs.errors.size(), 1u) << dialogs.errors.front();
      const std::string& box = dialogs.errors.front();
      EXPECT_TRUE(box.ends_with("the save folder " + out + "/" + advice_end) ||
                  box.ends_with("the disk that holds the save folder " + out + "/" + advice_end))
          << box;
      EXPECT_TRUE(form->ToolButton1->isEnabled());
      const QString status = form->StatusBar1->text();
      // Full before anything was read, the last run's table and summary stay.
      if (status == status_before) continue;
      EXPECT_TRUE(status.contains(QStringLiteral("   ended: the save disk is full; "))) << status.toStdString();
      // The Total bar says what its label says: the files done of all.
      const QStringList done = form->Label1->text().split(QLatin1Char('/'));
      ASSERT_EQ(done.size(), 2) << form->Label1->text().toStdString();
      ASSERT_GT(done[1].toInt(), 0);
      EXPECT_EQ(form->ProgressBar2->value(), done[0].toInt() * 100 / done[1].toInt());
      // The file the disk cut short is named, unsaved, and its bar stands where its reading got.
      const int row = form->Run().CurrentRow();
      EXPECT_EQ(form->ProgressBar1->value(), row > 0 ? form->Table().Figures(row).completed_percent : 100);
      if (row > 0) {
        EXPECT_TRUE(box.starts_with(FileNameOf(Cell(0, row)) + " could not be saved")) << box;
        EXPECT_EQ(form->Table().StateOf(row), RowState::kUnsaved);
      }
    }
  }
  EXPECT_GE(full, 6);
}

// Guards a medium missing from the tree because its file system was not on a fixed list.
TEST(MediaMountsTest, EveryMountUnderTheMediaFoldersIsListedWhateverItsFileSystem) {
  const std::string mounts =
      "sysfs /sys sysfs rw 0 0\n/dev/sr0 /media/ann/DISC iso9660 ro 0 0\n"
      "/dev/sdb1 /media/ann/My\\040Stick zfs rw 0 0\n/dev/sdc1 /run/media/ann/CARD squashfs ro 0 0\n"
      "/dev/sdd1 /mnt nilfs2 rw 0 0\n/dev/sde1 /mnt/backup reiserfs rw 0 0\n/dev/sda1 / ext4 rw 0 0\n"
      "/dev/sda2 /mntx ext4 rw 0 0\n";
  EXPECT_EQ(RemovableMediaMounts(mounts), (std::vector<std::string>{"/media/ann/DISC", "/media/ann/My Stick",
                                                                      "/run/media/ann/CARD", "/mnt", "/mnt/backup"}));
}

// Guards a browse dialog that opened in the program's current folder, and a
// relative save folder taken under it.
TEST_F(StartedWindowTest, BrowseStartsAtTheSaveFolderAndARelativeSaveFolderLiesUnderHome) {
  const QByteArray home = qgetenv("HOME");
  qputenv("HOME", QByteArray::fromStdString(work / "home"));
  const auto restore = qScopeGuard([&] { qputenv("HOME", home); });
  std::filesystem::create_directories(work / "home");
  std::filesystem::create_directories(work / "saved");
  form->Edit2->setText(Shown(work / "saved"));
  form->Button3->click();
  EXPECT_EQ(picker.start, work / "saved");
  form->Edit2->setText(Shown(work / "not yet"));
  form->Button3->click();
  EXPECT_EQ(picker.start, work / "home");

  WriteFile(work / "d/a.txt", "a");
  Recover(work / "d", "out8");
  EXPECT_EQ(form->Edit2->text(), Shown(work / "home/out8"));
  EXPECT_EQ(ReadFile(work / "home/out8/d/a.txt"), "a");
}

TEST_F(StartedWindowTest, FixedSizeDialogsOfferNoMaximize) {
  for (QDialog* dialog : std::initializer_list<QDialog*>{about.get(), settings.get()}) {
    EXPECT_TRUE(dialog->windowFlags().testFlag(Qt::CustomizeWindowHint));
    EXPECT_FALSE(dialog->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  }
}

TEST_F(StartedWindowTest, RefreshShowsNewFilesAndKeepsExpansionAndSelection) {
  WriteFile(work / "d/sub/a.txt", "a");
  ASSERT_TRUE(form->Tree().SelectPath(work / "d/sub/a.txt"));
  WriteFile(work / "d/sub/b.txt", "b");
  form->Tree().scrollToTop();
  form->ToolButton7->click();
  EXPECT_EQ(form->Tree().SelectedPath(), work / "d/sub/a.txt");
  EXPECT_TRUE(form->Tree().SelectPath(work / "d/sub/b.txt"));
}

TEST_F(StartedWindowTest, BrowseFillsTheSaveFolderAndCancelKeepsIt) {
  picker.answer = work / "picked";
  form->Button3->click();
  EXPECT_EQ(form->Edit2->text(), Shown(work / "picked"));
  EXPECT_EQ(picker.title, "Choose the folder to save recovered files to");
  picker.answer.clear();
  form->Button3->click();
  EXPECT_EQ(form->Edit2->text(), Shown(work / "picked"));
}

// Guards a Recover that starts nothing without asking for a save folder, and one that starts without any.
TEST_F(StartedWindowTest, BrowseWhenRecoverFindsNoSaveFolder) {
  WriteFile(work / "src/one.txt", "first file");
  Recover(work / "src", "");
  EXPECT_EQ(picker.title, "Choose the folder to save recovered files to");
  EXPECT_EQ(form->Label1->text(), "0/0");
  EXPECT_TRUE(dialogs.information.empty());
  picker.answer = work / "picked";
  Recover(work / "src", "");
  EXPECT_EQ(form->Edit2->text(), Shown(work / "picked"));
  EXPECT_EQ(ReadFile(work / "picked/src/one.txt"), "first file");
}

// Guards a tray left shut after a completed run from an optical disc, and one opened after any other run.
TEST_F(StartedWindowTest, TrayStepEjectsOnlyAfterARunFromAnOpticalDisc) {
  WriteFile(work / "src/one.txt", "first file");
  std::filesystem::create_directories(work / "empty");
  settings->CheckBox1->setChecked(true);
  Recover(work / "src", work / "out");
  EXPECT_EQ(tray.opened, 0);
  EXPECT_EQ(drive_queries, std::vector<std::string>{work / "src/one.txt"});
  drive_type = kDriveCdRom;
  Recover(work / "src", work / "out");
  EXPECT_EQ(tray.opened, 1);
  // An empty table leaves the tray alone.
  Recover(work / "empty", work / "out");
  EXPECT_EQ(tray.opened + tray.closed, 1);
  settings->CheckBox1->setChecked(false);
  Recover(work / "src", work / "out");
  EXPECT_EQ(tray.opened + tray.closed, 1);
}

TEST_F(StartedWindowTest, HelpAndLinksOpenThroughTheDesktop) {
  form->Help2->trigger();
  form->WebSite1->trigger();
  form->Support1->trigger();
  ASSERT_EQ(desktop.opened.size(), 3u);
  EXPECT_EQ(desktop.opened[0], QUrl::fromLocalFile(Shown(program / "help/Salvorine.html")));
  EXPECT_EQ(desktop.opened[1].toString(), "https://salvorine.example/en/");
  EXPECT_EQ(desktop.opened[2].scheme(), "mailto");
}

// Help Topics and the open-folder button once did nothing at all when the page
// was missing or no program opened it.
TEST_F(StartedWindowTest, AMissingManualIsReportedAndWhatNoProgramOpensIsShownOrSaid) {
  std::filesystem::remove(program / "help/Salvorine.html");
  form->Help2->trigger();
  EXPECT_TRUE(desktop.opened.empty());
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_EQ(dialogs.errors[0], "The manual was not found. It was looked for at:\r" + program / "help/Salvorine.html\r" +
                                   InstalledDataFolder(program.Path()) + "/help/Salvorine.html");

  // Nothing opens it: the manual shows inside the program.
  form->Russian1->trigger();
  desktop.handler_found = false;
  form->Help2->trigger();
  EXPECT_EQ(dialogs.errors.size(), 1u);
  auto* manual = form->findChild<TextWindow*>();
  ASSERT_NE(manual, nullptr);
  EXPECT_TRUE(manual->isVisible());
  EXPECT_EQ(manual->Browser->source(), QUrl::fromLocalFile(Shown(program / "help/Salvorine-ru.html")));
  EXPECT_FALSE(manual->Browser->toPlainText().isEmpty());

  // Nor the save folder: that is said, with the folder.
  form->Edit2->setText(Shown(work / "out"));
  form->BitBtn3->click();
  ASSERT_EQ(dialogs.errors.size(), 2u);
  EXPECT_EQ(dialogs.errors[1], "Не найдено программы, которая открыла бы папку:\r" + work / "out/");
}

TEST_F(StartedWindowTest, AnErrorLeavingACommandReachesTheTopLevelHandler) {
  WriteFile(work / "blocker", "");
  WriteFile(work / "src/a.txt", "a");
  Recover(work / "src", work / "blocker/out");
  ASSERT_EQ(top_level_errors.size(), 1u);
  EXPECT_EQ(top_level_errors[0].toStdString(), "Cannot create folder " + work / "blocker/out/: Not a directory.");
  EXPECT_TRUE(form->ToolButton1->isEnabled());

  // A save folder whose parents do not exist yet is made with them.
  Recover(work / "src", work / "new/deeper/out");
  EXPECT_EQ(top_level_errors.size(), 1u);
  EXPECT_EQ(ReadFile(work / "new/deeper/out/src/a.txt"), "a");
}

TEST_F(WindowTest, StartsFromTheSettingsFileAndWritesItBackAtClose) {
  WriteFile(program / "Salvorine.ini",
            "; edited by hand\n[SETTINGS]\n left = 50 \nTop=$3C\nWidth=700\nHeight=500\nFolder=\"/data/rescued\"\n"
            "Language=0\nMode=1\nCD=1\nIcon=0\nTheme=dark\nRetries=4\nTreeWidth=320\n");
  Start();
  EXPECT_EQ(form->Splitter1->sizes().value(0), 320);
  // Left and Top place the client area, as they are saved.
  EXPECT_EQ(form->geometry().topLeft(), QPoint(50, 60));
  EXPECT_EQ(form->width(), 700);
  EXPECT_EQ(form->Edit2->text(), "/data/rescued");
  EXPECT_TRUE(form->Russian1->isChecked());
  EXPECT_FALSE(form->English1->isChecked());
  EXPECT_EQ(settings->ComboBox1->currentIndex(), 1);
  EXPECT_TRUE(settings->CheckBox1->isChecked());
  EXPECT_FALSE(settings->CheckBox2->isChecked());
  EXPECT_FALSE(form->Tree().ShowIcons());
  EXPECT_EQ(settings->SpinBox1->value(), 4);

  form->Edit2->setText("/data/other");
  // What is changed in the Settings dialog is what the window holds, and writes.
  settings->CheckBox1->setChecked(false);
  settings->SpinBox1->setValue(7);
  form->Splitter1->setSizes({250, 450});
  form->close();
  EXPECT_EQ(ReadFile(program / "Salvorine.ini"),
            "; edited by hand\n[SETTINGS]\nLeft=50\nTop=60\nWidth=700\nHeight=500\nFolder=/data/other\n"
            "Language=0\nMode=1\nCD=0\nIcon=0\nTheme=dark\nRetries=7\nTreeWidth=250\nContinue=1\n");
}

// Guards " — Salvorine" appended by the platform to every window title: Qt
// appends the application's display name only when one was set.
TEST(ApplicationTest, NoDisplayNameIsSetForThePlatformToAppendToTitles) {
  const QString name = QCoreApplication::applicationName();
  QCoreApplication::setApplicationName(QStringLiteral("probe"));
  const QString display = QGuiApplication::applicationDisplayName();
  QCoreApplication::setApplicationName(name);
  EXPECT_EQ(display, "probe");
}

// Guards a window restored with its title bar off every screen, where nobody can grab it,
// and one larger than its screen, whose bottom nobody could reach.
TEST(WindowPlacementTest, OnlyAWindowWhoseTitleBarIsOffEveryScreenIsMoved) {
  const QList<QRect> screens{QRect(0, 0, 1024, 768), QRect(1024, 0, 800, 600)};
  const int title = 20;
  const std::pair<QRect, QRect> cases[] = {
      {QRect(99, 80, 630, 480), QRect(99, 80, 630, 480)},        // well inside
      {QRect(96, 20, 630, 480), QRect(96, 20, 630, 480)},        // title bar just fits
      {QRect(1500, 300, 630, 480), QRect(1500, 300, 630, 480)},  // across both screens
      {QRect(96, 0, 630, 480), QRect(96, 20, 630, 480)},         // title bar above the top
      {QRect(1700, -50, 630, 480), QRect(1194, 20, 630, 480)},   // onto the screen it overlaps
      {QRect(-700, 100, 630, 480), QRect(0, 100, 630, 480)},     // beside every screen
      {QRect(5000, 5000, 630, 480), QRect(394, 288, 630, 480)},  // far away: the first screen
      {QRect(10, 10, 2000, 900), QRect(0, 20, 1024, 748)},       // larger than the screen
      {QRect(100, 100, 1480, 860), QRect(0, 20, 1024, 748)},     // saved on a larger screen
      {QRect(1100, 100, 1480, 860), QRect(1024, 20, 800, 580)},  // the same on the second screen
  };
  for (const auto& [client, placed] : cases) {
    EXPECT_EQ(PlacedOnScreen(client, title, screens), placed) << client.x() << "," << client.y();
  }
}

TEST_F(WindowTest, ASizeSavedOnALargerScreenIsCutToTheScreenShown) {
  WriteFile(program / "Salvorine.ini", "[Settings]\nLeft=100\nTop=100\nWidth=4800\nHeight=3600\n");
  Start();
  const QRect screen = form->screen()->availableGeometry();
  EXPECT_TRUE(screen.contains(form->geometry()))
      << form->geometry().x() << "," << form->geometry().y() << " " << form->geometry().width() << "x"
      << form->geometry().height() << " on " << screen.width() << "x" << screen.height();
}

// Guards an About box painted white whatever the palette, whose texts vanished in a dark one.
TEST_F(WindowTest, TheAboutBoxTakesThePalettesColours) {
  const QPalette before = QApplication::palette();
  const auto restore = qScopeGuard([&] { QApplication::setPalette(before); });
  QPalette dark = before;
  dark.setColor(QPalette::Window, QColor(30, 30, 30));
  dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
  dark.setColor(QPalette::Link, QColor(120, 170, 255));
  QApplication::setPalette(dark);
  Start();
  const QImage shown = about->grab().toImage();
  EXPECT_EQ(shown.pixelColor(2, shown.height() / 2), QColor(30, 30, 30));
  EXPECT_EQ(about->Label6->palette().color(about->Label6->foregroundRole()), QColor(120, 170, 255));
}

std::string Text(const QRect& rect) {
  return std::to_string(rect.x()) + "," + std::to_string(rect.y()) + " " + std::to_string(rect.width()) + "x" +
         std::to_string(rect.height());
}

// Guards windows larger than the screen (the Damage Report's Close and Open
// Map off it, the main window taller than the screen even maximized, and with
// a 12 pt font its status bar and progress lines off a laptop's screen) and
// dialogs opened in the screen's middle, away from the main window. Also run
// at double scale on a 1366x768 screen (tests/CMakeLists.txt).
TEST_F(StartedWindowTest, EveryWindowFitsTheScreenAndDialogsOpenOverTheMainWindow) {
  const QRect screen = form->screen()->availableGeometry();
  const QFont normal = QApplication::font();
  const auto restore = qScopeGuard([&] { QApplication::setFont(normal); });
  // The usual font, and a 12 pt desktop font as a font settings tool sets it.
  for (const double points : {normal.pointSizeF(), 12.0}) {
    QFont font = normal;
    font.setPointSizeF(points);
    QApplication::setFont(font);
    // A font change reaches the layouts one level per pass.
    for (int pass = 0; pass < 4; ++pass) QApplication::processEvents();
    form->showMaximized();
    QApplication::processEvents();
    const std::string where = std::to_string(points) + " pt " + Text(form->frameGeometry()) + " on " + Text(screen);
    EXPECT_TRUE(screen.contains(form->frameGeometry())) << where;
    // A window manager keeps a window at its least size: taller than the screen, its status line is off it.
    EXPECT_GE(form->height(), form->minimumSizeHint().height()) << where;
    form->showNormal();
  }
  QApplication::setFont(normal);
  for (int pass = 0; pass < 4; ++pass) QApplication::processEvents();
  form->setGeometry(QRect(screen.topLeft() + QPoint(8, 30), screen.size() * 2 / 3));
  QApplication::processEvents();

  WriteFile(work / "report.tsv", "path\tsize\trecovered\tdamaged\tstate\tmap\n/disc/b.bin\t9\t5\t4\tdamaged\t/m\n");
  DamageReportDialog report([](const std::string&, std::int64_t) {}, form.get());
  report.ShowReport(ReadFile(work / "report.tsv"), ReportDialogTexts{"Report", {}, {}, "Open Map"});
  TextWindow manual(form.get());
  TForm5 preview(dialogs, form.get());
  for (QDialog* dialog : std::initializer_list<QDialog*>{about.get(), settings.get(), &report, &manual, &preview}) {
    const std::string name = dialog->metaObject()->className();
    dialog->show();
    QApplication::processEvents();
    const QRect frame = dialog->frameGeometry();
    EXPECT_TRUE(screen.contains(frame)) << name << " " << Text(frame) << " on " << Text(screen);
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
      if (!button->isVisibleTo(dialog)) continue;
      const QRect shown(button->mapToGlobal(QPoint(0, 0)), button->size());
      EXPECT_TRUE(screen.contains(shown)) << name << " " << button->text().toStdString() << " " << Text(shown);
    }
    // Centred over the main window wherever that keeps it on the screen.
    QRect centred(QPoint(0, 0), frame.size());
    centred.moveCenter(form->frameGeometry().center());
    if (screen.contains(centred)) {
      EXPECT_LE((frame.center() - centred.center()).manhattanLength(), 40)
          << name << " " << Text(frame) << " over " << Text(form->frameGeometry());
    }
    dialog->hide();
  }
}

// The WCAG contrast ratio of two colours, 1 to 21.
double Contrast(const QColor& a, const QColor& b) {
  const auto luminance = [](const QColor& colour) {
    const auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
  };
  const double x = luminance(a), y = luminance(b);
  return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// Guards a Skip File icon drawn dark grey, which all but vanished on a dark palette's tool bar:
// a good share of every tool bar icon stands out (3:1) from a light and from a dark background.
TEST_F(StartedWindowTest, ToolbarIconsReadOnLightAndDarkBackgrounds) {
  for (const QColor& background : {QColor(239, 239, 239), QColor(53, 53, 53), QColor(30, 30, 30)}) {
    for (QToolButton* button : {form->ToolButton6, form->ToolButton7, form->ToolButton1, form->ToolButton3,
                                form->ToolButton8, form->ToolButton4, form->ToolButton5}) {
      const QImage icon = button->icon().pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_ARGB32);
      int opaque = 0, standing_out = 0;
      for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width(); ++x) {
          const QColor pixel = icon.pixelColor(x, y);
          if (pixel.alphaF() < 0.5) continue;
          ++opaque;
          const float a = pixel.alphaF();
          const QColor shown = QColor::fromRgbF(pixel.redF() * a + background.redF() * (1 - a),
                                                pixel.greenF() * a + background.greenF() * (1 - a),
                                                pixel.blueF() * a + background.blueF() * (1 - a));
          standing_out += Contrast(shown, background) >= 3.0;
        }
      }
      EXPECT_GT(opaque, 0) << button->objectName().toStdString();
      EXPECT_GE(standing_out * 4, opaque) << button->objectName().toStdString() << " on "
                                          << background.name().toStdString() << ": " << standing_out << " of " << opaque;
    }
  }
}

// Guards texts clipped by a box sized for the default font: About's links, and the
// underscores of the "File:" line's names, which lie below the baseline.
TEST_F(StartedWindowTest, LabelsShowEveryCharacterAtAnyFontSize) {
  const QFont normal = QApplication::font();
  const auto restore = qScopeGuard([&] { QApplication::setFont(normal); });
  for (const double scale : {1.0, 1.5}) {
    QFont font = normal;
    font.setPointSizeF(normal.pointSizeF() * scale);
    QApplication::setFont(font);
    form->Label8->setText(QStringLiteral("/media/alice/EOS_DIGITAL/DCIM/100CANON/IMG_0416.JPG"));
    about->show();
    // A font change reaches the layouts one level per pass.
    for (int pass = 0; pass < 4; ++pass) QApplication::processEvents();
    for (QWidget* window : std::initializer_list<QWidget*>{form.get(), about.get()}) {
      for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(window) || label->text().isEmpty()) continue;
        const std::string where = std::to_string(scale) + " " + label->objectName().toStdString() + " " +
                                  label->text().toStdString();
        EXPECT_GE(label->height(), label->sizeHint().height()) << where;
        // The main window's lines elide what does not fit; the About box has room for all.
        if (window == about.get()) {
          EXPECT_GE(label->width(), label->sizeHint().width()) << where;
        }
      }
    }
    about->hide();
  }
}

// Sets the locale variables for one test and puts back what was there.
class ScopedLocale {
 public:
  explicit ScopedLocale(const char* lang) {
    for (const char* name : kNames) {
      const char* value = std::getenv(name);
      saved_.emplace_back(value != nullptr, value != nullptr ? value : "");
      ::unsetenv(name);
    }
    ::setenv("LANG", lang, 1);
  }
  ~ScopedLocale() {
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
      saved_[i].first ? ::setenv(kNames[i], saved_[i].second.c_str(), 1) : ::unsetenv(kNames[i]);
    }
  }

 private:
  static constexpr const char* kNames[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::vector<std::pair<bool, std::string>> saved_;
};

TEST_F(WindowTest, AFirstStartUsesTheDefaults) {
  const ScopedLocale locale("en_GB.UTF-8");
  Start();
  EXPECT_EQ(form->geometry().topLeft(), QPoint(100, 100));
  EXPECT_EQ(form->size(), QSize(630, 480));
  EXPECT_EQ(form->Edit2->text(), QDir::homePath() + "/");
  EXPECT_TRUE(form->English1->isChecked());
  EXPECT_EQ(settings->ComboBox1->currentIndex(), 0);
  EXPECT_FALSE(settings->CheckBox1->isChecked());
  EXPECT_TRUE(settings->CheckBox2->isChecked());
  EXPECT_TRUE(form->Tree().ShowIcons());
}

// Guards a first start in English on a Russian desktop.
TEST_F(WindowTest, AFirstStartSpeaksTheDesktopsLanguage) {
  const ScopedLocale locale("ru_RU.UTF-8");
  Start();
  EXPECT_TRUE(form->Russian1->isChecked());
  EXPECT_EQ(form->GroupBox1->title(), "Сохранить в");
  // The messages variable comes before LANG, and LC_ALL before both.
  const struct {
    const char *lc_all, *lc_messages, *lang;
    bool english;
  } cases[] = {{nullptr, nullptr, "ru_UA.UTF-8", false}, {nullptr, "ru_RU", "en_US.UTF-8", false},
               {nullptr, "C", "ru_RU.UTF-8", true},     {"en_GB", "ru_RU", "ru_RU", true},
               {"", "", "ru", false},                   {nullptr, nullptr, nullptr, true},
               {nullptr, nullptr, "rw_RW", true}};
  for (const auto& c : cases) {
    EXPECT_EQ(DesktopLanguageIsEnglish(c.lc_all, c.lc_messages, c.lang), c.english)
        << (c.lc_messages ? c.lc_messages : "-") << " " << (c.lang ? c.lang : "-");
  }
}

// Guards a mode note that did not follow the mode read at the start, after the stored language.
TEST_F(WindowTest, AStoredModeOfTwoSelectsThoroughThoughTheStoredLanguageIsAppliedFirst) {
  WriteFile(program / "Salvorine.ini", "[Settings]\nMode=2\nLanguage=0\n");
  Start();
  EXPECT_EQ(settings->ComboBox1->currentIndex(), kModeThorough);
  EXPECT_EQ(settings->ComboBox1->currentText(), "Тщательный");
  EXPECT_EQ(form->ModeLabel1->text().toStdString(), "Режим: Тщательный");
}

TEST_F(WindowTest, AnUnknownStoredModeLeavesNoSelectionRunsAsMaxDataAndIsWrittenAsMinusOne) {
  WriteFile(program / "Salvorine.ini", "[Settings]\nMode=7\n");
  Start();
  EXPECT_EQ(settings->ComboBox1->currentIndex(), -1);
  form->close();
  EXPECT_NE(ReadFile(program / "Salvorine.ini").find("Mode=-1\n"), std::string::npos);
}

TEST_F(WindowTest, AReadOnlySettingsFileIsReportedAndTheProgramClosesAllTheSame) {
  WriteFile(program / "Salvorine.ini", "[Settings]\nLeft=100\n");
  ::chmod((program / "Salvorine.ini").c_str(), 0444);
  Start();
  form->close();
  EXPECT_FALSE(form->isVisible());
  ASSERT_EQ(top_level_errors.size(), 1u);
  EXPECT_EQ(top_level_errors[0], Shown("Unable to write to " + program / "Salvorine.ini."));
  EXPECT_EQ(ReadFile(program / "Salvorine.ini"), "[Settings]\nLeft=100\n");
}

TEST_F(StartedWindowTest, SwitchingLanguageRewritesEveryWindowsTexts) {
  settings->ComboBox1->setCurrentIndex(1);
  form->ToolButton6->click();  // tray open: caption "Close", picture 1
  form->Russian1->trigger();
  EXPECT_EQ(form->windowTitle(), "Salvorine 1.51 - Восстановление данных");
  EXPECT_TRUE(form->Russian1->isChecked());
  EXPECT_FALSE(form->English1->isChecked());
  EXPECT_EQ(form->ToolButton1->text(), "Восстановить");
  EXPECT_EQ(Plain(form->Help1->title()), "Справка");
  EXPECT_EQ(Plain(form->Settings2->text()), "Настройки...");
  EXPECT_EQ(form->GroupBox1->title(), "Сохранить в");
  EXPECT_EQ(form->Table().Cell(0, 0), "Имя файла");
  EXPECT_EQ(about->windowTitle(), "О программе Salvorine");
  EXPECT_EQ(settings->windowTitle(), "Настройки");
  EXPECT_EQ(settings->ComboBox1->itemText(1), "Максимальная скорость");
  EXPECT_EQ(settings->BitBtn2->text(), "Отмена");
  // The mode falls back to Max Data; the Eject caption is reset while its picture stays.
  EXPECT_EQ(settings->ComboBox1->currentIndex(), 0);
  EXPECT_EQ(form->ToolButton6->text(), "Извлечь");
  EXPECT_EQ(form->ToolButton6->property("imageIndex").toInt(), 1);
  // Help follows the "Save to" caption's first letter.
  form->Help2->trigger();
  EXPECT_EQ(desktop.opened.back(), QUrl::fromLocalFile(Shown(program / "help/Salvorine-ru.html")));

  form->English1->trigger();
  EXPECT_EQ(form->windowTitle(), "Salvorine 1.51 - Data Recovery");
  EXPECT_EQ(Plain(form->Settings2->text()), "Settings...");
  EXPECT_EQ(about->windowTitle(), "About Salvorine");
  EXPECT_EQ(settings->BitBtn2->text(), "Cancel");
  EXPECT_EQ(form->Table().Cell(3, 0), "Damaged");
}

// Guards menus without mnemonics, a table that kept Tab, Recover without a
// shortcut and a tree menu that opened with nothing highlighted.
TEST_F(StartedWindowTest, MenusTheTableAndTheTreeMenuServeTheKeyboard) {
  for (const bool english : {true, false}) {
    english ? form->English1->trigger() : form->Russian1->trigger();
    for (const QList<QAction*>& group :
         {form->menuBar()->actions(), form->File1->actions(), form->Settings1->actions(), form->Language1->actions(),
          form->Help1->actions(), form->PopupMenu1->actions(), form->PopupMenu2->actions()}) {
      std::set<QChar> letters;
      for (QAction* item : group) {
        if (item->isSeparator()) continue;
        const QString text = item->text();
        const qsizetype mark = text.indexOf('&');
        ASSERT_GE(mark, 0) << text.toStdString();
        ASSERT_LT(mark + 1, text.size()) << text.toStdString();
        EXPECT_TRUE(text[mark + 1].isLetter()) << text.toStdString();
        EXPECT_EQ(text.count('&'), 1) << text.toStdString();
        EXPECT_TRUE(letters.insert(text[mark + 1].toLower()).second) << text.toStdString();
      }
    }
  }
  EXPECT_FALSE(form->Recover2->shortcut().isEmpty());

  // Tab leaves the table for the next control.
  form->activateWindow();
  form->StringGrid1->setFocus();
  ASSERT_TRUE(Eventually([&] { return QApplication::focusWidget() == form->StringGrid1; }));
  QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
  QApplication::sendEvent(form->StringGrid1, &tab);
  EXPECT_NE(QApplication::focusWidget(), form->StringGrid1);

  // The Menu key's pop-up on the tree opens with its command highlighted.
  QAction* highlighted = nullptr;
  When(form.get(), [&] { return form->PopupMenu1->isVisible() && form->PopupMenu1->activeAction() != nullptr; },
       [&] {
         highlighted = form->PopupMenu1->activeAction();
         form->PopupMenu1->close();
       });
  When(form.get(), [&] { return form->PopupMenu1->isVisible(); }, [&] { form->PopupMenu1->close(); });
  QContextMenuEvent menu_key(QContextMenuEvent::Keyboard, QPoint(5, 5), form->Tree().viewport()->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(form->Tree().viewport(), &menu_key);
  EXPECT_EQ(highlighted, form->Recover1);
}

// Guards Yes, No, OK and Cancel left in English in Russian.
TEST_F(StartedWindowTest, QtsOwnButtonsSpeakTheLanguageShown) {
  if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_ru.qm")) {
    GTEST_SKIP() << "Qt's translations are not installed";
  }
  const auto button_text = [](QMessageBox::StandardButton which) {
    QMessageBox box(QMessageBox::Information, "Information", "text", QMessageBox::Yes | QMessageBox::No |
                                                                          QMessageBox::Ok | QMessageBox::Cancel);
    return Plain(box.button(which)->text());
  };
  form->Russian1->trigger();
  EXPECT_EQ(button_text(QMessageBox::Yes), "Да");
  EXPECT_EQ(button_text(QMessageBox::Cancel), "Отмена");
  form->English1->trigger();
  EXPECT_EQ(button_text(QMessageBox::No), "No");
  EXPECT_EQ(button_text(QMessageBox::Ok), "OK");
}

// Guards a run that keeps the mode it started with instead of reading the one in
// force, and a switch that silently turned a Thorough run into Max Data.
TEST_F(StartedWindowTest, ALanguageSwitchDuringARunKeepsThoroughAndEndsMaxSpeedForTheRestOfTheRun) {
  SALVORINE_REQUIRE_FUSE();
  const struct {
    int before, after;
    const char* shown;   // the status bar's mode note just after the switch
    const char* damage;  // the second file's: Max Data loses a whole block around its bad byte, Thorough a sector
  } cases[] = {{kModeMaxData, kModeMaxData, "Режим: Максимум данных", "1808 (18%)"},
               {kModeMaxSpeed, kModeMaxData, "Режим: Максимум данных", "1808 (18%)"},
               {kModeThorough, kModeThorough, "Режим: Тщательный", "512 (5%)"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before);
    form->English1->trigger();
    DamagedMount disc(
        "file disc/a.bin 40000 1\nslow disc/a.bin 0 40000 20\n"
        "file disc/b.bin 10000 2\nbad disc/b.bin 2848 1\n");
    form->ToolButton7Click();  // Refresh: the tree lists the new mount
    settings->ComboBox1->setCurrentIndex(c.before);
    QString shown_during_run;
    When(form.get(), [&] { return Cell(2, 1) != "0 (0%)" && Cell(2, 1) != "40000 (100%)"; }, [&] {
      form->Russian1->trigger();
      shown_during_run = form->ModeLabel1->text();
    });
    Recover(disc.Path().string() + "/disc", work / ("out" + std::to_string(c.before)));
    EXPECT_EQ(settings->ComboBox1->currentIndex(), c.after);
    EXPECT_EQ(shown_during_run.toStdString(), c.shown);
    EXPECT_EQ(Cell(2, 1), "40000 (100%)");
    EXPECT_EQ(Cell(3, 2), c.damage);
  }
}

// Guards a mode no one could see: the status bar names the mode in force
// whatever changed it, in the language shown.
TEST_F(StartedWindowTest, TheStatusBarAlwaysNamesTheModeInForce) {
  ASSERT_TRUE(form->statusBar()->isAncestorOf(form->ModeLabel1));
  EXPECT_TRUE(form->ModeLabel1->isVisible());
  EXPECT_EQ(form->ModeLabel1->text().toStdString(), "Mode: Max Data");
  settings->ComboBox1->setCurrentIndex(kModeThorough);
  EXPECT_EQ(form->ModeLabel1->text().toStdString(), "Mode: Thorough");
  form->Russian1->trigger();
  EXPECT_EQ(form->ModeLabel1->text().toStdString(), "Режим: Тщательный");
  EXPECT_TRUE(form->ModeLabel1->toolTip().startsWith("Режим восстановления"));
  settings->ComboBox1->setCurrentIndex(kModeMaxSpeed);
  EXPECT_EQ(form->ModeLabel1->text().toStdString(), "Режим: Максимальная скорость");
  form->English1->trigger();
  EXPECT_EQ(form->ModeLabel1->text().toStdString(), "Mode: Max Data");
  settings->ComboBox1->setCurrentIndex(-1);  // a mode the list does not hold runs as Max Data
  EXPECT_EQ(form->ModeLabel1->text().toStdString(), "Mode: Max Data");
}

// Guards captions cut to "От…ок" by buttons as wide as an English caption, and
// Russian captions elided at double scale with a larger desktop font: a bar
// without room for every caption shows the icons alone, each caption its tooltip.
TEST_F(StartedWindowTest, ToolbarButtonsFitTheirCaptionsAndShowThemAsTooltips) {
  form->Russian1->trigger();
  const QFont normal = QApplication::font();
  const auto restore = qScopeGuard([&] {
    QApplication::setFont(normal);
    form->resize(630, 480);
  });
  for (const double scale : {1.0, 1.5}) {
    QFont font = normal;
    font.setPointSizeF(normal.pointSizeF() * scale);
    QApplication::setFont(font);
    for (const int width : {630, 1100}) {
      form->resize(width, 480);
      for (int pass = 0; pass < 4; ++pass) QApplication::processEvents();
      const std::string where = std::to_string(scale) + " at " + std::to_string(form->width());
      bool captions = true;
      for (QToolButton* button : {form->ToolButton6, form->ToolButton7, form->ToolButton1, form->ToolButton3,
                                  form->ToolButton8, form->ToolButton4, form->ToolButton5}) {
        EXPECT_EQ(button->toolTip(), button->text());
        // On the bar, not in an overflow menu, and its caption whole or not shown at all.
        EXPECT_TRUE(button->isVisible() && form->ToolBar1->rect().contains(button->geometry())) << where;
        captions = captions && button->toolButtonStyle() == Qt::ToolButtonTextUnderIcon;
        if (button->toolButtonStyle() == Qt::ToolButtonIconOnly) continue;
        EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(button->text()) + 4)
            << where << " " << button->text().toStdString();
      }
      // The captions show wherever they fit: at the first size with the usual font, and at any wider.
      if (scale == 1.0 || width == 1100) {
        EXPECT_TRUE(captions) << where;
      }
    }
  }
  form->ToolButton6->click();  // the tray caption changes, and its tooltip with it
  EXPECT_EQ(form->ToolButton6->toolTip(), "Закрыть");
}

// Guards figures cut to "60000000 …" while column 0 had room (in Russian, whose
// headings take more bytes than the figures), raw byte counts that pushed the
// names to their least width with a larger desktop font, and a heading row
// left fixed over no rows by a run over an empty folder, and a narrow table whose
// names' heading showed letters cut in half.
TEST_F(StartedWindowTest, FigureColumnsFitTheirFiguresAndTheHeadingIsFixedOnlyOverRows) {
  const QFont normal = QApplication::font();
  const auto restore = qScopeGuard([&] { QApplication::setFont(normal); });
  QFont larger = normal;
  larger.setPointSizeF(normal.pointSizeF() * 1.3);
  QApplication::setFont(larger);
  form->Russian1->trigger();
  WriteFile(work / "disc/a.bin", "");
  std::filesystem::resize_file(work / "disc/a.bin", 60000000);
  std::filesystem::create_directories(work / "empty");
  Recover(work / "disc", work / "out");
  // The engine's figures stay exact; the table shows them in units, exactly in each cell's tooltip.
  ASSERT_EQ(Cell(1, 1), "60000000");
  ASSERT_EQ(Cell(2, 1), "60000000 (100%)");
  const QAbstractItemModel* view = form->StringGrid1->model();
  EXPECT_EQ(view->index(0, 1).data().toString(), "60 МБ");
  EXPECT_EQ(view->index(0, 2).data().toString(), "60 МБ (100%)");
  EXPECT_EQ(view->index(0, 3).data().toString(), "0 Б (0%)");
  EXPECT_EQ(view->index(0, 2).data(Qt::ToolTipRole).toString().section(QLatin1Char('\n'), 0, 1),
            "60000000 байт (100%)\n" + Shown(work / "disc/a.bin"));
  for (int column = 1; column < 4; ++column) {
    EXPECT_GE(form->StringGrid1->columnWidth(column),
              form->StringGrid1->fontMetrics().horizontalAdvance(view->index(0, column).data().toString()))
        << column;
  }
  // At 630x480 the names keep a share of the table (raw counts left them a seventh).
  ASSERT_EQ(form->size(), QSize(630, 480));
  EXPECT_GE(form->StringGrid1->columnWidth(0), form->StringGrid1->viewport()->width() / 5);
  const int others = form->StringGrid1->columnWidth(1) + form->StringGrid1->columnWidth(2) +
                     form->StringGrid1->columnWidth(3);
  EXPECT_EQ(form->StringGrid1->columnWidth(0), std::max(24, form->StringGrid1->viewport()->width() - others));
  EXPECT_TRUE(form->StringGrid1->horizontalHeader()->isVisible());
  // A table narrower than its figures: the names keep room for their heading ("мя файл" showed
  // letters cut in half), the figures give way, and take their widths back as the table widens.
  const QHeaderView& heading = *form->StringGrid1->horizontalHeader();
  const int whole_heading = heading.fontMetrics().horizontalAdvance(heading.model()->headerData(0, Qt::Horizontal).toString());
  const QList<int> sides = form->Splitter1->sizes();
  for (const int narrower : {0, 150}) {
    form->Splitter1->setSizes({sides[0] + narrower, sides[1] - narrower});
    QApplication::processEvents();
    const std::string where = "tree " + std::to_string(form->Splitter1->sizes()[0]);
    EXPECT_GT(form->StringGrid1->columnWidth(0), whole_heading) << where;
    int shown = 0;
    for (int column = 0; column < 4; ++column) shown += form->StringGrid1->columnWidth(column);
    EXPECT_EQ(shown, form->StringGrid1->viewport()->width()) << where;
  }
  form->Splitter1->setSizes(sides);
  QApplication::processEvents();
  for (int column = 1; column < 4; ++column) {
    EXPECT_GE(form->StringGrid1->columnWidth(column),
              form->StringGrid1->fontMetrics().horizontalAdvance(view->index(0, column).data().toString()))
        << "widened again " << column;
  }

  Recover(work / "empty", work / "out");
  EXPECT_FALSE(form->StringGrid1->horizontalHeader()->isVisible());
  EXPECT_EQ(form->StringGrid1->model()->rowCount(), 1);
  EXPECT_EQ(form->StringGrid1->model()->index(0, 0).data().toString(), "Имя файла");
}

// Guards a damaged row's name cut to "IMG_….JPG" at 630x480 beside its mark,
// while the figure columns kept spare pixels.
TEST_F(StartedWindowTest, AMarkedRowKeepsItsFileNameWholeAt630x480) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount disc(
      "file DCIM/IMG_0414.JPG 3538944 414\nbad DCIM/IMG_0414.JPG 1572864 98304\n"
      "file DCIM/VID_0417.MOV 25165824 417\nbad DCIM/VID_0417.MOV 5242880 1048576\n");
  ASSERT_EQ(form->size(), QSize(630, 480));
  for (QAction* language : {form->English1, form->Russian1}) {
    language->trigger();
    Recover(disc.Path().string() + "/DCIM", work / language->objectName().toStdString());
    ASSERT_EQ(form->Table().rowCount(), 2);
    for (int row = 0; row < 2; ++row) {
      const QModelIndex name = form->Table().index(row, 0);
      ASSERT_FALSE(name.data(Qt::DecorationRole).isNull()) << row;  // damaged, so marked
      const QString whole = name.data().toString(), shown = ShownCellText(*form->StringGrid1, name);
      EXPECT_TRUE(shown.endsWith(whole.mid(whole.lastIndexOf(QLatin1Char('/')) + 1))) << shown.toStdString();
    }
  }
}

// Guards results that say little: which files are damaged, by how much, and the run as a whole.
TEST_F(StartedWindowTest, RowsAreMarkedByWhatBecameOfThemAndTheStatusBarSumsTheRunUp) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount disc("file disc/IMG_0416.JPG 10000 1\nbad disc/IMG_0416.JPG 2848 1\nfile disc/b.bin 100 2\n");
  Recover(disc.Path().string() + "/disc", work / "out");
  const QAbstractItemModel* view = form->StringGrid1->model();
  const QModelIndex damaged = view->index(0, 0), whole = view->index(1, 0);
  EXPECT_FALSE(damaged.data(Qt::DecorationRole).value<QIcon>().isNull());
  // At the first size, beside its mark, a path gives up its folders and keeps the file's name
  // whole; the tooltip gives the full path first.
  ASSERT_EQ(form->size(), QSize(630, 480));
  for (const QModelIndex& row : {damaged, whole}) {
    const QString path = row.data().toString(), name = path.mid(path.lastIndexOf(QLatin1Char('/')));
    const QString shown = ShownCellText(*form->StringGrid1, row);
    EXPECT_TRUE(shown.endsWith(name) && shown.size() < path.size()) << shown.toStdString();
  }
  EXPECT_FALSE(form->StringGrid1->wordWrap());  // wrapped, only the path's first line would show
  const QString a_bin = Shown(disc.Path().string() + "/disc/IMG_0416.JPG\n");
  // Max Data leaves untried the bytes between where its two directions failed: "not recovered", never "unreadable".
  EXPECT_EQ(damaged.data(Qt::ToolTipRole).toString(),
            a_bin + "Saved with damage: 1808 bytes not recovered (unreadable or not tried), left as zeros");
  EXPECT_TRUE(view->index(0, 3).data(Qt::BackgroundRole).value<QColor>().isValid());
  EXPECT_TRUE(whole.data(Qt::DecorationRole).isNull());
  EXPECT_EQ(whole.data(Qt::ToolTipRole).toString(), Shown(disc.Path().string() + "/disc/b.bin\nSaved whole"));
  EXPECT_FALSE(view->index(1, 3).data(Qt::BackgroundRole).isValid());
  const QString status = form->StatusBar1->text();
  EXPECT_TRUE(status.startsWith("Elapsed time: 0:00:0")) << status.toStdString();
  // The bytes not recovered in units; the tooltip gives the line with their exact count.
  EXPECT_TRUE(status.endsWith("2 files, 1 of them damaged, 1.8 KB not recovered; saved to " + Shown(work / "out/")))
      << status.toStdString();
  EXPECT_EQ(form->StatusBar1->TipText(),
            QString(status).replace(QStringLiteral("1.8 KB"), QStringLiteral("1808 bytes")));

  // A stopped row says so; the row it never reached too.
  form->Table().SetRowState(1, RowState::kStopped, 0);
  form->Table().SetRowState(2, RowState::kPending, 0);
  EXPECT_FALSE(damaged.data(Qt::DecorationRole).value<QIcon>().isNull());
  EXPECT_EQ(damaged.data(Qt::ToolTipRole).toString(), a_bin + "Stopped: saved as far as it got, with its map");
  EXPECT_TRUE(whole.data(Qt::ToolTipRole).toString().endsWith("\nNot reached by the run"));
  form->Russian1->trigger();
  EXPECT_EQ(damaged.data(Qt::ToolTipRole).toString(), a_bin + "Остановлен: сохранён, сколько успел, с картой");
}

// Guards a status line cut at the window's edge ("saved to /home/alice/Res",
// "осталось окол") while it widened the window: at 630×480, in either
// language, the summary and the activity line each keep to a line of their
// own inside the window, cut with "…" where they must, whole in the tooltip.
TEST_F(StartedWindowTest, TheSummaryAndTheActivityLineFitTheWindowAndAreWholeInTheirTooltips) {
  WriteFile(work / "in/a.bin", std::string(5000, 'a'));
  const std::string save = work / "out/a save folder whose name is longer than any window is wide/";
  for (const bool english : {true, false}) {
    english ? form->English1->trigger() : form->Russian1->trigger();
    form->resize(630, 480);
    form->StatusBar1->clear();  // a run shorter than a second sets no elapsed time of its own
    Recover(work / "in", save);
    QApplication::processEvents();
    const std::string where = english ? "English" : "Russian";
    EXPECT_EQ(form->size(), QSize(630, 480)) << where;
    const QString summary = form->StatusBar1->text();
    ASSERT_TRUE(summary.contains(Shown(save))) << where << ": " << summary.toStdString();
    EXPECT_TRUE(form->StatusBar1->ShownText().endsWith(QStringLiteral("…"))) << where;
    // Whole in the tooltip, with the bytes not recovered counted exactly.
    EXPECT_EQ(form->StatusBar1->TipText(),
              QString(summary).replace(english ? QStringLiteral(" 0 B ") : QStringLiteral(" 0 Б;"),
                                       english ? QStringLiteral(" 0 bytes ") : QStringLiteral(" 0 байт;")))
        << where;
    // What the second run did with the first one's copy shows before the save folder is cut.
    if (!english) {
      EXPECT_TRUE(form->StatusBar1->ShownText().contains(QStringLiteral("1 уже готов, 0 продолжены; 1 файл")))
          << form->StatusBar1->ShownText().toStdString();
    }
    // The activity line takes the progress group's last line, as wide as the group.
    form->Activity1->setText(summary);
    EXPECT_TRUE(form->GroupBox2->isAncestorOf(form->Activity1)) << where;
    EXPECT_GE(form->Activity1->width(), form->GroupBox2->width() - 20) << where;
    EXPECT_EQ(form->size(), QSize(630, 480)) << where;
    for (QWidget* label :
         std::initializer_list<QWidget*>{form->StatusBar1, form->Activity1, form->Label1, form->Label4}) {
      const QRect placed(label->mapTo(form.get(), QPoint(0, 0)), label->size());
      EXPECT_TRUE(form->rect().contains(placed)) << where << " " << label->objectName().toStdString();
      EXPECT_GE(label->height(), label->fontMetrics().height()) << where << " " << label->objectName().toStdString();
    }
    // The map's legend goes on to another line rather than past the map's edge ("Читается сей").
    for (const CellShade shade : {CellShade::kFinished, CellShade::kUntried, CellShade::kBad, CellShade::kReading}) {
      const QRect entry = form->DamageMap1->LegendRect(shade);
      EXPECT_TRUE(form->DamageMap1->rect().contains(entry)) << where << " " << static_cast<int>(shade);
    }
    form->Activity1->clear();
  }
}

TEST_F(StartedWindowTest, TheSettingsDialogExplainsTheSelectedModeInTheLanguageShown) {
  EXPECT_EQ(settings->ModeExplanation->text(), "Waits for every read, however long: the most data.");
  settings->ComboBox1->setCurrentIndex(kModeMaxSpeed);
  EXPECT_TRUE(settings->ModeExplanation->text().startsWith("A read that takes over 10 seconds"));
  form->Russian1->trigger();  // selects Max Data
  EXPECT_TRUE(settings->ModeExplanation->text().startsWith("Ждать завершения каждого чтения"));
  // A language file without the later entries shows them in English.
  WriteFile(program / "Language/Russian.ini", "[Messages]\n57=Максимум данных\n");
  form->Russian1->trigger();
  EXPECT_EQ(settings->ModeExplanation->text(), "Waits for every read, however long: the most data.");
}

// Guards a dialog of a fixed size that cut the Russian mode explanation in half.
TEST_F(StartedWindowTest, EverySettingsTextShowsWholeInEitherLanguageAtAnyFontSize) {
  const QFont normal = settings->font();
  for (const bool english : {true, false}) {
    english ? form->English1->trigger() : form->Russian1->trigger();
    for (const double scale : {1.0, 1.6, 2.2}) {
      QFont font = normal;
      font.setPointSizeF(normal.pointSizeF() * scale);
      settings->setFont(font);
      settings->show();
      QApplication::processEvents();
      const std::string where = (english ? "English x" : "Russian x") + std::to_string(scale);
      EXPECT_GE(settings->width(), 344) << where;
      EXPECT_GE(settings->height(), 300) << where;
      for (QWidget* text : settings->findChildren<QWidget*>()) {
        if (!qobject_cast<QLabel*>(text) && !qobject_cast<QAbstractButton*>(text)) continue;
        const QRect placed(text->mapTo(settings.get(), QPoint(0, 0)), text->size());
        EXPECT_TRUE(settings->rect().contains(placed)) << where << " " << text->objectName().toStdString();
        const int needed = text->hasHeightForWidth() ? text->heightForWidth(text->width()) : text->sizeHint().height();
        EXPECT_GE(text->height(), needed) << where << " " << text->objectName().toStdString();
        if (!text->hasHeightForWidth()) {
          EXPECT_GE(text->width(), text->sizeHint().width()) << where;
        }
      }
      settings->hide();
    }
  }
  settings->setFont(normal);
  form->English1->trigger();
  settings->show();
  QApplication::processEvents();
  EXPECT_EQ(settings->width(), 344);  // the width it always had, where that is enough
}

TEST_F(StartedWindowTest, ShowIconsSwitchesTheTreesIconsAtOnceAndCancelKeepsChanges) {
  ASSERT_TRUE(settings->CheckBox2->isChecked());
  settings->CheckBox2->click();
  EXPECT_FALSE(form->Tree().ShowIcons());
  EXPECT_TRUE(form->Tree().topLevelItem(0)->icon(0).isNull());
  After(0, [&] {
    settings->ComboBox1->setCurrentIndex(1);
    settings->BitBtn2->click();  // Cancel
  });
  form->ToolButton5->click();
  EXPECT_EQ(settings->ComboBox1->currentIndex(), 1);
}

}  // namespace
}  // namespace salvorine::test
