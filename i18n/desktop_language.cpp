#include "i18n/desktop_language.h"

#include <cstdlib>
#include <string_view>

namespace salvorine {

bool DesktopLanguageIsEnglish(const char* lc_all, const char* lc_messages, const char* lang) {
  for (const char* value : {lc_all, lc_messages, lang}) {
    if (value != nullptr && *value != '\0') return !std::string_view(value).starts_with("ru");
  }
  return true;
}

bool DesktopLanguageIsEnglish() {
  return DesktopLanguageIsEnglish(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

}  // namespace salvorine
