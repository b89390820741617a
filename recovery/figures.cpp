#include "recovery/figures.h"

namespace salvorine {
namespace {
__extension__ typedef unsigned __int128 Wide;
}  // namespace

std::int64_t Percent(std::int64_t part, std::int64_t whole) {
  if (whole <= 0) return 0;
  // Split part × 100 / whole into quotient and remainder without overflow.
  const bool negative = part < 0;
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(part) : static_cast<std::uint64_t>(part);
  const auto divisor = static_cast<std::uint64_t>(whole);
  const Wide product = static_cast<Wide>(magnitude) * 100U;
  auto quotient = static_cast<std::uint64_t>(product / divisor);
  const auto remainder = static_cast<std::uint64_t>(product % divisor);
  const Wide twice = static_cast<Wide>(remainder) * 2U;
  if (twice > divisor || (twice == divisor && quotient % 2 == 1)) ++quotient;
  const auto result = static_cast<std::int64_t>(quotient);
  return negative ? -result : result;
}

int HeldBarPosition(std::int64_t position) {
  if (position < 0) return 0;
  if (position > 100) return 100;
  return static_cast<int>(position);
}

int CompletedPercent(std::int64_t completed, std::int64_t size) {
  return completed == size ? 100 : HeldBarPosition(Percent(completed, size));
}

std::string CountWithPercent(std::int64_t bytes, const std::string& percent_text) {
  return std::to_string(bytes) + " (" + percent_text + ")";
}

std::string CountWithShare(std::int64_t bytes, std::int64_t whole) {
  return CountWithPercent(bytes, std::to_string(Percent(bytes, whole)) + "%");
}

}  // namespace salvorine
