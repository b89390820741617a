#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/file.h"
#include "platform/file_system_error.h"
#include "recovery/copy_store.h"
#include "recovery/rescue_map.h"

namespace salvorine {

class PassView;

// One row's copy and its map, from the pass's first block until they stand in
// the save folder; the only thing that brings them there, in one order on
// every path (checkpoint, stop, finish, resume, fresh):
//   the copy's bytes reach the disk, then the map that marks them finished,
//   then the copy is placed (a temporary name renamed over the destination)
//   and its folder synced.
// A copy placed for the first time over an older file comes before its map,
// and that file's map and whole record are removed before it, so neither ever
// stands beside a copy older than itself. A whole copy is recorded as whole
// (and takes the source's modification time) only after the sync of every
// file system that carries its bytes.
class RowCopy {
 public:
  // What the pass writes into: a new working copy, or the saved copy an earlier run left, with its map or without.
  enum class Start { kNewCopy, kEarlierMapped, kEarlierUnmapped };
  // `copy` is the file the pass writes: the new working copy `copy_name` in
  // the store's working folder, or the saved copy an earlier run left
  // (`copy_name` is then unused). `map` is the pass's map of the source.
  // A map that cannot be written is handed to `map_not_saved`, and the copy
  // stays without it (and so is never taken for whole).
  RowCopy(CopyStore& store, const std::set<FileIdentity>& protect, std::string source_path, FileStatus source,
          std::string copy_name, std::unique_ptr<File> copy, const RescueMap& map, Start start,
          std::function<void(const FileSystemError&)> map_not_saved);
  ~RowCopy();
  RowCopy(const RowCopy&) = delete;
  RowCopy& operator=(const RowCopy&) = delete;

  // The copy as the pass sees it; the pass's Close leaves it open for this owner.
  File& ForPass();
  // Writes out what the pass wrote so far, for a reader of the working copy
  // to find every byte its row shows as read.
  void ShowWritten();

  // Brings the copy as far as its pass has come, and its map, to the save folder.
  void Checkpoint();
  // Saves the copy once its pass is over, then closes it: whole (no map,
  // recorded after the next sync), or with its map; `stopped` when the pass
  // was cut short. A stopped copy that read nothing replaces nothing.
  // Raises FileSystemError when the copy could not be saved.
  void Finish(bool stopped);
  // Closes the copy's files while its row waits for its turn, after a
  // Checkpoint brought them to the save folder; Reopen opens the same files
  // again, and raises FileSystemError when they are gone or are other files now.
  void Release();
  void Reopen();
  // The pass's map as it is now.
  const RescueMap& Map() const { return map_; }
  // Whether the copy now stands with a map beside it.
  bool Mapped() const { return mapped_; }
  // Whether the save folder holds the copy at all.
  bool Placed() const { return placed_; }
  // The map that stands beside the copy now (what the save folder holds of it); null when none does.
  const RescueMap* SavedMap() const { return mapped_ ? &saved_map_ : nullptr; }

 private:
  void SaveWithMap(bool pass_ended, unsigned mode);
  void PlaceFirst(unsigned mode, bool keep_up);
  void SetMode(unsigned mode);
  void CatchUp();
  void Close();

  CopyStore& store_;
  const std::set<FileIdentity>& protect_;
  const std::string source_path_;
  const FileStatus source_;
  const std::string copy_name_;
  std::unique_ptr<File> copy_;
  std::unique_ptr<PassView> view_;
  const RescueMap& map_;
  std::function<void(const FileSystemError&)> map_not_saved_;
  bool placed_;                       // the save folder holds the copy
  bool same_file_;                    // ... as the very file the pass writes
  bool mapped_;
  RescueMap saved_map_;               // the map as last written beside the copy
  unsigned mode_ = 0;                 // the saved copy's permission bits as last set, 0 before
  std::unique_ptr<File> saved_copy_;  // otherwise the saved copy, brought up to date range by range
  std::unique_ptr<RescueMap> saved_;  // what the saved copy holds already
  // While released: the files that were open, for Reopen to find them again.
  struct Released {
    std::string path;
    FileIdentity copy;
    std::optional<FileIdentity> saved_copy;
  };
  std::optional<Released> released_;
};

}  // namespace salvorine
