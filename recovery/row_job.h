#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/file_system_error.h"
#include "recovery/rescue_map.h"
#include "recovery/row_copy.h"
#include "recovery/save_tree.h"
#include "recovery/thorough_pass.h"

namespace salvorine {

// One row from its opened source until its copy stands in the save folder:
// the source, the copy's owner and the map they share, and how far its
// rescue has come. A Thorough row whose rescue waits for the other files
// keeps them open.
struct RowJob {
  int row = 0;
  std::string source_path;
  std::unique_ptr<File> source;
  FileStatus status;  // taken when the row started: a file that grows meanwhile is not followed
  std::string working_path;  // where a reader finds the working copy while the run lasts
  bool readable = false;     // ... and whether it does (not for a copy continued in place without hard links)
  RescueMap map{0, 0};
  std::unique_ptr<RowCopy> owner;  // holds `map` by reference
  RescueReach reached = RescueReach::kEdges;  // how far its rescue has come

  // Whether `reopened`, opened anew after its medium went away, is the file
  // this row reads: the same size and modification time (inode numbers may
  // change when a medium is mounted again), and, once the copy holds bytes,
  // the same bytes where the copy has them. A medium whose samples cannot be
  // read is not back yet.
  bool Reads(File& reopened);
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
