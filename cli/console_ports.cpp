#include "cli/console_ports.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include <algorithm>
#include <cstdio>

namespace salvorine::cli {
namespace {

std::atomic<bool> stop_requested{false};

// Box texts separate their lines with a carriage return; a terminal wants newlines.
std::string AsLines(std::string text) {
  std::replace(text.begin(), text.end(), '\r', '\n');
  return text;
}

}  // namespace

void ConsoleDialogs::PrintLine(const std::string& text) {
  progress_.Finish();
  std::fprintf(stderr, "%s\n", AsLines(text).c_str());
}

void ConsoleDialogs::ShowError(const std::string& text) { PrintLine(error_word_ + ": " + text); }
void ConsoleDialogs::ShowInformation(const std::string& text) { PrintLine(text); }
bool ConsoleDialogs::AskYesNo(const std::string& text) {
  PrintLine(text);
  return true;
}
bool ConsoleDialogs::AskOkCancel(const std::string& text) {
  PrintLine(text);
  return true;
}

ConsoleProgress::ConsoleProgress() : live_(::isatty(STDERR_FILENO) == 1) {}

void ConsoleProgress::SetStatusText(const std::string& text) {
  if (!live_) return;
  const auto now = std::chrono::steady_clock::now();
  if (drawn_ && now - last_draw_ < std::chrono::milliseconds(100)) return;
  last_draw_ = now;
  drawn_ = true;
  std::fprintf(stderr, "\r\033[K%s  %s  file %s  total %s  %s", text.c_str(), count_.c_str(), file_percent_.c_str(),
               total_percent_.c_str(), file_.c_str());
  std::fflush(stderr);
}

void ConsoleProgress::ShowNotice(const std::string& text) {
  if (!notices_.insert(text).second) return;
  Finish();
  std::fprintf(stderr, "%s\n", text.c_str());
}

void ConsoleProgress::Finish() {
  if (drawn_) std::fprintf(stderr, "\r\033[K");
  drawn_ = false;
}

void SignalPump::InstallHandlers() {
  // The signals wait for a thread of their own: a handler would only run once
  // a stalled read returned, which on a damaged disc can take minutes.
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
    // A second signal ends the program at once, even inside a read that hangs.
    std::_Exit(128 + received);
  }).detach();
}

void SignalPump::ProcessMessages() {
  if (stop_requested && run_ != nullptr && !run_->Idle()) run_->SetIdle(true);
}

}  // namespace salvorine::cli
