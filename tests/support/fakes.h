#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "i18n/message_table.h"
#include "platform/clock.h"
#include "recovery/run_ports.h"

namespace salvorine::test {

// A clock that moves only when told to.
class FakeClock final : public Clock {
 public:
  TimePoint Now() override { return now_; }
  void Advance(Duration span) { now_ += span; }

 private:
  TimePoint now_{std::chrono::hours(1)};
};

struct RecordingProgress final : ProgressDisplay {
  std::string file_label, count_label, file_percent = "0%", total_percent = "0%", status;
  int file_bar = 0, total_bar = 0;
  std::vector<std::string> count_labels, total_percents;

  void SetFileLabel(const std::string& path) override { file_label = path; }
  void SetCountLabel(const std::string& text) override {
    count_label = text;
    count_labels.push_back(text);
  }
  void SetFileBar(int position) override { file_bar = position; }
  void SetFilePercent(const std::string& text) override { file_percent = text; }
  void SetTotalBar(int position) override { total_bar = position; }
  void SetTotalPercent(const std::string& text) override {
    total_percent = text;
    total_percents.push_back(text);
  }
  void SetStatusText(const std::string& text) override { status = text; }
  std::vector<std::string> notices;
  void ShowNotice(const std::string& text) override { notices.push_back(text); }
  std::vector<StageProgress> stages;
  void SetStage(const StageProgress& stage) override { stages.push_back(stage); }
};

struct Options final : RunOptions {
  int mode = kModeMaxData;
  bool tray = false;
  bool continue_copies = true;
  std::int64_t sector = 0;
  int Mode() const override { return mode; }
  std::int64_t SectorSize() const override { return sector; }
  bool TrayOption() const override { return tray; }
  bool ContinueEarlierCopies() const override { return continue_copies; }
};

// Records every box; questions are answered from `answers`, in order.
struct ScriptedDialogs final : Dialogs {
  std::vector<std::string> errors, information, questions;
  std::vector<bool> answers;
  // Another file's copy at a destination: the questions asked and their answers, in order.
  std::vector<ExistingCopyQuestion> existing_questions;
  std::vector<ExistingCopyAnswer> existing_answers;

  ExistingCopyAnswer AskExistingCopy(const ExistingCopyQuestion& question) override {
    existing_questions.push_back(question);
    if (existing_answers.empty()) return {};
    const ExistingCopyAnswer answer = existing_answers.front();
    existing_answers.erase(existing_answers.begin());
    return answer;
  }

  // Called as each error box shows, to look at what is behind it.
  std::function<void(const std::string&)> on_error;
  void ShowError(const std::string& text) override {
    errors.push_back(text);
    if (on_error) on_error(text);
  }
  void ShowInformation(const std::string& text) override { information.push_back(text); }
  bool AskYesNo(const std::string& text) override { return Answer(text); }
  bool AskOkCancel(const std::string& text) override { return Answer(text); }
  // A list counts once in `left_out_lists`; its entries count as errors shown.
  std::vector<std::vector<std::string>> left_out_lists;
  void ShowLeftOut(const std::string& heading, const std::vector<std::string>& entries) override {
    left_out_lists.push_back(entries);
    left_out_headings.push_back(heading);
    errors.insert(errors.end(), entries.begin(), entries.end());
  }
  std::vector<std::string> left_out_headings;

 private:
  bool Answer(const std::string& text) {
    questions.push_back(text);
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  }
};

// Calls `on_pump` with the number of the call, so a test can act "between blocks".
struct CallbackPump final : EventPump {
  int calls = 0;
  std::function<void(int)> on_pump;
  void ProcessMessages() override {
    ++calls;
    if (on_pump) on_pump(calls);
  }
};

// The window's side of a run: what its tree and save-folder box hold when
// Recover is given, and the run controls the run enables.
struct FakeWindow final : RunWindow {
  std::string save_folder, selected_path;
  bool controls_enabled = true;

  RunRequest Request() const { return {selected_path, save_folder}; }
  void SetRunControlsEnabled(bool enabled) override { controls_enabled = enabled; }
};

// A message table with recognisable texts for the entries the run shows.
MessageTable TestMessages();

}  // namespace salvorine::test
