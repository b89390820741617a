#include <cerrno>

#include "i18n/failure_wording.h"
#include "recovery/recovery_run.h"
#include "recovery/row_outcome.h"

// How a row's pass ends: its copy saved, and the row shown as the save folder holds it.
namespace salvorine {
namespace {

// A row whose copy cannot be saved under its name; the run goes on with the next.
constexpr WindowText kNameTakenText{
    96, "Another file of this run was saved under this name: the save disk does not tell upper and lower case "
        "apart. This file is not saved."};
constexpr WindowText kNameRefusedText{97, "The save disk cannot store this name (%1). This file is not saved."};

}  // namespace

// A row held over a Stop, an error or a medium gone: stopped, with what its map
// marks finished recovered, and its map named.
void RecoveryRun::ShowStopped(const RowJob& pass) {
  ShowOutcome(env_.table, pass.row, pass.Saved(), RowState::kStopped);
  report_.SetMapPath(pass.row, pass.owner->Mapped() ? save_tree_->MapPathOf(pass.source_path) : std::string());
}

// A row that needs no pass: its name is taken by another row's copy, an
// earlier run saved it whole, or the user chose to skip it. Nothing is read.
RecoveryRun::RowResult RecoveryRun::EndWithoutPass(RowJob& job, RowStart::Kind kind) {
  const int row = job.row;
  job.source->Close();
  if (kind == RowStart::kTaken) {
    SetRowState(row, RowState::kUnsaved);
    env_.dialogs.ShowError(save_tree_->DestinationOf(env_.table.Cell(0, row)) + "\r" +
                           env_.messages.Text(kNameTakenText));
    return idle_ ? RowResult::kEnded : FinishRow();
  }
  // No pass is there to notice a Stop or a close confirmed since the last row.
  if (idle_) return RowResult::kEnded;
  if (kind == RowStart::kSkipped) {
    SetRowState(row, RowState::kUnsaved);
    return FinishRow();
  }
  ShowWholeCopy(env_.table, row, job.status.size);
  taken_whole_.insert(row);
  return FinishRow();
}

// Saves a row's copy once its pass is over, and shows how it ended; kEnded
// when the run ends with it (a Stop, or a copy that could not be saved).
RecoveryRun::RowResult RecoveryRun::EndPass(RowJob& pass, PassResult result) {
  const int row = pass.row;
  open_copy_path_.clear();
  pass.source->Close();
  const bool stopped = result == PassResult::kStopped;
  try {
    pass.owner->Finish(stopped);
  } catch (const FileSystemError& error) {
    SetRowState(row, RowState::kUnsaved);
    // A full save disk ends the run as it does while a pass writes: the window says what to do.
    if (error.DiskFull()) throw;
    const std::string destination = save_tree_->DestinationOf(pass.source_path);
    if (!IsNameTheDiskRefuses(error)) {
      env_.dialogs.ShowError(destination + "\r" + error.what());
      return RowResult::kEnded;
    }
    // Only this file is lost to a name the save disk cannot store, or found taken as it was placed; the run goes on.
    const bool taken = dynamic_cast<const NameTakenError*>(&error) != nullptr;
    env_.dialogs.ShowError(destination + "\r" + (taken ? env_.messages.Text(kNameTakenText)
                                                      : WithValue(env_.messages.Text(kNameRefusedText), error.what())));
    return stopped ? RowResult::kEnded : RowResult::kDone;
  }
  report_.SetMapPath(row, pass.owner->Mapped() ? save_tree_->MapPathOf(pass.source_path) : std::string());
  if (stopped) {
    // A skipped file ends as a stopped run's does, and the run goes on with the next.
    const bool skipped = skip_ && !idle_;
    ShowOutcome(env_.table, row, pass.Saved(), skipped ? RowState::kSkipped : RowState::kStopped);
    return skipped ? RowResult::kDone : RowResult::kEnded;
  }
  const bool whole = pass.map.Total(RescueState::kUntried) + pass.map.Total(RescueState::kBad) == 0;
  ShowOutcome(env_.table, row, pass.map, whole ? RowState::kSaved : RowState::kDamaged);
  return RowResult::kDone;
}

// Whether `error` is the save disk refusing a name below the save folder
// (a character or a length its file system does not allow, or a name found
// taken as the copy was placed).
bool RecoveryRun::IsNameTheDiskRefuses(const FileSystemError& error) const {
  const int code = error.Code();
  const bool taken = dynamic_cast<const NameTakenError*>(&error) != nullptr;
  return (taken || code == EINVAL || code == EILSEQ || code == ENAMETOOLONG || code == ENOENT) &&
         error.Path().starts_with(save_folder_) && !save_tree_->InWorkingFolder(error.Path());
}

}  // namespace salvorine
