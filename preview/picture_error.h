#pragma once

#include <stdexcept>
#include <string>

namespace salvorine {

// A picture that cannot be shown. The text names the file and says why.
class PictureError : public std::runtime_error {
 public:
  PictureError(const std::string& path, const std::string& reason)
      : std::runtime_error(path + ": " + reason), path_(path), reason_(reason) {}

  const std::string& Path() const { return path_; }
  const std::string& Reason() const { return reason_; }

 private:
  std::string path_;
  std::string reason_;
};

}  // namespace salvorine
