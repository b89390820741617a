#pragma once

#include <functional>
#include <string>
#include <utility>

#include "recovery/run_ports.h"

namespace salvorine {

// Message boxes that first run `before`: the window puts the run's latest
// figures on the screen, so a box never stands over figures a frame old.
// The run's one information box says that every row is done: `rows_done`
// runs before it too.
class ShownFirstDialogs final : public Dialogs {
 public:
  ShownFirstDialogs(Dialogs& inner, std::function<void()> before, std::function<void()> rows_done)
      : inner_(inner), before_(std::move(before)), rows_done_(std::move(rows_done)) {}

  void ShowError(const std::string& text) override {
    before_();
    inner_.ShowError(text);
  }
  void ShowInformation(const std::string& text) override {
    rows_done_();
    before_();
    inner_.ShowInformation(text);
  }
  bool AskYesNo(const std::string& text) override {
    before_();
    return inner_.AskYesNo(text);
  }
  bool AskOkCancel(const std::string& text) override {
    before_();
    return inner_.AskOkCancel(text);
  }
  ExistingCopyAnswer AskExistingCopy(const ExistingCopyQuestion& question) override {
    before_();
    return inner_.AskExistingCopy(question);
  }
  void ShowLeftOut(const std::string& heading, const std::vector<std::string>& entries) override {
    before_();
    inner_.ShowLeftOut(heading, entries);
  }

 private:
  Dialogs& inner_;
  std::function<void()> before_;
  std::function<void()> rows_done_;
};

}  // namespace salvorine
