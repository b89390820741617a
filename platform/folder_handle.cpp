#include "platform/folder_handle.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <utility>

#include "platform/file_system_error.h"

namespace salvorine {
namespace {

int Retrying(auto call) {
  int result;
  do {
    result = call();
  } while (result < 0 && errno == EINTR);
  return result;
}

// Closes a descriptor when it goes out of scope.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

// Copies everything of `from` to `to`, inside the kernel where the file systems allow it.
void CopyDescriptor(int from, int to, const std::string& from_path, const std::string& to_path) {
  for (;;) {
    const ssize_t copied = ::copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
    if (copied > 0) continue;
    if (copied == 0) return;
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
      throw FileSystemError(errno, to_path, "copy to");
    }
    break;
  }
  // Between file systems of different kinds: sendfile still copies inside the kernel.
  for (;;) {
    const ssize_t sent = ::sendfile(to, from, nullptr, 1 << 30);
    if (sent > 0) continue;
    if (sent == 0) return;
    if (errno == EINTR) continue;
    if (errno != EINVAL && errno != ENOSYS) throw FileSystemError(errno, to_path, "copy to");
    break;
  }
  // Nothing in the kernel copies these: go on through a buffer from where it stopped.
  static constexpr std::size_t kChunk = 1 << 20;
  const auto buffer = std::make_unique<unsigned char[]>(kChunk);
  for (;;) {
    const ssize_t got = ::read(from, buffer.get(), kChunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw FileSystemError(errno, from_path, "read");
    if (got == 0) return;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(to, buffer.get() + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) throw FileSystemError(put == 0 ? ENOSPC : errno, to_path, "write to");
      done += put;
    }
  }
}

timespec ModifiedTime(const FileStatus& status) {
  return {static_cast<time_t>(status.modified_seconds), static_cast<long>(status.modified_nanoseconds)};
}

}  // namespace

FolderHandle::FolderHandle(const std::string& path) : path_(path) {
  while (path_.size() > 1 && path_.back() == '/') path_.pop_back();
  fd_ = Retrying([&] { return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  if (fd_ < 0) throw FileSystemError(errno, path, "open folder");
}

FolderHandle::~FolderHandle() {
  if (fd_ >= 0) ::close(fd_);
}

FolderHandle::FolderHandle(FolderHandle&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) {
  other.fd_ = -1;
}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    other.fd_ = -1;
  }
  return *this;
}

FolderHandle FolderHandle::Subfolder(const std::string& name, unsigned mode, bool* created) const {
  const std::string shown = PathOf(name);
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
    throw FileSystemError(EINVAL, shown, "use folder name");
  }
  const auto open = [&] {
    return Retrying([&] { return ::openat(fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); });
  };
  int fd = open();
  if (created != nullptr) *created = false;
  if (fd < 0 && errno == ENOENT) {
    const bool made = ::mkdirat(fd_, name.c_str(), static_cast<mode_t>(mode)) == 0;
    if (!made && errno != EEXIST) throw FileSystemError(errno, shown, "create folder");
    if (created != nullptr) *created = made;
    fd = open();
  }
  if (fd < 0 && (errno == ELOOP || errno == ENOTDIR)) {
    struct stat status {};
    const bool link = ::fstatat(fd_, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode);
    throw FileSystemError(errno, shown, link ? "save through the symbolic link" : "save into");
  }
  if (fd < 0) throw FileSystemError(errno, shown, "open folder");
  return FolderHandle(fd, shown);
}

std::optional<FolderHandle> FolderHandle::ExistingSubfolder(const std::string& name) const {
  const int fd = Retrying([&] { return ::openat(fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); });
  if (fd >= 0) return FolderHandle(fd, PathOf(name));
  // A file or a link where the folder would be: no such folder here (saving there refuses it).
  if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP || errno == ENAMETOOLONG || errno == EINVAL ||
      errno == EILSEQ) {
    return std::nullopt;
  }
  throw FileSystemError(errno, PathOf(name), "open folder");
}

std::optional<FolderHandle> FolderHandle::ExistingBelow(const std::vector<std::string>& folders) const {
  std::optional<FolderHandle> folder = ExistingSubfolder(".");
  for (const std::string& part : folders) {
    if (!folder) return std::nullopt;
    folder = folder->ExistingSubfolder(part);
  }
  return folder;
}

std::optional<std::string> FolderHandle::ReadSmallFile(const std::string& name, std::int64_t limit) const {
  const std::unique_ptr<File> file = OpenExistingForReading(name);
  if (!file || file->Status().size > limit) return std::nullopt;
  std::string text;
  char buffer[1 << 16];
  for (;;) {
    const ReadResult got = file->Read(buffer, sizeof buffer);
    if (!got.ok) throw FileSystemError(got.error, file->Path(), "read");
    if (got.count == 0) break;
    text.append(buffer, got.count);
  }
  file->Close();
  return text;
}

FolderHandle FolderHandle::PrivateSubfolder(const std::string& name) const {
  constexpr const char* kRefused = "use the private folder";
  const std::string shown = PathOf(name);
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
    throw FileSystemError(EINVAL, shown, "use folder name");
  }
  // mkdir never follows a link in place of the name: it finds the name taken.
  if (::mkdirat(fd_, name.c_str(), 0700) != 0 && errno != EEXIST) throw FileSystemError(errno, shown, "create folder");
  const int fd =
      Retrying([&] { return ::openat(fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); });
  if (fd < 0) throw FileSystemError(errno, shown, errno == ELOOP || errno == ENOTDIR ? kRefused : "open folder");
  FolderHandle folder(fd, shown);
  struct stat status {};
  if (::fstat(folder.fd_, &status) != 0) throw FileSystemError(errno, shown, "open folder");
  if (status.st_uid != ::geteuid()) throw FileSystemError(EPERM, shown, kRefused);
  // Nobody else may create entries in it: a planted link or file would be taken for ours.
  if ((status.st_mode & 077) != 0 && ::fchmod(folder.fd_, 0700) != 0) {
    throw FileSystemError(errno, folder.path_, "protect folder");
  }
  return folder;
}

std::unique_ptr<File> FolderHandle::CreateNewFile(const std::string& name) const {
  const auto create = [&] {
    return Retrying([&] {
      return ::openat(fd_, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    });
  };
  int fd = create();
  if (fd < 0 && errno == EEXIST) {
    // Never emptied in place: an older file of this name may have other names in a save folder.
    if (::unlinkat(fd_, name.c_str(), 0) != 0 && errno != ENOENT) throw FileSystemError(errno, PathOf(name), "replace");
    fd = create();
  }
  if (fd < 0) throw FileSystemError(errno, PathOf(name), "create");
  return FileOfDescriptor(fd, PathOf(name));
}

void FolderHandle::RemoveFiles() const {
  for (const std::string& name : Names()) {
    struct stat status {};
    if (::fstatat(fd_, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) continue;
      throw FileSystemError(errno, PathOf(name), "examine");
    }
    if (!S_ISDIR(status.st_mode)) RemoveFile(name);
  }
}

std::string FolderHandle::PathThroughHandle(const std::string& name) const {
  return "/proc/self/fd/" + std::to_string(fd_) + "/" + name;
}

void FolderHandle::WriteFile(const std::string& name, const std::string& content) const {
  WriteFile(name, [&content](const std::function<void(std::string_view)>& put) { put(content); });
}

void FolderHandle::WriteFile(const std::string& name, const ContentPieces& pieces) const {
  std::string temporary = TemporaryName();
  Descriptor output{-1};
  while ((output.fd = Retrying([&] {
            return ::openat(fd_, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
          })) < 0 &&
         errno == EEXIST) {
    temporary = TemporaryName();
  }
  if (output.fd < 0) throw FileSystemError(errno, PathOf(name), "create");
  const auto write_all = [&](std::string_view bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
      const ssize_t put = ::write(output.fd, bytes.data() + done, bytes.size() - done);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) throw FileSystemError(put == 0 ? ENOSPC : errno, PathOf(name), "write to");
      done += static_cast<std::size_t>(put);
    }
  };
  try {
    // Small pieces (a report's lines) go out gathered, a few writes in all.
    constexpr std::size_t kGathered = std::size_t{64} << 10;
    std::string gathered;
    pieces([&](std::string_view piece) {
      if (gathered.size() + piece.size() > kGathered) {
        write_all(gathered);
        gathered.clear();
      }
      if (piece.size() >= kGathered) write_all(piece);
      else gathered.append(piece);
    });
    write_all(gathered);
    // On disk before it replaces the old one: a map must not claim what a power cut took back.
    if (Retrying([&] { return ::fsync(output.fd); }) != 0) throw FileSystemError(errno, PathOf(name), "write to disk");
    if (::close(std::exchange(output.fd, -1)) != 0 && errno != EINTR) throw FileSystemError(errno, PathOf(name), "close");
    CheckReplaceable(name, {});
    if (::renameat(fd_, temporary.c_str(), fd_, name.c_str()) != 0) throw FileSystemError(errno, PathOf(name), "save");
  } catch (...) {
    ::unlinkat(fd_, temporary.c_str(), 0);
    throw;
  }
}

// Opens `name` for update through a descriptor that names the very file
// checked: a read-only copy of the current user's is made writable for its
// owner, and no link is followed on the way.
int FolderHandle::OpenOwnCopy(const std::string& name) const {
  const Descriptor path{Retrying([&] { return ::openat(fd_, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC); })};
  if (path.fd < 0) return -1;
  struct stat status {};
  if (::fstat(path.fd, &status) != 0) return -1;
  if (!S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) {
    errno = EACCES;
    return -1;
  }
  const std::string through = "/proc/self/fd/" + std::to_string(path.fd);
  if (::chmod(through.c_str(), (status.st_mode & 07777) | 0600) != 0) return -1;
  return Retrying([&] { return ::open(through.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC); });
}

// The file opened (without blocking) as `fd` when it is a regular one, then
// read and written blocking; null for anything else (a FIFO, a device).
std::unique_ptr<File> FolderHandle::RegularFileOf(int fd, const std::string& name) const {
  auto file = FileOfDescriptor(fd, PathOf(name));
  struct stat status {};
  if (::fstat(fd, &status) != 0) throw FileSystemError(errno, PathOf(name), "open");
  if (!S_ISREG(status.st_mode)) return nullptr;
  if (::fcntl(fd, F_SETFL, 0) != 0) throw FileSystemError(errno, PathOf(name), "open");
  return file;
}

std::unique_ptr<File> FolderHandle::OpenExistingFile(const std::string& name) const {
  int fd = Retrying([&] { return ::openat(fd_, name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); });
  if (fd < 0 && errno == EACCES) fd = OpenOwnCopy(name);
  if (fd < 0) {
    // A name too long for the file system names no file either.
    if (errno == ENOENT || errno == ENAMETOOLONG || errno == ELOOP || errno == EISDIR || errno == ENXIO ||
        errno == EINVAL || errno == EILSEQ) {
      return nullptr;
    }
    throw FileSystemError(errno, PathOf(name), "open");
  }
  return RegularFileOf(fd, name);
}

std::unique_ptr<File> FolderHandle::OpenExistingForReading(const std::string& name) const {
  const int fd = Retrying([&] { return ::openat(fd_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); });
  if (fd < 0) {
    if (errno == ENOENT || errno == ENAMETOOLONG || errno == ELOOP || errno == ENXIO || errno == EACCES ||
        errno == EINVAL || errno == EILSEQ) {
      return nullptr;
    }
    throw FileSystemError(errno, PathOf(name), "open");
  }
  return RegularFileOf(fd, name);
}

int FolderHandle::OpenRegularPath(const std::string& name) const {
  const int fd = Retrying([&] { return ::openat(fd_, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC); });
  if (fd < 0) return -1;
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    const int error = S_ISREG(status.st_mode) ? errno : EINVAL;
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

bool FolderHandle::LinkInto(const std::string& name, const FolderHandle& to, const std::string& to_name) const {
  const Descriptor file{OpenRegularPath(name)};
  if (file.fd < 0) {
    if (errno == ENOENT || errno == EINVAL || errno == ENAMETOOLONG) return false;
    throw FileSystemError(errno, PathOf(name), "open");
  }
  // Through the descriptor: the very file checked gets the new name, whatever its name leads to now.
  const std::string through = "/proc/self/fd/" + std::to_string(file.fd);
  if (::linkat(AT_FDCWD, through.c_str(), to.fd_, to_name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  if (errno == EXDEV || errno == EPERM || errno == EMLINK || errno == ENOTSUP || errno == ENOSYS) return false;
  throw FileSystemError(errno, to.PathOf(to_name), "create");
}

bool FolderHandle::RemoveFile(const std::string& name) const {
  if (::unlinkat(fd_, name.c_str(), 0) == 0) return true;
  if (errno != ENOENT && errno != ENAMETOOLONG) throw FileSystemError(errno, PathOf(name), "remove");
  return false;
}

bool FolderHandle::RemoveEmptySubfolder(const std::string& name) const {
  if (::unlinkat(fd_, name.c_str(), AT_REMOVEDIR) == 0) return true;
  if (errno != ENOENT && errno != ENOTEMPTY && errno != EEXIST) throw FileSystemError(errno, PathOf(name), "remove");
  return false;
}

void FolderHandle::Sync() const {
  if (Retrying([&] { return ::fsync(fd_); }) != 0 && errno != EINVAL) throw FileSystemError(errno, path_, "write to disk");
}

void FolderHandle::SyncFileSystem() const {
  if (::syncfs(fd_) != 0) throw FileSystemError(errno, path_, "write to disk");
}

bool FolderHandle::TryLock() const {
  const int result = Retrying([&] { return ::flock(fd_, LOCK_EX | LOCK_NB); });
  if (result == 0) return true;
  if (errno == EWOULDBLOCK) return false;
  throw FileSystemError(errno, path_, "lock folder");
}

std::uint64_t FolderHandle::LinkCountOf(const std::string& name) const {
  struct stat status {};
  if (::fstatat(fd_, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT || errno == ENAMETOOLONG || errno == EINVAL || errno == EILSEQ) return 0;
    throw FileSystemError(errno, PathOf(name), "examine");
  }
  return static_cast<std::uint64_t>(status.st_nlink);
}

std::vector<std::string> FolderHandle::Names() const {
  const int fd = Retrying([&] { return ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  if (fd < 0) throw FileSystemError(errno, path_, "read folder");
  DIR* folder = ::fdopendir(fd);
  if (folder == nullptr) {
    const int error = errno;
    ::close(fd);
    throw FileSystemError(error, path_, "read folder");
  }
  std::vector<std::string> names;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(folder);
    if (entry == nullptr) break;
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  const int error = errno;
  ::closedir(folder);
  if (error != 0) throw FileSystemError(error, path_, "read folder");
  return names;
}

std::optional<FileIdentity> FolderHandle::IdentityOf(const std::string& name) const {
  struct stat status {};
  if (::fstatat(fd_, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT || errno == ENAMETOOLONG || errno == EINVAL || errno == EILSEQ) return std::nullopt;
    throw FileSystemError(errno, PathOf(name), "examine");
  }
  return FileIdentity{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

bool FolderHandle::SetTimeIfSame(const std::string& name, const FileIdentity& identity,
                                 const FileStatus& modified) const {
  struct stat status {};
  if (::fstatat(fd_, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT || errno == ENAMETOOLONG || errno == EINVAL || errno == EILSEQ) return false;
    throw FileSystemError(errno, PathOf(name), "examine");
  }
  if (!S_ISREG(status.st_mode)) return false;
  if (FileIdentity{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)} != identity) {
    return false;
  }
  const timespec times[2] = {{0, UTIME_OMIT}, ModifiedTime(modified)};
  if (::utimensat(fd_, name.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
    throw FileSystemError(errno, PathOf(name), "set the time of");
  }
  return true;
}

std::string FolderHandle::TemporaryName() const {
  static std::atomic<unsigned> counter{0};
  static const std::string process = std::to_string(::getpid());
  return ".salvorine-" + process + "-" + std::to_string(counter++) + ".part";
}

bool FolderHandle::CheckReplaceable(const std::string& name, const std::set<FileIdentity>& protect) const {
  struct stat status {};
  if (::fstatat(fd_, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return false;
    throw FileSystemError(errno, PathOf(name), "save over");
  }
  if (S_ISLNK(status.st_mode)) throw FileSystemError(EEXIST, PathOf(name), "save over the symbolic link");
  const FileIdentity identity{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
  if (protect.contains(identity)) throw FileSystemError(EEXIST, PathOf(name), "overwrite a file that is being recovered,");
  return true;
}

void FolderHandle::CopyInto(const std::string& temporary, int from_fd, const std::string& from_path,
                            unsigned mode) const {
  Descriptor output{Retrying([&] {
    return ::openat(fd_, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  })};
  if (output.fd < 0) throw FileSystemError(errno, PathOf(temporary), "create");
  CopyDescriptor(from_fd, output.fd, from_path, PathOf(temporary));
  if (::fchmod(output.fd, static_cast<mode_t>(mode)) != 0) throw FileSystemError(errno, PathOf(temporary), "set the mode of");
  // On this other disk before it takes its name: a map on the save disk may claim its bytes at once.
  if (Retrying([&] { return ::fsync(output.fd); }) != 0) throw FileSystemError(errno, PathOf(temporary), "write to disk");
  // close() reports write-back errors of some file systems (NFS, FUSE): a copy is complete only once it closed.
  const int fd = std::exchange(output.fd, -1);
  if (::close(fd) != 0 && errno != EINTR) throw FileSystemError(errno, PathOf(temporary), "close");
}

bool FolderHandle::PlaceFile(const std::string& name, const FolderHandle& from, const std::string& from_name,
                             unsigned mode, const std::set<FileIdentity>& protect, bool may_replace) const {
  const std::string from_path = from.PathOf(from_name);
  bool replacing = may_replace && CheckReplaceable(name, protect);
  // Where nothing may be replaced, a complete file (its mode set first) can
  // take its name at once: a link fails, as the rename would, when the name
  // is taken. Only the run writes into its private `from`, so the name itself
  // is the file: two calls, where reopening it would cost five.
  if (!may_replace && LinkByName(from, from_name, name, mode)) return true;
  // Everything below goes through this descriptor of the very file checked, never through its name again.
  const Descriptor file{from.OpenRegularPath(from_name)};
  if (file.fd < 0) throw FileSystemError(errno, from_path, "open");
  const std::string through = "/proc/self/fd/" + std::to_string(file.fd);

  std::string temporary = TemporaryName();
  int linked;
  while ((linked = ::linkat(AT_FDCWD, through.c_str(), fd_, temporary.c_str(), AT_SYMLINK_FOLLOW)) != 0 &&
         errno == EEXIST) {
    temporary = TemporaryName();
  }
  const int link_error = linked == 0 ? 0 : errno;
  if (link_error != 0 && link_error != EXDEV && link_error != EPERM && link_error != EMLINK &&
      link_error != ENOTSUP && link_error != ENOSYS) {
    throw FileSystemError(link_error, PathOf(name), "save");
  }
  // A file system without hard links (FAT, exFAT): the file itself moves
  // there, so that its bytes are still written once and take room once.
  const bool moved = link_error != 0 && link_error != EXDEV && MoveHere(from, from_name, file.fd, temporary);
  try {
    if (linked == 0 || moved) {
      // The mode goes on before the final name appears, so the copy appears complete.
      if (::chmod(through.c_str(), static_cast<mode_t>(mode)) != 0) throw FileSystemError(errno, from_path, "set the mode of");
    } else {
      // Another file system: a copy.
      const Descriptor input{Retrying([&] { return ::open(through.c_str(), O_RDONLY | O_CLOEXEC); })};
      if (input.fd < 0) throw FileSystemError(errno, from_path, "open");
      CopyInto(temporary, input.fd, from_path, mode);
      // Checked again at the last moment: the folder may have changed while the copy was made.
      if (may_replace) replacing = CheckReplaceable(name, protect);
    }
    if (!may_replace) {
      RenameWithoutReplacing(*this, temporary, name);
    } else if (::renameat(fd_, temporary.c_str(), fd_, name.c_str()) != 0) {
      throw FileSystemError(errno, PathOf(name), "save");
    }
    // Renaming a link over another link of the same file leaves both names.
    if (linked == 0 && replacing) ::unlinkat(fd_, temporary.c_str(), 0);
  } catch (...) {
    // A moved file goes back where it was: it is the copy the pass still writes.
    if (moved) {
      ::renameat(fd_, temporary.c_str(), from.fd_, from_name.c_str());
    } else {
      ::unlinkat(fd_, temporary.c_str(), 0);
    }
    throw;
  }
  return linked == 0 || moved;
}

bool FolderHandle::LinkByName(const FolderHandle& from, const std::string& from_name, const std::string& name,
                              unsigned mode) const {
  if (::fchmodat(from.fd_, from_name.c_str(), static_cast<mode_t>(mode), 0) != 0) {
    throw FileSystemError(errno, from.PathOf(from_name), "set the mode of");
  }
  if (::linkat(from.fd_, from_name.c_str(), fd_, name.c_str(), 0) == 0) return true;
  if (errno == EEXIST) throw NameTakenError(errno, PathOf(name), "save");
  // No link here: asked before anything is written; the rename asks the file system again.
  if (IdentityOf(name)) throw NameTakenError(EEXIST, PathOf(name), "save");
  return false;
}

void FolderHandle::RenameWithoutReplacing(const FolderHandle& from, const std::string& from_name,
                                          const std::string& name) const {
  constexpr const char* kAction = "save";
  if (::renameat2(from.fd_, from_name.c_str(), fd_, name.c_str(), RENAME_NOREPLACE) == 0) return;
  if (errno == EEXIST) throw NameTakenError(errno, PathOf(name), kAction);
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) throw FileSystemError(errno, PathOf(name), kAction);
  // A file system that cannot be asked to keep an existing name (a FUSE driver
  // without it): the name is first taken by an empty file, created only where
  // the file system finds nothing under that name, and the rename replaces that file alone.
  // Closed before the rename: a FUSE driver keeps a replaced file that is still open under a hidden name.
  const int placeholder = Retrying([&] {
    return ::openat(fd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  });
  if (placeholder < 0 && errno == EEXIST) throw NameTakenError(errno, PathOf(name), kAction);
  if (placeholder < 0) throw FileSystemError(errno, PathOf(name), kAction);
  if (::close(placeholder) != 0 && errno != EINTR) {
    const int error = errno;
    ::unlinkat(fd_, name.c_str(), 0);
    throw FileSystemError(error, PathOf(name), kAction);
  }
  if (::renameat(from.fd_, from_name.c_str(), fd_, name.c_str()) != 0) {
    const int error = errno;
    ::unlinkat(fd_, name.c_str(), 0);
    throw FileSystemError(error, PathOf(name), kAction);
  }
}

std::optional<FileStatus> FolderHandle::StatusOf(const std::string& name) const {
  struct stat status {};
  if (::fstatat(fd_, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT || errno == ENAMETOOLONG || errno == EINVAL || errno == EILSEQ) return std::nullopt;
    throw FileSystemError(errno, PathOf(name), "examine");
  }
  FileStatus result;
  result.size = static_cast<std::int64_t>(status.st_size);
  result.mode = static_cast<unsigned>(status.st_mode) & 07777;
  result.modified_seconds = static_cast<std::int64_t>(status.st_mtim.tv_sec);
  result.modified_nanoseconds = static_cast<std::int64_t>(status.st_mtim.tv_nsec);
  result.identity = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
  return result;
}

// Moves `from_name` of `from` to `temporary` here when it is the file open as
// `checked`; false when the move is refused (another file system).
bool FolderHandle::MoveHere(const FolderHandle& from, const std::string& from_name, int checked,
                            const std::string& temporary) const {
  if (::renameat(from.fd_, from_name.c_str(), fd_, temporary.c_str()) != 0) {
    if (errno == EXDEV) return false;
    throw FileSystemError(errno, from.PathOf(from_name), "move");
  }
  struct stat moved {}, open {};
  if (::fstatat(fd_, temporary.c_str(), &moved, AT_SYMLINK_NOFOLLOW) != 0 || ::fstat(checked, &open) != 0 ||
      moved.st_dev != open.st_dev || moved.st_ino != open.st_ino) {
    // Another file took the name after the check: it goes back, untouched.
    ::renameat(fd_, temporary.c_str(), from.fd_, from_name.c_str());
    throw FileSystemError(EBUSY, from.PathOf(from_name), "move");
  }
  return true;
}

}  // namespace salvorine
