#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/file.h"
#include "platform/file_system_error.h"

namespace salvorine {
namespace {

EntryKind KindOf(const std::string& path) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0) return EntryKind::kOther;
  if (S_ISDIR(link.st_mode)) return EntryKind::kFolder;
  if (S_ISREG(link.st_mode)) return EntryKind::kFile;
  struct stat target {};
  if (S_ISLNK(link.st_mode) && ::stat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode)) {
    return EntryKind::kFile;
  }
  return EntryKind::kOther;
}

std::string Child(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

}  // namespace

bool FolderSearch::FindFirst(const std::string& folder, FolderEntry& entry) {
  entries_.clear();
  next_ = 0;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) return false;
  while (const dirent* item = ::readdir(dir.get())) {
    const std::string name = item->d_name;
    if (name == "." || name == "..") continue;
    entries_.push_back({name, KindOf(Child(folder, name))});
  }
  std::sort(entries_.begin(), entries_.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return FindNext(entry);
}

bool FolderSearch::FindNext(FolderEntry& entry) {
  if (next_ >= entries_.size()) return false;
  entry = entries_[next_++];
  return true;
}

bool FileExists(const std::string& path) {
  struct stat status {};
  return !path.empty() && ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat status {};
  return !path.empty() && ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

void MakeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) != 0) throw FileSystemError(errno, path, "create folder");
}

bool Delete(const std::string& path) { return ::unlink(path.c_str()) == 0; }

std::string TempPath() {
  const char* tmpdir = std::getenv("TMPDIR");
  return tmpdir != nullptr && *tmpdir != '\0' ? std::string(tmpdir) : std::string("/tmp");
}

int DriveTypeFromMounts(const std::string& path, const std::string& mounts_text) {
  std::istringstream lines(mounts_text);
  std::string device, mount_point, type, line;
  std::size_t best_length = 0;
  bool best_is_optical = false;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    if (!(fields >> device >> mount_point >> type)) continue;
    // /proc/self/mounts writes blanks in mount points as octal escapes.
    for (std::size_t at; (at = mount_point.find("\\040")) != std::string::npos;) {
      mount_point.replace(at, 4, " ");
    }
    const bool prefixes = mount_point == "/" ||
                          (path.compare(0, mount_point.size(), mount_point) == 0 &&
                           (path.size() == mount_point.size() || path[mount_point.size()] == '/'));
    if (!prefixes || mount_point.size() < best_length) continue;
    best_length = mount_point.size();
    best_is_optical = device.starts_with("/dev/sr") || device.starts_with("/dev/scd") ||
                      device.starts_with("/dev/cdrom") || type == "iso9660" || type == "udf";
  }
  return best_is_optical ? kDriveCdRom : 0;
}

int DriveType(const std::string& path) {
  std::ifstream mounts("/proc/self/mounts");
  std::stringstream text;
  text << mounts.rdbuf();
  return DriveTypeFromMounts(path, text.str());
}

std::string ProgramFolder() {
  std::string buffer(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0) throw FileSystemError(errno, "/proc/self/exe", "read");
  buffer.resize(static_cast<std::size_t>(length));
  const auto slash = buffer.rfind('/');
  return slash == 0 ? std::string("/") : buffer.substr(0, slash);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first {}, second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

void SaveCopy(const std::string& from, const std::string& to, const std::string& time_source) {
  if (SameFile(to, time_source)) throw FileSystemError(EEXIST, to, "save over the source file");
  struct stat source {};
  if (::stat(time_source.c_str(), &source) != 0) throw FileSystemError(errno, time_source, "read the time of");

  CopyFileContents(from, to);

  const timespec times[2] = {{0, UTIME_OMIT}, source.st_mtim};
  if (::utimensat(AT_FDCWD, to.c_str(), times, 0) != 0) throw FileSystemError(errno, to, "set the time of");
}

}  // namespace salvorine

namespace salvorine {

void EnsurePrivateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) == 0) return SetHidden(path);
  if (errno != EEXIST) throw FileSystemError(errno, path, "create folder");
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) throw FileSystemError(errno, path, "use folder");
  if (!S_ISDIR(status.st_mode)) throw FileSystemError(ENOTDIR, path, "use working folder, which is not a real folder,");
  if (status.st_uid != ::geteuid()) throw FileSystemError(EPERM, path, "use working folder owned by another user,");
  // Nobody else may create entries in it (a planted link would redirect a copy).
  if ((status.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0) throw FileSystemError(errno, path, "protect folder");
}

bool IdentityOf(const std::string& path, FileIdentity& identity) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return false;
  identity = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
  return true;
}

}  // namespace salvorine
