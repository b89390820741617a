// Mounts the damaged-media test file system (damaged_fs) for one test and
// takes it down again, so tests can read through the real kernel path from
// files with bad, slow and flaky areas.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace salvorine::test {

struct DamagedStats {
  uint64_t reads = 0;         // read requests that reached the file system
  uint64_t failed_reads = 0;  // of those, answered with EIO
  uint64_t bytes = 0;         // bytes served by the successful ones
};

enum class CollectStats { kNo, kYes };

class DamagedMount {
 public:
  // Writes the description to a fresh temporary folder and mounts damaged_fs
  // on a folder beside it. Throws std::runtime_error saying why (with
  // damaged_fs's own output) when it is not mounted within 10 seconds.
  // max_read_bytes caps the size of one read request (0: the kernel's default).
  explicit DamagedMount(std::string_view description, CollectStats stats = CollectStats::kNo,
                        unsigned max_read_bytes = 0);
  ~DamagedMount();
  DamagedMount(const DamagedMount&) = delete;
  DamagedMount& operator=(const DamagedMount&) = delete;

  const std::filesystem::path& Path() const { return mount_point_; }

  // Unmounts and waits for damaged_fs to exit; does nothing the second time.
  void Unmount();

  // Kills damaged_fs as a pulled medium goes: the mount stays, and every
  // access to it fails with "Transport endpoint is not connected".
  void Kill();
  // Detaches the mount as `fusermount3 -uz` does: files open on it still
  // read, but its paths are gone; damaged_fs exits once they are closed.
  void UnmountLazily();
  // Serves the same description again at the same mount point after Kill or
  // UnmountLazily (once damaged_fs has exited).
  void Restart();

  // Final counters: unmounts first if still mounted. Needs CollectStats::kYes.
  DamagedStats Stats();

  // Counters so far, asked for with SIGUSR1; the mount stays up.
  DamagedStats StatsWhileMounted();

  // True when /dev/fuse can be opened and fusermount3 is on PATH; otherwise
  // false with the reason in *why.
  static bool FuseAvailable(std::string* why);

  // Where the damaged_fs program under test was built.
  static std::filesystem::path ProgramPath();

 private:
  void Start(std::string_view description, unsigned max_read_bytes);
  void WaitUntilMounted();
  // `clean`: the exit must be a clean one (after a lazy unmount the driver
  // may end reading an aborted connection instead, which is no fault).
  void WaitForExit(bool clean = true);
  bool TryCommand(const std::vector<std::string>& argv);
  std::string Log() const;
  void RemoveFolder() noexcept;

  std::filesystem::path folder_;
  std::filesystem::path mount_point_;
  std::filesystem::path stats_file_;
  std::filesystem::path log_file_;
  std::string description_;
  unsigned max_read_bytes_ = 0;
  pid_t child_ = -1;
  bool mounted_ = false;
};

struct ProgramResult {
  int exit_code = -1;  // -1 when ended by a signal
  std::string output;  // stdout and stderr together
};

// Runs damaged_fs with these arguments (after the program name) and waits.
ProgramResult RunDamagedFs(const std::vector<std::string>& arguments);

// CI sets CI=true; there a missing FUSE means a broken machine, not a reason to skip.
bool RunningInCi();

}  // namespace salvorine::test

// First statement of a test that mounts damaged_fs: skips the test when FUSE
// is missing on a developer machine, fails it when FUSE is missing in CI.
#define SALVORINE_REQUIRE_FUSE()                                                  \
  do {                                                                            \
    std::string fuse_missing_reason_;                                             \
    if (!::salvorine::test::DamagedMount::FuseAvailable(&fuse_missing_reason_)) { \
      if (::salvorine::test::RunningInCi()) {                                     \
        FAIL() << "FUSE is required in CI: " << fuse_missing_reason_;             \
      }                                                                           \
      GTEST_SKIP() << "FUSE is not available: " << fuse_missing_reason_;          \
    }                                                                             \
  } while (false)
