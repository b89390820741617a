#pragma once

#include <QString>
#include <exception>
#include <functional>

namespace salvorine {

// The windows' one top-level error handler: an exception that leaves a
// command is shown in an error box captioned with the application title, and
// the program goes on.

// Shows `error` through the top-level handler.
void ReportError(const std::exception& error);
// Where error texts go; tests replace it so that no box opens.
std::function<void(const QString&)>& ErrorSink();

// Runs `command`, handing anything it throws to the top-level handler, so
// that nothing unwinds through Qt's signal code.
template <typename Command>
void Guarded(Command&& command) {
  try {
    command();
  } catch (const std::exception& error) {
    ReportError(error);
  }
}

}  // namespace salvorine
