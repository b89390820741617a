#pragma once

#include <functional>
#include <stdexcept>
#include <string>

namespace salvorine {

// A failed file or folder operation: the errno it ended with and a text that
// names the path and the reason.
class FileSystemError : public std::runtime_error {
 public:
  // `action` is the English verb phrase, e.g. "open" or "create folder".
  FileSystemError(int error_code, const std::string& path, const std::string& action);

  int Code() const { return code_; }
  // The disk, or the user's quota on it, had no room left.
  bool DiskFull() const;
  const std::string& Path() const { return path_; }

 private:
  int code_;
  std::string path_;
};

// The text of errno `error_code`, e.g. "Input/output error".
std::string ErrorText(int error_code);

// Words the start of a failure's text, "Cannot <action> <path>" in English, in
// the language the program shows; the reason follows it after ": ".
using FailureWording = std::function<std::string(const std::string& action, const std::string& path)>;

// Errors raised from now on are worded by `wording`; an empty one restores English.
// Safe to call while other threads raise errors.
void SetFailureWording(FailureWording wording);

}  // namespace salvorine
