// salvorine-cli end to end: real reads through the kernel from the damaged-media bench.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <filesystem>
#include <optional>
#include <sstream>
#include <thread>

#include "damaged_media/pattern.h"
#include "support/damaged_mount.h"
#include "platform/file_system.h"
#include "recovery/damage_report.h"
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

// Polls `condition` until it holds; false when it has not within 20 seconds.
bool WaitUntil(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Whether the main thread of process `pid` is inside a pread64(2) of a span holding byte `offset` now.
bool InReadOf(pid_t pid, std::int64_t offset) {
  std::istringstream call(ReadFile("/proc/" + std::to_string(pid) + "/syscall"));
  int number = -1;
  std::string descriptor, buffer, count, position;
  if (!(call >> number >> descriptor >> buffer >> count >> position) || number != 17) return false;
  const std::int64_t start = std::stoll(position, nullptr, 16);
  return start <= offset && offset < start + std::stoll(count, nullptr, 16);
}

// Whether `signal_number` was sent to process `pid` and is still waiting to be taken.
bool SignalPending(pid_t pid, int signal_number) {
  const std::string status = ReadFile("/proc/" + std::to_string(pid) + "/status");
  const auto at = status.find("ShdPnd:");
  if (at == std::string::npos) return false;
  const unsigned long long mask = std::stoull(status.substr(at + 7), nullptr, 16);
  return (mask >> (signal_number - 1)) & 1U;
}

class CliTest : public ::testing::Test {
 protected:
  ProgramOutput Run(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {kCli};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return RunProgram(argv, {"TMPDIR=" + work.Path(), "LC_ALL=", "LC_MESSAGES=", "LANG=C.UTF-8"});
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
  DamagedMount disc("file disc/slow.bin 500000 9\nslow disc/slow.bin 0 500000 200\nfile disc/z.bin 10 1\n",
                    CollectStats::kYes);
  const std::string source = disc.Path().string() + "/disc";
  StartedProgram cli({kCli, source, work / "out"}, {"TMPDIR=" + work.Path()});
  // Once the first bytes of slow.bin were served, the pass has a block to keep.
  ASSERT_TRUE(WaitUntil([&] { return disc.StatsWhileMounted().bytes > 0; }));
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

  // In Thorough, a damaged file waiting for its rescue ends stopped too: in
  // stdout and the report alike its recovered and damaged bytes leave the rest
  // of its size unread, and the report names its map.
  DamagedMount waiting("file disc/a.bin 800000 1\nbad disc/a.bin 100000 30000\n"
                       "file disc/slow.bin 500000 9\nslow disc/slow.bin 0 500000 200\n",
                       CollectStats::kYes);
  StartedProgram thorough({kCli, "--mode", "thorough", waiting.Path().string() + "/disc", work / "thorough"},
                          {"TMPDIR=" + work.Path()});
  // slow.bin's pass has begun (its working copy stands) and read a block.
  ASSERT_TRUE(WaitUntil([&] { return FileExists(work / "thorough/.salvorine/TMP654/2.bin"); }));
  const std::uint64_t before = waiting.StatsWhileMounted().bytes;
  ASSERT_TRUE(WaitUntil([&] { return waiting.StatsWhileMounted().bytes > before; }));
  thorough.Signal(SIGTERM);
  const ProgramOutput stopped = thorough.Wait();
  EXPECT_EQ(stopped.exit_code, 1);
  const std::vector<ReportRow> lines = ParseReport(ReadFile(work / "thorough/.salvorine/report.tsv"));
  ASSERT_EQ(lines.size(), 2u);
  std::istringstream printed(stopped.out);
  for (const ReportRow& line : lines) {
    std::string row;
    std::getline(printed, row);
    const RowFigures& figures = line.figures;
    EXPECT_EQ(figures.state, RowState::kStopped) << row;
    EXPECT_EQ(figures.recovered + figures.damaged + figures.unread, figures.size) << row;
    EXPECT_GT(figures.unread, 0) << row;
    EXPECT_NE(row.find("\t" + std::to_string(figures.recovered + figures.damaged) + " ("), std::string::npos) << row;
    EXPECT_FALSE(line.map_path.empty()) << row;
  }
}

// Two disk images on loop devices, the second mounted inside the first at
// "disc", for as long as it lives; `options` go to mount.
class NestedDisks {
 public:
  NestedDisks(const std::string& outer, const std::string& inner, std::string at, const std::string& options)
      : at_(std::move(at)) {
    for (const std::string& image : {outer, inner}) {
      if (Shell("losetup -f --show " + image + " >" + image + ".device") != 0) return;
      const std::string device = ReadFile(image + ".device");
      devices_.push_back(device.substr(0, device.find('\n')));
    }
    std::filesystem::create_directories(at_);
    if (Shell("mount " + options + " " + devices_[0] + " " + at_) != 0) return;
    std::filesystem::create_directories(at_ + "/disc");
    mounted_ = Shell("mount " + options + " " + devices_[1] + " " + at_ + "/disc") == 0;
  }
  ~NestedDisks() {
    Shell("umount " + at_ + "/disc; umount " + at_);
    for (const std::string& device : devices_) Shell("losetup -d " + device);
  }
  NestedDisks(const NestedDisks&) = delete;
  NestedDisks& operator=(const NestedDisks&) = delete;

  bool Mounted() const { return mounted_; }
  const std::string& Device(std::size_t i) const { return devices_.at(i); }

 private:
  static int Shell(const std::string& command) { return std::system((command + " 2>/dev/null").c_str()); }
  std::string at_;
  std::vector<std::string> devices_;
  bool mounted_ = false;
};

// A power cut as the disks have it: the run frozen, the save folder's disk
// synced as its journal would be within seconds, then both disks read as they
// stand on the device (direct reads, past the page cache), with the save
// folder on one ext4 disk and its folder "disc" on another, mounted inside it.
// Frozen once a map stood, and once the whole copies were recorded: no map may
// claim a byte its copy on the other disk lacks, and no record a copy that is not whole.
TEST_F(CliTest, APowerCutLeavesNoRecordClaimingBytesACopyOnAnotherDiskLacks) {
  SALVORINE_REQUIRE_FUSE();
  if (::geteuid() != 0) GTEST_SKIP() << "loop devices need root";
  DamagedMount disc(
      "file disc/a.bin 300000 1\nbad disc/a.bin 100000 4096\n"
      "file disc/b.bin 200000 2\nfile disc/c.bin 400000 3\nslow disc/c.bin 0 400000 20\n");
  for (const char* moment : {"map", "whole"}) {
    SCOPED_TRACE(moment);
    const std::string folder = work / moment;
    std::filesystem::create_directories(folder);
    for (const char* image : {"/a.img", "/b.img"}) {
      ASSERT_EQ(std::system(("truncate -s 32M " + folder + image + " && mkfs.ext4 -q -F " + folder + image).c_str()), 0);
    }
    const std::string save = folder + "/save";
    {
      NestedDisks disks(folder + "/a.img", folder + "/b.img", save, "");
      ASSERT_TRUE(disks.Mounted());
      StartedProgram cli({kCli, disc.Path().string() + "/disc", save}, {"TMPDIR=" + work.Path()});
      const std::string waited =
          std::string(moment) == "map" ? "/.salvorine/maps/disc/a.bin.map" : "/.salvorine/whole.tsv";
      EXPECT_TRUE(WaitUntil([&] { return FileExists(save + waited); }));
      cli.Signal(SIGSTOP);
      // The save folder's disk writes its journal every few seconds: the cut comes after that, before the other disk's.
      ASSERT_EQ(std::system(("sync -f " + save).c_str()), 0);
      for (std::size_t i = 0; i < 2; ++i) {
        const std::string copy = "dd if=" + disks.Device(i) + " of=" + folder + "/cut" + std::to_string(i) +
                                 ".img bs=1M iflag=direct status=none";
        ASSERT_EQ(std::system(copy.c_str()), 0);
      }
      cli.Signal(SIGKILL);
      cli.Wait();
    }
    // The disks as a restart finds them (their journals replayed).
    const std::string after = folder + "/after";
    const NestedDisks cut(folder + "/cut0.img", folder + "/cut1.img", after, "-o ro");
    ASSERT_TRUE(cut.Mounted());
    const std::string a_bin = ReadFile(after + "/disc/a.bin");
    const auto map = ParseMapFile(ReadFile(after + "/.salvorine/maps/disc/a.bin.map"), 300000);
    ASSERT_TRUE(map);
    const std::string expected_a = Expected(1, 300000);
    ASSERT_EQ(a_bin.size(), expected_a.size());
    for (const RescueMap::Segment& done : map->SegmentsIn(RescueState::kDone)) {
      const auto start = static_cast<std::size_t>(done.start), length = static_cast<std::size_t>(done.end - done.start);
      EXPECT_EQ(a_bin.compare(start, length, expected_a, start, length), 0) << "finished at " << done.start;
    }
    const std::string records = FileExists(after + "/.salvorine/whole.tsv") ? ReadFile(after + "/.salvorine/whole.tsv") : "";
    const bool recorded = records.find("\tdisc/b.bin\n") != std::string::npos;
    EXPECT_EQ(recorded, std::string(moment) == "whole") << records;
    if (recorded) {
      EXPECT_EQ(Difference(ReadFile(after + "/disc/b.bin"), Expected(2, 200000)), "");
    }
  }
}

// Killed at the sync that carries whole copies to the disk, or at the
// renames of their record and the report, then run again over a medium that
// got worse (every second read fails): no byte the killed run saved is lost,
// though no record vouches for the copies.
TEST_F(CliTest, AKillBeforeTheRecordThenAWorseMediumLosesNoByte) {
  if (!FileExists("/usr/bin/strace")) {
    if (RunningInCi()) FAIL() << "strace is required in CI";
    GTEST_SKIP() << "no strace";
  }
  const std::string a = work / "src/a.bin", b = work / "src/b.bin";
  WriteFile(a, Expected(1, 300000));
  WriteFile(b, Expected(2, 70000));
  for (const auto& [call, at] : {std::pair<std::string, int>{"syncfs", 1}, {"renameat", 1}, {"renameat", 2}}) {
    const std::string save = work / (call + std::to_string(at));
    SCOPED_TRACE(save);
    RunProgram({"/usr/bin/strace", "-f", "-o", "/dev/null", "-e", "trace=" + call, "-e",
                "inject=" + call + ":signal=KILL:when=" + std::to_string(at), kCli, work / "src", save},
               {"TMPDIR=" + work.Path()});
    ASSERT_TRUE(FileExists(save + "/src/a.bin"));
    const std::string saved_a = ReadFile(save + "/src/a.bin"), saved_b = ReadFile(save + "/src/b.bin");
    const ProgramOutput worse = RunProgram({"/usr/bin/strace", "-f", "-o", "/dev/null", "-P", a, "-P", b, "-e",
                                            "trace=pread64", "-e", "inject=pread64:error=EIO:when=2+2", kCli,
                                            work / "src", save},
                                           {"TMPDIR=" + work.Path()});
    EXPECT_NE(worse.exit_code, -1) << worse.err;
    EXPECT_EQ(Difference(ReadFile(save + "/src/a.bin"), saved_a), "");
    EXPECT_EQ(Difference(ReadFile(save + "/src/b.bin"), saved_b), "");
  }
}

// The medium killed while c.bin is read and a.bin and b.bin wait for their
// Thorough rescue: without a wait, every row it held ends stopped with its
// map and figures that add up, none of c.bin's unread bytes counted damaged;
// with a wait, the same medium served again at the same mount point lets the
// run go on to the same bytes and table as a run never interrupted.
TEST_F(CliTest, AMediumThatGoesAwayIsAPauseNotALoss) {
  SALVORINE_REQUIRE_FUSE();
  DamagedMount disc(
      "file disc/a.bin 300000 1\nbad disc/a.bin 100000 50000\n"
      "file disc/b.bin 300000 2\nbad disc/b.bin 150000 60000\n"
      "file disc/c.bin 1500000 3\nslow disc/c.bin 0 1500000 100\n");
  const std::string source = disc.Path().string() + "/disc";
  const ProgramOutput whole = Run({"--mode", "thorough", source, work / "whole"});
  ASSERT_EQ(whole.exit_code, 3) << whole.err;
  const auto pulled = [&](const std::string& save, const std::string& seconds, bool lazily = false,
                          const std::string& from = "") {
    auto cli = std::make_unique<StartedProgram>(
        std::vector<std::string>{kCli, "--mode", "thorough", "--wait-for-medium", seconds, from.empty() ? source : from,
                                 work / save},
        std::vector<std::string>{"TMPDIR=" + work.Path(), "LANG=C.UTF-8"});
    // Inside c.bin's ninth block: eight blocks of 99509 bytes are read.
    EXPECT_TRUE(WaitUntil([&] { return InReadOf(cli->Pid(), 800000); }));
    if (lazily) {
      disc.UnmountLazily();
    } else {
      disc.Kill();
    }
    return cli;
  };

  const ProgramOutput stopped = pulled("stopped", "0")->Wait();
  disc.Restart();
  EXPECT_EQ(stopped.exit_code, 1) << stopped.err;
  EXPECT_NE(stopped.out.find(source + "/c.bin\t1500000\t796072 (53%)\t0 (0%)\tstopped\n"), std::string::npos)
      << stopped.out;
  EXPECT_EQ(ReadFile(work / "stopped/disc/c.bin").substr(0, 796072), Expected(3, 1500000).substr(0, 796072));
  // Every row the medium held is stopped with its map, its figures adding up.
  const auto expect_stopped = [](const std::string& report) {
    const std::vector<ReportRow> rows = ParseReport(report);
    ASSERT_EQ(rows.size(), 3u) << report;
    for (const ReportRow& row : rows) {
      EXPECT_EQ(row.figures.state, RowState::kStopped) << row.path;
      EXPECT_GT(row.figures.recovered, 0) << row.path;
      EXPECT_EQ(row.figures.recovered + row.figures.damaged + row.figures.unread, row.figures.size) << row.path;
      EXPECT_TRUE(FileExists(row.map_path)) << row.path << " names the map " << row.map_path;
    }
  };
  expect_stopped(ReadFile(work / "stopped/.salvorine/report.tsv"));

  // Unmounted lazily, the mount point itself selected: c.bin still reads to
  // its end, and the files waiting find their paths gone ("No such file or
  // directory") in the empty folder the medium left when their rescue goes on.
  const ProgramOutput detached = pulled("detached", "0", true, disc.Path().string())->Wait();
  disc.Restart();
  EXPECT_EQ(detached.exit_code, 1) << detached.err;
  EXPECT_EQ(detached.err.find("No such file"), std::string::npos) << detached.err;
  const std::vector<ReportRow> detached_rows = ParseReport(ReadFile(work / "detached/.salvorine/report.tsv"));
  ASSERT_EQ(detached_rows.size(), 3u);
  for (const ReportRow& row : detached_rows) {
    EXPECT_EQ(row.figures.state, row.path.ends_with("c.bin") ? RowState::kSaved : RowState::kStopped) << row.path;
    EXPECT_EQ(row.figures.recovered + row.figures.damaged + row.figures.unread, row.figures.size) << row.path;
    EXPECT_TRUE(row.figures.state != RowState::kStopped || FileExists(row.map_path)) << row.path;
  }

  // While the run waits, its report says the same, should it never end.
  const std::unique_ptr<StartedProgram> waiting = pulled("resumed", "600");
  ASSERT_TRUE(WaitUntil([&] { return waiting->ErrSoFar().find("waiting for it to come back") != std::string::npos; }));
  expect_stopped(ReadFile(work / "resumed/.salvorine/report.tsv"));
  disc.Restart();
  const ProgramOutput resumed = waiting->Wait();
  EXPECT_EQ(resumed.exit_code, whole.exit_code) << resumed.err;
  EXPECT_EQ(resumed.out, whole.out);
  for (const char* name : {"a.bin", "b.bin", "c.bin"}) {
    EXPECT_EQ(Difference(ReadFile(work / ("resumed/disc/" + std::string(name))), ReadFile(work / ("whole/disc/" + std::string(name)))), "") << name;
  }
}

TEST_F(CliTest, TwoProgramsAtOnceKeepTheirCopiesApart) {
  SALVORINE_REQUIRE_FUSE();
  // The first program reads for about two seconds; the second runs meanwhile with the same TMPDIR.
  DamagedMount disc("file disc/a.bin 3000000 4\nslow disc/a.bin 0 3000000 100\n", CollectStats::kYes);
  WriteFile(work / "b/b.bin", std::string(3000000, 'b'));
  StartedProgram first({kCli, disc.Path().string() + "/disc", work / "first"}, {"TMPDIR=" + work.Path()});
  // The second starts once the first is reading.
  ASSERT_TRUE(WaitUntil([&] { return disc.StatsWhileMounted().reads > 0; }));
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

// What earlier runs left in the save folder: a map that cannot be removed would
// mark a whole copy unfinished, so that is an error that ends the run, not a success; temporary
// files of a run killed while placing go, those of a live process stay. A
// selection with no file in it leaves the save folder as it was.
TEST_F(CliTest, WhatEarlierRunsLeftIsClearedOrReportedAndAnEmptySelectionWritesNothing) {
  WriteFile(work / "src/a.txt", "a");
  WriteFile(work / "src/b.txt", "b");
  std::filesystem::create_directories(work / "out/.salvorine/maps/src/a.txt.map");
  const std::string live_part = work / "out/src/.salvorine-" + std::to_string(::getpid()) + "-1.part";
  WriteFile(live_part, "placing");
  WriteFile(work / "out/src/deeper/.salvorine-999999999-7.part", "killed");
  WriteFile(work / "out/.salvorine/maps/.salvorine-999999999-8.part", "killed");
  const ProgramOutput result = Run({work / "src", work / "out"});
  EXPECT_TRUE(FileExists(live_part));
  EXPECT_FALSE(FileExists(work / "out/src/deeper/.salvorine-999999999-7.part"));
  EXPECT_FALSE(FileExists(work / "out/.salvorine/maps/.salvorine-999999999-8.part"));
  EXPECT_EQ(result.exit_code, 1) << result.err;
  EXPECT_EQ(result.out, work / "src/a.txt\t1\t1 (100%)\t0 (0%)\tunsaved\n" + work / "src/b.txt\t1\t0 (0%)\t0 (0%)\tpending\n");
  EXPECT_NE(result.err.find(work / "out/.salvorine/maps/src/a.txt.map"), std::string::npos) << result.err;
  EXPECT_NE(ReadFile(work / "out/.salvorine/report.tsv").find(work / "src/a.txt\t1\t0\t0\t1\tunsaved\t"),
            std::string::npos);

  std::filesystem::create_directories(work / "nothing/empty");
  EXPECT_EQ(Run({work / "nothing", work / "untouched"}).exit_code, 0);
  EXPECT_FALSE(std::filesystem::exists(work / "untouched/.salvorine"));
}

// Limits of the system meet the run: a name at the 255-byte limit still gets a
// map, a tree deeper than the descriptors a process may hold is saved, and a
// map too long to be one of ours is not trusted.
TEST_F(CliTest, NamesAtTheLimitDeepTreesAndOversizedMapsDoNotEndTheRun) {
  SALVORINE_REQUIRE_FUSE();
  const std::string long_name(253, 'n');
  DamagedMount disc("file disc/" + long_name + " 10000 1\nbad disc/" + long_name + " 2848 1\n");
  const ProgramOutput damaged = Run({disc.Path().string() + "/disc", work / "out"});
  EXPECT_EQ(damaged.exit_code, 3) << damaged.err;
  std::vector<std::string> maps;
  for (const auto& entry : std::filesystem::directory_iterator(work / "out/.salvorine/maps/disc")) {
    maps.push_back(entry.path().filename());
  }
  ASSERT_EQ(maps.size(), 1u);
  EXPECT_TRUE(maps[0].starts_with(std::string(200, 'n')) && maps[0].ends_with(".map")) << maps[0];
  const std::string report = ReadFile(work / "out/.salvorine/report.tsv");
  EXPECT_NE(report.find("\tdamaged\t" + work / ("out/disc/" + long_name) + "\t" + work / "out/.salvorine/maps/disc/" + maps[0] + "\t"), std::string::npos)
      << report;
  EXPECT_EQ(Run({disc.Path().string() + "/disc", work / "out"}).exit_code, 3);  // resumed from that map

  ASSERT_EQ(::mkdir((work / "deep").c_str(), 0700), 0);
  int folder = ::open((work / "deep").c_str(), O_RDONLY | O_DIRECTORY);
  for (int level = 0; level < 1100; ++level) {
    ASSERT_EQ(::mkdirat(folder, "d", 0700), 0);
    const int inner = ::openat(folder, "d", O_RDONLY | O_DIRECTORY);
    ::close(folder);
    folder = inner;
  }
  const int file = ::openat(folder, "f.txt", O_WRONLY | O_CREAT, 0600);
  ASSERT_EQ(::write(file, "deep", 4), 4);
  ::close(file);
  ::close(folder);
  const ProgramOutput deep_run =
      RunProgram({"/bin/sh", "-c", "ulimit -n 64 && exec \"$0\" \"$@\"", kCli, work / "deep", work / "deep-out"},
                 {"TMPDIR=" + work.Path()});
  EXPECT_EQ(deep_run.exit_code, 0) << deep_run.err.substr(0, 300);
  EXPECT_TRUE(deep_run.out.ends_with("/d/f.txt\t4\t4 (100%)\t0 (0%)\tok\n")) << deep_run.out.substr(0, 300);
  RunProgram({"/bin/rm", "-rf", work / "deep", work / "deep-out"});

  // A map of more than 64 MiB (a long comment, then every byte finished) beside a copy of zeros.
  WriteFile(work / "big/a.bin", std::string(4096, 'x'));
  WriteFile(work / "big-out/big/a.bin", std::string(4096, '\0'));
  WriteFile(work / "big-out/.salvorine/maps/big/a.bin.map",
            "# " + std::string(std::size_t{65} << 20, 'c') + "\n0x00000000  +  1\n0x00000000  0x00001000  +\n");
  // Without a map to tell it, the copy of zeros may be all that is left of another file: both are kept.
  EXPECT_EQ(Run({work / "big", work / "big-out"}).exit_code, 0);
  EXPECT_EQ(ReadFile(work / "big-out/big/a (2).bin"), std::string(4096, 'x'));
  EXPECT_EQ(ReadFile(work / "big-out/big/a.bin"), std::string(4096, '\0'));
}

// A source with holes: only its data is read, and the copy has the same holes.
TEST_F(CliTest, ASparseSourceGivesASparseCopy) {
  std::filesystem::create_directories(work / "src");
  const std::string sparse = work / "src/sparse.bin";
  const int file = ::open(sparse.c_str(), O_WRONLY | O_CREAT, 0600);
  ASSERT_EQ(::pwrite(file, "head", 4, 0), 4);
  ASSERT_EQ(::pwrite(file, "middle", 6, 12 << 20), 6);
  ASSERT_EQ(::ftruncate(file, 16 << 20), 0);
  ::close(file);
  struct stat source {};
  ASSERT_EQ(::stat(sparse.c_str(), &source), 0);
  if (source.st_blocks * 512 >= 1 << 20) GTEST_SKIP() << "this file system keeps no holes";

  for (const std::string mode : {"data", "thorough"}) {
    const std::string out = work / ("out-" + mode);
    const ProgramOutput result = Run({"--mode", mode, work / "src", out});
    EXPECT_EQ(result.out, sparse + "\t16777216\t16777216 (100%)\t0 (0%)\tok\n") << mode << ": " << result.err;
    struct stat copy {};
    ASSERT_EQ(::stat((out + "/src/sparse.bin").c_str(), &copy), 0);
    EXPECT_LE(copy.st_blocks, source.st_blocks + 64) << mode << ": allocated " << copy.st_blocks * 512 << " bytes";
    EXPECT_EQ(ReadFile(out + "/src/sparse.bin"), ReadFile(sparse)) << mode;
  }
}

TEST_F(CliTest, ATableThatCannotBeWrittenIsAnErrorAfterTheCleanUp) {
  WriteFile(work / "src/a.txt", "a");
  const std::vector<std::string> environment = {"TMPDIR=" + work.Path()};
  const ProgramOutput full =
      RunProgram({"/bin/sh", "-c", "exec \"$0\" \"$@\" >/dev/full", kCli, work / "src", work / "out"}, environment);
  EXPECT_EQ(full.exit_code, 1);
  EXPECT_NE(full.err.find("cannot write the table to stdout"), std::string::npos) << full.err;
  EXPECT_FALSE(FileExists(work / "out/.salvorine/TMP654/1.txt"));
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
  // Inside the stalled read: the read of the slow bytes.
  ASSERT_TRUE(WaitUntil([&] { return InReadOf(cli.Pid(), 200000); }));
  cli.Signal(SIGINT);
  // The second only once the first was taken: two signals waiting together count as one.
  ASSERT_TRUE(WaitUntil([&] { return !SignalPending(cli.Pid(), SIGINT); }));
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
      "find \"$3\" \\( -type f ! -path '*/.salvorine/*' \\) -o -path '*/TMP654*'";
  const ProgramOutput result = RunProgram(
      {"/usr/bin/unshare", "-rm", "/bin/sh", "-c", script, kCli, work / "src", work / "small/out", work / "small"},
      {"TMPDIR=" + work.Path()});
  // The working copy lies on the save disk too: the pass fails at its first
  // write, before the source is read, and leaves nothing behind.
  EXPECT_EQ(result.out, work / "src/big.bin\t3000000\t0 (0%)\t0 (0%)\tunsaved\nstatus 1\n") << result.err;
  EXPECT_NE(result.err.find("No space left on device"), std::string::npos) << result.err;

  // ext4 keeps what a reservation that failed took: the disk is full then, and
  // the report still comes, once the failed file's working copy gave its room back.
  if (::geteuid() != 0 || !FileExists("/usr/sbin/mkfs.ext4")) return;
  const std::string disk = work / "ext4";
  std::filesystem::create_directory(disk);
  const char* mount = "truncate -s 2M \"$0\" && mkfs.ext4 -q \"$0\" && mount -o loop \"$0\" \"$1\"";
  if (RunProgram({"/bin/sh", "-c", mount, work / "ext4.img", disk}).exit_code != 0) GTEST_SKIP() << "no loop device";
  const ProgramOutput full = Run({work / "src", disk + "/out"});
  const bool reported = FileExists(disk + "/out/.salvorine/report.tsv");
  const std::string report = reported ? ReadFile(disk + "/out/.salvorine/report.tsv") : "";
  RunProgram({"/bin/umount", disk});
  EXPECT_EQ(full.exit_code, 1);
  EXPECT_NE(report.find(work / "src/big.bin\t3000000\t0\t0\t3000000\tunsaved\t"), std::string::npos)
      << report << full.err;
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
  // A report of the older format (no copy column) keeps its lines, read field by field.
  WriteFile(work / "out/.salvorine/report.tsv",
            "path\tsize\trecovered\tdamaged\tunread\tstate\tmap\texisting\ttime\n"
            "/old/x.bin\t9\t5\t4\t0\tdamaged\t/old/x.bin.map\tkept both: /o/x (2).bin\t2026-01-02T03:04:05Z\n");
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
  const std::string a_line =
      source + "/docs/a.bin\t10000\t8192\t1808\t0\tdamaged\t" + work / "out/docs/a.bin\t" +
      work / "out/.salvorine/maps/docs/a.bin.map\t\t";
  EXPECT_NE(report.find(a_line), std::string::npos) << report;
  EXPECT_NE(report.find(source + "/docs/c.bin\t10000\t10000\t0\t0\tok\t" + work / "out/docs/c.bin\t\t\t"),
            std::string::npos)
      << report;
  EXPECT_TRUE(report.starts_with("path\tsize\trecovered\tdamaged\tunread\tstate\tcopy\tmap\texisting\ttime\n"
                                  "/old/x.bin\t9\t5\t4\t0\tdamaged\t\t/old/x.bin.map\tkept both: /o/x (2).bin\t"
                                  "2026-01-02T03:04:05Z\n"))
      << report;

  // The report covers the save folder: a later run over another selection adds
  // its rows and keeps these as they were, time and all; running the first
  // selection again replaces its rows instead of repeating them.
  const std::string a_time = report.substr(report.find(a_line) + a_line.size(), 20);
  ASSERT_EQ(Run({source + "/empty.bin", work / "out"}).exit_code, 0);
  const std::string both = ReadFile(work / "out/.salvorine/report.tsv");
  EXPECT_NE(both.find(a_line + a_time + "\n"), std::string::npos) << both;
  EXPECT_NE(both.find(source + "/empty.bin\t0\t0\t0\t0\tok\t" + work / "out/empty.bin\t\t\t"), std::string::npos) << both;
  EXPECT_EQ(std::count(both.begin(), both.end(), '\n'), 6) << both;
  ASSERT_EQ(Run({source + "/docs", work / "out"}).exit_code, 3);
  const std::string again = ReadFile(work / "out/.salvorine/report.tsv");
  EXPECT_EQ(std::count(again.begin(), again.end(), '\n'), 6) << again;
  EXPECT_NE(again.find(source + "/empty.bin\t0\t0\t0\t0\tok\t" + work / "out/empty.bin\t\t\t"), std::string::npos) << again;
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
  // Only 16 samples of 4 KiB spread over it, read anew to tell that the copy is this file's.
  EXPECT_EQ(disc.StatsWhileMounted().bytes, after_first + 16 * 4096);

  ASSERT_EQ(Run({"--fresh", file, work / "out"}).exit_code, 0);
  EXPECT_GT(disc.StatsWhileMounted().bytes, after_first);
  EXPECT_EQ(Difference(ReadFile(work / "out/a.bin"), Expected(1, 300000)), "");
}

// A second run over the same file goes on from the first run's map: it reads
// nothing the map marks finished but 16 samples of 4 KiB spread over it (to
// tell that the copy is this file's), and where the medium reads better now (the
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
    const std::int64_t unfinished = static_cast<std::int64_t>(kSize) - first_map->Total(RescueState::kDone);
    EXPECT_LE(cleaned.Stats().bytes, static_cast<std::uint64_t>(unfinished + 16 * 4096));

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

// As an ordinary user, over what an earlier run left in the save folder:
// another card's copy of the same name and size (partial with its map, or
// whole with the same time) is never taken for this file's, and a read-only
// copy of this file (a disc's files are read-only) is continued.
TEST_F(CliTest, EarlierCopiesAreTakenUpOnlyWhenTheyAreThisFilesReadOnlyOnesToo) {
  struct Case {
    const char* name;
    char earlier;       // the byte the earlier copy holds where finished
    bool partial;       // the first half finished, with a map; otherwise whole, no map
    unsigned mode;      // of the source and the earlier copy
    const char* extra;  // an option, or ""
    const char* saved;  // where the source's copy goes
    const char* existing;  // what the report says of the earlier copy
  };
  const Case cases[] = {
      {"another card's partial copy", '1', true, 0644, "--existing=replace", "a.bin", "replaced"},
      {"another card's whole copy, same size and time", '1', false, 0644, "--existing=replace", "a.bin", "replaced"},
      {"another card's copy, both kept", '1', false, 0644, "", "a (2).bin", "kept both: "},
      {"another card's copy, skipped", '1', true, 0644, "--existing=skip", "", "skipped"},
      {"this file's read-only partial copy", '2', true, 0444, "", "a.bin", ""},
  };
  constexpr std::size_t kSize = 100000;
  const std::string source(kSize, '2');
  ASSERT_EQ(::chmod(work.Path().c_str(), 0777), 0);
  for (const Case& test : cases) {
    const std::string folder = work / test.name;
    WriteFile(folder + "/card/a.bin", source);
    std::string earlier(kSize, test.earlier);
    if (test.partial) {
      std::fill(earlier.begin() + kSize / 2, earlier.end(), '\0');
      RescueMap map(0, kSize);
      map.Set(0, kSize / 2, RescueState::kDone);
      WriteFile(folder + "/out/.salvorine/maps/a.bin.map", MapFileText(map, false));
    }
    WriteFile(folder + "/out/a.bin", earlier);
    const timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
    for (const char* file : {"/card/a.bin", "/out/a.bin"}) {
      ASSERT_EQ(::utimensat(AT_FDCWD, (folder + file).c_str(), times, 0), 0);
      ASSERT_EQ(::chmod((folder + file).c_str(), test.mode), 0);
    }
    RunProgram({"/bin/chown", "-R", "65534:65534", folder + "/out"});
    std::vector<std::string> argv = {kCli, folder + "/card/a.bin", folder + "/out"};
    if (*test.extra != '\0') {
      const std::string option = test.extra;
      argv.insert(argv.begin() + 1, {option.substr(0, option.find('=')), option.substr(option.find('=') + 1)});
    }
    if (::geteuid() == 0) argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    const ProgramOutput result = RunProgram(argv, {"TMPDIR=" + work.Path()});
    const std::string report = ReadFile(folder + "/out/.salvorine/report.tsv");
    EXPECT_NE(report.find("\t" + std::string(test.existing) + (*test.existing == 'k' ? folder + "/out/" : "")),
              std::string::npos)
        << test.name << "\n" << report;
    if (*test.saved == '\0') {
      EXPECT_EQ(result.exit_code, 1) << test.name << "\n" << result.err;
      EXPECT_EQ(ReadFile(folder + "/out/a.bin"), earlier) << test.name;
      continue;
    }
    EXPECT_EQ(result.exit_code, 0) << test.name << "\n" << result.err;
    const std::string saved = folder + "/out/" + test.saved;
    EXPECT_EQ(Difference(ReadFile(saved), source), "") << test.name;
    if (std::string(test.saved) != "a.bin") {
      EXPECT_EQ(ReadFile(folder + "/out/a.bin"), earlier) << test.name;
    }
    struct stat status {};
    ASSERT_EQ(::stat(saved.c_str(), &status), 0);
    // Owner-writable even where the source and the earlier copy were read-only.
    EXPECT_EQ(status.st_mode & 0777, test.mode | 0600) << test.name;
    EXPECT_FALSE(FileExists(folder + "/out/.salvorine/maps/" + test.saved + ".map")) << test.name;
  }
}

TEST_F(CliTest, RejectsAWrongCommandLineAndExplainsItself) {
  WriteFile(work / "src/a.txt", "a");
  const std::string src = work / "src", out = work / "out";
  // Each mistake is named on one line, followed by where to read more; nothing is recovered.
  const std::vector<std::pair<std::vector<std::string>, std::string>> mistakes = {
      {{}, "SOURCE and SAVE_FOLDER are missing"},
      {{src}, "SAVE_FOLDER is missing"},
      {{src, out, work / "third"}, "one SOURCE and one SAVE_FOLDER, not 3 paths"},
      {{"--mode", "fast", src, out}, "--mode is data, speed or thorough, not 'fast'"},
      {{"--sector-size", "2k", src, out}, "--sector-size wants a whole number of bytes from 512 to 65536, not '2k'"},
      {{"--retries", "-1", src, out}, "--retries wants a whole number from 0 to 100, not '-1'"},
      {{"--existing", "both", src, out}, "--existing is replace, keep-both or skip, not 'both'"},
      {{"--language", "de", src, out}, "--language is en or ru, not 'de'"},
      {{src, out, "--bogus"}, "unknown option '--bogus'"},
      {{"--fresh=yes", src, out}, "--fresh takes no value"},
      {{src, out, "--report"}, "--report needs a value"},
  };
  for (const auto& [arguments, problem] : mistakes) {
    const ProgramOutput result = Run(arguments);
    EXPECT_EQ(result.exit_code, 2) << problem;
    EXPECT_EQ(result.err, "salvorine-cli: " + problem + "\nTry 'salvorine-cli --help'.\n");
    EXPECT_EQ(result.out, "");
  }
  EXPECT_FALSE(std::filesystem::exists(out));

  // Options stand before, between or after the paths, with "=" or apart; "--" ends them.
  WriteFile(work / "-dash/b.txt", "b");
  const ProgramOutput placed = Run({src, "--mode=speed", out, "--report", work / "report.txt"});
  EXPECT_EQ(placed.exit_code, 0) << placed.err;
  EXPECT_EQ(ReadFile(out + "/src/a.txt"), "a");
  EXPECT_EQ(ReadFile(work / "report.txt"), ReadFile(out + "/.salvorine/report.tsv"));
  // Asked for where the save folder keeps it, the report is left whole, not emptied by its own copy.
  const ProgramOutput in_place = Run({src, out, "--report", out + "/.salvorine/report.tsv"});
  EXPECT_EQ(in_place.exit_code, 0) << in_place.err;
  EXPECT_EQ(ReadFile(out + "/.salvorine/report.tsv").find("path\tsize\t"), 0u);
  const std::string in_work = "cd \"$0\" && exec \"$1\" -- -dash \"$2\"";
  const ProgramOutput dashed = RunProgram({"/bin/sh", "-c", in_work, work.Path(), kCli, out}, {"TMPDIR=" + work.Path()});
  EXPECT_EQ(dashed.exit_code, 0) << dashed.err;
  EXPECT_EQ(ReadFile(out + "/-dash/b.txt"), "b");

  // --help and --version answer wherever they stand, whatever else the line holds.
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{"--help"}, {"--language", "ru", "--help"}, {"--bogus", "-h"}}) {
    const ProgramOutput help = Run(arguments);
    EXPECT_EQ(help.exit_code, 0) << arguments.back();
    EXPECT_TRUE(help.out.starts_with("usage: salvorine-cli")) << help.out;
  }
  const ProgramOutput version = Run({src, "--version", "--mode", "fast"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_TRUE(version.out.starts_with("salvorine-cli ")) << version.out;

  // --help, both man pages, both manuals and the README name the report's columns as the report does.
  std::string columns = ReportText({});
  columns.pop_back();
  std::replace(columns.begin(), columns.end(), '\t', ' ');
  const std::string completion = SALVORINE_COMPLETION_PATH;
  const std::string sources = completion.substr(0, completion.rfind("/packaging/"));
  EXPECT_NE(Run({"--help"}).out.find(columns), std::string::npos) << columns;
  for (const char* document : {"packaging/man/salvorine-cli.1", "packaging/man/salvorine.1", "help/Salvorine.html",
                               "help/Salvorine-ru.html", "README.md"}) {
    EXPECT_NE(ReadFile(sources + "/" + document).find(columns), std::string::npos) << document;
  }

  const ProgramOutput missing = Run({work / "missing", out});
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_EQ(missing.err, "error: " + work / "missing is neither a file nor a folder\n");
  // A save folder inside the selection would copy the copies.
  const ProgramOutput inside = Run({src, work / "src/rescued"});
  EXPECT_EQ(inside.exit_code, 2);
  EXPECT_NE(inside.err.find("inside the selection"), std::string::npos) << inside.err;
  EXPECT_FALSE(std::filesystem::exists(work / "src/rescued"));
}

// File-system errors, the program's own errors and the run's messages all come
// in the chosen language, or the one the locale names; paths are shown as
// absolute paths without "." components.
TEST_F(CliTest, EveryMessageFollowsTheLanguage) {
  WriteFile(work / "src/a.txt", "a");
  WriteFile(work / "blocker", "");
  const std::string src = work / "src";
  struct Case {
    std::vector<std::string> environment;
    std::vector<std::string> arguments;
    std::string expected_error;
  };
  const std::string blocked = work / "blocker/out/";
  const std::vector<Case> cases = {
      {{}, {"--language", "ru", src, work / "blocker/./out"}, "ошибка: Не удаётся создать папку " + blocked + ": "},
      {{"LANG=ru_RU.UTF-8"}, {src, work / "blocker/out"}, "ошибка: Не удаётся создать папку " + blocked + ": "},
      {{"LC_MESSAGES=ru_RU.UTF-8", "LANG=en_GB.UTF-8"},
       {src, work / "blocker/out"},
       "ошибка: Не удаётся создать папку"},
      {{"LC_ALL=C.UTF-8", "LANG=ru_RU.UTF-8"}, {src, work / "blocker/out"}, "error: Cannot create folder " + blocked},
      {{"LANG=ru_RU.UTF-8"}, {"--language", "en", src, work / "blocker/out"}, "error: Cannot create folder"},
      {{}, {"--language", "ru", work / "missing", work / "out"}, "ошибка: " + work / "missing — не файл и не папка\n"},
      {{}, {"--language", "ru", "--report", work / "nowhere/./report.txt", src, work / "out"},
       "ошибка: не удаётся записать отчёт в " + work / "nowhere/report.txt: "},
      {{}, {"--report", work / "nowhere/./report.txt", src, work / "out"},
       "error: cannot write the report to " + work / "nowhere/report.txt: "},
  };
  for (const Case& test : cases) {
    std::vector<std::string> argv = {kCli};
    argv.insert(argv.end(), test.arguments.begin(), test.arguments.end());
    std::vector<std::string> environment = {"TMPDIR=" + work.Path(), "LC_ALL=", "LC_MESSAGES=", "LANG="};
    environment.insert(environment.end(), test.environment.begin(), test.environment.end());
    const ProgramOutput result = RunProgram(argv, environment);
    EXPECT_NE(result.exit_code, 0);
    EXPECT_NE(result.err.find(test.expected_error), std::string::npos) << test.expected_error << "\n" << result.err;
    EXPECT_EQ(result.err.find("/./"), std::string::npos) << result.err;
  }
  // The run's own messages follow the locale as well.
  const ProgramOutput finished =
      RunProgram({kCli, src, work / "saved"}, {"TMPDIR=" + work.Path(), "LC_ALL=", "LANG=ru_RU"});
  EXPECT_EQ(finished.exit_code, 0) << finished.err;
  EXPECT_NE(finished.err.find("Восстановление завершено."), std::string::npos) << finished.err;
}

// What bash offers after the words typed so far, one candidate a line.
std::string Completions(const std::vector<std::string>& words, const std::string& folder) {
  std::string script = "cd \"$1\" && source \"$2\" && COMP_WORDS=(\"$3\"";
  for (std::size_t word = 0; word < words.size(); ++word) script += " \"${" + std::to_string(word + 4) + "}\"";
  script += ") && COMP_CWORD=" + std::to_string(words.size());
  script += " && _salvorine_cli && printf '%s\\n' \"${COMPREPLY[@]}\"";
  std::vector<std::string> argv = {"/bin/bash", "-c", script, "bash", folder, SALVORINE_COMPLETION_PATH, kCli};
  argv.insert(argv.end(), words.begin(), words.end());
  const ProgramOutput result = RunProgram(argv);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  return result.out;
}

TEST_F(CliTest, BashCompletesOptionsModesAndPaths) {
  WriteFile(work / "disc image/a.txt", "a");
  WriteFile(work / "dump.tsv", "");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--"}, "--existing\n--fresh\n--help\n--language\n--mode\n--report\n--retries\n--sector-size\n--version\n"
               "--wait-for-medium\n"},
      {{"--existing", "k"}, "keep-both\n"},
      {{"--mode", ""}, "data\nspeed\nthorough\n"},
      {{"--mode", "=", "th"}, "thorough\n"},
      {{"--language", "r"}, "ru\n"},
      {{"--sector-size", ""}, "\n"},
      {{"--wait-for-medium", ""}, "\n"},
      {{"--report", "du"}, "dump.tsv\n"},
      {{"--fresh", "dis"}, "disc image\n"},
      {{"disc image", "--", "--m"}, "\n"},
  };
  for (const auto& [words, expected] : cases) {
    EXPECT_EQ(Completions(words, work.Path()), expected) << words.front() << " " << words.back();
  }
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
  EXPECT_FALSE(FileExists(work / "out/.salvorine/TMP654"));
}

// The working folder lies on the save disk, inside the save folder's locked
// ".salvorine": a TMPDIR shared with other users (here holding another
// user's link named TMP654) and a home folder the user cannot write to (as a
// full disk would be) play no part, and nothing is written under either.
TEST_F(CliTest, NeitherTmpdirNorTheHomeFolderHoldsTheWorkingFolder) {
  WriteFile(work / "src/a.txt", "a");
  WriteFile(work / "src/b.bin", std::string(100000, 'b'));
  WriteFile(work / "elsewhere/1.txt", "another user's file");
  std::filesystem::create_directories(work / "shared");
  std::filesystem::create_directories(work / "home");
  ASSERT_EQ(::symlink((work / "elsewhere").c_str(), (work / "shared/TMP654").c_str()), 0);
  ASSERT_EQ(::chmod((work / "shared").c_str(), 01777), 0);
  ASSERT_EQ(::chmod((work / "home").c_str(), 0555), 0);
  ASSERT_EQ(::chmod(work.Path().c_str(), 0777), 0);
  const std::vector<std::vector<std::string>> environments = {
      {"TMPDIR=" + work / "shared", "HOME=" + work / "home"},
      {"TMPDIR=", "HOME=" + work / "home", "XDG_CACHE_HOME="},
  };
  for (const std::vector<std::string>& environment : environments) {
    std::filesystem::remove_all(work / "out");
    std::vector<std::string> argv = {kCli, work / "src", work / "out"};
    if (::geteuid() == 0) argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    const ProgramOutput result = RunProgram(argv, environment);
    EXPECT_EQ(result.exit_code, 0) << environment[0] << "\n" << result.err;
    EXPECT_EQ(ReadFile(work / "out/src/b.bin"), std::string(100000, 'b'));
    EXPECT_FALSE(FileExists(work / "out/.salvorine/TMP654"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work / "shared"), {}), 1);
    EXPECT_TRUE(std::filesystem::is_empty(work / "home"));
    EXPECT_EQ(ReadFile(work / "elsewhere/1.txt"), "another user's file");
  }
  // A link planted in place of the working folder is refused, never followed.
  std::filesystem::remove_all(work / "out");
  std::filesystem::create_directories(work / "out/.salvorine");
  ASSERT_EQ(::symlink((work / "elsewhere").c_str(), (work / "out/.salvorine/TMP654").c_str()), 0);
  const ProgramOutput refused = Run({work / "src", work / "out"});
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_NE(refused.err.find("Cannot use the private folder " + work / "out/.salvorine/TMP654 (it must be a folder of "
                                                                       "your own, not a link)"),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work / "elsewhere"), {}), 1);
}

}  // namespace
}  // namespace salvorine::test
