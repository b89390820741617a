#pragma once

#include <QString>
#include <array>
#include <chrono>
#include <cstdint>
#include <deque>

#include "app/watched_source.h"

namespace salvorine {

// The status line's account of what the run is doing now: the drive's
// activity, the speed of the last few seconds, the bytes done of all, and
// the time left at the pace of the run so far.
class ActivityLine {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  struct Texts {
    std::array<QString, 5> activities;  // indexed by ReadActivity; kIdle's is not shown
    QString bytes_done;                 // %1 of %2 bytes
    QString kilobytes_per_second, megabytes_per_second, time_left, stopping;
  };

  void SetTexts(const Texts& texts) { texts_ = texts; }
  // A run over `total_bytes` starts at `now`.
  void Start(TimePoint now, std::int64_t total_bytes);
  // The line at `now`: `done` bytes of the run's rows are done, `bytes_read`
  // delivered by the drive since the run started; `stopping` once a Stop waits for the read under way.
  QString Text(TimePoint now, ReadActivity activity, bool stopping, std::int64_t done, std::int64_t bytes_read);

 private:
  static constexpr std::chrono::seconds kSpeedSpan{3};
  QString Speed(double bytes_per_second) const;

  Texts texts_;
  TimePoint started_{};
  std::int64_t total_ = 0;
  std::deque<std::pair<TimePoint, std::int64_t>> samples_;  // bytes read by time, over the last kSpeedSpan
};

}  // namespace salvorine
