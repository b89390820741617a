#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "recovery/rescue_figures.h"
#include "recovery/rescue_map.h"
#include "recovery/rescue_target.h"

namespace salvorine {

// The unit a rescue reads in: the run's choice, or what the medium holding `source` reports.
std::int64_t RescueSectorSize(File& source, const RunOptions& options);

// The reads of a sector rescue over `unread`, a range of the target's file,
// in whole sectors counted from the start of the file. It keeps a map of its
// own over the range widened to whole sectors, [Start(), End()), and the
// target's map learns each read inside `unread` at once. After every read the
// row's figures and the status line are shown again.
class SectorReader {
 public:
  enum class ReadState { kRead, kFailed, kStopped };

  SectorReader(const RescueTarget& target, PassContext& context, RescueFigures& figures, const ByteRange& unread);

  // What is known of each sector of the rescued range.
  const RescueMap& Map() const { return map_; }
  // What the map already knows of the range (an earlier rescue's edges and probes).
  void Learn(const RescueMap& known);

  // Asks for direct reads from now on; a refusal is told once.
  void UseDirectReads();
  // The same, unless reads already go straight to the device.
  void KeepDirectReads();

  // Reads upward from the sector at `pos` while the sectors hold untried
  // bytes, until a sector fails; returns the end of the readable run, or
  // nothing when stopped. Reads are one sector up to `suspect_end` (a failed
  // read of the first pass lies there) and near `pos` (a trim starts beside a
  // failure); beyond, they double while they read. A larger read that fails
  // is gone over one sector at a time, so a failure is always pinned to its sector.
  std::optional<std::int64_t> TrimForward(std::int64_t pos, std::int64_t suspect_end = 0);
  // The same downward from `end` (a sector boundary or the end of the file),
  // one sector at a time down to `suspect_start`; returns the start of the readable run.
  std::optional<std::int64_t> TrimBackward(std::int64_t end, std::int64_t suspect_start = INT64_MAX);
  // One read of [pos, end), whole sectors: written and marked done, or, when
  // it is one sector that fails, its `tried` bytes marked bad. A failed read
  // of several sectors marks nothing: which of them failed is not known.
  // Slow reads are accepted. kStopped, source and copy closed, when the run ended.
  ReadState ReadSpan(std::int64_t pos, std::int64_t end, RescueState tried = RescueState::kUntried);

  std::int64_t Sector() const { return sector_; }
  std::int64_t FileSize() const { return size_; }
  std::int64_t Start() const { return start_; }
  std::int64_t End() const { return end_; }
  std::int64_t SectorStart(std::int64_t pos) const { return pos / sector_ * sector_; }
  // The end of the sector holding `pos`; the last sector ends with the file.
  std::int64_t SectorEnd(std::int64_t pos) const { return std::min(SectorStart(pos) + sector_, size_); }

 private:
  std::int64_t UntriedEnd(std::int64_t pos, std::int64_t limit) const;
  std::int64_t UntriedStart(std::int64_t end, std::int64_t limit) const;
  void Keep(std::int64_t pos, std::int64_t delivered);
  void MarkBad(std::int64_t pos, std::int64_t end, RescueState tried);
  std::int64_t NearDamage() const;
  void NoticeCachedReads();
  void ShowFigures();

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
  PassContext& context_;
  RescueFigures& figures_;
  unsigned char* const buffer_;
  std::string cached_notice_;  // set once direct reads were refused
  ReadTimings& timings_;       // the run's, shared with the first pass and the other rescues
};

}  // namespace salvorine
