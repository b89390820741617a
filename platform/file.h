#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace salvorine {

// The identity of an existing file (device and inode), to tell whether two paths meet.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  friend auto operator<=>(const FileIdentity&, const FileIdentity&) = default;
};

// What the file system says of an open file, taken in one query.
struct FileStatus {
  std::int64_t size = 0;
  unsigned mode = 0644;  // permission bits
  std::int64_t modified_seconds = 0;
  std::int64_t modified_nanoseconds = 0;
  FileIdentity identity;
};

// What one read request delivered. `ok` false means the request failed as a
// whole (an unreadable sector anywhere in it): none of its bytes count.
struct ReadResult {
  bool ok = false;
  std::size_t count = 0;  // bytes delivered; fewer than asked only at end of file
  int error = 0;          // errno when !ok
};

// What a read ahead delivered (see File::ReadAhead).
struct AheadRead {
  ReadResult read;
  // When !read.ok: the bytes before this offset were read (and are in the
  // buffer), and the unit of the file's own reading that starts here failed.
  std::optional<std::size_t> failed_from;
};

// An open file. Every operation but Read raises FileSystemError on failure;
// Read reports failure in its result because failed reads are expected on
// damaged media and the recovery pass handles them block by block.
class File {
 public:
  virtual ~File() = default;

  virtual const std::string& Path() const = 0;
  // Moves to an absolute position; a negative position fails.
  virtual void Seek(std::int64_t position) = 0;
  // Delivers `count` bytes, fewer only at end of file (0 at or past it), or fails.
  virtual ReadResult Read(void* buffer, std::size_t count) = 0;
  // What Read would deliver, when that needs no wait for the device (the bytes
  // are cached in memory, or the end of the file is reached); otherwise nothing
  // is read, the position stays, and the caller reads the ordinary way.
  virtual std::optional<ReadResult> ReadIfReady(void* /*buffer*/, std::size_t /*count*/) { return std::nullopt; }
  // A read as Read, for a caller that asks for more than it needs so as to
  // make fewer requests, which says where a failed read failed: nothing (and
  // no request made) when the file cannot tell, since the caller then reads
  // in its own units, where a failure costs no more.
  virtual std::optional<AheadRead> ReadAhead(void* /*buffer*/, std::size_t /*count*/) { return std::nullopt; }
  // Stores all `count` bytes or raises (a full disk is an error, never a short count).
  virtual void Write(const void* buffer, std::size_t count) = 0;
  // Same effect as writing `count` zero bytes; a file system may do it
  // without moving the bytes.
  virtual void WriteZeros(std::int64_t count);
  virtual std::int64_t Size() = 0;
  virtual FileStatus Status() {
    FileStatus status;
    status.size = Size();
    return status;
  }
  // Sets the end of the file at the current position, shortening or lengthening it.
  virtual void Truncate() = 0;
  virtual void Close() = 0;
  // Brings what was written to the file to the disk.
  virtual void Sync() {}
  // Gives the file the permission bits `mode` and the modification time of
  // `modified`; a file without either (one held in memory) ignores it.
  virtual void SetModeAndTime(unsigned /*mode*/, const FileStatus& /*modified*/) {}
  // The preferred transfer unit of the file's device (the sector to read in).
  virtual std::int64_t BlockSize() { return 512; }
  // Makes every later Read ask the device itself, past the page cache and its
  // read-ahead, in whole sectors of `sector` bytes counted from the start of
  // the file: a read that fails then fails only the sectors it covers, and
  // the device sees no request the caller did not make. Reads keep their
  // contract (any position and count). False when the file system refuses
  // direct reads; reads then stay ordinary. A refusal at a later read turns
  // them back to ordinary too, which ReadsDirectly tells.
  virtual bool ReadDirectly(std::int64_t /*sector*/) { return false; }
  virtual bool ReadsDirectly() const { return false; }

  // The stretches [start, end) of the first `size` bytes that hold data, in
  // order, when the file has holes; empty when it has none or its file system
  // cannot tell. The bytes between them read as zeros without touching the device.
  virtual std::vector<std::pair<std::int64_t, std::int64_t>> DataExtents(std::int64_t /*size*/) { return {}; }
};

// Opens an existing file read-only. Never writes to it.
std::unique_ptr<File> OpenRead(const std::string& path);
// Creates the file, or empties an existing one, open for reading and writing.
std::unique_ptr<File> Create(const std::string& path);
// Takes over `fd`, an open descriptor of the regular file `path`, which it closes.
std::unique_ptr<File> FileOfDescriptor(int fd, const std::string& path);

}  // namespace salvorine
