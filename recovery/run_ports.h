#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recovery/rescue_stage.h"
#include "recovery/row_figures.h"
#include "recovery/row_state.h"

// The small interfaces through which the recovery run reaches its front end.
// The main window implements them with widgets; the headless front end and
// the tests implement them in memory.
namespace salvorine {

// The four-column table of a run. Row 0 holds the headings, rows 1..N one
// file each. Each file row's figures and state are kept as numbers here and
// shown formatted in columns 1..3. Cells are byte strings: a path that is not
// valid UTF-8 is kept exactly as it is.
class JobTable {
 public:
  virtual ~JobTable() = default;
  virtual int RowCount() const = 0;
  virtual void SetRowCount(int rows) = 0;
  virtual std::string Cell(int column, int row) const = 0;
  virtual void SetCell(int column, int row, const std::string& text) = 0;
  // Makes row 0 a heading row (1) or an ordinary one (0).
  virtual void SetFixedRows(int rows) = 0;
  // Selects row `row` and scrolls it into view.
  virtual void SelectRow(int row) = 0;
  // Tells what became of row `row`'s file and how many of its bytes are unreadable.
  virtual void SetRowState(int /*row*/, RowState /*state*/, std::int64_t /*damaged_bytes*/) {}

  // Row `row`'s figures; zero and pending for a row never given any.
  const RowFigures& Figures(int row) const;
  // Forgets every row's figures, before the table is laid out anew.
  void ClearFigures() { figures_.clear(); }
  // A new row: its size in column 1, "0 (0%)" in columns 2 and 3, pending.
  void StartRow(int row, std::int64_t size);
  // All of a row's figures at once, from the one record its rescue keeps:
  // "completed (percent%)" in the Completed column, "damaged (share of the
  // size%)" in the Damaged column, and the state.
  void SetFigures(int row, const RowFigures& figures);
  // What became of a row no rescue keeps figures for (unsaved, pending,
  // waiting); its unread bytes follow from the state.
  void SetState(int row, RowState state);

 private:
  RowFigures& Row(int row);
  std::vector<RowFigures> figures_;  // index: table row
};

// File label, count label, the two bars with their percentage labels and the
// status text. Bars receive positions already held within 0..100.
class ProgressDisplay {
 public:
  virtual ~ProgressDisplay() = default;
  virtual void SetFileLabel(const std::string& path) = 0;
  virtual void SetCountLabel(const std::string& text) = 0;
  virtual void SetFileBar(int position) = 0;
  virtual void SetFilePercent(const std::string& text) = 0;
  virtual void SetTotalBar(int position) = 0;
  virtual void SetTotalPercent(const std::string& text) = 0;
  virtual void SetStatusText(const std::string& text) = 0;
  // Something the user should know about the run as a whole; the window
  // shows it in the status line, a console prints each notice once.
  virtual void ShowNotice(const std::string& text) { SetStatusText(text); }
  // The sector stage under way, at its start and as it goes; kNone once a row's pass begins.
  virtual void SetStage(const StageProgress& /*stage*/) {}
  // Which of the damaged files that waited for their rescue is rescued now; 0 of 0 outside that part of the run.
  virtual void SetDamagedFiles(const DamagedFilesProgress& /*files*/) {}
};

inline constexpr int kModeMaxData = 0;
inline constexpr int kModeMaxSpeed = 1;
inline constexpr int kModeThorough = 2;

// Read anew by the run each time it needs them, so a change made during a run applies to it.
class RunOptions {
 public:
  virtual ~RunOptions() = default;
  // 0 "Max Data", 1 "Max Speed", 2 "Thorough"; any other value behaves as 0.
  virtual int Mode() const = 0;
  // Open the tray when a run whose first file lies on an optical disc
  // completes; the front end that owns the tray acts on it, the run does not.
  virtual bool TrayOption() const = 0;
  // The sector size in which Thorough rescues, in bytes; 0 (or anything
  // outside 512..65536) asks the medium that holds each file.
  virtual std::int64_t SectorSize() const { return 0; }
  // How many more times Thorough reads each sector still bad after it has
  // tried every sector once; it stops for a sector once it reads.
  virtual int Retries() const { return 0; }
  // Take up earlier copies in the save folder: a copy with a map goes on from
  // it, and one of the source's size and time without a map is complete.
  virtual bool ContinueEarlierCopies() const { return true; }
};

// What becomes of a file whose destination holds a copy of another file.
enum class ExistingCopy {
  kReplace,   // the new copy takes the destination
  kKeepBoth,  // the new copy takes the first free name "NAME (2).EXT", "NAME (3).EXT"...
  kSkip,      // the file is not saved
};

// The question asked then, with its texts in the language shown.
struct ExistingCopyQuestion {
  std::string text;  // names the destination
  std::string replace, keep_both, skip, for_all;
};
struct ExistingCopyAnswer {
  ExistingCopy choice = ExistingCopy::kKeepBoth;
  bool for_all = false;  // the same for every later file of the run
};

// Modal message boxes. Texts may hold a carriage return between lines.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual void ShowError(const std::string& text) = 0;
  virtual void ShowInformation(const std::string& text) = 0;
  virtual bool AskYesNo(const std::string& text) = 0;
  virtual bool AskOkCancel(const std::string& text) = 0;
  // Asks what to do when a file's destination holds another file's copy;
  // without anyone to ask, both are kept.
  virtual ExistingCopyAnswer AskExistingCopy(const ExistingCopyQuestion& /*question*/) { return {}; }

  // What a run leaves out of its selection, each entry "path\rreason", shown
  // together once under `heading`; without a list of its own, one error each.
  virtual void ShowLeftOut(const std::string& /*heading*/, const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) ShowError(entry);
  }
};

// Processes pending window messages; other commands run inside this call.
class EventPump {
 public:
  virtual ~EventPump() = default;
  virtual void ProcessMessages() = 0;
};

// What a run is asked to do, given once as it starts.
struct RunRequest {
  std::string selection;    // the file or folder to recover
  std::string save_folder;  // where the copies go; empty: none was given, and nothing starts
};

// What the run needs from the main window besides the table and the progress display.
class RunWindow {
 public:
  virtual ~RunWindow() = default;
  // Enables or disables the controls that start a run or change its input.
  virtual void SetRunControlsEnabled(bool enabled) = 0;
};

}  // namespace salvorine
