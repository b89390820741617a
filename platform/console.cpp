#include "platform/console.h"

#include <unistd.h>

#include <csignal>

namespace salvorine {

bool ErrorStreamIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void IgnoreClosedPipes() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace salvorine
