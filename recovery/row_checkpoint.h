#pragma once

#include <memory>
#include <set>
#include <string>

#include "platform/clock.h"
#include "platform/file.h"
#include "recovery/rescue_map.h"
#include "recovery/save_tree.h"

namespace salvorine {

// Brings a row's copy, as far as its pass has come, and its map to disk under
// the save folder while the pass runs, so that a crash, a kill or a power cut
// loses at most the reading of the last interval: the working folder alone
// would not do, since the next run empties it. The map goes before a copy
// first placed, so a copy never stands in the save folder without the map
// that says what of it is finished, and after the bytes it marks finished.
class RowCheckpoint {
 public:
  static constexpr auto kInterval = std::chrono::seconds(30);

  // `copy` is the copy the pass writes: the working copy at `copy_path`, or,
  // with `in_place`, the saved copy itself (a copy taken up from an earlier run).
  RowCheckpoint(SaveTree& tree, const std::set<FileIdentity>& protect, std::string source_path, FileStatus source,
                std::string copy_path, File& copy, const RescueMap& map, Clock& clock, bool in_place);

  // Called after every block; does the work once an interval has passed.
  void AfterBlock();
  // Brings a saved copy kept apart (on another file system) up to date with
  // the map, before a map that marks more goes to the save folder.
  void CatchUp();
  // The map of the row as its pass has it now.
  const RescueMap& Map() const { return map_; }

 private:
  void Bring();
  void CopyNewlyFinished();

  SaveTree& tree_;
  const std::set<FileIdentity>& protect_;
  const std::string source_path_;
  const FileStatus source_;
  const std::string copy_path_;
  File& copy_;
  const RescueMap& map_;
  Clock& clock_;
  Clock::TimePoint last_;
  bool placed_;                       // the save folder holds the copy
  bool same_file_;                    // ... as the very file the pass writes
  std::unique_ptr<File> saved_copy_;  // otherwise the saved copy, brought up to date range by range
  std::unique_ptr<RescueMap> saved_;  // what the saved copy holds already
};

}  // namespace salvorine
