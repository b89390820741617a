#pragma once

#include <QString>
#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

#include "app/watched_source.h"
#include "i18n/byte_units.h"
#include "recovery/rescue_stage.h"

namespace salvorine {

// Between the parts of a line of figures.
inline QString PartSeparator() { return QStringLiteral("  ·  "); }

// The account of what the run is doing now: the sector stage under way, else
// the drive's activity; the speed of the last few seconds, the bytes done of
// all, and the time left where it holds steady.
class ActivityLine {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  struct Texts {
    std::array<QString, 5> activities;  // indexed by ReadActivity; kIdle's is not shown
    std::array<QString, 4> stages;      // indexed by RescueStage; kNone's is not shown
    QString bytes_done;                 // %1 of %2 bytes, exact
    QString size_done;                  // %1 of %2, in `units`
    ByteUnits units;
    QString kilobytes_per_second, megabytes_per_second, time_left, stopping;
  };
  // What the run and the drive report at one moment.
  struct State {
    ReadActivity activity = ReadActivity::kIdle;
    bool stopping = false;     // a Stop waits for the read under way
    std::int64_t done = 0;     // bytes of the run's rows done
    std::int64_t bytes_read = 0;  // delivered by the drive since the run started
    StageProgress stage;
  };
  // The line as shown, sizes in units, and whole, with the exact byte counts, for its tooltip.
  struct Line {
    QString shown;
    QString whole;
  };

  void SetTexts(const Texts& texts) { texts_ = texts; }
  // A run over `total_bytes` starts at `now`.
  void Start(TimePoint now, std::int64_t total_bytes);
  Line Text(TimePoint now, const State& state);

 private:
  static constexpr std::chrono::seconds kSpeedSpan{3};
  // A time left is shown only once the finish it foresees has held this long.
  static constexpr std::chrono::seconds kSteadySpan{10};
  QString Speed(double bytes_per_second) const;
  QString StageText(const StageProgress& stage) const;
  std::optional<std::chrono::duration<double>> Left(TimePoint now, const State& state);
  std::optional<std::chrono::duration<double>> SteadyLeft(TimePoint now, const State& state);

  Texts texts_;
  TimePoint started_{};
  std::int64_t total_ = 0;
  std::deque<std::pair<TimePoint, std::int64_t>> samples_;  // bytes read by time, over the last kSpeedSpan
  // The stage whose pace the time left follows: when it began, and its sectors done then.
  StageProgress stage_;
  TimePoint stage_started_{};
  // The finishes foreseen over the last kSteadySpan, by when they were foreseen.
  std::deque<std::pair<TimePoint, TimePoint>> finishes_;
};

}  // namespace salvorine
