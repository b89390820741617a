// The Preview window: the command from the main window, and each viewer on real files.
#include <QApplication>
#include <QAudioOutput>
#include <QClipboard>
#include <QKeyEvent>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QMouseEvent>
#include <QTextCursor>
#include <filesystem>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <gtest/gtest.h>

#include "app/salvorine_application.h"
#include "app/shell_tree_view.h"
#include "widgets/text_bytes.h"
#include "app/unit1.h"
#include "platform/file_system.h"
#include "preview/unit5.h"
#include "tests/support/fakes.h"
#include "tests/support/picture_files.h"
#include "tests/support/temp_folder.h"

namespace salvorine::test {
namespace {

struct NoTray final : TrayDevice {
  void Open() override {}
  void Close() override {}
};
struct NoPicker final : FolderPicker {
  std::string PickFolder(QWidget*, const QString&, const std::string&) override { return {}; }
};
struct NoDesktop final : DesktopOpener {
  bool Open(const QUrl&) override { return true; }
};

// A mono 16-bit WAV of `samples` samples at 8 kHz.
std::string Wav(int samples) {
  std::string data;
  for (int i = 0; i < samples; ++i) {
    const auto value = static_cast<std::int16_t>(8000 * std::sin(i / 8.0));
    data.push_back(static_cast<char>(value & 0xff));
    data.push_back(static_cast<char>((value >> 8) & 0xff));
  }
  const auto u32 = [](std::uint32_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
  };
  const auto u16 = [](std::uint16_t v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8)}; };
  const auto size = static_cast<std::uint32_t>(data.size());
  return "RIFF" + u32(36 + size) + "WAVEfmt " + u32(16) + u16(1) + u16(1) + u32(8000) + u32(16000) + u16(2) + u16(16) +
         "data" + u32(size) + data;
}

class PreviewTest : public ::testing::Test {
 protected:
  void SetUp() override { preview.show(); }
  void TearDown() override { preview.FormClose(); }

  // Opens `content` as a recovered copy named `name` on tab `tab`.
  void Open(int tab, const std::string& name, const std::string& content) {
    WriteFile(work / name, content);
    OpenPath(tab, work / name);
  }
  void OpenPath(int tab, const std::string& path) {
    PreviewRow row;
    row.recovered_copy_path = path;
    preview.Fill(row);
    preview.PageControl1->setCurrentIndex(tab);
    preview.Button2->click();
  }

  TempFolder work;
  ScriptedDialogs dialogs;
  TForm5 preview{dialogs};
};

TEST_F(PreviewTest, PlainTextIsShownAsTextNeverAsMarkup) {
  Open(0, "1.txt", "<b>not bold</b>\n# not a heading\n");
  EXPECT_EQ(preview.RichEdit1->toPlainText(), "<b>not bold</b>\n# not a heading\n");
  EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(PreviewTest, AVeryLongCopyShowsItsBeginningAndAnEllipsis) {
  std::string text;
  for (int i = 0; text.size() < (9u << 20); ++i) text += "line " + std::to_string(i) + "\n";
  Open(0, "1.log", text);
  const QString shown = preview.RichEdit1->toPlainText();
  EXPECT_TRUE(shown.startsWith("line 0\nline 1\n"));
  EXPECT_TRUE(shown.endsWith("\n...")) << shown.right(20).toStdString();
  EXPECT_LT(shown.size(), static_cast<qsizetype>(text.size()));
}

TEST_F(PreviewTest, RtfIsShownAsRichTextWithItsCodePage) {
  Open(0, "2.rtf",
       "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl;\\red255\\green0\\blue0;}"
       "\\f0\\fs24 {\\b \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}\\par {\\cf1 red}}");
  EXPECT_EQ(preview.RichEdit1->toPlainText(), "Привет\nred");
  QTextCursor cursor(preview.RichEdit1->document());
  cursor.setPosition(2);
  EXPECT_EQ(cursor.charFormat().fontWeight(), QFont::Bold);
}

// Guards a text box whose text could not be selected or copied.
TEST_F(PreviewTest, TextCanBeSelectedAndCopiedButNeverChanged) {
  Open(0, "1.txt", "some text to select\n");
  const auto key = [&](int code, Qt::KeyboardModifiers modifiers, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, code, modifiers, text);
    QApplication::sendEvent(preview.RichEdit1, &press);
  };
  key(Qt::Key_Home, Qt::ControlModifier);
  for (int i = 0; i < 4; ++i) key(Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(preview.RichEdit1->textCursor().selectedText(), "some");
  QApplication::clipboard()->clear();
  key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "some");
  key(Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
  key(Qt::Key_Delete, Qt::NoModifier);
  EXPECT_EQ(preview.RichEdit1->toPlainText(), "some text to select\n");
}

TEST_F(PreviewTest, BitmapsGoToImage1OnlyForTheExactLowerCaseExtension) {
  WriteBmp(work / "3.bmp");
  OpenPath(1, work / "3.bmp");
  EXPECT_TRUE(preview.Image1->isVisibleTo(&preview));
  EXPECT_FALSE(preview.Image2->isVisibleTo(&preview));
  WriteBmp(work / "4.BMP");
  OpenPath(1, work / "4.BMP");
  EXPECT_FALSE(preview.Image1->isVisibleTo(&preview));
  EXPECT_TRUE(preview.Image2->isVisibleTo(&preview));
  EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(PreviewTest, EachPictureFormatDecodes) {
  WriteIco(work / "1.ico");
  WriteJpeg(work / "2.jpg");
  WriteTruncatedCopy(work / "2.jpg", work / "3.jpeg", 0.6);
  WriteWmf(work / "4.wmf");
  WriteEmf(work / "5.emf");
  for (const char* name : {"1.ico", "2.jpg", "3.jpeg", "4.wmf", "5.emf"}) {
    OpenPath(1, work / name);
    EXPECT_TRUE(preview.Image2->isVisibleTo(&preview)) << name;
    EXPECT_GT(preview.Image2->pixmap().width(), 1) << name;
  }
  EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(PreviewTest, EveryFailureOfOpenIsUnknownFormat) {
  Open(1, "1.txt", "not a picture");
  EXPECT_FALSE(preview.Image1->isVisibleTo(&preview));
  EXPECT_FALSE(preview.Image2->isVisibleTo(&preview));
  OpenPath(0, work / "missing.txt");
  OpenPath(1, work / "missing.jpg");
  OpenPath(2, work / "missing.avi");
  EXPECT_EQ(dialogs.errors, std::vector<std::string>(4, "Unknown format."));
}

// Guards a JPEG without picture data showing as a blank grey picture without a word.
TEST_F(PreviewTest, AJpegWithNothingDecodableIsUnknownFormatAndOtherQtFormatsOpen) {
  WriteJpeg(work / "1.jpg");
  const std::string whole = ReadFile(work / "1.jpg");
  const std::size_t scan = whole.find("\xff\xda");
  ASSERT_NE(scan, std::string::npos);
  const std::size_t header_end = scan + 2 + (static_cast<unsigned char>(whole[scan + 2]) << 8 |
                                             static_cast<unsigned char>(whole[scan + 3]));
  // Everything up to the picture data, and none of it.
  Open(1, "2.jpg", whole.substr(0, header_end));
  EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Unknown format."});
  EXPECT_FALSE(preview.Image2->isVisibleTo(&preview));

  QImage png(40, 20, QImage::Format_RGB32);
  png.fill(Qt::red);
  ASSERT_TRUE(png.save(Shown(work / "3.PNG"), "PNG"));
  OpenPath(1, work / "3.PNG");
  EXPECT_TRUE(preview.Image2->isVisibleTo(&preview));
  EXPECT_EQ(preview.Image2->pixmap().width(), 40);
  EXPECT_EQ(dialogs.errors.size(), 1u);
}

// Guards an exception from the Open button unwinding through Qt's signal code.
TEST(PreviewGuardTest, AnErrorLeavingOpenReachesTheTopLevelHandler) {
  struct FailingDialogs final : Dialogs {
    void ShowError(const std::string&) override { throw std::out_of_range("box failed"); }
    void ShowInformation(const std::string&) override {}
    bool AskYesNo(const std::string&) override { return true; }
    bool AskOkCancel(const std::string&) override { return true; }
  } dialogs;
  std::vector<QString> reported;
  const auto saved = SalvorineApplication::ErrorSink();
  SalvorineApplication::ErrorSink() = [&](const QString& text) { reported.push_back(text); };
  TForm5 preview{dialogs};
  PreviewRow row;
  row.recovered_copy_path = "/nonexistent/1.txt";
  preview.Fill(row);
  preview.PageControl1->setCurrentIndex(0);
  preview.Button2->click();
  SalvorineApplication::ErrorSink() = saved;
  EXPECT_EQ(reported, std::vector<QString>{"box failed."});
}

// Waits up to `ms` milliseconds, processing events, until `done` holds.
bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 50);
  return done();
}

TEST_F(PreviewTest, TheMediaViewerPlaysSoundAndRejectsWhatNoBackendOpens) {
  // The sound system starts with the first media file, not with the window.
  EXPECT_EQ(preview.findChild<QMediaPlayer*>(), nullptr);
  EXPECT_EQ(preview.findChild<QAudioOutput*>(), nullptr);
  preview.PlayButton->click();
  Open(2, "1.wav", Wav(16000));
  EXPECT_TRUE(WaitFor([&] {
    const auto status = preview.MediaPlayer1->mediaStatus();
    return status == QMediaPlayer::BufferedMedia || status == QMediaPlayer::EndOfMedia;
  }));
  EXPECT_TRUE(dialogs.errors.empty());
  // Beside the buttons, the slider spans the file's two seconds and the time says how long it plays;
  // dragging the slider moves playback.
  EXPECT_TRUE(WaitFor([&] { return preview.PositionSlider->maximum() == 2000; })) << preview.PositionSlider->maximum();
  EXPECT_TRUE(preview.TimeLabel->text().endsWith(" / 0:00:02")) << preview.TimeLabel->text().toStdString();
  preview.PauseButton->click();
  preview.PositionSlider->setSliderPosition(1500);
  preview.PositionSlider->triggerAction(QAbstractSlider::SliderMove);
  EXPECT_TRUE(WaitFor([&] { return preview.MediaPlayer1->position() >= 1500; })) << preview.MediaPlayer1->position();
  EXPECT_TRUE(WaitFor([&] { return preview.TimeLabel->text() == "0:00:01 / 0:00:02"; }))
      << preview.TimeLabel->text().toStdString();
  Open(2, "2.avi", std::string(5000, '\0'));
  EXPECT_TRUE(WaitFor([&] { return !dialogs.errors.empty(); }));
  EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Unknown format."});
  preview.Button1->click();
  EXPECT_EQ(preview.MediaPlayer1->source(), QUrl());
  EXPECT_TRUE(preview.RichEdit1->toPlainText().isEmpty());
}

class PreviewCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* file : {"English.ini", "Russian.ini"}) {
      WriteFile(program / (std::string("Language/") + file),
                ReadFile(std::string(SALVORINE_SOURCE_DIR) + "/Language/" + file));
    }
    form.SetPreviewWindow(&preview);
    form.show();
    QApplication::processEvents();
  }

  TempFolder work;
  ScopedTmpdir tmpdir{work.Path()};
  TempFolder program;
  ScriptedDialogs dialogs;
  NoTray tray;
  NoPicker picker;
  NoDesktop desktop;
  TForm1 form{WindowServices{dialogs, tray, picker, desktop, program.Path()}};
  TForm5 preview{dialogs, &form};
};

TEST_F(PreviewCommandTest, ShowsTheRowsFiguresAndWhereTheRunSavedIt) {
  WriteFile(work / "disc/docs/a.txt", "hello");
  ASSERT_TRUE(form.Tree().SelectPath(work / "disc"));
  form.Edit2->setText(Shown(work / "out"));
  form.ToolButton1->click();
  // The heading row selects nothing to preview.
  form.StringGrid1->setCurrentIndex(QModelIndex());
  form.ToolButton4->click();
  EXPECT_TRUE(preview.Edit1->text().isEmpty());

  std::filesystem::remove_all(work / "out");
  form.StringGrid1->setCurrentIndex(form.StringGrid1->model()->index(0, 0));
  QTimer::singleShot(0, &preview, [&] {
    preview.PageControl1->setCurrentIndex(0);
    preview.Button2->click();
    preview.Button1->click();
  });
  form.ToolButton4->click();
  EXPECT_EQ(preview.Edit1->text(), Shown(work / "disc/docs/a.txt"));
  EXPECT_EQ(preview.Edit2->text(), Shown(work / "out/disc/docs/a.txt"));
  EXPECT_EQ(preview.Label5->text(), "5");
  EXPECT_EQ(preview.Label6->text(), "5 (100%)");
  EXPECT_EQ(preview.Label8->text(), "0 (0%)");
  // Showing where a row was saved writes nothing: the removed save folder
  // stays removed. The run's working folder went with it, so no copy is left to open.
  EXPECT_FALSE(FolderExists(work / "out"));
  EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Unknown format."});
}

// Guards "Unknown format." for a row a resumed run took as complete: it has no working copy.
TEST_F(PreviewCommandTest, ARowTheRunFoundCompleteOpensItsSavedCopy) {
  WriteFile(work / "disc/a.txt", "hello");
  ASSERT_TRUE(form.Tree().SelectPath(work / "disc"));
  form.Edit2->setText(Shown(work / "out"));
  form.ToolButton1->click();
  form.ToolButton1->click();
  ASSERT_FALSE(FileExists(work / "out/.salvorine/TMP654"));
  form.StringGrid1->setCurrentIndex(form.StringGrid1->model()->index(0, 0));
  QString shown;
  QTimer::singleShot(0, &preview, [&] {
    preview.Button2->click();
    shown = preview.RichEdit1->toPlainText();
    preview.Button1->click();
  });
  form.ToolButton4->click();
  EXPECT_EQ(shown, "hello");
  EXPECT_TRUE(dialogs.errors.empty());
}

// Guards a picture that opened on the Text tab.
TEST_F(PreviewCommandTest, ThePreviewOpensOnTheViewerTheFileTypeCallsFor) {
  const std::pair<std::string, int> cases[] = {
      {"/d/a.txt", 0}, {"/d/b.JPG", 1}, {"/d/c.wmf", 1}, {"/d/d.wav", 2}, {"/d/e.Mkv", 2},
      {"/d/f", 0},     {"/d.png/g", 0}, {"/d/h.rtf", 0}, {"/d/i.png", 1}};
  for (const auto& [path, tab] : cases) {
    PreviewRow row;
    row.source_path = path;
    preview.PageControl1->setCurrentIndex(tab == 0 ? 1 : 0);
    preview.Fill(row);
    EXPECT_EQ(preview.PageControl1->currentIndex(), tab) << path;
  }
}

TEST_F(PreviewCommandTest, ItsTextsFollowTheLanguage) {
  form.Russian1->trigger();
  EXPECT_EQ(preview.windowTitle(), "Просмотр");
  EXPECT_EQ(preview.Label1->text(), "Имя файла:");
  EXPECT_EQ(preview.Label2->text(), "Сохранить в:");
  EXPECT_EQ(preview.PageControl1->tabText(2), "Мультимедиа");
  EXPECT_EQ(preview.Button1->text(), "Закрыть");
  form.English1->trigger();
  EXPECT_EQ(preview.Label4->text(), "Completed:");
  EXPECT_EQ(preview.GroupBox1->title(), "Information");
  EXPECT_EQ(preview.Button2->text(), "Open");
}

}  // namespace
}  // namespace salvorine::test
