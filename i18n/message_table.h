#pragma once

#include <array>
#include <string>

namespace salvorine {

// The 61 texts every window and the run show, empty until a language file is loaded.
class MessageTable {
 public:
  static constexpr int kSize = 61;

  // Entry `index`; an index outside the table gives an empty text.
  const std::string& Message(int index) const;

  // Replaces the whole table from section "Messages", keys "0".."60", of `path`;
  // a missing file or key leaves the entry empty.
  void Load(const std::string& path);

  void Set(int index, std::string text);

 private:
  std::array<std::string, kSize> entries_;
};

// Language/English.ini or Language/Russian.ini, beside the program or else in
// its installed data folder (see FindDataFile); the path beside the program
// when neither exists.
std::string LanguageFilePath(const std::string& program_folder, bool english);

}  // namespace salvorine
