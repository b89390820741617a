#pragma once

#include <functional>
#include <string>
#include <utility>

#include "recovery/run_ports.h"

namespace salvorine {

// Message boxes that first run `before`: the window puts the run's latest
// figures on the screen, so a box never stands over figures a frame old.
class ShownFirstDialogs final : public Dialogs {
 public:
  ShownFirstDialogs(Dialogs& inner, std::function<void()> before) : inner_(inner), before_(std::move(before)) {}

  void ShowError(const std::string& text) override {
    before_();
    inner_.ShowError(text);
  }
  void ShowInformation(const std::string& text) override {
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

 private:
  Dialogs& inner_;
  std::function<void()> before_;
};

}  // namespace salvorine
