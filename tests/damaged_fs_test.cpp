// Checks the damaged-media test bench itself: that damaged_fs serves the
// promised bytes and fails, stalls and recovers exactly where told, seen
// through the kernel the way the copier will see it.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "damaged_media/pattern.h"
#include "support/damaged_mount.h"

namespace salvorine::test {
namespace {

using damaged_media::FillPattern;
using damaged_media::PatternByte;

std::vector<uint8_t> Expected(uint64_t seed, uint64_t offset, size_t count) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) {
    bytes[i] = PatternByte(seed, offset + i);
  }
  return bytes;
}

class OpenFile {
 public:
  explicit OpenFile(const std::filesystem::path& path) : fd_(::open(path.c_str(), O_RDONLY)) {
    if (fd_ < 0) {
      throw std::runtime_error("cannot open " + path.string() + ": " + std::strerror(errno));
    }
  }
  ~OpenFile() { ::close(fd_); }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  struct Result {
    ssize_t count;
    int error;  // errno when count < 0
    std::vector<uint8_t> data;
  };

  // One lseek(2) and one read(2), as a copier does it.
  Result ReadAt(uint64_t offset, size_t count) const {
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
      throw std::runtime_error(std::string("lseek failed: ") + std::strerror(errno));
    }
    Result result{0, 0, std::vector<uint8_t>(count)};
    result.count = ::read(fd_, result.data.data(), count);
    result.error = result.count < 0 ? errno : 0;
    result.data.resize(result.count < 0 ? 0 : static_cast<size_t>(result.count));
    return result;
  }

 private:
  int fd_;
};

// ---- generated content, no mount needed ----

TEST(DamagedFsPattern, FillPatternMatchesPatternByteAtEveryAlignment) {
  constexpr uint64_t kSeed = 0xC0FFEE;
  for (const uint64_t base : {uint64_t{0}, uint64_t{5} << 30}) {
    for (uint64_t start = base; start < base + 17; ++start) {
      for (size_t count = 0; count <= 40; ++count) {
        std::vector<uint8_t> filled(count + 8, 0xA5);
        FillPattern(kSeed, start, filled.data(), count);
        const std::vector<uint8_t> expected = Expected(kSeed, start, count);
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), filled.begin()))
            << "offset " << start << " count " << count;
        for (size_t i = count; i < filled.size(); ++i) {
          ASSERT_EQ(filled[i], 0xA5) << "wrote past count " << count << " at offset " << start;
        }
      }
    }
  }
}

TEST(DamagedFsPattern, SectorsAndSeedsDoNotRepeatEachOther) {
  // A copier that writes a sector to the wrong place, or reads the wrong
  // file, must produce different bytes.
  const auto sector0 = Expected(1, 0, 2048);
  EXPECT_NE(sector0, Expected(1, 2048, 2048));
  EXPECT_NE(sector0, Expected(1, 8, 2048));
  EXPECT_NE(sector0, Expected(2, 0, 2048));
}

// ---- how malformed descriptions are rejected, no mount needed ----

TEST(DamagedFsDescription, RejectsMalformedLineWithItsNumber) {
  struct Case {
    const char* text;
    const char* line;
    const char* reason;
  };
  const Case cases[] = {
      {"file a 10\nfrobnicate a\n", "line 2:", "unknown directive"},
      {"# comment\n\nfile a ten\n", "line 3:", "SIZE must be a decimal number"},
      {"file a 10\nbad b 0 1\n", "line 2:", "no file 'b'"},
      {"file a 10\nfile a/b 10\n", "line 2:", "is a file"},
      {"file a\\x2fb 10\n", "line 1:", "cannot contain"},
      {"file a 10\nflaky a 0 0 1\n", "line 2:", "LENGTH must not be 0"},
      {"file a 10\nbad a 10 1\n", "line 2:", "past the end"},
      {"dir d extra\n", "line 1:", "expected: dir PATH"},
      {"file /abs 1\n", "line 1:", "relative"},
      {"image disk.img /nonexistent/disk.img\n", "line 1:", "cannot serve /nonexistent/disk.img"},
      {"image disk.img /\n", "line 1:", "not a regular file"},
  };
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("damaged_fs_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::filesystem::path description = folder / "description.txt";
  for (const Case& c : cases) {
    { std::ofstream(description, std::ios::binary) << c.text; }
    // The mount point does not exist, so even a wrongly accepted description
    // cannot leave a mount behind; it would end with fuse's own exit code.
    const ProgramResult result =
        RunDamagedFs({description.string(), (folder / "no-such-mountpoint").string(), "-f"});
    EXPECT_EQ(result.exit_code, 2) << c.text << result.output;
    EXPECT_NE(result.output.find(c.line), std::string::npos) << c.text << result.output;
    EXPECT_NE(result.output.find(c.reason), std::string::npos) << c.text << result.output;
  }
  std::filesystem::remove_all(folder);
}

TEST(DamagedFsDescription, MountFixtureReportsWhyDamagedFsRefused) {
  try {
    DamagedMount mount("file ok.bin 10\nbad ok.bin x 1\n");
    FAIL() << "mounted a malformed description at " << mount.Path();
  } catch (const std::runtime_error& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("exited with code 2"), std::string::npos) << message;
    EXPECT_NE(message.find("line 2: START must be a decimal number"), std::string::npos)
        << message;
  }
}

// ---- through a real mount ----

TEST(DamagedFsMount, GoodFileMatchesPatternAtOddOffsets) {
  SALVORINE_REQUIRE_FUSE();
  constexpr uint64_t kSize = (1 << 20) + 13;
  constexpr uint64_t kHugeSize = uint64_t{5} << 30;  // offsets past 4 GiB
  DamagedMount mount("dir sub\nfile sub/good.bin " + std::to_string(kSize) +
                     " 42\nfile huge.iso " + std::to_string(kHugeSize) + " 9\n");
  const auto good = mount.Path() / "sub" / "good.bin";

  struct stat st {};
  ASSERT_EQ(::stat(good.c_str(), &st), 0) << std::strerror(errno);
  EXPECT_EQ(static_cast<uint64_t>(st.st_size), kSize);
  EXPECT_EQ(st.st_blksize, 2048);
  EXPECT_EQ(st.st_mode, S_IFREG | 0444);

  const OpenFile file(good);
  const std::pair<uint64_t, size_t> reads[] = {
      {0, 1}, {1, 7}, {2047, 3000}, {4093, 70001}, {65537, 262144 + 5}, {kSize - 5, 5}};
  for (const auto& [offset, count] : reads) {
    const auto result = file.ReadAt(offset, count);
    ASSERT_EQ(result.count, static_cast<ssize_t>(count)) << "offset " << offset;
    EXPECT_EQ(result.data, Expected(42, offset, count)) << "offset " << offset;
  }
  const auto across_end = file.ReadAt(kSize - 3, 100);
  EXPECT_EQ(across_end.data, Expected(42, kSize - 3, 3));
  EXPECT_EQ(file.ReadAt(kSize, 100).count, 0);

  const OpenFile huge(mount.Path() / "huge.iso");
  const auto tail = huge.ReadAt(kHugeSize - 4099, 4099);
  EXPECT_EQ(tail.data, Expected(9, kHugeSize - 4099, 4099));

  EXPECT_LT(::open(good.c_str(), O_WRONLY), 0);
  EXPECT_EQ(errno, EROFS);
}

TEST(DamagedFsMount, BadRangeFailsWithEioAfterDelayWhileNeighboursRead) {
  SALVORINE_REQUIRE_FUSE();
  constexpr auto kDelay = std::chrono::milliseconds(150);
  DamagedMount mount("file disc.iso 65536 5\nbad disc.iso 4096 2048\ndelay_bad 150\n");
  const OpenFile file(mount.Path() / "disc.iso");

  EXPECT_EQ(file.ReadAt(0, 4096).data, Expected(5, 0, 4096));
  EXPECT_EQ(file.ReadAt(6144, 2048).data, Expected(5, 6144, 2048));

  for (const auto& [offset, count] : {std::pair<uint64_t, size_t>{4095, 2}, {6143, 1}, {0, 8192}}) {
    const auto started = std::chrono::steady_clock::now();
    const auto result = file.ReadAt(offset, count);
    EXPECT_EQ(result.count, -1) << "offset " << offset << " count " << count;
    EXPECT_EQ(result.error, EIO) << "offset " << offset << " count " << count;
    EXPECT_GE(std::chrono::steady_clock::now() - started, kDelay);
  }
}

TEST(DamagedFsMount, BadSectorSizeSpoilsTheWholeSectorOfABadByte) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount mount("bad_sector 2048\nfile disc.iso 16384 6\nbad disc.iso 5000 1\n");
  const OpenFile file(mount.Path() / "disc.iso");
  // Byte 5000 lies in the sector [4096, 6144): any read touching that sector fails.
  EXPECT_EQ(file.ReadAt(4096, 10).error, EIO);
  EXPECT_EQ(file.ReadAt(6143, 1).error, EIO);
  EXPECT_EQ(file.ReadAt(2048, 2049).error, EIO);
  EXPECT_EQ(file.ReadAt(2048, 2048).data, Expected(6, 2048, 2048));
  EXPECT_EQ(file.ReadAt(6144, 2048).data, Expected(6, 6144, 2048));
}

TEST(DamagedFsMount, FlakyRangeFailsExactlyThatManyTimes) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount mount("file f.bin 16384 3\nflaky f.bin 8192 2048 3\n");
  const OpenFile file(mount.Path() / "f.bin");

  EXPECT_EQ(file.ReadAt(8191, 2).error, EIO);
  // Reads that miss the range do not use up its failures.
  EXPECT_EQ(file.ReadAt(0, 8192).data, Expected(3, 0, 8192));
  EXPECT_EQ(file.ReadAt(10240, 6144).data, Expected(3, 10240, 6144));
  EXPECT_EQ(file.ReadAt(8192, 2048).error, EIO);
  EXPECT_EQ(file.ReadAt(10239, 100).error, EIO);

  const auto recovered = file.ReadAt(8192, 2048);
  ASSERT_EQ(recovered.count, 2048) << std::strerror(recovered.error);
  EXPECT_EQ(recovered.data, Expected(3, 8192, 2048));
  EXPECT_EQ(file.ReadAt(8000, 4000).count, 4000);
}

TEST(DamagedFsMount, SlowRangeAnswersCorrectlyAfterTheDelay) {
  SALVORINE_REQUIRE_FUSE();
  constexpr auto kDelay = std::chrono::milliseconds(200);
  DamagedMount mount("file s.bin 8192 11\nslow s.bin 2048 2048 200\n");
  const OpenFile file(mount.Path() / "s.bin");

  const auto started = std::chrono::steady_clock::now();
  const auto result = file.ReadAt(1000, 2000);
  EXPECT_GE(std::chrono::steady_clock::now() - started, kDelay);
  EXPECT_EQ(result.data, Expected(11, 1000, 2000));
}

TEST(DamagedFsMount, NamesThatAreNotUtf8AreListedAndReadable) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount mount("file caf\\xe9/na\\x20me\\xff.bin 10 1  # Latin-1 folder, blank and 0xff\n");
  const std::string folder_name = "caf\xe9";
  const std::string file_name = "na me\xff.bin";

  std::vector<std::string> names;
  DIR* dir = ::opendir((mount.Path() / folder_name).c_str());
  ASSERT_NE(dir, nullptr) << std::strerror(errno);
  while (const dirent* entry = ::readdir(dir)) {
    names.emplace_back(entry->d_name);
  }
  ::closedir(dir);
  EXPECT_EQ(std::count(names.begin(), names.end(), file_name), 1);

  const OpenFile file(mount.Path() / folder_name / file_name);
  EXPECT_EQ(file.ReadAt(0, 10).data, Expected(1, 0, 10));
}

TEST(DamagedFsMount, StatsCountRequestsFailuresAndBytes) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount mount("file d.bin 10000 2\nbad d.bin 5000 1\n", CollectStats::kYes);
  {
    const OpenFile file(mount.Path() / "d.bin");
    ASSERT_EQ(file.ReadAt(0, 100).count, 100);

    const DamagedStats so_far = mount.StatsWhileMounted();
    EXPECT_EQ(so_far.reads, 1u);
    EXPECT_EQ(so_far.failed_reads, 0u);
    EXPECT_EQ(so_far.bytes, 100u);

    ASSERT_EQ(file.ReadAt(4990, 20).error, EIO);
    ASSERT_EQ(file.ReadAt(9990, 50).count, 10);
  }
  const DamagedStats final_stats = mount.Stats();
  EXPECT_EQ(final_stats.reads, 3u);
  EXPECT_EQ(final_stats.failed_reads, 1u);
  EXPECT_EQ(final_stats.bytes, 110u);
}

TEST(DamagedFsMount, MaxReadSplitsOneLargeReadIntoRequests) {
  SALVORINE_REQUIRE_FUSE();
  constexpr unsigned kMaxRead = 64 * 1024;
  DamagedMount mount("file m.bin 1048576 4\nbad m.bin 150000 1\n", CollectStats::kYes, kMaxRead);
  {
    const OpenFile file(mount.Path() / "m.bin");
    // Requests [0,64K) and [64K,128K) succeed and [128K,192K) fails: the
    // kernel hands back what it got before the failure instead of EIO.
    const auto result = file.ReadAt(0, 4 * kMaxRead);
    ASSERT_EQ(result.count, static_cast<ssize_t>(2 * kMaxRead)) << std::strerror(result.error);
    EXPECT_EQ(result.data, Expected(4, 0, 2 * kMaxRead));
  }
  const DamagedStats stats = mount.Stats();
  EXPECT_EQ(stats.reads, 3u);
  EXPECT_EQ(stats.failed_reads, 1u);
  EXPECT_EQ(stats.bytes, 2u * kMaxRead);
}

}  // namespace
}  // namespace salvorine::test
