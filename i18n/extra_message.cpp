#include "i18n/extra_message.h"

#include "platform/profile_file.h"

namespace salvorine {

std::string ExtraMessage(const std::string& language_file, int key, const std::string& fallback) {
  const std::string text = ProfileFile(language_file).ReadString("Messages", std::to_string(key), "");
  return text.empty() ? fallback : text;
}

}  // namespace salvorine
