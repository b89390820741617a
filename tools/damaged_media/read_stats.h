// Counts what the file system served, and saves the counts as text:
//   reads N\nfailed_reads N\nbytes N\n
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>

namespace salvorine::damaged_media {

struct ReadStatsSnapshot {
  uint64_t reads = 0;
  uint64_t failed_reads = 0;
  uint64_t bytes = 0;
};

class ReadStats {
 public:
  void CountRead(bool failed, uint64_t bytes_served) {
    reads_.fetch_add(1, std::memory_order_relaxed);
    if (failed) {
      failed_reads_.fetch_add(1, std::memory_order_relaxed);
    }
    bytes_.fetch_add(bytes_served, std::memory_order_relaxed);
  }

  ReadStatsSnapshot Snapshot() const {
    return {reads_.load(std::memory_order_relaxed), failed_reads_.load(std::memory_order_relaxed),
            bytes_.load(std::memory_order_relaxed)};
  }

 private:
  // Atomic because a snapshot may be taken from the SIGUSR1 thread.
  std::atomic<uint64_t> reads_{0};
  std::atomic<uint64_t> failed_reads_{0};
  std::atomic<uint64_t> bytes_{0};
};

// Writes a temporary file beside the target and renames it over the target,
// so a reader never sees half a file. Throws std::runtime_error with the path.
void WriteStatsFile(const std::filesystem::path& file, const ReadStatsSnapshot& stats);

}  // namespace salvorine::damaged_media
