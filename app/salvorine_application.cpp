#include "app/salvorine_application.h"

namespace salvorine {
namespace {

// On X11, Qt paints through shared memory and then waits, before every later
// paint, for the X server to have read the last one: a round trip per frame,
// and one that lasts as long as the server waits for a processor. During a
// run on a busy machine those waits took more time than the copying they
// save. Without shared memory the pixels go down the socket and nothing waits.
// Whoever set the variable keeps their choice.
int& WithoutSharedMemoryPaint(int& argc) {
  if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
  return argc;
}

}  // namespace

SalvorineApplication::SalvorineApplication(int& argc, char** argv)
    : QApplication(WithoutSharedMemoryPaint(argc), argv) {
  // No display name: the platform would append it to every window title.
  setApplicationName(QStringLiteral("Salvorine"));
  // The desktop entry's name, so that a desktop (Wayland's above all) ties the window to its menu entry and icon.
  setDesktopFileName(QStringLiteral(SALVORINE_APP_ID));
}

bool SalvorineApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ReportError(error);
    return false;
  }
}

}  // namespace salvorine
