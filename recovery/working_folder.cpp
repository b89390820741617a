#include "recovery/working_folder.h"

#include "platform/file_system.h"

namespace salvorine {
namespace {

constexpr std::size_t kMaxNameLength = 255;

}  // namespace

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
  const std::string number = std::to_string(row);
  std::string extension = dot == std::string::npos ? "" : name.substr(dot);
  // A name longer than the file system allows would fail the whole run.
  if (number.size() + extension.size() > kMaxNameLength) extension.clear();
  return WorkingFolder() + "/" + number + extension;
}

void EmptyWorkingFolder(const std::string& keep) {
  const std::string folder = WorkingFolder();
  FolderSearch search;
  FolderEntry entry;
  for (bool found = search.FindFirst(folder, entry); found; found = search.FindNext(entry)) {
    const std::string path = folder + "/" + entry.name;
    if (entry.kind != EntryKind::kFolder && path != keep) Delete(path);
  }
}

}  // namespace salvorine
