#include "app/watched_source.h"

namespace salvorine {

ReadActivity ReadWatch::Activity(std::chrono::steady_clock::time_point now) const {
  if (!open) return ReadActivity::kIdle;
  if (!under_way) return last_failed ? ReadActivity::kBadBlock : ReadActivity::kReading;
  if (now - since >= kWaitingAfter) return ReadActivity::kWaiting;
  if (last_failed && start < failed_end && failed_start < end) return ReadActivity::kRetrying;
  return ReadActivity::kReading;
}

WatchedSource::WatchedSource(std::unique_ptr<File> inner, ReadWatch& watch)
    : ForwardingFile(*inner), owned_(std::move(inner)), watch_(watch) {
  // A new source starts with nothing under way or failed; the bytes read count on over the run.
  const std::int64_t bytes_read = watch_.bytes_read;
  watch_ = ReadWatch{};
  watch_.bytes_read = bytes_read;
  watch_.open = true;
}

WatchedSource::~WatchedSource() { watch_.open = false; }

void WatchedSource::Seek(std::int64_t position) {
  inner_.Seek(position);
  position_ = position;
}

ReadResult WatchedSource::Read(void* buffer, std::size_t count) {
  watch_.under_way = true;
  watch_.start = position_;
  watch_.end = position_ + static_cast<std::int64_t>(count);
  watch_.since = std::chrono::steady_clock::now();
  // Cleared whatever the read does, even when it raises.
  struct Done {
    ReadWatch& watch;
    ~Done() { watch.under_way = false; }
  } done{watch_};
  const ReadResult result = inner_.Read(buffer, count);
  if (result.ok) {
    position_ += static_cast<std::int64_t>(result.count);
    watch_.bytes_read += static_cast<std::int64_t>(result.count);
  } else {
    watch_.failed_start = watch_.start;
    watch_.failed_end = watch_.end;
  }
  watch_.last_failed = !result.ok;
  return result;
}

void WatchedSource::Close() {
  inner_.Close();
  watch_.open = false;
}

}  // namespace salvorine
