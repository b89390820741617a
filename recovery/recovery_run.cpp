#include "recovery/recovery_run.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <vector>

#include "platform/file.h"
#include "platform/file_system_error.h"
#include "recovery/figures.h"
#include "recovery/map_file.h"
#include "recovery/row_checkpoint.h"
#include "recovery/source_list.h"
#include "recovery/thorough_pass.h"
#include "recovery/working_folder.h"

namespace salvorine {
namespace {

constexpr int kStopQuestion = 45;
constexpr int kCompletionMessage = 48;

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

// `text` with %1 replaced by `value`.
std::string WithValue(std::string text, const std::string& value) {
  const auto at = text.find("%1");
  return at == std::string::npos ? text : text.replace(at, 2, value);
}

// The byte count that leads a Damaged cell ("96 (9%)").
std::int64_t DamagedBytes(const std::string& cell) {
  std::int64_t bytes = 0;
  for (const char c : cell) {
    if (c < '0' || c > '9') break;
    bytes = bytes * 10 + (c - '0');
  }
  return bytes;
}

// The stretches a map does not mark finished, neighbouring failed and untried bytes together.
std::vector<ByteRange> UnfinishedRanges(const RescueMap& map) {
  std::vector<ByteRange> ranges;
  for (const RescueMap::Segment& segment : map.Segments()) {
    if (segment.state == RescueState::kDone) continue;
    if (!ranges.empty() && ranges.back().End() == segment.start) {
      ranges.back().length += segment.end - segment.start;
    } else {
      ranges.push_back({segment.start, segment.end - segment.start});
    }
  }
  return ranges;
}

// `source` with the modification time of now. A copy that is not whole yet
// has no map gets it: with the source's own time it would pass for whole.
FileStatus WithoutItsTime(FileStatus source) {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now);
  source.modified_seconds = seconds.count();
  source.modified_nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(now - seconds).count();
  return source;
}

}  // namespace

RunOutcome RecoveryRun::Recover() {
  std::string save_folder = env_.window.SaveFolder();
  if (save_folder.empty()) {
    env_.window.Browse();
    save_folder = env_.window.SaveFolder();
    if (save_folder.empty()) return RunOutcome::kNotStarted;
  }
  if (save_folder.back() != '/') save_folder += '/';
  if (SaveFolderInsideSelection(save_folder)) {
    env_.dialogs.ShowError(save_folder + "\r" + env_.messages.Text(kSaveInsideSelectionText));
    return RunOutcome::kRefused;
  }
  MakeSaveFolder(save_folder);

  env_.progress.SetFileBar(0);
  env_.progress.SetTotalBar(0);
  env_.progress.SetFilePercent("0%");
  env_.progress.SetTotalPercent("0%");

  // A row's name must never open a copy left by an earlier run.
  EmptyWorkingFolder();
  selection_root_ = env_.window.SelectedPath();
  save_folder_ = save_folder;
  save_tree_ = std::make_unique<SaveTree>(save_folder_, selection_root_);
  // The tree holds folders of the save folder open: only while the run lasts, so its medium can be unmounted after.
  const struct Release {
    std::unique_ptr<SaveTree>& tree;
    ~Release() { tree.reset(); }
  } release{save_tree_};
  Collect();

  SetIdle(false);
  current_row_ = 0;
  const Clock::TimePoint run_start = env_.clock.Now();
  try {
    const int rows = env_.table.RowCount() - 1;
    for (int row = 1; row <= rows; ++row) {
      if (RecoverRow(row, run_start) == RowResult::kEnded) {
        SetIdle(true);
        SaveReport();
        return RunOutcome::kEndedEarly;
      }
    }
    SaveReport();
  } catch (...) {
    // The row's files were closed on the way out; give the controls back.
    open_copy_path_.clear();
    if (current_row_ > 0) SetRowState(current_row_, RowState::kUnsaved);
    SetIdle(true);
    throw;
  }

  env_.progress.SetFilePercent("100%");
  env_.progress.SetTotalPercent("100%");
  env_.progress.SetFileBar(100);
  env_.progress.SetTotalBar(100);
  env_.dialogs.ShowInformation(env_.messages.Message(kCompletionMessage));
  SetIdle(true);
  TrayStep();
  return RunOutcome::kCompleted;
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

// The source list and the job table; whatever the collection leaves out is announced.
void RecoveryRun::Collect() {
  sources_.clear();
  std::vector<LeftOut> left_out;
  CollectSources(selection_root_, sources_, left_out);
  for (const LeftOut& entry : left_out) env_.dialogs.ShowError(entry.path + "\r" + LeftOutText(entry));
  const std::size_t collected = sources_.size();
  source_identities_ = BuildJobTable(sources_, env_.table, env_.dialogs);
  left_out_count_ = static_cast<int>(left_out.size() + (collected - sources_.size()));
  report_rows_.clear();
  for (int row = 1; row < env_.table.RowCount(); ++row) {
    ReportRow record;
    record.path = env_.table.Cell(0, row);
    record.size = std::stoll(env_.table.Cell(1, row));
    report_rows_.push_back(std::move(record));
  }
  report_path_.clear();
}

RecoveryRun::RowResult RecoveryRun::RecoverRow(int row, Clock::TimePoint run_start) {
  const std::string source_path = env_.table.Cell(0, row);
  if (source_path.empty()) return RowResult::kEnded;
  const int rows = env_.table.RowCount() - 1;
  env_.progress.SetFileLabel(source_path);
  env_.progress.SetCountLabel(std::to_string(row) + "/" + std::to_string(rows));
  env_.table.SelectRow(row);
  env_.progress.SetFileBar(0);
  current_row_ = row;

  std::unique_ptr<File> source;
  try {
    source = env_.open_source(source_path);
  } catch (const FileSystemError&) {
    SetRowState(row, RowState::kUnsaved);
    env_.dialogs.ShowError(AccessDeniedText(source_path));
    return RowResult::kEnded;
  }
  // The size taken now bounds the pass: a file that grows meanwhile is not followed.
  const FileStatus status = source->Status();
  if (HasWholeCopy(row, status)) {
    // An earlier run saved this file whole: nothing is read again.
    source->Close();
    // No pass is there to notice a Stop or a close confirmed since the last row.
    if (idle_) return RowResult::kEnded;
    env_.table.SetCell(2, row, std::to_string(status.size) + " (100%)");
    report_rows_[static_cast<std::size_t>(row - 1)].recovered = status.size;
    SetRowState(row, RowState::kSaved);
    return FinishRow(row);
  }
  if (env_.options.ContinueEarlierCopies()) {
    if (auto earlier = save_tree_->OpenEarlierCopy(source_path, status.size, source_identities_)) {
      return ContinueRow(row, *source, status, *earlier, run_start);
    }
  }

  const std::string copy_path = RecoveredCopyPath(row, source_path);
  std::unique_ptr<File> copy;
  try {
    copy = CreateFresh(copy_path);
  } catch (const FileSystemError&) {
    source->Close();
    SetRowState(row, RowState::kUnsaved);
    env_.dialogs.ShowError(AccessDeniedText(save_folder_ + FileNameOf(source_path)));
    return RowResult::kEnded;
  }
  PassContext context = MakePassContext();
  open_copy_path_ = copy_path;
  RescueMap map(0, status.size);
  const PassResult result = [&] {
    const CheckpointScope scope(checkpoint_, std::make_unique<RowCheckpoint>(*save_tree_, source_identities_,
                                                                             source_path, status, copy_path, *copy,
                                                                             map, env_.clock, false));
    // The mode in force when a file starts decides whether it gets the thorough rescue.
    const PassResult passed = env_.options.Mode() == kModeThorough
                                  ? RecoverFileThoroughly(*source, *copy, row, status.size, run_start, context, &map)
                                  : RecoverFile(*source, *copy, row, status.size, run_start, context, nullptr, &map);
    // The map saved next marks all the pass read; saving the copy again may fail and leave the checkpoint's.
    if (map.Total(RescueState::kDone) != status.size) checkpoint_->CatchUp();
    return passed;
  }();
  open_copy_path_.clear();
  if (result == PassResult::kStopped) {
    SetRowState(row, RowState::kStopped);
    // A copy that read nothing would only replace an earlier one with zeros.
    if (map.Total(RescueState::kDone) == 0) return RowResult::kEnded;
    // What was read so far is kept, with the map a later run goes on from.
    const bool mapped = SaveMap(row, map, false);
    SaveRow(row, copy_path, mapped ? status : WithoutItsTime(status), false);
    return RowResult::kEnded;
  }
  source->Close();
  copy->Close();
  // The map goes first, so that a copy never stands without the map that says what of it is finished.
  const bool whole = map.Total(RescueState::kDone) == status.size;
  const bool mapped = whole || SaveMap(row, map, true);
  if (!SaveRow(row, copy_path, mapped ? status : WithoutItsTime(status))) return RowResult::kEnded;
  if (whole) SaveMap(row, map, true);
  SetRowState(row, whole ? RowState::kSaved : RowState::kDamaged);
  return FinishRow(row);
}

// Goes on from the copy and map an earlier run left: only what the map does
// not mark finished is read, range by range, and written into that copy in
// place; the bytes already finished are neither read nor written again.
RecoveryRun::RowResult RecoveryRun::ContinueRow(int row, File& source, const FileStatus& status,
                                                SaveTree::EarlierCopy& earlier, Clock::TimePoint run_start) {
  const std::string& source_path = report_rows_[static_cast<std::size_t>(row - 1)].path;
  // The working folder shows the copy too, for preview, where one file system holds both.
  const std::string working_path = RecoveredCopyPath(row, source_path);
  if (save_tree_->LinkCopy(source_path, working_path)) open_copy_path_ = working_path;
  File& copy = *earlier.file;
  RescueMap& map = earlier.map;
  const std::int64_t size = status.size;
  PassContext context = MakePassContext();
  const CheckpointScope scope(checkpoint_, std::make_unique<RowCheckpoint>(*save_tree_, source_identities_,
                                                                           source_path, status, working_path, copy,
                                                                           map, env_.clock, true));
  const bool thorough = env_.options.Mode() == kModeThorough;
  env_.table.SetCell(2, row, CountWithShare(map.Total(RescueState::kDone), size));
  for (const ByteRange& range : UnfinishedRanges(map)) {
    ByteRange unread;
    PassResult result =
        RecoverRange(source, copy, row, size, range, map.Total(RescueState::kDone), run_start, context, &unread, &map);
    if (result == PassResult::kDone && thorough && unread.length > 0) {
      const std::int64_t unread_outside = size - map.Total(RescueState::kDone) - unread.length;
      result = RescueUnread(source, copy, row, size, unread, unread_outside, run_start, context, &map);
    }
    if (result == PassResult::kStopped) {
      open_copy_path_.clear();
      SetRowState(row, RowState::kStopped);
      SaveMap(row, map, false);
      return RowResult::kEnded;
    }
    env_.table.SetCell(3, row, CountWithShare(size - map.Total(RescueState::kDone), size));
  }
  env_.table.SetCell(2, row, std::to_string(size) + " (100%)");
  const bool whole = map.Total(RescueState::kDone) == size;
  if (!whole) SaveMap(row, map, true);
  save_tree_->FinishEarlierCopy(copy, status);
  source.Close();
  copy.Close();
  open_copy_path_.clear();
  if (whole) SaveMap(row, map, true);
  SetRowState(row, whole ? RowState::kSaved : RowState::kDamaged);
  return FinishRow(row);
}

// The steps after each row that was done: the messages, the bars and the overall figure.
RecoveryRun::RowResult RecoveryRun::FinishRow(int row) {
  current_row_ = 0;

  env_.pump.ProcessMessages();
  env_.progress.SetFileBar(100);
  const int rows = env_.table.RowCount() - 1;
  const int total = HeldBarPosition(Percent(row, rows));
  env_.progress.SetTotalBar(total);
  env_.progress.SetTotalPercent(std::to_string(total) + "%");
  return RowResult::kDone;
}

// Places a finished row's recovered copy under the save folder.
bool RecoveryRun::SaveRow(int row, const std::string& copy_path, const FileStatus& source, bool finished) {
  const std::string source_path = env_.table.Cell(0, row);
  try {
    save_tree_->Save(source_path, copy_path, source, source_identities_, finished);
    return true;
  } catch (const FileSystemError& error) {
    SetRowState(row, RowState::kUnsaved);
    env_.dialogs.ShowError(save_tree_->DestinationOf(source_path) + "\r" + error.what());
    return false;
  }
}

// A whole copy has no map (an older one is removed); any other keeps one beside the copies.
// False, after the error is shown, when that could not be done.
bool RecoveryRun::SaveMap(int row, const RescueMap& map, bool finished) {
  ReportRow& record = report_rows_[static_cast<std::size_t>(row - 1)];
  record.recovered = map.Total(RescueState::kDone);
  // Whole by the map itself: the file may have changed size since it was listed.
  const bool whole = map.Total(RescueState::kUntried) + map.Total(RescueState::kBad) == 0;
  try {
    save_tree_->SaveMap(record.path, whole ? std::string() : MapFileText(map, finished));
    if (!whole) record.map_path = save_tree_->MapPathOf(record.path);
    return true;
  } catch (const FileSystemError& error) {
    env_.dialogs.ShowError(save_tree_->MapPathOf(record.path) + "\r" + error.what());
    return false;
  }
}

// Whether the save folder already holds this file whole: a copy of the
// source's size and modification time that no map marks unfinished.
bool RecoveryRun::HasWholeCopy(int row, const FileStatus& source) const {
  if (!env_.options.ContinueEarlierCopies()) return false;
  const std::string& path = report_rows_[static_cast<std::size_t>(row - 1)].path;
  struct stat saved {};
  if (::lstat(save_tree_->DestinationOf(path).c_str(), &saved) != 0 || !S_ISREG(saved.st_mode)) return false;
  const FileIdentity identity{static_cast<std::uint64_t>(saved.st_dev), static_cast<std::uint64_t>(saved.st_ino)};
  struct stat map {};
  return !source_identities_.contains(identity) && saved.st_size == source.size &&
         saved.st_mtim.tv_sec == source.modified_seconds && saved.st_mtim.tv_nsec == source.modified_nanoseconds &&
         ::lstat(save_tree_->MapPathOf(path).c_str(), &map) != 0;
}

void RecoveryRun::SetRowState(int row, RowState state) {
  const std::int64_t damaged = DamagedBytes(env_.table.Cell(3, row));
  ReportRow& record = report_rows_[static_cast<std::size_t>(row - 1)];
  record.state = state;
  record.damaged = state == RowState::kPending ? 0 : damaged;
  env_.table.SetRowState(row, state, damaged);
}

std::string RecoveryRun::ReportText() const { return salvorine::ReportText(report_rows_); }

void RecoveryRun::SaveReport() { report_path_ = save_tree_->SaveReport(ReportText()); }

void RecoveryRun::TrayStep() {
  if (!env_.options.TrayOption() || env_.table.RowCount() < 2) return;
  const std::string first = env_.table.Cell(0, 1);
  if (!first.empty() && env_.drive_type(first) == kDriveCdRom) env_.window.Eject();
}

void RecoveryRun::Stop() {
  if (!idle_ && env_.dialogs.AskYesNo(env_.messages.Message(kStopQuestion))) SetIdle(true);
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

PassContext RecoveryRun::MakePassContext() {
  return {idle_, env_.options, env_.messages, env_.progress, env_.table, pass_pump_, env_.clock, buffers_};
}

void RecoveryRun::PassPump::ProcessMessages() {
  run_.env_.pump.ProcessMessages();
  if (run_.checkpoint_ && !run_.idle_) run_.checkpoint_->AfterBlock();
}

}  // namespace salvorine
