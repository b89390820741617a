// salvorine: the desktop program. Creates the windows in their order and runs
// the message loop until the main window closes.
#include <cstdio>
#include <cstring>

#include "app/salvorine_application.h"
#include "app/shell_tree_view.h"
#include "app/unit1.h"
#include "app/unit2.h"
#include "preview/unit5.h"
#include "settings/unit3.h"

namespace {

constexpr const char* kUsage =
    "usage: salvorine [Qt options]\n"
    "\n"
    "Opens the window that copies files off damaged media, salvaging as much of\n"
    "each file as can still be read. For runs without a window, see\n"
    "salvorine-cli --help.\n"
    "\n"
    "  --help             print this text and exit\n"
    "  --version          print the version and exit\n"
    "  -platform NAME     the Qt platform plugin, e.g. xcb, wayland or offscreen\n"
    "  -display DISPLAY   the X display to open\n"
    "  -style STYLE       the Qt widget style\n"
    "\n"
    "Settings are kept in $XDG_CONFIG_HOME/salvorine (~/.config/salvorine when it\n"
    "is not set); the manual opens with F1.\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace salvorine;
  // Answered before Qt starts, so they work without a display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::puts("salvorine " SALVORINE_VERSION);
      return 0;
    }
  }
  SalvorineApplication application(argc, argv);

  MessageBoxes dialogs;
  OpticalDriveTray tray;
  FileDialogFolderPicker folder_picker;
  DesktopServicesOpener desktop;
  TForm1 form1({dialogs, tray, folder_picker, desktop});
  dialogs.SetOwner(&form1);
  TForm2 form2([&] { form1.WebSite1Click(); }, [&] { form1.Support1Click(); }, &form1);
  form1.SetAboutDialog(&form2);
  TForm3 form3([&](bool show) { form1.Tree().SetShowIcons(show); }, &form1);
  form1.SetSettingsDialog(&form3);
  TForm5 form5(dialogs, &form1);
  form1.SetPreviewWindow(&form5);

  form1.show();
  return SalvorineApplication::exec();
}
