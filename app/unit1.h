#pragma once

#include <QIcon>
#include <QMainWindow>
#include <array>
#include <chrono>
#include <memory>
#include <string>

#include "app/activity_line.h"
#include "app/background_reader.h"
#include "app/damage_map_view.h"
#include "app/held_settings.h"
#include "app/job_table_model.h"
#include "app/paced_progress.h"
#include "app/qt_translations.h"
#include "app/shown_first_dialogs.h"
#include "app/size_texts.h"
#include "app/watched_source.h"
#include "app/window_services.h"
#include "i18n/apply_language.h"
#include "i18n/message_table.h"
#include "i18n/window_texts.h"
#include "platform/clock.h"
#include "recovery/recovery_run.h"
#include "settings/settings_file.h"
#include "widgets/elided_label.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTableView;
class QToolBar;
class QTimer;
class QToolButton;
class QWidget;

namespace salvorine {

class DamageReportDialog;
class ShellTreeView;
class TextWindow;
class TForm2;
class TForm3;
class TForm5;

// The main window: folder tree, job table, save folder, progress display and
// every command. Recovery itself is the engine's RecoveryRun; this class keeps
// the commands and the window's state, and binds the run to the widgets that
// the panels' builders make.
class TForm1 final : public QMainWindow,
                     private RunWindow,
                     private EventPump,
                     private LanguageView,
                     private SettingsHolder {
  Q_OBJECT

 public:
  explicit TForm1(WindowServices services, QWidget* parent = nullptr);
  ~TForm1() override;

  void SetAboutDialog(TForm2* about) { about_ = about; }
  // The status bar's mode note follows the dialog's mode list from now on.
  void SetSettingsDialog(TForm3* settings);
  void SetPreviewWindow(TForm5* preview) { preview_ = preview; }
  MessageTable& Messages() { return messages_; }
  RecoveryRun& Run() { return *run_; }
  JobTableModel& Table() { return *table_; }
  ShellTreeView& Tree() { return *ShellTreeView1; }
  const std::string& ProgramFolderPath() const { return program_folder_; }

  // Commands, named after the controls that invoke them.
  void ToolButton1Click();  // Recover
  void ToolButton2Click() {}  // Pause: hidden, never shown
  void ToolButton3Click();  // Stop
  void ToolButton8Click();  // Skip File
  void ToolButton4Click();  // Preview
  void Preview();
  void ToolButton5Click();  // Settings
  void ToolButton6Click();  // Eject
  void ToolButton7Click();  // Refresh
  void Button3Click();      // Browse
  void BitBtn3Click();      // Open save folder
  void Exit1Click();
  void Report1Click();  // opens the last run's damage report
  void Help2Click();
  void WebSite1Click();
  void Support1Click();
  void About1Click();
  void English1Click();
  void Russian1Click();

 protected:
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void FormActivate();
  bool FormCloseQuery();
  void FormClose();
  void FormResize();

  // The panels' builders, each in a file of its own: the tool bar and menus
  // (main_window_bars), the tree, table and map (main_window_files), the
  // save-folder bar, progress display and status bar (main_window_bottom).
  void CreateToolBar();
  void CreateMenus();
  void AssignMenuMnemonics();
  void CreateCentralArea();
  void CreateTree();
  void CreateJobTable();
  QWidget* CreateFilesPanel();
  QWidget* CreateBottomPanel();
  void CreateSaveFolderBar();
  void CreateProgressGroup();
  void CreateStatusBar();
  void SetEjectImage(int index);
  void OpenMap(const std::string& path, std::int64_t size);
  // An entry of the language in force, English where the file lacks it.
  QString ShownText(const WindowText& entry) const;
  bool TitleIsEnglish() const;

  // The save-folder box's text, and the folder tree's selected path (empty when nothing is selected).
  std::string SaveFolder() const;
  std::string SelectedPath() const;
  // Opens the tray after a completed run whose first file lies on an optical disc, when the settings ask for it.
  void TrayStep();
  // RunWindow
  void SetRunControlsEnabled(bool enabled) override;
  // EventPump
  void ProcessMessages() override;
  void ShowProgress();
  void TickElapsed();
  void RowsDone();
  void FitFigureColumns();
  // The name column's least width: its heading whole between the heading's margins.
  int NameColumnMinimum() const;
  void AnchorSaveFolder();
  void ShowRunEnd(const QString& ended_by);
  void ShowRunSummary(const QString& ended_by);
  QString SaveDiskFullText() const;
  // The damage map of the selected row: the run's own while its pass runs, else the saved one.
  void ShowDamageMap(bool reload);
  void ShowActivity();
  void MarkEarlierCopies();
  void ApplyRunViewTexts(const std::string& language_file);
  // The sum of one figure over every row.
  std::int64_t BytesOfAllRows(std::int64_t RowFigures::*figure) const;
  static void SetCaption(QToolButton* button, const QString& caption);
  // LanguageView
  void CheckLanguage(bool english) override;
  void SetText(TextSlot slot, const std::string& text) override;
  int SelectedMode() const override { return ModeIndex(); }
  void SelectMode(int index) override;
  // The status bar's note of the mode in force, in the language shown.
  void ShowMode();
  // SettingsHolder
  // Bounds are the client area's, saved and restored alike: a position that
  // counted the frame on one side only would move the window at every start.
  int Left() const override { return geometry().x(); }
  int Top() const override { return geometry().y(); }
  int Width() const override { return width(); }
  int Height() const override { return height(); }
  void SetLeft(int value) override { setGeometry(QRect(value, geometry().y(), width(), height())); }
  void SetTop(int value) override { setGeometry(QRect(geometry().x(), value, width(), height())); }
  void SetWidth(int value) override { resize(value, height()); }
  void SetHeight(int value) override { resize(width(), value); }
  void KeepTitleBarOnScreen();
  void SetTreeIcons(bool show) override;
  std::string SaveFolderText() const override { return SaveFolder(); }
  void SetSaveFolderText(const std::string& folder) override;
  bool EnglishChecked() const override;
  void ApplyLanguage(bool english) override;
  int ModeIndex() const override;
  void SetModeIndex(int index) override;
  bool TrayChecked() const override;
  void SetTrayChecked(bool checked) override;
  bool ShowIconsChecked() const override;
  void SetShowIconsChecked(bool checked) override;
  bool ContinueChecked() const override;
  void SetContinueChecked(bool checked) override;
  int Retries() const override;
  void SetRetries(int retries) override;
  int TreeWidth() const override;
  void SetTreeWidth(int width) override;

  WindowServices services_;
  QtTranslations qt_translations_;
  MessageTable messages_;
  SteadyClock clock_;
  HeldSettings held_settings_;  // the run's options among them
  BackgroundReader reader_;
  PacedProgress progress_;
  // Boxes the run shows come after what it reported is on the screen.
  ShownFirstDialogs run_dialogs_{services_.dialogs, [this] { ShowProgress(); }, [this] { RowsDone(); }};
  int pending_selection_ = -1;  // view row the run asked to select, not yet shown
  bool run_on_stack_ = false;   // Recover has not returned yet
  bool run_began_ = false;      // the last Recover got as far as reading
  std::chrono::steady_clock::time_point messages_processed_at_{};
  QString summary_text_ = QString::fromUtf8(kRunSummaryText.english);
  SizeTexts size_texts_;
  QString earlier_copies_text_, row_continued_text_, row_taken_whole_text_;
  std::string no_report_text_ = kNoReportText.english;
  QString mode_text_ = QString::fromUtf8(kModeInForceText.english);
  Clock::TimePoint run_started_{};
  ReadWatch read_watch_;
  ActivityLine activity_;
  bool stopping_ = false;  // a Stop waits for the read under way
  int map_row_ = 0;        // the row the damage map shows, 0 for none
  bool map_live_ = false;
  RowState map_state_ = RowState::kPending;
  std::chrono::steady_clock::time_point map_shown_at_{};
  QTimer* elapsed_ticker_ = nullptr;
  std::array<QIcon, 9> images_;  // the toolbar's image list
  // Size, Completed and Damaged as wide as their widest text; narrower only while the names need the room.
  int figure_widths_[3] = {};
  std::string program_folder_;
  bool first_activation_ = true;
  TForm2* about_ = nullptr;
  TForm3* settings_ = nullptr;
  TForm5* preview_ = nullptr;
  DamageReportDialog* report_dialog_ = nullptr;
  TextWindow* manual_window_ = nullptr;
  TextWindow* map_window_ = nullptr;
  DamageMapView::Texts map_texts_;  // the map panel's texts in the language in force

 public:
  // Components, named as the program's documentation names them.
  QToolBar* ToolBar1 = nullptr;
  QToolButton* ToolButton1 = nullptr;  // Recover
  QToolButton* ToolButton2 = nullptr;  // Pause, never shown
  QToolButton* ToolButton3 = nullptr;  // Stop
  QToolButton* ToolButton4 = nullptr;  // Preview
  QToolButton* ToolButton5 = nullptr;  // Settings
  QToolButton* ToolButton6 = nullptr;  // Eject
  QToolButton* ToolButton7 = nullptr;  // Refresh
  QToolButton* ToolButton8 = nullptr;  // Skip File
  QMenu* File1 = nullptr;
  QAction* Recover2 = nullptr;
  QAction* Information2 = nullptr;
  QAction* Exit1 = nullptr;
  QAction* Report1 = nullptr;  // Damage Report
  QAction* SkipFile1 = nullptr;
  QMenu* Settings1 = nullptr;
  QAction* Settings2 = nullptr;
  QMenu* Language1 = nullptr;
  QAction* English1 = nullptr;
  QAction* Russian1 = nullptr;
  QMenu* Help1 = nullptr;
  QAction* Help2 = nullptr;
  QAction* WebSite1 = nullptr;
  QAction* Support1 = nullptr;
  QAction* About1 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* Recover1 = nullptr;
  QMenu* PopupMenu2 = nullptr;
  QAction* Preview1 = nullptr;
  QSplitter* Splitter1 = nullptr;
  ShellTreeView* ShellTreeView1 = nullptr;
  QTableView* StringGrid1 = nullptr;
  QListWidget* ListBox1 = nullptr;
  QWidget* Panel1 = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QPushButton* Button3 = nullptr;
  QPushButton* BitBtn3 = nullptr;
  QLabel* Label1 = nullptr;  // "r/N"
  QLabel* Label2 = nullptr;  // per-file percentage
  QLabel* Label4 = nullptr;  // overall percentage
  QLabel* Label5 = nullptr;  // "File:"
  QLabel* Label6 = nullptr;  // "Total:"
  QLabel* Label8 = nullptr;  // current source path
  QProgressBar* ProgressBar1 = nullptr;
  QProgressBar* ProgressBar2 = nullptr;
  ElidedLabel* StatusBar1 = nullptr;  // the status bar's one simple text: the elapsed time, the run's summary
  ElidedLabel* Activity1 = nullptr;   // what the run is doing now, the last line of the progress group
  QLabel* ModeLabel1 = nullptr;  // the recovery mode in force
  DamageMapView* DamageMap1 = nullptr;

 private:
  JobTableModel* table_ = nullptr;
  std::unique_ptr<RecoveryRun> run_;
};

}  // namespace salvorine
