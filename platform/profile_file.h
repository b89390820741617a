#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace salvorine {

// An INI file with the rules the settings and language files rely on:
// - section and key names match regardless of letter case;
// - a value loses its surrounding blanks and one pair of enclosing double
//   quotes, and is cut after 2047 characters;
// - a missing file, section or key gives the default; malformed lines are skipped;
// - writing a key replaces its line in place and keeps every other line; a new
//   key goes at the end of its section, a new section at the end of the file;
// - every write replaces the file atomically, so a crash or a full disk never
//   leaves half a file.
class ProfileFile {
 public:
  // Loads `path`; a file that cannot be read behaves as an empty one.
  explicit ProfileFile(std::string path);
  // A file whose current content is `text`.
  ProfileFile(std::string path, std::string_view text);

  std::string ReadString(std::string_view section, std::string_view key, const std::string& default_value) const;
  // Decimal, or hexadecimal after "0x" or "$"; anything else gives the default.
  long long ReadInteger(std::string_view section, std::string_view key, long long default_value) const;
  // True for any integer but 0.
  bool ReadBool(std::string_view section, std::string_view key, bool default_value) const;

  // Raises ProfileWriteError ("Unable to write to <path>") when the file cannot be written.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, long long value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

  const std::string& Path() const { return path_; }

 private:
  // Index of the value line of `key` in `section`, or -1.
  long FindKey(std::string_view section, std::string_view key) const;
  void Save() const;

  std::string path_;
  std::vector<std::string> lines_;  // as read, without their line ends
};

// Parses an INI integer: decimal, or hexadecimal after "0x" or "$"; false for anything else.
bool ParseProfileInteger(std::string_view text, long long& value);

}  // namespace salvorine
