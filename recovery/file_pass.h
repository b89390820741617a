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
// 1024-byte blocks for files under this size, kLargeBlock for the rest.
inline constexpr std::int64_t kLargeFileThreshold = 1000000;

std::int64_t BlockSizeFor(std::int64_t file_size);

// The transfer buffer of a run, allocated once and reused for every block.
struct PassBuffers {
  static constexpr std::size_t kSize = static_cast<std::size_t>(kLargeBlock);
  std::unique_ptr<unsigned char[]> transfer = std::make_unique<unsigned char[]>(kSize);
};

// Everything a pass reads or updates besides the two files.
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

  // Whether the pass must end before its next read.
  bool Ended() const { return idle || (skip != nullptr && *skip); }
};

// A range of a file: [start, start + length).
struct ByteRange {
  std::int64_t start = 0;
  std::int64_t length = 0;
  std::int64_t End() const { return start + length; }
};

enum class PassResult {
  kDone,     // the file was read as far as it can be; damage, if any, is in the Damaged cell
  kStopped,  // the idle flag was set; source and copy are already closed
};

// Copies `source` (size `size`) into `copy`, a freshly created file: fills the
// copy with zeros, reads forward block by block until a read fails, then
// backward from the end until a read fails or the two directions meet, and
// reads once more whatever lies between them. Unreadable ranges stay zero and
// are reported in the Damaged cell of `row`. A failed write or seek raises
// FileSystemError. When `unread` is given, it receives the range left unread
// (length 0 when none). When `map` (of [0, size)) is given, it learns which
// bytes were read and which a read failed on.
PassResult RecoverFile(File& source, File& copy, int row, std::int64_t size, Clock::TimePoint run_start,
                       PassContext& context, ByteRange* unread = nullptr, RescueMap* map = nullptr);

// Goes on from an earlier copy: reads only `range` of `source` (size
// `size`), forward then backward as RecoverFile reads a whole file, into
// `copy`, which already holds the bytes read before. `done_before` counts
// those bytes outside the range, so that the row's figures cover the whole
// file. The Damaged cell and the final Completed text are the caller's.
PassResult RecoverRange(File& source, File& copy, int row, std::int64_t size, ByteRange range,
                        std::int64_t done_before, Clock::TimePoint run_start, PassContext& context, ByteRange* unread,
                        RescueMap* map);

}  // namespace salvorine
