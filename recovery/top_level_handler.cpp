#include "recovery/top_level_handler.h"

namespace salvorine {

std::string TopLevelErrorText(const std::string& what) {
  if (!what.empty() && static_cast<unsigned char>(what.back()) > static_cast<unsigned char>('.')) return what + ".";
  return what;
}

}  // namespace salvorine
