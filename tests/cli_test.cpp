// salvorine-cli end to end: real reads through the kernel from the damaged-media bench.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "damaged_media/pattern.h"
#include "support/damaged_mount.h"
#include "platform/file_system.h"
#include "recovery/map_file.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_folder.h"

namespace salvorine::test {
namespace {

const std::string kCli = SALVORINE_CLI_PATH;

// The pattern content of a bench file with [zero_start, zero_start + zero_length) zeroed.
std::string Expected(std::uint64_t seed, std::size_t size, std::size_t zero_start = 0, std::size_t zero_length = 0) {
  std::string bytes(size, '\0');
  damaged_media::FillPattern(seed, 0, reinterpret_cast<std::uint8_t*>(bytes.data()), size);
  std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(zero_start), zero_length, '\0');
  return bytes;
}

// Empty when equal; otherwise where the bytes first differ, kept short for binary content.
std::string Difference(const std::string& actual, const std::string& expected) {
  if (actual == expected) return "";
  std::size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  return "sizes " + std::to_string(actual.size()) + "/" + std::to_string(expected.size()) + ", first difference at " +
         std::to_string(at);
}

class CliTest : public ::testing::Test {
 protected:
  ProgramOutput Run(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {kCli};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return RunProgram(argv, {"TMPDIR=" + work.Path()});
  }

  TempFolder work;
};

// Blocks of 1024 for the three small files (9·1024 + 784 = 10000 bytes), 99509 for big.bin.
constexpr const char* kDisc = R"(
file disc/big.bin 3000000 4
bad disc/big.bin 1000000 1048576
slow disc/big.bin 2500000 10 300
file disc/docs/a.bin 10000 1
bad disc/docs/a.bin 2848 1
file disc/docs/b.bin 10000 2
bad disc/docs/b.bin 2058 1
file disc/docs/c.bin 10000 3
flaky disc/docs/c.bin 2058 1 1
file disc/empty.bin 0
file disc/\xff\xfename.bin 5000 5
)";

TEST_F(CliTest, RecoversADamagedFolderWithExactBytesAndFigures) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount disc(kDisc, CollectStats::kYes);
  const std::string source = disc.Path().string() + "/disc";
  const ProgramOutput result = Run({source, work / "out"});
  ASSERT_EQ(result.exit_code, 3) << result.err;  // completed, with damaged files

  const std::string expected_table =
      source + "/big.bin\t3000000\t3000000 (100%)\t1109329 (37%)\tdamaged\n" +
      source + "/docs/a.bin\t10000\t10000 (100%)\t1808 (18%)\tdamaged\n" +
      source + "/docs/b.bin\t10000\t10000 (100%)\t784 (8%)\tdamaged\n" +
      source + "/docs/c.bin\t10000\t10000 (100%)\t0 (0%)\tok\n" +
      source + "/empty.bin\t0\t0 (100%)\t0 (0%)\tok\n" +
      source + "/\xff\xfename.bin\t5000\t5000 (100%)\t0 (0%)\tok\n";
  EXPECT_EQ(result.out, expected_table);

  // Forward failed in the block at 995090; backward failed in the block ending at 2104419.
  EXPECT_EQ(Difference(ReadFile(work / "out/disc/big.bin"), Expected(4, 3000000, 995090, 1109329)), "");
  EXPECT_EQ(Difference(ReadFile(work / "out/disc/docs/a.bin"), Expected(1, 10000, 2048, 1808)), "");
  EXPECT_EQ(Difference(ReadFile(work / "out/disc/docs/b.bin"), Expected(2, 10000, 2048, 784)), "");
  EXPECT_EQ(Difference(ReadFile(work / "out/disc/docs/c.bin"), Expected(3, 10000)), "");
  EXPECT_EQ(ReadFile(work / "out/disc/empty.bin"), "");
  EXPECT_EQ(Difference(ReadFile(work / "out/disc/\xff\xfename.bin"), Expected(5, 5000)), "");

  // Each damaged area costs exactly the failed reads the pass needs: two per file, one for c.bin.
  EXPECT_EQ(disc.Stats().failed_reads, 7u);
}

TEST_F(CliTest, ThoroughModeRescuesTheReadableSectorsOfAScratch) {
  SALVORINE_REQUIRE_FUSE();
  // A 1.5 MB file with six unreadable 2 KiB sectors, each followed by a readable one.
  std::string description = "file disc/scratched.bin 1500000 7\n";
  for (int sector = 300; sector < 312; sector += 2) {
    description += "bad disc/scratched.bin " + std::to_string(sector * 2048) + " 2048\n";
  }
  DamagedMount disc(description, CollectStats::kYes);
  const std::string source = disc.Path().string() + "/disc";
  std::string expected = Expected(7, 1500000);
  for (int sector = 300; sector < 312; sector += 2) {
    std::fill_n(expected.begin() + sector * 2048, 2048, '\0');
  }
  // FUSE has no block device to ask, so the unit is 512 unless the disc's own 2048 is given.
  const ProgramOutput asked = Run({"--mode", "thorough", source, work / "asked"});
  ASSERT_EQ(asked.exit_code, 3) << asked.err;
  EXPECT_NE(asked.err.find("sector size: 512 bytes (no block device to ask)"), std::string::npos) << asked.err;
  EXPECT_EQ(Difference(ReadFile(work / "asked/disc/scratched.bin"), expected), "");
  const std::uint64_t failed_before = disc.StatsWhileMounted().failed_reads;

  const ProgramOutput result = Run({"--mode", "thorough", "--sector-size", "2048", source, work / "out"});
  ASSERT_EQ(result.exit_code, 3) << result.err;
  EXPECT_NE(result.err.find("sector size: 2048 bytes (--sector-size)"), std::string::npos) << result.err;
  EXPECT_EQ(result.out, source + "/scratched.bin\t1500000\t1500000 (100%)\t12288 (1%)\tdamaged\n");
  EXPECT_EQ(Difference(ReadFile(work / "out/disc/scratched.bin"), expected), "");
  // In the disc's own sectors each bad one fails once, besides the Max Data pass's two blocks.
  EXPECT_LE(disc.Stats().failed_reads - failed_before, 6u + 2u);
}

// A flaky sector reads on its fifth try: the first pass and the rescue pay
// three, so only the retries asked for on the command line bring it in.
TEST_F(CliTest, RetriesBringInASectorThatReadsOnALaterTry) {
  SALVORINE_REQUIRE_FUSE();
  const std::string description = "bad_sector 2048\nfile disc/flaky.bin 1500000 5\nflaky disc/flaky.bin 600064 2048 4\n";
  for (const auto& [retries, exit_code] : {std::pair<const char*, int>{"0", 3}, {"1", 3}, {"3", 0}}) {
    DamagedMount disc(description);
    const std::string out = work / ("out" + std::string(retries));
    const ProgramOutput result =
        Run({"--mode", "thorough", "--sector-size", "2048", "--retries", retries, disc.Path().string() + "/disc", out});
    EXPECT_EQ(result.exit_code, exit_code) << retries << " retries: " << result.err;
    EXPECT_EQ(ReadFile(out + "/disc/flaky.bin") == Expected(5, 1500000), exit_code == 0) << retries << " retries";
  }
}

TEST_F(CliTest, MessagesComeFromTheChosenLanguageFile) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount disc("file disc/a.bin 10 1\n");
  const ProgramOutput english = Run({disc.Path().string() + "/disc", work / "en"});
  EXPECT_NE(english.err.find("Recovery finished."), std::string::npos) << english.err;
  const ProgramOutput russian = Run({"--language", "ru", disc.Path().string() + "/disc", work / "ru"});
  EXPECT_NE(russian.err.find("Восстановление завершено."), std::string::npos) << russian.err;
}

TEST_F(CliTest, SigtermStopsTheRunAtTheNextBlockAndPrintsTheTable) {
  SALVORINE_REQUIRE_FUSE();
  // Every block of this file takes 200 ms to read.
  DamagedMount disc("file disc/slow.bin 500000 9\nslow disc/slow.bin 0 500000 200\nfile disc/z.bin 10 1\n");
  const std::string source = disc.Path().string() + "/disc";
  StartedProgram cli({kCli, source, work / "out"}, {"TMPDIR=" + work.Path()});
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  cli.Signal(SIGTERM);
  const ProgramOutput result = cli.Wait();
  EXPECT_EQ(result.exit_code, 1);
  const std::string first_row = source + "/slow.bin\t500000\t";
  ASSERT_TRUE(result.out.starts_with(first_row)) << result.out;
  EXPECT_EQ(result.out.find("(100%)"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("\tstopped\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find(source + "/z.bin\t10\t0 (0%)\t0 (0%)\tpending\n"), std::string::npos) << result.out;
  // Kept as far as it got, with its map.
  EXPECT_TRUE(FileExists(work / "out/disc/slow.bin"));
  EXPECT_TRUE(FileExists(work / "out/.salvorine/maps/disc/slow.bin.map"));
}

TEST_F(CliTest, TwoProgramsAtOnceKeepTheirCopiesApart) {
  SALVORINE_REQUIRE_FUSE();
  // The first program reads for about two seconds; the second runs meanwhile with the same TMPDIR.
  DamagedMount disc("file disc/a.bin 3000000 4\nslow disc/a.bin 0 3000000 100\n");
  WriteFile(work / "b/b.bin", std::string(3000000, 'b'));
  StartedProgram first({kCli, disc.Path().string() + "/disc", work / "first"}, {"TMPDIR=" + work.Path()});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const ProgramOutput second = Run({work / "b", work / "second"});
  const ProgramOutput first_result = first.Wait();
  EXPECT_EQ(second.exit_code, 0) << second.err;
  EXPECT_EQ(first_result.exit_code, 0) << first_result.err;
  EXPECT_EQ(Difference(ReadFile(work / "first/disc/a.bin"), Expected(4, 3000000)), "");
  EXPECT_EQ(ReadFile(work / "second/b/b.bin"), std::string(3000000, 'b'));
}

TEST_F(CliTest, WhatCannotBeCollectedIsNamedAndTheExitStatusSaysSo) {
  WriteFile(work / "src/a.txt", "a");
  ASSERT_EQ(::mkfifo((work / "src/fifo").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("missing", (work / "src/dangling").c_str()), 0);
  // Folders nested deeper than a path can name.
  const std::string deep_top = work / "src/deep";
  std::string deep = deep_top;
  ASSERT_EQ(::mkdir(deep.c_str(), 0700), 0);
  int folder = ::open(deep.c_str(), O_RDONLY | O_DIRECTORY);
  for (int level = 0; level < 20; ++level) {
    const std::string name(250, static_cast<char>('a' + level));
    ASSERT_EQ(::mkdirat(folder, name.c_str(), 0700), 0);
    const int inner = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY);
    ::close(folder);
    folder = inner;
  }
  ::close(folder);

  const ProgramOutput result = Run({work / "src", work / "out"});
  RunProgram({"/bin/rm", "-rf", deep_top});
  EXPECT_EQ(result.exit_code, 3) << result.err;
  EXPECT_EQ(result.out, work / "src/a.txt\t1\t1 (100%)\t0 (0%)\tok\n");
  EXPECT_NE(result.err.find(work / "src/fifo\n"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find(work / "src/dangling\n"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("File name too long"), std::string::npos) << result.err;
}

// As a user without permission (root would read everything): an unreadable
// folder and an unreadable file are named, and the run ends with status 3.
TEST_F(CliTest, WhatTheUserMayNotReadIsNamedNotSkipped) {
  WriteFile(work / "src/a.txt", "a");
  WriteFile(work / "src/locked/b.txt", "b");
  WriteFile(work / "src/secret.txt", "s");
  ASSERT_EQ(::chmod((work / "src/locked").c_str(), 0), 0);
  ASSERT_EQ(::chmod((work / "src/secret.txt").c_str(), 0), 0);
  ASSERT_EQ(::chmod(work.Path().c_str(), 0777), 0);
  std::vector<std::string> argv = {kCli, work / "src", work / "out"};
  if (::geteuid() == 0) argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
  const ProgramOutput result = RunProgram(argv, {"TMPDIR=" + work.Path()});
  ::chmod((work / "src/locked").c_str(), 0700);
  EXPECT_EQ(result.exit_code, 3) << result.err;
  EXPECT_EQ(result.out, work / "src/a.txt\t1\t1 (100%)\t0 (0%)\tok\n");
  EXPECT_NE(result.err.find(work / "src/locked\nCannot read this folder: Permission denied."), std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find(work / "src/secret.txt\nFile access denied."), std::string::npos) << result.err;
}

TEST_F(CliTest, EveryLineHasFiveFieldsWhateverTheFileNames) {
  for (const char* name : {"back\\slash", "cr\rname", "line\nbreak", "tab\there"}) WriteFile(work / "src/" + name, "1");
  const ProgramOutput result = Run({work / "src", work / "out"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  std::string expected;
  for (const char* name : {"back\\\\slash", "cr\\rname", "line\\nbreak", "tab\\there"}) {
    expected += work / "src/" + name + "\t1\t1 (100%)\t0 (0%)\tok\n";
  }
  EXPECT_EQ(result.out, expected);
}

TEST_F(CliTest, ATableThatCannotBeWrittenIsAnErrorAfterTheCleanUp) {
  WriteFile(work / "src/a.txt", "a");
  const std::vector<std::string> environment = {"TMPDIR=" + work.Path()};
  const ProgramOutput full =
      RunProgram({"/bin/sh", "-c", "exec \"$0\" \"$@\" >/dev/full", kCli, work / "src", work / "out"}, environment);
  EXPECT_EQ(full.exit_code, 1);
  EXPECT_NE(full.err.find("cannot write the table to stdout"), std::string::npos) << full.err;
  EXPECT_FALSE(FileExists(work / "TMP654/1.txt"));
  // The reader is gone well before the program writes.
  const ProgramOutput closed = RunProgram(
      {"/bin/sh", "-c", "{ sleep 0.5; \"$0\" \"$@\"; echo \"status $?\" >&2; } | true", kCli, work / "src", work / "out"},
      environment);
  EXPECT_NE(closed.err.find("status 1\n"), std::string::npos) << closed.err;
}

TEST_F(CliTest, ASecondSignalEndsTheProgramEvenInsideAStalledRead) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount disc("file disc/stalled.bin 500000 1\nslow disc/stalled.bin 200000 1000 6000\n");
  StartedProgram cli({kCli, disc.Path().string() + "/disc", work / "out"}, {"TMPDIR=" + work.Path()});
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  cli.Signal(SIGINT);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  cli.Signal(SIGINT);
  // Ended by the second signal, not by the first once the read returned.
  EXPECT_EQ(cli.Wait().exit_code, 128 + SIGINT);
}

TEST_F(CliTest, AFullSaveFolderLeavesNoPartialCopyAndTheRowUnsaved) {
  // A 1 MiB file system for the save folder, in a mount namespace of the test's own.
  if (RunProgram({"/usr/bin/unshare", "-rm", "/bin/true"}).exit_code != 0) {
    if (RunningInCi()) FAIL() << "unshare -rm is required in CI";
    GTEST_SKIP() << "no user and mount namespaces here";
  }
  WriteFile(work / "src/big.bin", std::string(3000000, 'x'));
  std::filesystem::create_directory(work / "small");
  const char* script =
      "mount -t tmpfs -o size=1m tmpfs \"$3\" || exit 9; \"$0\" \"$1\" \"$2\"; echo \"status $?\"; "
      "find \"$3\" -type f ! -path '*/.salvorine/*'";
  const ProgramOutput result = RunProgram(
      {"/usr/bin/unshare", "-rm", "/bin/sh", "-c", script, kCli, work / "src", work / "small/out", work / "small"},
      {"TMPDIR=" + work.Path()});
  EXPECT_EQ(result.out, work / "src/big.bin\t3000000\t3000000 (100%)\t0 (0%)\tunsaved\nstatus 1\n") << result.err;
  EXPECT_NE(result.err.find("No space left on device"), std::string::npos) << result.err;
}

// "rescued:     8192 B" and the like, from ddrescuelog -t.
std::string Total(const std::string& totals, const std::string& label) {
  const auto at = totals.find(label);
  if (at == std::string::npos) return "missing";
  const auto start = totals.find_first_not_of(' ', at + label.size());
  return totals.substr(start, totals.find(',', start) - start);
}

TEST_F(CliTest, CopiesThatAreNotWholeKeepAMapOtherToolsReadAndTheRunAReport) {
  SALVORINE_REQUIRE_FUSE();
  if (!FileExists("/usr/bin/ddrescuelog")) {
    if (RunningInCi()) FAIL() << "ddrescuelog (gddrescue) is required in CI";
    GTEST_SKIP() << "ddrescuelog is not installed";
  }
  DamagedMount disc(kDisc);
  const std::string source = disc.Path().string() + "/disc";
  const ProgramOutput result = Run({"--report", work / "report.tsv", source + "/docs", work / "out"});
  ASSERT_EQ(result.exit_code, 3) << result.err;

  // a.bin: 1808 bytes unreadable of 10000; b.bin has 784 bytes between the directions that failed once more.
  const ProgramOutput a = RunProgram({"/usr/bin/ddrescuelog", "-t", work / "out/.salvorine/maps/docs/a.bin.map"});
  ASSERT_EQ(a.exit_code, 0) << a.out << a.err;
  EXPECT_EQ(Total(a.out, "rescued:"), "8192 B") << a.out;
  EXPECT_EQ(Total(a.out, "bad-sector:"), "1808 B") << a.out;
  const ProgramOutput b = RunProgram({"/usr/bin/ddrescuelog", "-t", work / "out/.salvorine/maps/docs/b.bin.map"});
  EXPECT_EQ(Total(b.out, "rescued:"), "9216 B") << b.out;
  EXPECT_FALSE(FileExists(work / "out/.salvorine/maps/docs/c.bin.map"));  // whole

  const std::string report = ReadFile(work / "out/.salvorine/report.tsv");
  EXPECT_EQ(ReadFile(work / "report.tsv"), report);
  EXPECT_NE(report.find(source + "/docs/a.bin\t10000\t8192\t1808\tdamaged\t" + work / "out/.salvorine/maps/docs/a.bin.map\n"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find(source + "/docs/c.bin\t10000\t10000\t0\tok\t\n"), std::string::npos) << report;
}

TEST_F(CliTest, ACompleteCopyIsNotReadAgainUnlessAskedToStartAfresh) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount disc("file disc/a.bin 300000 1\n", CollectStats::kYes);
  const std::string file = disc.Path().string() + "/disc/a.bin";
  ASSERT_EQ(Run({file, work / "out"}).exit_code, 0);
  const std::uint64_t after_first = disc.StatsWhileMounted().bytes;
  EXPECT_GE(after_first, 300000u);

  const ProgramOutput again = Run({file, work / "out"});
  EXPECT_EQ(again.exit_code, 0) << again.err;
  EXPECT_EQ(again.out, file + "\t300000\t300000 (100%)\t0 (0%)\tok\n");
  EXPECT_EQ(disc.StatsWhileMounted().bytes, after_first);

  ASSERT_EQ(Run({"--fresh", file, work / "out"}).exit_code, 0);
  EXPECT_GT(disc.StatsWhileMounted().bytes, after_first);
  EXPECT_EQ(Difference(ReadFile(work / "out/a.bin"), Expected(1, 300000)), "");
}

// A second run over the same file goes on from the first run's map: it reads
// nothing the map marks finished, and where the medium reads better now (the
// disc was cleaned: a smaller bad area) it fills the copy in.
TEST_F(CliTest, ASecondRunReadsOnlyWhatTheMapLacks) {
  SALVORINE_REQUIRE_FUSE();
  constexpr std::size_t kSize = 3000000;
  // A spot inside what each mode left unread: near the end of the Max Data
  // pass's gap (which ends a block further on), inside the area for Thorough.
  for (const auto& [mode, spot] : {std::pair<std::string, std::int64_t>{"data", 1600000}, {"thorough", 1530000}}) {
    const std::string out = work / ("out-" + mode);
    const std::string map_path = out + "/.salvorine/maps/a.bin.map";
    std::optional<RescueMap> first_map;
    {
      DamagedMount disc("file disc/a.bin 3000000 4\nbad disc/a.bin 1500000 40000\n");
      ASSERT_EQ(Run({"--mode", mode, disc.Path().string() + "/disc/a.bin", out}).exit_code, 3) << mode;
      first_map = ParseMapFile(ReadFile(map_path), kSize);
      ASSERT_TRUE(first_map) << mode;
    }
    DamagedMount cleaned("file disc/a.bin 3000000 4\nbad disc/a.bin " + std::to_string(spot) + " 2048\n",
                         CollectStats::kYes);
    const ProgramOutput second = Run({"--mode", mode, cleaned.Path().string() + "/disc/a.bin", out});
    EXPECT_EQ(second.exit_code, 3) << mode << second.err;
    EXPECT_LE(cleaned.Stats().bytes, static_cast<std::uint64_t>(kSize - first_map->Total(RescueState::kDone)));

    const auto second_map = ParseMapFile(ReadFile(map_path), kSize);
    ASSERT_TRUE(second_map) << mode;
    EXPECT_GT(second_map->Total(RescueState::kDone), first_map->Total(RescueState::kDone)) << mode;
    std::string expected = Expected(4, kSize);
    for (const auto& segment : second_map->Segments()) {
      if (segment.state == RescueState::kDone) continue;
      EXPECT_FALSE(first_map->Any(segment.start, segment.end, RescueState::kDone)) << mode;
      EXPECT_TRUE(segment.start <= spot + 2048 && spot < segment.end) << mode << " " << segment.start;
      std::fill(expected.begin() + segment.start, expected.begin() + segment.end, '\0');
    }
    EXPECT_EQ(Difference(ReadFile(out + "/a.bin"), expected), "") << mode;
  }
}

TEST_F(CliTest, RejectsAWrongCommandLineAndExplainsItself) {
  EXPECT_EQ(Run({}).exit_code, 2);
  EXPECT_EQ(Run({"--mode", "fast", "a", "b"}).exit_code, 2);
  const ProgramOutput sector = Run({"--sector-size", "2k", work.Path(), work / "out"});
  EXPECT_EQ(sector.exit_code, 2);
  EXPECT_NE(sector.err.find("--sector-size wants a whole number of bytes from 512 to 65536, not '2k'"),
            std::string::npos) << sector.err;
  const ProgramOutput retries = Run({"--retries", "-1", work.Path(), work / "out"});
  EXPECT_EQ(retries.exit_code, 2);
  EXPECT_NE(retries.err.find("--retries wants a whole number from 0 to 100, not '-1'"), std::string::npos)
      << retries.err;
  const ProgramOutput missing = Run({work / "missing", work / "out"});
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_NE(missing.err.find(work / "missing"), std::string::npos);
  // A save folder inside the selection would copy the copies.
  WriteFile(work / "src/a.txt", "a");
  const ProgramOutput inside = Run({work / "src", work / "src/rescued"});
  EXPECT_EQ(inside.exit_code, 2);
  EXPECT_NE(inside.err.find("inside the selection"), std::string::npos) << inside.err;
  EXPECT_FALSE(std::filesystem::exists(work / "src/rescued"));
  const ProgramOutput help = Run({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("usage: salvorine-cli"), std::string::npos);
}

TEST_F(CliTest, AnUnwritableSaveFolderIsReportedAndEndsTheRun) {
  WriteFile(work / "src/a.txt", "a");
  WriteFile(work / "blocker", "");
  const ProgramOutput result = Run({work / "src", work / "blocker/out"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.err.find("Cannot create folder " + work / "blocker/out/"), std::string::npos) << result.err;
}

TEST_F(CliTest, ASelectionWrittenWithDotDotStillSavesUnderTheSaveFolder) {
  WriteFile(work / "data/sub/b.txt", "b");
  const ProgramOutput result = Run({work / "data/sub/inner/..", work / "out"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadFile(work / "out/sub/b.txt"), "b");
}

TEST_F(CliTest, EmptiesTheWorkingFolderAtExit) {
  WriteFile(work / "src/a.txt", "a");
  ASSERT_EQ(Run({work / "src", work / "out"}).exit_code, 0);
  EXPECT_EQ(ReadFile(work / "out/src/a.txt"), "a");
  EXPECT_FALSE(FileExists(work / "TMP654/1.txt"));
}

}  // namespace
}  // namespace salvorine::test
