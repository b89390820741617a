#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string_view>

#include "platform/file.h"
#include "platform/file_system_error.h"

namespace salvorine {
namespace {

// What a symbolic link leads to, following it.
EntryKind LinkKind(const std::string& path, int& error) {
  struct stat target {};
  if (::stat(path.c_str(), &target) != 0) {
    error = errno;
    return errno == ENOENT ? EntryKind::kBrokenLink : EntryKind::kUnreadable;
  }
  if (S_ISREG(target.st_mode)) return EntryKind::kFile;
  return S_ISDIR(target.st_mode) ? EntryKind::kFolderLink : EntryKind::kSpecial;
}

EntryKind KindOfMode(mode_t mode) {
  if (S_ISDIR(mode)) return EntryKind::kFolder;
  if (S_ISREG(mode)) return EntryKind::kFile;
  return EntryKind::kSpecial;
}

// The directory entry's type saves a stat for every plain file and folder.
EntryKind KindOf(const std::string& path, unsigned char type, int& error) {
  switch (type) {
    case DT_DIR: return EntryKind::kFolder;
    case DT_REG: return EntryKind::kFile;
    case DT_LNK: return LinkKind(path, error);
    case DT_UNKNOWN: break;
    default: return EntryKind::kSpecial;
  }
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0) {
    error = errno;
    return EntryKind::kUnreadable;
  }
  return S_ISLNK(link.st_mode) ? LinkKind(path, error) : KindOfMode(link.st_mode);
}

std::string Child(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

}  // namespace

bool FolderSearch::FindFirst(const std::string& folder, FolderEntry& entry) {
  entries_.clear();
  next_ = 0;
  error_ = 0;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) {
    error_ = errno;
    return false;
  }
  for (;;) {
    errno = 0;
    const dirent* item = ::readdir(dir.get());
    if (item == nullptr) {
      error_ = errno;
      break;
    }
    const std::string name = item->d_name;
    if (name == "." || name == "..") continue;
    FolderEntry found{name};
    found.kind = KindOf(Child(folder, name), item->d_type, found.error);
    entries_.push_back(std::move(found));
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

void MakeFolderUnlessPresent(const std::string& path, unsigned mode) {
  std::string folder = path;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (::mkdir(folder.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) {
    throw FileSystemError(errno, path, "create folder");
  }
}

bool Delete(const std::string& path) { return ::unlink(path.c_str()) == 0; }

void RemoveFileIfPresent(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) throw FileSystemError(errno, path, "remove");
}

std::optional<unsigned> PermissionsOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return static_cast<unsigned>(status.st_mode) & 07777;
}

bool MayWriteInto(const std::string& path) {
  // faccessat with the effective IDs also sees a read-only mount.
  return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

std::string UnescapedMountPoint(const std::string& field) {
  static constexpr std::string_view kBlank = "\\040";
  std::string path;
  path.reserve(field.size());
  for (std::size_t at = 0; at < field.size();) {
    if (field.compare(at, kBlank.size(), kBlank) == 0) {
      path.push_back(' ');
      at += kBlank.size();
    } else {
      path.push_back(field[at++]);
    }
  }
  return path;
}

int DriveTypeFromMounts(const std::string& path, const std::string& mounts_text) {
  std::istringstream lines(mounts_text);
  std::string device, mount_point, type, line;
  std::size_t best_length = 0;
  bool best_is_optical = false;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    if (!(fields >> device >> mount_point >> type)) continue;
    mount_point = UnescapedMountPoint(mount_point);
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

std::string ResolvedPath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, error);
  return error ? std::string() : resolved.string();
}

unsigned CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("Umask:")) return static_cast<unsigned>(std::stoul(line.substr(6), nullptr, 8));
  }
  return 022;  // kernels before 4.7 do not show it; the usual value
}

}  // namespace salvorine
