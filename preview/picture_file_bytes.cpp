#include "preview/picture_file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "preview/picture_error.h"

namespace salvorine {
namespace {

// Closes the descriptor however the read ends.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { ::close(fd_); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::vector<unsigned char> ReadPictureFile(const std::string& path, std::size_t limit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw PictureError(path, std::string("cannot open: ") + std::strerror(errno));
  const FileDescriptor file(fd);

  struct stat status {};
  if (::fstat(file.Get(), &status) != 0) {
    throw PictureError(path, std::string("cannot examine: ") + std::strerror(errno));
  }
  if (!S_ISREG(status.st_mode)) throw PictureError(path, "not a regular file");
  if (static_cast<std::size_t>(status.st_size) > limit) {
    throw PictureError(path, "too large to preview (" + std::to_string(status.st_size) + " bytes)");
  }

  // Read to the end rather than trusting st_size: the file may be growing.
  std::vector<unsigned char> bytes;
  bytes.reserve(static_cast<std::size_t>(status.st_size));
  std::vector<unsigned char> chunk(65536);
  for (;;) {
    const ssize_t got = ::read(file.Get(), chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw PictureError(path, std::string("cannot read: ") + std::strerror(errno));
    if (got == 0) break;
    const auto count = static_cast<std::size_t>(got);
    if (count > limit - bytes.size()) throw PictureError(path, "too large to preview");
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + got);
  }
  return bytes;
}

}  // namespace salvorine
