#include "recovery/folder_chain.h"

namespace salvorine {

void FolderChain::Open(const FolderHandle& root, std::size_t level,
                       const std::function<unsigned(std::size_t level)>& mode) {
  const FolderHandle& parent = level == 0 ? root : *entered_[level - 1].second;
  bool made = false;
  entered_[level].second = parent.Subfolder(entered_[level].first, mode(level), &made);
  if (made) {
    std::string joined;
    for (std::size_t up = 0; up <= level; ++up) joined += entered_[up].first + "/";
    created.insert(joined);
  }
  // The parent stays open only among the first levels; deeper ones are opened again when needed.
  if (level > 0 && level - 1 >= kHeldLevels) entered_[level - 1].second.reset();
}

const FolderHandle& FolderChain::Enter(const FolderHandle& root, const std::vector<std::string>& folders,
                                       const std::function<unsigned(std::size_t level)>& mode) {
  std::size_t kept = 0;
  while (kept < entered_.size() && kept < folders.size() && entered_[kept].first == folders[kept]) ++kept;
  entered_.erase(entered_.begin() + static_cast<std::ptrdiff_t>(kept), entered_.end());
  if (folders.empty()) return root;
  Reopen(root, kept, mode);
  for (std::size_t level = kept; level < folders.size(); ++level) {
    entered_.emplace_back(folders[level], std::nullopt);
    Open(root, level, mode);
  }
  return *entered_.back().second;
}

// The deepest level kept may have been let go when a deeper one was entered.
void FolderChain::Reopen(const FolderHandle& root, std::size_t kept,
                         const std::function<unsigned(std::size_t level)>& mode) {
  std::size_t open = kept;
  while (open > 0 && !entered_[open - 1].second) --open;
  for (std::size_t level = open; level < kept; ++level) Open(root, level, mode);
}

const FolderHandle* FolderChain::Find(const FolderHandle& root, const std::vector<std::string>& folders) {
  std::size_t kept = 0;
  while (kept < entered_.size() && kept < folders.size() && entered_[kept].first == folders[kept]) ++kept;
  entered_.erase(entered_.begin() + static_cast<std::ptrdiff_t>(kept), entered_.end());
  if (folders.empty()) return &root;
  // Levels kept were entered (created or found) before, so opening them again creates nothing.
  Reopen(root, kept, [](std::size_t) { return 0700u; });
  for (std::size_t level = kept; level < folders.size(); ++level) {
    const FolderHandle& parent = level == 0 ? root : *entered_[level - 1].second;
    std::optional<FolderHandle> next = parent.ExistingSubfolder(folders[level]);
    if (!next) return nullptr;
    entered_.emplace_back(folders[level], std::move(next));
    if (level > 0 && level - 1 >= kHeldLevels) entered_[level - 1].second.reset();
  }
  return &*entered_.back().second;
}

}  // namespace salvorine
