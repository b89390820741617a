#include "i18n/failure_wording.h"
#include "platform/medium_gone.h"
#include "recovery/medium_wait.h"
#include "recovery/recovery_run.h"
#include "recovery/row_outcome.h"

// Thorough rows whose rescue waits, files closed, in the run's queue until
// every damaged file had its first pass; then their probes take turns by
// worth, and the scrape and retries of any come after every probe.
namespace salvorine {
namespace {

// A turn goes on while its probes are worth more than the best waiting
// row's divided by this: each turn costs a checkpoint and a reopening, so
// rows of about the same worth do not take turns probe by probe.
constexpr double kTurnMargin = 2;

constexpr WindowText kChangedWhileWaitingText{
    260, "This file changed while it waited for the rest of its rescue. Its copy is kept as far as it was read."};

}  // namespace

// A Thorough row with sectors left waits for its rescue; any other is saved and shown as its pass ended.
RecoveryRun::RowResult RecoveryRun::AfterPass(std::unique_ptr<RowJob> pass, PassResult result, bool thorough) {
  if (result == PassResult::kDone && thorough && LeftForRescue(pass->map, env_.options)) {
    return DeferRescue(std::move(pass));
  }
  return EndPass(*pass, result) == RowResult::kEnded ? RowResult::kEnded : FinishRow();
}

// A Thorough row's first pass is read, or a turn of its rescue is over:
// its copy and map are saved as they are, its files closed, and it waits in
// the queue for its next turn. A turn that ends within a checkpoint
// interval of the row's last checkpoint leaves its reads in the copy and the
// map in memory only (SaveWaiting brings them to the save folder when the
// run ends early): a checkpoint per turn would cost more than the turns.
RecoveryRun::RowResult RecoveryRun::DeferRescue(std::unique_ptr<RowJob> pass) {
  const Clock::TimePoint now = env_.clock.Now();
  if (!pass->queued || now - pass->checkpointed >= kCheckpointInterval) {
    try {
      pass->owner->Checkpoint();
    } catch (const FileSystemError& error) {
      if (!IsNameTheDiskRefuses(error)) throw;
      return EndPass(*pass, PassResult::kDone) == RowResult::kEnded ? RowResult::kEnded : FinishRow();
    }
    pass->checkpointed = now;
    pass->unsaved = false;
  } else {
    pass->unsaved = true;
  }
  if (!pass->queued) pass->probes.next_worth = FirstProbeWorth(pass->map, pass->probes);
  pass->queued = true;
  pass->Release();
  open_copy_path_.clear();
  SetRowState(pass->row, RowState::kDamaged);
  waiting_.Add(std::move(pass));
  current_row_ = 0;
  env_.pump.ProcessMessages();
  return idle_ ? RowResult::kEnded : RowResult::kDone;
}

// The turn of the row that comes next in the queue: its files opened again,
// its probes while they are worth more than any other row's, or, once no row
// has a probe left, its scrape and retries. A source that changed while it
// waited is not read again: the row keeps its copy and map, shown stopped.
RecoveryRun::RowResult RecoveryRun::RescueNext(Clock::TimePoint run_start) {
  RowJob& next = waiting_.Next();
  ShowRow(next.row);
  env_.progress.SetDamagedFiles({rescued_damaged_ + 1, rescued_damaged_ + static_cast<int>(waiting_.Rows().size())});
  if (!ReopenWaiting(next)) {
    const std::unique_ptr<RowJob> refused = waiting_.Take(next);
    SaveWaiting(*refused);
    ShowStopped(*refused);
    ++rescued_damaged_;
    return idle_ ? RowResult::kEnded : FinishRow();
  }
  std::unique_ptr<RowJob> pass = waiting_.Take(next);
  open_copy_path_ = pass->readable ? pass->working_path : std::string();
  for (;;) {
    const RescueReach reach = pass->probes.next_worth > 0 ? RescueReach::kProbes : RescueReach::kAll;
    const double yield_below = waiting_.BestWorth() / kTurnMargin;
    const PassResult result = RunPass(pass, run_start, [&](FileRescue& rescue) {
      return rescue.RescueUntried(reach, pass->probes, yield_below);
    });
    if (result == PassResult::kDone && reach != RescueReach::kAll && LeftForRescue(pass->map, env_.options)) {
      // Its files stay open while its turn comes again at once.
      if (!waiting_.AnyBefore(*pass)) continue;
      return DeferRescue(std::move(pass));
    }
    ++rescued_damaged_;
    return EndPass(*pass, result) == RowResult::kEnded ? RowResult::kEnded : FinishRow();
  }
}

// Opens a waiting row's source and copy again for its turn; false, the files
// closed and the user told, when the source is no longer the file the copy
// was read from or no longer opens.
bool RecoveryRun::ReopenWaiting(RowJob& job) {
  std::unique_ptr<File> source;
  try {
    source = WatchMedium(env_.open_source(job.source_path));
  } catch (const FileSystemError& error) {
    if (SourceMediumGone(error, selection_root_, selection_device_)) throw;
    env_.dialogs.ShowError(OpenFailureText(job.source_path, error));
    return false;
  }
  job.owner->Reopen();
  job.source = std::move(source);
  bool changed = false;
  try {
    changed = job.SourceChanged(*job.source);
  } catch (const FileSystemError&) {
    // The row waits on as it was, for the medium to come back or for the run's end.
    job.Release();
    throw;
  }
  if (!changed) return true;
  job.Release();
  env_.dialogs.ShowError(job.source_path + "\r" + env_.messages.Text(kChangedWhileWaitingText));
  return false;
}

// Brings the copy and map of a waiting row whose last turns were not
// checkpointed to the save folder, opening its copy for as long as that takes.
void RecoveryRun::SaveWaiting(RowJob& pass) {
  if (!pass.unsaved) return;
  pass.owner->Reopen();
  pass.owner->Checkpoint();
  pass.owner->Release();
  pass.unsaved = false;
}

// The rows waiting for their rescue when the run ends early end as stopped
// ones do: their copies and maps stand as far as their last turn read.
void RecoveryRun::StopDeferred() {
  skip_ = false;
  for (const std::unique_ptr<RowJob>& pass : waiting_.Rows()) {
    SaveWaiting(*pass);
    ShowStopped(*pass);
  }
  waiting_.Clear();
}

}  // namespace salvorine
