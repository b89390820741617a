#include "platform/home_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace salvorine {

std::string HomeFolderOfUser() {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) return {};
  return found->pw_dir != nullptr ? found->pw_dir : "";
}

}  // namespace salvorine
