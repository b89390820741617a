#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace salvorine {

enum class EntryKind {
  kFolder,  // a directory reached without passing through a symbolic link
  kFile,    // a regular file, or a link to one
  kOther,   // FIFOs, sockets, devices, links to folders, dangling links
};

struct FolderEntry {
  std::string name;  // bytes as stored, not necessarily UTF-8
  EntryKind kind = EntryKind::kOther;
};

// The entries of one folder, "." and ".." left out, sorted by name in byte
// order so that a run lists files in a stable order.
class FolderSearch {
 public:
  // False when the folder cannot be searched or holds nothing.
  bool FindFirst(const std::string& folder, FolderEntry& entry);
  // False after the last entry.
  bool FindNext(FolderEntry& entry);

 private:
  std::vector<FolderEntry> entries_;
  std::size_t next_ = 0;
};

// A regular file, following links.
bool FileExists(const std::string& path);
// A directory, following links; a trailing "/" is allowed.
bool FolderExists(const std::string& path);
// Creates one folder level with the umask's permissions; raises on failure.
void MakeFolder(const std::string& path);
// Deletes a file; reports by its result and never raises.
bool Delete(const std::string& path);
// Linux has no hidden attribute; the working folder is kept private by its mode instead.
inline void SetHidden(const std::string&) {}
// $TMPDIR when set and not empty, otherwise /tmp.
std::string TempPath();

inline constexpr int kDriveCdRom = 5;
// kDriveCdRom when the mount holding `path` is an optical disc, 0 otherwise.
int DriveType(const std::string& path);
// Same as DriveType, reading the mount table from `mounts_text` (the format of /proc/self/mounts).
int DriveTypeFromMounts(const std::string& path, const std::string& mounts_text);

// Folder of the running executable, without a trailing "/".
std::string ProgramFolder();

// True when both paths name the same existing file (hard links and symbolic links included).
bool SameFile(const std::string& a, const std::string& b);
// Copies the file `from` to `to` (replacing it) and gives `to` the modification
// time of `time_source`; raises FileSystemError naming the failing path.
void SaveCopy(const std::string& from, const std::string& to, const std::string& time_source);

}  // namespace salvorine

namespace salvorine {

// Makes `path` a folder only the current user can enter (mode 0700), or
// accepts an existing one when it is a real folder, not a link, owned by the
// current user; raises FileSystemError naming the folder otherwise, since a
// folder in a shared place that someone else controls could be used to
// redirect what the program writes.
void EnsurePrivateFolder(const std::string& path);

// The identity of an existing file (device and inode), to tell whether two paths meet.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  friend auto operator<=>(const FileIdentity&, const FileIdentity&) = default;
};
// False when `path` names nothing.
bool IdentityOf(const std::string& path, FileIdentity& identity);

}  // namespace salvorine
