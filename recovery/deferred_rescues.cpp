#include "recovery/recovery_run.h"
#include "recovery/row_outcome.h"

// Thorough rows whose rescue waits, files open, until every damaged file had its first pass.
namespace salvorine {

// A Thorough row with sectors left waits for its rescue; any other is saved and shown as its pass ended.
RecoveryRun::RowResult RecoveryRun::AfterPass(std::unique_ptr<RowJob> pass, PassResult result, bool thorough,
                                              Clock::TimePoint run_start) {
  if (result == PassResult::kDone && thorough && LeftForRescue(pass->map, env_.options)) {
    return DeferRescue(std::move(pass), run_start);
  }
  return EndPass(*pass, result) == RowResult::kEnded ? RowResult::kEnded : FinishRow();
}

// A Thorough row's first pass and the edges of its damage are read: its copy
// and map are saved as they are, and it waits, files open, for the rest of
// its rescue until the other files had theirs, or until too many rows wait.
RecoveryRun::RowResult RecoveryRun::DeferRescue(std::unique_ptr<RowJob> pass, Clock::TimePoint run_start) {
  try {
    pass->owner->Checkpoint();
  } catch (const FileSystemError& error) {
    if (!IsNameTheDiskRefuses(error)) throw;
    return EndPass(*pass, PassResult::kDone) == RowResult::kEnded ? RowResult::kEnded : FinishRow();
  }
  open_copy_path_.clear();
  SetRowState(pass->row, RowState::kDamaged);
  deferred_.push_back(std::move(pass));
  current_row_ = 0;
  env_.pump.ProcessMessages();
  if (deferred_.size() > kMostDeferredRows) return RescueDeferred(run_start, true);
  return idle_ ? RowResult::kEnded : RowResult::kDone;
}

// The next step of the rescue of the row that has waited longest, after
// which it waits again behind the others; or, with `all`, the whole rest.
RecoveryRun::RowResult RecoveryRun::RescueDeferred(Clock::TimePoint run_start, bool all) {
  std::unique_ptr<RowJob> pass = std::move(deferred_.front());
  deferred_.erase(deferred_.begin());
  const int row = pass->row;
  ShowRow(row);
  env_.progress.SetDamagedFiles({rescued_damaged_ + 1, rescued_damaged_ + 1 + static_cast<int>(deferred_.size())});
  open_copy_path_ = pass->readable ? pass->working_path : std::string();
  const RescueReach reach = all ? RescueReach::kAll : static_cast<RescueReach>(static_cast<int>(pass->reached) + 1);
  const PassResult result = RunPass(pass, run_start, [&](FileRescue& rescue) { return rescue.RescueUntried(reach); });
  if (result == PassResult::kDone && reach != RescueReach::kAll && LeftForRescue(pass->map, env_.options)) {
    pass->reached = reach;
    return DeferRescue(std::move(pass), run_start);
  }
  ++rescued_damaged_;
  return EndPass(*pass, result) == RowResult::kEnded ? RowResult::kEnded : FinishRow();
}

// The rows waiting for their rescue when the run ends early end as stopped ones do.
void RecoveryRun::StopDeferred() {
  skip_ = false;
  for (std::unique_ptr<RowJob>& pass : deferred_) EndPass(*pass, PassResult::kStopped);
  deferred_.clear();
}

}  // namespace salvorine
