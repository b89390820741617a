#include "recovery/recovery_run.h"

#include <vector>

#include "platform/file.h"
#include "platform/file_system_error.h"
#include "platform/medium_gone.h"
#include "i18n/failure_wording.h"
#include "i18n/run_view_texts.h"
#include "recovery/destination_path.h"
#include "recovery/figures.h"
#include "recovery/medium_wait.h"
#include "recovery/report_history.h"
#include "recovery/row_outcome.h"
#include "recovery/run_selection.h"
#include "recovery/stale_parts.h"
#include "recovery/working_folder.h"

namespace salvorine {
namespace {

constexpr int kStopQuestion = 45;
constexpr int kCompletionMessage = 48;
constexpr WindowText kSaveFolderInUseText{90, "Another run is saving into this folder. Wait for it to end, or choose another save folder."};

// `folder` with its trailing "/"; empty when it is.
std::string SlashEnded(const std::string& folder) {
  return folder.empty() || folder.ends_with('/') ? folder : folder + '/';
}

}  // namespace

RunOutcome RecoveryRun::Recover(const RunRequest& request) {
  const std::string save_folder = SlashEnded(request.save_folder);
  if (save_folder.empty()) return RunOutcome::kNotStarted;
  if (SaveFolderInsideSelection(request.selection, save_folder)) {
    env_.dialogs.ShowError(save_folder + "\r" + env_.messages.Text(kSaveInsideSelectionText));
    return RunOutcome::kRefused;
  }
  MakeSaveFolder(save_folder);
  auto tree = std::make_unique<SaveTree>(save_folder, request.selection);
  // Two runs into one save folder would resume and replace each other's copies.
  // Refused, the run leaves the last run's selection, save folder and figures as they were.
  if (!tree->HoldAlone()) {
    env_.dialogs.ShowError(save_folder + "\r" + env_.messages.Text(kSaveFolderInUseText));
    return RunOutcome::kSaveFolderInUse;
  }

  ShowBothBarsAt(0);

  selection_root_ = request.selection;
  selection_device_ = DeviceOf(selection_root_);
  save_folder_ = save_folder;
  save_tree_ = std::move(tree);
  // The tree holds folders of the save folder open: only while the run lasts, so its medium can be unmounted after.
  const struct Release {
    std::unique_ptr<SaveTree>& tree;
    std::optional<RowStarter>& starter;
    std::optional<RowJobPlace>& place;
    ~Release() {
      starter.reset();
      place.reset();
      tree.reset();
    }
  } release{save_tree_, starter_, row_job_place_};
  // What a run killed while placing left behind goes before this run places anything.
  RemoveStaleParts(save_folder_, selection_root_);
  Collect();
  // A selection without a file leaves the save folder as it was.
  if (env_.table.RowCount() < 2) save_tree_->ReleaseUnused();

  const bool ended = RecoverRows();
  // Every copy stands in the save folder now; their working names go with the folder.
  save_tree_->EndWorking();
  if (ended) return RunOutcome::kEndedEarly;
  return Complete();
}

// Recovers every row, then the rescues that wait, and saves the report; true
// when the run ended early. An error ends every row as the save folder holds it.
bool RecoveryRun::RecoverRows() {
  SetIdle(false);
  current_row_ = 0;
  starter_.emplace(*save_tree_, source_identities_, env_.options, env_.messages, env_.dialogs);
  row_job_place_.emplace(*save_tree_, source_identities_, [this](const std::string& map_path, const FileSystemError& error) {
    env_.dialogs.ShowError(map_path + "\r" + error.what());
  });
  const Clock::TimePoint run_start = env_.clock.Now();
  last_sync_ = run_start;
  rows_since_sync_ = 0;
  finished_rows_ = 0;
  rescued_damaged_ = 0;
  ShowRowsDone();
  bool ended = false;
  try {
    const int rows = env_.table.RowCount() - 1;
    for (int row = 1; row <= rows && !ended; ++row) ended = Ended([&] { return RecoverRow(row, run_start); }, run_start);
    while (!ended && !waiting_.Empty()) ended = Ended([&] { return RescueNext(run_start); }, run_start);
    ShowNoStage();
    if (ended) {
      SetIdle(true);
      // A medium that did not come back leaves the row it cut short as a Stop would.
      if (interrupted_) EndPass(*interrupted_, PassResult::kStopped);
      interrupted_.reset();
      StopDeferred();
    }
    save_tree_->SyncAndMarkWhole();
    SaveReport();
  } catch (const FileSystemError& error) {
    ShowNoStage();
    EndAfterError(error.DiskFull());
    throw;
  } catch (...) {
    ShowNoStage();
    EndAfterError(false);
    throw;
  }
  return ended;
}

// The file and total bars and their labels at `percent`.
void RecoveryRun::ShowBothBarsAt(int percent) {
  const std::string text = std::to_string(percent) + "%";
  env_.progress.SetFilePercent(text);
  env_.progress.SetTotalPercent(text);
  env_.progress.SetFileBar(percent);
  env_.progress.SetTotalBar(percent);
}

// The end of a run every row of which was done: full bars and the completion message.
RunOutcome RecoveryRun::Complete() {
  ShowBothBarsAt(100);
  env_.dialogs.ShowInformation(env_.messages.Message(kCompletionMessage));
  SetIdle(true);
  return RunOutcome::kCompleted;
}

// The end of a run an error cut short, before the error goes on: every row
// stands as the save folder holds it, and the report says so.
void RecoveryRun::EndAfterError(bool disk_full) {
  // The row's files were closed on the way out; give the controls back.
  open_copy_path_.clear();
  // Files waiting for the rest of their rescue keep the copy and map of their last step.
  bool current_waits = false;
  for (const std::unique_ptr<RowJob>& pass : waiting_.Rows()) {
    ShowStopped(*pass);
    current_waits = current_waits || pass->row == current_row_;
  }
  waiting_.Clear();
  // The row the error cut short stands as its last checkpoint saved it, if one did.
  const bool kept = interrupted_ && interrupted_->owner->Mapped();
  if (kept) ShowStopped(*interrupted_);
  if (current_row_ > 0 && !current_waits && !(kept && interrupted_->row == current_row_)) {
    SetRowState(current_row_, RowState::kUnsaved);
    // Its working copy is not saved: on a full save disk it holds the room the records need.
    save_tree_->RemoveWorkingCopy(WorkingCopyName(current_row_, env_.table.Cell(0, current_row_)));
  }
  interrupted_.reset();
  SetIdle(true);
  // The copies saved whole before the error are recorded as such, so no later run reads them again.
  SaveReportAfterError(env_.dialogs, [this] {
    save_tree_->SyncAndMarkWhole();
    SaveReport();
  }, disk_full);
}

// The source list and the job table, the run's report and what it tells of the rows.
void RecoveryRun::Collect() {
  Selection selection = CollectSelection(selection_root_, env_.table, env_.dialogs, env_.messages);
  source_identities_ = std::move(selection.identities);
  left_out_count_ = selection.left_out;
  taken_whole_.clear();
  continued_.clear();
  report_.Begin(env_.table);
}

RecoveryRun::RowResult RecoveryRun::RecoverRow(int row, Clock::TimePoint run_start) {
  auto job = std::make_unique<RowJob>();
  job->row = row;
  job->source_path = env_.table.Cell(0, row);
  if (job->source_path.empty()) return RowResult::kEnded;
  ShowRow(row);
  env_.progress.SetFileBar(0);
  if (!OpenSource(*job)) return RowResult::kEnded;
  ReportRow record;
  record.path = job->source_path;
  RowStart start = starter_->Choose(record, *job->source, job->status);
  report_.SetExisting(row, record.existing);
  if (start.kind != RowStart::kCopy) return EndWithoutPass(*job, start.kind);
  const std::optional<bool> continued = BeginRowCopy(*job, std::move(start.earlier));
  if (!continued) return RowResult::kEnded;
  // The mode in force when a file starts decides whether it gets the thorough
  // rescue; past its first pass, that waits until every file had its first pass.
  const bool thorough = env_.options.Mode() == kModeThorough;
  const PassResult result = RunPass(job, run_start, [&](FileRescue& rescue) {
    return *continued ? rescue.Continue(RescueReach::kFirstPass) : rescue.Copy(RescueReach::kFirstPass);
  });
  return AfterPass(std::move(job), result, thorough);
}

// Opens the row's source and takes its status; false, the row unsaved and said so, when it cannot be opened.
bool RecoveryRun::OpenSource(RowJob& job) {
  try {
    job.source = WatchMedium(env_.open_source(job.source_path));
  } catch (const FileSystemError& error) {
    if (SourceMediumGone(error, selection_root_, selection_device_)) throw;
    SetRowState(job.row, RowState::kUnsaved);
    env_.dialogs.ShowError(OpenFailureText(job.source_path, error));
    return false;
  }
  job.status = job.source->Status();
  return true;
}

// The copy and map of the row's pass; whether it goes on from an earlier
// copy, or nothing, the row unsaved and said so, when no working copy can be
// created. A full save disk ends the run as it does while a copy is written:
// every later file would fail the same way.
std::optional<bool> RecoveryRun::BeginRowCopy(RowJob& job, std::optional<SaveTree::FoundCopy> earlier) {
  bool continued = false;
  try {
    continued = BeginCopy(*row_job_place_, job, std::move(earlier));
  } catch (const FileSystemError& error) {
    if (!save_tree_->InWorkingFolder(error.Path())) throw;
    job.source->Close();
    SetRowState(job.row, RowState::kUnsaved);
    if (error.DiskFull()) throw;
    env_.dialogs.ShowError(OpenFailureText(save_folder_ + FileNameOf(job.source_path), error));
    return std::nullopt;
  }
  if (continued) continued_.insert(job.row);
  open_copy_path_ = job.readable ? job.working_path : std::string();
  return continued;
}

// The labels and the selection for row `row`, whose pass begins or goes on.
void RecoveryRun::ShowRow(int row) {
  env_.progress.SetFileLabel(env_.table.Cell(0, row));
  ShowNoStage();
  env_.table.SelectRow(row);
  current_row_ = row;
  skip_ = false;
}

// Runs a row's pass while the row's copy is the one checkpoints save; when
// the pass's medium goes away (or an error ends the run), the row keeps its
// files and map in interrupted_, for the medium to come back (or the report).
PassResult RecoveryRun::RunPass(std::unique_ptr<RowJob>& pass, Clock::TimePoint run_start,
                                const std::function<PassResult(FileRescue&)>& step) {
  try {
    const CopyScope scope(row_copy_, *pass->owner, last_checkpoint_, env_.clock.Now());
    PassContext context = MakePassContext(run_start);
    FileRescue rescue({*pass->source, pass->owner->ForPass(), pass->map, pass->row, pass->status.size}, context);
    return step(rescue);
  } catch (const FileSystemError& error) {
    // Cut short by the medium, or by an error that ends the run: either way the row keeps what it saved.
    interrupted_ = std::move(pass);
    throw;
  }
}

// Goes on with the pass the medium cut short, over what its map does not mark finished.
RecoveryRun::RowResult RecoveryRun::ResumeInterrupted(Clock::TimePoint run_start) {
  std::unique_ptr<RowJob> pass = std::move(interrupted_);
  // A turn of a waiting rescue goes back to the queue, to go on when its turn comes again.
  if (pass->queued) return DeferRescue(std::move(pass));
  const int row = pass->row;
  ShowRow(row);
  open_copy_path_ = pass->readable ? pass->working_path : std::string();
  const bool thorough = env_.options.Mode() == kModeThorough;
  const PassResult result =
      RunPass(pass, run_start, [&](FileRescue& rescue) { return rescue.Continue(RescueReach::kFirstPass); });
  return AfterPass(std::move(pass), result, thorough);
}

// The steps after each row that was done: the messages, the bars and the overall figure.
RecoveryRun::RowResult RecoveryRun::FinishRow() {
  current_row_ = 0;
  // The places of the rows done are worked out again if ever asked: a run keeps none per row.
  save_tree_->ForgetDestinations();
  // Whole copies are recorded once a sync carried their bytes: one sync per
  // interval, not per file, and at least one per so many files, so that few wait.
  if (env_.clock.Now() - last_sync_ >= kCheckpointInterval || ++rows_since_sync_ >= kRowsPerSync) {
    save_tree_->SyncAndMarkWhole();
    last_sync_ = env_.clock.Now();
    rows_since_sync_ = 0;
  }

  env_.pump.ProcessMessages();
  env_.progress.SetFileBar(100);
  ++finished_rows_;
  ShowRowsDone();
  return RowResult::kDone;
}

// Neither a sector stage nor the damaged files' rescue is under way.
void RecoveryRun::ShowNoStage() {
  env_.progress.SetStage({});
  env_.progress.SetDamagedFiles({});
}

// The Total label, bar and percentage tell one figure: the rows done of all.
void RecoveryRun::ShowRowsDone() {
  const int rows = env_.table.RowCount() - 1;
  const int total = HeldBarPosition(Percent(finished_rows_, rows));
  env_.progress.SetCountLabel(std::to_string(finished_rows_) + "/" + std::to_string(rows));
  env_.progress.SetTotalBar(total);
  env_.progress.SetTotalPercent(std::to_string(total) + "%");
}

void RecoveryRun::SetRowState(int row, RowState state) { env_.table.SetState(row, state); }

std::vector<std::string> RecoveryRun::SourceList() const {
  std::vector<std::string> sources;
  for (int row = 1; row < env_.table.RowCount(); ++row) sources.push_back(env_.table.Cell(0, row));
  return sources;
}

std::string RecoveryRun::WorkingCopyPath(int row) const {
  if (!save_tree_ || row < 1 || row >= env_.table.RowCount()) return "";
  // The pass gathers its writes: a reader of the row being read finds what the row shows.
  if (row == current_row_ && row_copy_ != nullptr) row_copy_->ShowWritten();
  return save_tree_->WorkingCopyPath(WorkingCopyName(row, env_.table.Cell(0, row)));
}

std::string RecoveryRun::MapPathOf(int row) const {
  if (!report_.Has(row) || save_folder_.empty()) return "";
  if (!report_.MapPath(row).empty()) return report_.MapPath(row);
  const std::string path = env_.table.Cell(0, row);
  return save_tree_ ? save_tree_->MapPathOf(path) : MirroredMapPath(path, selection_root_, save_folder_);
}

std::string RecoveryRun::CopyPathOf(int row) const {
  if (!report_.Has(row) || save_folder_.empty()) return "";
  if (!report_.RenamedCopy(row).empty()) return report_.RenamedCopy(row);
  const std::string path = env_.table.Cell(0, row);
  return save_tree_ ? save_tree_->DestinationOf(path) : MirroredPath(path, selection_root_, save_folder_);
}

void RecoveryRun::SaveReport() {
  // A full save disk: the working copy of the file that failed holds the
  // room the report needs. Whatever of it was placed keeps its other name.
  report_.Save(env_.table, *save_tree_, selection_root_, save_folder_, [this] {
    if (current_row_ == 0) return false;
    save_tree_->RemoveWorkingCopy(WorkingCopyName(current_row_, env_.table.Cell(0, current_row_)));
    return true;
  });
}

void RecoveryRun::Stop() {
  if (!idle_ && env_.dialogs.AskYesNo(env_.messages.Message(kStopQuestion))) SetIdle(true);
}

void RecoveryRun::Skip() {
  if (!idle_ && current_row_ > 0) skip_ = true;
}

bool RecoveryRun::CanClose() {
  if (idle_) return true;
  if (!env_.dialogs.AskOkCancel(env_.messages.Message(kStopQuestion))) return false;
  idle_ = true;
  return true;
}

void RecoveryRun::SetIdle(bool idle) {
  idle_ = idle;
  env_.window.SetRunControlsEnabled(idle);
}

PassContext RecoveryRun::MakePassContext(Clock::TimePoint run_start) {
  return {idle_,      env_.options, env_.messages, env_.progress, env_.table,
          pass_pump_, env_.clock,   buffers_,      &skip_,        run_start};
}

void RecoveryRun::PassPump::ProcessMessages() {
  run_.env_.pump.ProcessMessages();
  if (run_.row_copy_ == nullptr || run_.idle_) return;
  const Clock::TimePoint now = run_.env_.clock.Now();
  if (now - run_.last_checkpoint_ < kCheckpointInterval) return;
  // A crash, a kill or a power cut then loses at most one interval of reading.
  try {
    run_.row_copy_->Checkpoint();
  } catch (const FileSystemError& error) {
    if (!run_.IsNameTheDiskRefuses(error)) throw;
    // The copy cannot be saved under its name: the row says so when its pass ends.
    run_.row_copy_ = nullptr;
  }
  run_.save_tree_->SyncAndMarkWhole();
  run_.last_checkpoint_ = run_.last_sync_ = run_.env_.clock.Now();
}

}  // namespace salvorine
