#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recovery/row_state.h"

namespace salvorine {

// One row of a run as the damage report lists it.
struct ReportRow {
  std::string path;
  std::int64_t size = 0;
  std::int64_t recovered = 0;  // bytes read and saved
  std::int64_t damaged = 0;    // bytes left as zeros
  RowState state = RowState::kPending;
  std::string map_path;  // empty when the copy is whole or was not saved
  std::string existing;  // what became of another file's copy at its destination, if one stood there
};

// A path as one tab-separated field: tabs, line ends and backslashes written
// as \t, \n, \r and \\, so that every line keeps its fields.
std::string EscapedField(const std::string& text);

// The report: a header naming the columns, then one line per row.
std::string ReportText(const std::vector<ReportRow>& rows);

}  // namespace salvorine
