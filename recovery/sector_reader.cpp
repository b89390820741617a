#include "recovery/sector_reader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "i18n/rescue_texts.h"
#include "platform/sector_size.h"
#include "recovery/figures.h"

namespace salvorine {
namespace {

constexpr int kStatusMessage = 24;
// Reads are one sector this close to a failure: a larger read there would
// likely fail too and cost a failed read of its own.
constexpr std::int64_t kNearDamage = 32768;
constexpr std::int64_t kMostNearDamage = 64 << 20;

}  // namespace

std::int64_t RescueSectorSize(File& source, const RunOptions& options) {
  const std::int64_t chosen = options.SectorSize();
  if (chosen >= kDefaultSectorSize && chosen <= kMaxSectorSize) return chosen;
  return MediumSectorSize(source.Path()).bytes;
}

SectorReader::SectorReader(const RescueTarget& target, PassContext& context, RescueFigures& figures,
                           const ByteRange& unread)
    : source_(target.source),
      copy_(target.copy),
      size_(target.size),
      sector_(RescueSectorSize(target.source, context.options)),
      largest_read_(std::max<std::int64_t>(sector_, static_cast<std::int64_t>(PassBuffers::kSize) / sector_ * sector_)),
      start_(SectorStart(unread.start)),
      end_(SectorEnd(unread.End() - 1)),
      unread_(unread),
      file_map_(target.map),
      map_(start_, end_),
      context_(context),
      figures_(figures),
      buffer_(context.buffers.transfer.get()),
      timings_(context.buffers.timings) {
  // The parts of the first and last sectors that the first pass already read.
  map_.Set(start_, unread.start, RescueState::kDone);
  map_.Set(unread.End(), end_, RescueState::kDone);
}

void SectorReader::Learn(const RescueMap& known) {
  for (const RescueMap::Segment& segment : known.Segments()) map_.Set(segment.start, segment.end, segment.state);
}

void SectorReader::UseDirectReads() {
  if (!source_.ReadDirectly(sector_)) NoticeCachedReads();
}

void SectorReader::KeepDirectReads() {
  if (!source_.ReadsDirectly()) UseDirectReads();
}

std::optional<std::int64_t> SectorReader::TrimForward(std::int64_t pos, std::int64_t suspect_end) {
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

std::optional<std::int64_t> SectorReader::TrimBackward(std::int64_t end, std::int64_t suspect_start) {
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
std::int64_t SectorReader::UntriedEnd(std::int64_t pos, std::int64_t limit) const {
  std::int64_t end = SectorEnd(pos);
  while (end < limit && map_.Any(end, SectorEnd(end), RescueState::kUntried) &&
         !map_.Any(end, SectorEnd(end), RescueState::kBad)) {
    end = SectorEnd(end);
  }
  return end;
}

// The start of the block below `end` down to at most `limit` whose sectors
// all hold untried bytes; at least the sector just below `end`.
std::int64_t SectorReader::UntriedStart(std::int64_t end, std::int64_t limit) const {
  std::int64_t pos = SectorStart(end - 1);
  while (pos > limit && map_.Any(pos - sector_, pos, RescueState::kUntried) &&
         !map_.Any(pos - sector_, pos, RescueState::kBad)) {
    pos -= sector_;
  }
  return pos;
}

SectorReader::ReadState SectorReader::ReadSpan(std::int64_t pos, std::int64_t end, RescueState tried) {
  if (context_.Ended()) {
    source_.Close();
    copy_.Close();
    return ReadState::kStopped;
  }
  const bool was_direct = source_.ReadsDirectly();
  source_.Seek(pos);
  const Clock::TimePoint started = context_.clock.Now();
  const ReadResult got = source_.Read(buffer_, static_cast<std::size_t>(end - pos));
  if (!got.ok) timings_.failed.Add(context_.clock.Now() - started);
  if (got.ok && end - pos <= sector_) timings_.single_sector.Add(context_.clock.Now() - started);
  if (was_direct && !source_.ReadsDirectly()) NoticeCachedReads();
  const auto delivered = got.ok ? static_cast<std::int64_t>(got.count) : 0;
  if (delivered > 0) Keep(pos, delivered);
  // Bytes a read did not deliver (a failure, or a source that ends early) count as bad.
  if (delivered < end - pos && (delivered > 0 || end - pos <= sector_)) MarkBad(pos + delivered, end, tried);
  context_.pump.ProcessMessages();
  ShowFigures();
  return delivered == end - pos ? ReadState::kRead : ReadState::kFailed;
}

// The `delivered` bytes read at `pos`, still in the transfer buffer, go to the copy and both maps.
void SectorReader::Keep(std::int64_t pos, std::int64_t delivered) {
  copy_.Seek(pos);
  copy_.Write(buffer_, static_cast<std::size_t>(delivered));
  map_.Set(pos, pos + delivered, RescueState::kDone);
  // A checkpoint may save the file's map during the rescue: it must hold these bytes by then.
  file_map_.Set(std::max(pos, unread_.start), std::min(pos + delivered, unread_.End()), RescueState::kDone);
}

void SectorReader::MarkBad(std::int64_t pos, std::int64_t end, RescueState tried) {
  map_.Replace(pos, end, tried, RescueState::kBad);
  // The file's map shows each failure as it happens, as it shows each success.
  file_map_.Replace(std::max(pos, unread_.start), std::min(end, unread_.End()), tried, RescueState::kBad);
}

// How far from a failure reads stay one sector: at least kNearDamage, and
// as far as single-sector reads take, all told, the time of one failed
// read. A larger read there saves little time and, as it likely meets the
// damage, costs a failed read of its own; on a drive that retries each
// failure for seconds that reaches far, where failures are free hardly at all.
std::int64_t SectorReader::NearDamage() const {
  const ReadTimings::Timing& failed = timings_.failed;
  const ReadTimings::Timing& single_sector = timings_.single_sector;
  if (failed.count == 0 || single_sector.count == 0 || single_sector.total.count() <= 0) return kNearDamage;
  const double failure = static_cast<double>(failed.total.count()) / static_cast<double>(failed.count);
  const double single = static_cast<double>(single_sector.total.count()) / static_cast<double>(single_sector.count);
  const double sectors = std::min(failure / single, static_cast<double>(kMostNearDamage / sector_));
  return std::max(kNearDamage, static_cast<std::int64_t>(sectors) * sector_);
}

// Direct reads were refused: reads go through the cache, which fails in
// units larger than a sector. Said once, and kept in the status line.
void SectorReader::NoticeCachedReads() {
  if (!cached_notice_.empty()) return;
  cached_notice_ = context_.messages.Text(kDirectReadsRefusedText);
  context_.progress.ShowNotice(cached_notice_);
}

void SectorReader::ShowFigures() {
  figures_.ShowRescuing();
  std::string status =
      context_.messages.Message(kStatusMessage) + " " + ElapsedText(context_.clock.Now() - context_.run_start);
  if (!cached_notice_.empty()) status += " - " + cached_notice_;
  context_.progress.SetStatusText(status);
}

}  // namespace salvorine
