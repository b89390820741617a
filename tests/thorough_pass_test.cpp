// The Thorough mode's rescue of what the Max Data pass leaves unread.
#include "recovery/thorough_pass.h"

#include <gtest/gtest.h>

#include <cstring>

#include "recovery/figures.h"
#include "recovery/memory_job_table.h"
#include "tests/support/fakes.h"
#include "tests/support/memory_file.h"
#include "tests/support/pass_harness.h"

namespace salvorine::test {
namespace {

constexpr std::int64_t kSector = 2048;
constexpr std::int64_t kSize = 1200000;  // large blocks of 99509 bytes

class ThoroughPassTest : public ::testing::Test, protected PassHarness {
 protected:
  void SetUp() override {
    source.block_size = kSector;
    options.mode = kModeThorough;
  }

  PassResult Run() { return RecoverFileThoroughly(source, copy, 1, source.Size(), clock.Now(), context); }

  // The source with every byte of the given sectors zeroed.
  std::vector<unsigned char> WithoutSectors(const std::vector<std::int64_t>& sectors) const {
    auto bytes = source.Content();
    for (const std::int64_t sector : sectors) {
      const auto start = static_cast<std::size_t>(sector * kSector);
      std::memset(bytes.data() + start, 0, std::min<std::size_t>(kSector, bytes.size() - start));
    }
    return bytes;
  }

  int FailedReads() const {
    return static_cast<int>(std::count_if(source.reads.begin(), source.reads.end(), [](auto& read) { return !read.ok; }));
  }

  MemoryFile source{Numbered(kSize), "source"};
};

TEST_F(ThoroughPassTest, AScratchCostsOnlyItsOwnSectors) {
  // Ten unreadable sectors alternating with readable ones, as a scratch leaves them.
  std::vector<std::int64_t> bad;
  for (std::int64_t sector = 200; sector < 220; sector += 2) {
    bad.push_back(sector);
    source.bad.push_back({sector * kSector + 100, 1});
  }
  EXPECT_EQ(Run(), PassResult::kDone);
  EXPECT_EQ(copy.Content(), WithoutSectors(bad));
  EXPECT_EQ(table.Cell(3, 1), "20480 (2%)");
  EXPECT_EQ(table.Cell(2, 1), "1200000 (100%)");
  // Every bad sector is tried on its own once, besides the few failed blocks.
  EXPECT_LE(FailedReads(), 10 + 6);
}

TEST_F(ThoroughPassTest, AScratchAcrossTheWholeFileLeavesEveryReadableSector) {
  // Every 84 KiB, twelve bad sectors alternating with good ones: most blocks fail.
  MemoryFile scratched(Numbered(4608 * 1024), "scratched");
  scratched.block_size = kSector;
  std::int64_t bad_bytes = 0;
  auto expected = scratched.Content();
  for (std::int64_t at = 20 * 1024; at + 46 * 1024 < scratched.Size(); at += 84 * 1024) {
    for (int k = 0; k < 12; ++k) {
      scratched.bad.push_back({at + k * 4096, kSector});
      std::memset(expected.data() + at + k * 4096, 0, kSector);
      bad_bytes += kSector;
    }
  }
  EXPECT_EQ(RecoverFileThoroughly(scratched, copy, 1, scratched.Size(), clock.Now(), context), PassResult::kDone);
  EXPECT_EQ(copy.Content(), expected);
  EXPECT_EQ(table.Cell(3, 1), std::to_string(bad_bytes) + " (" + std::to_string(Percent(bad_bytes, scratched.Size())) + "%)");
}

TEST_F(ThoroughPassTest, BadFirstAndLastSectorsAreAllThatIsLost) {
  source.bad = {{5, 1}, {kSize - 1, 1}};
  EXPECT_EQ(Run(), PassResult::kDone);
  const std::int64_t last = kSize / kSector;  // a partial sector of 1920 bytes
  EXPECT_EQ(copy.Content(), WithoutSectors({0, last}));
  EXPECT_EQ(table.Cell(3, 1), "3968 (0%)");
}

TEST_F(ThoroughPassTest, AFullyUnreadableFileStaysZeroAndIsAllDamaged) {
  source.bad = {{0, kSize}};
  EXPECT_EQ(Run(), PassResult::kDone);
  EXPECT_EQ(copy.Content(), std::vector<unsigned char>(kSize, 0));
  EXPECT_EQ(table.Cell(3, 1), "1200000 (100%)");
  EXPECT_EQ(table.Cell(2, 1), "1200000 (100%)");
  // One read per sector at most, and the skipping keeps the blocks that fail few.
  EXPECT_LE(FailedReads(), static_cast<int>(kSize / kSector) + 1 + 20);
}

TEST_F(ThoroughPassTest, AHealthyFileIsReadOnceAsInMaxData) {
  EXPECT_EQ(Run(), PassResult::kDone);
  EXPECT_EQ(copy.Content(), source.Content());
  EXPECT_EQ(source.reads.size(), static_cast<std::size_t>(kSize / kLargeBlock + 2));
}

TEST_F(ThoroughPassTest, ReadsThatSucceedLaterAreRescued) {
  // A spot that fails twice: the Max Data pass and the first rescue read miss it.
  source.flaky = {{{600000, 10}, 3}};
  EXPECT_EQ(Run(), PassResult::kDone);
  EXPECT_EQ(copy.Content(), source.Content());
  EXPECT_EQ(table.Cell(3, 1), "0 (0%)");
}

// Stopping in the copy phase (a block-sized read) or in the sector phases.
class ThoroughStopTest : public ThoroughPassTest, public ::testing::WithParamInterface<std::int64_t> {};

TEST_P(ThoroughStopTest, StopClosesBothFilesAndKeepsOnlyReadBytes) {
  source.bad = {{300000, 1}, {300000 + 5 * kSector, 1}, {700000, 200000}};
  const std::int64_t stop_after_read_of = GetParam();
  bool rescuing = false;
  pump.on_pump = [&](int) {
    // The rescue starts after the Max Data pass's failed backward read.
    if (source.reads.empty()) return;
    rescuing = rescuing || FailedReads() >= 2;
    if (rescuing && source.reads.back().count == stop_after_read_of) idle = true;
  };
  EXPECT_EQ(Run(), PassResult::kStopped);
  EXPECT_TRUE(source.closed);
  EXPECT_TRUE(copy.closed);
  const auto& original = source.Content();
  const auto& written = copy.Content();
  ASSERT_EQ(written.size(), original.size());
  for (std::size_t i = 0; i < written.size(); ++i) {
    ASSERT_TRUE(written[i] == 0 || written[i] == original[i]) << "byte " << i;
  }
  EXPECT_NE(table.Cell(2, 1), "1200000 (100%)");
}

INSTANTIATE_TEST_SUITE_P(Phases, ThoroughStopTest, ::testing::Values(kLargeBlock, kSector),
                         [](const auto& phase) { return std::string(phase.param == kSector ? "Sectors" : "Copy"); });

TEST_F(ThoroughPassTest, SmallFilesUseTheirOwnSmallerBlocks) {
  MemoryFile small(Numbered(20000), "small");
  small.block_size = 512;
  small.bad = {{5000, 1}, {6100, 1}, {15000, 700}};
  EXPECT_EQ(RecoverFileThoroughly(small, copy, 1, small.Size(), clock.Now(), context), PassResult::kDone);
  auto expected = small.Content();
  for (const auto& [start, length] : {std::pair<int, int>{4608, 512}, {5632, 512}, {14848, 1024}}) {
    std::memset(expected.data() + start, 0, static_cast<std::size_t>(length));
  }
  EXPECT_EQ(copy.Content(), expected);
  EXPECT_EQ(table.Cell(3, 1), "2048 (10%)");
}

}  // namespace
}  // namespace salvorine::test
