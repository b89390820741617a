#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace salvorine {

// What one read request delivered. `ok` false means the request failed as a
// whole (an unreadable sector anywhere in it): none of its bytes count.
struct ReadResult {
  bool ok = false;
  std::size_t count = 0;  // bytes delivered; fewer than asked only at end of file
  int error = 0;          // errno when !ok
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
  // Stores all `count` bytes or raises (a full disk is an error, never a short count).
  virtual void Write(const void* buffer, std::size_t count) = 0;
  // Same effect as writing `count` zero bytes from `zeros` (which holds at
  // least that many); a file system may do it without moving the bytes.
  virtual void WriteZeros(const void* zeros, std::size_t count) { Write(zeros, count); }
  virtual std::int64_t Size() = 0;
  // Sets the end of the file at the current position, shortening or lengthening it.
  virtual void Truncate() = 0;
  virtual void Close() = 0;
  // The preferred transfer unit of the file's device (the sector to read in).
  virtual std::int64_t BlockSize() { return 512; }
};

// Opens an existing file read-only. Never writes to it.
std::unique_ptr<File> OpenRead(const std::string& path);
// Creates the file, or empties an existing one, open for reading and writing.
std::unique_ptr<File> Create(const std::string& path);
// Replaces the content of `to` (created if missing) with that of `from`,
// inside the kernel where the file systems allow it.
void CopyFileContents(const std::string& from, const std::string& to);

}  // namespace salvorine
