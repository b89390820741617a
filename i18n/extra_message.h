#pragma once

#include <string>

namespace salvorine {

// Message keys added after the table's entries, read from the language file
// only when shown, so the table and its loading stay as they are.
// Each is shown with the paths it concerns on the lines after it.
inline constexpr int kHelpPageMissingMessage = 80;
inline constexpr int kHelpPageUnopenedMessage = 81;
// The command-line program's own texts; %1 stands for the path where there is one.
inline constexpr int kNeitherFileNorFolderMessage = 166;
inline constexpr int kReportNotWrittenMessage = 167;
inline constexpr int kTableNotWrittenMessage = 168;
inline constexpr int kErrorWordMessage = 169;  // the word a command-line error starts with

// Key `key` of section "Messages" in `language_file`; `fallback` (English)
// when the file or the key is missing or empty.
std::string ExtraMessage(const std::string& language_file, int key, const std::string& fallback);

}  // namespace salvorine
