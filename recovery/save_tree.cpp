#include "recovery/save_tree.h"

#include <sys/stat.h>

#include "platform/file_system.h"
#include "platform/file_system_error.h"
#include "recovery/destination_path.h"
#include "recovery/map_file.h"

namespace salvorine {
namespace {

constexpr const char* kDataFolder = ".salvorine";
constexpr const char* kMapsFolder = "maps";
constexpr const char* kReportName = "report.tsv";

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

// The folders and the name of a relative path; raises when it has no usable name.
std::pair<std::vector<std::string>, std::string> Split(const std::string& relative, const std::string& shown) {
  std::vector<std::string> parts = Components(relative);
  if (parts.empty() || parts.back() == "." || parts.back() == "..") {
    throw FileSystemError(EINVAL, shown, "save a file without a name as");
  }
  std::string name = parts.back();
  parts.pop_back();
  return {parts, name};
}

}  // namespace

SaveTree::SaveTree(const std::string& save_folder, std::string selection_root)
    : save_folder_(save_folder),
      selection_root_(std::move(selection_root)),
      root_is_file_(FileExists(selection_root_)),
      umask_(CurrentUmask()) {
  if (auto data = save_folder_.ExistingSubfolder(kDataFolder)) earlier_maps_ = data->ExistingSubfolder(kMapsFolder);
}

std::string SaveTree::Relative(const std::string& source_path) const {
  return MirroredRelativePath(source_path, selection_root_, root_is_file_);
}

std::string SaveTree::DestinationOf(const std::string& source_path) const {
  return save_folder_.Path() + "/" + Relative(source_path);
}

std::string SaveTree::MapPathOf(const std::string& source_path) const {
  const std::string relative = Relative(source_path);
  const auto slash = relative.rfind('/');
  const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  return save_folder_.Path() + "/" + kDataFolder + "/" + kMapsFolder + "/" + relative.substr(0, name_start) +
         MapFileName(relative.substr(name_start));
}

bool SaveTree::Save(const std::string& source_path, const std::string& copy_path, const FileStatus& source,
                    const std::set<FileIdentity>& protect, bool finished) {
  const auto [folders, name] = Split(Relative(source_path), DestinationOf(source_path));
  // The destination's folders are the source folder's last ones: level `level` mirrors this source folder.
  const std::string source_folder = ParentOf(source_path);
  const auto mode = [&](std::size_t level) {
    std::string mirrored = source_folder;
    for (std::size_t up = level + 1; up < folders.size(); ++up) mirrored = ParentOf(mirrored);
    return FolderMode(mirrored);
  };
  const FolderHandle& folder = copies_.Enter(save_folder_, folders, mode);
  return folder.PlaceFile(name, copy_path, finished ? source.mode & 0777 & ~umask_ : 0600, source, protect);
}

const FolderHandle& SaveTree::MapsFolder() {
  if (!maps_) maps_ = save_folder_.Subfolder(kDataFolder, 0777).Subfolder(kMapsFolder, 0777);
  return *maps_;
}

void SaveTree::SaveMap(const std::string& source_path, const std::string& text) {
  const auto [folders, name] = Split(Relative(source_path), MapPathOf(source_path));
  if (!text.empty()) {
    const FolderHandle& folder = maps_chain_.Enter(MapsFolder(), folders, [](std::size_t) { return 0777u; });
    return folder.WriteFile(MapFileName(name), text);
  }
  // A whole copy has no map: remove one an earlier run or a checkpoint left, creating nothing on the way.
  const FolderHandle* maps = maps_ ? &*maps_ : earlier_maps_ ? &*earlier_maps_ : nullptr;
  if (maps == nullptr) return;
  if (const auto folder = Existing(*maps, folders)) folder->RemoveFile(MapFileName(name));
}

std::optional<FolderHandle> SaveTree::Existing(const FolderHandle& root, const std::vector<std::string>& folders) {
  std::optional<FolderHandle> folder = root.ExistingSubfolder(".");
  for (const std::string& part : folders) {
    if (!folder) return std::nullopt;
    folder = folder->ExistingSubfolder(part);
  }
  return folder;
}

std::optional<SaveTree::EarlierCopy> SaveTree::OpenEarlierCopy(const std::string& source_path, std::int64_t size,
                                                               const std::set<FileIdentity>& protect) {
  if (!earlier_maps_) return std::nullopt;
  const auto [folders, name] = Split(Relative(source_path), DestinationOf(source_path));
  const auto maps = Existing(*earlier_maps_, folders);
  const auto copies = Existing(save_folder_, folders);
  if (!maps || !copies) return std::nullopt;
  const std::unique_ptr<File> map_file = maps->OpenExistingFile(MapFileName(name));
  if (!map_file || map_file->Status().size > kLongestMapFile) return std::nullopt;
  std::string text;
  char buffer[1 << 16];
  for (ReadResult got; (got = map_file->Read(buffer, sizeof buffer)).ok && got.count > 0;) text.append(buffer, got.count);
  map_file->Close();
  std::optional<RescueMap> map = ParseMapFile(text, size);
  if (!map) return std::nullopt;
  std::unique_ptr<File> copy = copies->OpenExistingFile(name);
  if (!copy) return std::nullopt;
  const FileStatus status = copy->Status();
  if (status.size != size || protect.contains(status.identity)) return std::nullopt;
  return EarlierCopy{std::move(copy), std::move(*map)};
}

std::unique_ptr<File> SaveTree::OpenSavedCopy(const std::string& source_path) {
  const auto [folders, name] = Split(Relative(source_path), DestinationOf(source_path));
  const auto folder = Existing(save_folder_, folders);
  return folder ? folder->OpenExistingFile(name) : nullptr;
}

bool SaveTree::LinkCopy(const std::string& source_path, const std::string& path) {
  const auto [folders, name] = Split(Relative(source_path), DestinationOf(source_path));
  const auto folder = Existing(save_folder_, folders);
  return folder && folder->LinkOut(name, path);
}

std::string SaveTree::SaveReport(const std::string& text) {
  save_folder_.Subfolder(kDataFolder, 0777).WriteFile(kReportName, text);
  return save_folder_.Path() + "/" + kDataFolder + "/" + kReportName;
}

}  // namespace salvorine
