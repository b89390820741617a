#include "recovery/thorough_pass.h"

#include <algorithm>

#include "recovery/figures.h"
#include "recovery/rescue_map.h"

namespace salvorine {
namespace {

constexpr int kStatusMessage = 24;
constexpr int kCompletedColumn = 2;
constexpr int kDamagedColumn = 3;

class RescuePass {
 public:
  RescuePass(File& source, File& copy, int row, std::int64_t size, const ByteRange& unread,
             Clock::TimePoint run_start, PassContext& context)
      : source_(source),
        copy_(copy),
        row_(row),
        size_(size),
        block_(BlockSizeFor(size)),
        sector_(std::min<std::int64_t>(std::max<std::int64_t>(source.BlockSize(), 512), block_)),
        map_(unread.start, unread.End()),
        range_length_(unread.length),
        run_start_(run_start),
        context_(context),
        buffer_(context.buffers.transfer.get()) {}

  // False when the idle flag stopped it.
  bool Run() {
    if (!Copy() || !Trim() || !Scrape()) return false;
    const std::int64_t unread = range_length_ - rescued_;
    context_.table.SetCell(kDamagedColumn, row_, CountWithShare(unread, size_));
    return true;
  }

 private:
  bool Copy() {
    const std::int64_t end = map_.Segments().back().end;
    const std::int64_t longest_skip = std::max(block_, range_length_ / 10);
    std::int64_t skip = block_;
    for (std::int64_t pos = map_.Segments().front().start; pos < end;) {
      const std::int64_t length = std::min(block_, end - pos);
      const ReadState state = ReadAt(pos, length);
      if (state == ReadState::kStopped) return false;
      pos += length;
      if (state == ReadState::kFailed) {
        map_.Set(pos - length, pos, RescueState::kFailed);
        pos += std::min(skip, end - pos);  // what is skipped stays untried
        skip = std::min(skip * 2, longest_skip);
      } else {
        skip = block_;
      }
    }
    return true;
  }

  bool Trim() {
    for (const RescueMap::Segment& failed : map_.SegmentsIn(RescueState::kFailed)) {
      std::int64_t front = failed.start;
      while (front < failed.end) {
        const std::int64_t next = std::min(SectorEnd(front), failed.end);
        const ReadState state = ReadAt(front, next - front);
        if (state == ReadState::kStopped) return false;
        front = next;
        if (state == ReadState::kFailed) break;
      }
      std::int64_t back = failed.end;
      while (back > front) {
        const std::int64_t previous = std::max(SectorStart(back - 1), front);
        const ReadState state = ReadAt(previous, back - previous);
        if (state == ReadState::kStopped) return false;
        back = previous;
        if (state == ReadState::kFailed) break;
      }
      map_.Set(front, back, RescueState::kNonScraped);
    }
    return true;
  }

  bool Scrape() {
    for (const RescueState wanted : {RescueState::kUntried, RescueState::kNonScraped}) {
      for (const RescueMap::Segment& segment : map_.SegmentsIn(wanted)) {
        for (std::int64_t pos = segment.start; pos < segment.end;) {
          const std::int64_t next = std::min(SectorEnd(pos), segment.end);
          if (ReadAt(pos, next - pos) == ReadState::kStopped) return false;
          pos = next;
        }
      }
    }
    return true;
  }

  enum class ReadState { kRead, kFailed, kStopped };

  // One read of [pos, pos + length): written and marked done, or marked bad
  // (a failed block is marked by the caller). Slow reads are accepted.
  ReadState ReadAt(std::int64_t pos, std::int64_t length) {
    if (context_.idle) {
      source_.Close();
      copy_.Close();
      return ReadState::kStopped;
    }
    source_.Seek(pos);
    const ReadResult got = source_.Read(buffer_, static_cast<std::size_t>(length));
    const auto delivered = got.ok ? static_cast<std::int64_t>(got.count) : 0;
    if (delivered > 0) {
      copy_.Seek(pos);
      copy_.Write(buffer_, got.count);
      map_.Set(pos, pos + delivered, RescueState::kDone);
      rescued_ += delivered;  // every read covers bytes not read before
    }
    // Bytes a read did not deliver (a failure, or a source that ends early) stay unread.
    if (delivered < length) map_.Set(pos + delivered, pos + length, RescueState::kBad);
    context_.pump.ProcessMessages();
    ShowProgress();
    return got.ok && delivered == length ? ReadState::kRead : ReadState::kFailed;
  }

  void ShowProgress() {
    const std::int64_t done = size_ - range_length_ + rescued_;
    const int bar = HeldBarPosition(Percent(done, size_));
    const std::string label = std::to_string(bar) + "%";
    context_.progress.SetFileBar(bar);
    context_.progress.SetFilePercent(label);
    context_.table.SetCell(kCompletedColumn, row_, CountWithPercent(done, label));
    context_.progress.SetStatusText(context_.messages.Message(kStatusMessage) + " " +
                                    ElapsedText(context_.clock.Now() - run_start_));
  }

  std::int64_t SectorStart(std::int64_t pos) const { return pos / sector_ * sector_; }
  std::int64_t SectorEnd(std::int64_t pos) const { return SectorStart(pos) + sector_; }

  File& source_;
  File& copy_;
  const int row_;
  const std::int64_t size_;
  const std::int64_t block_;
  const std::int64_t sector_;  // the source's own transfer unit, at least 512 bytes
  RescueMap map_;
  const std::int64_t range_length_;
  std::int64_t rescued_ = 0;  // bytes of the range read so far
  const Clock::TimePoint run_start_;
  PassContext& context_;
  unsigned char* const buffer_;
};

}  // namespace

PassResult RecoverFileThoroughly(File& source, File& copy, int row, std::int64_t size, Clock::TimePoint run_start,
                                 PassContext& context) {
  ByteRange unread;
  if (RecoverFile(source, copy, row, size, run_start, context, &unread) == PassResult::kStopped) {
    return PassResult::kStopped;
  }
  if (unread.length == 0) return PassResult::kDone;
  if (!RescuePass(source, copy, row, size, unread, run_start, context).Run()) return PassResult::kStopped;
  context.table.SetCell(kCompletedColumn, row, std::to_string(size) + " (100%)");
  return PassResult::kDone;
}

}  // namespace salvorine
