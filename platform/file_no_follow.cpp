#include "platform/file_no_follow.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_system_error.h"

namespace salvorine {
namespace {

struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

std::optional<std::string> ReadFileNoFollow(const std::string& path, std::int64_t limit, const std::string& action) {
  std::string text;
  if (!ReadFileNoFollow(path, limit, action, [&text](std::string_view piece) { text.append(piece); })) return std::nullopt;
  return text;
}

bool ReadFileNoFollow(const std::string& path, std::int64_t limit, const std::string& action,
                      const std::function<void(std::string_view)>& take) {
  const Descriptor file{::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
  if (file.fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP) return false;
    throw FileSystemError(errno, path, action);
  }
  struct stat status {};
  if (::fstat(file.fd, &status) != 0) throw FileSystemError(errno, path, action);
  if (!S_ISREG(status.st_mode) || status.st_size > limit) return false;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(file.fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw FileSystemError(errno, path, action);
    if (got == 0) break;
    take(std::string_view(buffer, static_cast<std::size_t>(got)));
  }
  return true;
}

}  // namespace salvorine
