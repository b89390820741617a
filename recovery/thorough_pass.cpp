#include "recovery/thorough_pass.h"

#include <algorithm>

#include "recovery/rescue_map.h"
#include "recovery/sector_steps.h"

namespace salvorine {

PassResult RescueSectors(const RescueTarget& target, PassContext& context, RescueFigures& figures,
                         const ByteRange& unread, RescueReach reach) {
  ProbeRecord probes;
  SectorRescue rescue(target, context, figures, unread, probes);
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
  return rescue.Run(SectorRescue::From::kProbes, reach, yield_below) ? PassResult::kDone : PassResult::kStopped;
}

bool LeftForRescue(const RescueMap& map, const RunOptions& options) {
  return map.Total(RescueState::kUntried) > 0 || (options.Retries() > 0 && map.Total(RescueState::kBad) > 0);
}

}  // namespace salvorine
