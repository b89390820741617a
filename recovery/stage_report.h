#pragma once

#include <cstdint>

#include "recovery/rescue_map.h"
#include "recovery/rescue_stage.h"
#include "recovery/run_ports.h"

namespace salvorine {

// Counts a sector stage's sectors and tells the progress display, at the
// stage's start and as it goes.
class StageReport {
 public:
  explicit StageReport(ProgressDisplay& progress) : progress_(progress) {}

  // `stage` begins over the sectors `map` holds in `state`, each `sector` bytes.
  void Begin(RescueStage stage, const RescueMap& map, RescueState state, std::int64_t sector);
  // Done: the sectors that have left the stage's state since it began (a probe, a scrape).
  void Update(const RescueMap& map);
  // Done: one more sector, whatever became of it (a retry that fails leaves it bad).
  void Step();

 private:
  std::int64_t Sectors(const RescueMap& map) const;

  ProgressDisplay& progress_;
  StageProgress shown_;
  RescueState state_ = RescueState::kUntried;
  std::int64_t sector_ = 1;
};

}  // namespace salvorine
