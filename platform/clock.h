#pragma once

#include <chrono>
#include <string>

namespace salvorine {

// A steady time source; the recovery pass measures reads and the run's
// elapsed time with it, and tests substitute a fake one.
class Clock {
 public:
  using Duration = std::chrono::steady_clock::duration;
  using TimePoint = std::chrono::steady_clock::time_point;

  virtual ~Clock() = default;
  virtual TimePoint Now() = 0;
};

class SteadyClock final : public Clock {
 public:
  TimePoint Now() override { return std::chrono::steady_clock::now(); }
};

// "H:mm:ss", hours not wrapped at 24: 0:01:05, 27:00:00. Negative spans show as 0:00:00.
std::string ElapsedText(Clock::Duration elapsed);

}  // namespace salvorine
