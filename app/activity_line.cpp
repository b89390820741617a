#include "app/activity_line.h"

#include <QStringList>

#include "platform/clock.h"

namespace salvorine {
namespace {

using Seconds = std::chrono::duration<double>;

// A finish foreseen later than an earlier one by more than this has climbed.
Seconds Tolerance(Seconds left) { return Seconds(3) + left * 0.1; }

}  // namespace

void ActivityLine::Start(TimePoint now, std::int64_t total_bytes) {
  started_ = now;
  total_ = total_bytes;
  samples_.clear();
  stage_ = {};
  stage_started_ = now;
  finishes_.clear();
}

QString ActivityLine::Speed(double bytes_per_second) const {
  const auto tenths = static_cast<std::int64_t>(bytes_per_second / 100 + 0.5);
  const std::string& mark = texts_.units.decimal_mark;
  if (tenths < 10000) return texts_.kilobytes_per_second.arg(QString::fromStdString(TenthsText(tenths, mark)));
  return texts_.megabytes_per_second.arg(QString::fromStdString(TenthsText((tenths + 500) / 1000, mark)));
}

QString ActivityLine::StageText(const StageProgress& stage) const {
  const QString& text = texts_.stages[static_cast<std::size_t>(stage.stage)];
  if (stage.stage == RescueStage::kSectorsLeft) return text.arg(stage.total - stage.done);
  return text.arg(stage.done).arg(stage.total);
}

// The time left at the pace so far: of the sector stage, where its end can
// be foreseen, or of the whole run outside one; none between bad areas,
// whose probes end before every sector is tried.
std::optional<Seconds> ActivityLine::Left(TimePoint now, const State& state) {
  const RescueStage stage = state.stage.stage;
  if (stage != stage_.stage || state.stage.total != stage_.total || state.stage.done < stage_.done) {
    stage_ = state.stage;
    stage_started_ = now;
    finishes_.clear();
  }
  if (stage == RescueStage::kBetweenBadAreas) return std::nullopt;
  const bool in_stage = stage != RescueStage::kNone;
  const std::int64_t done = in_stage ? state.stage.done - stage_.done : state.done;
  const std::int64_t left = in_stage ? state.stage.total - state.stage.done : total_ - state.done;
  const Seconds elapsed = now - (in_stage ? stage_started_ : started_);
  if (done <= 0 || left <= 0 || elapsed < Seconds(1)) return std::nullopt;
  return elapsed * static_cast<double>(left) / static_cast<double>(done);
}

// The time left, when the finish it foresees has not moved later over the
// last kSteadySpan: none rather than one that climbs.
std::optional<Seconds> ActivityLine::SteadyLeft(TimePoint now, const State& state) {
  const std::optional<Seconds> left = Left(now, state);
  if (!left) return std::nullopt;
  const TimePoint finish = now + std::chrono::duration_cast<TimePoint::duration>(*left);
  finishes_.emplace_back(now, finish);
  while (finishes_.size() > 2 && now - finishes_[1].first >= kSteadySpan) finishes_.pop_front();
  const auto& [foreseen_at, foreseen] = finishes_.front();
  if (now - foreseen_at < kSteadySpan || finish - foreseen > Tolerance(*left)) return std::nullopt;
  return left;
}

ActivityLine::Line ActivityLine::Text(TimePoint now, const State& state) {
  samples_.emplace_back(now, state.bytes_read);
  while (samples_.size() > 2 && now - samples_[1].first >= kSpeedSpan) samples_.pop_front();
  QStringList parts;
  if (state.stopping) {
    parts << texts_.stopping;
  } else if (state.stage.stage != RescueStage::kNone) {
    parts << StageText(state.stage);
  } else if (state.activity != ReadActivity::kIdle) {
    parts << texts_.activities[static_cast<std::size_t>(state.activity)];
  }
  const auto span = Seconds(now - samples_.front().first).count();
  const std::int64_t delivered = state.bytes_read - samples_.front().second;
  // In a sector stage over unreadable sectors the stage's count is the pace; "0.0 KB/s"
  // would only take the room the time left needs.
  const bool nothing_delivered_in_stage = state.stage.stage != RescueStage::kNone && delivered == 0;
  if (span > 0 && !nothing_delivered_in_stage) parts << Speed(static_cast<double>(delivered) / span);
  const qsizetype size_at = parts.size();
  parts << texts_.size_done.arg(QString::fromStdString(ReadableBytes(state.done, texts_.units)),
                                QString::fromStdString(ReadableBytes(total_, texts_.units)));
  if (const std::optional<Seconds> left = SteadyLeft(now, state)) {
    parts << texts_.time_left.arg(
        QString::fromStdString(ElapsedText(std::chrono::duration_cast<std::chrono::steady_clock::duration>(*left))));
  }
  const QString separator = PartSeparator();
  Line line{parts.join(separator), {}};
  parts[size_at] = texts_.bytes_done.arg(state.done).arg(total_);
  line.whole = parts.join(separator);
  return line;
}

}  // namespace salvorine
