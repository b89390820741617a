#include "damaged_media/description_path.h"

#include <stdexcept>

namespace salvorine::damaged_media {
namespace {

constexpr size_t kMaxNameBytes = 255;  // what Linux accepts for one name

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string DecodeName(std::string_view written) {
  std::string name;
  for (size_t i = 0; i < written.size(); ++i) {
    if (written[i] != '\\') {
      name += written[i];
      continue;
    }
    if (i + 1 < written.size() && written[i + 1] == '\\') {
      name += '\\';
      ++i;
      continue;
    }
    if (i + 1 < written.size() && written[i + 1] == 'x') {
      const int high = i + 2 < written.size() ? HexDigitValue(written[i + 2]) : -1;
      const int low = i + 3 < written.size() ? HexDigitValue(written[i + 3]) : -1;
      if (high < 0 || low < 0) {
        throw std::invalid_argument("\\x must be followed by two hex digits");
      }
      const auto byte = static_cast<char>(high * 16 + low);
      if (byte == '\0' || byte == '/' || byte == '\n') {
        throw std::invalid_argument("a name cannot contain NUL, '/' or a newline");
      }
      name += byte;
      i += 3;
      continue;
    }
    throw std::invalid_argument("unknown escape (only \\xHH and \\\\ are allowed)");
  }
  return name;
}

}  // namespace

std::vector<std::string> ParseDescriptionPath(std::string_view token) {
  if (token.empty()) {
    throw std::invalid_argument("empty path");
  }
  if (token.front() == '/') {
    throw std::invalid_argument("path must be relative to the mount root (no leading '/')");
  }
  std::vector<std::string> components;
  while (true) {
    const size_t slash = token.find('/');
    const std::string_view written = token.substr(0, slash);
    if (written.empty()) {
      throw std::invalid_argument("empty name in path (doubled or trailing '/')");
    }
    std::string name = DecodeName(written);
    if (name == "." || name == "..") {
      throw std::invalid_argument("'.' and '..' cannot be declared");
    }
    if (name.size() > kMaxNameBytes) {
      throw std::invalid_argument("name longer than 255 bytes");
    }
    components.push_back(std::move(name));
    if (slash == std::string_view::npos) {
      return components;
    }
    token.remove_prefix(slash + 1);
  }
}

}  // namespace salvorine::damaged_media
