// Saves the read counters whenever the process receives SIGUSR1, so a test can
// look at them while the file system is still mounted.
#pragma once

#include <atomic>
#include <filesystem>
#include <thread>

#include "damaged_media/read_stats.h"

namespace salvorine::damaged_media {

// Call before any thread exists: afterwards SIGUSR1 is only ever taken by
// sigwait() and never runs its default action (ending the process).
void BlockStatsSignal();

class StatsSignalWriter {
 public:
  StatsSignalWriter(const ReadStats& stats, std::filesystem::path file);
  ~StatsSignalWriter();
  StatsSignalWriter(const StatsSignalWriter&) = delete;
  StatsSignalWriter& operator=(const StatsSignalWriter&) = delete;

  // Ends the waiting thread; safe to call more than once.
  void Stop();

 private:
  void Run();

  const ReadStats& stats_;
  std::filesystem::path file_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace salvorine::damaged_media
