#pragma once

#include "recovery/file_pass.h"
#include "recovery/memory_job_table.h"
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

}  // namespace salvorine::test
