#pragma once

#include <cstdint>
#include <vector>

namespace salvorine {

// What is known of each byte of a range being rescued.
enum class RescueState {
  kUntried,     // no read has covered it yet
  kFailed,      // inside a block whose read failed; its edges are still to trim
  kNonScraped,  // left between the trimmed edges of a failed block
  kBad,         // a sector whose own read failed
  kDone,        // read and written
};

// The states of a range of a file as consecutive segments, merged when
// neighbours share a state. The segments always cover [start, end) exactly.
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
  // The segments in `state`, in file order, as they are now.
  std::vector<Segment> SegmentsIn(RescueState state) const;
  const std::vector<Segment>& Segments() const { return segments_; }

 private:
  // Splits the segment holding `at` so that a segment starts there.
  std::size_t SplitAt(std::int64_t at);

  std::int64_t start_;
  std::int64_t end_;
  std::vector<Segment> segments_;
};

}  // namespace salvorine
