#include "recovery/thorough_pass.h"

#include <algorithm>
#include <utility>

#include "recovery/rescue_map.h"
#include "recovery/sector_reader.h"
#include "recovery/sector_steps.h"

namespace salvorine {
namespace {

// What the file's map holds as bad in the first and last sectors of `unread`:
// the first pass pins a failure at each end of what it leaves to its sector,
// so that the edges begin beside those sectors rather than read them again.
RescueMap BadEnds(const RescueTarget& target, const RunOptions& options, const ByteRange& unread) {
  RescueMap ends(unread.start, unread.End());
  const std::int64_t sector = RescueSectorSize(target.source, options);
  const std::int64_t first_end = std::min((unread.start / sector + 1) * sector, unread.End());
  const std::int64_t last_start = std::max((unread.End() - 1) / sector * sector, unread.start);
  for (const auto& [from, to] : {std::pair{unread.start, first_end}, std::pair{last_start, unread.End()}}) {
    for (const RescueMap::Segment& bad : target.map.SegmentsIn(RescueState::kBad, from, to)) {
      ends.Set(std::max(bad.start, from), std::min(bad.end, to), RescueState::kBad);
    }
  }
  return ends;
}

}  // namespace

PassResult RescueSectors(const RescueTarget& target, PassContext& context, RescueFigures& figures,
                         const ByteRange& unread, RescueReach reach) {
  ProbeRecord probes;
  SectorRescue rescue(target, context, figures, unread, probes);
  rescue.Learn(BadEnds(target, context.options, unread));
  const bool finished = rescue.Run(SectorRescue::From::kEdges, reach);
  // Inside the range it rescued, the rescue knows each sector better than the first pass.
  // Only inside: the rest of its first and last sectors may belong to other ranges.
  for (const RescueMap::Segment& segment : rescue.Map().Segments()) {
    target.map.Set(std::max(segment.start, unread.start), std::min(segment.end, unread.End()), segment.state);
  }
  return finished ? PassResult::kDone : PassResult::kStopped;
}

PassResult RescueUntriedSectors(const RescueTarget& target, PassContext& context, RescueFigures& figures,
                                RescueReach reach, ProbeRecord& probes, double yield_below) {
  SectorRescue rescue(target, context, figures, {0, target.size}, probes);
  rescue.Learn(target.map);
  const SectorRescue::From from = probes.edges_read ? SectorRescue::From::kProbes : SectorRescue::From::kStretchEdges;
  return rescue.Run(from, reach, yield_below) ? PassResult::kDone : PassResult::kStopped;
}

bool LeftForRescue(const RescueMap& map, const RunOptions& options) {
  return map.Total(RescueState::kUntried) > 0 || (options.Retries() > 0 && map.Total(RescueState::kBad) > 0);
}

}  // namespace salvorine
