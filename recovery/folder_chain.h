#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/folder_handle.h"

namespace salvorine {

// The folders entered last below one root, so that a depth-first run reuses
// them instead of walking down from the root for every file. Only the first
// kHeldLevels levels and the deepest one stay open: a tree a thousand levels
// deep costs a bounded number of descriptors, and a level let go is opened
// again from the nearest open one above it when a later file needs it.
class FolderChain {
 public:
  static constexpr std::size_t kHeldLevels = 32;

  // The folders Enter made ("a/b/"), which hold only what was placed in them since.
  std::set<std::string> created;

  // The folder `folders` below `root`, each missing level created with
  // `mode(level)`. Raises FileSystemError as FolderHandle::Subfolder does.
  const FolderHandle& Enter(const FolderHandle& root, const std::vector<std::string>& folders,
                            const std::function<unsigned(std::size_t level)>& mode);
  // The folder `folders` below `root` when every level exists, creating
  // nothing; null otherwise.
  const FolderHandle* Find(const FolderHandle& root, const std::vector<std::string>& folders);

 private:
  // Opens the levels from the nearest open one above `kept` down to it again.
  void Reopen(const FolderHandle& root, std::size_t kept, const std::function<unsigned(std::size_t level)>& mode);
  void Open(const FolderHandle& root, std::size_t level, const std::function<unsigned(std::size_t level)>& mode);

  std::vector<std::pair<std::string, std::optional<FolderHandle>>> entered_;
};

}  // namespace salvorine
