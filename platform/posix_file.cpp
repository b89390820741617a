#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file.h"
#include "platform/file_system_error.h"

namespace salvorine {
namespace {

// A file descriptor with an explicit position, read and written with
// pread/pwrite so that one block costs one system call.
class PosixFile final : public File {
 public:
  PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  const std::string& Path() const override { return path_; }

  int Descriptor() const {
    if (fd_ < 0) throw FileSystemError(EBADF, path_, "use closed file");
    return fd_;
  }

  void Seek(std::int64_t position) override {
    if (position < 0) throw FileSystemError(EINVAL, path_, "seek in");
    position_ = position;
  }

  ReadResult Read(void* buffer, std::size_t count) override {
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
      const ssize_t got = ::pread(Descriptor(), bytes + done, count - done,
                                  static_cast<off_t>(position_ + static_cast<std::int64_t>(done)));
      if (got < 0) {
        if (errno == EINTR) continue;
        return {false, 0, errno};
      }
      if (got == 0) break;
      done += static_cast<std::size_t>(got);
    }
    position_ += static_cast<std::int64_t>(done);
    return {true, done, 0};
  }

  void Write(const void* buffer, std::size_t count) override {
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
      const ssize_t put = ::pwrite(Descriptor(), bytes + done, count - done,
                                   static_cast<off_t>(position_ + static_cast<std::int64_t>(done)));
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) throw FileSystemError(errno, path_, "write to");
      // A write that stores nothing without an error can only mean no space.
      if (put == 0) throw FileSystemError(ENOSPC, path_, "write to");
      done += static_cast<std::size_t>(put);
    }
    position_ += static_cast<std::int64_t>(done);
  }

  void WriteZeros(const void* zeros, std::size_t count) override {
    // Unwritten extents read back as zeros and still reserve the space, so a
    // full disk shows up here as it would for written zeros.
    int result;
    do {
      result = ::fallocate(Descriptor(), FALLOC_FL_ZERO_RANGE, static_cast<off_t>(position_), static_cast<off_t>(count));
    } while (result != 0 && errno == EINTR);
    if (result != 0 && (errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL)) return Write(zeros, count);
    if (result != 0) throw FileSystemError(errno, path_, "write to");
    position_ += static_cast<std::int64_t>(count);
  }

  std::int64_t Size() override { return Stat().st_size; }

  std::int64_t BlockSize() override {
    const auto size = static_cast<std::int64_t>(Stat().st_blksize);
    return size < 512 ? 512 : size;
  }

  void Truncate() override {
    while (::ftruncate(Descriptor(), static_cast<off_t>(position_)) != 0) {
      if (errno != EINTR) throw FileSystemError(errno, path_, "truncate");
    }
  }

  void Close() override {
    if (fd_ < 0) return;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) throw FileSystemError(errno, path_, "close");
  }

 private:

  struct stat Stat() const {
    struct stat status {};
    if (::fstat(Descriptor(), &status) != 0) throw FileSystemError(errno, path_, "query the size of");
    return status;
  }

  int fd_;
  std::string path_;
  std::int64_t position_ = 0;
};

int OpenRetrying(const std::string& path, int flags, mode_t mode = 0) {
  for (;;) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
    if (fd >= 0 || errno != EINTR) return fd;
  }
}

}  // namespace

std::unique_ptr<File> OpenRead(const std::string& path) {
  // O_NONBLOCK keeps a FIFO from hanging the open; only regular files are accepted.
  const int fd = OpenRetrying(path, O_RDONLY | O_NONBLOCK);
  if (fd < 0) throw FileSystemError(errno, path, "open");
  auto file = std::make_unique<PosixFile>(fd, path);
  struct stat status {};
  if (::fstat(fd, &status) != 0) throw FileSystemError(errno, path, "open");
  if (!S_ISREG(status.st_mode)) throw FileSystemError(EINVAL, path, "open a non-regular file");
  if (::fcntl(fd, F_SETFL, 0) != 0) throw FileSystemError(errno, path, "open");
  return file;
}

std::unique_ptr<File> Create(const std::string& path) {
  const int fd = OpenRetrying(path, O_RDWR | O_CREAT | O_TRUNC, 0666);
  if (fd < 0) throw FileSystemError(errno, path, "create");
  return std::make_unique<PosixFile>(fd, path);
}

void CopyFileContents(const std::string& from, const std::string& to) {
  auto input = OpenRead(from);
  auto output = Create(to);
  auto& source = static_cast<PosixFile&>(*input);
  auto& target = static_cast<PosixFile&>(*output);
  for (;;) {
    const ssize_t copied = ::copy_file_range(source.Descriptor(), nullptr, target.Descriptor(), nullptr, 1 << 30, 0);
    if (copied > 0) continue;
    if (copied == 0) break;
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
      throw FileSystemError(errno, to, "copy to");
    }
    // No in-kernel copy between these file systems: copy through a buffer from where it stopped.
    const off_t done = ::lseek(source.Descriptor(), 0, SEEK_CUR);
    source.Seek(done);
    target.Seek(done);
    static constexpr std::size_t kChunk = 1 << 20;
    const auto buffer = std::make_unique<unsigned char[]>(kChunk);
    for (;;) {
      const ReadResult got = source.Read(buffer.get(), kChunk);
      if (!got.ok) throw FileSystemError(got.error, from, "read");
      if (got.count == 0) break;
      target.Write(buffer.get(), got.count);
    }
    break;
  }
  input->Close();
  output->Close();
}

}  // namespace salvorine
