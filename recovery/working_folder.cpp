#include "recovery/working_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_system.h"

namespace salvorine {
namespace {

constexpr std::size_t kMaxNameLength = 255;

// The working folder this process holds: its path, the descriptor that keeps
// its lock, and the temporary folder it was found under.
struct HeldFolder {
  std::string base;
  std::string path;
  int lock_fd = -1;

  bool Holds(const std::string& wanted_base) const {
    struct stat status {};
    // A folder removed behind our back has no links left; take a new one then.
    return lock_fd >= 0 && base == wanted_base && ::fstat(lock_fd, &status) == 0 && status.st_nlink > 0;
  }

  void Release() {
    if (lock_fd >= 0) ::close(lock_fd);
    lock_fd = -1;
    path.clear();
  }
};

HeldFolder held;

// TMP654, or TMP654-2, TMP654-3... when other programs hold those: the first
// one this process can lock, so two programs never share their copies.
void Hold(const std::string& base) {
  held.Release();
  for (int number = 1;; ++number) {
    const std::string candidate = base + "/TMP654" + (number == 1 ? "" : "-" + std::to_string(number));
    EnsurePrivateFolder(candidate);
    const int fd = LockFolder(candidate);
    if (fd < 0) continue;
    held = {base, candidate, fd};
    return;
  }
}

}  // namespace

std::string FileNameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string WorkingFolder() {
  std::string base = TempPath();
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  if (held.Holds(base)) return held.path;
  if (!FolderExists(base)) MakeFolderChain(base);
  Hold(base);
  return held.path;
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
