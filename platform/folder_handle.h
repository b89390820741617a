#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"
#include "platform/file_system_error.h"

namespace salvorine {

// Placing found its name taken (EEXIST): the file system finds an entry under
// it, or under a name it takes for the same.
class NameTakenError final : public FileSystemError {
 public:
  using FileSystemError::FileSystemError;
};

// An open folder. Names below it are resolved one level at a time and never
// through a symbolic link, so what is placed under it cannot be redirected
// into another folder (the source of a run, say).
class FolderHandle {
 public:
  // Opens the folder `path`; links within `path` itself are followed, since the user named it.
  explicit FolderHandle(const std::string& path);
  ~FolderHandle();
  FolderHandle(FolderHandle&& other) noexcept;
  FolderHandle& operator=(FolderHandle&& other) noexcept;
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;

  // The path this folder was reached by, without a trailing "/".
  const std::string& Path() const { return path_; }

  // The subfolder `name`, created with `mode` (the umask applies) when missing.
  // Raises FileSystemError naming it when it is a link or not a folder.
  // `created`, when given, tells whether this call made it.
  FolderHandle Subfolder(const std::string& name, unsigned mode, bool* created = nullptr) const;

  // The subfolder `name` for this process's user alone: created with mode
  // 0700 when missing; an existing one must be a real folder (not a link)
  // owned by the current user, and is made 0700. Raises FileSystemError
  // naming it otherwise: a folder someone else controls could redirect or
  // read what is written into it.
  FolderHandle PrivateSubfolder(const std::string& name) const;

  // The subfolder `name` when it exists as a real folder; nothing when it is missing.
  std::optional<FolderHandle> ExistingSubfolder(const std::string& name) const;
  // The folder `folders` below this one (this one itself for none), when
  // every level exists as a real folder; creates nothing.
  std::optional<FolderHandle> ExistingBelow(const std::vector<std::string>& folders) const;

  // Writes `content` to a new file that replaces `name` whole, once written and on disk.
  void WriteFile(const std::string& name, const std::string& content) const;
  // Hands each piece of a file's content, in order, to `put`.
  using ContentPieces = std::function<void(const std::function<void(std::string_view)>& put)>;
  // As above, the content given in pieces, so that a long one is never held whole in memory.
  void WriteFile(const std::string& name, const ContentPieces& pieces) const;

  // A new regular file `name`, mode 0600, open for reading and writing; an
  // older file of that name is removed first. A link is never followed.
  std::unique_ptr<File> CreateNewFile(const std::string& name) const;

  // Removes every entry of the folder that is not a folder; subfolders stay.
  void RemoveFiles() const;

  // A path that reaches `name` through this very folder, whatever becomes of
  // the path it was opened by, for as long as the handle stays open: for
  // readers that only take a path.
  std::string PathThroughHandle(const std::string& name) const;

  // Removes the file `name`; a missing one (or a name too long to exist) is
  // no error. True when a file was removed.
  bool RemoveFile(const std::string& name) const;
  // Removes the subfolder `name` when it is empty; false when it holds something or is not there.
  bool RemoveEmptySubfolder(const std::string& name) const;

  // Brings the folder's entries (names created, renamed, removed) to the disk.
  void Sync() const;
  // Brings everything written to the folder's file system to the disk.
  void SyncFileSystem() const;
  // Takes the exclusive lock of this folder for as long as the handle stays
  // open; false when another open of it (another run) holds it.
  bool TryLock() const;
  // Gives the file `name` the modification time of `modified`, when it is
  // still the file `identity` and not a link; false otherwise. Raises
  // FileSystemError when `name` cannot be examined (other than missing).
  bool SetTimeIfSame(const std::string& name, const FileIdentity& identity, const FileStatus& modified) const;
  // How many names the file `name` has (not following a link); 0 when missing.
  std::uint64_t LinkCountOf(const std::string& name) const;
  // The names of the folder's entries, "." and ".." left out.
  std::vector<std::string> Names() const;
  // The identity of the file `name` (not following a link); nothing when missing.
  std::optional<FileIdentity> IdentityOf(const std::string& name) const;

  // The regular file `name`, open for reading and writing; nothing when it is
  // missing, a link or not a regular file. A copy its owner made read-only
  // is given write permission for its owner first: the program owns its copies.
  std::unique_ptr<File> OpenExistingFile(const std::string& name) const;

  // The regular file `name`, open for reading only; nothing when it is
  // missing, a link or not a regular file.
  std::unique_ptr<File> OpenExistingForReading(const std::string& name) const;
  // The text of the small file `name`; nothing when it is missing, not a
  // regular file, or larger than `limit`.
  std::optional<std::string> ReadSmallFile(const std::string& name, std::int64_t limit) const;

  // Gives the regular file `name` another name, `to_name` in `to`, replacing
  // nothing; false when the file system cannot (another one, or none that
  // has hard links) or `name` is no regular file.
  bool LinkInto(const std::string& name, const FolderHandle& to, const std::string& to_name) const;

  // Places the regular file `from_name` of `from` at `name`: a hard link (no
  // byte is written twice); where the file system has no hard links, the file
  // itself, moved (it leaves `from`); on another file system, a copy made
  // inside the kernel. Either way it appears under a temporary name first, takes `mode`,
  // and takes the name `name` only when complete, so a failure never leaves
  // a partial file under `name`. Its modification time is left as writing
  // made it: the source's time is given only once its bytes are on disk.
  // `from` is a folder only this process writes into (the run's working
  // folder): where nothing is replaced, `from_name` is linked by its name.
  // With `may_replace`, whatever stands at `name` is replaced; without it,
  // nothing is: when the file system finds an entry under `name` (or under a
  // name it takes for the same, as a disk that ignores case does), it raises
  // NameTakenError naming the destination.
  // Raises FileSystemError naming the destination when `name` is a link or
  // one of `protect` (files that must not be replaced); nothing is written
  // then. True when the placed file is `from_name`'s very file (linked or moved).
  bool PlaceFile(const std::string& name, const FolderHandle& from, const std::string& from_name, unsigned mode,
                 const std::set<FileIdentity>& protect, bool may_replace) const;

  // The status of the entry `name` (not following a link); nothing when missing.
  std::optional<FileStatus> StatusOf(const std::string& name) const;

 private:
  FolderHandle(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  bool MoveHere(const FolderHandle& from, const std::string& from_name, int checked, const std::string& temporary) const;
  // "." names the folder itself, so a path shown in a message never holds "/./".
  std::string PathOf(const std::string& name) const { return name == "." ? path_ : path_ + "/" + name; }
  std::string TemporaryName() const;
  std::unique_ptr<File> RegularFileOf(int fd, const std::string& name) const;
  int OpenOwnCopy(const std::string& name) const;
  // Raises when `name` may not be replaced; true when something is there to replace.
  bool CheckReplaceable(const std::string& name, const std::set<FileIdentity>& protect) const;
  void CopyInto(const std::string& temporary, int from_fd, const std::string& from_path, unsigned mode) const;
  // Gives `from_name` of `from`, a folder only this process writes into, the
  // mode `mode` and then the name `name` here by a hard link; raises
  // NameTakenError when the file system finds `name` taken, false when it
  // made no link for another reason (no hard links there, another file system).
  bool LinkByName(const FolderHandle& from, const std::string& from_name, const std::string& name,
                  unsigned mode) const;
  // Renames `from_name` of `from` to `name` here, never replacing: raises
  // NameTakenError when the file system finds `name` taken.
  void RenameWithoutReplacing(const FolderHandle& from, const std::string& from_name, const std::string& name) const;
  // A descriptor (O_PATH) of the regular file `name`, not following a link; -1 with errno set otherwise.
  int OpenRegularPath(const std::string& name) const;

  int fd_ = -1;
  std::string path_;
};

}  // namespace salvorine
