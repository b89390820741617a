#include "platform/file_system_error.h"

#include <cstring>

namespace salvorine {

std::string ErrorText(int error_code) {
  char buffer[256];
  return strerror_r(error_code, buffer, sizeof buffer);
}

FileSystemError::FileSystemError(int error_code, const std::string& path, const std::string& action)
    : std::runtime_error("Cannot " + action + " " + path + ": " + ErrorText(error_code)),
      code_(error_code),
      path_(path) {}

}  // namespace salvorine
