// The recovery pass against in-memory files with scripted damage and a fake clock.
#include "recovery/file_pass.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/file_system_error.h"
#include "recovery/memory_job_table.h"
#include "tests/support/fakes.h"
#include "tests/support/memory_file.h"
#include "tests/support/pass_harness.h"

namespace salvorine::test {
namespace {

using std::chrono::hours;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr std::int64_t B = kSmallBlock;
// Nine whole blocks and 784 bytes: the two directions meet off a block boundary.
constexpr std::int64_t kNineBlocksAnd784 = 9 * B + 784;

class FilePassTest : public ::testing::Test, protected PassHarness {
 protected:
  MemoryFile Source(std::int64_t size) {
    MemoryFile file(Numbered(size), "source");
    file.on_slow = [this](auto delay) { clock.Advance(delay); };
    return file;
  }

  PassResult Run(MemoryFile& source) { return RecoverFile(source, copy, 1, source.Size(), clock.Now(), context); }

  std::string Completed() const { return table.Cell(2, 1); }
  std::string Damaged() const { return table.Cell(3, 1); }

  // The source's bytes with [start, start + length) zeroed: what the copy must hold.
  static std::vector<unsigned char> WithZeros(const MemoryFile& source, std::int64_t start, std::int64_t length) {
    auto bytes = source.Content();
    std::memset(bytes.data() + start, 0, static_cast<std::size_t>(length));
    return bytes;
  }

};

TEST_F(FilePassTest, EmptySourceMakesOneReadAndEndsAtHundredPercent) {
  MemoryFile source = Source(0);
  EXPECT_EQ(Run(source), PassResult::kDone);
  ASSERT_EQ(source.reads.size(), 1u);
  EXPECT_TRUE(copy.Content().empty());
  EXPECT_EQ(Completed(), "0 (100%)");
  EXPECT_EQ(Damaged(), "0 (0%)");
}

TEST_F(FilePassTest, HealthyLargeFileIsReadForwardInWholeBlocksOnly) {
  MemoryFile source = Source(11 * kLargeBlock + 100);
  EXPECT_EQ(Run(source), PassResult::kDone);
  // Eleven whole blocks, the partial last one, and the read at the end of
  // file; none reaches past the size the file had when the pass began.
  ASSERT_EQ(source.reads.size(), 13u);
  for (std::size_t i = 0; i < source.reads.size(); ++i) {
    const std::int64_t position = std::min(static_cast<std::int64_t>(i) * kLargeBlock, source.Size());
    EXPECT_EQ(source.reads[i].position, position);
    EXPECT_EQ(source.reads[i].count, std::min(kLargeBlock, source.Size() - position));
  }
  EXPECT_EQ(copy.Content(), source.Content());
  EXPECT_EQ(Completed(), std::to_string(source.Size()) + " (100%)");
  EXPECT_EQ(progress.file_bar, 100);

  // From a file that can read ahead: as many whole blocks as a device reads
  // ahead (128 KiB) at once, then the rest, never past the size.
  MemoryFile again = Source(200 * kSmallBlock + 100);
  again.ahead_unit = 1;
  copy = MemoryFile({}, "copy");
  ASSERT_EQ(Run(again), PassResult::kDone);
  ASSERT_EQ(again.reads.size(), 2u);
  EXPECT_EQ(again.reads[0].count, 128 * kSmallBlock);
  EXPECT_EQ(again.reads[1].position, 128 * kSmallBlock);
  EXPECT_EQ(again.reads[1].count, 72 * kSmallBlock + 100);
  EXPECT_EQ(copy.Content(), again.Content());
}

struct DamageCase {
  const char* name;
  std::int64_t size;
  std::vector<ByteRange> bad;
  std::vector<MemoryFile::Flaky> flaky;
  std::string damaged;
  ByteRange zeros;  // what the copy must hold as zeros; length 0 for an exact copy
};

class DamageTest : public FilePassTest, public ::testing::WithParamInterface<DamageCase> {};

// Read block by block, and in large requests that fall back to the blocks at
// the first failure: the copy and the figures are the same either way.
TEST_P(DamageTest, CopyAndFiguresMatchTheUnreadBytes) {
  const DamageCase& c = GetParam();
  for (const bool large : {false, true}) {
    SCOPED_TRACE(large ? "large requests" : "blocks");
    MemoryFile source = Source(c.size);
    source.bad = c.bad;
    source.flaky = c.flaky;
    source.ahead_unit = large ? 1 : 0;
    copy = MemoryFile({}, "copy");
    table.SetCell(3, 1, "0 (0%)");
    EXPECT_EQ(Run(source), PassResult::kDone);
    EXPECT_EQ(copy.Content(), WithZeros(source, c.zeros.start, c.zeros.length));
    EXPECT_EQ(Damaged(), c.damaged);
    EXPECT_EQ(Completed(), std::to_string(c.size) + " (100%)");
  }
}

INSTANTIATE_TEST_SUITE_P(
    FilePass, DamageTest,
    ::testing::Values(
        // The backward read of the block starting at 2B+784 fails: [2B, 3B+784) is lost.
        DamageCase{"BackwardFailure", kNineBlocksAnd784, {{2 * B + 800, 1}}, {}, "1808 (18%)", {2 * B, B + 784}},
        // No backward read fails; the 784 bytes between the directions are read once and fail.
        DamageCase{"UnreadGapFails", kNineBlocksAnd784, {{2 * B + 10, 1}}, {}, "784 (8%)", {2 * B, 784}},
        // The failed spot reads on the second attempt: nothing may stay zero.
        DamageCase{"UnreadGapRecovers", kNineBlocksAnd784, {}, {{{2 * B + 10, 1}, 1}}, "0 (0%)", {0, 0}},
        // The first block fails once in a file of whole blocks: the backward pass
        // stops at 0 by whole blocks and the first block is read again.
        DamageCase{"FirstBlockOfWholeBlocksRecovers", 4 * B, {}, {{{5, 1}, 1}}, "0 (0%)", {0, 0}},
        DamageCase{"FirstBlockOfWholeBlocksLost", 4 * B, {{5, 1}}, {}, "1024 (25%)", {0, B}},
        // Shorter than one block: the whole file is read once more from its start.
        DamageCase{"ShortFileRecovers", 500, {}, {{{5, 1}, 1}}, "0 (0%)", {0, 0}},
        DamageCase{"ShortFileLost", 500, {{5, 1}}, {}, "500 (100%)", {0, 500}},
        // Between one and two blocks, forward fails in the second block and the
        // backward block [S-B, S) overlaps it.
        DamageCase{"SecondBlockOfShortFileLost", 1500, {{1100, 1}}, {}, "476 (32%)", {1024, 476}},
        DamageCase{"SecondBlockOfShortFileRecovers", 1500, {}, {{{1100, 1}, 1}}, "0 (0%)", {0, 0}},
        // Forward fails at once, backward reads [476, 1500), the head [0, 476) fails.
        DamageCase{"HeadFails", 1500, {{100, 1}}, {}, "476 (32%)", {0, 476}}),
    [](const auto& test_case) { return std::string(test_case.param.name); });

TEST_F(FilePassTest, BackwardPassReadsDownToTheMeetingPointThenTheGap) {
  MemoryFile source = Source(kNineBlocksAnd784);
  source.bad = {{2 * B + 10, 1}};
  Run(source);
  std::vector<std::int64_t> positions;
  for (const auto& read : source.reads) positions.push_back(read.position);
  const std::int64_t S = kNineBlocksAnd784;
  const std::vector<std::int64_t> expected = {0,         B,         2 * B,     S - B,     S - 2 * B,
                                              S - 3 * B, S - 4 * B, S - 5 * B, S - 6 * B, S - 7 * B, 2 * B};
  EXPECT_EQ(positions, expected);
  EXPECT_EQ(source.reads.back().count, 784);

  // From a file that can read ahead and tells where a read failed: one request
  // stands for the forward blocks, the failed one included (no second failed
  // request there), and from there on the blocks reach the source as asked.
  MemoryFile again = Source(kNineBlocksAnd784);
  again.bad = source.bad;
  again.ahead_unit = 1;
  copy = MemoryFile({}, "copy");
  Run(again);
  ASSERT_EQ(again.reads.size(), expected.size() - 2);
  EXPECT_EQ(again.reads[0].count, S);
  EXPECT_FALSE(again.reads[0].ok);
  for (std::size_t i = 1; i < again.reads.size(); ++i) {
    EXPECT_EQ(again.reads[i].position, expected[i + 2]);
    EXPECT_EQ(again.reads[i].count, source.reads[i + 2].count);
  }
  EXPECT_EQ(copy.Content(), WithZeros(again, 2 * B, 784));
}

struct SlowCase {
  const char* name;
  int mode;
  Clock::Duration delay;
  bool cut_off;
};

class SlowReadTest : public FilePassTest, public ::testing::WithParamInterface<SlowCase> {};

TEST_P(SlowReadTest, OnlyMaxSpeedCutsOffReadsOfMoreThanTenWholeSeconds) {
  const SlowCase& c = GetParam();
  options.mode = c.mode;
  MemoryFile source = Source(kNineBlocksAnd784);
  source.slow = {{{2 * B + 800, 1}, c.delay}};
  Run(source);
  if (c.cut_off) {
    // The slow block's data was delivered but not kept.
    EXPECT_EQ(Damaged(), "1808 (18%)");
    EXPECT_EQ(copy.Content(), WithZeros(source, 2 * B, B + 784));
  } else {
    EXPECT_EQ(Damaged(), "0 (0%)");
    EXPECT_EQ(copy.Content(), source.Content());
  }
}

INSTANTIATE_TEST_SUITE_P(FilePass, SlowReadTest,
                         ::testing::Values(SlowCase{"MaxSpeedTwelveSeconds", kModeMaxSpeed, seconds(12), true},
                                           SlowCase{"MaxDataTwelveSeconds", kModeMaxData, seconds(12), false},
                                           SlowCase{"MaxSpeedJustUnderEleven", kModeMaxSpeed,
                                                    seconds(10) + milliseconds(999), false},
                                           SlowCase{"MaxSpeedElevenSeconds", kModeMaxSpeed, seconds(11), true},
                                           // Whole hours count too.
                                           SlowCase{"MaxSpeedOneHourFiveSeconds", kModeMaxSpeed,
                                                    hours(1) + seconds(5), true},
                                           SlowCase{"UnknownModeBehavesAsMaxData", 7, seconds(12), false}),
                         [](const auto& test_case) { return std::string(test_case.param.name); });

TEST_F(FilePassTest, ModeChangedDuringThePassAppliesToTheNextBlock) {
  MemoryFile source = Source(kNineBlocksAnd784);
  source.slow = {{{2 * B + 800, 1}, seconds(12)}};
  // Pre-fill pumps once; the first forward block is pump call 2.
  pump.on_pump = [this](int call) {
    if (call == 2) options.mode = kModeMaxSpeed;
  };
  Run(source);
  EXPECT_EQ(Damaged(), "1808 (18%)");
}

// The bytes between where the two directions meet are read once more, but in
// Max Speed never with a wait the cut-off has already rejected or would reject.
TEST_F(FilePassTest, MaxSpeedNeverWaitsTwiceForTheBytesBetweenTheDirections) {
  options.mode = kModeMaxSpeed;
  // Slow only: the forward block waited 11 s and was rejected.
  MemoryFile slow = Source(kNineBlocksAnd784);
  slow.slow = {{{2 * B + 10, 1}, seconds(11)}};
  Clock::TimePoint start = clock.Now();
  Run(slow);
  EXPECT_EQ(clock.Now() - start, seconds(11));
  EXPECT_EQ(Damaged(), "784 (8%)");
  EXPECT_EQ(copy.Content(), WithZeros(slow, 2 * B, 784));

  // Failed once, then slow: the read between the directions obeys the cut-off too.
  MemoryFile flaky = Source(kNineBlocksAnd784);
  flaky.flaky = {{{2 * B + 10, 1}, 1}};
  flaky.slow = {{{2 * B + 20, 1}, seconds(11)}};
  copy = MemoryFile({}, "copy");
  table.SetCell(3, 1, "0 (0%)");
  Run(flaky);
  EXPECT_EQ(Damaged(), "784 (8%)");
  EXPECT_EQ(copy.Content(), WithZeros(flaky, 2 * B, 784));
}

TEST_F(FilePassTest, ASourceThatGrowsIsReadOnlyUpToItsSizeAtTheStart) {
  MemoryFile source = Source(5000);
  EXPECT_EQ(RecoverFile(source, copy, 1, 3000, clock.Now(), context), PassResult::kDone);
  auto expected = source.Content();
  expected.resize(3000);
  EXPECT_EQ(copy.Content(), expected);
  EXPECT_EQ(Completed(), "3000 (100%)");
}

TEST_F(FilePassTest, ASourceEndingBeforeItsStatedSizeReportsTheMissingBytes) {
  MemoryFile source = Source(3000);
  EXPECT_EQ(RecoverFile(source, copy, 1, 8000, clock.Now(), context), PassResult::kDone);
  auto expected = source.Content();
  expected.resize(8000, 0);
  EXPECT_EQ(copy.Content(), expected);
  EXPECT_EQ(Damaged(), "5000 (62%)");  // 62.5 rounds to even
}

TEST_F(FilePassTest, StatusShowsMessageAndElapsedRunTime) {
  MemoryFile source = Source(kNineBlocksAnd784);
  source.slow = {{{B, 1}, seconds(65)}};
  Run(source);
  EXPECT_EQ(progress.status, "Elapsed: 0:01:05");
}

TEST_F(FilePassTest, StopDuringBackwardPassClosesFilesAndKeepsLastFigures) {
  MemoryFile source = Source(kNineBlocksAnd784);
  source.bad = {{2 * B + 800, 1}};
  // The pre-fill, 2 forward blocks, then the first backward block.
  pump.on_pump = [this](int call) {
    if (call == 4) idle = true;
  };
  EXPECT_EQ(Run(source), PassResult::kStopped);
  EXPECT_TRUE(source.closed);
  EXPECT_TRUE(copy.closed);
  // Bytes done: readEnd 2048 + the block [S-B, S) = 3072 of 10000, 30.72% shown as 31%.
  EXPECT_EQ(Completed(), "3072 (31%)");
  EXPECT_EQ(Damaged(), "0 (0%)");
}

TEST_F(FilePassTest, StopBeforeTheFirstBlockLeavesACopyOfZerosOfTheSourceSize) {
  MemoryFile source = Source(kNineBlocksAnd784);
  idle = true;
  EXPECT_EQ(Run(source), PassResult::kStopped);
  EXPECT_TRUE(source.reads.empty());
  EXPECT_EQ(copy.Content(), std::vector<unsigned char>(static_cast<std::size_t>(kNineBlocksAnd784), 0));
  EXPECT_EQ(Completed(), "0 (0%)");
}

TEST_F(FilePassTest, FullDiskIsAnErrorNotASilentlyShortCopy) {
  MemoryFile source = Source(kNineBlocksAnd784);
  copy.capacity = 4000;
  EXPECT_THROW(Run(source), FileSystemError);
  EXPECT_NE(Completed(), std::to_string(kNineBlocksAnd784) + " (100%)");
}

// A file too large to hold: its bytes are computed from their position, and
// the copy only records what was written where.
class PatternFile final : public File {
 public:
  explicit PatternFile(std::int64_t size) : size_(size) {}
  static unsigned char At(std::int64_t position) { return static_cast<unsigned char>(position % 253 + 1); }

  std::vector<ByteRange> bad;
  std::vector<std::pair<std::int64_t, std::int64_t>> data_writes;  // non-zero writes: position, count
  bool mismatch = false;

  const std::string& Path() const override { return path_; }
  void Seek(std::int64_t position) override { position_ = position; }
  ReadResult Read(void* buffer, std::size_t count) override {
    const std::int64_t n = std::max<std::int64_t>(0, std::min<std::int64_t>(static_cast<std::int64_t>(count), size_ - position_));
    for (const ByteRange& range : bad) {
      if (range.Overlaps(position_, n)) return {false, 0, EIO};
    }
    auto* bytes = static_cast<unsigned char*>(buffer);
    for (std::int64_t i = 0; i < n; ++i) bytes[i] = At(position_ + i);
    position_ += n;
    return {true, static_cast<std::size_t>(n), 0};
  }
  void Write(const void* buffer, std::size_t count) override {
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    if (count > 0 && bytes[0] != 0) {
      data_writes.emplace_back(position_, static_cast<std::int64_t>(count));
      for (std::size_t i = 0; i < count; ++i) mismatch = mismatch || bytes[i] != At(position_ + static_cast<std::int64_t>(i));
    }
    position_ += static_cast<std::int64_t>(count);
  }
  std::int64_t Size() override { return size_; }
  void Truncate() override { truncated_at = position_; }
  void Close() override {}

  std::int64_t truncated_at = -1;

 private:
  std::string path_ = "pattern";
  std::int64_t size_;
  std::int64_t position_ = 0;
};

TEST_F(FilePassTest, FilesBeyondFourGibibytesKeepSixtyFourBitPositionsAndFigures) {
  constexpr std::int64_t S = 5LL * 1024 * 1024 * 1024 + 3;
  constexpr std::int64_t LB = kLargeBlock;
  PatternFile source(S);
  // Forward fails in its second block; backward fails in its third.
  source.bad = {{LB + 5, 1}, {S - 2 * LB - 10, 1}};
  PatternFile target(0);
  ASSERT_EQ(RecoverFile(source, target, 1, S, clock.Now(), context), PassResult::kDone);
  EXPECT_EQ(target.truncated_at, S);
  EXPECT_FALSE(target.mismatch);
  const std::vector<std::pair<std::int64_t, std::int64_t>> expected = {{0, LB}, {S - LB, LB}, {S - 2 * LB, LB}};
  EXPECT_EQ(target.data_writes, expected);
  EXPECT_EQ(Damaged(), "5368410596 (100%)");  // from LB to S - 2 LB
  EXPECT_EQ(Completed(), "5368709123 (100%)");
}

}  // namespace
}  // namespace salvorine::test
