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

}  // namespace salvorine
