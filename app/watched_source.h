#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "platform/forwarding_file.h"

namespace salvorine {

// What the drive is doing for the run, as the status line names it.
enum class ReadActivity {
  kIdle,       // no source is being read
  kReading,    // a read is under way
  kBadBlock,   // the last read failed
  kRetrying,   // a read is under way over bytes a read failed on just before
  kWaiting,    // a read has been under way for longer than kWaitingAfter
};

// What the window knows of the source the run reads: where the read under
// way lies, since when it runs, and where the last one failed. Shared by
// every source the run opens, read between blocks on the window thread.
struct ReadWatch {
  static constexpr std::chrono::milliseconds kWaitingAfter{1500};

  bool open = false;
  bool under_way = false;
  std::int64_t start = 0, end = 0;  // the read under way, or the last one
  std::chrono::steady_clock::time_point since{};
  bool last_failed = false;
  std::int64_t failed_start = 0, failed_end = 0;  // the last failed read
  std::int64_t bytes_read = 0;                    // delivered by every read so far

  ReadActivity Activity(std::chrono::steady_clock::time_point now) const;
};

// A source whose reads are noted in a ReadWatch; every operation goes to `inner`.
class WatchedSource final : public ForwardingFile {
 public:
  WatchedSource(std::unique_ptr<File> inner, ReadWatch& watch);
  ~WatchedSource() override;

  void Seek(std::int64_t position) override;
  ReadResult Read(void* buffer, std::size_t count) override;
  void Close() override;

 private:
  std::unique_ptr<File> owned_;
  ReadWatch& watch_;
  std::int64_t position_ = 0;
};

}  // namespace salvorine
