#pragma once

#include <stdexcept>
#include <string>

namespace salvorine {

// A failed file or folder operation: the errno it ended with and a text that
// names the path and the reason.
class FileSystemError : public std::runtime_error {
 public:
  FileSystemError(int error_code, const std::string& path, const std::string& action);

  int Code() const { return code_; }
  const std::string& Path() const { return path_; }

 private:
  int code_;
  std::string path_;
};

// The text of errno `error_code`, e.g. "Input/output error".
std::string ErrorText(int error_code);

}  // namespace salvorine
