#include "recovery/save_tree.h"

#include <sys/stat.h>

#include "platform/file_system.h"
#include "platform/file_system_error.h"
#include "recovery/destination_path.h"

namespace salvorine {
namespace {

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  for (std::size_t start = 0; start <= path.size();) {
    const std::size_t slash = std::min(path.find('/', start), path.size());
    if (slash > start) parts.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return parts;
}

std::string ParentOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A saved folder keeps its source folder's permissions, but its owner can always enter and write it.
unsigned FolderMode(const std::string& source_folder) {
  struct stat status {};
  if (::stat(source_folder.c_str(), &status) != 0) return 0777;
  return (static_cast<unsigned>(status.st_mode) & 0777) | 0700;
}

}  // namespace

SaveTree::SaveTree(const std::string& save_folder, std::string selection_root)
    : save_folder_(save_folder),
      selection_root_(std::move(selection_root)),
      root_is_file_(FileExists(selection_root_)),
      umask_(CurrentUmask()) {}

std::string SaveTree::DestinationOf(const std::string& source_path) const {
  return save_folder_.Path() + "/" + MirroredRelativePath(source_path, selection_root_, root_is_file_);
}

const FolderHandle& SaveTree::FolderFor(const std::vector<std::string>& folders, const std::string& source_folder) {
  std::size_t kept = 0;
  while (kept < chain_.size() && kept < folders.size() && chain_[kept].first == folders[kept]) ++kept;
  chain_.erase(chain_.begin() + static_cast<std::ptrdiff_t>(kept), chain_.end());
  for (std::size_t level = kept; level < folders.size(); ++level) {
    // The source folder that level `level` mirrors: the destination's folders are the source folder's last ones.
    std::string mirrored = source_folder;
    for (std::size_t up = level + 1; up < folders.size(); ++up) mirrored = ParentOf(mirrored);
    const FolderHandle& parent = level == 0 ? save_folder_ : chain_.back().second;
    chain_.emplace_back(folders[level], parent.Subfolder(folders[level], FolderMode(mirrored)));
  }
  return folders.empty() ? save_folder_ : chain_.back().second;
}

void SaveTree::Save(const std::string& source_path, const std::string& copy_path, const FileStatus& source,
                    const std::set<FileIdentity>& protect) {
  std::vector<std::string> parts = Components(MirroredRelativePath(source_path, selection_root_, root_is_file_));
  if (parts.empty() || parts.back() == "." || parts.back() == "..") throw FileSystemError(EINVAL, save_folder_.Path(), "save a file without a name into");
  const std::string name = parts.back();
  parts.pop_back();
  const FolderHandle& folder = FolderFor(parts, ParentOf(source_path));
  folder.PlaceFile(name, copy_path, source.mode & 0777 & ~umask_, source, protect);
}

}  // namespace salvorine
