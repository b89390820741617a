#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>


namespace salvorine {

enum class EntryKind {
  kFolder,      // a directory reached without passing through a symbolic link
  kFile,        // a regular file, or a link to one
  kSpecial,     // a FIFO, socket or device: opening it could block or never end
  kFolderLink,  // a symbolic link to a folder, never followed
  kBrokenLink,  // a symbolic link that leads to nothing
  kUnreadable,  // could not be examined; `error` says why (a loop of links, a name too long...)
};

struct FolderEntry {
  std::string name;  // bytes as stored, not necessarily UTF-8
  EntryKind kind = EntryKind::kUnreadable;
  int error = 0;  // errno for kUnreadable
};

// The entries of one folder, "." and ".." left out, sorted by name in byte
// order so that a run lists files in a stable order.
class FolderSearch {
 public:
  // False when the folder cannot be searched or holds nothing.
  bool FindFirst(const std::string& folder, FolderEntry& entry);
  // False after the last entry.
  bool FindNext(FolderEntry& entry);
  // errno when the folder could not be searched, or not to its end (the
  // entries found before the failure are still returned); 0 otherwise.
  int Error() const { return error_; }

 private:
  std::vector<FolderEntry> entries_;
  std::size_t next_ = 0;
  int error_ = 0;
};

// A regular file, following links.
bool FileExists(const std::string& path);
// A directory, following links; a trailing "/" is allowed.
bool FolderExists(const std::string& path);
// Creates one folder level with the umask's permissions; raises on failure.
void MakeFolder(const std::string& path);
// Creates one folder level with `mode` less the umask, unless something
// already stands at `path` (another process may have made it meanwhile);
// raises on any other failure. A trailing "/" is allowed.
void MakeFolderUnlessPresent(const std::string& path, unsigned mode);
// Deletes a file; reports by its result and never raises.
bool Delete(const std::string& path);
// Removes the file `path`, a link itself rather than what it leads to; one
// already gone is no error. Raises FileSystemError otherwise.
void RemoveFileIfPresent(const std::string& path);
// The permission bits of what `path` leads to, following links; nothing when
// it cannot be examined.
std::optional<unsigned> PermissionsOf(const std::string& path);
// Whether this process, with its effective user and groups, may write into
// `path`; false on a read-only mount too.
bool MayWriteInto(const std::string& path);

inline constexpr int kDriveCdRom = 5;
// kDriveCdRom when the mount holding `path` is an optical disc, 0 otherwise.
int DriveType(const std::string& path);
// Same as DriveType, reading the mount table from `mounts_text` (the format of /proc/self/mounts).
int DriveTypeFromMounts(const std::string& path, const std::string& mounts_text);

// A mount point as /proc/self/mounts writes it, with its blanks escaped as
// "\040", turned back into the folder's path.
std::string UnescapedMountPoint(const std::string& field);

// Folder of the running executable, without a trailing "/".
std::string ProgramFolder();

// The real path of `path`, resolving links in the part that exists and
// keeping the rest as written; "" when nothing of it can be resolved.
std::string ResolvedPath(const std::string& path);
// The process's umask, read without changing it (changing it would race with other threads).
unsigned CurrentUmask();

}  // namespace salvorine
