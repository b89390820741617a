#pragma once

#include <string>

namespace salvorine {

// Message keys added after the table's entries, read from the language file
// only when shown, so the table and its loading stay as they are.
// Each is shown with the paths it concerns on the lines after it.
inline constexpr int kHelpPageMissingMessage = 80;
inline constexpr int kHelpPageUnopenedMessage = 81;

// Key `key` of section "Messages" in `language_file`; `fallback` (English)
// when the file or the key is missing or empty.
std::string ExtraMessage(const std::string& language_file, int key, const std::string& fallback);

}  // namespace salvorine
