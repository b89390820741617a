#include "recovery/thorough_pass.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <queue>
#include <string>
#include <tuple>
#include <vector>

#include "i18n/rescue_texts.h"
#include "platform/sector_size.h"
#include "recovery/figures.h"
#include "recovery/file_pass.h"
#include "recovery/probe_spacing.h"
#include "recovery/rescue_map.h"

namespace salvorine {
namespace {

constexpr int kStatusMessage = 24;
// Probes into untried stretches lie at most this far apart, so a readable
// island of this size inside a bad area is always found.
constexpr std::int64_t kProbeSpacing = 8192;
// A small island makes the probes around it finer, this far on each side:
// damage that leaves small islands (a scratch across the tracks) is local.
constexpr std::int64_t kRefineReach = 65536;
// Reads are one sector this close to a failure: a larger read there would
// likely fail too and cost a failed read of its own.
constexpr std::int64_t kNearDamage = 32768;
constexpr std::int64_t kMostNearDamage = 64 << 20;
// The wide probes go into untried stretches this long or longer: a bad area
// costs about one failed read per this many bytes before finer probes.
constexpr std::int64_t kWideStretch = 256 << 10;

// The unit of the rescue: the run's choice, or what the medium holding the source reports.
std::int64_t SectorSizeFor(File& source, const RunOptions& options) {
  const std::int64_t chosen = options.SectorSize();
  if (chosen >= kDefaultSectorSize && chosen <= kMaxSectorSize) return chosen;
  return MediumSectorSize(source.Path()).bytes;
}

class SectorRescue {
 public:
  // The rescue of `unread`, a range of the target's file; the target's map
  // learns each rescued byte of `unread` at once.
  SectorRescue(const RescueTarget& target, PassContext& context, RescueFigures& figures, const ByteRange& unread)
      : source_(target.source),
        copy_(target.copy),
        size_(target.size),
        sector_(SectorSizeFor(target.source, context.options)),
        largest_read_(
            std::max<std::int64_t>(sector_, static_cast<std::int64_t>(PassBuffers::kSize) / sector_ * sector_)),
        start_(SectorStart(unread.start)),
        end_(SectorEnd(unread.End() - 1)),
        unread_(unread),
        file_map_(target.map),
        map_(start_, end_),
        spacing_(kProbeSpacing),
        context_(context),
        figures_(figures),
        buffer_(context.buffers.transfer.get()) {
    // The parts of the first and last sectors that the first pass already read.
    map_.Set(start_, unread.start, RescueState::kDone);
    map_.Set(unread.End(), end_, RescueState::kDone);
  }

  // What is known of each sector of the rescued range.
  const RescueMap& Map() const { return map_; }

  // What the map already knows of the range (an earlier rescue's edges and probes).
  void Learn(const RescueMap& known) {
    for (const RescueMap::Segment& segment : known.Segments()) map_.Set(segment.start, segment.end, segment.state);
  }

  // False when the idle flag stopped it.
  bool Run(RescueReach reach) {
    if (!source_.ReadDirectly(sector_)) NoticeCachedReads();
    // The first pass failed somewhere in a block at each end of the range.
    const std::int64_t block = BlockSizeFor(size_);
    if (!TrimForward(start_, start_ + block) || !TrimBackward(end_, end_ - block)) return false;
    return reach == RescueReach::kEdges || RunRest(reach);
  }

  // The probes (into long stretches only, for kWideProbes), then for kAll the
  // scrape and the retries, over whatever is untried. False when stopped.
  bool RunRest(RescueReach reach) {
    if (!source_.ReadsDirectly() && !source_.ReadDirectly(sector_)) NoticeCachedReads();
    least_stretch_ = reach == RescueReach::kWideProbes ? kWideStretch : 0;
    if (!Probe()) return false;
    return reach != RescueReach::kAll || (Scrape() && Retry());
  }

 private:
  enum class ReadState { kRead, kFailed, kStopped };
  struct Timing {
    Clock::Duration total{};
    std::int64_t count = 0;
  };

  // Reads upward from the sector at `pos` while the sectors hold untried
  // bytes, until a sector fails; returns the end of the readable run, or
  // nothing when stopped. Reads are one sector up to `suspect_end` (a failed
  // read of the first pass lies there) and within kNearDamage of `pos` (a
  // trim starts beside a failure); beyond, they double while they read. A
  // larger read that fails is gone over one sector at a time, so a failure
  // is always pinned to its sector.
  std::optional<std::int64_t> TrimForward(std::int64_t pos, std::int64_t suspect_end = 0) {
    std::int64_t block = sector_;
    suspect_end = std::max(suspect_end, pos + NearDamage());  // a trim starts beside a failure
    while (pos < end_ && map_.Any(pos, SectorEnd(pos), RescueState::kUntried)) {
      const std::int64_t end = UntriedEnd(pos, pos < suspect_end ? pos + sector_ : std::min(pos + block, end_));
      const ReadState state = ReadSpan(pos, end);
      if (state == ReadState::kStopped) return std::nullopt;
      if (state == ReadState::kFailed && end - pos <= sector_) break;
      if (state == ReadState::kFailed) {
        block = sector_;
        suspect_end = end;
        continue;
      }
      pos = end;
      if (pos >= suspect_end) block = std::min(block * 2, largest_read_);
    }
    return pos;
  }

  // The same downward from `end` (a sector boundary or the end of the file),
  // one sector at a time down to `suspect_start`; returns the start of the readable run.
  std::optional<std::int64_t> TrimBackward(std::int64_t end, std::int64_t suspect_start = INT64_MAX) {
    std::int64_t block = sector_;
    suspect_start = std::min(suspect_start, end - NearDamage());
    while (end > start_ && map_.Any(SectorStart(end - 1), end, RescueState::kUntried)) {
      const std::int64_t lowest = end > suspect_start ? SectorStart(end - 1) : SectorStart(end - 1) - block + sector_;
      const std::int64_t pos = UntriedStart(end, std::max(lowest, start_));
      const ReadState state = ReadSpan(pos, end);
      if (state == ReadState::kStopped) return std::nullopt;
      if (state == ReadState::kFailed && SectorEnd(pos) >= end) break;
      if (state == ReadState::kFailed) {
        block = sector_;
        suspect_start = pos;
        continue;
      }
      end = pos;
      if (end <= suspect_start) block = std::min(block * 2, largest_read_);
    }
    return end;
  }

  // The end of the block from the sector at `pos` up to at most `limit` whose
  // sectors all hold untried bytes; at least that one sector.
  std::int64_t UntriedEnd(std::int64_t pos, std::int64_t limit) const {
    std::int64_t end = SectorEnd(pos);
    while (end < limit && map_.Any(end, SectorEnd(end), RescueState::kUntried) &&
           !map_.Any(end, SectorEnd(end), RescueState::kBad)) {
      end = SectorEnd(end);
    }
    return end;
  }

  // The start of the block below `end` down to at most `limit` whose sectors
  // all hold untried bytes; at least the sector just below `end`.
  std::int64_t UntriedStart(std::int64_t end, std::int64_t limit) const {
    std::int64_t pos = SectorStart(end - 1);
    while (pos > limit && map_.Any(pos - sector_, pos, RescueState::kUntried) &&
           !map_.Any(pos - sector_, pos, RescueState::kBad)) {
      pos -= sector_;
    }
    return pos;
  }

  // Single sectors in the largest untried stretch first; a probe that reads is
  // widened both ways. False when stopped.
  bool Probe() {
    QueueUntried(start_, end_);
    while (const std::optional<std::int64_t> at = NextProbe()) {
      const ReadState state = ReadSpan(*at, SectorEnd(*at));
      if (state == ReadState::kStopped) return false;
      // The stretches on either side of a failed probe are shorter now.
      if (state == ReadState::kFailed) QueueUntried(*at - 1, SectorEnd(*at) + 1);
      if (state == ReadState::kRead && !Widen(*at)) return false;
    }
    return true;
  }

  // A probe at `at` read: the island around it is read out to its edges.
  // False when stopped.
  bool Widen(std::int64_t at) {
    const std::optional<std::int64_t> high = TrimForward(SectorEnd(at));
    if (!high) return false;
    const std::optional<std::int64_t> low = TrimBackward(at);
    if (!low) return false;
    const std::int64_t island = *high - *low;
    QueueUntried(*low - sector_ - 1, *high + sector_ + 1);  // beyond the sectors that failed at its edges
    if (island < kProbeSpacing) {
      const std::int64_t from = std::max(*low - kRefineReach, start_), to = std::min(*high + kRefineReach, end_);
      spacing_.Refine(from, to, std::max(island, sector_));
      QueueUntried(from, to);  // stretches passed over as too short may need a probe now
    }
    return true;
  }

  // The middle sector of the largest untried stretch that is at least as
  // long as the probe spacing there; nothing when no stretch needs a probe.
  // Halving at the middle rather than on a fixed lattice keeps probes from
  // falling in step with damage that repeats (a scratch across the tracks).
  std::optional<std::int64_t> NextProbe() {
    while (!stretches_.empty()) {
      const Stretch stretch = stretches_.top();
      stretches_.pop();
      // Queued stretches that a read has changed since are stale.
      const RescueMap::Segment* now = map_.SegmentAt(stretch.start);
      if (now == nullptr || now->state != RescueState::kUntried || now->end - now->start != stretch.length) continue;
      if (stretch.length < std::max(spacing_.Over(now->start, now->end), least_stretch_)) continue;
      return SectorStart(stretch.start + stretch.length / 2);
    }
    return std::nullopt;
  }

  void QueueUntried(std::int64_t start, std::int64_t end) {
    for (const RescueMap::Segment& segment : map_.SegmentsIn(RescueState::kUntried, start, end)) {
      stretches_.push({segment.end - segment.start, segment.start});
    }
  }

  // Every sector the edges and probes left untried is read once, so that
  // islands smaller than the probe spacing are found too. Stretches near data
  // already found come first (damage that left readable sectors there likely
  // left more), and wider ones before narrower: the bulk of what is still
  // readable comes in early. False when stopped.
  bool Scrape() {
    struct Candidate {
      bool far;
      std::int64_t length;
      std::int64_t start;
      std::int64_t end;
    };
    std::vector<Candidate> order;
    for (const RescueMap::Segment& segment : map_.SegmentsIn(RescueState::kUntried)) {
      const bool near = map_.Any(std::max(segment.start - kRefineReach, start_),
                                 std::min(segment.end + kRefineReach, end_), RescueState::kDone);
      order.push_back({!near, segment.end - segment.start, segment.start, segment.end});
    }
    std::sort(order.begin(), order.end(), [](const Candidate& a, const Candidate& b) {
      return std::tie(a.far, b.length, a.start) < std::tie(b.far, a.length, b.start);
    });
    for (const Candidate& stretch : order) {
      for (std::int64_t pos = SectorStart(stretch.start); pos < stretch.end;) {
        const std::optional<std::int64_t> high = TrimForward(pos);
        if (!high) return false;
        pos = SectorEnd(*high);  // past the sector that failed
      }
    }
    return true;
  }

  // The sectors still bad are read up to Retries() more times each, round
  // after round, as a flaky sector may read on a later try. False when stopped.
  bool Retry() {
    for (int round = 0; round < context_.options.Retries(); ++round) {
      const std::vector<RescueMap::Segment> bad = map_.SegmentsIn(RescueState::kBad);
      if (bad.empty()) break;
      for (const RescueMap::Segment& segment : bad) {
        for (std::int64_t pos = SectorStart(segment.start); pos < segment.end; pos = SectorEnd(pos)) {
          if (ReadSpan(pos, SectorEnd(pos), RescueState::kBad) == ReadState::kStopped) return false;
        }
      }
    }
    return true;
  }

  // One read of [pos, end), whole sectors: written and marked done, or, when
  // it is one sector that fails, its `tried` bytes marked bad. A failed read
  // of several sectors marks nothing: which of them failed is not known.
  // Slow reads are accepted.
  ReadState ReadSpan(std::int64_t pos, std::int64_t end, RescueState tried = RescueState::kUntried) {
    if (context_.Ended()) {
      source_.Close();
      copy_.Close();
      return ReadState::kStopped;
    }
    const bool was_direct = source_.ReadsDirectly();
    source_.Seek(pos);
    const Clock::TimePoint started = context_.clock.Now();
    const ReadResult got = source_.Read(buffer_, static_cast<std::size_t>(end - pos));
    if (!got.ok) Time(failed_reads_, context_.clock.Now() - started);
    if (got.ok && end - pos <= sector_) Time(single_reads_, context_.clock.Now() - started);
    if (was_direct && !source_.ReadsDirectly()) NoticeCachedReads();
    const auto delivered = got.ok ? static_cast<std::int64_t>(got.count) : 0;
    if (delivered > 0) {
      copy_.Seek(pos);
      copy_.Write(buffer_, got.count);
      map_.Set(pos, pos + delivered, RescueState::kDone);
      // A checkpoint may save the file's map during the rescue: it must hold these bytes by then.
      file_map_.Set(std::max(pos, unread_.start), std::min(pos + delivered, unread_.End()), RescueState::kDone);
    }
    // Bytes a read did not deliver (a failure, or a source that ends early) count as bad.
    if (delivered < end - pos && (delivered > 0 || end - pos <= sector_)) {
      map_.Replace(pos + delivered, end, tried, RescueState::kBad);
      // The file's map shows each failure as it happens, as it shows each success.
      file_map_.Replace(std::max(pos + delivered, unread_.start), std::min(end, unread_.End()), tried,
                        RescueState::kBad);
    }
    context_.pump.ProcessMessages();
    ShowFigures();
    return delivered == end - pos ? ReadState::kRead : ReadState::kFailed;
  }

  static void Time(Timing& timing, Clock::Duration taken) {
    timing.total += taken;
    ++timing.count;
  }

  // How far from a failure reads stay one sector: at least kNearDamage, and
  // as far as single-sector reads take, all told, the time of one failed
  // read. A larger read there saves little time and, as it likely meets the
  // damage, costs a failed read of its own; on a drive that retries each
  // failure for seconds that reaches far, where failures are free hardly at all.
  std::int64_t NearDamage() const {
    if (failed_reads_.count == 0 || single_reads_.count == 0 || single_reads_.total.count() <= 0) return kNearDamage;
    const double failure = static_cast<double>(failed_reads_.total.count()) / static_cast<double>(failed_reads_.count);
    const double single = static_cast<double>(single_reads_.total.count()) / static_cast<double>(single_reads_.count);
    const double sectors = std::min(failure / single, static_cast<double>(kMostNearDamage / sector_));
    return std::max(kNearDamage, static_cast<std::int64_t>(sectors) * sector_);
  }

  // Direct reads were refused: reads go through the cache, which fails in
  // units larger than a sector. Said once, and kept in the status line.
  void NoticeCachedReads() {
    if (!cached_notice_.empty()) return;
    cached_notice_ = context_.messages.Text(kDirectReadsRefusedText);
    context_.progress.ShowNotice(cached_notice_);
  }

  void ShowFigures() {
    figures_.ShowRescuing();
    std::string status =
        context_.messages.Message(kStatusMessage) + " " + ElapsedText(context_.clock.Now() - context_.run_start);
    if (!cached_notice_.empty()) status += " - " + cached_notice_;
    context_.progress.SetStatusText(status);
  }

  std::int64_t SectorStart(std::int64_t pos) const { return pos / sector_ * sector_; }
  // The end of the sector holding `pos`; the last sector ends with the file.
  std::int64_t SectorEnd(std::int64_t pos) const { return std::min(SectorStart(pos) + sector_, size_); }

  File& source_;
  File& copy_;
  const std::int64_t size_;
  const std::int64_t sector_;
  const std::int64_t largest_read_;  // whole sectors that fit the transfer buffer
  const std::int64_t start_;  // the unread range widened to whole sectors: [start_, end_)
  const std::int64_t end_;
  const ByteRange unread_;
  RescueMap& file_map_;
  RescueMap map_;
  ProbeSpacing spacing_;
  std::int64_t least_stretch_ = 0;  // no probes into shorter stretches than this, nor than spacing_ says
  // Untried stretches, largest first (the earlier one of equal length); some are stale.
  struct Stretch {
    std::int64_t length;
    std::int64_t start;
    bool operator<(const Stretch& other) const {
      return length != other.length ? length < other.length : start > other.start;
    }
  };
  std::priority_queue<Stretch> stretches_;
  PassContext& context_;
  RescueFigures& figures_;
  unsigned char* const buffer_;
  std::string cached_notice_;  // set once direct reads were refused
  // How long single-sector reads and failed reads took, to weigh one against the other.
  Timing single_reads_;
  Timing failed_reads_;
};

}  // namespace

PassResult RescueSectors(const RescueTarget& target, PassContext& context, RescueFigures& figures,
                         const ByteRange& unread, RescueReach reach) {
  SectorRescue rescue(target, context, figures, unread);
  const bool finished = rescue.Run(reach);
  // Inside the range it rescued, the rescue knows each sector better than the first pass.
  // Only inside: the rest of its first and last sectors may belong to other ranges.
  for (const RescueMap::Segment& segment : rescue.Map().Segments()) {
    target.map.Set(std::max(segment.start, unread.start), std::min(segment.end, unread.End()), segment.state);
  }
  return finished ? PassResult::kDone : PassResult::kStopped;
}

PassResult RescueUntriedSectors(const RescueTarget& target, PassContext& context, RescueFigures& figures,
                                RescueReach reach) {
  SectorRescue rescue(target, context, figures, {0, target.size});
  rescue.Learn(target.map);
  return rescue.RunRest(reach) ? PassResult::kDone : PassResult::kStopped;
}

bool LeftForRescue(const RescueMap& map, const RunOptions& options) {
  return map.Total(RescueState::kUntried) > 0 || (options.Retries() > 0 && map.Total(RescueState::kBad) > 0);
}

}  // namespace salvorine
