#pragma once

#include <cstdint>

#include "recovery/row_state.h"

namespace salvorine {

// A row's figures as numbers. The table, the report and the summary format
// them; nothing reads them back from text.
struct RowFigures {
  std::int64_t size = 0;       // the source's size when the table was built
  std::int64_t completed = 0;  // how far the pass has come: the Completed column
  int completed_percent = 0;   // the share beside it, as the file's progress bar holds it
  std::int64_t damaged = 0;    // bytes a read failed on or gave up on, left as zeros: the Damaged column
  std::int64_t recovered = 0;  // bytes read and saved
  std::int64_t unread = 0;     // bytes never read: the run stopped in the file or did not reach it
  RowState state = RowState::kPending;
};

// The bytes a row leaves unread: those neither recovered nor damaged, so that
// the three add up to its size in every state (all of a file not reached,
// none of a file whose pass ran to its end).
std::int64_t UnreadBytes(const RowFigures& figures);

}  // namespace salvorine
