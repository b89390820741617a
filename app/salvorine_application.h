#pragma once

#include <QApplication>
#include <exception>
#include <functional>

namespace salvorine {

// The application object. It holds the one top-level error handler: an
// exception that leaves a command or an event handler is shown in an error
// box captioned with the application title, and the program goes on.
class SalvorineApplication final : public QApplication {
 public:
  SalvorineApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // Shows `error` through the top-level handler.
  static void ReportError(const std::exception& error);
  // Where error texts go; tests replace it so that no box opens.
  static std::function<void(const QString&)>& ErrorSink();

  // Runs `command`, handing anything it throws to the top-level handler.
  template <typename Command>
  static void Guarded(Command&& command) {
    try {
      command();
    } catch (const std::exception& error) {
      ReportError(error);
    }
  }
};

}  // namespace salvorine
