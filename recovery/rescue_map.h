#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace salvorine {

// What is known of each byte of a range being rescued. A later run can tell
// the bytes worth another try (kUntried) from those that already failed.
enum class RescueState {
  kUntried,  // no read has covered it yet
  kBad,      // a read covering it failed
  kDone,     // read and written
};

// The states of a range of a file as consecutive segments, merged when
// neighbours share a state. The segments always cover [start, end) exactly,
// and Total(state) is always the byte count of the segments in `state`.
class RescueMap {
 public:
  struct Segment {
    std::int64_t start;
    std::int64_t end;  // start < end
    RescueState state;
  };

  RescueMap(std::int64_t start, std::int64_t end);

  // Gives [start, end), clipped to the map, the state `state`.
  void Set(std::int64_t start, std::int64_t end, RescueState state);
  // Gives the bytes of [start, end) that are in state `from` the state `to`; the others keep theirs.
  void Replace(std::int64_t start, std::int64_t end, RescueState from, RescueState to);
  // Whether any byte of [start, end) is in `state`.
  bool Any(std::int64_t start, std::int64_t end, RescueState state) const;
  std::int64_t Total(RescueState state) const { return totals_[static_cast<std::size_t>(state)]; }
  // The segments in `state`, in file order, as they are now; with a range,
  // only those that overlap it.
  std::vector<Segment> SegmentsIn(RescueState state) const;
  std::vector<Segment> SegmentsIn(RescueState state, std::int64_t start, std::int64_t end) const;
  // The segment that holds `at`; null outside the map.
  const Segment* SegmentAt(std::int64_t at) const;
  const std::vector<Segment>& Segments() const { return segments_; }

 private:
  // Splits the segment holding `at` so that a segment starts there.
  std::size_t SplitAt(std::int64_t at);
  // The index of the first segment that ends after `at`.
  std::size_t FirstEndingAfter(std::int64_t at) const;
  std::int64_t& TotalOf(RescueState state) { return totals_[static_cast<std::size_t>(state)]; }

  std::int64_t start_;
  std::int64_t end_;
  std::vector<Segment> segments_;
  std::array<std::int64_t, 3> totals_{};
};

}  // namespace salvorine
