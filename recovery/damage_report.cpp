#include "recovery/damage_report.h"

#include <charconv>
#include <ctime>
#include <map>
#include <optional>

#include "recovery/split_text.h"

namespace salvorine {
namespace {

constexpr const char* kHeader = "path\tsize\trecovered\tdamaged\tunread\tstate\tmap\texisting\ttime\n";
constexpr std::size_t kFields = 9;
constexpr std::size_t kOlderFields = 6;  // path, size, recovered, damaged, state, map

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
  const bool older = fields.size() == kOlderFields;
  if (!older && fields.size() != kFields) return std::nullopt;
  const auto size = Count(fields[1]);
  const auto recovered = Count(fields[2]);
  const auto damaged = Count(fields[3]);
  const auto unread = older ? std::optional<std::int64_t>(0) : Count(fields[4]);
  const auto state = StateOfWord(fields[older ? 4 : 5]);
  if (!size || !recovered || !damaged || !unread || !state) return std::nullopt;
  ReportRow row;
  row.path = UnescapedField(fields[0]);
  row.figures.size = *size;
  row.figures.recovered = *recovered;
  row.figures.damaged = *damaged;
  row.figures.state = *state;
  row.figures.unread = older ? UnreadBytes(row.figures) : *unread;
  row.map_path = UnescapedField(fields[older ? 5 : 6]);
  if (!older) {
    row.existing = UnescapedField(fields[7]);
    row.time = fields[8];
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
            std::string(RowStateWord(figures.state)) + "\t" + EscapedField(row.map_path) + "\t" +
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

std::vector<ReportRow> MergedReport(std::vector<ReportRow> earlier, const std::vector<ReportRow>& current) {
  std::map<std::string, std::size_t> earlier_index;
  for (std::size_t i = 0; i < earlier.size(); ++i) earlier_index.emplace(earlier[i].path, i);
  std::vector<ReportRow> added;
  for (const ReportRow& row : current) {
    const auto found = earlier_index.find(row.path);
    if (found != earlier_index.end()) {
      earlier[found->second] = row;
    } else {
      added.push_back(row);
    }
  }
  earlier.insert(earlier.end(), added.begin(), added.end());
  return earlier;
}

std::string ReportTime(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm utc{};
  ::gmtime_r(&seconds, &utc);
  char text[32];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return std::string(text, length);
}

}  // namespace salvorine
