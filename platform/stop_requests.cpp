#include "platform/stop_requests.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace salvorine {
namespace {

std::atomic<bool> stop_requested{false};

}  // namespace

void WaitForStopRequests() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread([signals] {
    int received = 0;
    ::sigwait(&signals, &received);
    stop_requested = true;
    ::sigwait(&signals, &received);
    std::_Exit(128 + received);
  }).detach();
}

bool StopRequested() { return stop_requested; }

}  // namespace salvorine
