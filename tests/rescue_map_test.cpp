// The rescue map against a byte-by-byte model, under random updates.
#include "recovery/rescue_map.h"

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

}  // namespace
}  // namespace salvorine::test
