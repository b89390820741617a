#include "recovery/sector_steps.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <tuple>
#include <vector>

#include "recovery/file_pass.h"

namespace salvorine {
namespace {

using ReadState = SectorReader::ReadState;

// A small island makes the probes around it finer, this far on each side:
// damage that leaves small islands (a scratch across the tracks) is local.
constexpr std::int64_t kRefineReach = 65536;

// An untried stretch for the scrape, in the order it is scraped.
struct ScrapeStretch {
  bool far;  // no data found within kRefineReach of it
  std::int64_t length;
  std::int64_t start;
  std::int64_t end;
};

// Stretches near data already found come first (damage that left readable
// sectors there likely left more), and wider ones before narrower.
std::vector<ScrapeStretch> ScrapeOrder(const RescueMap& map, std::int64_t start, std::int64_t end) {
  std::vector<ScrapeStretch> order;
  for (const RescueMap::Segment& segment : map.SegmentsIn(RescueState::kUntried)) {
    const bool near = map.Any(std::max(segment.start - kRefineReach, start), std::min(segment.end + kRefineReach, end),
                              RescueState::kDone);
    order.push_back({!near, segment.end - segment.start, segment.start, segment.end});
  }
  std::sort(order.begin(), order.end(), [](const ScrapeStretch& a, const ScrapeStretch& b) {
    return std::tie(a.far, b.length, a.start) < std::tie(b.far, a.length, b.start);
  });
  return order;
}

}  // namespace

SectorRescue::SectorRescue(const RescueTarget& target, PassContext& context, RescueFigures& figures,
                           const ByteRange& unread, ProbeRecord& probes)
    : reader_(target, context, figures, unread), options_(context.options), probes_(probes),
      stage_(context.progress) {}

bool SectorRescue::Run(From from, RescueReach reach, double yield_below) {
  if (from == From::kEdges && !Edges()) return false;
  if (from == From::kStretchEdges && !StretchEdges()) return false;
  if (reach == RescueReach::kEdges) return true;
  if (!Probes(reach == RescueReach::kAll ? 0 : yield_below)) return false;
  if (reach != RescueReach::kAll) return true;
  return Scrape() && Retries();
}

// From each end of the range inward until a sector fails: the first pass
// failed somewhere in a block at each end.
bool SectorRescue::Edges() {
  reader_.UseDirectReads();
  stage_.Begin(RescueStage::kBetweenBadAreas, reader_.Map(), RescueState::kUntried, reader_.Sector());
  const std::int64_t block = BlockSizeFor(reader_.FileSize());
  return reader_.TrimForward(reader_.Start(), reader_.Start() + block) &&
         reader_.TrimBackward(reader_.End(), reader_.End() - block);
}

// The edges of every untried stretch of the map, where read data or an end
// of the file borders it: the first pass failed somewhere in the block at
// each end of what it left. An end beside a bad sector is left to the
// probes. The record learns that the edges were read. False when stopped.
bool SectorRescue::StretchEdges() {
  reader_.KeepDirectReads();
  stage_.Begin(RescueStage::kBetweenBadAreas, reader_.Map(), RescueState::kUntried, reader_.Sector());
  const std::int64_t block = BlockSizeFor(reader_.FileSize()), sector = reader_.Sector();
  for (const RescueMap::Segment& stretch : reader_.Map().SegmentsIn(RescueState::kUntried)) {
    const std::int64_t start = reader_.SectorStart(stretch.start);
    if (start == reader_.Start() || !reader_.Map().Any(start - sector, start, RescueState::kBad)) {
      if (!reader_.TrimForward(start, start + block)) return false;
    }
    const std::int64_t end = reader_.SectorEnd(stretch.end - 1);
    // The forward edge may have read up to it.
    if (!reader_.Map().Any(reader_.SectorStart(end - 1), end, RescueState::kUntried)) continue;
    if (end == reader_.End() || !reader_.Map().Any(end, reader_.SectorEnd(end), RescueState::kBad)) {
      if (!reader_.TrimBackward(end, end - block)) return false;
    }
    stage_.Update(reader_.Map());
  }
  probes_.edges_read = true;
  return true;
}

// Single sectors in the largest untried stretch first, while a probe there
// is worth at least `yield_below` (see ProbeRecord::WorthOf; the first probe
// is always read, so that every step gets somewhere); a probe that reads is
// widened both ways. The source may have been opened again since the edges,
// or refused direct reads then: they are asked for again. The record learns
// what the next probe is worth. False when stopped.
bool SectorRescue::Probes(double yield_below) {
  reader_.KeepDirectReads();
  QueueUntried(reader_.Start(), reader_.End());
  stage_.Begin(RescueStage::kBetweenBadAreas, reader_.Map(), RescueState::kUntried, reader_.Sector());
  for (bool first = true; const std::optional<Stretch> stretch = NextStretch(); first = false) {
    if (!first && probes_.WorthOf(stretch->length) < yield_below) {
      stretches_.push(*stretch);
      probes_.next_worth = probes_.WorthOf(stretch->length);
      return true;
    }
    const std::int64_t at = reader_.SectorStart(stretch->start + ProbeOffset(stretch->length, reader_.Sector()));
    const ReadState state = reader_.ReadSpan(at, reader_.SectorEnd(at));
    stage_.Update(reader_.Map());
    if (state == ReadState::kStopped) return false;
    ++probes_.tried;
    // The stretches on either side of a failed probe are shorter now.
    if (state == ReadState::kFailed) QueueUntried(at - 1, reader_.SectorEnd(at) + 1);
    if (state == ReadState::kRead) {
      ++probes_.read;
      if (!Widen(at)) return false;
    }
  }
  probes_.next_worth = 0;
  return true;
}

// A probe at `at` read: the island around it is read out to its edges.
// False when stopped.
bool SectorRescue::Widen(std::int64_t at) {
  const std::optional<std::int64_t> high = reader_.TrimForward(reader_.SectorEnd(at));
  if (!high) return false;
  const std::optional<std::int64_t> low = reader_.TrimBackward(at);
  if (!low) return false;
  const std::int64_t island = *high - *low, sector = reader_.Sector();
  QueueUntried(*low - sector - 1, *high + sector + 1);  // beyond the sectors that failed at its edges
  if (island < kProbeSpacing) {
    const std::int64_t from = std::max(*low - kRefineReach, reader_.Start());
    const std::int64_t to = std::min(*high + kRefineReach, reader_.End());
    probes_.spacing.Refine(from, to, std::max(island, sector));
    QueueUntried(from, to);  // stretches passed over as too short may need a probe now
  }
  return true;
}

// The largest untried stretch that is at least as long as the probe spacing
// there; nothing when no stretch needs a probe.
std::optional<SectorRescue::Stretch> SectorRescue::NextStretch() {
  while (!stretches_.empty()) {
    const Stretch stretch = stretches_.top();
    stretches_.pop();
    // Queued stretches that a read has changed since are stale.
    const RescueMap::Segment* now = reader_.Map().SegmentAt(stretch.start);
    if (now == nullptr || now->state != RescueState::kUntried || now->end - now->start != stretch.length) continue;
    if (stretch.length < probes_.spacing.Over(now->start, now->end)) continue;
    return stretch;
  }
  return std::nullopt;
}

void SectorRescue::QueueUntried(std::int64_t start, std::int64_t end) {
  for (const RescueMap::Segment& segment : reader_.Map().SegmentsIn(RescueState::kUntried, start, end)) {
    stretches_.push({segment.end - segment.start, segment.start});
  }
}

// Every sector the edges and probes left untried is read once, so that
// islands smaller than the probe spacing are found too, in ScrapeOrder: the
// bulk of what is still readable comes in early. False when stopped.
bool SectorRescue::Scrape() {
  stage_.Begin(RescueStage::kSectorsLeft, reader_.Map(), RescueState::kUntried, reader_.Sector());
  for (const ScrapeStretch& stretch : ScrapeOrder(reader_.Map(), reader_.Start(), reader_.End())) {
    for (std::int64_t pos = reader_.SectorStart(stretch.start); pos < stretch.end;) {
      const std::optional<std::int64_t> high = reader_.TrimForward(pos);
      if (!high) return false;
      stage_.Update(reader_.Map());
      pos = reader_.SectorEnd(*high);  // past the sector that failed
    }
  }
  return true;
}

// The sectors still bad are read up to Retries() more times each, round
// after round, as a flaky sector may read on a later try. False when stopped.
bool SectorRescue::Retries() {
  for (int round = 0; round < options_.Retries(); ++round) {
    const std::vector<RescueMap::Segment> bad = reader_.Map().SegmentsIn(RescueState::kBad);
    if (bad.empty()) break;
    stage_.Begin(RescueStage::kRetrying, reader_.Map(), RescueState::kBad, reader_.Sector());
    for (const RescueMap::Segment& segment : bad) {
      for (std::int64_t pos = reader_.SectorStart(segment.start); pos < segment.end; pos = reader_.SectorEnd(pos)) {
        if (reader_.ReadSpan(pos, reader_.SectorEnd(pos), RescueState::kBad) == ReadState::kStopped) return false;
        stage_.Step();
      }
    }
  }
  return true;
}

}  // namespace salvorine
