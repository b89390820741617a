#include "platform/large_reads.h"

#include <algorithm>
#include <cstring>

namespace salvorine {

LargeReads::LargeReads(std::unique_ptr<File> inner, std::size_t request_bytes) : LargeReads(*inner, request_bytes) {
  owned_ = std::move(inner);
}

LargeReads::LargeReads(File& inner, std::size_t request_bytes)
    : ForwardingFile(inner), request_bytes_(request_bytes), size_(inner_.Status().size) {}

void LargeReads::Seek(std::int64_t position) {
  inner_.Seek(position);  // the inner file says what a position may be
  position_ = position;
}

ReadResult LargeReads::Read(void* buffer, std::size_t count) {
  if (const std::optional<std::size_t> held = Held(count)) return Serve(buffer, *held);
  if (large_ && inner_.ReadsDirectly()) StopLargeReads();
  if (large_ && count > 0 && Fill(count)) {
    if (const std::optional<std::size_t> held = Held(count)) return Serve(buffer, *held);
  }
  inner_.Seek(position_);
  const ReadResult got = inner_.Read(buffer, count);
  if (!got.ok) StopLargeReads();
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
  held_count_ = 0;
  held_to_end_ = false;
  inner_.Seek(position_);
  inner_.Write(buffer, count);
  position_ += static_cast<std::int64_t>(count);
}

void LargeReads::WriteZeros(std::int64_t count) {
  held_count_ = 0;
  held_to_end_ = false;
  inner_.Seek(position_);
  inner_.WriteZeros(count);
  position_ += count;
}

void LargeReads::Truncate() {
  held_count_ = 0;
  held_to_end_ = false;
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
  // Past the held stretch only the end of the file answers: a short count, as the file gives there.
  if (available < count && !held_to_end_) return std::nullopt;
  return std::min(count, available);
}

ReadResult LargeReads::Serve(void* buffer, std::size_t count) {
  if (count > 0) std::memcpy(buffer, held_.get() + (position_ - held_start_), count);
  position_ += static_cast<std::int64_t>(count);
  return {true, count, 0};
}

bool LargeReads::Fill(std::size_t count) {
  // Whole multiples of the caller's read, so that its blocks never straddle two stretches.
  std::size_t stretch = std::max<std::size_t>(1, request_bytes_ / count) * count;
  const std::int64_t left = size_ - position_;
  if (left > 0 && static_cast<std::int64_t>(stretch) > left) {
    stretch = std::max(count, static_cast<std::size_t>(left));
  }
  if (stretch <= count) return false;  // one request either way: the caller's own
  if (stretch > capacity_) {
    held_ = std::make_unique_for_overwrite<unsigned char[]>(stretch);
    capacity_ = stretch;
  }
  held_count_ = 0;
  held_to_end_ = false;
  inner_.Seek(position_);
  const ReadResult got = inner_.Read(held_.get(), stretch);
  if (!got.ok) {
    StopLargeReads();
    return false;
  }
  held_start_ = position_;
  held_count_ = got.count;
  held_to_end_ = got.count < stretch;
  return true;
}

void LargeReads::StopLargeReads() {
  large_ = false;
  held_.reset();
  capacity_ = 0;
  held_count_ = 0;
  held_to_end_ = false;
}

}  // namespace salvorine
