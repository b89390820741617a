#include "recovery/map_file.h"

#include <cinttypes>
#include <cstdio>
#include <sstream>

namespace salvorine {
namespace {

char StatusOf(RescueState state) {
  switch (state) {
    case RescueState::kDone: return '+';
    case RescueState::kBad: return '-';
    case RescueState::kUntried: break;
  }
  return '?';
}

std::optional<RescueState> StateOf(char status) {
  switch (status) {
    case '+': return RescueState::kDone;
    case '-':
    case '*':
    case '/': return RescueState::kBad;
    case '?': return RescueState::kUntried;
    default: return std::nullopt;
  }
}

std::string Hex(std::int64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%08" PRIX64, static_cast<std::uint64_t>(value));
  return text;
}

// A number as ddrescue writes it: hexadecimal with 0x, or decimal.
std::optional<std::int64_t> Number(const std::string& text) {
  try {
    std::size_t used = 0;
    const long long value = std::stoll(text, &used, 0);
    if (used != text.size() || value < 0) return std::nullopt;
    return value;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

constexpr const char* kSourceLine = "# source size %lld modified %lld.%09lld";

std::string MapFileText(const RescueMap& map, bool finished, const FileStatus* source) {
  std::string text = "# Mapfile. Created by Salvorine\n";
  if (source != nullptr) {
    char line[128];
    std::snprintf(line, sizeof line, kSourceLine, static_cast<long long>(source->size),
                  static_cast<long long>(source->modified_seconds), static_cast<long long>(source->modified_nanoseconds));
    text += std::string(line) + "\n";
  }
  text += "# current_pos  current_status  current_pass\n";
  text += Hex(0) + "     " + (finished ? '+' : '?') + "               1\n";
  text += "#      pos        size  status\n";
  for (const RescueMap::Segment& segment : map.Segments()) {
    text += Hex(segment.start) + "  " + Hex(segment.end - segment.start) + "  " + StatusOf(segment.state) + "\n";
  }
  return text;
}

std::optional<MappedSource> MappedSourceOf(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.starts_with('#')) continue;
    long long size = 0, seconds = 0, nanoseconds = 0;
    if (std::sscanf(line.c_str(), "# source size %lld modified %lld.%lld", &size, &seconds, &nanoseconds) == 3) {
      return MappedSource{size, seconds, nanoseconds};
    }
  }
  return std::nullopt;
}

std::optional<RescueMap> ParseMapFile(const std::string& text, std::int64_t size) {
  std::istringstream lines(text);
  std::string line;
  bool status_line_seen = false;
  std::int64_t covered = 0;
  RescueMap map(0, size);
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string first, second, third;
    if (!(fields >> first) || first.front() == '#') continue;
    if (!status_line_seen) {
      status_line_seen = true;  // current position and status: where a run stood, not needed to resume
      continue;
    }
    if (!(fields >> second >> third) || third.size() != 1) return std::nullopt;
    const auto start = Number(first);
    const auto length = Number(second);
    const auto state = StateOf(third[0]);
    if (!start || !length || !state || *start != covered || *length == 0 || *length > size - covered) {
      return std::nullopt;
    }
    map.Set(*start, *start + *length, *state);
    covered += *length;
  }
  if (covered != size) return std::nullopt;
  return map;
}

}  // namespace salvorine
