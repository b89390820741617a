#include "platform/process.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace salvorine {

bool ProcessIsGone(int pid) { return pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH; }

}  // namespace salvorine
