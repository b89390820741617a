#include "platform/medium_gone.h"

#include <sys/stat.h>

#include <cerrno>

namespace salvorine {

bool MediumGone(int error_code, const std::string& path) {
  switch (error_code) {
    case ENOTCONN:      // a FUSE daemon that died or was unmounted
    case ECONNABORTED:  // ... while a request of ours waited for it
    case ENODEV:        // the device was removed
    case ENXIO:
    case ESTALE:        // a network file system lost the file's handle
    case ENOMEDIUM:     // a drive without its disc
    case ESHUTDOWN:
      return true;
    case ENOENT:
    case EIO:
    case EBADF: {
      // A bad sector leaves the file reachable; a vanished mount or a pulled card does not.
      struct stat status {};
      return ::stat(path.c_str(), &status) != 0;
    }
    default:
      return false;
  }
}

std::optional<std::uint64_t> DeviceOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(status.st_dev);
}

}  // namespace salvorine
