#include "platform/large_reads.h"

#include <algorithm>
#include <cstring>

namespace salvorine {

LargeReads::LargeReads(File& inner, std::int64_t end, std::size_t request_bytes)
    : ForwardingFile(inner), end_(end), request_bytes_(request_bytes) {}

void LargeReads::Seek(std::int64_t position) {
  inner_.Seek(position);  // the inner file says what a position may be
  position_ = position;
}

ReadResult LargeReads::Read(void* buffer, std::size_t count) {
  if (large_ && count > 0 && !Held(count)) Fill(count);
  if (const std::optional<std::size_t> held = Held(count)) return Serve(buffer, *held);
  if (failed_at_ && *failed_at_ >= position_ && *failed_at_ < position_ + static_cast<std::int64_t>(count)) {
    // The file already failed this block's read there; asking again would be a second failed request.
    const int error = failure_;
    Forget();
    return {false, 0, error};
  }
  Forget();
  inner_.Seek(position_);
  const ReadResult got = inner_.Read(buffer, count);
  if (got.ok) position_ += static_cast<std::int64_t>(got.count);
  return got;
}

std::optional<ReadResult> LargeReads::ReadIfReady(void* buffer, std::size_t count) {
  if (const std::optional<std::size_t> held = Held(count)) return Serve(buffer, *held);
  inner_.Seek(position_);
  const std::optional<ReadResult> got = inner_.ReadIfReady(buffer, count);
  if (got && got->ok) position_ += static_cast<std::int64_t>(got->count);
  return got;
}

void LargeReads::Write(const void* buffer, std::size_t count) {
  Forget();
  inner_.Seek(position_);
  inner_.Write(buffer, count);
  position_ += static_cast<std::int64_t>(count);
}

void LargeReads::WriteZeros(std::int64_t count) {
  Forget();
  inner_.Seek(position_);
  inner_.WriteZeros(count);
  position_ += count;
}

void LargeReads::Truncate() {
  Forget();
  inner_.Seek(position_);
  inner_.Truncate();
}

void LargeReads::Close() {
  StopLargeReads();
  inner_.Close();
}

bool LargeReads::ReadDirectly(std::int64_t sector) {
  StopLargeReads();
  return inner_.ReadDirectly(sector);
}

std::optional<std::size_t> LargeReads::Held(std::size_t count) const {
  const std::int64_t end = held_start_ + static_cast<std::int64_t>(held_count_);
  if (position_ < held_start_ || position_ > end || (held_count_ == 0 && !held_to_end_)) return std::nullopt;
  const auto available = static_cast<std::size_t>(end - position_);
  // Past the held bytes only the end of the file answers: a short count, as the file gives there.
  if (available < count && !held_to_end_) return std::nullopt;
  return std::min(count, available);
}

ReadResult LargeReads::Serve(void* buffer, std::size_t count) {
  if (count > 0) std::memcpy(buffer, held_.get() + (position_ - held_start_), count);
  position_ += static_cast<std::int64_t>(count);
  return {true, count, 0};
}

void LargeReads::Fill(std::size_t count) {
  if (inner_.ReadsDirectly()) return StopLargeReads();
  // Whole multiples of the caller's block, so that no block straddles two stretches.
  std::size_t stretch = std::max<std::size_t>(1, request_bytes_ / count) * count;
  const std::int64_t left = end_ - position_;
  if (left > 0 && static_cast<std::int64_t>(stretch) > left) stretch = std::max(count, static_cast<std::size_t>(left));
  if (stretch <= count) return;  // one request either way: the caller's own
  if (stretch > capacity_) {
    held_ = std::make_unique_for_overwrite<unsigned char[]>(stretch);
    capacity_ = stretch;
  }
  Forget();
  inner_.Seek(position_);
  const std::optional<AheadRead> got = inner_.ReadAhead(held_.get(), stretch);
  if (!got) return StopLargeReads();
  held_start_ = position_;
  if (got->read.ok) {
    held_count_ = got->read.count;
    held_to_end_ = got->read.count < stretch;
    return;
  }
  // From the first failure on, the caller's blocks go to the file as asked.
  large_ = false;
  if (!got->failed_from) return;
  held_count_ = *got->failed_from;
  failed_at_ = position_ + static_cast<std::int64_t>(*got->failed_from);
  failure_ = got->read.error;
}

void LargeReads::Forget() {
  held_count_ = 0;
  held_to_end_ = false;
  failed_at_.reset();
  if (!large_) {
    held_.reset();
    capacity_ = 0;
  }
}

void LargeReads::StopLargeReads() {
  large_ = false;
  Forget();
}

}  // namespace salvorine
