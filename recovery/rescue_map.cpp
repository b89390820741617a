#include "recovery/rescue_map.h"

#include <algorithm>

namespace salvorine {

// No room is set aside ahead: a map grows with the damage it records, and a
// run may hold the maps of thousands of damaged files at once.
RescueMap::RescueMap(std::int64_t start, std::int64_t end) : start_(start), end_(end) {
  if (start < end) {
    segments_.push_back({start, end, RescueState::kUntried});
    TotalOf(RescueState::kUntried) = end - start;
  }
}

std::size_t RescueMap::FirstEndingAfter(std::int64_t at) const {
  const auto it = std::upper_bound(segments_.begin(), segments_.end(), at,
                                   [](std::int64_t value, const Segment& segment) { return value < segment.end; });
  return static_cast<std::size_t>(it - segments_.begin());
}

std::size_t RescueMap::SplitAt(std::int64_t at) {
  const std::size_t index = FirstEndingAfter(at);
  if (index == segments_.size()) return index;
  const auto it = segments_.begin() + static_cast<long>(index);
  if (it->start == at) return index;
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
  for (std::size_t i = first; i < last; ++i) TotalOf(segments_[i].state) -= segments_[i].end - segments_[i].start;
  TotalOf(state) += end - start;
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

void RescueMap::Replace(std::int64_t start, std::int64_t end, RescueState from, RescueState to) {
  for (const Segment& segment : SegmentsIn(from, start, end)) Set(std::max(segment.start, start), std::min(segment.end, end), to);
}

bool RescueMap::Any(std::int64_t start, std::int64_t end, RescueState state) const {
  if (start >= end) return false;
  for (std::size_t i = FirstEndingAfter(start); i < segments_.size() && segments_[i].start < end; ++i) {
    if (segments_[i].state == state) return true;
  }
  return false;
}

std::vector<RescueMap::Segment> RescueMap::SegmentsIn(RescueState state, std::int64_t start, std::int64_t end) const {
  std::vector<Segment> found;
  for (std::size_t i = FirstEndingAfter(start); i < segments_.size() && segments_[i].start < end; ++i) {
    if (segments_[i].state == state) found.push_back(segments_[i]);
  }
  return found;
}

const RescueMap::Segment* RescueMap::SegmentAt(std::int64_t at) const {
  const std::size_t index = FirstEndingAfter(at);
  if (index == segments_.size() || segments_[index].start > at) return nullptr;
  return &segments_[index];
}

std::vector<RescueMap::Segment> RescueMap::SegmentsIn(RescueState state) const {
  std::vector<Segment> found;
  for (const Segment& segment : segments_) {
    if (segment.state == state) found.push_back(segment);
  }
  return found;
}

}  // namespace salvorine
