#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "platform/file.h"
#include "platform/file_system_error.h"
#include "platform/large_reads.h"

namespace salvorine {

void File::WriteZeros(std::int64_t count) {
  static constexpr std::size_t kChunk = 1 << 16;
  static const unsigned char zeros[kChunk] = {};
  for (std::int64_t left = count; left > 0;) {
    const std::size_t part = left < static_cast<std::int64_t>(kChunk) ? static_cast<std::size_t>(left) : kChunk;
    Write(zeros, part);
    left -= static_cast<std::int64_t>(part);
  }
}

namespace {

struct FreeAligned {
  void operator()(unsigned char* bytes) const { std::free(bytes); }
};

// Reads a file through a second descriptor opened with O_DIRECT, so that each
// request reaches the device as asked: the span read is widened to whole
// sectors and lands in a buffer aligned to the sector and the page.
class DirectReader {
 public:
  // Nothing when the file system refuses O_DIRECT for `fd`'s file. Requests
  // are whole units of `sector` bytes, or of the file system's own direct-I/O
  // alignment where that is larger (a caller's sector may be smaller than the disk's).
  static std::unique_ptr<DirectReader> Open(int fd, std::int64_t sector) {
    struct statx alignment {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_DIOALIGN, &alignment) == 0 && (alignment.stx_mask & STATX_DIOALIGN) != 0) {
      if (alignment.stx_dio_offset_align == 0) return nullptr;  // the file system says: no direct I/O
      sector = std::max<std::int64_t>(sector, alignment.stx_dio_offset_align);
    }
    const std::string same_file = "/proc/self/fd/" + std::to_string(fd);
    int direct = -1;
    do {
      direct = ::open(same_file.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC | O_NOCTTY);
    } while (direct < 0 && errno == EINTR);
    if (direct < 0) return nullptr;
    return std::unique_ptr<DirectReader>(new DirectReader(direct, sector));
  }
  ~DirectReader() { ::close(fd_); }
  DirectReader(const DirectReader&) = delete;
  DirectReader& operator=(const DirectReader&) = delete;

  // Reads `count` bytes at `position` as File::Read does (with a unit of one
  // byte, exactly those bytes); nothing when the file system refused the
  // direct read (EINVAL), so that the caller reads the ordinary way.
  std::optional<ReadResult> Read(void* buffer, std::size_t count, std::int64_t position) {
    const std::int64_t first = position / sector_ * sector_;
    const std::int64_t last = (position + static_cast<std::int64_t>(count) + sector_ - 1) / sector_ * sector_;
    const auto span = static_cast<std::size_t>(last - first);
    if (!Reserve(span)) return ReadResult{false, 0, ENOMEM};
    std::size_t done = 0;
    while (done < span) {
      const ssize_t got = ::pread(fd_, buffer_.get() + done, span - done, static_cast<off_t>(first) + static_cast<off_t>(done));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && errno == EINVAL) return std::nullopt;
      if (got < 0) return ReadResult{false, 0, errno};
      if (got == 0) break;
      done += static_cast<std::size_t>(got);
      if (done % static_cast<std::size_t>(sector_) != 0) break;  // the file ends inside this sector
    }
    const std::int64_t skipped = position - first;
    const std::size_t delivered =
        static_cast<std::int64_t>(done) <= skipped
            ? 0
            : std::min(count, static_cast<std::size_t>(static_cast<std::int64_t>(done) - skipped));
    if (delivered > 0) std::memcpy(buffer, buffer_.get() + skipped, delivered);
    return ReadResult{true, delivered, 0};
  }

 private:
  DirectReader(int fd, std::int64_t sector) : fd_(fd), sector_(sector) {}

  bool Reserve(std::size_t bytes) {
    if (bytes <= capacity_) return true;
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t alignment = std::max(page, static_cast<std::size_t>(sector_));
    void* fresh = nullptr;
    if (::posix_memalign(&fresh, alignment, bytes) != 0) return false;
    buffer_.reset(static_cast<unsigned char*>(fresh));
    capacity_ = bytes;
    return true;
  }

  const int fd_;
  const std::int64_t sector_;  // offsets and lengths of every request are multiples of it
  std::unique_ptr<unsigned char, FreeAligned> buffer_;
  std::size_t capacity_ = 0;
};

// A file descriptor with an explicit position, read and written with
// pread/pwrite so that one block costs one system call.
class PosixFile final : public File {
 public:
  PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  // A file opened for reading reports its status as the open found it: the size then bounds the pass.
  PosixFile(int fd, std::string path, const struct stat& at_open)
      : fd_(fd), path_(std::move(path)), at_open_(at_open) {}
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
    if (direct_) {
      if (const std::optional<ReadResult> got = direct_->Read(buffer, count, position_)) {
        if (got->ok) position_ += static_cast<std::int64_t>(got->count);
        return *got;
      }
      direct_.reset();  // refused after all: ordinary reads from here on
    }
    // A block the page cache holds whole comes without a request: nothing is
    // read ahead after it, since the next block's own read asks the device
    // for the very span the advice would have.
    const std::optional<ReadResult> held = own_read_ahead_ && !near_damage_ ? ReadIfCached(buffer, count) : std::nullopt;
    if (held) return *held;
    const ReadResult got = CachedRead(buffer, count);
    // Near damage the page cache sends the device failing requests of its
    // own (read-ahead, then each page again), each of which can cost seconds
    // of retries on a real drive. From the first failure on, the file is read
    // directly, in the file system's own unit, so that the device sees only
    // the reads asked for; where direct reads are refused, without read-ahead.
    if (!got.ok && !near_damage_) {
      near_damage_ = true;
      direct_ = DirectReader::Open(Descriptor(), 1);
      if (!direct_ && !own_read_ahead_) ::posix_fadvise(Descriptor(), 0, 0, POSIX_FADV_RANDOM);
    }
    // Nothing lies ahead of a read that reached the size the file had at open.
    if (got.ok && got.count == count && count > 0 && !near_damage_ && own_read_ahead_ && !AtEndSeenAtOpen()) {
      // Only where reads go through the page cache (not on FUSE files read
      // directly, say): elsewhere the kernel's own ways are left in place.
      if (!read_ahead_checked_) {
        read_ahead_checked_ = true;
        own_read_ahead_ = Cached(position_ - 1);
        if (!own_read_ahead_) ::posix_fadvise(Descriptor(), 0, 0, POSIX_FADV_NORMAL);
      }
      // The next span of the same size is asked for now, so the device works
      // while this one is used: one request ahead, so damage there costs one
      // failed request, not a read-ahead window of them.
      if (own_read_ahead_) {
        ::posix_fadvise(Descriptor(), static_cast<off_t>(position_), static_cast<off_t>(count), POSIX_FADV_WILLNEED);
      }
    }
    return got;
  }

  bool ReadDirectly(std::int64_t sector) override {
    if (sector <= 0) return false;
    direct_ = DirectReader::Open(Descriptor(), sector);
    return direct_ != nullptr;
  }

  bool ReadsDirectly() const override { return direct_ != nullptr; }

  // Turns the kernel's read-ahead off for this file; Read asks for the span after each read instead.
  void AskForReadsAhead() { own_read_ahead_ = ::posix_fadvise(Descriptor(), 0, 0, POSIX_FADV_RANDOM) == 0; }

  ReadResult CachedRead(void* buffer, std::size_t count) {
    failed_from_.reset();
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
      const ssize_t got = ::pread(Descriptor(), bytes + done, count - done,
                                  static_cast<off_t>(position_ + static_cast<std::int64_t>(done)));
      if (got < 0) {
        if (errno == EINTR) continue;
        const int error = errno;
        // The page cache holding the page there unread says that page is where the read failed.
        if (NextPageFailed(position_ + static_cast<std::int64_t>(done))) failed_from_ = done;
        return {false, 0, error};
      }
      if (got == 0) break;
      done += static_cast<std::size_t>(got);
      // A short count can be the page cache stopping at a page it could not
      // read: asking again would send the device that failing request a second time.
      if (done < count && NextPageFailed(position_ + static_cast<std::int64_t>(done))) {
        failed_from_ = done;
        return {false, 0, EIO};
      }
    }
    position_ += static_cast<std::int64_t>(done);
    return {true, done, 0};
  }

  // The `count` bytes at the position when the page cache holds every one of
  // them: asked without waiting, so that the device is asked for nothing.
  std::optional<ReadResult> ReadIfCached(void* buffer, std::size_t count) {
    if (!nowait_reads_ || count == 0) return std::nullopt;
    iovec part{buffer, count};
    const ssize_t got = ::preadv2(Descriptor(), &part, 1, static_cast<off_t>(position_), RWF_NOWAIT);
    if (got < 0 && (errno == EOPNOTSUPP || errno == EINVAL || errno == ENOSYS)) nowait_reads_ = false;
    if (got < 0 || static_cast<std::size_t>(got) != count) return std::nullopt;
    position_ += got;
    return ReadResult{true, count, 0};
  }

  bool AtEndSeenAtOpen() const { return AtEndSeenAtOpen(position_); }
  bool AtEndSeenAtOpen(std::int64_t position) const { return at_open_ && position >= at_open_->st_size; }

  // Only through the page cache, which tells where a read failed (see
  // NextPageFailed): bytes it holds already come in one request that never waits.
  std::optional<AheadRead> ReadAhead(void* buffer, std::size_t count) override {
    if (direct_ || near_damage_ || !nowait_reads_) return std::nullopt;
    iovec part{buffer, count};
    const ssize_t got = ::preadv2(Descriptor(), &part, 1, static_cast<off_t>(position_), RWF_NOWAIT);
    if (got < 0 && (errno == EOPNOTSUPP || errno == EINVAL || errno == ENOSYS)) {
      nowait_reads_ = false;  // no page cache to ask (FUSE read directly, say)
      return std::nullopt;
    }
    if (got >= 0 && (static_cast<std::size_t>(got) == count || AtEndSeenAtOpen(position_ + got))) {
      position_ += got;
      return AheadRead{{true, static_cast<std::size_t>(got), 0}, std::nullopt};
    }
    failed_from_.reset();
    const ReadResult read = Read(buffer, count);
    return AheadRead{read, read.ok ? std::nullopt : failed_from_};
  }

  // Whether the page cache holds the byte at `position`: asked without waiting or reading.
  bool Cached(std::int64_t position) {
    unsigned char byte = 0;
    iovec part{&byte, 1};
    return ::preadv2(Descriptor(), &part, 1, static_cast<off_t>(position), RWF_NOWAIT) == 1;
  }

  // After a short read: whether the page at `position` is in the page cache
  // yet not readable without a request (its read failed), rather than past
  // the end of the file.
  bool NextPageFailed(std::int64_t position) {
    unsigned char byte = 0;
    iovec part{&byte, 1};
    return ::preadv2(Descriptor(), &part, 1, static_cast<off_t>(position), RWF_NOWAIT) < 0 && errno == EAGAIN;
  }

  // One read that the kernel refuses rather than waits for (RWF_NOWAIT). A
  // short count is kept only when it ends at the end of the file; a failure of
  // any kind is left to Read, which says what it was.
  std::optional<ReadResult> ReadIfReady(void* buffer, std::size_t count) override {
    if (!nowait_reads_ || direct_) return std::nullopt;
    iovec part{buffer, count};
    const ssize_t got = ::preadv2(Descriptor(), &part, 1, static_cast<off_t>(position_), RWF_NOWAIT);
    if (got < 0) {
      if (errno == EOPNOTSUPP || errno == EINVAL || errno == ENOSYS) nowait_reads_ = false;
      return std::nullopt;
    }
    const auto delivered = static_cast<std::size_t>(got);
    if (delivered != 0 && delivered < count && position_ + got < Stat().st_size) return std::nullopt;
    position_ += got;
    return ReadResult{true, delivered, 0};
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
    if (known_size_) known_size_ = std::max(*known_size_, position_);
  }

  void WriteZeros(std::int64_t count) override {
    // Unwritten extents read back as zeros and still reserve the space, so a
    // full disk shows up here as it would for written zeros. Past the end of
    // the file a plain allocation is enough, and more file systems (tmpfs
    // among them) offer it than zeroing a range in place.
    const int mode = position_ >= KnownSize() ? 0 : FALLOC_FL_ZERO_RANGE;
    int result;
    do {
      result = ::fallocate(Descriptor(), mode, static_cast<off_t>(position_), static_cast<off_t>(count));
    } while (result != 0 && errno == EINTR);
    if (result != 0 && (errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL)) return File::WriteZeros(count);
    if (result != 0) throw FileSystemError(errno, path_, "write to");
    position_ += static_cast<std::int64_t>(count);
    known_size_ = std::max(*known_size_, position_);
  }

  std::int64_t Size() override { return known_size_ = Stat().st_size, *known_size_; }

  FileStatus Status() override {
    const struct stat status = at_open_ ? *at_open_ : Stat();
    return {status.st_size,
            static_cast<unsigned>(status.st_mode & 07777),
            status.st_mtim.tv_sec,
            status.st_mtim.tv_nsec,
            {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)}};
  }

  std::int64_t BlockSize() override {
    const auto size = static_cast<std::int64_t>(Stat().st_blksize);
    return size < 512 ? 512 : size;
  }

  std::vector<std::pair<std::int64_t, std::int64_t>> DataExtents(std::int64_t size) override {
    // A file given room for every byte it holds has no hole to look for.
    if (at_open_ && at_open_->st_blocks * 512 >= size) return {};
    std::vector<std::pair<std::int64_t, std::int64_t>> extents;
    for (off_t at = 0; at < size;) {
      const off_t data = ::lseek(Descriptor(), at, SEEK_DATA);
      if (data < 0 && errno == ENXIO) break;  // only a hole is left
      if (data < 0) return {};                // the file system cannot tell: all of it is data
      if (data >= size) break;
      off_t hole = ::lseek(Descriptor(), data, SEEK_HOLE);
      if (hole < 0) return {};
      hole = std::min<off_t>(hole, size);
      extents.emplace_back(data, hole);
      at = hole;
    }
    // The reads that follow seek where they need; a file without holes is read the ordinary way.
    if (extents.size() == 1 && extents[0] == std::pair<std::int64_t, std::int64_t>(0, size)) return {};
    return extents;
  }

  void Sync() override {
    while (::fdatasync(Descriptor()) != 0) {
      if (errno != EINTR) throw FileSystemError(errno, path_, "write to disk");
    }
  }

  void SetModeAndTime(unsigned mode, const FileStatus& modified) override {
    const timespec times[2] = {{0, UTIME_OMIT},
                               {static_cast<time_t>(modified.modified_seconds),
                                static_cast<long>(modified.modified_nanoseconds)}};
    if (::fchmod(Descriptor(), static_cast<mode_t>(mode)) != 0) throw FileSystemError(errno, path_, "set the mode of");
    if (::futimens(Descriptor(), times) != 0) throw FileSystemError(errno, path_, "set the time of");
  }

  void Truncate() override {
    // A copy prefilled to its size is not asked to take that size again.
    if (known_size_ == position_) return;
    while (::ftruncate(Descriptor(), static_cast<off_t>(position_)) != 0) {
      if (errno != EINTR) throw FileSystemError(errno, path_, "truncate");
    }
    known_size_ = position_;
  }

  void Close() override {
    direct_.reset();
    if (fd_ < 0) return;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) throw FileSystemError(errno, path_, "close");
  }

 private:

  // The size as this file's own writes left it, asked of the file system
  // once: the program is the only writer of the files it writes.
  std::int64_t KnownSize() {
    if (!known_size_) known_size_ = Stat().st_size;
    return *known_size_;
  }

  struct stat Stat() const {
    struct stat status {};
    if (::fstat(Descriptor(), &status) != 0) throw FileSystemError(errno, path_, "query the size of");
    return status;
  }

  int fd_;
  std::string path_;
  std::optional<struct stat> at_open_;
  std::optional<std::int64_t> known_size_;  // the size after this file's own writes, once asked
  std::optional<std::size_t> failed_from_;  // where the last cached read failed, when the page cache told
  std::int64_t position_ = 0;
  bool nowait_reads_ = true;  // false once the file system refused RWF_NOWAIT
  bool near_damage_ = false;  // a read failed: from then on reads go direct where they can
  bool own_read_ahead_ = false;  // the kernel's read-ahead is off: Read asks for the next span itself
  bool read_ahead_checked_ = false;  // whether the page cache holds what was read is known
  std::unique_ptr<DirectReader> direct_;  // set while reads go straight to the device
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
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    const int error = errno;
    ::close(fd);
    throw FileSystemError(error, path, "open");
  }
  auto file = std::make_unique<PosixFile>(fd, path, status);
  if (!S_ISREG(status.st_mode)) throw FileSystemError(EINVAL, path, "open a non-regular file");
  if (::fcntl(fd, F_SETFL, 0) != 0) throw FileSystemError(errno, path, "open");
  // A file the first pass reads in one request leaves the kernel nothing to
  // read ahead: its own read-ahead is turned off only at a failure there.
  if (status.st_size > static_cast<off_t>(LargeReads::kRequestBytes)) file->AskForReadsAhead();
  return file;
}

std::unique_ptr<File> Create(const std::string& path) {
  const int fd = OpenRetrying(path, O_RDWR | O_CREAT | O_TRUNC, 0666);
  if (fd < 0) throw FileSystemError(errno, path, "create");
  return std::make_unique<PosixFile>(fd, path);
}

std::unique_ptr<File> FileOfDescriptor(int fd, const std::string& path) {
  return std::make_unique<PosixFile>(fd, path);
}

}  // namespace salvorine
