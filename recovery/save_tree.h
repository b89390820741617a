#pragma once

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
// permissions (with the umask, and always open to their owner).
class SaveTree {
 public:
  // Opens the save folder, which must exist.
  SaveTree(const std::string& save_folder, std::string selection_root);

  // The destination of `source_path` (a path, for messages).
  std::string DestinationOf(const std::string& source_path) const;

  // Saves the closed copy `copy_path` of `source_path` (whose status was
  // `source`) at its destination with the source's permissions under the
  // umask and its modification time. Never replaces a file of `protect`.
  // Raises FileSystemError naming the failing path.
  void Save(const std::string& source_path, const std::string& copy_path, const FileStatus& source,
            const std::set<FileIdentity>& protect);

 private:
  const FolderHandle& FolderFor(const std::vector<std::string>& folders, const std::string& source_folder);

  FolderHandle save_folder_;
  std::string selection_root_;
  bool root_is_file_;
  unsigned umask_;
  // The folders entered last, from the save folder down; depth-first runs reuse them.
  std::vector<std::pair<std::string, FolderHandle>> chain_;
};

}  // namespace salvorine
