// libFuzzer target for the INI reader: any bytes must parse without crashing,
// and whatever a read returns must respect the length limit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/profile_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const salvorine::ProfileFile file("fuzz.ini", text);
  for (const char* section : {"Settings", "Messages", "", "["}) {
    for (const char* key : {"Mode", "0", "60", "Folder", "", "="}) {
      if (file.ReadString(section, key, "").size() > 2047) std::abort();
      file.ReadInteger(section, key, 0);
      file.ReadBool(section, key, false);
    }
  }
  long long value = 0;
  salvorine::ParseProfileInteger(text, value);
  return 0;
}
