#include "recovery/probe_spacing.h"

#include <algorithm>

namespace salvorine {

void ProbeSpacing::Refine(std::int64_t start, std::int64_t end, std::int64_t spacing) {
  if (start >= end) return;
  steps_.emplace(end, At(end));  // what held from `end` on still holds
  steps_.emplace(start, At(start));
  for (auto it = steps_.find(start); it->first < end; ++it) it->second = std::min(it->second, spacing);
}

std::int64_t ProbeSpacing::Over(std::int64_t start, std::int64_t end) const {
  std::int64_t smallest = At(start);
  for (auto it = steps_.upper_bound(start); it != steps_.end() && it->first < end; ++it) {
    smallest = std::min(smallest, it->second);
  }
  return smallest;
}

std::int64_t ProbeOffset(std::int64_t length, std::int64_t least) {
  constexpr double kShorterSection = 0.3819660112501051;  // 1 - 1/phi
  const auto offset = static_cast<std::int64_t>(static_cast<double>(length) * kShorterSection);
  return std::clamp(std::max(offset, least), std::int64_t{0}, std::max<std::int64_t>(length - 1, 0));
}

}  // namespace salvorine
