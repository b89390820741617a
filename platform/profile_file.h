#pragma once

#include <string>

namespace salvorine {

// Reads INI files with the rules the settings and language files rely on:
// section and key names match regardless of letter case; a value loses its
// surrounding blanks and one pair of enclosing double quotes and is cut after
// 2047 characters; a missing file, section or key gives the default;
// malformed lines are skipped.
class ProfileFile {
 public:
  // Loads `path`; a file that cannot be read behaves as an empty one.
  explicit ProfileFile(const std::string& path);

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& default_value) const;

 private:
  std::string text_;
};

}  // namespace salvorine
