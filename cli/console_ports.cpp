#include "cli/console_ports.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace salvorine::cli {
namespace {

volatile std::sig_atomic_t stop_requested = 0;

void RequestStop(int) { stop_requested = 1; }

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

void ConsoleDialogs::ShowError(const std::string& text) { PrintLine("error: " + text); }
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

void ConsoleProgress::Finish() {
  if (drawn_) std::fprintf(stderr, "\r\033[K");
  drawn_ = false;
}

void SignalPump::InstallHandlers() {
  struct sigaction action {};
  action.sa_handler = RequestStop;
  // A second signal ends the program even while a read hangs.
  action.sa_flags = static_cast<int>(SA_RESETHAND);
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

void SignalPump::ProcessMessages() {
  if (stop_requested != 0 && run_ != nullptr && !run_->Idle()) run_->SetIdle(true);
}

}  // namespace salvorine::cli
