#include "platform/profile_file.h"

#include <fstream>
#include <sstream>
#include <string_view>

namespace salvorine {
namespace {

constexpr std::size_t kMaxValueLength = 2047;

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

ProfileFile::ProfileFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  text_ = content.str();
}

std::string ProfileFile::ReadString(const std::string& section, const std::string& key,
                                    const std::string& default_value) const {
  std::string_view rest = text_;
  bool in_section = false;
  while (!rest.empty()) {
    const auto end = rest.find('\n');
    const std::string_view line = Trim(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);

    if (line.starts_with('[')) {
      const auto close = line.find(']');
      if (close != std::string_view::npos) in_section = EqualIgnoringCase(Trim(line.substr(1, close - 1)), section);
      continue;
    }
    const auto equals = line.find('=');
    if (!in_section || line.starts_with(';') || equals == std::string_view::npos) continue;
    if (!EqualIgnoringCase(Trim(line.substr(0, equals)), key)) continue;

    std::string_view value = Trim(line.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    return std::string(value.substr(0, kMaxValueLength));
  }
  return default_value;
}

}  // namespace salvorine
