#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "i18n/message_table.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "recovery/damage_report.h"
#include "recovery/file_pass.h"
#include "recovery/row_checkpoint.h"
#include "recovery/save_tree.h"
#include "recovery/source_list.h"
#include "recovery/run_ports.h"

namespace salvorine {

struct RunEnvironment {
  JobTable& table;
  ProgressDisplay& progress;
  RunOptions& options;
  const MessageTable& messages;
  Dialogs& dialogs;
  EventPump& pump;
  RunWindow& window;
  Clock& clock;
  // The kind of drive a path lies on; replaced in tests.
  std::function<int(const std::string&)> drive_type = DriveType;
  // Opens a source for reading; a window wraps it so that a stalled read does not freeze it.
  std::function<std::unique_ptr<File>(const std::string&)> open_source = OpenRead;
};

enum class RunOutcome {
  kNotStarted,  // no save folder was given
  kRefused,     // the save folder lies inside the selection; nothing was read or written
  kCompleted,   // every row was done and the completion message shown
  kEndedEarly,  // stopped, or a file could not be opened, created or saved
};

// The Recover command and the state it shares with the window: the idle flag,
// the source list and the selection of the last run.
class RecoveryRun {
 public:
  explicit RecoveryRun(RunEnvironment environment) : env_(std::move(environment)) {}

  // Builds the job table from the selection, recovers every row into the
  // working folder and saves each finished copy under the save folder.
  // File-system errors not handled here propagate after the files are closed
  // and the idle state is restored.
  RunOutcome Recover();
  // Asks to confirm, then lets the running pass stop before its next block.
  void Stop();
  // The close query: always true when idle, otherwise after confirmation.
  bool CanClose();
  // Enters the idle (true) or busy (false) state: the flag and the run controls together.
  void SetIdle(bool idle);

  bool Idle() const { return idle_; }
  const std::vector<std::string>& SourceList() const { return sources_; }
  // The selection and save folder (with its trailing "/") of the last run.
  const std::string& SelectionRoot() const { return selection_root_; }
  const std::string& SaveFolder() const { return save_folder_; }
  // The recovered copy the run is writing, empty between rows.
  const std::string& OpenCopyPath() const { return open_copy_path_; }
  // How many files and folders below the last run's selection were left out (and announced).
  int LeftOutCount() const { return left_out_count_; }
  // The damage report of the last run, and where it was saved (empty before a run wrote it).
  std::string ReportText() const;
  const std::string& ReportPath() const { return report_path_; }

 private:
  enum class RowResult { kDone, kEnded };
  bool SaveFolderInsideSelection(const std::string& save_folder) const;
  void Collect();
  std::string LeftOutText(const LeftOut& entry) const;
  RowResult RecoverRow(int row, Clock::TimePoint run_start);
  RowResult FinishRow(int row);
  RowResult ContinueRow(int row, File& source, const FileStatus& status, SaveTree::EarlierCopy& earlier,
                        Clock::TimePoint run_start);
  bool SaveRow(int row, const std::string& copy_path, const FileStatus& source, bool finished = true);
  bool SaveMap(int row, const RescueMap& map, bool finished);
  bool HasWholeCopy(int row, const FileStatus& source) const;
  void SetRowState(int row, RowState state);
  void SaveReport();
  void TrayStep();
  PassContext MakePassContext();

  RunEnvironment env_;
  bool idle_ = true;
  std::vector<std::string> sources_;
  std::set<FileIdentity> source_identities_;
  std::unique_ptr<SaveTree> save_tree_;
  // The pass's pump: the window's messages, then the checkpoint of the row.
  class PassPump final : public EventPump {
   public:
    explicit PassPump(RecoveryRun& run) : run_(run) {}
    void ProcessMessages() override;

   private:
    RecoveryRun& run_;
  };
  // Holds a row's checkpoint for as long as its pass runs.
  struct CheckpointScope {
    CheckpointScope(std::unique_ptr<RowCheckpoint>& held, std::unique_ptr<RowCheckpoint> checkpoint) : held_(held) {
      held_ = std::move(checkpoint);
    }
    ~CheckpointScope() { held_.reset(); }
    CheckpointScope(const CheckpointScope&) = delete;
    CheckpointScope& operator=(const CheckpointScope&) = delete;
    std::unique_ptr<RowCheckpoint>& held_;
  };

  PassPump pass_pump_{*this};
  std::unique_ptr<RowCheckpoint> checkpoint_;
  int current_row_ = 0;
  int left_out_count_ = 0;
  std::vector<ReportRow> report_rows_;  // index row - 1
  std::string report_path_;
  std::string report_text_;  // as last saved
  std::string run_time_;     // when the run started, as the report gives it
  std::string selection_root_;
  std::string save_folder_;
  std::string open_copy_path_;
  PassBuffers buffers_;
};

}  // namespace salvorine
