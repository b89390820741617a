#pragma once

namespace salvorine {

// True unless the desktop's language for messages is Russian. The locale
// variables count as the C library takes them: LC_ALL, then LC_MESSAGES, then
// LANG, the first one set and not empty; a value starting with "ru" is Russian.
// Null stands for an unset variable.
bool DesktopLanguageIsEnglish(const char* lc_all, const char* lc_messages, const char* lang);
// The same for this process's environment.
bool DesktopLanguageIsEnglish();

}  // namespace salvorine
