#include "recovery/thorough_pass.h"

#include <algorithm>
#include <optional>
#include <queue>

#include "platform/sector_size.h"
#include "recovery/figures.h"
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

class SectorRescue {
 public:
  // `unread_outside` counts the bytes of the file outside `unread` that are
  // not recovered either (other ranges of a resumed copy), for the figures.
  // `file_map`, when given, learns each rescued byte of `unread` at once.
  SectorRescue(File& source, File& copy, int row, std::int64_t size, std::int64_t sector, const ByteRange& unread,
               std::int64_t unread_outside, Clock::TimePoint run_start, PassContext& context, RescueMap* file_map)
      : source_(source),
        copy_(copy),
        row_(row),
        size_(size),
        sector_(sector),
        start_(SectorStart(unread.start)),
        end_(SectorEnd(unread.End() - 1)),
        unread_outside_(unread_outside),
        unread_(unread),
        file_map_(file_map),
        map_(start_, end_),
        spacing_(kProbeSpacing),
        run_start_(run_start),
        context_(context),
        buffer_(context.buffers.transfer.get()) {
    // The parts of the first and last sectors that the Max Data pass already read.
    map_.Set(start_, unread.start, RescueState::kDone);
    map_.Set(unread.End(), end_, RescueState::kDone);
  }

  // What is known of each sector of the rescued range.
  const RescueMap& Map() const { return map_; }

  // False when the idle flag stopped it.
  bool Run() {
    if (!TrimForward(start_) || !TrimBackward(SectorStart(end_ - 1))) return false;
    QueueUntried(start_, end_);
    while (const std::optional<std::int64_t> at = NextProbe()) {
      const ReadState state = ReadSector(*at);
      if (state == ReadState::kStopped) return false;
      // The stretches on either side of a failed probe are shorter now.
      if (state == ReadState::kFailed) QueueUntried(*at - 1, SectorEnd(*at) + 1);
      if (state == ReadState::kRead && !Widen(*at)) return false;
    }
    return true;
  }

 private:
  enum class ReadState { kRead, kFailed, kStopped };

  // Reads the sectors from the one at `pos` upward while they hold untried
  // bytes, until a read fails. Returns the end of the readable run, or
  // nothing when stopped.
  std::optional<std::int64_t> TrimForward(std::int64_t pos) {
    while (pos < end_ && map_.Any(pos, SectorEnd(pos), RescueState::kUntried)) {
      const ReadState state = ReadSector(pos);
      if (state == ReadState::kStopped) return std::nullopt;
      if (state == ReadState::kFailed) break;
      pos = SectorEnd(pos);
    }
    return pos;
  }

  // The same downward from the sector at `pos`; returns the start of the readable run.
  std::optional<std::int64_t> TrimBackward(std::int64_t pos) {
    std::int64_t low = std::min(pos + sector_, size_);
    for (; pos >= start_ && map_.Any(pos, SectorEnd(pos), RescueState::kUntried); pos -= sector_) {
      const ReadState state = ReadSector(pos);
      if (state == ReadState::kStopped) return std::nullopt;
      if (state == ReadState::kFailed) break;
      low = pos;
    }
    return low;
  }

  // A probe at `at` read: the island around it is read out to its edges.
  // False when stopped.
  bool Widen(std::int64_t at) {
    const std::optional<std::int64_t> high = TrimForward(SectorEnd(at));
    if (!high) return false;
    const std::optional<std::int64_t> low = TrimBackward(at - sector_);
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
      if (stretch.length < spacing_.Over(now->start, now->end)) continue;
      return SectorStart(stretch.start + stretch.length / 2);
    }
    return std::nullopt;
  }

  void QueueUntried(std::int64_t start, std::int64_t end) {
    for (const RescueMap::Segment& segment : map_.SegmentsIn(RescueState::kUntried, start, end)) {
      stretches_.push({segment.end - segment.start, segment.start});
    }
  }

  // One read of the sector at `pos`: written and marked done, or its untried
  // bytes marked bad. Slow reads are accepted.
  ReadState ReadSector(std::int64_t pos) {
    if (context_.idle) {
      source_.Close();
      copy_.Close();
      return ReadState::kStopped;
    }
    const std::int64_t end = SectorEnd(pos);
    source_.Seek(pos);
    const ReadResult got = source_.Read(buffer_, static_cast<std::size_t>(end - pos));
    const auto delivered = got.ok ? static_cast<std::int64_t>(got.count) : 0;
    if (delivered > 0) {
      copy_.Seek(pos);
      copy_.Write(buffer_, got.count);
      map_.Set(pos, pos + delivered, RescueState::kDone);
      // A checkpoint may save the file's map during the rescue: it must hold these bytes by then.
      if (file_map_ != nullptr) {
        file_map_->Set(std::max(pos, unread_.start), std::min(pos + delivered, unread_.End()), RescueState::kDone);
      }
    }
    // Bytes a read did not deliver (a failure, or a source that ends early) count as bad.
    if (delivered < end - pos) map_.Replace(pos + delivered, end, RescueState::kUntried, RescueState::kBad);
    context_.pump.ProcessMessages();
    ShowFigures();
    return delivered == end - pos ? ReadState::kRead : ReadState::kFailed;
  }

  void ShowFigures() {
    const std::int64_t unread = map_.Total(RescueState::kUntried) + map_.Total(RescueState::kBad) + unread_outside_;
    const std::int64_t done = size_ - unread;
    const int bar = HeldBarPosition(Percent(done, size_));
    context_.progress.SetFileBar(bar);
    context_.progress.SetFilePercent(std::to_string(bar) + "%");
    context_.table.SetCompleted(row_, done, bar);
    context_.table.SetDamaged(row_, unread, size_);
    context_.progress.SetStatusText(context_.messages.Message(kStatusMessage) + " " +
                                    ElapsedText(context_.clock.Now() - run_start_));
  }

  std::int64_t SectorStart(std::int64_t pos) const { return pos / sector_ * sector_; }
  // The end of the sector holding `pos`; the last sector ends with the file.
  std::int64_t SectorEnd(std::int64_t pos) const { return std::min(SectorStart(pos) + sector_, size_); }

  File& source_;
  File& copy_;
  const int row_;
  const std::int64_t size_;
  const std::int64_t sector_;
  const std::int64_t start_;  // the unread range widened to whole sectors: [start_, end_)
  const std::int64_t end_;
  const std::int64_t unread_outside_;
  const ByteRange unread_;
  RescueMap* const file_map_;
  RescueMap map_;
  ProbeSpacing spacing_;
  // Untried stretches, largest first (the earlier one of equal length); some are stale.
  struct Stretch {
    std::int64_t length;
    std::int64_t start;
    bool operator<(const Stretch& other) const {
      return length != other.length ? length < other.length : start > other.start;
    }
  };
  std::priority_queue<Stretch> stretches_;
  const Clock::TimePoint run_start_;
  PassContext& context_;
  unsigned char* const buffer_;
};

// The unit of the rescue: the run's choice, or what the medium holding the source reports.
std::int64_t SectorSizeFor(File& source, const RunOptions& options) {
  const std::int64_t chosen = options.SectorSize();
  if (chosen >= kDefaultSectorSize && chosen <= kMaxSectorSize) return chosen;
  return MediumSectorSize(source.Path()).bytes;
}

}  // namespace

PassResult RecoverFileThoroughly(File& source, File& copy, int row, std::int64_t size, Clock::TimePoint run_start,
                                 PassContext& context, RescueMap* map) {
  ByteRange unread;
  if (RecoverFile(source, copy, row, size, run_start, context, &unread, map) == PassResult::kStopped) {
    return PassResult::kStopped;
  }
  if (unread.length == 0) return PassResult::kDone;
  if (RescueUnread(source, copy, row, size, unread, 0, run_start, context, map) == PassResult::kStopped) {
    return PassResult::kStopped;
  }
  context.table.SetCompleted(row, size, 100);
  return PassResult::kDone;
}

PassResult RescueUnread(File& source, File& copy, int row, std::int64_t size, const ByteRange& unread,
                        std::int64_t unread_outside, Clock::TimePoint run_start, PassContext& context, RescueMap* map) {
  const std::int64_t sector = SectorSizeFor(source, context.options);
  SectorRescue rescue(source, copy, row, size, sector, unread, unread_outside, run_start, context, map);
  const bool finished = rescue.Run();
  // Inside the range it rescued, the rescue knows each sector better than the first pass.
  // Only inside: the rest of its first and last sectors may belong to other ranges.
  if (map != nullptr) {
    for (const RescueMap::Segment& segment : rescue.Map().Segments()) {
      map->Set(std::max(segment.start, unread.start), std::min(segment.end, unread.End()), segment.state);
    }
  }
  return finished ? PassResult::kDone : PassResult::kStopped;
}

}  // namespace salvorine
