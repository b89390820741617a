#pragma once

#include <string>

namespace salvorine {

// Message keys of the command-line program's own texts, read as ExtraMessage reads them.
inline constexpr int kNeitherFileNorFolderMessage = 166;  // %1: the path
inline constexpr int kReportNotWrittenMessage = 167;      // %1: the path
inline constexpr int kTableNotWrittenMessage = 168;
inline constexpr int kErrorWordMessage = 169;  // the word a command-line error starts with

// File and folder errors raised from now on are worded in the language of
// `language_file` (section "Messages", keys 150 to 165), in English where it
// lacks a text.
void WordFileSystemErrorsIn(const std::string& language_file);

// `text` with "%1" replaced by `value`.
std::string WithValue(std::string text, const std::string& value);

}  // namespace salvorine
