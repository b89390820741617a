#include "widgets/command_guard.h"

#include <QApplication>
#include <QMessageBox>

#include "recovery/top_level_handler.h"
#include "widgets/text_bytes.h"

namespace salvorine {

std::function<void(const QString&)>& ErrorSink() {
  static std::function<void(const QString&)> sink = [](const QString& text) {
    QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Salvorine"), text, QMessageBox::Ok);
  };
  return sink;
}

void ReportError(const std::exception& error) {
  ErrorSink()(Shown(TopLevelErrorText(error.what())).replace('\r', '\n'));
}

}  // namespace salvorine
