#include "recovery/working_folder.h"

#include "platform/file_system.h"

namespace salvorine {

std::string FileNameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string WorkingFolder() {
  std::string temp = TempPath();
  if (!temp.empty() && temp.back() == '/') temp.pop_back();
  const std::string folder = temp + "/TMP654";
  EnsurePrivateFolder(folder);
  return folder;
}

std::string RecoveredCopyPath(int row, const std::string& source_path) {
  const std::string name = FileNameOf(source_path);
  const auto dot = name.rfind('.');
  return WorkingFolder() + "/" + std::to_string(row) + (dot == std::string::npos ? "" : name.substr(dot));
}

void EmptyWorkingFolder() {
  const std::string folder = WorkingFolder();
  FolderSearch search;
  FolderEntry entry;
  for (bool found = search.FindFirst(folder, entry); found; found = search.FindNext(entry)) {
    if (entry.kind != EntryKind::kFolder) Delete(folder + "/" + entry.name);
  }
}

}  // namespace salvorine
