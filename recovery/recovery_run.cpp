#include "recovery/recovery_run.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <vector>

#include "platform/file.h"
#include "platform/file_system_error.h"
#include "platform/medium_gone.h"
#include "recovery/copy_identity.h"
#include "recovery/destination_path.h"
#include "i18n/failure_wording.h"
#include "i18n/run_view_texts.h"
#include "recovery/figures.h"
#include "recovery/map_file.h"
#include "recovery/medium_wait.h"
#include "recovery/report_history.h"
#include "recovery/row_copy.h"
#include "recovery/row_outcome.h"
#include "recovery/stale_parts.h"
#include "recovery/source_list.h"
#include "recovery/thorough_pass.h"
#include "recovery/working_folder.h"

namespace salvorine {
namespace {

constexpr int kStopQuestion = 45;
constexpr int kCompletionMessage = 48;
constexpr WindowText kSaveFolderInUseText{90, "Another run is saving into this folder. Wait for it to end, or choose another save folder."};
// The question when a file's destination holds a copy of another file.
constexpr WindowText kExistingCopyText{91, "This name already holds a copy of another file. Replace it, keep both, or skip this file?"};
constexpr WindowText kReplaceText{92, "Replace"};
constexpr WindowText kKeepBothText{93, "Keep both"};
constexpr WindowText kSkipText{94, "Skip"};
constexpr WindowText kForAllText{95, "Do this for all"};
// A row whose copy cannot be saved under its name; the run goes on with the next.
constexpr WindowText kNameTakenText{
    96, "Another file of this run was saved under this name: the save disk does not tell upper and lower case "
        "apart. This file is not saved."};
constexpr WindowText kNameRefusedText{97, "The save disk cannot store this name (%1). This file is not saved."};
constexpr WindowText kMediumGoneText{195, "The medium is gone: waiting for it to come back (Stop to end)"};

// Creates the save folder `folder` ("/"-terminated) and every missing folder
// above it, each with the umask's permissions, as the user would with mkdir -p.
void MakeSaveFolder(const std::string& folder) {
  std::vector<std::string> missing;
  std::error_code unknown;
  // Whatever stands at a path (a file too) ends the climb; MakeFolder then says what is wrong.
  const auto taken = [&](const std::string& at) { return std::filesystem::exists(at.substr(0, at.size() - 1), unknown); };
  for (std::string at = folder; at.size() > 1 && !taken(at);) {
    missing.push_back(at);
    at = at.substr(0, at.find_last_of('/', at.size() - 2) + 1);
  }
  for (auto at = missing.rbegin(); at != missing.rend(); ++at) MakeFolder(*at);
}

// Copies every byte of `from` into `to`, from the start.
void CopyWhole(File& from, File& to) {
  std::vector<char> buffer(1 << 20);
  from.Seek(0);
  to.Seek(0);
  for (;;) {
    const ReadResult got = from.Read(buffer.data(), buffer.size());
    if (!got.ok) throw FileSystemError(got.error, from.Path(), "read");
    if (got.count == 0) return;
    to.Write(buffer.data(), got.count);
  }
}

}  // namespace

// The save folder the window names, asked for once more by browsing when it
// names none, with its trailing "/"; empty when there is still none.
std::string RecoveryRun::ChosenSaveFolder() {
  std::string save_folder = env_.window.SaveFolder();
  if (save_folder.empty()) {
    env_.window.Browse();
    save_folder = env_.window.SaveFolder();
    if (save_folder.empty()) return save_folder;
  }
  if (save_folder.back() != '/') save_folder += '/';
  return save_folder;
}

RunOutcome RecoveryRun::Recover() {
  const std::string save_folder = ChosenSaveFolder();
  if (save_folder.empty()) return RunOutcome::kNotStarted;
  if (SaveFolderInsideSelection(save_folder)) {
    env_.dialogs.ShowError(save_folder + "\r" + env_.messages.Text(kSaveInsideSelectionText));
    return RunOutcome::kRefused;
  }
  MakeSaveFolder(save_folder);

  ShowBothBarsAt(0);

  selection_root_ = env_.window.SelectedPath();
  selection_device_ = DeviceOf(selection_root_);
  save_folder_ = save_folder;
  save_tree_ = std::make_unique<SaveTree>(save_folder_, selection_root_);
  // What a run killed while placing left behind goes before this run places anything.
  RemoveStaleParts(save_folder_, selection_root_);
  // The tree holds folders of the save folder open: only while the run lasts, so its medium can be unmounted after.
  const struct Release {
    std::unique_ptr<SaveTree>& tree;
    ~Release() { tree.reset(); }
  } release{save_tree_};
  // Two runs into one save folder would resume and replace each other's copies.
  if (!save_tree_->HoldAlone()) {
    env_.dialogs.ShowError(save_folder + "\r" + env_.messages.Text(kSaveFolderInUseText));
    return RunOutcome::kEndedEarly;
  }
  Collect();
  // A selection without a file leaves the save folder as it was.
  if (env_.table.RowCount() < 2) save_tree_->ReleaseUnused();

  SetIdle(false);
  current_row_ = 0;
  existing_for_all_.reset();
  const Clock::TimePoint run_start = env_.clock.Now();
  last_sync_ = run_start;
  finished_rows_ = 0;
  bool ended = false;
  try {
    const int rows = env_.table.RowCount() - 1;
    for (int row = 1; row <= rows && !ended; ++row) ended = Ended([&] { return RecoverRow(row, run_start); }, run_start);
    while (!ended && !deferred_.empty()) ended = Ended([&] { return RescueDeferred(run_start, false); }, run_start);
    if (ended) {
      SetIdle(true);
      // A medium that did not come back leaves the row it cut short as a Stop would.
      if (interrupted_) EndPass(*interrupted_, PassResult::kStopped);
      interrupted_.reset();
      StopDeferred();
    }
    save_tree_->SyncAndMarkWhole();
    SaveReport();
  } catch (...) {
    EndAfterError();
    throw;
  }
  // Every copy stands in the save folder now; their working names go with the folder.
  save_tree_->EndWorking();
  if (ended) return RunOutcome::kEndedEarly;
  return Complete();
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
  TrayStep();
  return RunOutcome::kCompleted;
}

// The end of a run an error cut short, before the error goes on: every row
// stands as the save folder holds it, and the report says so.
void RecoveryRun::EndAfterError() {
  // The row's files were closed on the way out; give the controls back.
  open_copy_path_.clear();
  // Files waiting for the rest of their rescue keep the copy and map of their last step.
  for (const std::unique_ptr<RowPass>& pass : deferred_) ShowStopped(*pass);
  deferred_.clear();
  // The row the error cut short stands as its last checkpoint saved it, if one did.
  const bool kept = interrupted_ && interrupted_->owner->Mapped();
  if (kept) ShowStopped(*interrupted_);
  if (current_row_ > 0 && !(kept && interrupted_->row == current_row_)) SetRowState(current_row_, RowState::kUnsaved);
  interrupted_.reset();
  SetIdle(true);
  // The copies saved whole before the error are recorded as such, so no later run reads them again.
  SaveReportAfterError(env_.dialogs, [this] {
    save_tree_->SyncAndMarkWhole();
    SaveReport();
  });
}

// Whether the save folder is the selection or lies below it, links resolved:
// the run would then write into what it reads.
bool RecoveryRun::SaveFolderInsideSelection(const std::string& save_folder) const {
  const std::string selection = ResolvedPath(env_.window.SelectedPath());
  const std::string save = ResolvedPath(save_folder);
  if (selection.empty() || save.empty()) return false;
  return selection == "/" || save == selection || save.starts_with(selection + "/");
}

// Why something below the selection was left out, in the language shown.
std::string RecoveryRun::LeftOutText(const LeftOut& entry) const {
  const MessageTable& messages = env_.messages;
  switch (entry.kind) {
    case EntryKind::kFolder: return WithValue(messages.Text(kFolderUnreadableText), ErrorText(entry.error));
    case EntryKind::kSpecial: return messages.Text(kLeftOutSpecialText);
    case EntryKind::kFolderLink: return messages.Text(kLeftOutFolderLinkText);
    case EntryKind::kBrokenLink: return messages.Text(kLeftOutBrokenLinkText);
    default: return WithValue(messages.Text(kLeftOutUnreadableText), ErrorText(entry.error));
  }
}

// The source list and the job table; whatever the collection leaves out is
// announced in one list: a damaged disc can hold thousands of such entries.
void RecoveryRun::Collect() {
  sources_.clear();
  std::vector<LeftOut> left_out;
  CollectSources(selection_root_, sources_, left_out);
  std::vector<std::string> announced;
  for (const LeftOut& entry : left_out) announced.push_back(entry.path + "\r" + LeftOutText(entry));
  const std::size_t collected = sources_.size();
  // Files that cannot be opened join the list.
  struct Listing final : Dialogs {
    std::vector<std::string>& list;
    Dialogs& inner;
    Listing(std::vector<std::string>& into, Dialogs& dialogs) : list(into), inner(dialogs) {}
    void ShowError(const std::string& text) override { list.push_back(text); }
    void ShowInformation(const std::string& text) override { inner.ShowInformation(text); }
    bool AskYesNo(const std::string& text) override { return inner.AskYesNo(text); }
    bool AskOkCancel(const std::string& text) override { return inner.AskOkCancel(text); }
  } listing(announced, env_.dialogs);
  source_identities_ = BuildJobTable(sources_, env_.table, listing);
  if (!announced.empty()) {
    env_.dialogs.ShowLeftOut(WithValue(env_.messages.Text(kLeftOutListText), std::to_string(announced.size())),
                             announced);
  }
  left_out_count_ = static_cast<int>(left_out.size() + (collected - sources_.size()));
  report_rows_.clear();
  taken_whole_.clear();
  continued_.clear();
  for (int row = 1; row < env_.table.RowCount(); ++row) {
    ReportRow record;
    record.path = env_.table.Cell(0, row);
    report_rows_.push_back(std::move(record));
  }
  report_path_.clear();
  run_time_ = ReportTime(std::chrono::system_clock::now());
}

RecoveryRun::RowResult RecoveryRun::RecoverRow(int row, Clock::TimePoint run_start) {
  const std::string source_path = env_.table.Cell(0, row);
  if (source_path.empty()) return RowResult::kEnded;
  ShowRow(row);
  env_.progress.SetFileBar(0);

  std::unique_ptr<File> source;
  try {
    source = WatchMedium(env_.open_source(source_path));
  } catch (const FileSystemError& error) {
    if (SourceMediumGone(error, selection_root_, selection_device_)) throw;
    SetRowState(row, RowState::kUnsaved);
    env_.dialogs.ShowError(OpenFailureText(source_path, error));
    return RowResult::kEnded;
  }
  // The size taken now bounds the pass: a file that grows meanwhile is not followed.
  const FileStatus status = source->Status();
  RowStart start = ChooseStart(row, *source, status);
  if (start.kind != RowStart::kCopy) return EndWithoutPass(row, start.kind, *source, status);
  const bool continued = start.earlier.has_value();
  std::unique_ptr<RowPass> pass = OpenRowPass(row, std::move(source), status, std::move(start.earlier));
  if (!pass) return RowResult::kEnded;
  // The mode in force when a file starts decides whether it gets the thorough
  // rescue; past the edges of its damage, that waits until every file had its first pass.
  const bool thorough = env_.options.Mode() == kModeThorough;
  const RescueReach reach = thorough ? RescueReach::kEdges : RescueReach::kFirstPass;
  const PassResult result = RunPass(pass, run_start, [&](FileRescue& rescue) {
    return continued ? rescue.Continue(reach) : rescue.Copy(reach);
  });
  return AfterPass(std::move(pass), result, thorough, run_start);
}

// The labels and the selection for row `row`, whose pass begins or goes on.
void RecoveryRun::ShowRow(int row) {
  env_.progress.SetFileLabel(env_.table.Cell(0, row));
  env_.progress.SetCountLabel(std::to_string(row) + "/" + std::to_string(env_.table.RowCount() - 1));
  env_.table.SelectRow(row);
  current_row_ = row;
  skip_ = false;
}

// A Thorough row with sectors left waits for its rescue; any other is saved and shown as its pass ended.
RecoveryRun::RowResult RecoveryRun::AfterPass(std::unique_ptr<RowPass> pass, PassResult result, bool thorough,
                                              Clock::TimePoint run_start) {
  if (result == PassResult::kDone && thorough && LeftForRescue(pass->map, env_.options)) {
    return DeferRescue(std::move(pass), run_start);
  }
  return EndPass(*pass, result) == RowResult::kEnded ? RowResult::kEnded : FinishRow();
}

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

// Runs a row's pass while the row's copy is the one checkpoints save; when
// the pass's medium goes away (or an error ends the run), the row keeps its
// files and map in interrupted_, for the medium to come back (or the report).
PassResult RecoveryRun::RunPass(std::unique_ptr<RowPass>& pass, Clock::TimePoint run_start,
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
  for (const std::unique_ptr<RowPass>& pass : deferred_) {
    pass->source->Close();
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
  for (const std::unique_ptr<RowPass>& pass : deferred_) SetRowState(pass->row, RowState::kDamaged);
  return true;
}

// Whether the medium is back: every held row's source opens again as the
// same file (see SameSource), and the row that found the medium gone before
// its pass began, if any, opens with the size the table has for it. Only
// then are the held rows' sources replaced by the reopened ones.
bool RecoveryRun::MediumBack() {
  std::vector<RowPass*> held;
  if (interrupted_) held.push_back(interrupted_.get());
  for (const std::unique_ptr<RowPass>& pass : deferred_) held.push_back(pass.get());
  std::vector<std::unique_ptr<File>> reopened;
  try {
    for (RowPass* pass : held) {
      std::unique_ptr<File> source = WatchMedium(env_.open_source(env_.table.Cell(0, pass->row)));
      if (!SameSource(*source, *pass)) return false;
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

// Whether `source`, opened anew, is the file `pass` was reading: the same
// size and modification time (inode numbers may change when a medium is
// mounted again), and, once the copy holds bytes, the same bytes where the
// copy has them. A medium whose samples cannot be read is not back yet.
bool RecoveryRun::SameSource(File& source, RowPass& pass) {
  const FileStatus now = source.Status();
  if (now.size != pass.status.size || now.modified_seconds != pass.status.modified_seconds ||
      now.modified_nanoseconds != pass.status.modified_nanoseconds) {
    return false;
  }
  if (pass.map.Total(RescueState::kDone) == 0) return true;
  return CompareSamples(source, pass.owner->ForPass(), FinishedSamples(pass.map)) == Likeness::kSame;
}

// Goes on with the pass the medium cut short, over what its map does not mark finished.
RecoveryRun::RowResult RecoveryRun::ResumeInterrupted(Clock::TimePoint run_start) {
  std::unique_ptr<RowPass> pass = std::move(interrupted_);
  const int row = pass->row;
  ShowRow(row);
  open_copy_path_ = pass->working_path;
  const bool thorough = env_.options.Mode() == kModeThorough;
  const RescueReach reach = thorough ? pass->reached : RescueReach::kFirstPass;
  const PassResult result = RunPass(pass, run_start, [&](FileRescue& rescue) { return rescue.Continue(reach); });
  return AfterPass(std::move(pass), result, thorough, run_start);
}

// A row held over a Stop, an error or a medium gone: stopped, with what its map
// marks finished recovered, and its map named.
void RecoveryRun::ShowStopped(const RowPass& pass) {
  const RescueMap& saved = pass.owner->SavedMap() != nullptr ? *pass.owner->SavedMap() : pass.map;
  ShowOutcome(env_.table, pass.row, saved, RowState::kStopped);
  ReportRow& record = report_rows_[static_cast<std::size_t>(pass.row - 1)];
  record.map_path = pass.owner->Mapped() ? save_tree_->MapPathOf(record.path) : std::string();
}

// A row that needs no pass: its name is taken by another row's copy, an
// earlier run saved it whole, or the user chose to skip it. Nothing is read.
RecoveryRun::RowResult RecoveryRun::EndWithoutPass(int row, RowStart::Kind kind, File& source,
                                                   const FileStatus& status) {
  source.Close();
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
  ShowWholeCopy(env_.table, row, status.size);
  taken_whole_.insert(row);
  return FinishRow();
}

// A row's files and map for its pass: the copy an earlier run left (with its
// map, or none), or a new one in the working folder. Null, the row unsaved
// and said so, when no working copy can be created.
std::unique_ptr<RecoveryRun::RowPass> RecoveryRun::OpenRowPass(int row, std::unique_ptr<File> source,
                                                               const FileStatus& status,
                                                               std::optional<SaveTree::EarlierCopy> earlier) {
  const std::string source_path = env_.table.Cell(0, row);
  auto pass = std::make_unique<RowPass>();
  pass->row = row;
  pass->status = status;
  const std::string working_name = WorkingCopyName(row, source_path);
  pass->working_path = save_tree_->WorkingCopyPath(working_name);
  if (earlier) {
    continued_.insert(row);
    // The copy is about to be written again: until its map stands, nothing may call it whole.
    save_tree_->ForgetWhole(source_path);
  }
  std::unique_ptr<File> copy;
  bool in_place = earlier.has_value();
  if (earlier && !earlier->shared) {
    copy = std::move(earlier->file);
    // The working folder shows the copy too, for preview, where the save disk has hard links.
    if (save_tree_->LinkCopy(source_path, working_name)) open_copy_path_ = save_tree_->WorkingCopyPath(working_name);
  } else {
    try {
      copy = save_tree_->CreateWorkingCopy(working_name);
    } catch (const FileSystemError& error) {
      source->Close();
      SetRowState(row, RowState::kUnsaved);
      env_.dialogs.ShowError(OpenFailureText(save_folder_ + FileNameOf(source_path), error));
      return nullptr;
    }
    open_copy_path_ = save_tree_->WorkingCopyPath(working_name);
    if (earlier) {
      // Other names share the saved copy's bytes (a snapshot made with hard
      // links): they keep them, and the copy goes on in a copy of its own.
      CopyWhole(*earlier->file, *copy);
      earlier->file->Close();
      in_place = false;
    }
  }
  pass->source = std::move(source);
  pass->map = earlier ? std::move(earlier->map) : RescueMap(0, status.size);
  const std::string& record_path = report_rows_[static_cast<std::size_t>(row - 1)].path;
  const RowCopy::Start begins = !in_place          ? RowCopy::Start::kNewCopy
                                : earlier->mapped ? RowCopy::Start::kEarlierMapped
                                                  : RowCopy::Start::kEarlierUnmapped;
  pass->owner = std::make_unique<RowCopy>(
      *save_tree_, source_identities_, source_path, status, working_name, std::move(copy), pass->map, begins,
      [this, record_path](const FileSystemError& error) {
        env_.dialogs.ShowError(save_tree_->MapPathOf(record_path) + "\r" + error.what());
      });
  return pass;
}

// Saves a row's copy once its pass is over, and shows how it ended; kEnded
// when the run ends with it (a Stop, or a copy that could not be saved).
RecoveryRun::RowResult RecoveryRun::EndPass(RowPass& pass, PassResult result) {
  const int row = pass.row;
  open_copy_path_.clear();
  pass.source->Close();
  const bool stopped = result == PassResult::kStopped;
  ReportRow& record = report_rows_[static_cast<std::size_t>(row - 1)];
  try {
    pass.owner->Finish(stopped);
  } catch (const FileSystemError& error) {
    SetRowState(row, RowState::kUnsaved);
    const std::string destination = save_tree_->DestinationOf(record.path);
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
  record.map_path = pass.owner->Mapped() ? save_tree_->MapPathOf(record.path) : std::string();
  if (stopped) {
    // A skipped file ends as a stopped run's does, and the run goes on with the next.
    const bool skipped = skip_ && !idle_;
    ShowOutcome(env_.table, row, pass.map, skipped ? RowState::kSkipped : RowState::kStopped);
    return skipped ? RowResult::kDone : RowResult::kEnded;
  }
  const bool whole = pass.map.Total(RescueState::kUntried) + pass.map.Total(RescueState::kBad) == 0;
  ShowOutcome(env_.table, row, pass.map, whole ? RowState::kSaved : RowState::kDamaged);
  return RowResult::kDone;
}

// A Thorough row's first pass and the edges of its damage are read: its copy
// and map are saved as they are, and it waits, files open, for the rest of
// its rescue until the other files had theirs, or until too many rows wait.
RecoveryRun::RowResult RecoveryRun::DeferRescue(std::unique_ptr<RowPass> pass, Clock::TimePoint run_start) {
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
  std::unique_ptr<RowPass> pass = std::move(deferred_.front());
  deferred_.erase(deferred_.begin());
  const int row = pass->row;
  ShowRow(row);
  open_copy_path_ = pass->working_path;
  const RescueReach reach = all ? RescueReach::kAll : static_cast<RescueReach>(static_cast<int>(pass->reached) + 1);
  const PassResult result = RunPass(pass, run_start, [&](FileRescue& rescue) { return rescue.RescueUntried(reach); });
  if (result == PassResult::kDone && reach != RescueReach::kAll && LeftForRescue(pass->map, env_.options)) {
    pass->reached = reach;
    return DeferRescue(std::move(pass), run_start);
  }
  return EndPass(*pass, result) == RowResult::kEnded ? RowResult::kEnded : FinishRow();
}

// The rows waiting for their rescue when the run ends early end as stopped ones do.
void RecoveryRun::StopDeferred() {
  skip_ = false;
  for (std::unique_ptr<RowPass>& pass : deferred_) EndPass(*pass, PassResult::kStopped);
  deferred_.clear();
}

// The steps after each row that was done: the messages, the bars and the overall figure.
RecoveryRun::RowResult RecoveryRun::FinishRow() {
  current_row_ = 0;
  // Whole copies are recorded once a sync carried their bytes: one sync per interval, not per file.
  if (env_.clock.Now() - last_sync_ >= kCheckpointInterval) {
    save_tree_->SyncAndMarkWhole();
    last_sync_ = env_.clock.Now();
  }

  env_.pump.ProcessMessages();
  env_.progress.SetFileBar(100);
  const int rows = env_.table.RowCount() - 1;
  const int total = HeldBarPosition(Percent(++finished_rows_, rows));
  env_.progress.SetTotalBar(total);
  env_.progress.SetTotalPercent(std::to_string(total) + "%");
  return RowResult::kDone;
}

// Whether the save folder already holds this file whole: a copy of the
// source's size that no map marks unfinished, which the save folder records
// as this source's whole copy (in a folder earlier versions filled: which
// carries the source's modification time), and whose samples, read anew, are
// the source's where the source reads.
bool RecoveryRun::HasWholeCopy(int row, File& source, const FileStatus& status) {
  if (!env_.options.ContinueEarlierCopies()) return false;
  const std::string& path = report_rows_[static_cast<std::size_t>(row - 1)].path;
  const std::unique_ptr<File> copy = save_tree_->OpenSavedForReading(path);
  if (!copy) return false;
  const FileStatus saved = copy->Status();
  if (source_identities_.contains(saved.identity) || saved.size != status.size || save_tree_->HasMap(path)) {
    return false;
  }
  const bool recorded = save_tree_->RecordedWhole(path, status);
  const bool timed = save_tree_->TrustsCopyTimes() && saved.modified_seconds == status.modified_seconds &&
                     saved.modified_nanoseconds == status.modified_nanoseconds;
  if (!recorded && !timed) return false;
  const bool same = CompareSamples(source, *copy, WholeFileSamples(status.size)) != Likeness::kDifferent;
  copy->Close();
  if (same && !recorded) save_tree_->RecordWhole(path, status);
  return same;
}

// Where a row starts from. The destination may hold this file's whole copy,
// or an earlier copy of it to go on from in place (with a map, or without one:
// then every byte is read again and none it holds is given up), or nothing;
// or a copy of another file, which is replaced, kept beside the new one
// ("NAME (2).EXT"), or makes the file skipped, as the user chooses. A copy no
// sample of which the source still reads cannot be told apart: it is kept, and
// the new copy goes beside it.
RecoveryRun::RowStart RecoveryRun::ChooseStart(int row, File& source, const FileStatus& status) {
  ReportRow& record = report_rows_[static_cast<std::size_t>(row - 1)];
  const std::string name = save_tree_->SavedName(record.path);
  const char* kept_both = "kept both: ";
  constexpr int kMostNumbers = 1000;
  for (int number = 1; number <= kMostNumbers; ++number) {
    if (number > 1) {
      save_tree_->SaveUnderName(record.path, SaveTree::NumberedName(name, number));
      record.existing = kept_both + save_tree_->DestinationOf(record.path);
    }
    // A folder this run made holds nothing to take up or to keep apart from.
    if (!save_tree_->MayHoldEarlier(record.path)) return {RowStart::kCopy, std::nullopt};
    // No row ever replaces the copy of another row.
    if (save_tree_->TakenByAnotherRow(record.path)) return {RowStart::kTaken, std::nullopt};
    if (HasWholeCopy(row, source, status)) {
      // No later row may take its name, on a disk that folds names too.
      save_tree_->Claim(record.path);
      return {RowStart::kWhole, std::nullopt};
    }
    std::optional<SaveTree::EarlierCopy> earlier =
        save_tree_->OpenEarlierCopy(record.path, status.size, source_identities_);
    if (earlier) {
      const Likeness likeness = LikenessOf(source, status.size, *earlier);
      if (likeness == Likeness::kSame) {
        save_tree_->Claim(record.path);
        return StartOver(record.path, status, std::move(*earlier));
      }
      if (likeness == Likeness::kUnread) {
        kept_both = "kept both, the source no longer reads where the copy could be compared: ";
        continue;
      }
    } else if (!HoldsAnotherFile(row, source, status)) {
      return {RowStart::kCopy, std::nullopt};
    }
    if (number > 1) continue;
    switch (ChooseForExisting(save_tree_->DestinationOf(record.path))) {
      case ExistingCopy::kReplace: record.existing = "replaced"; return {RowStart::kCopy, std::nullopt};
      case ExistingCopy::kSkip: record.existing = "skipped"; return {RowStart::kSkipped, std::nullopt};
      case ExistingCopy::kKeepBoth: break;
    }
  }
  throw FileSystemError(EEXIST, save_tree_->DestinationOf(record.path), "find a free name beside");
}

// Goes on from an earlier copy of this source. A copy the save folder records
// as whole counts as finished throughout, for a run asked to start afresh.
RecoveryRun::RowStart RecoveryRun::StartOver(const std::string& path, const FileStatus& status,
                                             SaveTree::EarlierCopy earlier) {
  if (!earlier.mapped && save_tree_->RecordedWhole(path, status)) earlier.map.Set(0, status.size, RescueState::kDone);
  return {RowStart::kCopy, std::move(earlier)};
}

// Whether a file stands at the row's destination that is no copy of this
// source: anything but a copy of its size whose first and last bytes are the source's.
bool RecoveryRun::HoldsAnotherFile(int row, File& source, const FileStatus& status) const {
  const std::string& path = report_rows_[static_cast<std::size_t>(row - 1)].path;
  const std::unique_ptr<File> copy = save_tree_->OpenSavedForReading(path);
  if (!copy) return false;
  const FileStatus saved = copy->Status();
  if (source_identities_.contains(saved.identity)) return false;  // placing there is refused anyway
  return saved.size != status.size ||
         CompareSamples(source, *copy, WholeFileSamples(status.size)) != Likeness::kSame;
}

// The user's choice for another file's copy at `destination`, asked once per
// run when it is to hold for every file.
ExistingCopy RecoveryRun::ChooseForExisting(const std::string& destination) {
  if (existing_for_all_) return *existing_for_all_;
  const MessageTable& messages = env_.messages;
  const ExistingCopyAnswer answer = env_.dialogs.AskExistingCopy(
      {destination + "\r" + messages.Text(kExistingCopyText), messages.Text(kReplaceText),
       messages.Text(kKeepBothText), messages.Text(kSkipText), messages.Text(kForAllText)});
  if (answer.for_all) existing_for_all_ = answer.choice;
  return answer.choice;
}

// Whether an earlier copy is of this very source: samples spread over what
// its map marks finished (over all of it, without a map), read anew, are the
// source's. A copy that holds nothing read yet has nothing to lose.
Likeness RecoveryRun::LikenessOf(File& source, std::int64_t size, SaveTree::EarlierCopy& earlier) const {
  if (earlier.mapped && earlier.map.Total(RescueState::kDone) == 0) return Likeness::kSame;
  return CompareSamples(source, *earlier.file, earlier.mapped ? FinishedSamples(earlier.map) : WholeFileSamples(size));
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

void RecoveryRun::SetRowState(int row, RowState state) { env_.table.SetState(row, state); }

std::string RecoveryRun::WorkingCopyPath(int row) const {
  if (!save_tree_ || row < 1 || row >= env_.table.RowCount()) return "";
  return save_tree_->WorkingCopyPath(WorkingCopyName(row, env_.table.Cell(0, row)));
}

std::string RecoveryRun::MapPathOf(int row) const {
  if (row < 1 || static_cast<std::size_t>(row) > report_rows_.size() || save_folder_.empty()) return "";
  const ReportRow& record = report_rows_[static_cast<std::size_t>(row - 1)];
  return record.map_path.empty() ? MirroredMapPath(record.path, selection_root_, save_folder_) : record.map_path;
}

std::string RecoveryRun::ReportText() const {
  return report_path_.empty() ? CurrentReportText(env_.table, report_rows_, run_time_) : report_text_;
}

void RecoveryRun::SaveReport() {
  // An empty selection leaves nothing to report, and the save folder as it was.
  if (report_rows_.empty()) return;
  // A row the run worked on names the map that stands beside its copy, however
  // the run ended, and the copy it saved or continued: the report keys its lines by it.
  for (int row = 1; row <= static_cast<int>(report_rows_.size()); ++row) {
    ReportRow& record = report_rows_[static_cast<std::size_t>(row - 1)];
    const RowState state = env_.table.Figures(row).state;
    if (state == RowState::kPending || record.existing == "skipped") continue;
    if (record.map_path.empty() && state != RowState::kSaved && save_tree_->HasMap(record.path)) {
      record.map_path = save_tree_->MapPathOf(record.path);
    }
    const bool saved = state == RowState::kSaved || state == RowState::kDamaged || !record.map_path.empty();
    record.copy_path = saved ? save_tree_->DestinationOf(record.path) : std::string();
  }
  report_text_ = CumulativeReportText(save_folder_, env_.table, report_rows_, run_time_);
  try {
    report_path_ = save_tree_->SaveReport(report_text_);
  } catch (const FileSystemError& error) {
    if ((error.Code() != ENOSPC && error.Code() != EDQUOT) || current_row_ == 0) throw;
    // A full save disk: the working copy of the file that failed holds the
    // room the report needs. Whatever of it was placed keeps its other name.
    save_tree_->RemoveWorkingCopy(WorkingCopyName(current_row_, env_.table.Cell(0, current_row_)));
    report_path_ = save_tree_->SaveReport(report_text_);
  }
}

void RecoveryRun::TrayStep() {
  if (!env_.options.TrayOption() || env_.table.RowCount() < 2) return;
  const std::string first = env_.table.Cell(0, 1);
  if (!first.empty() && env_.drive_type(first) == kDriveCdRom) env_.window.Eject();
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
