#include "recovery/damage_report.h"

#include <charconv>
#include <cstdio>
#include <unordered_map>
#include <utility>
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

std::string ReportHeader() { return kHeader; }

std::string ReportLine(const ReportRow& row) {
  const RowFigures& figures = row.figures;
  return EscapedField(row.path) + "\t" + std::to_string(figures.size) + "\t" + std::to_string(figures.recovered) +
         "\t" + std::to_string(figures.damaged) + "\t" + std::to_string(figures.unread) + "\t" +
         std::string(RowStateWord(figures.state)) + "\t" + EscapedField(row.copy_path) + "\t" +
         EscapedField(row.map_path) + "\t" + EscapedField(row.existing) + "\t" + row.time + "\n";
}

std::string ReportText(const std::vector<ReportRow>& rows) {
  std::string text = kHeader;
  for (const ReportRow& row : rows) text += ReportLine(row);
  return text;
}

std::vector<ReportRow> ParseReport(const std::string& text) {
  std::vector<ReportRow> rows;
  ForEachReportRow(text, [&rows](const ReportRow& row) { rows.push_back(row); });
  return rows;
}

void ForEachReportRow(const std::string& text, const std::function<void(const ReportRow&)>& take) {
  ReportReader reader(take);
  reader.Add(text);
  reader.End();
}

void ReportReader::Add(std::string_view piece) {
  pending_.append(piece);
  std::size_t start = 0;
  for (std::size_t end = pending_.find('\n'); end != std::string::npos; end = pending_.find('\n', start)) {
    Line(pending_.substr(start, end - start));
    start = end + 1;
  }
  pending_.erase(0, start);
}

void ReportReader::End() {
  if (!pending_.empty()) Line(pending_);
  pending_.clear();
}

void ReportReader::Line(const std::string& line) {
  // The first line is the header.
  if (!std::exchange(header_seen_, true)) return;
  if (const auto row = ParseLine(line)) take_(*row);
}

std::vector<ReportRow> MergedReport(const std::vector<ReportRow>& earlier, const std::vector<ReportRow>& current) {
  std::vector<ReportRow> merged;
  const ReportRows earlier_rows = [&earlier](const auto& take) {
    for (const ReportRow& line : earlier) take(line);
  };
  ForEachMergedRow(
      earlier_rows, current.size(), [&current](std::size_t i) { return current[i]; },
      [&merged](const ReportRow& row) { merged.push_back(row); });
  return merged;
}

namespace {

// The current rows by the hash of their copy and of their path: a hash names
// candidates, the row itself decides. Holds no path, whatever the run's size.
class CurrentIndex {
 public:
  CurrentIndex(std::size_t count, const std::function<ReportRow(std::size_t)>& current) : current_(current) {
    for (std::size_t i = 0; i < count; ++i) {
      const ReportRow row = current(i);
      if (!row.copy_path.empty()) by_copy_.emplace(hash_(row.copy_path), i);
      by_path_.emplace(hash_(row.path), i);
    }
  }
  // The first current row that describes `line` anew: of the same copy, or,
  // for a line naming none, of the same path.
  std::optional<std::size_t> Find(const ReportRow& line) const {
    const bool by_copy = !line.copy_path.empty();
    const std::string& key = by_copy ? line.copy_path : line.path;
    std::optional<std::size_t> first;
    const auto [from, to] = (by_copy ? by_copy_ : by_path_).equal_range(hash_(key));
    for (auto at = from; at != to; ++at) {
      if (first && *first < at->second) continue;
      const ReportRow row = current_(at->second);
      if ((by_copy ? row.copy_path : row.path) == key) first = at->second;
    }
    return first;
  }

 private:
  const std::function<ReportRow(std::size_t)>& current_;
  std::hash<std::string> hash_;
  std::unordered_multimap<std::size_t, std::size_t> by_copy_, by_path_;
};

}  // namespace

void ForEachMergedRow(const ReportRows& earlier, std::size_t count,
                      const std::function<ReportRow(std::size_t)>& current,
                      const std::function<void(const ReportRow&)>& emit) {
  std::vector<bool> placed(count, false);
  // Made at the first earlier line: a save folder without a report needs none.
  std::optional<CurrentIndex> index;
  earlier([&](const ReportRow& line) {
    if (!index) index.emplace(count, current);
    const std::optional<std::size_t> found = index->Find(line);
    if (!found) {
      emit(line);
    } else if (!placed[*found]) {
      placed[*found] = true;
      emit(current(*found));
    }
  });
  for (std::size_t i = 0; i < count; ++i) {
    if (!placed[i]) emit(current(i));
  }
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
