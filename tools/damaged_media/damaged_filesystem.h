// The FUSE callbacks that serve a Description: read-only, every file opened
// with direct I/O so that each read(2) reaches these callbacks.
#pragma once

#define FUSE_USE_VERSION 35
#include <fuse.h>
#include <sys/types.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>

#include "damaged_media/description.h"
#include "damaged_media/read_stats.h"
#include "damaged_media/stats_signal_writer.h"

namespace salvorine::damaged_media {

// Handed to fuse_main() as private data; lives as long as the mount.
struct DamagedFilesystem {
  Description description;
  ReadStats stats;
  std::optional<std::filesystem::path> stats_file;
  std::unique_ptr<StatsSignalWriter> stats_signal_writer;
  std::optional<std::filesystem::path> trace_file;
  std::FILE* trace = nullptr;  // one line per request: OFFSET LENGTH 1 (served) or 0 (failed)
  unsigned max_read = 0;  // 0: the kernel's default request size
  std::time_t created_at = 0;
  uid_t owner = 0;
  gid_t group = 0;
  bool stats_file_failed = false;
};

fuse_operations DamagedFilesystemOperations();

}  // namespace salvorine::damaged_media
