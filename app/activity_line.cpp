#include "app/activity_line.h"

#include <QStringList>

#include "platform/clock.h"

namespace salvorine {

void ActivityLine::Start(TimePoint now, std::int64_t total_bytes) {
  started_ = now;
  total_ = total_bytes;
  samples_.clear();
}

QString ActivityLine::Speed(double bytes_per_second) const {
  if (bytes_per_second < 1e6) return texts_.kilobytes_per_second.arg(bytes_per_second / 1e3, 0, 'f', 1);
  return texts_.megabytes_per_second.arg(bytes_per_second / 1e6, 0, 'f', 1);
}

QString ActivityLine::Text(TimePoint now, ReadActivity activity, bool stopping, std::int64_t done,
                           std::int64_t bytes_read) {
  samples_.emplace_back(now, bytes_read);
  while (samples_.size() > 2 && now - samples_[1].first >= kSpeedSpan) samples_.pop_front();
  QStringList parts;
  if (stopping) {
    parts << texts_.stopping;
  } else if (activity != ReadActivity::kIdle) {
    parts << texts_.activities[static_cast<std::size_t>(activity)];
  }
  const auto span = std::chrono::duration<double>(now - samples_.front().first).count();
  if (span > 0) parts << Speed(static_cast<double>(bytes_read - samples_.front().second) / span);
  parts << texts_.bytes_done.arg(done).arg(total_);
  // The pace of the whole run so far, steadier than the last seconds' speed.
  const auto elapsed = now - started_;
  if (done > 0 && done < total_ && elapsed >= std::chrono::seconds(1)) {
    const double left = std::chrono::duration<double>(elapsed).count() * static_cast<double>(total_ - done) /
                        static_cast<double>(done);
    parts << texts_.time_left.arg(QString::fromStdString(
                 ElapsedText(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                     std::chrono::duration<double>(left)))));
  }
  return parts.join(QStringLiteral("  ·  "));
}

}  // namespace salvorine
