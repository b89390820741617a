#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/clock.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/file_system_error.h"
#include "recovery/probe_spacing.h"
#include "recovery/rescue_map.h"
#include "recovery/row_copy.h"
#include "recovery/save_tree.h"
#include "recovery/thorough_pass.h"

namespace salvorine {

// One row from its opened source until its copy stands in the save folder:
// the source, the copy's owner and the map they share, and how far its
// rescue has come. A Thorough row whose rescue waits for its turn holds no
// file open: its source and copy are opened again when the turn comes.
struct RowJob {
  int row = 0;
  std::string source_path;
  std::unique_ptr<File> source;
  FileStatus status;  // taken when the row started: a file that grows meanwhile is not followed
  std::string working_path;  // where a reader finds the working copy while the run lasts
  bool readable = false;     // ... and whether it does (not for a copy continued in place without hard links)
  RescueMap map{0, 0};
  std::unique_ptr<RowCopy> owner;  // holds `map` by reference
  bool queued = false;  // its edges are read: the rest of its rescue takes turns in the run's queue
  ProbeRecord probes;   // what the probes into it learned so far
  Clock::TimePoint checkpointed{};  // when its copy and map were last brought to the save folder
  bool unsaved = false;             // its map has reads since, which its copy holds

  // Whether `reopened`, opened anew after its medium went away, is the file
  // this row reads: the same size and modification time (inode numbers may
  // change when a medium is mounted again), and, once the copy holds bytes,
  // the same bytes where the copy has them. A medium whose samples cannot be
  // read is not back yet.
  bool Reads(File& reopened);
  // Whether `reopened`, the source opened again for the row's next turn, is
  // no longer the file its copy was read from: another size or modification
  // time, or, when it is another file to the file system (a medium mounted
  // again), other bytes where the copy holds them. Samples the source
  // cannot read now tell nothing either way.
  bool SourceChanged(File& reopened);
  // Closes the source and the copy while the row waits for its turn, its
  // copy and map brought to the save folder already.
  void Release();
  // What the save folder holds of the row: the map saved beside its copy;
  // every byte untried when no copy was saved.
  RescueMap Saved() const;
};

// Where rows' copies go, and what may never be replaced.
struct RowJobPlace {
  SaveTree& tree;
  const std::set<FileIdentity>& protect;
  // Told when a map cannot be written beside the copy at `map_path`; the copy stays without it.
  std::function<void(const std::string& map_path, const FileSystemError&)> map_not_saved;
};

// Gives `job`, whose source is open, the copy its pass writes and the map
// they share: the copy an earlier run left (`earlier`, found at the
// destination, with its map or none), continued, or a new working copy; true
// when it goes on from the earlier copy. Raises FileSystemError when no
// working copy can be created.
bool BeginCopy(RowJobPlace& place, RowJob& job, std::optional<SaveTree::FoundCopy> earlier);

}  // namespace salvorine
