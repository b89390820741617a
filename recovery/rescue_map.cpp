#include "recovery/rescue_map.h"

#include <algorithm>

namespace salvorine {

RescueMap::RescueMap(std::int64_t start, std::int64_t end) : start_(start), end_(end) {
  segments_.reserve(256);
  if (start < end) segments_.push_back({start, end, RescueState::kUntried});
}

std::size_t RescueMap::SplitAt(std::int64_t at) {
  // The first segment that ends after `at` holds it.
  auto it = std::upper_bound(segments_.begin(), segments_.end(), at,
                             [](std::int64_t value, const Segment& segment) { return value < segment.end; });
  if (it == segments_.end()) return segments_.size();
  if (it->start == at) return static_cast<std::size_t>(it - segments_.begin());
  const Segment tail{at, it->end, it->state};
  it->end = at;
  // Insertion may move the vector: take the position from what it returns.
  const auto inserted = segments_.insert(it + 1, tail);
  return static_cast<std::size_t>(inserted - segments_.begin());
}

void RescueMap::Set(std::int64_t start, std::int64_t end, RescueState state) {
  start = std::max(start, start_);
  end = std::min(end, end_);
  if (start >= end) return;
  const std::size_t first = SplitAt(start);
  const std::size_t last = SplitAt(end);  // one past the segments inside [start, end)
  segments_.erase(segments_.begin() + static_cast<long>(first) + 1, segments_.begin() + static_cast<long>(last));
  segments_[first] = {start, end, state};
  // Merge with equal neighbours, so the map stays as short as the damage allows.
  std::size_t at = first;
  if (at + 1 < segments_.size() && segments_[at + 1].state == state) {
    segments_[at].end = segments_[at + 1].end;
    segments_.erase(segments_.begin() + static_cast<long>(at) + 1);
  }
  if (at > 0 && segments_[at - 1].state == state) {
    segments_[at - 1].end = segments_[at].end;
    segments_.erase(segments_.begin() + static_cast<long>(at));
  }
}

std::vector<RescueMap::Segment> RescueMap::SegmentsIn(RescueState state) const {
  std::vector<Segment> found;
  for (const Segment& segment : segments_) {
    if (segment.state == state) found.push_back(segment);
  }
  return found;
}

}  // namespace salvorine
