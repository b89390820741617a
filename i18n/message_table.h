#pragma once

#include <array>
#include <map>
#include <string>

#include "i18n/window_texts.h"

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

  // An entry after 0..60 from the language file last loaded; its English text
  // when the file lacks it or none was loaded.
  std::string Text(const WindowText& text) const;

 private:
  static constexpr int kLaterEntries = 339;  // keys kSize .. kSize + kLaterEntries - 1
  std::array<std::string, kSize> entries_;
  std::map<int, std::string> later_;
};

// Language/English.ini or Language/Russian.ini, beside the program or else in
// its installed data folder (see FindDataFile); the path beside the program
// when neither exists.
std::string LanguageFilePath(const std::string& program_folder, bool english);

}  // namespace salvorine
