#pragma once

#include <cstdint>
#include <string>

namespace salvorine {

// round(part × 100 / whole) with halves to even, computed exactly; 0 when whole ≤ 0.
std::int64_t Percent(std::int64_t part, std::int64_t whole);

// A progress bar holds a position outside 0..100 at the nearest bound.
int HeldBarPosition(std::int64_t position);

// The share the Completed cell and the file's bar show: 100 once every byte is
// done with (an empty file too), else the nearest whole percent, held within 0..100.
int CompletedPercent(std::int64_t completed, std::int64_t size);

// "512 (50%)": a byte count with a percentage text in parentheses.
std::string CountWithPercent(std::int64_t bytes, const std::string& percent_text);

// "96 (9%)": a byte count with its share of `whole`.
std::string CountWithShare(std::int64_t bytes, std::int64_t whole);

inline const std::string kZeroFigure = "0 (0%)";

}  // namespace salvorine
