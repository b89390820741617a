#pragma once

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/file.h"
#include "platform/folder_handle.h"

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
  // `source`) at its destination with the source's permissions under the
  // umask and its modification time. Never replaces a file of `protect`.
  // Raises FileSystemError naming the failing path.
  void Save(const std::string& source_path, const std::string& copy_path, const FileStatus& source,
            const std::set<FileIdentity>& protect);

  // Writes the map of `source_path`'s copy, or removes an older one (`text` empty).
  void SaveMap(const std::string& source_path, const std::string& text);

  // Replaces ".salvorine/report.tsv"; returns its path.
  std::string SaveReport(const std::string& text);

 private:
  // The folders entered last below one root; depth-first runs reuse them.
  struct Chain {
    std::vector<std::pair<std::string, FolderHandle>> entered;
    const FolderHandle& Enter(const FolderHandle& root, const std::vector<std::string>& folders,
                              const std::function<unsigned(std::size_t level)>& mode);
  };

  std::string Relative(const std::string& source_path) const;
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
