#include "recovery/whole_records.h"

#include <cinttypes>
#include <cstdio>
#include <sstream>

namespace salvorine {
namespace {

constexpr const char* kHeading = "# Whole copies: source size, source modification time, copy below the save folder\n";

// A path on one line: backslash, tab and line break written as \\, \t and \n.
std::string Escaped(const std::string& path) {
  std::string text;
  for (const char c : path) {
    if (c == '\\') text += "\\\\";
    else if (c == '\t') text += "\\t";
    else if (c == '\n') text += "\\n";
    else text += c;
  }
  return text;
}

std::optional<std::string> Unescaped(const std::string& text) {
  std::string path;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      path += text[i];
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case '\\': path += '\\'; break;
      case 't': path += '\t'; break;
      case 'n': path += '\n'; break;
      default: return std::nullopt;
    }
  }
  return path;
}

}  // namespace

WholeRecords WholeRecords::Parse(const std::string& text) {
  WholeRecords records;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line.front() == '#') continue;
    long long size = 0, seconds = 0, nanoseconds = 0;
    int used = 0;
    if (std::sscanf(line.c_str(), "%lld\t%lld.%lld\t%n", &size, &seconds, &nanoseconds, &used) != 3 || used == 0) {
      continue;
    }
    const std::optional<std::string> copy = Unescaped(line.substr(static_cast<std::size_t>(used)));
    if (!copy || copy->empty() || size < 0) continue;
    records.records_[*copy] = MappedSource{size, seconds, nanoseconds};
  }
  return records;
}

std::string WholeRecords::Text() const {
  std::string text;
  Write([&text](std::string_view piece) { text += piece; });
  return text;
}

void WholeRecords::Write(const std::function<void(std::string_view)>& put) const {
  put(kHeading);
  for (const auto& [copy, source] : records_) {
    char fields[80];
    std::snprintf(fields, sizeof fields, "%" PRId64 "\t%" PRId64 ".%09" PRId64 "\t", source.size,
                  source.modified_seconds, source.modified_nanoseconds);
    put(fields + Escaped(copy) + "\n");
  }
}

bool WholeRecords::Holds(const std::string& copy, const FileStatus& source) const {
  const auto found = records_.find(copy);
  return found != records_.end() && found->second.Is(source);
}

void WholeRecords::Add(const std::string& copy, const FileStatus& source) {
  records_[copy] = MappedSource{source.size, source.modified_seconds, source.modified_nanoseconds};
}

bool WholeRecords::Remove(const std::string& copy) { return records_.erase(copy) > 0; }

}  // namespace salvorine
