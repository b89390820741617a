#pragma once

#include "widgets/centred_dialog.h"
#include <QTextEdit>
#include <functional>
#include <string>

#include "i18n/apply_language.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QMediaPlayer;
class QAudioOutput;
class QPushButton;
class QSlider;
class QTabWidget;
class QToolButton;
class QVideoWidget;
class QWidget;

namespace salvorine {

class Dialogs;

// The text box of the Text Viewer.
class RichEditBox final : public QTextEdit {
 public:
  using QTextEdit::QTextEdit;
};

// The figures of one job-table row, and where its copies are.
struct PreviewRow {
  std::string source_path;
  std::string destination_path;
  std::string recovered_copy_path;
  std::string size, completed, damaged;
};

// The Preview window: a row's figures and destination, and its recovered copy
// opened on demand in a text, image or media viewer.
class TForm5 final : public CentredDialog {
  Q_OBJECT

 public:
  explicit TForm5(Dialogs& dialogs, QWidget* parent = nullptr);
  ~TForm5() override;

  // Fills the fields for `row`, turns to the viewer its file type calls for and
  // shows the window modally; nothing is loaded until "Open".
  void ShowRow(const PreviewRow& row);
  // Fills the fields without showing the window.
  void Fill(const PreviewRow& row);
  // A text of a language's table; slots of other windows are left alone.
  void SetText(TextSlot slot, const QString& shown);

  void Button2Click();  // Open
  void Button1Click();  // Close
  void FormClose();

  QGroupBox* GroupBox1 = nullptr;
  QLineEdit* Edit1 = nullptr;  // source path
  QLineEdit* Edit2 = nullptr;  // destination path
  QLabel* Label1 = nullptr;    // "Filename:"
  QLabel* Label2 = nullptr;    // "Save as:"
  QLabel* Label3 = nullptr;    // "Size:"
  QLabel* Label4 = nullptr;    // "Completed:"
  QLabel* Label7 = nullptr;    // "Damaged:"
  QLabel* Label5 = nullptr;    // size value
  QLabel* Label6 = nullptr;    // completed value
  QLabel* Label8 = nullptr;    // damaged value
  QLabel* Label9 = nullptr;    // the recovered copy's path, never shown
  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheet1 = nullptr;
  QWidget* TabSheet2 = nullptr;
  QWidget* TabSheet3 = nullptr;
  RichEditBox* RichEdit1 = nullptr;
  QLabel* Image1 = nullptr;  // bitmaps
  QLabel* Image2 = nullptr;  // every other picture
  QMediaPlayer* MediaPlayer1 = nullptr;  // made when the first media file is opened
  QWidget* Panel1 = nullptr;  // the video display
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;

  // The media player's buttons, in the order of a classic player bar.
  QToolButton* PlayButton = nullptr;
  QToolButton* PauseButton = nullptr;
  QToolButton* StopButton = nullptr;
  QToolButton* PreviousButton = nullptr;
  QToolButton* NextButton = nullptr;
  QToolButton* StepButton = nullptr;
  QToolButton* BackButton = nullptr;
  QToolButton* RecordButton = nullptr;
  QToolButton* EjectButton = nullptr;
  // Beside the buttons: where playback is, to drag, and its time of the whole.
  QSlider* PositionSlider = nullptr;
  QLabel* TimeLabel = nullptr;

 protected:
  void done(int result) override;

 private:
  QWidget* CreateInformationGroup();
  QWidget* CreateMediaTab();
  void OpenText(const std::string& path);
  void OpenImage(const std::string& path);
  void OpenMedia(const std::string& path);
  void CreateMediaPlayer();
  void ShowPosition(qint64 position);
  std::string CopyPath() const;

  Dialogs& dialogs_;
  QAudioOutput* audio_ = nullptr;
  QVideoWidget* video_ = nullptr;
  bool media_failed_ = false;
};

// The one message of every failure of "Open".
inline constexpr const char* kUnknownFormat = "Unknown format.";

}  // namespace salvorine
