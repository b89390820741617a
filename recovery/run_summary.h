#pragma once

#include <cstdint>
#include <string>

#include "i18n/message_table.h"
#include "i18n/window_texts.h"
#include "recovery/run_ports.h"

namespace salvorine {

// What a run left unfinished, said after its summary: %1 files, %2 bytes; the units smallest first.
inline constexpr WindowText kStoppedSummaryText{105, "%1 stopped, %2 not read"};
inline constexpr WindowText kNotReachedSummaryText{106, "%1 not reached"};
inline constexpr WindowText kByteUnitsText{107, "bytes,KB,MB,GB,TB"};

// "1 stopped, 54 MB not read; 2 not reached", either part only when it
// applies; empty when the run reached and finished every row of `table`.
std::string UnfinishedSummary(const JobTable& table, const MessageTable& messages);

// `bytes` in the largest of `units` (comma-separated, each 1000 times the one
// before) that keeps it at 1 or more, rounded down: "54 MB", "700 bytes".
std::string ByteAmountText(std::int64_t bytes, const std::string& units);

}  // namespace salvorine
