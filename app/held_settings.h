#pragma once

#include <functional>

#include "recovery/run_ports.h"

namespace salvorine {

class TForm3;

// The Settings dialog's values while the program runs. A change in the dialog
// is in force at once (OK and Cancel only close it), so each one is held here
// as it is made; a run reads its options from here, afresh each time, and
// never from the dialog's controls.
class HeldSettings final : public RunOptions {
 public:
  // -1 when no mode is selected, which runs as Max Data.
  int Mode() const override { return mode_; }
  bool TrayOption() const override { return tray_; }
  bool ContinueEarlierCopies() const override { return continue_copies_; }
  int Retries() const override { return retries_; }
  bool ShowIcons() const { return show_icons_; }

  // From now on `dialog` shows the values held, and each change made in it is
  // held; `mode_changed` is called after every change of mode.
  void Follow(TForm3& dialog, std::function<void()> mode_changed);
  // Each also sets the dialog's control, whose own handlers then run.
  // A mode outside the list leaves none selected.
  void SetMode(int index);
  void SetTray(bool on);
  void SetShowIcons(bool show);
  void SetContinueCopies(bool on);
  // Held within kRetriesMin..kRetriesMax.
  void SetRetries(int retries);

 private:
  TForm3* dialog_ = nullptr;
  std::function<void()> mode_changed_;
  int mode_ = kModeMaxData;
  bool tray_ = false;
  bool show_icons_ = false;
  bool continue_copies_ = true;
  int retries_ = 0;
};

}  // namespace salvorine
