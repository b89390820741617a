#include "recovery/stage_report.h"

#include <algorithm>

namespace salvorine {

std::int64_t StageReport::Sectors(const RescueMap& map) const { return (map.Total(state_) + sector_ - 1) / sector_; }

void StageReport::Begin(RescueStage stage, const RescueMap& map, RescueState state, std::int64_t sector) {
  state_ = state;
  sector_ = std::max<std::int64_t>(sector, 1);
  shown_ = {stage, 0, Sectors(map)};
  progress_.SetStage(shown_);
}

void StageReport::Update(const RescueMap& map) {
  shown_.done = std::clamp<std::int64_t>(shown_.total - Sectors(map), 0, shown_.total);
  progress_.SetStage(shown_);
}

void StageReport::Step() {
  shown_.done = std::min(shown_.done + 1, shown_.total);
  progress_.SetStage(shown_);
}

}  // namespace salvorine
