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

int main(int argc, char** argv) {
  using namespace salvorine;
  // Answered before Qt starts, so it works without a display.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::puts("salvorine " SALVORINE_VERSION);
    return 0;
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
