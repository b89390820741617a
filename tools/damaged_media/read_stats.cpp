#include "damaged_media/read_stats.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace salvorine::damaged_media {
namespace {

[[noreturn]] void ThrowErrno(const std::string& action, const std::filesystem::path& file) {
  throw std::runtime_error("cannot " + action + " " + file.string() + ": " +
                           std::strerror(errno));
}

}  // namespace

void WriteStatsFile(const std::filesystem::path& file, const ReadStatsSnapshot& stats) {
  const std::string text = "reads " + std::to_string(stats.reads) + "\nfailed_reads " +
                           std::to_string(stats.failed_reads) + "\nbytes " +
                           std::to_string(stats.bytes) + "\n";
  std::filesystem::path temporary = file;
  temporary += ".tmp";

  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    ThrowErrno("create", temporary);
  }
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      const int saved = errno;
      ::close(fd);
      errno = saved;
      ThrowErrno("write", temporary);
    }
    written += static_cast<size_t>(n);
  }
  if (::close(fd) != 0) {
    ThrowErrno("close", temporary);
  }
  if (::rename(temporary.c_str(), file.c_str()) != 0) {
    ThrowErrno("rename " + temporary.string() + " to", file);
  }
}

}  // namespace salvorine::damaged_media
