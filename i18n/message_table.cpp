#include "i18n/message_table.h"

#include "i18n/data_files.h"
#include "platform/profile_file.h"

namespace salvorine {

const std::string& MessageTable::Message(int index) const {
  static const std::string kEmpty;
  return index >= 0 && index < kSize ? entries_[static_cast<std::size_t>(index)] : kEmpty;
}

void MessageTable::Load(const std::string& path) {
  const ProfileFile file(path);
  for (int i = 0; i < kSize; ++i) {
    entries_[static_cast<std::size_t>(i)] = file.ReadString("Messages", std::to_string(i), "");
  }
  later_.clear();
  for (int key = kSize; key < kSize + kLaterEntries; ++key) {
    std::string text = file.ReadString("Messages", std::to_string(key), "");
    if (!text.empty()) later_.emplace(key, std::move(text));
  }
}

std::string MessageTable::Text(const WindowText& text) const {
  const auto found = later_.find(text.key);
  return found != later_.end() ? found->second : text.english;
}

void MessageTable::Set(int index, std::string text) {
  if (index >= 0 && index < kSize) entries_[static_cast<std::size_t>(index)] = std::move(text);
}

std::string LanguageFilePath(const std::string& program_folder, bool english) {
  const std::string relative = english ? "Language/English.ini" : "Language/Russian.ini";
  const std::string found = FindDataFile(program_folder, relative);
  // Neither copy exists: the path beside the program, which loads as empty texts.
  return found.empty() ? program_folder + "/" + relative : found;
}

}  // namespace salvorine
