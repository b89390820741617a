#pragma once

#include <stdexcept>
#include <string>

namespace salvorine {

// A settings or language file that could not be written.
class ProfileWriteError : public std::runtime_error {
 public:
  explicit ProfileWriteError(const std::string& path) : std::runtime_error("Unable to write to " + path) {}
};

}  // namespace salvorine
