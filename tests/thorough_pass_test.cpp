// The Thorough mode's rescue of what the Max Data pass leaves unread.
#include "recovery/thorough_pass.h"

#include <gtest/gtest.h>

#include <cstring>

#include "i18n/rescue_texts.h"
#include "recovery/figures.h"
#include "recovery/file_rescue.h"
#include "recovery/rescue_map.h"
#include "recovery/memory_job_table.h"
#include "tests/support/fakes.h"
#include "tests/support/memory_file.h"
#include "tests/support/pass_harness.h"

namespace salvorine::test {
namespace {

constexpr std::int64_t kSector = 2048;
constexpr std::int64_t kSize = 1200000;  // large blocks of 99509 bytes

// Thorough, rescuing in sectors of a size the test chooses instead of asking a medium.
struct SectorOptions final : RunOptions {
  std::int64_t sector = kSector;
  int Mode() const override { return kModeThorough; }
  bool TrayOption() const override { return false; }
  std::int64_t SectorSize() const override { return sector; }
  int retries = 0;
  int Retries() const override { return retries; }
  bool continue_copies = true;
  bool ContinueEarlierCopies() const override { return continue_copies; }
};

class ThoroughPassTest : public ::testing::Test, protected PassHarness {
 protected:
  PassResult Run() { return RecoverFileThoroughly(source, copy, 1, source.Size(), clock.Now(), thorough); }
  PassResult Run(MemoryFile& file) { return RecoverFileThoroughly(file, copy, 1, file.Size(), clock.Now(), thorough); }

  // The source with every byte of the given sectors zeroed.
  std::vector<unsigned char> WithoutSectors(const std::vector<std::int64_t>& sectors) const {
    auto bytes = source.Content();
    for (const std::int64_t sector : sectors) {
      const auto start = static_cast<std::size_t>(sector * kSector);
      std::memset(bytes.data() + start, 0, std::min<std::size_t>(kSector, bytes.size() - start));
    }
    return bytes;
  }

  // How many reads the first pass makes of a source with `file`'s damage: the sector rescue's come after them.
  std::size_t FirstPassReads(const MemoryFile& file) {
    MemoryFile twin(file.Content());
    twin.bad = file.bad;
    PassHarness other;
    PassContext first_pass{other.idle, sector_options, other.messages, other.progress, other.table, other.pump,
                           other.clock, other.buffers};
    RecoverFileThoroughly(twin, other.copy, 1, twin.Size(), other.clock.Now(), first_pass, nullptr,
                          RescueReach::kFirstPass);
    return twin.reads.size();
  }

  int FailedReads() const {
    return static_cast<int>(std::count_if(source.reads.begin(), source.reads.end(), [](auto& read) { return !read.ok; }));
  }

  SectorOptions sector_options;
  PassContext thorough{idle, sector_options, messages, progress, table, pump, clock, buffers};
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
  // Each bad sector fails once at most, besides the first pass's two failed blocks.
  EXPECT_LE(FailedReads(), 10 + 2);
}

TEST_F(ThoroughPassTest, AScratchAcrossTheWholeFileLeavesEveryReadableSector) {
  // Every 84 KiB, twelve bad sectors alternating with good ones: most blocks fail.
  MemoryFile scratched(Numbered(4608 * 1024), "scratched");
  std::int64_t bad_bytes = 0;
  auto expected = scratched.Content();
  for (std::int64_t at = 20 * 1024; at + 46 * 1024 < scratched.Size(); at += 84 * 1024) {
    for (int k = 0; k < 12; ++k) {
      scratched.bad.push_back({at + k * 4096, kSector});
      std::memset(expected.data() + at + k * 4096, 0, kSector);
      bad_bytes += kSector;
    }
  }
  EXPECT_EQ(Run(scratched), PassResult::kDone);
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
  // Every sector is tried once, and only once, besides the Max Data pass's reads.
  EXPECT_LE(FailedReads(), static_cast<int>((kSize + kSector - 1) / kSector) + 2);
}

TEST_F(ThoroughPassTest, AHealthyFileIsReadOnceAsInMaxData) {
  EXPECT_EQ(Run(), PassResult::kDone);
  EXPECT_EQ(copy.Content(), source.Content());
  EXPECT_EQ(source.reads.size(), static_cast<std::size_t>(kSize / kLargeBlock + 2));
}

TEST_F(ThoroughPassTest, ReadsThatSucceedLaterAreRescued) {
  // A spot that fails once, for the first pass's block: the sector read that narrows the block finds it readable.
  source.flaky = {{{600000, 10}, 1}};
  EXPECT_EQ(Run(), PassResult::kDone);
  EXPECT_EQ(copy.Content(), source.Content());
  EXPECT_EQ(table.Cell(3, 1), "0 (0%)");
}

TEST_F(ThoroughPassTest, RefusedDirectReadsFallBackToOrdinaryOnesAndSaySoOnce) {
  for (const auto refusal : {MemoryFile::Direct::kRefusedAtOpen, MemoryFile::Direct::kRefusedAtRead}) {
    MemoryFile refusing(Numbered(kSize), "refusing");
    refusing.direct = refusal;
    refusing.bad = {{500000, 1}, {500000 + 3 * kSector, 1}};
    progress.notices.clear();
    EXPECT_EQ(Run(refusing), PassResult::kDone);
    auto expected = refusing.Content();
    for (const std::int64_t sector : {500000 / kSector, 500000 / kSector + 3}) {
      std::memset(expected.data() + sector * kSector, 0, kSector);
    }
    EXPECT_EQ(copy.Content(), expected);
    ASSERT_EQ(progress.notices.size(), 1u);
    EXPECT_EQ(progress.notices.front(), messages.Text(kDirectReadsRefusedText));
    EXPECT_TRUE(progress.status.ends_with(progress.notices.front())) << progress.status;
  }
}

TEST_F(ThoroughPassTest, RetriesRereadOnlyTheSectorsStillBadAndStopOnceTheyRead) {
  // One sector reads on its fourth try, the other never; the Max Data pass takes one failure of the first.
  source.flaky = {{{600000, 1}, 3}};
  source.bad = {{800000, 1}};
  for (const int retries : {0, 1, 2, 5}) {
    MemoryFile flaky_source(source.Content(), "flaky");
    flaky_source.flaky = source.flaky;
    flaky_source.bad = source.bad;
    sector_options.retries = retries;
    RescueMap map(0, kSize);
    EXPECT_EQ(RecoverFileThoroughly(flaky_source, copy, 1, kSize, clock.Now(), thorough, &map), PassResult::kDone);
    const bool flaky_read = retries >= 2;
    EXPECT_EQ(map.Total(RescueState::kBad), flaky_read ? kSector : 2 * kSector) << retries << " retries";
    EXPECT_EQ(copy.Content()[600000], flaky_read ? source.Content()[600000] : 0) << retries << " retries";
    const auto tries = [&](std::int64_t at) {
      return std::count_if(flaky_source.reads.begin(), flaky_source.reads.end(), [&](const auto& read) {
        return read.count == kSector && read.position == at / kSector * kSector;
      });
    };
    EXPECT_EQ(tries(800000), 1 + retries) << retries << " retries";
    EXPECT_EQ(tries(600000), 1 + std::min(retries, 2)) << retries << " retries";
    // Each stage (each round of retries) is said as it begins, at 0 sectors
    // done, and as it goes, never past its total nor going back.
    std::vector<RescueStage> begun;
    for (std::size_t i = 0; i < progress.stages.size(); ++i) {
      const StageProgress& stage = progress.stages[i];
      EXPECT_LE(stage.done, stage.total) << retries << " retries";
      if (stage.done == 0) {
        if (begun.empty() || begun.back() != stage.stage) begun.push_back(stage.stage);
      } else {
        ASSERT_GT(i, 0u);
        EXPECT_EQ(progress.stages[i - 1].stage, stage.stage) << retries << " retries";
        EXPECT_GE(stage.done, progress.stages[i - 1].done) << retries << " retries";
      }
    }
    const std::vector<RescueStage> expected_stages =
        retries == 0 ? std::vector{RescueStage::kBetweenBadAreas, RescueStage::kSectorsLeft}
                     : std::vector{RescueStage::kBetweenBadAreas, RescueStage::kSectorsLeft, RescueStage::kRetrying};
    EXPECT_EQ(begun, expected_stages) << retries << " retries";
    // The last round of retries went over every sector still bad.
    if (retries > 0) {
      EXPECT_EQ(progress.stages.back().done, progress.stages.back().total) << retries << " retries";
      EXPECT_GT(progress.stages.back().total, 0) << retries << " retries";
    }
    progress.stages.clear();
  }
}

// Where a failed read takes far longer than a good one (a drive retrying for
// seconds), reads near damage stay single sectors: a larger read there would
// meet the next bad sector and cost a failed read of its own.
TEST_F(ThoroughPassTest, CostlyFailuresKeepReadsNearDamageToOneSector) {
  for (std::int64_t at = 300000; at < 900000; at += 100 * 1024) {
    source.bad.push_back({at, 1});
    source.slow.push_back({{at, 1}, std::chrono::seconds(5)});
  }
  source.slow.push_back({{0, kSize}, std::chrono::milliseconds(1)});
  source.on_slow = [this](auto delay) { clock.Advance(delay); };
  const std::size_t first_pass_reads = FirstPassReads(source);
  EXPECT_EQ(Run(), PassResult::kDone);
  ASSERT_GT(source.reads.size(), first_pass_reads);
  for (auto read = source.reads.begin() + static_cast<long>(first_pass_reads); read != source.reads.end(); ++read) {
    EXPECT_TRUE(read->ok || read->count == kSector) << "a failed read of " << read->count << " at " << read->position;
  }
}

// A Stop in each phase: the first pass narrowing its failed block, its backward pass, the probes, the scrape.
class ThoroughStopTest : public ThoroughPassTest, public ::testing::WithParamInterface<int> {};

TEST_P(ThoroughStopTest, StopClosesBothFilesAndLeavesExactFigures) {
  // Two bad sectors close together, then a solid area whose inside is probed.
  source.bad = {{300000, 1}, {300000 + 5 * kSector, 1}, {700000, 200000}};
  // The first pass fails at a block and at the sector it narrows it to, then
  // at a block from the end and at its sector; then the probes begin: the
  // phase of a read is told by the failed reads before it.
  const int failures_before_phase = GetParam();
  pump.on_pump = [&](int) {
    if (FailedReads() >= failures_before_phase) idle = true;
  };
  RescueMap map(0, kSize);
  EXPECT_EQ(RecoverFileThoroughly(source, copy, 1, kSize, clock.Now(), thorough, &map), PassResult::kStopped);
  EXPECT_TRUE(source.closed);
  EXPECT_TRUE(copy.closed);
  const auto& original = source.Content();
  const auto& written = copy.Content();
  ASSERT_EQ(written.size(), original.size());
  std::int64_t recovered = 0;  // the source holds no zero byte
  for (std::size_t i = 0; i < written.size(); ++i) {
    ASSERT_TRUE(written[i] == 0 || written[i] == original[i]) << "byte " << i;
    recovered += written[i] != 0;
  }
  EXPECT_NE(table.Cell(2, 1), "1200000 (100%)");
  EXPECT_TRUE(table.Cell(2, 1).starts_with(std::to_string(recovered) + " (")) << table.Cell(2, 1);
  if (failures_before_phase > 2) {
    EXPECT_EQ(table.Cell(3, 1), CountWithShare(kSize - recovered, kSize));
  }
  // What was found is kept, and the map tells which sectors a later run should still try.
  EXPECT_EQ(map.Total(RescueState::kDone), recovered);
  if (failures_before_phase > 2) {
    EXPECT_GT(map.Total(RescueState::kUntried), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Phases, ThoroughStopTest, ::testing::Values(1, 2, 5, 60), [](const auto& phase) {
  return std::string(phase.param == 1 ? "Narrowing" : phase.param == 2 ? "Backward" : phase.param == 5 ? "Probes" : "Scrape");
});

TEST_F(ThoroughPassTest, TheScrapeFindsASectorAloneBetweenTwoBadOnes) {
  MemoryFile small(Numbered(20000), "small");
  sector_options.sector = 512;
  small.bad = {{5000, 1}, {6100, 1}, {15000, 700}};
  RescueMap map(0, small.Size());
  EXPECT_EQ(RecoverFileThoroughly(small, copy, 1, small.Size(), clock.Now(), thorough, &map), PassResult::kDone);
  // [5120, 5632) lies alone between two failed sectors, closer than any probe spacing.
  auto expected = small.Content();
  for (const auto& [start, length] : {std::pair<int, int>{4608, 512}, {5632, 512}, {14848, 1024}}) {
    std::memset(expected.data() + start, 0, static_cast<std::size_t>(length));
  }
  EXPECT_EQ(copy.Content(), expected);
  EXPECT_EQ(table.Cell(3, 1), "2048 (10%)");
  EXPECT_EQ(map.Total(RescueState::kUntried), 0);
  EXPECT_EQ(map.Total(RescueState::kBad), 2048);
}

TEST_F(ThoroughPassTest, ARescuedRangeMarksNothingOutsideItInTheMap) {
  // A resumed copy: two unfinished ranges share the 512-byte sector [1024, 1536), which does not read.
  MemoryFile small(Numbered(20000), "small");
  sector_options.sector = 512;
  small.bad = {{1350, 1}};
  RescueMap map(0, small.Size());
  map.Set(0, small.Size(), RescueState::kDone);
  map.Set(1100, 1200, RescueState::kUntried);
  map.Set(1300, 1400, RescueState::kUntried);
  EXPECT_EQ(RescueUnread(small, copy, 1, small.Size(), {1100, 100}, 100, clock.Now(), thorough, &map),
            PassResult::kDone);
  // [1300, 1400) was never read: a later run must still try it.
  EXPECT_EQ(map.Total(RescueState::kBad), 100);
  EXPECT_EQ(map.Total(RescueState::kUntried), 100);
  EXPECT_FALSE(map.Any(1100, 1200, RescueState::kUntried));
}

// Started afresh over a copy whose map marks an area bad that now reads but
// for one sector: what the first pass leaves of it is untried again, for the
// sector rescue to read, not kept bad from the earlier run.
TEST_F(ThoroughPassTest, StartedAfreshWhatTheFirstPassLeavesIsTriedAgain) {
  sector_options.continue_copies = false;
  RescueMap map(0, kSize);
  map.Set(0, kSize, RescueState::kDone);
  map.Set(500000, 540000, RescueState::kBad);
  source.bad = {{520000, 1}};
  EXPECT_EQ(FileRescue({source, copy, map, 1, kSize}, thorough).Continue(RescueReach::kFirstPass), PassResult::kDone);
  EXPECT_EQ(map.Total(RescueState::kBad), 0);
  EXPECT_TRUE(map.Any(519000, 521000, RescueState::kUntried));
}

// Damage exact to the byte, rescued in 2048-byte sectors: only sectors that
// hold a bad byte may be lost, readable islands of four sectors inside bad
// areas are found, and every rescue read covers whole sectors of the grid.
struct Layout {
  const char* name;
  std::vector<ByteRange> bad;
  std::vector<ByteRange> islands;  // readable inside the bad ranges
  int more_failed_reads;           // failed reads allowed beyond one per bad sector
  std::int64_t size = kSize;       // under kLargeFileThreshold, the first pass reads 1 KiB blocks
  std::int64_t page = 0;           // > 0: read ahead through a page cache of this unit, direct after a failure
};

void PrintTo(const Layout& layout, std::ostream* out) { *out << layout.name; }

// Bad runs of 1 to 12 sectors from sector 100 on, one readable sector after each.
std::vector<ByteRange> ScatteredRuns() {
  std::vector<ByteRange> bad;
  std::int64_t sector = 100;
  for (const std::int64_t run : {1, 5, 7, 6, 6, 1, 2, 4, 2, 1, 3, 11, 6, 2, 3, 2, 2, 5, 5, 6, 3, 4, 11, 5, 12, 9, 1, 12,
                                 9, 9, 7, 2, 11}) {
    bad.push_back({sector * kSector, run * kSector});
    sector += run + 1;
  }
  return bad;
}

class ThoroughGridTest : public ThoroughPassTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(ThoroughGridTest, LosesOnlyBadSectorsAndReadsOnTheGrid) {
  const Layout& layout = GetParam();
  const std::int64_t size = layout.size;
  source.Seek(size);
  source.Truncate();
  // Bad ranges with their islands cut out, as they are on the medium.
  std::vector<bool> bad_byte(static_cast<std::size_t>(size), false);
  for (const ByteRange& range : layout.bad) std::fill_n(bad_byte.begin() + range.start, range.length, true);
  for (const ByteRange& island : layout.islands) std::fill_n(bad_byte.begin() + island.start, island.length, false);
  source.bad.clear();
  for (std::int64_t at = 0; at < size;) {
    if (!bad_byte[static_cast<std::size_t>(at)]) { ++at; continue; }
    std::int64_t end = at;
    while (end < size && bad_byte[static_cast<std::size_t>(end)]) ++end;
    source.bad.push_back({at, end - at});
    at = end;
  }
  source.ahead_unit = layout.page;
  source.direct_after_failure = layout.page > 0 ? kSector : 0;
  EXPECT_EQ(Run(), PassResult::kDone);
  // Every sector without a bad byte is whole; the first pass's own blocks
  // may have read the good bytes of a bad sector before its first failure.
  const auto& original = source.Content();
  const auto& written = copy.Content();
  ASSERT_EQ(written.size(), original.size());
  for (std::int64_t sector = 0; sector * kSector < size; ++sector) {
    const std::int64_t from = sector * kSector, to = std::min(from + kSector, size);
    const bool bad = std::any_of(bad_byte.begin() + from, bad_byte.begin() + to, [](bool b) { return b; });
    for (std::int64_t i = from; i < to; ++i) {
      const auto at = static_cast<std::size_t>(i);
      ASSERT_TRUE(written[at] == original[at] || (bad && written[at] == 0)) << "byte " << i;
    }
  }
  const std::int64_t lost_bytes = static_cast<std::int64_t>(std::count(copy.Content().begin(), copy.Content().end(), 0));
  EXPECT_EQ(table.Cell(3, 1), CountWithShare(lost_bytes, size));
  // From the first failed read on, every read is on the sector grid: a block
  // that fails is narrowed in sectors, and the blocks read after it keep to the grid.
  const auto first_failure = std::find_if(source.reads.begin(), source.reads.end(), [](auto& read) { return !read.ok; });
  for (auto i = static_cast<std::size_t>(first_failure - source.reads.begin()) + 1; i < source.reads.size(); ++i) {
    const auto& [position, count, ok, direct_sector] = source.reads[i];
    ASSERT_EQ(direct_sector, kSector) << "read " << i;
    ASSERT_EQ(position % kSector, 0) << "read " << i;
    ASSERT_TRUE(count % kSector == 0 || position + count == size) << "read " << i;
  }
  // Each bad sector fails once; beyond that, only the few larger reads that met damage.
  int bad_sectors = 0;
  for (std::int64_t from = 0; from < size; from += kSector) {
    bad_sectors += std::any_of(bad_byte.begin() + from, bad_byte.begin() + std::min(from + kSector, size),
                               [](bool b) { return b; });
  }
  EXPECT_LE(FailedReads(), bad_sectors + layout.more_failed_reads);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ThoroughGridTest,
    ::testing::Values(
        // Edges in the middle of sectors.
        Layout{"SolidArea", {{300001, 299000}}, {}, 2},
        // The Max Data pass stops inside the sector where the damage starts, after reading part of it.
        Layout{"InsideAReadSector", {{298600, 10000}}, {}, 2},
        // 64 sectors with 4 readable ones inside, twice.
        Layout{"Islands",
               {{400 * kSector, 64 * kSector}, {500 * kSector + 7, 64 * kSector}},
               {{400 * kSector + 41 * kSector, 4 * kSector}, {500 * kSector + 12 * kSector, 4 * kSector}},
               2 + 2},
        // Single readable sectors scattered through a bad area.
        Layout{"ScatteredSectors", ScatteredRuns(), {}, 2 + 4},
        // One readable sector inside long bad areas, off any probe lattice.
        Layout{"OneSectorIslands",
               {{200 * kSector, 100 * kSector}, {400 * kSector, 90 * kSector}},
               {{237 * kSector, kSector}, {471 * kSector, kSector}},
               2 + 2},
        // The damage reaches the first and the last byte of the file.
        Layout{"BothEnds", {{0, 10000}, {kSize - 5000, 5000}}, {}, 2 + 2},
        // One bad sector costs its failed block and itself, never a second
        // block read from the other side: first, last (partial) and inside.
        Layout{"OnlyTheFirstSector", {{0, kSector}}, {}, 1},
        Layout{"OnlyTheLastSector", {{kSize - 1, 1}}, {}, 1},
        Layout{"OnlyOneSectorInside", {{600000, 1}}, {}, 1},
        // The backward pass reads the last sector alone first: damage at both ends costs one failed block.
        Layout{"OnlyTheFirstAndLastSectors", {{0, kSector}, {kSize - 1, 1}}, {}, 1},
        // A small file's backward blocks are single sectors: one that fails is not read again.
        Layout{"SmallFileTwoSectors", {{40000, 1}, {250000, 1}}, {}, 1, 300000},
        // A failed read ahead blames a page whose first sector reads: that sector is read, not given up.
        Layout{"PageFailedAhead", {{41 * kSector, kSector}, {120 * kSector, kSector}}, {}, 2, 300000, 4096}),
    [](const auto& layout) { return std::string(layout.param.name); });

}  // namespace
}  // namespace salvorine::test
