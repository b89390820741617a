// window_run: one recovery run driven through the main window, as a user
// clicking Recover would, for timing against salvorine-cli on the same input.
//
//   window_run SOURCE SAVE_FOLDER PROGRAM_FOLDER
//
// PROGRAM_FOLDER holds the Language folder and receives the settings file.
// Runs offscreen unless QT_QPA_PLATFORM says otherwise. Prints the seconds the
// run took, from the click on Recover to its return, on standard output, then
// closes the window.
// Exit status: 0 the run completed, 1 it did not, 2 wrong arguments.
#include <QElapsedTimer>
#include <QLineEdit>
#include <QToolButton>
#include <cstdio>
#include <string>

#include "app/salvorine_application.h"
#include "app/shell_tree_view.h"
#include "widgets/text_bytes.h"
#include "app/unit1.h"
#include "settings/unit3.h"

namespace {

using namespace salvorine;

// Answers every box at once, as a user who says yes to everything.
struct AnsweringDialogs final : Dialogs {
  int errors = 0;
  bool completed = false;
  void ShowError(const std::string& text) override {
    ++errors;
    std::fprintf(stderr, "error: %s\n", text.c_str());
  }
  void ShowInformation(const std::string&) override { completed = true; }
  bool AskYesNo(const std::string&) override { return true; }
  bool AskOkCancel(const std::string&) override { return true; }
};

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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: window_run SOURCE SAVE_FOLDER PROGRAM_FOLDER\n");
    return 2;
  }
  if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  SalvorineApplication application(argc, argv);
  AnsweringDialogs dialogs;
  NoTray tray;
  NoPicker picker;
  NoDesktop desktop;
  TForm1 form({dialogs, tray, picker, desktop, argv[3]});
  TForm3 settings([&](bool show) { form.Tree().SetShowIcons(show); }, &form);
  form.SetSettingsDialog(&settings);
  form.show();
  QApplication::processEvents();

  if (!form.Tree().SelectPath(argv[1])) {
    std::fprintf(stderr, "not in the folder tree: %s\n", argv[1]);
    return 2;
  }
  form.Edit2->setText(Shown(argv[2]));
  QElapsedTimer timer;
  timer.start();
  form.ToolButton1->click();
  const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
  std::printf("%.3f\n", seconds);
  // Quit as a user would: closing saves the settings and empties the working
  // folder, as salvorine-cli does when it exits.
  form.close();
  return dialogs.completed && dialogs.errors == 0 ? 0 : 1;
}
