#pragma once

#include <gtest/gtest.h>

#include "recovery/file_rescue.h"
#include "recovery/memory_job_table.h"
#include "recovery/thorough_pass.h"
#include "tests/support/fakes.h"
#include "tests/support/memory_file.h"

namespace salvorine::test {

// Everything a file pass reads or updates, held in memory, with row 1 ready.
struct PassHarness {
  PassHarness() {
    table.SetRowCount(2);
    table.SetCell(2, 1, "0 (0%)");
    table.SetCell(3, 1, "0 (0%)");
  }

  FakeClock clock;
  RecordingProgress progress;
  Options options;
  MessageTable messages = TestMessages();
  MemoryJobTable table;
  CallbackPump pump;
  PassBuffers buffers;
  bool idle = false;
  PassContext context{idle, options, messages, progress, table, pump, clock, buffers};
  MemoryFile copy{{}, "copy"};
};

// The rescue of a new copy as the pass tests ask for it: the first pass alone
// (Max Data, Max Speed), or the Thorough rescue up to `reach`, over `map` or,
// without one, over a map of the test's own.
inline PassResult RecoverFile(File& source, File& copy, int row, std::int64_t size, Clock::TimePoint run_start,
                              PassContext& context) {
  context.run_start = run_start;
  RescueMap map(0, size);
  return FileRescue({source, copy, map, row, size}, context).Copy(RescueReach::kFirstPass);
}

inline PassResult RecoverFileThoroughly(File& source, File& copy, int row, std::int64_t size,
                                        Clock::TimePoint run_start, PassContext& context, RescueMap* map = nullptr,
                                        RescueReach reach = RescueReach::kAll) {
  context.run_start = run_start;
  RescueMap own(0, size);
  return FileRescue({source, copy, map != nullptr ? *map : own, row, size}, context).Copy(reach);
}

// The sector rescue of `unread` alone; the map tells what else is not
// recovered, which is `unread_outside` bytes.
inline PassResult RescueUnread(File& source, File& copy, int row, std::int64_t size, const salvorine::ByteRange& unread,
                               std::int64_t unread_outside, Clock::TimePoint run_start, PassContext& context,
                               RescueMap* map) {
  EXPECT_EQ(size - map->Total(RescueState::kDone) - unread.length, unread_outside);
  context.run_start = run_start;
  const RescueTarget target{source, copy, *map, row, size};
  RescueFigures figures(target, context);
  return RescueSectors(target, context, figures, unread, RescueReach::kAll);
}

}  // namespace salvorine::test
