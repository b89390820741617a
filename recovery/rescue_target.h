#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "i18n/message_table.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "recovery/rescue_map.h"
#include "recovery/run_ports.h"

namespace salvorine {

inline constexpr std::int64_t kSmallBlock = 1024;
inline constexpr std::int64_t kLargeBlock = 99509;  // odd on purpose: not a power of two

// How long single-sector reads and failed reads took over the run, to weigh
// one against the other: the cost of a failure is the medium's, not a file's.
struct ReadTimings {
  struct Timing {
    Clock::Duration total{};
    std::int64_t count = 0;
    void Add(Clock::Duration taken) {
      total += taken;
      ++count;
    }
  };
  Timing single_sector;
  Timing failed;
};

// The transfer buffer of a run, allocated once and reused for every block,
// and what the run's reads have taught about the medium.
struct PassBuffers {
  static constexpr std::size_t kSize = static_cast<std::size_t>(kLargeBlock);
  std::unique_ptr<unsigned char[]> transfer = std::make_unique<unsigned char[]>(kSize);
  ReadTimings timings;
};

// Everything a rescue reads or updates besides its own file, copy and map.
struct PassContext {
  const bool& idle;  // set by Stop or a confirmed close; tested before every block
  const RunOptions& options;
  const MessageTable& messages;
  ProgressDisplay& progress;
  JobTable& table;
  EventPump& pump;
  Clock& clock;
  PassBuffers& buffers;
  const bool* skip = nullptr;  // set by Skip file: ends this file's pass as the idle flag does
  Clock::TimePoint run_start{};  // the status line counts the run's time from here

  // Whether the pass must end before its next read.
  bool Ended() const { return idle || (skip != nullptr && *skip); }
};

// What one rescue works on: `source` read as `size` bytes into `copy`, and
// `map` (of [0, size)), which learns every read as it happens. `row` is the
// file's row of the table, whose figures the rescue keeps.
struct RescueTarget {
  File& source;
  File& copy;
  RescueMap& map;
  int row;
  std::int64_t size;
};

// A range of a file: [start, start + length).
struct ByteRange {
  std::int64_t start = 0;
  std::int64_t length = 0;
  std::int64_t End() const { return start + length; }
};

enum class PassResult {
  kDone,     // the file was read as far as the step goes; its figures say what was lost
  kStopped,  // the idle flag (or Skip file) was set; source and copy are already closed
};

// How far a rescue goes past its first pass. Max Data and Max Speed stop
// after the first pass; Thorough takes the sector rescue in steps: a run gets
// the bulk of every file's readable bytes before it pays for the long
// stretches of damage.
enum class RescueReach {
  kFirstPass,  // the first pass only (Max Data, Max Speed)
  kEdges,      // then the edges of what it left unread
  kProbes,     // then the probes, while they are worth more than another file's
  kAll,        // then every probe, the scrape and the retries
};

}  // namespace salvorine
