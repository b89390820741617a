#include "recovery/destination_path.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/file_system.h"
#include "platform/file_system_error.h"
#include "recovery/working_folder.h"

namespace salvorine {

std::string MirroredRelativePath(const std::string& source_path, const std::string& selection_root,
                                 bool root_is_file) {
  if (selection_root.size() > 1 && selection_root.back() == '/') {
    return MirroredRelativePath(source_path, selection_root.substr(0, selection_root.size() - 1), root_is_file);
  }
  if (root_is_file) return FileNameOf(source_path);
  // The root "/" has no last component; "/media/cd" has "cd".
  const auto slash = selection_root.rfind('/');
  const std::string name = slash == std::string::npos ? std::string() : selection_root.substr(slash + 1);
  std::string rest = source_path.substr(std::min(selection_root.size(), source_path.size()));
  if (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
  return name.empty() ? rest : name + "/" + rest;
}

std::string MirroredPath(const std::string& source_path, const std::string& selection_root,
                         const std::string& save_folder) {
  if (save_folder.empty()) return {};
  const std::string dest = save_folder.back() == '/' ? save_folder : save_folder + "/";
  return dest + MirroredRelativePath(source_path, selection_root, FileExists(selection_root));
}

std::string MapFileName(const std::string& name) {
  constexpr std::size_t kLongestName = 255;
  const std::string extension = ".map";
  if (name.size() + extension.size() <= kLongestName) return name + extension;
  std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a
  for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  std::size_t kept = kLongestName - extension.size() - 1 - 16;
  // Not in the middle of a character: back up over continuation bytes.
  while (kept > 0 && (static_cast<unsigned char>(name[kept]) & 0xC0) == 0x80) --kept;
  return name.substr(0, kept) + "~" + hex + extension;
}

std::string DestinationPath(const std::string& source_path, const std::string& selection_root,
                            const std::string& save_folder) {
  const std::string result = MirroredPath(source_path, selection_root, save_folder);
  for (std::size_t slash = result.find('/', 1); slash != std::string::npos; slash = result.find('/', slash + 1)) {
    const std::string folder = result.substr(0, slash + 1);
    if (!FolderExists(folder)) MakeFolder(folder);
  }
  return result;
}

std::string Destination::FolderKey() const {
  std::string key;
  for (const std::string& folder : folders) key += folder + "/";
  return key;
}

Destination ResolveDestination(const std::string& save_folder, const std::string& relative) {
  Destination destination;
  for (std::size_t start = 0; start <= relative.size();) {
    const std::size_t slash = std::min(relative.find('/', start), relative.size());
    if (slash > start) destination.folders.push_back(relative.substr(start, slash - start));
    start = slash + 1;
  }
  destination.copy_path = save_folder + "/" + relative;
  if (destination.folders.empty() || destination.folders.back() == "." || destination.folders.back() == "..") {
    throw FileSystemError(EINVAL, destination.copy_path, "save a file without a name as");
  }
  destination.name = destination.folders.back();
  destination.own_name = destination.name;
  destination.folders.pop_back();
  destination.map_path = destination.MapPathIn(save_folder);
  return destination;
}

std::string NumberedName(const std::string& name, int number) {
  // The extension is what follows the last dot, unless that dot leads the name (".profile").
  const auto dot = name.rfind('.');
  const std::size_t stem = dot == std::string::npos || dot == 0 ? name.size() : dot;
  const std::string suffix = " (" + std::to_string(number) + ")" + name.substr(stem);
  // The name must still fit the file system's limit: the stem gives way, never in the middle of a character.
  constexpr std::size_t kMaxName = 255;
  std::size_t kept = std::min(stem, kMaxName > suffix.size() ? kMaxName - suffix.size() : 0);
  while (kept > 0 && kept < stem && (static_cast<unsigned char>(name[kept]) & 0xC0) == 0x80) --kept;
  return name.substr(0, kept) + suffix;
}

Destination Destination::SavedAs(const std::string& save_folder, const std::string& saved_name) const {
  Destination saved = *this;
  saved.name = saved_name;
  saved.copy_path = copy_path.substr(0, copy_path.rfind('/') + 1) + saved_name;
  saved.map_path = saved.MapPathIn(save_folder);
  return saved;
}

std::string Destination::MapPathIn(const std::string& save_folder) const {
  return save_folder + "/" + kDataFolderName + "/" + kMapsFolderName + "/" + FolderKey() + MapName();
}

std::string ReportPathIn(const std::string& save_folder) {
  const std::string folder = save_folder.empty() || save_folder.back() == '/' ? save_folder : save_folder + "/";
  return folder + kDataFolderName + "/" + kReportFileName;
}

std::string MirroredMapPath(const std::string& source_path, const std::string& selection_root,
                            const std::string& save_folder) {
  const std::string folder = save_folder.empty() || save_folder.back() == '/' ? save_folder : save_folder + "/";
  const std::string mirrored =
      MirroredPath(source_path, selection_root, folder + kDataFolderName + "/" + kMapsFolderName + "/");
  const std::size_t name = mirrored.rfind('/') + 1;
  return mirrored.substr(0, name) + MapFileName(mirrored.substr(name));
}

}  // namespace salvorine
