#include "recovery/recovery_run.h"

#include "platform/file.h"
#include "platform/file_system_error.h"
#include "recovery/destination_path.h"
#include "recovery/figures.h"
#include "recovery/source_list.h"
#include "recovery/thorough_pass.h"
#include "recovery/working_folder.h"

namespace salvorine {
namespace {

constexpr int kStopQuestion = 45;
constexpr int kCompletionMessage = 48;

}  // namespace

RunOutcome RecoveryRun::Recover() {
  std::string save_folder = env_.window.SaveFolder();
  if (save_folder.empty()) {
    env_.window.Browse();
    save_folder = env_.window.SaveFolder();
    if (save_folder.empty()) return RunOutcome::kNotStarted;
  }
  if (save_folder.back() != '/') save_folder += '/';
  if (!FolderExists(save_folder)) MakeFolder(save_folder);

  env_.progress.SetFileBar(0);
  env_.progress.SetTotalBar(0);
  env_.progress.SetFilePercent("0%");
  env_.progress.SetTotalPercent("0%");

  // A row's name must never open a copy left by an earlier run.
  EmptyWorkingFolder();
  sources_.clear();
  selection_root_ = env_.window.SelectedPath();
  save_folder_ = save_folder;
  CollectSources(selection_root_, sources_);
  BuildJobTable(sources_, env_.table, env_.dialogs);
  source_identities_.clear();
  for (const std::string& source : sources_) {
    FileIdentity identity;
    if (IdentityOf(source, identity)) source_identities_.insert(identity);
  }

  SetIdle(false);
  const Clock::TimePoint run_start = env_.clock.Now();
  try {
    const int rows = env_.table.RowCount() - 1;
    for (int row = 1; row <= rows; ++row) {
      if (RecoverRow(row, run_start) == RowResult::kEnded) {
        SetIdle(true);
        return RunOutcome::kEndedEarly;
      }
    }
  } catch (...) {
    // The row's files were closed on the way out; give the controls back.
    open_copy_path_.clear();
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

RecoveryRun::RowResult RecoveryRun::RecoverRow(int row, Clock::TimePoint run_start) {
  const std::string source_path = env_.table.Cell(0, row);
  if (source_path.empty()) return RowResult::kEnded;
  const int rows = env_.table.RowCount() - 1;
  env_.progress.SetFileLabel(source_path);
  env_.progress.SetCountLabel(std::to_string(row) + "/" + std::to_string(rows));
  env_.table.SelectRow(row);
  env_.progress.SetFileBar(0);

  std::unique_ptr<File> source;
  try {
    source = env_.open_source(source_path);
  } catch (const FileSystemError&) {
    env_.dialogs.ShowError(AccessDeniedText(source_path));
    return RowResult::kEnded;
  }
  const std::string copy_path = RecoveredCopyPath(row, source_path);
  std::unique_ptr<File> copy;
  try {
    copy = Create(copy_path);
  } catch (const FileSystemError&) {
    source->Close();
    env_.dialogs.ShowError(AccessDeniedText(save_folder_ + FileNameOf(source_path)));
    return RowResult::kEnded;
  }

  const std::int64_t size = source->Size();
  PassContext context = MakePassContext();
  open_copy_path_ = copy_path;
  // The mode in force when a file starts decides whether it gets the thorough rescue.
  const PassResult result = env_.options.Mode() == kModeThorough
                                ? RecoverFileThoroughly(*source, *copy, row, size, run_start, context)
                                : RecoverFile(*source, *copy, row, size, run_start, context);
  if (result == PassResult::kStopped) {
    open_copy_path_.clear();
    return RowResult::kEnded;
  }
  source->Close();
  copy->Close();
  open_copy_path_.clear();
  if (!SaveRow(source_path, copy_path)) return RowResult::kEnded;

  env_.pump.ProcessMessages();
  env_.progress.SetFileBar(100);
  const int total = HeldBarPosition(Percent(row, rows));
  env_.progress.SetTotalBar(total);
  env_.progress.SetTotalPercent(std::to_string(total) + "%");
  return RowResult::kDone;
}

// Copies a finished row's recovered copy to its place under the save folder.
bool RecoveryRun::SaveRow(const std::string& source_path, const std::string& copy_path) {
  const std::string destination = MirroredPath(source_path, selection_root_, save_folder_);
  try {
    DestinationPath(source_path, selection_root_, save_folder_);
    FileIdentity identity;
    if (IdentityOf(destination, identity) && source_identities_.contains(identity)) {
      throw FileSystemError(EEXIST, destination, "overwrite a file that is being recovered,");
    }
    SaveCopy(copy_path, destination, source_path);
    return true;
  } catch (const FileSystemError& error) {
    env_.dialogs.ShowError(destination + "\r" + error.what());
    return false;
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
  return {idle_, env_.options, env_.messages, env_.progress, env_.table, env_.pump, env_.clock, buffers_};
}

}  // namespace salvorine
