#include "recovery/pass_view.h"

namespace salvorine {

void PassView::Seek(std::int64_t position) {
  if (position < 0) inner_.Seek(position);  // raises as the file does
  position_ = position;
}

void PassView::Write(const void* buffer, std::size_t count) {
  if (count >= kWrittenThrough) return WriteThrough(buffer, count);
  if (!pending_.empty() && position_ != pending_start_ + std::ssize(pending_)) Flush();
  if (pending_.empty()) pending_start_ = position_;
  empty_ = false;
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  pending_.insert(pending_.end(), bytes, bytes + count);
  position_ += static_cast<std::int64_t>(count);
  if (pending_.size() >= kGathered) Flush();
}

ReadResult PassView::Read(void* buffer, std::size_t count) {
  Flush();
  inner_.Seek(position_);
  const ReadResult got = inner_.Read(buffer, count);
  if (got.ok) position_ += static_cast<std::int64_t>(got.count);
  return got;
}

void PassView::WriteThrough(const void* buffer, std::size_t count) {
  // A new copy's zeros that this block covers are never written.
  if (pending_.empty() && position_ == 0 && static_cast<std::int64_t>(count) >= zeros_) zeros_ = 0;
  Flush();
  empty_ = false;
  inner_.Seek(position_);
  inner_.Write(buffer, count);
  position_ += static_cast<std::int64_t>(count);
}

std::optional<ReadResult> PassView::ReadIfReady(void* buffer, std::size_t count) {
  Flush();
  inner_.Seek(position_);
  const std::optional<ReadResult> got = inner_.ReadIfReady(buffer, count);
  if (got && got->ok) position_ += static_cast<std::int64_t>(got->count);
  return got;
}

void PassView::WriteZeros(std::int64_t count) {
  if (empty_ && position_ == 0 && count <= static_cast<std::int64_t>(kGathered)) {
    zeros_ = count;
    position_ = count;
    empty_ = false;
    return;
  }
  empty_ = false;
  Flush();
  inner_.Seek(position_);
  inner_.WriteZeros(count);
  position_ += count;
}

std::int64_t PassView::Size() {
  Flush();
  return inner_.Size();
}

FileStatus PassView::Status() {
  Flush();
  return inner_.Status();
}

void PassView::Truncate() {
  if (zeros_ > 0 && position_ == zeros_ && pending_.empty()) return;  // the zeros will end the copy there
  empty_ = false;
  Flush();
  inner_.Seek(position_);
  inner_.Truncate();
}

void PassView::Sync() {
  Flush();
  inner_.Sync();
}

void PassView::Flush() {
  if (zeros_ > 0 && !(pending_start_ == 0 && std::ssize(pending_) >= zeros_)) {
    inner_.Seek(0);
    inner_.WriteZeros(zeros_);
  }
  zeros_ = 0;
  if (pending_.empty()) return;
  struct Emptied {
    std::vector<unsigned char>& bytes;
    ~Emptied() { bytes.clear(); }
  } emptied{pending_};
  inner_.Seek(pending_start_);
  inner_.Write(pending_.data(), pending_.size());
}

void PassView::Release() {
  Flush();
  pending_.shrink_to_fit();
}

}  // namespace salvorine
