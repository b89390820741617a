#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "recovery/row_figures.h"

namespace salvorine {

// One line of the damage report: a file, its figures and state, its map, and
// when the run that left it so started.
struct ReportRow {
  std::string path;
  RowFigures figures;
  std::string copy_path;  // the saved copy the line describes; empty when the run left none of this file's
  std::string map_path;   // empty when the copy is whole or was not saved
  std::string existing;  // what became of another file's copy at its destination, if one stood there
  std::string time;      // UTC, "2026-12-07T13:55:01Z"; empty on lines of the older format
};

// A path as one tab-separated field: tabs, line ends and backslashes written
// as \t, \n, \r and \\, so that every line keeps its fields.
std::string EscapedField(const std::string& text);
// The path an escaped field stands for.
std::string UnescapedField(const std::string& field);

// The report: a header naming the columns (path, size, recovered, damaged,
// unread, state, copy, map, existing, time), then one line per row.
std::string ReportText(const std::vector<ReportRow>& rows);
// The report's header, and the line of one row (with its "\n"): the pieces of ReportText.
std::string ReportHeader();
std::string ReportLine(const ReportRow& row);

// The rows of a report's text, of this format or of the older ones (without
// the copy column; without the unread, copy, existing and time columns). A
// line that fits none is skipped.
std::vector<ReportRow> ParseReport(const std::string& text);
// The same rows handed to `take` one at a time, none of them kept.
void ForEachReportRow(const std::string& text, const std::function<void(const ReportRow&)>& take);
// The same for a text given in pieces (as it is read): each row goes to
// `take` once its line is complete; End() takes a last line without its line end.
class ReportReader {
 public:
  explicit ReportReader(std::function<void(const ReportRow&)> take) : take_(std::move(take)) {}
  void Add(std::string_view piece);
  void End();

 private:
  void Line(const std::string& line);
  std::function<void(const ReportRow&)> take_;
  std::string pending_;  // the line begun, not yet ended
  bool header_seen_ = false;
};
// Hands each row of a list, in order, to the function it is given.
using ReportRows = std::function<void(const std::function<void(const ReportRow&)>&)>;

// The report of a save folder after a run: each line of `earlier` that a row
// of `current` describes anew gives way to that row, in its place; the others
// stay, and `current`'s other rows follow in their order. A row describes a
// line anew when both name the same saved copy, or when the line names no
// copy and the row is of the same source path: the line of a copy that still
// stands (kept beside a new one, or left by a file skipped) is never dropped.
std::vector<ReportRow> MergedReport(const std::vector<ReportRow>& earlier, const std::vector<ReportRow>& current);
// The same rows handed to `emit` one at a time, the `count` current rows
// made by `current` (index 0..count-1) only when wanted, so that a run of any
// size never holds its report whole.
void ForEachMergedRow(const ReportRows& earlier, std::size_t count,
                      const std::function<ReportRow(std::size_t)>& current,
                      const std::function<void(const ReportRow&)>& emit);

// `when` as the report writes it.
std::string ReportTime(std::chrono::system_clock::time_point when);

}  // namespace salvorine
