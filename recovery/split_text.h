#pragma once

#include <string>
#include <vector>

namespace salvorine {

// The pieces of `text` between `separator`s; one piece (the whole text) when there is none.
inline std::vector<std::string> SplitText(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (std::size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, start)) {
    pieces.push_back(text.substr(start, at - start));
    start = at + 1;
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

}  // namespace salvorine
