#pragma once

#include <set>
#include <string>

#include "platform/clock.h"
#include "recovery/recovery_run.h"
#include "recovery/run_ports.h"

namespace salvorine::cli {

// Message boxes become lines on stderr; questions are answered yes, since a
// question only arises here when a signal asked to stop.
class ConsoleProgress;
class ConsoleDialogs final : public Dialogs {
 public:
  ConsoleDialogs(ConsoleProgress& progress, std::string error_word)
      : progress_(progress), error_word_(std::move(error_word)) {}
  void ShowError(const std::string& text) override;
  void ShowInformation(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  bool AskOkCancel(const std::string& text) override;
  // Another file's copy at a destination: what --existing chose, for every file.
  ExistingCopyAnswer AskExistingCopy(const ExistingCopyQuestion&) override { return {existing, true}; }
  ExistingCopy existing = ExistingCopy::kKeepBoth;

 private:
  void PrintLine(const std::string& text);
  ConsoleProgress& progress_;
  std::string error_word_;  // "error" in the language of the messages
};

// Keeps a live progress line on stderr when stderr is a terminal.
class ConsoleProgress final : public ProgressDisplay {
 public:
  ConsoleProgress();
  void SetFileLabel(const std::string& path) override { file_ = path; }
  void SetCountLabel(const std::string& text) override { count_ = text; }
  void SetFileBar(int) override {}
  void SetFilePercent(const std::string& text) override { file_percent_ = text; }
  void SetTotalBar(int) override {}
  void SetTotalPercent(const std::string& text) override { total_percent_ = text; }
  void SetStatusText(const std::string& text) override;
  // Prints each notice on a line of its own, the first time only.
  void ShowNotice(const std::string& text) override;
  // Ends the live line so that what follows starts on a line of its own.
  void Finish();

 private:
  bool live_;
  bool drawn_ = false;
  Clock::TimePoint last_draw_{};
  std::string file_, count_, file_percent_, total_percent_;
  std::set<std::string> notices_;
};

struct FixedOptions final : RunOptions {
  int mode = kModeMaxData;
  std::int64_t sector_size = 0;
  bool continue_earlier = true;
  int retries = 0;
  int Mode() const override { return mode; }
  int Retries() const override { return retries; }
  std::int64_t SectorSize() const override { return sector_size; }
  bool ContinueEarlierCopies() const override { return continue_earlier; }
  bool TrayOption() const override { return false; }
};

// A console has no controls to enable; the run's inputs come from the command line.
struct CommandLineWindow final : RunWindow {
  void SetRunControlsEnabled(bool) override {}
};

// SIGINT and SIGTERM during a run act as a confirmed Stop: the pump sets the
// idle flag, and the pass stops before its next block. A second one ends the
// program at once.
class SignalPump final : public EventPump {
 public:
  static void InstallHandlers();
  void Attach(RecoveryRun& run) { run_ = &run; }
  void ProcessMessages() override;

 private:
  RecoveryRun* run_ = nullptr;
};

}  // namespace salvorine::cli
