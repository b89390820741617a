#pragma once

#include <exception>
#include <string>

#include "recovery/run_ports.h"

namespace salvorine {

// The text of an error box for an error no command handled: a period is
// added when the text ends in a character that sorts after "." (letters, digits).
std::string TopLevelErrorText(const std::string& what);

// Runs `command`; an exception it lets through is shown in an error box.
// Returns false when that happened.
template <typename Command>
bool RunWithTopLevelHandler(Dialogs& dialogs, Command&& command) {
  try {
    command();
    return true;
  } catch (const std::exception& error) {
    dialogs.ShowError(TopLevelErrorText(error.what()));
    return false;
  }
}

}  // namespace salvorine
