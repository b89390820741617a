#pragma once

#include <cstdint>
#include <optional>
#include <queue>

#include "recovery/probe_spacing.h"
#include "recovery/rescue_figures.h"
#include "recovery/rescue_map.h"
#include "recovery/rescue_target.h"
#include "recovery/sector_reader.h"
#include "recovery/stage_report.h"

namespace salvorine {

// The sector rescue of `unread`, a range of the target's file, as its list of
// steps (see thorough_pass.h for what each step reads and why in that order).
class SectorRescue {
 public:
  // Where a rescue begins: at the edges of a range the first pass left, or,
  // the edges read before, at the probes into what the map marks untried.
  // Or, in a run's queue, at the edges of every untried stretch the first pass left.
  enum class From { kEdges, kStretchEdges, kProbes };

  // `probes` is what earlier steps' probes into this file learned; it learns this step's.
  SectorRescue(const RescueTarget& target, PassContext& context, RescueFigures& figures, const ByteRange& unread,
               ProbeRecord& probes);

  // What is known of each sector of the rescued range.
  const RescueMap& Map() const { return reader_.Map(); }
  // What the map already knows of the range (an earlier rescue's edges and probes).
  void Learn(const RescueMap& known) { reader_.Learn(known); }

  // The steps from `from` up to `reach`; false when the run or Skip file
  // stopped them. Short of kAll, the probes end once the next is worth less
  // than `yield_below` (another file's probe is worth more).
  bool Run(From from, RescueReach reach, double yield_below = 0);

 private:
  bool Edges();
  bool StretchEdges();
  // An untried stretch of the map as it was queued; ordered largest first (the earlier one of equal length).
  struct Stretch {
    std::int64_t length;
    std::int64_t start;
    bool operator<(const Stretch& other) const {
      return length != other.length ? length < other.length : start > other.start;
    }
  };
  bool Probes(double yield_below);
  bool Widen(std::int64_t at);
  std::optional<Stretch> NextStretch();
  void QueueUntried(std::int64_t start, std::int64_t end);
  bool Scrape();
  bool Retries();

  SectorReader reader_;
  const RunOptions& options_;  // read afresh at every round of retries
  ProbeRecord& probes_;
  StageReport stage_;
  std::priority_queue<Stretch> stretches_;  // some are stale
};

}  // namespace salvorine
