// The main window over the engine, driven through its widgets without a screen.
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "app/salvorine_application.h"
#include "app/shell_tree_view.h"
#include "app/text_bytes.h"
#include "app/unit1.h"
#include "platform/file_system.h"
#include "support/damaged_mount.h"
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
  std::string PickFolder(QWidget*, const QString& shown_title) override {
    title = shown_title;
    return answer;
  }
};

struct RecordingOpener final : DesktopOpener {
  std::vector<QUrl> opened;
  void Open(const QUrl& url) override { opened.push_back(url); }
};

// Runs `action` once, `ms` milliseconds from now, inside whatever loop is processing events then.
void After(int ms, std::function<void()> action) { QTimer::singleShot(ms, qApp, std::move(action)); }

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SalvorineApplication::ErrorSink() = [this](const QString& text) { top_level_errors.push_back(text); };
    form = std::make_unique<TForm1>(WindowServices{dialogs, tray, picker, desktop});
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
  std::vector<QString> top_level_errors;
  std::unique_ptr<TForm1> form;
};

TEST_F(WindowTest, ARunFromTheWindowFillsTheTableAndHoldsTheBusyStateMeanwhile) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount disc(
      "file disc/a.bin 10000 1\nbad disc/a.bin 2848 1\n"
      "file disc/b.bin 40000 2\nslow disc/b.bin 0 40000 20\n");
  const std::string source = disc.Path().string() + "/disc";
  std::vector<bool> enabled_during_run;
  QString status_during_run;
  After(300, [&] {
    enabled_during_run = {form->ToolButton1->isEnabled(), form->Recover2->isEnabled(), form->Button3->isEnabled(),
                          form->Edit2->isEnabled(), form->ShellTreeView1->isEnabled(),
                          form->ToolButton3->isEnabled()};
    status_during_run = form->StatusBar1->text();
  });
  Recover(source, work / "out");

  EXPECT_EQ(enabled_during_run, (std::vector<bool>{false, false, false, false, false, true}));
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

TEST_F(WindowTest, TheWindowKeepsProcessingMessagesWhileAReadStalls) {
  SALVORINE_REQUIRE_FUSE();
  // The first block of the only file takes 1.5 s to read.
  DamagedMount disc("file disc/a.bin 5000 1\nslow disc/a.bin 0 1 1500\n");
  std::string completed_when_timer_ran;
  After(300, [&] { completed_when_timer_ran = Cell(2, 1); });
  Recover(disc.Path().string() + "/disc", work / "out");
  // Had the window waited for the read, the timer would have run after the first block.
  EXPECT_EQ(completed_when_timer_ran, "0 (0%)");
  EXPECT_EQ(Cell(2, 1), "5000 (100%)");
}

TEST_F(WindowTest, StopAnsweredNoGoesOnAndYesEndsTheRun) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount disc("file disc/a.bin 40000 1\nslow disc/a.bin 0 40000 40\nfile disc/b.bin 100 2\n");
  dialogs.answers = {false, true};
  After(200, [&] { form->ToolButton3->click(); });
  After(600, [&] { form->ToolButton3->click(); });
  Recover(disc.Path().string() + "/disc", work / "out");
  EXPECT_EQ(dialogs.questions.size(), 2u);
  EXPECT_NE(Cell(2, 1), "40000 (100%)");
  EXPECT_EQ(Cell(2, 2), "0 (0%)");
  EXPECT_TRUE(dialogs.information.empty());
  EXPECT_TRUE(form->ToolButton1->isEnabled());
}

TEST_F(WindowTest, ClosingDuringARunAsksAndOkStopsTheRunAndClosesTheWindow) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount disc("file disc/a.bin 40000 1\nslow disc/a.bin 0 40000 40\n");
  dialogs.answers = {false, true};
  bool visible_after_cancel = false;
  After(200, [&] {
    form->close();
    visible_after_cancel = form->isVisible();
  });
  After(600, [&] { form->close(); });
  Recover(disc.Path().string() + "/disc", work / "out");
  EXPECT_TRUE(visible_after_cancel);
  EXPECT_FALSE(form->isVisible());
  EXPECT_NE(Cell(2, 1), "40000 (100%)");
  // The copy the run was writing when the window closed is kept; nothing is saved.
  EXPECT_TRUE(FileExists(work / "TMP654/1.bin"));
  EXPECT_FALSE(FileExists(work / "out/disc/a.bin"));
}

TEST_F(WindowTest, EjectTogglesCaptionAndPictureAgainstTheTray) {
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

TEST_F(WindowTest, ColumnZeroTakesTheWidthTheOtherColumnsLeave) {
  // The outer width counts, frame included: 630 outer gives 133.
  EXPECT_EQ(form->StringGrid1->columnWidth(0), form->frameGeometry().width() - 83 - 95 - 95 - 224);
  const int before = form->StringGrid1->columnWidth(0);
  form->resize(form->width() + 100, form->height());
  QApplication::processEvents();
  EXPECT_EQ(form->StringGrid1->columnWidth(0), before + 100);
  EXPECT_EQ(form->StringGrid1->columnWidth(1), 83);
  EXPECT_EQ(form->StringGrid1->columnWidth(3), 95);
  form->resize(300, 480);
  QApplication::processEvents();
  EXPECT_GT(form->StringGrid1->columnWidth(0), 0);
}

TEST_F(WindowTest, TheTreeReportsTheSelectedItemsFullPath) {
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

TEST_F(WindowTest, RefreshShowsNewFilesAndKeepsExpansionAndSelection) {
  WriteFile(work / "d/sub/a.txt", "a");
  ASSERT_TRUE(form->Tree().SelectPath(work / "d/sub/a.txt"));
  WriteFile(work / "d/sub/b.txt", "b");
  form->Tree().scrollToTop();
  form->ToolButton7->click();
  EXPECT_EQ(form->Tree().SelectedPath(), work / "d/sub/a.txt");
  EXPECT_TRUE(form->Tree().SelectPath(work / "d/sub/b.txt"));
}

TEST_F(WindowTest, BrowseFillsTheSaveFolderAndCancelKeepsIt) {
  picker.answer = work / "picked";
  form->Button3->click();
  EXPECT_EQ(form->Edit2->text(), Shown(work / "picked"));
  EXPECT_EQ(picker.title, "Choose the folder to save recovered files to");
  picker.answer.clear();
  form->Button3->click();
  EXPECT_EQ(form->Edit2->text(), Shown(work / "picked"));
}

TEST_F(WindowTest, HelpAndLinksOpenThroughTheDesktop) {
  form->Help2->trigger();
  form->WebSite1->trigger();
  form->Support1->trigger();
  ASSERT_EQ(desktop.opened.size(), 3u);
  EXPECT_TRUE(desktop.opened[0].toLocalFile().endsWith("/Salvorine.chm"));
  EXPECT_EQ(desktop.opened[1].toString(), "https://salvorine.example/en/");
  EXPECT_EQ(desktop.opened[2].scheme(), "mailto");
}

TEST_F(WindowTest, AnErrorLeavingACommandReachesTheTopLevelHandler) {
  WriteFile(work / "blocker", "");
  form->Edit2->setText(Shown(work / "blocker/out"));
  form->ToolButton1->click();
  ASSERT_EQ(top_level_errors.size(), 1u);
  EXPECT_EQ(top_level_errors[0], Shown("Cannot create folder " + work / "blocker/out/: Not a directory."));
  EXPECT_TRUE(form->ToolButton1->isEnabled());
}

}  // namespace
}  // namespace salvorine::test

int main(int argc, char** argv) {
  if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  salvorine::SalvorineApplication application(argc, argv);
  application.setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
