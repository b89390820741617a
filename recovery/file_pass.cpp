#include "recovery/file_pass.h"

#include <algorithm>
#include <chrono>

#include "recovery/figures.h"
#include "recovery/sector_reader.h"

namespace salvorine {

std::int64_t BlockSizeFor(std::int64_t file_size) {
  return file_size < kLargeFileThreshold ? kSmallBlock : kLargeBlock;
}

namespace {

constexpr int kStatusMessage = 24;
constexpr auto kSlowRead = std::chrono::seconds(10);

}  // namespace

FirstPass::FirstPass(const RescueTarget& target, PassContext& context, RescueFigures& figures, ByteRange range)
    : reader_(target.source, range.End()),
      source_(reader_),
      copy_(target.copy),
      map_(target.map),
      size_(target.size),
      lo_(range.start),
      hi_(range.End()),
      block_(BlockSizeFor(target.size)),
      context_(context),
      figures_(figures),
      buffer_(context.buffers.transfer.get()),
      narrows_(context.options.Mode() == kModeThorough) {}

void FirstPass::Prefill() {
  figures_.ShowReading();
  copy_.Seek(0);
  if (!context_.Ended() && size_ > 0) {
    copy_.WriteZeros(size_);
    AfterBlock();
  }
  copy_.Seek(size_);
  copy_.Truncate();
}

PassResult FirstPass::Run() {
  if (!Forward()) return Stop();
  if (read_end_ == hi_) return PassResult::kDone;
  if (!(failed_end_ > read_end_ ? BackwardToDamage() : Backward())) return Stop();
  return PassResult::kDone;
}

// Reads from the start until a read fails or the range ends. False when stopped.
bool FirstPass::Forward() {
  read_end_ = hi_;
  std::int64_t pos = lo_;
  source_.Seek(lo_);
  copy_.Seek(lo_);
  for (;;) {
    if (context_.Ended()) return false;
    // Never past the size taken at the start: a file that grows meanwhile is not followed.
    const std::int64_t length = std::min(block_, hi_ - pos);
    const ReadResult got = TimedRead(length);
    if (!got.ok) {
      read_end_ = pos;
      if (narrows_) {
        // Which sectors of the block failed is left to the sector rescue.
        failed_end_ = pos + length;
        UseSectors();
        return true;
      }
      forward_cut_off_ = cut_off_;
      Failed(pos, length);
      return true;
    }
    Keep(pos, got.count);
    pos += static_cast<std::int64_t>(got.count);
    if (got.count == 0) {
      // A source that ends before its stated size: the rest is unread, not done.
      if (pos < hi_) read_end_ = pos;
      return true;
    }
  }
}

// Reads from the end toward `read_end_` until a read fails or the directions meet;
// then reads any bytes left between them. False when stopped.
bool FirstPass::Backward() {
  std::int64_t pos = hi_ - block_;
  std::int64_t lowest_read = hi_;  // start of the lowest range read so far
  for (;;) {
    if (context_.Ended()) return false;
    // A range shorter than one block is read whole, from its start.
    if (pos < lo_) return Head(hi_ - lo_), true;
    source_.Seek(pos);
    copy_.Seek(pos);
    const ReadResult got = TimedRead(block_);
    if (!got.ok) {
      Unread(read_end_, pos + block_ - read_end_);
      Failed(pos, block_);
      return true;
    }
    Keep(pos, got.count);
    if (got.count > 0) lowest_read = pos;
    pos -= static_cast<std::int64_t>(got.count);
    if (pos < lo_) {
      // Fewer than one block is left before the last block read: read those bytes.
      if (!Head(static_cast<std::int64_t>(got.count) + pos - lo_)) return true;
      lowest_read = lo_;
      pos = lo_;
    }
    if (pos < read_end_ || pos == lo_ || got.count == 0) break;
  }
  if (lowest_read > read_end_) {
    if (context_.Ended()) return false;
    Gap(read_end_, lowest_read - read_end_);
  }
  return true;
}

// Thorough, after the forward pass failed on the block [read_end_,
// failed_end_): blocks on the sector grid from the end down to the end of
// the sector holding that block's last byte, until one fails. The range left
// unread runs from the failed forward block to the failed backward one; the
// sector rescue narrows both, when their turn comes. False when stopped.
bool FirstPass::BackwardToDamage() {
  const std::int64_t floor = std::min(SectorEnd(failed_end_ - 1), hi_);
  std::int64_t end = hi_;
  while (end > floor) {
    if (context_.Ended()) return false;
    // The last sector alone first: one quick request, and damage that reaches
    // the end of the range costs a failed sector rather than a failed block.
    std::int64_t start = end == hi_ ? SectorStart(hi_ - 1) : SectorStart(end - block_);
    if (end - start > static_cast<std::int64_t>(PassBuffers::kSize)) start += sector_;  // within the buffer
    start = std::max(start, floor);
    source_.Seek(start);
    copy_.Seek(start);
    const bool direct = source_.ReadsDirectly();
    const ReadResult got = source_.Read(buffer_, Count(end - start));
    if (got.ok && static_cast<std::int64_t>(got.count) == end - start) {
      Keep(start, got.count);
      end = start;
      continue;
    }
    // A short count: the source shrank during the pass, and what is left of it is not read.
    if (got.ok) return Unread(read_end_, end - read_end_), true;
    // A direct read inside one sector that failed is that sector's failure, not read again.
    // (A read through the page cache fails in whole pages, which may hold other sectors.)
    Unread(read_end_, end - read_end_);
    if (direct) Failed(start, end - start);
    return true;
  }
  Unread(read_end_, floor - read_end_);
  return true;
}

// Thorough, at the first failed block: the sector the rescue reads in, read
// directly where the file system allows. A refusal is told by the sector
// rescue that follows, which asks again.
void FirstPass::UseSectors() {
  sector_ = RescueSectorSize(source_, context_.options);
  source_.ReadDirectly(sector_);
}

// Reads the first `length` bytes of the range without the slow-read cut-off.
// False when that read failed.
bool FirstPass::Head(std::int64_t length) {
  source_.Seek(lo_);
  copy_.Seek(lo_);
  const ReadResult got = source_.Read(buffer_, Count(length));
  if (!got.ok) {
    // Those bytes are lost only if the forward pass did not already copy them.
    Unread(lo_, read_end_ == lo_ ? length : 0);
    Failed(lo_, length);
    return false;
  }
  Keep(lo_, got.count);
  return true;
}

// The bytes between where the forward pass failed and where the backward
// pass stopped without a failure: read once, or given up.
void FirstPass::Gap(std::int64_t start, std::int64_t length) {
  // More than a block is left only when the source shrank during the pass.
  if (length > block_) return Unread(start, length);
  // The gap lies inside the block the forward pass rejected as slow: reading
  // it again would cost that wait a second time.
  if (forward_cut_off_) return Unread(start, length);
  source_.Seek(start);
  copy_.Seek(start);
  const ReadResult got = TimedRead(length);
  if (!got.ok) {
    Failed(start, length);
    return Unread(start, length);
  }
  Keep(start, got.count);
  const auto delivered = static_cast<std::int64_t>(got.count);
  if (delivered < length) Unread(start + delivered, length - delivered);
}

// A block read; in Max Speed mode one that took more than 10 whole seconds counts as failed.
ReadResult FirstPass::TimedRead(std::int64_t count) {
  const Clock::TimePoint start = context_.clock.Now();
  ReadResult got = source_.Read(buffer_, Count(count));
  cut_off_ = got.ok && context_.options.Mode() == kModeMaxSpeed &&
             std::chrono::duration_cast<std::chrono::seconds>(context_.clock.Now() - start) > kSlowRead;
  if (cut_off_) got.ok = false;
  return got;
}

PassResult FirstPass::Stop() {
  source_.Close();
  copy_.Close();
  return PassResult::kStopped;
}

void FirstPass::AfterBlock() {
  context_.pump.ProcessMessages();
  context_.progress.SetStatusText(context_.messages.Message(kStatusMessage) + " " +
                                  ElapsedText(context_.clock.Now() - context_.run_start));
}

// The `count` bytes a read delivered from `start` go to the copy at the
// copy's position; then the map marks them done, and the figures show them.
void FirstPass::Keep(std::int64_t start, std::size_t count) {
  copy_.Write(buffer_, count);
  if (count > 0) map_.Set(start, start + static_cast<std::int64_t>(count), RescueState::kDone);
  AfterBlock();
  figures_.ShowReading();
}

// Bytes of a failed read that no other read delivered are bad. In Thorough
// only a sector's own failure marks it: which sectors of a larger read
// failed is not known, and the sector rescue takes the map's word for it.
void FirstPass::Failed(std::int64_t start, std::int64_t length) {
  if (narrows_ && length > sector_) return;
  map_.Replace(start, start + length, RescueState::kUntried, RescueState::kBad);
}

// Records the one range the pass leaves unread; the figures count it as damaged.
void FirstPass::Unread(std::int64_t start, std::int64_t length) {
  unread_ = {start, length};
  // Thorough tries it again sector by sector, whatever an earlier run found there.
  if (narrows_) map_.Replace(start, start + length, RescueState::kBad, RescueState::kUntried);
  figures_.GiveUp(length);
}

}  // namespace salvorine
