#include "recovery/file_pass.h"

#include <algorithm>

#include "recovery/figures.h"

namespace salvorine {

std::int64_t BlockSizeFor(std::int64_t file_size) {
  return file_size < kLargeFileThreshold ? kSmallBlock : kLargeBlock;
}

namespace {

constexpr int kStatusMessage = 24;
constexpr auto kSlowRead = std::chrono::seconds(10);

class FilePass {
 public:
  // A pass over [range.start, range.End()) of a file of `size` bytes, of
  // which `done_before` bytes outside the range were read before.
  FilePass(File& source, File& copy, int row, std::int64_t size, ByteRange range, std::int64_t done_before,
           Clock::TimePoint run_start, PassContext& context, RescueMap* map)
      : source_(source),
        copy_(copy),
        row_(row),
        size_(size),
        lo_(range.start),
        hi_(range.End()),
        done_before_(done_before),
        block_(BlockSizeFor(size)),
        run_start_(run_start),
        context_(context),
        buffer_(context.buffers.transfer.get()),
        map_(map) {}

  PassResult Run() {
    Prefill();
    if (!Forward()) return Stop();
    if (read_end_ != hi_ && !Backward()) return Stop();
    context_.table.SetCompleted(row_, size_, 100);
    return PassResult::kDone;
  }

  // The range only, into a copy that already holds the rest: no pre-fill, no final figures.
  PassResult RunOverRange() {
    if (!Forward()) return Stop();
    if (read_end_ != hi_ && !Backward()) return Stop();
    return PassResult::kDone;
  }

  const ByteRange& UnreadRange() const { return unread_; }

 private:
  // The copy becomes exactly `size_` zero bytes, so that whatever is never
  // read stays zero: one request for the whole file, which also reserves its space.
  void Prefill() {
    SetFileBar(0);
    copy_.Seek(0);
    if (!context_.Ended() && size_ > 0) {
      copy_.WriteZeros(size_);
      AfterBlock();
    }
    copy_.Seek(size_);
    copy_.Truncate();
  }

  // Reads from the start until a read fails or the file ends. False when stopped.
  bool Forward() {
    read_end_ = hi_;
    std::int64_t pos = lo_;
    source_.Seek(lo_);
    copy_.Seek(lo_);
    for (;;) {
      if (context_.Ended()) return false;
      // Never past the size taken at the start: a file that grows meanwhile is not followed.
      const ReadResult got = TimedRead(std::min(block_, hi_ - pos));
      if (!got.ok) {
        read_end_ = pos;
        forward_cut_off_ = cut_off_;
        Failed(pos, std::min(block_, hi_ - pos));
        return true;
      }
      copy_.Write(buffer_, got.count);
      Done(pos, got.count);
      AfterBlock();
      pos += static_cast<std::int64_t>(got.count);
      if (size_ > 0) SetFileBar(Percent(done_before_ + pos - lo_, size_));
      SetCompleted(done_before_ + pos - lo_);
      if (got.count == 0) {
        // A source that ends before its stated size: the rest is unread, not done.
        if (pos < hi_) read_end_ = pos;
        return true;
      }
    }
  }

  // Reads from the end toward `read_end_` until a read fails or the directions meet;
  // then reads any bytes left between them. False when stopped.
  bool Backward() {
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
      copy_.Write(buffer_, got.count);
      Done(pos, got.count);
      AfterBlock();
      SetFileBar(Percent(BackwardDone(pos), size_));
      SetCompleted(BackwardDone(pos));
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

  // Bytes done when the backward pass has read down to `pos`: the forward
  // pass's, and everything from `pos` to the end of the range.
  std::int64_t BackwardDone(std::int64_t pos) const { return done_before_ + (read_end_ - lo_) + (hi_ - pos); }

  // Reads the first `length` bytes of the range without the slow-read cut-off.
  // False when that read failed.
  bool Head(std::int64_t length) {
    source_.Seek(lo_);
    copy_.Seek(lo_);
    const ReadResult got = source_.Read(buffer_, Count(length));
    if (!got.ok) {
      // Those bytes are lost only if the forward pass did not already copy them.
      Unread(lo_, read_end_ == lo_ ? length : 0);
      Failed(lo_, length);
      return false;
    }
    copy_.Write(buffer_, got.count);
    Done(lo_, got.count);
    AfterBlock();
    SetFileBar(lo_ == 0 && hi_ == size_ ? 100 : Percent(BackwardDone(lo_), size_));
    SetCompleted(BackwardDone(lo_));
    return true;
  }

  // The bytes between where the forward pass failed and where the backward
  // pass stopped without a failure: read once, or reported as damaged.
  void Gap(std::int64_t start, std::int64_t length) {
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
    copy_.Write(buffer_, got.count);
    Done(start, got.count);
    AfterBlock();
    const auto delivered = static_cast<std::int64_t>(got.count);
    if (delivered < length) Unread(start + delivered, length - delivered);
  }

  // A block read; in Max Speed mode one that took more than 10 whole seconds counts as failed.
  ReadResult TimedRead(std::int64_t count) {
    const Clock::TimePoint start = context_.clock.Now();
    ReadResult got = source_.Read(buffer_, Count(count));
    cut_off_ = got.ok && context_.options.Mode() == kModeMaxSpeed &&
               std::chrono::duration_cast<std::chrono::seconds>(context_.clock.Now() - start) > kSlowRead;
    if (cut_off_) got.ok = false;
    return got;
  }

  PassResult Stop() {
    source_.Close();
    copy_.Close();
    return PassResult::kStopped;
  }

  void AfterBlock() {
    context_.pump.ProcessMessages();
    context_.progress.SetStatusText(context_.messages.Message(kStatusMessage) + " " +
                                    ElapsedText(context_.clock.Now() - run_start_));
  }

  void SetFileBar(std::int64_t position) {
    file_bar_ = HeldBarPosition(position);
    context_.progress.SetFileBar(file_bar_);
  }

  // The Completed cell carries the per-file label, which shows the bar as held.
  void SetCompleted(std::int64_t bytes) {
    context_.progress.SetFilePercent(std::to_string(file_bar_) + "%");
    context_.table.SetCompleted(row_, bytes, file_bar_);
  }

  // What the map, when one is kept, learns from each read: bytes written are
  // done; bytes of a failed read that no other read delivered are bad.
  void Done(std::int64_t start, std::size_t count) {
    if (map_ != nullptr && count > 0) map_->Set(start, start + static_cast<std::int64_t>(count), RescueState::kDone);
  }
  void Failed(std::int64_t start, std::int64_t length) {
    if (map_ != nullptr) map_->Replace(start, start + length, RescueState::kUntried, RescueState::kBad);
  }

  // Records the one range the pass leaves unread and, over a whole file,
  // reports its length as the damage (over a range, the caller counts it).
  void Unread(std::int64_t start, std::int64_t length) {
    unread_ = {start, length};
    if (size_ > 0 && lo_ == 0 && hi_ == size_) {
      context_.table.SetDamaged(row_, length, size_);
    }
  }

  static std::size_t Count(std::int64_t bytes) { return static_cast<std::size_t>(bytes); }

  File& source_;
  File& copy_;
  const int row_;
  const std::int64_t size_;
  const std::int64_t lo_;  // the range read: [lo_, hi_)
  const std::int64_t hi_;
  const std::int64_t done_before_;
  const std::int64_t block_;
  const Clock::TimePoint run_start_;
  PassContext& context_;
  unsigned char* const buffer_;
  RescueMap* const map_;
  std::int64_t read_end_ = 0;  // where the forward pass failed; hi_ when it did not
  int file_bar_ = 0;
  bool cut_off_ = false;          // the last timed read was rejected as slow
  bool forward_cut_off_ = false;  // the forward pass ended on such a read
  ByteRange unread_;  // what the pass could not read; length 0 when it read everything
};

}  // namespace

namespace {

// A source with holes: they read as zeros without touching the device, so
// they are not read, and the copy keeps them as holes. Each stretch of data
// is read as a whole file is; the Damaged figure sums what they leave unread.
PassResult RecoverSparseFile(File& source, File& copy, int row, std::int64_t size,
                             const std::vector<std::pair<std::int64_t, std::int64_t>>& extents,
                             Clock::TimePoint run_start, PassContext& context, RescueMap* map) {
  copy.Seek(size);
  copy.Truncate();
  std::int64_t accounted = size;
  for (const auto& [start, end] : extents) accounted -= end - start;
  if (map != nullptr) {
    map->Set(0, size, RescueState::kDone);
    for (const auto& [start, end] : extents) map->Set(start, end, RescueState::kUntried);
  }
  std::int64_t damaged = 0;
  for (const auto& [start, end] : extents) {
    FilePass pass(source, copy, row, size, {start, end - start}, accounted, run_start, context, map);
    if (pass.RunOverRange() == PassResult::kStopped) return PassResult::kStopped;
    damaged += pass.UnreadRange().length;
    accounted += end - start;
    if (damaged > 0) context.table.SetDamaged(row, damaged, size);
  }
  context.table.SetCompleted(row, size, 100);
  return PassResult::kDone;
}

}  // namespace

PassResult RecoverFile(File& source, File& copy, int row, std::int64_t size, Clock::TimePoint run_start,
                       PassContext& context, ByteRange* unread, RescueMap* map) {
  // The thorough rescue wants the one range left unread; it takes sparse sources' stretches itself.
  if (unread == nullptr) {
    const auto extents = source.DataExtents(size);
    if (!extents.empty()) return RecoverSparseFile(source, copy, row, size, extents, run_start, context, map);
  }
  FilePass pass(source, copy, row, size, {0, size}, 0, run_start, context, map);
  const PassResult result = pass.Run();
  if (unread != nullptr) *unread = pass.UnreadRange();
  return result;
}

PassResult RecoverRange(File& source, File& copy, int row, std::int64_t size, ByteRange range,
                        std::int64_t done_before, Clock::TimePoint run_start, PassContext& context, ByteRange* unread,
                        RescueMap* map) {
  FilePass pass(source, copy, row, size, range, done_before, run_start, context, map);
  const PassResult result = pass.RunOverRange();
  if (unread != nullptr) *unread = pass.UnreadRange();
  return result;
}

}  // namespace salvorine
