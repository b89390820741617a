// The rescue map against a byte-by-byte model, under random updates.
#include "recovery/rescue_map.h"

#include "recovery/damage_cells.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace salvorine::test {
namespace {

TEST(RescueMapTest, MatchesAByteModelAndStaysMergedUnderRandomUpdates) {
  // Long enough, and updated finely enough, that the map outgrows any initial capacity.
  constexpr std::int64_t kStart = 1000, kEnd = 9000;
  std::mt19937 random(7);
  std::size_t most_segments = 0;
  for (int round = 0; round < 10; ++round) {
    RescueMap map(kStart, kEnd);
    std::vector<RescueState> model(kEnd - kStart, RescueState::kUntried);
    for (int step = 0; step < 3000; ++step) {
      const std::int64_t a = std::uniform_int_distribution<std::int64_t>(kStart - 20, kEnd + 20)(random);
      const std::int64_t b = a + std::uniform_int_distribution<std::int64_t>(0, step % 10 == 0 ? 200 : 4)(random);
      const auto state = static_cast<RescueState>(std::uniform_int_distribution<int>(0, 2)(random));
      const auto from = static_cast<RescueState>(std::uniform_int_distribution<int>(0, 2)(random));
      // Every third update only changes the bytes that are in state `from`.
      const bool replace = step % 3 == 0;
      bool any_from = false;
      for (std::int64_t at = std::max(a, kStart); at < std::min(b, kEnd); ++at) {
        any_from = any_from || model[static_cast<std::size_t>(at - kStart)] == from;
      }
      ASSERT_EQ(map.Any(a, b, from), any_from) << "step " << step;
      if (replace) {
        map.Replace(a, b, from, state);
      } else {
        map.Set(a, b, state);
      }
      for (std::int64_t at = std::max(a, kStart); at < std::min(b, kEnd); ++at) {
        auto& byte = model[static_cast<std::size_t>(at - kStart)];
        if (!replace || byte == from) byte = state;
      }
      if (step % 50 != 49) continue;

      for (const RescueState counted : {RescueState::kUntried, RescueState::kBad, RescueState::kDone}) {
        ASSERT_EQ(map.Total(counted), std::count(model.begin(), model.end(), counted)) << "step " << step;
      }

      most_segments = std::max(most_segments, map.Segments().size());
      std::int64_t covered = kStart;
      const auto& segments = map.Segments();
      for (std::size_t i = 0; i < segments.size(); ++i) {
        ASSERT_EQ(segments[i].start, covered);
        ASSERT_LT(segments[i].start, segments[i].end);
        if (i > 0) {
          ASSERT_NE(segments[i - 1].state, segments[i].state) << "neighbours not merged";
        }
        for (std::int64_t at = segments[i].start; at < segments[i].end; ++at) {
          ASSERT_EQ(segments[i].state, model[static_cast<std::size_t>(at - kStart)]) << "byte " << at;
        }
        covered = segments[i].end;
      }
      ASSERT_EQ(covered, kEnd);
    }
  }
  EXPECT_GT(most_segments, 500u);
}

// Guards cells that lose or double-count bytes at their borders, leave bytes
// of a file outside every cell, or show a damaged cell as finished.
TEST(DamageCellsTest, EachCellCountsItsShareOfBytesAsAByteModelDoes) {
  constexpr std::int64_t kSize = 997;  // prime: no cell count divides it
  std::mt19937 random(11);
  RescueMap map(0, kSize);
  std::vector<RescueState> model(kSize, RescueState::kUntried);
  for (int step = 0; step < 300; ++step) {
    const std::int64_t a = std::uniform_int_distribution<std::int64_t>(0, kSize - 1)(random);
    const std::int64_t b = std::min(kSize, a + std::uniform_int_distribution<std::int64_t>(1, 12)(random));
    const auto state = static_cast<RescueState>(std::uniform_int_distribution<int>(0, 2)(random));
    map.Set(a, b, state);
    std::fill(model.begin() + a, model.begin() + b, state);
  }
  for (const int count : {1, 3, 64, 500, 997, 5000}) {
    const std::vector<DamageCell> cells = DamageCells(map.Segments(), kSize, count, 400, 401);
    ASSERT_EQ(cells.size(), static_cast<std::size_t>(std::min(count, 997))) << count;
    std::int64_t covered = 0;
    for (const DamageCell& cell : cells) {
      ASSERT_EQ(cell.start, covered) << count;
      ASSERT_LT(cell.start, cell.end) << count;
      for (const RescueState state : {RescueState::kUntried, RescueState::kBad, RescueState::kDone}) {
        ASSERT_EQ(cell.BytesIn(state), std::count(model.begin() + cell.start, model.begin() + cell.end, state))
            << count << " cell at " << cell.start;
      }
      const bool reading = cell.start <= 400 && 400 < cell.end;
      ASSERT_EQ(cell.Shade() == CellShade::kReading, reading) << count << " cell at " << cell.start;
      if (!reading && cell.BytesIn(RescueState::kBad) > 0) {
        ASSERT_EQ(cell.Shade(), CellShade::kBad);
      }
      covered = cell.end;
    }
    ASSERT_EQ(covered, kSize) << count;
  }
  EXPECT_TRUE(DamageCells(map.Segments(), 0, 10).empty());
}

// A 50 GB file with 100,000 map entries: the cells still hold every byte, and
// a single failed byte deep inside still marks its cell bad.
TEST(DamageCellsTest, AHugeFileWithManyEntriesKeepsEveryByteAndEveryFailedByte) {
  constexpr std::int64_t kSize = 50'000'000'000;
  RescueMap map(0, kSize);
  for (std::int64_t i = 0; i < 50'000; ++i) map.Set(i * 1'000'000, i * 1'000'000 + 1, RescueState::kBad);
  map.Replace(0, kSize, RescueState::kUntried, RescueState::kDone);
  ASSERT_EQ(map.Segments().size(), 100'000u);
  const std::vector<DamageCell> cells = DamageCells(map.Segments(), kSize, 4096);
  ASSERT_EQ(cells.size(), 4096u);
  std::int64_t bad = 0, done = 0;
  for (const DamageCell& cell : cells) {
    bad += cell.BytesIn(RescueState::kBad);
    done += cell.BytesIn(RescueState::kDone);
    ASSERT_EQ(cell.Shade(), CellShade::kBad) << cell.start;  // every cell spans at least one failed byte
  }
  EXPECT_EQ(bad, 50'000);
  EXPECT_EQ(done, kSize - 50'000);
  // Past the last failed byte the cells are finished.
  const std::vector<DamageCell> fine = DamageCells(map.Segments(), kSize, 100'000);
  EXPECT_EQ(fine.back().Shade(), CellShade::kFinished);
}

}  // namespace
}  // namespace salvorine::test
