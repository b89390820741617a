#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/file.h"
#include "platform/folder_handle.h"
#include "recovery/folder_chain.h"
#include "recovery/rescue_map.h"

namespace salvorine {

// Where a run's finished copies go: below the save folder, each at the place
// that mirrors its source's place under the selection. Folders are walked
// without following links, created once, and given their source folder's
// permissions (with the umask, and always open to their owner). Beside the
// copies, ".salvorine/" holds a map of every copy that is not whole (in
// ".salvorine/maps/", mirroring the copies) and the report of the last run.
class SaveTree {
 public:
  // Opens the save folder, which must exist.
  SaveTree(const std::string& save_folder, std::string selection_root);

  // The destination of `source_path` (a path, for messages).
  std::string DestinationOf(const std::string& source_path) const;
  // Where the map of `source_path`'s copy goes.
  std::string MapPathOf(const std::string& source_path) const;

  // Saves the closed copy `copy_path` of `source_path` (whose status was
  // `source`) at its destination with the source's modification time, and
  // its permissions under the umask once `finished`; a copy still being read
  // stays private to its owner (0600). Never replaces a file of `protect`.
  // Raises FileSystemError naming the failing path. True when the saved copy
  // is the working copy itself, linked into place (one file system holds both).
  bool Save(const std::string& source_path, const std::string& copy_path, const FileStatus& source,
            const std::set<FileIdentity>& protect, bool finished = true);

  // Writes the map of `source_path`'s copy, or removes an older one (`text` empty).
  void SaveMap(const std::string& source_path, const std::string& text);

  // Replaces ".salvorine/report.tsv"; returns its path.
  std::string SaveReport(const std::string& text);

  // What an earlier run left of a copy: the file, open for update, and its map.
  struct EarlierCopy {
    std::unique_ptr<File> file;
    RescueMap map;
  };
  // The copy at `source_path`'s destination with the map an earlier run left
  // beside it, when the copy has `size` bytes and is none of `protect`;
  // nothing otherwise.
  std::optional<EarlierCopy> OpenEarlierCopy(const std::string& source_path, std::int64_t size,
                                             const std::set<FileIdentity>& protect);
  // Gives an earlier copy, brought up to date, the source's permissions under
  // the umask and its modification time, as a new copy gets them.
  void FinishEarlierCopy(File& copy, const FileStatus& source) const {
    copy.SetModeAndTime(source.mode & 0777 & ~umask_, source);
  }
  // The copy at `source_path`'s destination, open for update; nothing when there is none.
  std::unique_ptr<File> OpenSavedCopy(const std::string& source_path);
  // Gives the copy at `source_path`'s destination the name `path` as well;
  // false when `path` lies on another file system.
  bool LinkCopy(const std::string& source_path, const std::string& path);

 private:
  using Chain = FolderChain;

  std::string Relative(const std::string& source_path) const;
  // The folder `folders` below `root`, when every level exists; creates nothing.
  static std::optional<FolderHandle> Existing(const FolderHandle& root, const std::vector<std::string>& folders);
  const FolderHandle& MapsFolder();

  FolderHandle save_folder_;
  std::string selection_root_;
  bool root_is_file_;
  unsigned umask_;
  Chain copies_;
  std::optional<FolderHandle> maps_;
  Chain maps_chain_;
  std::optional<FolderHandle> earlier_maps_;  // the maps folder as the run found it, if any
};

}  // namespace salvorine
