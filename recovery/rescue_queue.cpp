#include "recovery/rescue_queue.h"

#include <algorithm>

namespace salvorine {

bool RescueQueue::Before(const RowJob& a, const RowJob& b) {
  if (a.probes.next_worth != b.probes.next_worth) return a.probes.next_worth > b.probes.next_worth;
  return a.row < b.row;
}

RowJob& RescueQueue::Next() const {
  return **std::ranges::min_element(jobs_, [](const auto& a, const auto& b) { return Before(*a, *b); });
}

std::unique_ptr<RowJob> RescueQueue::Take(const RowJob& job) {
  const auto at = std::ranges::find_if(jobs_, [&](const auto& waiting) { return waiting.get() == &job; });
  std::unique_ptr<RowJob> taken = std::move(*at);
  jobs_.erase(at);
  return taken;
}

bool RescueQueue::AnyBefore(const RowJob& job) const {
  return std::ranges::any_of(jobs_, [&](const auto& waiting) { return Before(*waiting, job); });
}

double RescueQueue::BestWorth() const {
  double best = 0;
  for (const std::unique_ptr<RowJob>& job : jobs_) best = std::max(best, job->probes.next_worth);
  return best;
}

double FirstProbeWorth(const RescueMap& map, const ProbeRecord& probes) {
  double best = 0;
  for (const RescueMap::Segment& stretch : map.SegmentsIn(RescueState::kUntried)) {
    const std::int64_t length = stretch.end - stretch.start;
    if (length >= probes.spacing.Over(stretch.start, stretch.end)) best = std::max(best, probes.WorthOf(length));
  }
  return best;
}

}  // namespace salvorine
