#include "platform/file_system_error.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

namespace salvorine {
namespace {

std::mutex wording_mutex;
std::shared_ptr<const FailureWording> current_wording;

std::string Worded(const std::string& action, const std::string& path) {
  std::shared_ptr<const FailureWording> wording;
  {
    const std::lock_guard lock(wording_mutex);
    wording = current_wording;
  }
  if (wording != nullptr) return (*wording)(action, path);
  return "Cannot " + action + " " + path;
}

}  // namespace

std::string ErrorText(int error_code) {
  char buffer[256];
  return strerror_r(error_code, buffer, sizeof buffer);
}

void SetFailureWording(FailureWording wording) {
  auto shared = wording ? std::make_shared<const FailureWording>(std::move(wording)) : nullptr;
  const std::lock_guard lock(wording_mutex);
  current_wording = std::move(shared);
}

FileSystemError::FileSystemError(int error_code, const std::string& path, const std::string& action)
    : std::runtime_error(Worded(action, path) + ": " + ErrorText(error_code)), code_(error_code), path_(path) {}

bool FileSystemError::DiskFull() const { return code_ == ENOSPC || code_ == EDQUOT; }

}  // namespace salvorine
