#include "recovery/file_rescue.h"

#include "recovery/file_pass.h"
#include "recovery/thorough_pass.h"

namespace salvorine {
namespace {

// The stretches a map does not mark finished, neighbouring failed and untried bytes together.
std::vector<ByteRange> UnfinishedRanges(const RescueMap& map) {
  std::vector<ByteRange> ranges;
  for (const RescueMap::Segment& segment : map.Segments()) {
    if (segment.state == RescueState::kDone) continue;
    if (!ranges.empty() && ranges.back().End() == segment.start) {
      ranges.back().length += segment.end - segment.start;
    } else {
      ranges.push_back({segment.start, segment.end - segment.start});
    }
  }
  return ranges;
}

}  // namespace

PassResult FileRescue::Copy(RescueReach reach) {
  const Extents extents = target_.source.DataExtents(target_.size);
  if (!extents.empty()) return CopyStretches(extents, reach);
  FirstPass pass(target_, context_, figures_, {0, target_.size});
  pass.Prefill();
  if (pass.Run() == PassResult::kStopped) return PassResult::kStopped;
  if (RescueUnread(pass.UnreadRange(), reach) == PassResult::kStopped) return PassResult::kStopped;
  return StepDone();
}

// A source with holes: they read as zeros without touching the device, so
// they are not read, and the copy keeps them as holes. Each stretch of data
// is read as an unfinished range of an earlier copy is.
PassResult FileRescue::CopyStretches(const Extents& extents, RescueReach reach) {
  target_.copy.Seek(target_.size);
  target_.copy.Truncate();
  target_.map.Set(0, target_.size, RescueState::kDone);
  for (const auto& [start, end] : extents) target_.map.Set(start, end, RescueState::kUntried);
  for (const auto& [start, end] : extents) {
    if (FirstPassThenRescue({start, end - start}, reach) == PassResult::kStopped) return PassResult::kStopped;
  }
  return StepDone();
}

PassResult FileRescue::Continue(RescueReach reach) {
  if (!context_.options.ContinueEarlierCopies()) return ContinueAfresh(reach);
  figures_.ShowReading();
  for (const ByteRange& range : UnfinishedRanges(target_.map)) {
    if (FirstPassThenRescue(range, reach) == PassResult::kStopped) return PassResult::kStopped;
  }
  return StepDone();
}

// Every byte is read again into a map of its own; the earlier map then learns
// what was read, and what failed where it held nothing finished.
PassResult FileRescue::ContinueAfresh(RescueReach reach) {
  RescueMap read(0, target_.size);
  FileRescue again({target_.source, target_.copy, read, target_.row, target_.size}, context_);
  const PassResult result = again.FirstPassThenRescue({0, target_.size}, reach);
  for (const RescueMap::Segment& done : read.SegmentsIn(RescueState::kDone)) {
    target_.map.Set(done.start, done.end, RescueState::kDone);
  }
  for (const RescueMap::Segment& bad : read.SegmentsIn(RescueState::kBad)) {
    target_.map.Replace(bad.start, bad.end, RescueState::kUntried, RescueState::kBad);
  }
  // Thorough tries what this pass left again sector by sector, whatever the earlier map found there.
  if (context_.options.Mode() == kModeThorough) {
    for (const RescueMap::Segment& left : read.SegmentsIn(RescueState::kUntried)) {
      target_.map.Replace(left.start, left.end, RescueState::kBad, RescueState::kUntried);
    }
  }
  return result == PassResult::kStopped ? result : StepDone();
}

// The first pass over `range` of a copy that holds the rest of the file, then
// the sector rescue of what it leaves.
PassResult FileRescue::FirstPassThenRescue(const ByteRange& range, RescueReach reach) {
  FirstPass pass(target_, context_, figures_, range);
  if (pass.Run() == PassResult::kStopped) return PassResult::kStopped;
  return RescueUnread(pass.UnreadRange(), reach);
}

PassResult FileRescue::RescueUnread(const ByteRange& unread, RescueReach reach) {
  if (reach == RescueReach::kFirstPass || unread.length == 0) return PassResult::kDone;
  return RescueSectors(target_, context_, figures_, unread, reach);
}

PassResult FileRescue::RescueUntried(RescueReach reach, ProbeRecord& probes, double yield_below) {
  if (RescueUntriedSectors(target_, context_, figures_, reach, probes, yield_below) == PassResult::kStopped) {
    return PassResult::kStopped;
  }
  return StepDone();
}

PassResult FileRescue::StepDone() {
  figures_.ShowStepDone();
  return PassResult::kDone;
}

}  // namespace salvorine
