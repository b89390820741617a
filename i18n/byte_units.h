#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace salvorine {

// The words and the decimal mark sizes are shown with in one language.
struct ByteUnits {
  std::array<std::string, 5> units;  // "%1 B", "%1 KB", "%1 MB", "%1 GB", "%1 TB"
  std::string decimal_mark;          // "." or ","
};

// The units of `language_file`, in English where it lacks them.
ByteUnits ByteUnitsFrom(const std::string& language_file);

// `bytes` in the largest unit (of 1000 each) that keeps the figure under
// 1000, rounded to three significant figures at most: "917 B", "2.5 MB",
// "138 MB". A figure under 10 keeps one decimal, unless it is whole.
std::string ReadableBytes(std::int64_t bytes, const ByteUnits& units);

// `tenths` / 10 with one decimal after `decimal_mark`: 25 gives "2.5".
std::string TenthsText(std::int64_t tenths, const std::string& decimal_mark);

}  // namespace salvorine
