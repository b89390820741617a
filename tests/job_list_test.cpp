// Collecting the files of a selection, laying out the job table, and where copies are saved.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/file_system.h"
#include "recovery/damage_report.h"
#include "recovery/destination_path.h"
#include "recovery/figures.h"
#include "recovery/memory_job_table.h"
#include "recovery/source_list.h"
#include "recovery/top_level_handler.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_folder.h"

namespace salvorine::test {
namespace {

TEST(CollectSourcesTest, WalksDepthFirstInNameOrderWithoutFollowingFolderLinks) {
  TempFolder temp;
  const std::string a = temp / "A";
  WriteFile(a + "/x.txt", "x");
  WriteFile(a + "/B/y.txt", "y");
  WriteFile(a + "/z.txt", "z");
  WriteFile(a + "/.hidden", "h");
  ASSERT_EQ(::symlink("..", (a + "/B/loop").c_str()), 0);
  ASSERT_EQ(::mkfifo((a + "/fifo").c_str(), 0600), 0);

  std::vector<std::string> sources;
  std::vector<LeftOut> left_out;
  CollectSources(a + "/", sources, left_out);
  const std::vector<std::string> expected = {a + "/.hidden", a + "/B/y.txt", a + "/x.txt", a + "/z.txt"};
  EXPECT_EQ(sources, expected);
  // What is not collected is named, never dropped silently.
  ASSERT_EQ(left_out.size(), 2u);
  EXPECT_EQ(left_out[0].path, a + "/B/loop");
  EXPECT_EQ(left_out[0].kind, EntryKind::kFolderLink);
  EXPECT_EQ(left_out[1].path, a + "/fifo");
  EXPECT_EQ(left_out[1].kind, EntryKind::kSpecial);
}

TEST(CollectSourcesTest, AFileSelectionIsOneRowAndNothingSelectedIsNone) {
  TempFolder temp;
  WriteFile(temp / "one.bin", "1");
  std::vector<std::string> sources;
  std::vector<LeftOut> left_out;
  CollectSources(temp / "one.bin", sources, left_out);
  EXPECT_EQ(sources, std::vector<std::string>{temp / "one.bin"});
  sources.clear();
  CollectSources("", sources, left_out);
  EXPECT_TRUE(sources.empty());
  EXPECT_TRUE(left_out.empty());
  CollectSources(temp / "missing", sources, left_out);
  EXPECT_TRUE(sources.empty());
  ASSERT_EQ(left_out.size(), 1u);
  EXPECT_EQ(left_out[0].kind, EntryKind::kFolder);
  EXPECT_EQ(left_out[0].error, ENOENT);
}

TEST(BuildJobTableTest, DropsAndAnnouncesUnopenableFilesThenFillsRows) {
  TempFolder temp;
  WriteFile(temp / "a.bin", std::string(1234, 'a'));
  WriteFile(temp / "\xff-b.bin", "b");
  std::vector<std::string> sources = {temp / "gone1", temp / "gone2", temp / "a.bin", temp / "\xff-b.bin"};
  MemoryJobTable table;
  ScriptedDialogs dialogs;
  BuildJobTable(sources, table, dialogs);

  // Gone, not refused: each says why in its own words.
  const std::vector<std::string> announced = {
      temp / "gone1\rCannot open " + temp / "gone1: No such file or directory",
      temp / "gone2\rCannot open " + temp / "gone2: No such file or directory"};
  EXPECT_EQ(dialogs.errors, announced);
  ASSERT_EQ(table.RowCount(), 3);
  EXPECT_EQ(table.FixedRows(), 1);
  EXPECT_EQ(table.Cell(0, 1), temp / "a.bin");
  EXPECT_EQ(table.Cell(1, 1), "1234");
  EXPECT_EQ(table.Cell(2, 1), "0 (0%)");
  EXPECT_EQ(table.Cell(3, 1), "0 (0%)");
  EXPECT_EQ(table.Cell(0, 2), temp / "\xff-b.bin");
  // A cell changed, longer or shorter, leaves its neighbours as they were.
  table.SetCell(2, 1, "1234 (100%)");
  table.SetCell(0, 2, "b");
  EXPECT_EQ(table.Cell(1, 1), "1234");
  EXPECT_EQ(table.Cell(2, 1), "1234 (100%)");
  EXPECT_EQ(table.Cell(3, 1), "0 (0%)");
  EXPECT_EQ(table.Cell(0, 2), "b");
  EXPECT_EQ(table.Cell(1, 2), "1");
  EXPECT_EQ(table.Cell(4, 1), "");
}

// The report of a save folder: each current row takes the place of the
// earlier line it describes anew (same copy, or same path for a line naming
// none), the first such row only; the other rows follow in their order.
TEST(DamageReportTest, MergedReportPutsEachRowWhereTheLineItDescribesAnewStood) {
  const auto line = [](const std::string& path, const std::string& copy, const std::string& time) {
    ReportRow row;
    row.path = path;
    row.copy_path = copy;
    row.time = time;
    return row;
  };
  const std::vector<ReportRow> earlier = {line("/s/a", "/o/a", "old"), line("/s/b", "", "old"),
                                          line("/s/c", "/o/c", "old"), line("/s/a", "/o/a", "old again")};
  const std::vector<ReportRow> current = {line("/s/b", "/o/b", "new"), line("/card/a", "/o/a", "new"),
                                          line("/s/x", "/o/x", "new"), line("/s/a", "/o/a", "new too")};
  std::vector<std::string> merged;
  for (const ReportRow& row : MergedReport(earlier, current)) merged.push_back(row.path + " " + row.time);
  EXPECT_EQ(merged, (std::vector<std::string>{"/card/a new", "/s/b new", "/s/c old", "/s/x new", "/s/a new too"}));
}

// A report read in pieces (as a file is read) gives the rows its whole text
// gives, wherever the pieces cut its lines, its last line without a line end too.
TEST(DamageReportTest, AReportReadInPiecesGivesTheRowsOfItsWholeText) {
  std::vector<ReportRow> rows(3);
  rows[0].path = "/s/a\tb";
  rows[0].figures.size = 12;
  rows[1].path = "/s/c";
  rows[1].copy_path = "/o/c";
  rows[2].path = "/s/last";
  std::string text = ReportText(rows);
  text.pop_back();
  const std::vector<ReportRow> whole = ParseReport(text);
  ASSERT_EQ(whole.size(), 3u);
  for (std::size_t piece = 1; piece <= 7; ++piece) {
    std::vector<std::string> read;
    ReportReader reader([&read](const ReportRow& row) { read.push_back(ReportLine(row)); });
    for (std::size_t at = 0; at < text.size(); at += piece) reader.Add(std::string_view(text).substr(at, piece));
    reader.End();
    std::vector<std::string> expected;
    for (const ReportRow& row : whole) expected.push_back(ReportLine(row));
    EXPECT_EQ(read, expected) << piece;
  }
}

TEST(BuildJobTableTest, AnEmptySelectionLeavesOnlyTheHeadingRowNotFixed) {
  std::vector<std::string> sources;
  MemoryJobTable table;
  ScriptedDialogs dialogs;
  BuildJobTable(sources, table, dialogs);
  EXPECT_EQ(table.RowCount(), 1);
  EXPECT_EQ(table.FixedRows(), 0);
}

struct MirrorCase {
  std::string root, source, expected;
};

TEST(MirroredPathTest, MirrorsThePlaceUnderTheSelection) {
  TempFolder temp;
  WriteFile(temp / "photos/b.jpg", "b");
  const std::vector<MirrorCase> cases = {
      {"/", "/docs/a.txt", "/out/docs/a.txt"},
      {"/media/cd/photos", "/media/cd/photos/2005/b.jpg", "/out/photos/2005/b.jpg"},
      {temp / "photos/b.jpg", temp / "photos/b.jpg", "/out/b.jpg"},
      // Nothing selected: the whole source path goes under the save folder.
      {"", "/media/cd/a.txt", "/out/media/cd/a.txt"},
  };
  for (const MirrorCase& c : cases) EXPECT_EQ(MirroredPath(c.source, c.root, "/out"), c.expected) << c.root;
  EXPECT_EQ(MirroredPath("/media/cd/a.txt", "/media/cd", "/out/"), "/out/cd/a.txt");
  EXPECT_EQ(MirroredPath("/media/cd/a.txt", "/media/cd/", "/out/"), "/out/cd/a.txt");
  EXPECT_EQ(MirroredPath("/media/cd/a.txt", "/media/cd", ""), "");
}

TEST(DestinationPathTest, CreatesEveryMissingFolderOnTheWay) {
  TempFolder temp;
  const std::string result = DestinationPath("/media/cd/photos/2005/b.jpg", "/media/cd/photos", temp / "out");
  EXPECT_EQ(result, temp / "out/photos/2005/b.jpg");
  EXPECT_TRUE(FolderExists(temp / "out/photos/2005"));
  EXPECT_FALSE(FileExists(result));
}

TEST(FiguresTest, PercentagesRoundHalvesToEvenAndBarsHoldWithinBounds) {
  EXPECT_EQ(Percent(1, 200), 0);    // 0.5
  EXPECT_EQ(Percent(3, 200), 2);    // 1.5
  EXPECT_EQ(Percent(5, 200), 2);    // 2.5
  EXPECT_EQ(Percent(1808, 9999), 18);
  EXPECT_EQ(Percent(2, 3), 67);
  EXPECT_EQ(Percent(5, 0), 0);
  EXPECT_EQ(Percent(INT64_MAX / 2, INT64_MAX), 50);
  EXPECT_EQ(HeldBarPosition(125), 100);
  EXPECT_EQ(HeldBarPosition(-4), 0);
  EXPECT_EQ(CountWithShare(96, 1024), "96 (9%)");
}

TEST(TopLevelHandlerTest, AddsAPeriodAfterLettersAndDigitsOnly) {
  EXPECT_EQ(TopLevelErrorText("Disk full"), "Disk full.");
  EXPECT_EQ(TopLevelErrorText("Error 5"), "Error 5.");
  EXPECT_EQ(TopLevelErrorText("Done."), "Done.");
  EXPECT_EQ(TopLevelErrorText("failed (5)"), "failed (5)");
  EXPECT_EQ(TopLevelErrorText(""), "");
}

}  // namespace
}  // namespace salvorine::test
