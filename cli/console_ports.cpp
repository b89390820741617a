#include "cli/console_ports.h"

#include <algorithm>
#include <cstdio>

#include "platform/console.h"
#include "platform/stop_requests.h"

namespace salvorine::cli {
namespace {

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

ConsoleProgress::ConsoleProgress() : live_(ErrorStreamIsTerminal()) {}

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

void SignalPump::InstallHandlers() { WaitForStopRequests(); }

void SignalPump::ProcessMessages() {
  if (StopRequested() && run_ != nullptr && !run_->Idle()) run_->SetIdle(true);
}

}  // namespace salvorine::cli
