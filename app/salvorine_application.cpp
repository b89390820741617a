#include "app/salvorine_application.h"

namespace salvorine {

SalvorineApplication::SalvorineApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // No display name: the platform would append it to every window title.
  setApplicationName(QStringLiteral("Salvorine"));
  // The desktop entry's name, so that a desktop (Wayland's above all) ties the window to its menu entry and icon.
  setDesktopFileName(QStringLiteral("example.salvorine.Salvorine"));
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
