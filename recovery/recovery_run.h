#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "i18n/message_table.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/file_system_error.h"
#include "recovery/copy_identity.h"
#include "recovery/damage_report.h"
#include "recovery/file_rescue.h"
#include "recovery/rescue_queue.h"
#include "recovery/row_copy.h"
#include "recovery/row_job.h"
#include "recovery/row_start.h"
#include "recovery/run_report.h"
#include "recovery/save_tree.h"
#include "recovery/source_list.h"
#include "recovery/thorough_pass.h"
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
  // Opens a source for reading; a window wraps it so that a stalled read does not freeze it.
  std::function<std::unique_ptr<File>(const std::string&)> open_source = OpenRead;
  // How long the run waits for a medium that went away to come back; none: until Stop.
  std::optional<Clock::Duration> medium_wait = std::nullopt;
  // Lets time pass between two looks for that medium; tests make it move their clock.
  std::function<void(Clock::Duration)> pause = [](Clock::Duration span) { std::this_thread::sleep_for(span); };
};

enum class RunOutcome {
  kNotStarted,  // no save folder was given
  kRefused,     // the save folder lies inside the selection; nothing was read or written
  kSaveFolderInUse,  // another run is saving into the save folder; nothing was read or written
  kCompleted,   // every row was done and the completion message shown
  kEndedEarly,  // stopped, or a file could not be opened, created or saved, or the medium went away for good
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
  // A source's medium that goes away pauses the run: the file being read and
  // those waiting for their rescue keep their copies and maps and are shown
  // stopped, and the run waits (RunEnvironment::medium_wait) for the same
  // medium to come back, then reopens the sources and goes on where it
  // stopped; when it does not come back, the run ends as a stopped one.
  // In Thorough, a damaged file's rescue past the edges of its damage waits,
  // its files closed, until every file had its first pass: then the probes of
  // all such files take turns by worth (see RescueQueue), and the scrape and
  // retries of any come only after every probe.
  RunOutcome Recover(const RunRequest& request);
  // Asks to confirm, then lets the running pass stop before its next block.
  void Stop();
  // Ends the pass over the current file at its next read; what was read is kept with its map, and the run goes on.
  void Skip();
  // The close query: always true when idle, otherwise after confirmation.
  bool CanClose();
  // Enters the idle (true) or busy (false) state: the flag and the run controls together.
  void SetIdle(bool idle);

  bool Idle() const { return idle_; }
  // Whether the run waits for a medium that went away to come back.
  bool WaitingForMedium() const { return waiting_for_medium_; }
  // The files of the last run: the table's rows, which hold each source's path.
  std::vector<std::string> SourceList() const;
  // The selection and save folder (with its trailing "/") of the last run.
  const std::string& SelectionRoot() const { return selection_root_; }
  const std::string& SaveFolder() const { return save_folder_; }
  // The recovered copy the run is writing, empty between rows.
  const std::string& OpenCopyPath() const { return open_copy_path_; }
  // Where a reader finds row `row`'s working copy while the run lasts (in
  // the save folder's working folder, reached through the run's descriptor
  // of it); empty when no run holds one. A row without a working copy (one
  // taken as whole) has its saved copy only.
  std::string WorkingCopyPath(int row) const;
  // The row whose pass runs (0 between rows) and its map as the pass has it now (null between passes).
  int CurrentRow() const { return current_row_; }
  const RescueMap* LiveMap() const { return row_copy_ != nullptr ? &row_copy_->Map() : nullptr; }
  // How many files and folders below the last run's selection were left out (and announced).
  int LeftOutCount() const { return left_out_count_; }
  // The rows of the last run that an earlier run had saved whole (not read
  // again), and those it continued from an earlier copy.
  const std::set<int>& TakenWhole() const { return taken_whole_; }
  const std::set<int>& Continued() const { return continued_; }
  // Where the last run saved its damage report (empty before a run wrote it).
  const std::string& ReportPath() const { return report_.Path(); }
  // Where the map of row `row`'s copy stands: the one the last run named, or,
  // for a row it named none, where an earlier run leaves one.
  std::string MapPathOf(int row) const;
  // Where row `row`'s copy stands, or will: the one the last run saved or
  // continued (under a name given for keeping both too), or, for a row it
  // saved none of, the place that mirrors the source's.
  std::string CopyPathOf(int row) const;

 private:
  enum class RowResult { kDone, kEnded };
  void Collect();
  void ShowBothBarsAt(int percent);
  void ShowRowsDone();
  void ShowNoStage();
  RunOutcome Complete();
  // `disk_full`: the error is the save disk's running out of room.
  void EndAfterError(bool disk_full);
  bool RecoverRows();
  RowResult RecoverRow(int row, Clock::TimePoint run_start);
  bool Ended(const std::function<RowResult()>& step, Clock::TimePoint run_start);
  PassResult RunPass(std::unique_ptr<RowJob>& pass, Clock::TimePoint run_start,
                     const std::function<PassResult(FileRescue&)>& step);
  bool PauseForMedium();
  bool MediumBack();
  RowResult ResumeInterrupted(Clock::TimePoint run_start);
  RowResult AfterPass(std::unique_ptr<RowJob> pass, PassResult result, bool thorough);
  void ShowStopped(const RowJob& pass);
  void ShowRow(int row);
  RowResult EndPass(RowJob& pass, PassResult result);
  RowResult DeferRescue(std::unique_ptr<RowJob> pass);
  RowResult RescueNext(Clock::TimePoint run_start);
  bool ReopenWaiting(RowJob& job);
  void SaveWaiting(RowJob& pass);
  void StopDeferred();
  RowResult FinishRow();
  bool OpenSource(RowJob& job);
  std::optional<bool> BeginRowCopy(RowJob& job, std::optional<SaveTree::FoundCopy> earlier);
  RowResult EndWithoutPass(RowJob& job, RowStart::Kind kind);
  bool IsNameTheDiskRefuses(const FileSystemError& error) const;
  void SetRowState(int row, RowState state);
  void SaveReport();
  PassContext MakePassContext(Clock::TimePoint run_start);

  RunEnvironment env_;
  bool idle_ = true;
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
  // Makes a row's copy the one checkpoints bring to the save folder, for as long as its pass runs.
  struct CopyScope {
    CopyScope(RowCopy*& held, RowCopy& copy, Clock::TimePoint& last_checkpoint, Clock::TimePoint now) : held_(held) {
      held_ = &copy;
      last_checkpoint = now;
    }
    ~CopyScope() { held_ = nullptr; }
    CopyScope(const CopyScope&) = delete;
    CopyScope& operator=(const CopyScope&) = delete;
    RowCopy*& held_;
  };
  // How often a long pass brings its copy and map to the save folder, and
  // whole copies are recorded.
  static constexpr auto kCheckpointInterval = std::chrono::seconds(30);
  // The most rows done between two such syncs: each waits with its path and status until one.
  static constexpr int kRowsPerSync = 16384;

  PassPump pass_pump_{*this};
  RowCopy* row_copy_ = nullptr;
  RescueQueue waiting_;  // Thorough rows waiting for the rest of their rescue, files closed
  std::unique_ptr<RowJob> interrupted_;  // the row whose pass the medium's going away, or an error, cut short
  int gone_at_row_ = 0;                   // the row that found the medium gone before its pass began, if any
  bool waiting_for_medium_ = false;
  std::optional<RowStarter> starter_;  // while the run lasts
  std::optional<RowJobPlace> row_job_place_;
  Clock::TimePoint last_checkpoint_{};
  Clock::TimePoint last_sync_{};
  int rows_since_sync_ = 0;
  int current_row_ = 0;
  int finished_rows_ = 0;  // rows done this run, for the Total bar and its label
  int rescued_damaged_ = 0;  // rows whose rescue waited and has ended this run
  bool skip_ = false;
  std::set<int> taken_whole_, continued_;  // Skip file was given during current_row_'s pass
  int left_out_count_ = 0;
  RunReport report_;
  std::string selection_root_;
  std::optional<std::uint64_t> selection_device_;  // the device the selection stood on when the run found it
  std::string save_folder_;
  std::string open_copy_path_;
  PassBuffers buffers_;
};

}  // namespace salvorine
