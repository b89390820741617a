#pragma once

#include <QApplication>
#include <exception>
#include <functional>
#include <utility>

#include "widgets/command_guard.h"

namespace salvorine {

// The application object. Its event delivery goes through the windows' one
// top-level error handler (widgets/command_guard.h): an exception that leaves
// an event handler is shown in an error box captioned with the application
// title, and the program goes on.
class SalvorineApplication final : public QApplication {
 public:
  SalvorineApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  static void ReportError(const std::exception& error) { salvorine::ReportError(error); }
  static std::function<void(const QString&)>& ErrorSink() { return salvorine::ErrorSink(); }
  template <typename Command>
  static void Guarded(Command&& command) {
    salvorine::Guarded(std::forward<Command>(command));
  }
};

}  // namespace salvorine
