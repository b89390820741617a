#include <memory>
#include <vector>

#include "platform/file_system_error.h"
#include "platform/medium_gone.h"
#include "recovery/medium_wait.h"
#include "recovery/recovery_run.h"

// How a run pauses when the medium it reads goes away, and goes on when it comes back.
namespace salvorine {
namespace {

constexpr WindowText kMediumGoneText{195, "The medium is gone: waiting for it to come back (Stop to end)"};

}  // namespace

// Runs `step`, one row's pass or one step of a waiting rescue; true when the
// run ends with it. When the medium goes away meanwhile, the run pauses until
// it comes back, then goes on with the pass it cut short, or takes the step
// again when no pass had begun; it ends when the medium does not come back.
bool RecoveryRun::Ended(const std::function<RowResult()>& step, Clock::TimePoint run_start) {
  std::function<RowResult()> next = step;
  for (;;) {
    try {
      return next() == RowResult::kEnded;
    } catch (const FileSystemError& error) {
      if (!SourceMediumGone(error, selection_root_, selection_device_)) throw;
    }
    // Without a pass cut short, the row the step was at tells when the medium is back.
    gone_at_row_ = interrupted_ ? 0 : current_row_;
    if (!PauseForMedium()) return true;
    if (interrupted_) {
      next = [this, run_start] { return ResumeInterrupted(run_start); };
    } else {
      next = step;
    }
  }
}

// The medium went away: the row it cut short and the rows waiting for their
// rescue stand in the save folder with their maps, shown stopped, and the
// report says so before the wait, so that a run killed meanwhile leaves it
// true. Then waits for the medium; true when it came back, the sources reopened.
bool RecoveryRun::PauseForMedium() {
  open_copy_path_.clear();
  current_row_ = 0;
  if (interrupted_) {
    interrupted_->source->Close();
    interrupted_->owner->Checkpoint();
    ShowStopped(*interrupted_);
  }
  // The rows waiting for their turn hold no file open.
  for (const std::unique_ptr<RowJob>& pass : waiting_.Rows()) {
    SaveWaiting(*pass);
    ShowStopped(*pass);
  }
  save_tree_->SyncAndMarkWhole();
  SaveReport();
  if (!env_.medium_wait || *env_.medium_wait > Clock::Duration::zero()) {
    env_.progress.ShowNotice(env_.messages.Text(kMediumGoneText));
  }
  const MediumWait wait{env_.pump, env_.clock, idle_, env_.medium_wait, env_.pause};
  const struct Waiting {
    bool& flag;
    explicit Waiting(bool& waiting) : flag(waiting) { flag = true; }
    ~Waiting() { flag = false; }
  } waiting{waiting_for_medium_};
  if (!AwaitMedium(wait, [this] { return MediumBack(); })) return false;
  // Until their passes end again, the rows show what they showed before.
  if (interrupted_) SetRowState(interrupted_->row, RowState::kPending);
  for (const std::unique_ptr<RowJob>& pass : waiting_.Rows()) SetRowState(pass->row, RowState::kDamaged);
  return true;
}

// Whether the medium is back: the source of the pass it cut short opens again
// as the same file (see RowJob::Reads), and the row that found the medium gone
// before its pass or turn began, if any, opens with the size the table has
// for it. Only then is the pass's source replaced by the reopened one. Rows
// waiting for their turn are looked at when it comes.
bool RecoveryRun::MediumBack() {
  std::vector<RowJob*> held;
  if (interrupted_) held.push_back(interrupted_.get());
  std::vector<std::unique_ptr<File>> reopened;
  try {
    for (RowJob* pass : held) {
      std::unique_ptr<File> source = WatchMedium(env_.open_source(env_.table.Cell(0, pass->row)));
      if (!pass->Reads(*source)) return false;
      reopened.push_back(std::move(source));
    }
    if (gone_at_row_ > 0) {
      const std::unique_ptr<File> source = env_.open_source(env_.table.Cell(0, gone_at_row_));
      const bool same = source->Status().size == env_.table.Figures(gone_at_row_).size;
      source->Close();
      if (!same) return false;
    }
  } catch (const FileSystemError& error) {
    if (!SourceMediumGone(error, selection_root_, selection_device_)) throw;
    return false;
  }
  for (std::size_t i = 0; i < held.size(); ++i) held[i]->source = std::move(reopened[i]);
  // Mounted again, the medium may stand on another device: from now on that one is the selection's.
  selection_device_ = DeviceOf(selection_root_);
  return true;
}


}  // namespace salvorine
