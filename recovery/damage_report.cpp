#include "recovery/damage_report.h"

#include <charconv>
#include <cstdio>
#include <map>
#include <optional>

#include "recovery/split_text.h"

namespace salvorine {
namespace {

constexpr const char* kHeader = "path\tsize\trecovered\tdamaged\tunread\tstate\tcopy\tmap\texisting\ttime\n";
constexpr std::size_t kFields = 10;
constexpr std::size_t kWithoutCopyFields = 9;  // no copy column
constexpr std::size_t kOldestFields = 6;       // path, size, recovered, damaged, state, map

std::optional<std::int64_t> Count(const std::string& field) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (error != std::errc() || end != field.data() + field.size() || value < 0) return std::nullopt;
  return value;
}

std::optional<RowState> StateOfWord(const std::string& word) {
  for (const RowState state :
       {RowState::kPending, RowState::kStopped, RowState::kSkipped, RowState::kUnsaved, RowState::kDamaged,
        RowState::kSaved}) {
    if (RowStateWord(state) == word) return state;
  }
  return std::nullopt;
}

std::optional<ReportRow> ParseLine(const std::string& line) {
  const std::vector<std::string> fields = SplitText(line, '\t');
  const bool oldest = fields.size() == kOldestFields;
  const bool with_copy = fields.size() == kFields;
  if (!oldest && !with_copy && fields.size() != kWithoutCopyFields) return std::nullopt;
  // Where the state, map, existing and time columns stand in this line's format.
  const std::size_t state_at = oldest ? 4 : 5;
  const std::size_t map_at = with_copy ? 7 : state_at + 1;
  const auto size = Count(fields[1]);
  const auto recovered = Count(fields[2]);
  const auto damaged = Count(fields[3]);
  const auto unread = oldest ? std::optional<std::int64_t>(0) : Count(fields[4]);
  const auto state = StateOfWord(fields[state_at]);
  if (!size || !recovered || !damaged || !unread || !state) return std::nullopt;
  ReportRow row;
  row.path = UnescapedField(fields[0]);
  row.figures.size = *size;
  row.figures.recovered = *recovered;
  row.figures.damaged = *damaged;
  row.figures.state = *state;
  row.figures.unread = oldest ? UnreadBytes(row.figures) : *unread;
  if (with_copy) row.copy_path = UnescapedField(fields[6]);
  row.map_path = UnescapedField(fields[map_at]);
  if (!oldest) {
    row.existing = UnescapedField(fields[map_at + 1]);
    row.time = fields[map_at + 2];
  }
  return row;
}

}  // namespace

std::string EscapedField(const std::string& text) {
  std::string field;
  field.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '\t': field += "\\t"; break;
      case '\n': field += "\\n"; break;
      case '\r': field += "\\r"; break;
      case '\\': field += "\\\\"; break;
      default: field += c;
    }
  }
  return field;
}

std::string UnescapedField(const std::string& field) {
  std::string text;
  text.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      text += field[i];
      continue;
    }
    const char next = field[++i];
    text += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  return text;
}

std::string ReportText(const std::vector<ReportRow>& rows) {
  std::string text = kHeader;
  for (const ReportRow& row : rows) {
    const RowFigures& figures = row.figures;
    text += EscapedField(row.path) + "\t" + std::to_string(figures.size) + "\t" + std::to_string(figures.recovered) +
            "\t" + std::to_string(figures.damaged) + "\t" + std::to_string(figures.unread) + "\t" +
            std::string(RowStateWord(figures.state)) + "\t" + EscapedField(row.copy_path) + "\t" +
            EscapedField(row.map_path) + "\t" +
            EscapedField(row.existing) + "\t" + row.time + "\n";
  }
  return text;
}

std::vector<ReportRow> ParseReport(const std::string& text) {
  std::vector<ReportRow> rows;
  std::size_t start = text.find('\n');  // the header
  while (start != std::string::npos && start + 1 < text.size()) {
    const std::size_t end = text.find('\n', start + 1);
    const std::string line = text.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
    if (auto row = ParseLine(line)) rows.push_back(std::move(*row));
    start = end;
  }
  return rows;
}

std::vector<ReportRow> MergedReport(const std::vector<ReportRow>& earlier, const std::vector<ReportRow>& current) {
  std::map<std::string, std::size_t> by_copy, by_path;
  for (std::size_t i = 0; i < current.size(); ++i) {
    if (!current[i].copy_path.empty()) by_copy.emplace(current[i].copy_path, i);
    by_path.emplace(current[i].path, i);
  }
  std::vector<ReportRow> merged;
  std::vector<bool> placed(current.size(), false);
  for (const ReportRow& line : earlier) {
    const auto& index = line.copy_path.empty() ? by_path : by_copy;
    const auto found = index.find(line.copy_path.empty() ? line.path : line.copy_path);
    if (found == index.end()) {
      merged.push_back(line);
    } else if (!placed[found->second]) {
      placed[found->second] = true;
      merged.push_back(current[found->second]);
    }
  }
  for (std::size_t i = 0; i < current.size(); ++i) {
    if (!placed[i]) merged.push_back(current[i]);
  }
  return merged;
}

std::string ReportTime(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const auto second = floor<seconds>(when);
  const auto day = floor<days>(second);
  const year_month_day date{day};
  const hh_mm_ss time{second - day};
  char text[32];
  const int length = std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                                   static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                                   static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                                   static_cast<int>(time.seconds().count()));
  return std::string(text, static_cast<std::size_t>(length));
}

}  // namespace salvorine
