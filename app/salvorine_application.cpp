#include "app/salvorine_application.h"

#include <QMessageBox>

#include "app/text_bytes.h"
#include "recovery/top_level_handler.h"

namespace salvorine {

SalvorineApplication::SalvorineApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // No display name: the platform would append it to every window title.
  setApplicationName(QStringLiteral("Salvorine"));
}

bool SalvorineApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ReportError(error);
    return false;
  }
}

std::function<void(const QString&)>& SalvorineApplication::ErrorSink() {
  static std::function<void(const QString&)> sink = [](const QString& text) {
    QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Salvorine"), text, QMessageBox::Ok);
  };
  return sink;
}

void SalvorineApplication::ReportError(const std::exception& error) {
  ErrorSink()(Shown(TopLevelErrorText(error.what())).replace('\r', '\n'));
}

}  // namespace salvorine
