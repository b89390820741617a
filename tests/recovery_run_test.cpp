// The Recover command over real files with a scripted window.
#include "recovery/recovery_run.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "platform/file_system_error.h"
#include "platform/forwarding_file.h"
#include "recovery/damage_report.h"
#include "recovery/map_file.h"
#include "recovery/memory_job_table.h"
#include "recovery/run_summary.h"
#include "tests/support/fakes.h"
#include "tests/support/memory_file.h"
#include "tests/support/temp_folder.h"

namespace salvorine::test {
namespace {

// A file system on a loop device mounted at `mounted` for as long as it
// lives: exFAT through its FUSE driver (no hard links, names folded by case,
// characters it cannot store, times it does not set), or ext4 with small
// inodes (times in whole seconds). Null, with the reason, where this machine
// cannot make one (not root, no mkfs, no loop device).
class LoopMount {
 public:
  enum Kind { kExfat, kExt4WholeSeconds };
  static std::unique_ptr<LoopMount> At(Kind kind, const std::string& image, const std::string& mounted,
                                       std::string& why) {
    std::filesystem::create_directories(mounted);
    const std::string make = kind == kExfat ? "mkfs.exfat " : "mkfs.ext4 -q -F -I 128 ";
    if (::geteuid() != 0 || Shell("truncate -s 16M " + image + " && " + make + image) != 0) {
      why = "needs root and " + make;
      return nullptr;
    }
    const std::string device_file = image + ".device";
    if (std::system(("losetup -f --show " + image + " >" + device_file + " 2>/dev/null").c_str()) != 0) {
      why = "no loop device";
      return nullptr;
    }
    std::string device = ReadFile(device_file);
    device.erase(device.find_last_not_of('\n') + 1);
    if (Shell((kind == kExfat ? "mount.exfat-fuse " : "mount -t ext4 ") + device + " " + mounted) != 0) {
      Shell("losetup -d " + device);
      why = "cannot mount " + image;
      return nullptr;
    }
    return std::unique_ptr<LoopMount>(new LoopMount(mounted, device));
  }
  ~LoopMount() {
    // A device still held by a FUSE driver is detached once the driver lets it go.
    Shell("umount " + mounted_ + "; losetup -d " + device_);
  }
  LoopMount(const LoopMount&) = delete;
  LoopMount& operator=(const LoopMount&) = delete;

 private:
  LoopMount(std::string mounted, std::string device) : mounted_(std::move(mounted)), device_(std::move(device)) {}
  static int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }
  std::string mounted_, device_;
};

struct ExfatMount {
  static std::unique_ptr<LoopMount> At(const std::string& image, const std::string& mounted, std::string& why) {
    return LoopMount::At(LoopMount::kExfat, image, mounted, why);
  }
};

// A source that has worsened since an earlier run: every read that touches
// [start, end) fails, as a scratch across the disc would make it.
class WorsenedSource final : public ForwardingFile {
 public:
  WorsenedSource(std::unique_ptr<File> file, std::int64_t start, std::int64_t end)
      : ForwardingFile(*file), file_(std::move(file)), start_(start), end_(end) {}
  void Seek(std::int64_t position) override {
    position_ = position;
    inner_.Seek(position);
  }
  ReadResult Read(void* buffer, std::size_t count) override {
    if (position_ < end_ && start_ < position_ + static_cast<std::int64_t>(count)) return {false, 0, EIO};
    const ReadResult got = inner_.Read(buffer, count);
    position_ += static_cast<std::int64_t>(got.count);
    return got;
  }
  std::optional<ReadResult> ReadIfReady(void*, std::size_t) override { return std::nullopt; }

 private:
  std::unique_ptr<File> file_;
  std::int64_t position_ = 0, start_, end_;
};

// A tmpfs mounted at `mounted` for as long as it lives: a folder of the save
// folder on another file system. Null where this machine cannot (not root).
class TmpfsMount {
 public:
  static std::unique_ptr<TmpfsMount> At(const std::string& mounted) {
    std::filesystem::create_directories(mounted);
    if (::mount("tmpfs", mounted.c_str(), "tmpfs", 0, "size=16m") != 0) return nullptr;
    return std::unique_ptr<TmpfsMount>(new TmpfsMount(mounted));
  }
  ~TmpfsMount() { ::umount2(mounted_.c_str(), MNT_DETACH); }
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;

 private:
  explicit TmpfsMount(std::string mounted) : mounted_(std::move(mounted)) {}
  std::string mounted_;
};

// The run as the window gives it the Recover command: with what the fake
// window's tree and save-folder box hold at that moment.
class WindowedRun : public salvorine::RecoveryRun {
 public:
  explicit WindowedRun(const RunEnvironment& environment)
      : salvorine::RecoveryRun(environment), window_(dynamic_cast<const FakeWindow&>(environment.window)) {}
  RunOutcome Recover() { return salvorine::RecoveryRun::Recover(window_.Request()); }

 private:
  const FakeWindow& window_;
};

class RecoveryRunTest : public ::testing::Test {
 protected:
  RecoveryRunTest() {
    WriteFile(temp / "src/one.txt", "first file");
    WriteFile(temp / "src/sub/two.bin", std::string(5000, 'x'));
    WriteFile(temp / "src/three", std::string(70000, 'y'));
    window.save_folder = temp / "out";
    window.selected_path = temp / "src";
  }

  RunEnvironment Environment() {
    return RunEnvironment{table, progress, options, messages, dialogs, pump, window, clock};
  }

  // Every byte the map at `map_path` marks finished is in the 70000-byte saved copy of "three".
  static void ExpectSavedCopyTrueToItsMap(const std::string& map_path, const std::string& saved_path) {
    const auto map = ParseMapFile(ReadFile(map_path), 70000);
    ASSERT_TRUE(map);
    const std::string saved = ReadFile(saved_path);
    ASSERT_EQ(saved.size(), 70000u);
    for (const RescueMap::Segment& done : map->SegmentsIn(RescueState::kDone)) {
      const std::size_t lacking = saved.find_first_not_of('y', static_cast<std::size_t>(done.start));
      EXPECT_GE(lacking, static_cast<std::size_t>(done.end)) << "mapped finished, yet zero at " << lacking;
    }
  }

  TempFolder temp;
  ScopedTmpdir tmpdir{temp.Path()};
  MemoryJobTable table;
  RecordingProgress progress;
  Options options;
  MessageTable messages = TestMessages();
  ScriptedDialogs dialogs;
  CallbackPump pump;
  FakeWindow window;
  FakeClock clock;
  WindowedRun run{Environment()};
};

TEST_F(RecoveryRunTest, RecoversEveryFileSavesItUnderTheSaveFolderAndCompletes) {
  ::utimensat(AT_FDCWD, (temp / "src/three").c_str(),
              std::array<timespec, 2>{timespec{0, UTIME_OMIT}, timespec{1000000000, 0}}.data(), 0);
  EXPECT_EQ(run.Recover(), RunOutcome::kCompleted);

  ASSERT_EQ(table.RowCount(), 4);
  EXPECT_EQ(table.Cell(0, 1), temp / "src/one.txt");
  EXPECT_EQ(table.Cell(0, 2), temp / "src/sub/two.bin");
  EXPECT_EQ(table.Cell(0, 3), temp / "src/three");
  EXPECT_EQ(table.Cell(2, 3), "70000 (100%)");
  EXPECT_EQ(table.Cell(3, 3), "0 (0%)");
  // The Total label counts the files done, as the bar does.
  EXPECT_EQ(progress.count_labels, (std::vector<std::string>{"0/3", "1/3", "2/3", "3/3"}));
  EXPECT_EQ(progress.total_percents, (std::vector<std::string>{"0%", "0%", "33%", "67%", "100%", "100%"}));
  EXPECT_EQ(dialogs.information, std::vector<std::string>{"Done."});
  EXPECT_TRUE(run.Idle());
  EXPECT_TRUE(window.controls_enabled);

  EXPECT_EQ(ReadFile(temp / "out/src/one.txt"), "first file");
  EXPECT_EQ(ReadFile(temp / "out/src/sub/two.bin"), std::string(5000, 'x'));
  struct stat saved {};
  ASSERT_EQ(::stat((temp / "out/src/three").c_str(), &saved), 0);
  EXPECT_EQ(saved.st_mtim.tv_sec, 1000000000);
  // The working folder goes with the run: the saved copies are all that is left.
  EXPECT_FALSE(FileExists(temp / "out/.salvorine/TMP654"));
  EXPECT_EQ(saved.st_nlink, 1u);
}

TEST_F(RecoveryRunTest, BusyStateHoldsDuringTheRunOnly) {
  std::vector<bool> enabled_while_running;
  pump.on_pump = [&](int) { enabled_while_running.push_back(window.controls_enabled || run.Idle()); };
  run.Recover();
  ASSERT_FALSE(enabled_while_running.empty());
  EXPECT_EQ(std::count(enabled_while_running.begin(), enabled_while_running.end(), true), 0);
  EXPECT_TRUE(window.controls_enabled);
}

TEST_F(RecoveryRunTest, AnEmptyFolderCompletesAtOnce) {
  window.selected_path = temp / "empty";
  ASSERT_TRUE(std::filesystem::create_directory(window.selected_path));
  EXPECT_EQ(run.Recover(), RunOutcome::kCompleted);
  EXPECT_EQ(table.RowCount(), 1);
  EXPECT_EQ(progress.file_percent, "100%");
  EXPECT_EQ(progress.total_percent, "100%");
  EXPECT_EQ(dialogs.information.size(), 1u);
}

TEST_F(RecoveryRunTest, StopAnsweredNoGoesOnAndYesEndsAtTheNextBlock) {
  dialogs.answers = {false, true};
  pump.on_pump = [&](int) {
    if (progress.file_label == table.Cell(0, 1) && dialogs.questions.size() < 2) run.Stop();
  };
  EXPECT_EQ(run.Recover(), RunOutcome::kEndedEarly);
  EXPECT_EQ(dialogs.questions, (std::vector<std::string>{"Stop?", "Stop?"}));
  EXPECT_TRUE(dialogs.information.empty());  // no completion message
  EXPECT_TRUE(window.controls_enabled);
  EXPECT_EQ(table.Cell(2, 2), "0 (0%)");
  EXPECT_EQ(table.Cell(2, 3), "0 (0%)");
  EXPECT_EQ(table.State(1), RowState::kStopped);
  EXPECT_EQ(table.State(2), RowState::kPending);
  EXPECT_EQ(UnfinishedSummary(table, messages), "1 stopped, 0 bytes not read; 2 not reached");
}

TEST_F(RecoveryRunTest, CloseDuringARunAsksAndCancelKeepsItGoing) {
  dialogs.answers = {false, true};
  std::vector<bool> answers;
  pump.on_pump = [&](int) {
    if (progress.file_label == table.Cell(0, 1) && answers.size() < 2) answers.push_back(run.CanClose());
  };
  EXPECT_EQ(run.Recover(), RunOutcome::kEndedEarly);
  EXPECT_EQ(answers, (std::vector<bool>{false, true}));
  EXPECT_TRUE(run.CanClose());
}

TEST_F(RecoveryRunTest, AStopConfirmedBetweenFilesStopsTheNextRowAtItsFirstBlock) {
  dialogs.answers = {true};
  // The pump after row 1 is done, before row 2 starts.
  pump.on_pump = [&](int) {
    if (table.State(1) == RowState::kSaved && progress.file_label == table.Cell(0, 1) && dialogs.questions.empty()) {
      run.Stop();
    }
  };
  EXPECT_EQ(run.Recover(), RunOutcome::kEndedEarly);
  EXPECT_EQ(table.Cell(2, 1), "10 (100%)");
  EXPECT_EQ(progress.file_label, table.Cell(0, 2));
  EXPECT_EQ(progress.count_label, "1/3");
  EXPECT_FALSE(FileExists(temp / "out/src/sub/two.bin"));  // a copy that read nothing is not saved
}

// Copies already whole are not read again, yet a Stop or a close between
// them still ends the run: no completion box after the window was closed.
TEST_F(RecoveryRunTest, ACloseAmongCopiesAlreadyWholeEndsTheRun) {
  EXPECT_EQ(run.Recover(), RunOutcome::kCompleted);
  dialogs.information.clear();
  dialogs.answers = {true};
  pump.on_pump = [&](int) {
    if (table.State(1) == RowState::kSaved && !run.Idle()) {
      EXPECT_TRUE(run.CanClose());
    }
  };
  EXPECT_EQ(run.Recover(), RunOutcome::kEndedEarly);
  EXPECT_TRUE(dialogs.information.empty());
  EXPECT_EQ(table.State(1), RowState::kSaved);
  EXPECT_EQ(table.State(2), RowState::kPending);
  EXPECT_EQ(ReadFile(temp / "out/src/sub/two.bin"), std::string(5000, 'x'));  // left as it was
}

// Guards a run without a save folder writing wherever the program was started.
// Asking for one (browsing) is the window's: see BrowseWhenRecoverFindsNoSaveFolder.
TEST_F(RecoveryRunTest, EmptySaveFolderStartsNothingAndAGivenOneNeedsNoTrailingSlash) {
  window.save_folder.clear();
  EXPECT_EQ(run.Recover(), RunOutcome::kNotStarted);
  EXPECT_TRUE(progress.count_labels.empty());
  EXPECT_TRUE(window.controls_enabled);
  window.save_folder = temp / "picked";
  EXPECT_EQ(run.Recover(), RunOutcome::kCompleted);
  EXPECT_TRUE(FileExists(temp / "picked/src/one.txt"));
}

TEST_F(RecoveryRunTest, NeverSavesOverTheSource) {
  // Saving into the selection's parent would mirror every file onto itself.
  window.save_folder = temp.Path();
  EXPECT_EQ(run.Recover(), RunOutcome::kEndedEarly);
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_TRUE(dialogs.errors[0].starts_with(temp / "src/one.txt\r")) << dialogs.errors[0];
  EXPECT_EQ(ReadFile(temp / "src/one.txt"), "first file");
  EXPECT_TRUE(run.Idle());
}

TEST_F(RecoveryRunTest, TheSaveTreeNeverLeadsBackIntoTheSource) {
  // A save folder inside the selection is refused before anything is read or written.
  window.save_folder = temp / "src/rescued";
  EXPECT_EQ(run.Recover(), RunOutcome::kRefused);
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_TRUE(dialogs.errors[0].starts_with(temp / "src/rescued/\r")) << dialogs.errors[0];
  EXPECT_FALSE(std::filesystem::exists(temp / "src/rescued"));
  EXPECT_EQ(table.RowCount(), 1);

  // A link below the save folder is never followed: the run ends naming it.
  dialogs.errors.clear();
  window.save_folder = temp / "out";
  std::filesystem::create_directories(temp / "out/src");
  std::filesystem::create_directories(temp / "elsewhere");
  ASSERT_EQ(::symlink((temp / "elsewhere").c_str(), (temp / "out/src/sub").c_str()), 0);
  // What lies behind the link is not taken for a whole copy either, however much it looks like one.
  std::filesystem::copy_file(temp / "src/sub/two.bin", temp / "elsewhere/two.bin",
                             std::filesystem::copy_options::copy_symlinks);
  struct stat source {};
  ASSERT_EQ(::stat((temp / "src/sub/two.bin").c_str(), &source), 0);
  const timespec times[2] = {{0, UTIME_OMIT}, source.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, (temp / "elsewhere/two.bin").c_str(), times, 0), 0);
  EXPECT_EQ(run.Recover(), RunOutcome::kEndedEarly);
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_NE(dialogs.errors[0].find("symbolic link " + temp / "out/src/sub"), std::string::npos) << dialogs.errors[0];
  EXPECT_EQ(std::filesystem::directory_iterator(temp / "elsewhere")->path().filename(), "two.bin");
  EXPECT_EQ(table.State(2), RowState::kUnsaved);
}

TEST_F(RecoveryRunTest, RowStatesSayWhatBecameOfEachFile) {
  // Row 1 saved whole, row 2 damaged, row 3 stopped in its second block.
  RunEnvironment environment = Environment();
  environment.open_source = [&](const std::string& path) -> std::unique_ptr<File> {
    if (!path.ends_with("two.bin")) return OpenRead(path);
    auto damaged = std::make_unique<MemoryFile>(std::vector<unsigned char>(5000, 'x'), path);
    damaged->bad = {{100, 1}};
    return damaged;
  };
  WindowedRun damaged_run(environment);
  dialogs.answers = {true};
  pump.on_pump = [&](int) {
    if (progress.file_label == table.Cell(0, 3) && table.Cell(2, 3) != "0 (0%)") damaged_run.Stop();
  };
  EXPECT_EQ(damaged_run.Recover(), RunOutcome::kEndedEarly);
  EXPECT_EQ(table.State(1), RowState::kSaved);
  EXPECT_EQ(table.State(2), RowState::kDamaged);
  EXPECT_EQ(table.State(3), RowState::kStopped);

  // Copies that are not whole keep a map of their bytes: the damaged one
  // lost its head block; the stopped one is kept as far as it got.
  EXPECT_FALSE(FileExists(temp / "out/.salvorine/maps/src/one.txt.map"));
  const auto damaged = ParseMapFile(ReadFile(temp / "out/.salvorine/maps/src/sub/two.bin.map"), 5000);
  ASSERT_TRUE(damaged);
  EXPECT_EQ(damaged->Total(RescueState::kDone), 4096);
  EXPECT_EQ(damaged->Total(RescueState::kBad), 904);
  EXPECT_EQ(std::filesystem::file_size(temp / "out/src/three"), 70000u);
  struct stat partial {};
  ASSERT_EQ(::stat((temp / "out/src/three").c_str(), &partial), 0);
  EXPECT_EQ(partial.st_mode & 0777, 0600u);  // private until it is finished
  const auto stopped = ParseMapFile(ReadFile(temp / "out/.salvorine/maps/src/three.map"), 70000);
  ASSERT_TRUE(stopped);
  EXPECT_EQ(stopped->Total(RescueState::kDone), 2048);
  EXPECT_EQ(stopped->Total(RescueState::kUntried), 70000 - 2048);
  EXPECT_EQ(UnfinishedSummary(table, messages), "1 stopped, 67 KB not read");
  // The stopped file's unread bytes are counted; every row carries the run's time.
  const std::string report = ReadFile(temp / "out/.salvorine/report.tsv");
  const std::string time = report.substr(report.size() - 21, 20);
  EXPECT_EQ(report,
            "path\tsize\trecovered\tdamaged\tunread\tstate\tcopy\tmap\texisting\ttime\n" +
            temp / "src/one.txt\t10\t10\t0\t0\tok\t" + temp / "out/src/one.txt\t\t\t" + time + "\n" +
            temp / "src/sub/two.bin\t5000\t4096\t904\t0\tdamaged\t" + temp / "out/src/sub/two.bin\t" +
            temp / "out/.salvorine/maps/src/sub/two.bin.map\t\t" + time + "\n" +
            temp / "src/three\t70000\t2048\t0\t67952\tstopped\t" + temp / "out/src/three\t" +
            temp / "out/.salvorine/maps/src/three.map\t\t" + time + "\n");
  EXPECT_TRUE(time.starts_with("20") && time.ends_with("Z")) << time;
  // That time is UTC to the second, its fraction dropped, on any date.
  for (const auto& [since_1970, text] : {std::pair{951868799LL, "2000-02-29T23:59:59Z"},
                                         std::pair{0LL, "1970-01-01T00:00:00Z"},
                                         std::pair{4107542400LL, "2100-03-01T00:00:00Z"}}) {
    const auto when = std::chrono::system_clock::time_point(std::chrono::seconds(since_1970));
    EXPECT_EQ(ReportTime(when + std::chrono::milliseconds(999)), text);
  }

  // Neither copy that is not whole carries the source's time, so without its
  // map (".salvorine" lost, the copies copied elsewhere) neither passes for whole.
  for (const char* name : {"src/sub/two.bin", "src/three"}) {
    struct stat source {}, saved {};
    ASSERT_EQ(::stat((temp / name).c_str(), &source), 0);
    ASSERT_EQ(::stat((temp / ("out/" + std::string(name))).c_str(), &saved), 0);
    EXPECT_NE(saved.st_mtim.tv_sec * 1000000000 + saved.st_mtim.tv_nsec,
              source.st_mtim.tv_sec * 1000000000 + source.st_mtim.tv_nsec)
        << name;
  }
  // Nor can they be told from another file's copies then: both are kept.
  std::filesystem::rename(temp / "out/.salvorine", temp / "lost");
  pump.on_pump = nullptr;
  EXPECT_EQ(run.Recover(), RunOutcome::kCompleted);
  EXPECT_EQ(ReadFile(temp / "out/src/sub/two (2).bin"), std::string(5000, 'x'));
  EXPECT_EQ(ReadFile(temp / "out/src/three (2)"), std::string(70000, 'y'));
  std::filesystem::remove(temp / "out/src/sub/two (2).bin");
  std::filesystem::remove(temp / "out/src/three (2)");

  // A copy that cannot be placed (a folder is in the way) is not saved, and no partial file is left.
  std::filesystem::remove(temp / "out/src/one.txt");
  std::filesystem::create_directories(temp / "out/src/one.txt");
  pump.on_pump = nullptr;
  EXPECT_EQ(run.Recover(), RunOutcome::kEndedEarly);
  EXPECT_EQ(table.State(1), RowState::kUnsaved);
  EXPECT_EQ(table.State(2), RowState::kPending);
  for (const auto& entry : std::filesystem::directory_iterator(temp / "out/src")) {
    EXPECT_FALSE(entry.path().filename().string().starts_with(".salvorine-")) << entry.path();
  }
}

// Every 30 s of a pass, the copy as far as it has come and its map reach the
// save folder, linked there or, on a disk without hard links, moved there
// (never copied: one write per byte, room for one copy), so a crash loses at
// most that much.
TEST_F(RecoveryRunTest, ALongPassBringsItsCopyAndMapToTheSaveFolderAsItGoes) {
  std::vector<std::string> layouts = {temp / "out"};
  std::string why;
  const auto exfat = ExfatMount::At(temp / "exfat.img", temp / "out-copied", why);
  if (exfat) layouts.push_back(temp / "out-copied");
  for (const std::string& working : layouts) {
    window.save_folder = working;
    const std::string saved = window.save_folder + "/src/three";
    std::optional<RescueMap> seen_map;
    std::string seen_copy;
    bool working_copy_seen = false;
    // One second per block; the look is taken 65 blocks into the 70-block file,
    // after the second time the copy was brought to the save folder.
    pump.on_pump = [&](int) {
      clock.Advance(std::chrono::seconds(1));
      if (progress.file_label == table.Cell(0, 3) && table.Cell(2, 3).starts_with("66560 ") && !seen_map) {
        seen_map = ParseMapFile(ReadFile(window.save_folder + "/.salvorine/maps/src/three.map"), 70000);
        seen_copy = ReadFile(saved);
        working_copy_seen = FileExists(run.OpenCopyPath());
      }
    };
    EXPECT_EQ(run.Recover(), RunOutcome::kCompleted);
    ASSERT_TRUE(seen_map) << working;
    // Linked, the copy keeps its working name too; moved, it has left it.
    EXPECT_EQ(working_copy_seen, working == temp / "out") << working;
    const std::int64_t done = seen_map->Total(RescueState::kDone);
    EXPECT_GE(done, 50 * 1024) << working;
    EXPECT_LT(done, 66560) << working;
    ASSERT_EQ(seen_copy.size(), 70000u) << working;
    EXPECT_EQ(seen_copy.substr(0, static_cast<std::size_t>(done)), std::string(static_cast<std::size_t>(done), 'y'))
        << working;
    // Once whole, the copy has no map.
    EXPECT_EQ(ReadFile(saved), std::string(70000, 'y'));
    EXPECT_FALSE(FileExists(window.save_folder + "/.salvorine/maps/src/three.map"));
  }
}

// Where the destination lies on another file system than the working folder
// (a mount inside the save folder), the saved copy is a copy, and its map goes
// to the save folder only after the bytes it marks finished: a run that dies
// while the saved copy is brought up to date leaves a map a later run can trust.
TEST_F(RecoveryRunTest, ACheckpointIntoAnotherFileSystemNeverMapsBytesTheSavedCopyLacks) {
  const auto other = TmpfsMount::At(temp / "out/src");
  if (!other) GTEST_SKIP() << "needs root to mount a tmpfs";
  const std::string map_path = temp / "out/.salvorine/maps/src/three.map";
  bool cut = false;
  // One second per block. Once the first checkpoint placed the copy, the
  // working copy goes away, so the next checkpoint dies half way.
  pump.on_pump = [&](int) {
    clock.Advance(std::chrono::seconds(1));
    if (!cut && progress.file_label == table.Cell(0, 3) && FileExists(map_path)) {
      cut = true;
      std::filesystem::rename(run.OpenCopyPath(), temp / "out/gone");
    }
  };
  EXPECT_THROW(run.Recover(), FileSystemError);
  ASSERT_TRUE(cut);
  ExpectSavedCopyTrueToItsMap(map_path, temp / "out/src/three");
}

// On a save disk without hard links the copy a checkpoint placed is the one
// the pass goes on writing, never copied whole again: a save folder with room
// for one copy, not two (here a size limit), still takes it, true to the row's last map.
TEST_F(RecoveryRunTest, ACopyThatCannotBeSavedAgainLeavesItsCheckpointCopyTrueToItsMap) {
  std::string why;
  const auto exfat = ExfatMount::At(temp / "exfat.img", temp / "out", why);
  if (!exfat) GTEST_SKIP() << why;
  const std::string map_path = temp / "out/.salvorine/maps/src/three.map";
  rlimit unlimited {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &unlimited), 0);
  const auto ignored = std::signal(SIGXFSZ, SIG_IGN);
  dialogs.answers = {true};
  int after_checkpoint = 0;
  // One second per block; 15 blocks after the first checkpoint the run is
  // stopped, and from then no file may grow past 60000 bytes.
  pump.on_pump = [&](int) {
    clock.Advance(std::chrono::seconds(1));
    if (progress.file_label == table.Cell(0, 3) && FileExists(map_path) && ++after_checkpoint == 15) {
      run.Stop();
      const rlimit limited{60000, unlimited.rlim_max};
      ::setrlimit(RLIMIT_FSIZE, &limited);
    }
  };
  EXPECT_EQ(run.Recover(), RunOutcome::kEndedEarly);
  ::setrlimit(RLIMIT_FSIZE, &unlimited);
  std::signal(SIGXFSZ, ignored);
  EXPECT_EQ(table.State(3), RowState::kStopped);
  ExpectSavedCopyTrueToItsMap(map_path, temp / "out/src/three");
}

// The Thorough rescue of a damaged area can take hours: its checkpoints keep
// what it rescued, not only what the first pass read.
TEST_F(RecoveryRunTest, ACheckpointDuringAThoroughRescueKeepsTheSectorsRescuedSoFar) {
  options.mode = kModeThorough;
  MemoryFile* damaged = nullptr;
  // Each opening's file outlives the run, which closes a waiting file and opens it again.
  std::vector<std::unique_ptr<MemoryFile>> openings;
  RunEnvironment environment = Environment();
  environment.open_source = [&](const std::string& path) -> std::unique_ptr<File> {
    if (!path.ends_with("three")) return OpenRead(path);
    auto file = std::make_unique<MemoryFile>(std::vector<unsigned char>(70000, 'y'), path);
    file->flaky = {{{10000, 30000}, 2}};  // the first pass fails on it both ways; the rescue reads it
    damaged = openings.emplace_back(std::move(file)).get();
    return std::make_unique<ForwardingFile>(*damaged);
  };
  WindowedRun thorough_run(environment);
  // Ten seconds per read; the run dies 4 rescued reads into the area, past a checkpoint.
  pump.on_pump = [&](int) {
    clock.Advance(std::chrono::seconds(10));
    if (damaged == nullptr) return;
    const auto inside = std::count_if(damaged->reads.begin(), damaged->reads.end(), [](const auto& read) {
      return read.ok && read.position >= 10000 && read.position + read.count <= 40000;
    });
    if (inside == 4) throw std::runtime_error("killed");
  };
  EXPECT_THROW(thorough_run.Recover(), std::runtime_error);
  const auto map = ParseMapFile(ReadFile(temp / "out/.salvorine/maps/src/three.map"), 70000);
  ASSERT_TRUE(map);
  const auto rescued = map->SegmentsIn(RescueState::kDone, 10000, 40000);
  ASSERT_FALSE(rescued.empty());
  const std::string saved = ReadFile(temp / "out/src/three");
  EXPECT_GE(saved.find_first_not_of('y', static_cast<std::size_t>(rescued.front().start)),
            static_cast<std::size_t>(rescued.front().end));
}

// Thorough takes each step of its rescue in every damaged file before the
// next, costlier step in any; files waiting for their next step are saved
// with their maps, and a Stop ends them as stopped ones.
class DeferredRescueTest : public RecoveryRunTest {
 protected:
  DeferredRescueTest() {
    options.mode = kModeThorough;
    options.sector = 512;
    environment.open_source = [this](const std::string& path) -> std::unique_ptr<File> {
      const bool is_three = path.ends_with("three");
      if (!path.ends_with("two.bin") && !is_three) return OpenRead(path);
      // Three is opened again for each turn of its rescue: its first pass comes at the first opening.
      if (is_three && three_opens++ == 0) reads_of_two_before_three = two_reads.size();
      auto file = std::make_unique<MemoryFile>(
          std::vector<unsigned char>(is_three ? 70000 : 5000, is_three ? 'y' : 'x'), path);
      // two.bin: the sector [2048, 2560) reads between bad ones, too close for a probe: only the scrape finds it.
      file->bad = is_three ? std::vector<ByteRange>{{10000, 20000}} : std::vector<ByteRange>{{1024, 1024}, {2560, 1024}};
      file->on_read = [this, is_three](const MemoryFile::ReadRecord& read) { (is_three ? three_reads : two_reads).push_back(read); };
      return file;
    };
  }

  // Where two.bin's island sector was read, among its reads; -1 when never.
  long IslandRead() const {
    const auto read = std::ranges::find_if(two_reads, [](const auto& r) {
      return r.ok && r.position <= 2048 && r.position + r.count >= 2560;
    });
    return read == two_reads.end() ? -1 : read - two_reads.begin();
  }

  RunEnvironment environment = Environment();
  std::vector<MemoryFile::ReadRecord> two_reads, three_reads;
  std::size_t reads_of_two_before_three = 0;
  int three_opens = 0;
};

TEST_F(DeferredRescueTest, TheScrapeOfOneFileWaitsForTheFirstPassOfTheNext) {
  WindowedRun thorough_run(environment);
  EXPECT_EQ(thorough_run.Recover(), RunOutcome::kCompleted);
  ASSERT_GE(IslandRead(), 0);
  EXPECT_GE(static_cast<std::size_t>(IslandRead()), reads_of_two_before_three);
  // Nor are two.bin's failed blocks gone over sector by sector before three's
  // first pass: its only failed reads by then are those two blocks.
  ASSERT_GT(reads_of_two_before_three, 0u);
  const auto before_three = std::ranges::subrange(two_reads.begin(), two_reads.begin() + static_cast<long>(reads_of_two_before_three));
  EXPECT_EQ(std::ranges::count_if(before_three, [](const auto& read) { return !read.ok; }), 2);
  std::string expected(5000, 'x');
  expected.replace(1024, 1024, 1024, '\0');
  expected.replace(2560, 1024, 1024, '\0');
  EXPECT_EQ(ReadFile(temp / "out/src/sub/two.bin"), expected);
  EXPECT_EQ(table.Cell(2, 2), "5000 (100%)");
  EXPECT_EQ(table.Cell(3, 2), "2048 (41%)");
  EXPECT_EQ(table.State(2), RowState::kDamaged);
  EXPECT_EQ(table.State(3), RowState::kDamaged);
  // The Total bar counts files finished, not files started, and its label with it.
  EXPECT_EQ(progress.total_percents, (std::vector<std::string>{"0%", "0%", "33%", "67%", "100%", "100%"}));
  EXPECT_EQ(progress.count_labels, (std::vector<std::string>{"0/3", "1/3", "2/3", "3/3"}));
}

TEST_F(DeferredRescueTest, AStopEndsTheFilesWaitingForTheirRescueWithTheirMaps) {
  WindowedRun thorough_run(environment);
  dialogs.answers = {true};
  // Stopped while three's rescue goes on: two.bin waits for its scrape.
  pump.on_pump = [&](int) {
    if (three_reads.size() == 20) thorough_run.Stop();
  };
  EXPECT_EQ(thorough_run.Recover(), RunOutcome::kEndedEarly);
  EXPECT_EQ(IslandRead(), -1);
  EXPECT_EQ(table.State(2), RowState::kStopped);
  EXPECT_EQ(table.State(3), RowState::kStopped);
  const auto map = ParseMapFile(ReadFile(temp / "out/.salvorine/maps/src/sub/two.bin.map"), 5000);
  ASSERT_TRUE(map);
  EXPECT_EQ(map->SegmentsIn(RescueState::kUntried, 2048, 2560).size(), 1u);
  const std::string saved = ReadFile(temp / "out/src/sub/two.bin");
  for (const RescueMap::Segment& done : map->SegmentsIn(RescueState::kDone)) {
    EXPECT_EQ(saved.substr(static_cast<std::size_t>(done.start), static_cast<std::size_t>(done.end - done.start)),
              std::string(static_cast<std::size_t>(done.end - done.start), 'x'));
  }
  EXPECT_GT(map->Total(RescueState::kDone), 0);
}

// Waiting files hold nothing open, and their probes take turns by worth
// across files: three's long untried stretch comes before the short one of
// two.bin, the earlier file, and two.bin's turn opens its files again.
TEST_F(DeferredRescueTest, WaitingFilesHoldNoFileAndTheirProbesGoByWorthAcrossFiles) {
  // A source that counts how many of its kind are open.
  class Counted final : public ForwardingFile {
   public:
    Counted(std::unique_ptr<File> file, int& open) : ForwardingFile(*file), owned_(std::move(file)), open_(open) {
      ++open_;
    }
    ~Counted() override { --open_; }

   private:
    std::unique_ptr<File> owned_;
    int& open_;
  };
  int twos_open = 0, twos_opened = 0;
  std::vector<std::pair<char, std::int64_t>> reads;  // which file ('2' or '3') and where, in order
  std::vector<std::string> held_while_three_probed;
  environment.open_source = [&](const std::string& path) -> std::unique_ptr<File> {
    const bool is_two = path.ends_with("two.bin");
    if (!is_two && !path.ends_with("three")) return OpenRead(path);
    auto file = std::make_unique<MemoryFile>(std::vector<unsigned char>(is_two ? 30000 : 70000, 'y'), path);
    file->bad = {is_two ? ByteRange{4096, 14000} : ByteRange{10000, 40000}};
    file->on_read = [&, is_two](const MemoryFile::ReadRecord& read) {
      reads.emplace_back(is_two ? '2' : '3', read.position);
      const bool probe = !is_two && read.position > 12000 && read.position < 48000;
      if (!probe || !held_while_three_probed.empty()) return;
      held_while_three_probed.emplace_back("looked");
      // two.bin's saved copy, under whatever name a descriptor of it was opened by.
      struct stat copy {};
      ASSERT_EQ(::stat((temp / "out/src/sub/two.bin").c_str(), &copy), 0);
      for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        struct stat open {};
        if (::stat(entry.path().c_str(), &open) == 0 && open.st_ino == copy.st_ino && open.st_dev == copy.st_dev) {
          held_while_three_probed.push_back(entry.path());
        }
      }
    };
    if (!is_two) return file;
    ++twos_opened;
    return std::make_unique<Counted>(std::move(file), twos_open);
  };
  bool two_open_while_three_read = false;
  pump.on_pump = [&](int) {
    two_open_while_three_read = two_open_while_three_read || (!reads.empty() && reads.back().first == '3' && twos_open);
  };
  WindowedRun thorough_run(environment);
  EXPECT_EQ(thorough_run.Recover(), RunOutcome::kCompleted);
  EXPECT_EQ(held_while_three_probed, std::vector<std::string>{"looked"});
  EXPECT_FALSE(two_open_while_three_read);
  EXPECT_GE(twos_opened, 2);
  // two.bin's first read after three was opened is a probe, after three's first one.
  const auto three_opened = std::ranges::find(reads, '3', &std::pair<char, std::int64_t>::first);
  const auto twos_probe = std::find_if(three_opened, reads.end(), [](const auto& read) { return read.first == '2'; });
  ASSERT_NE(twos_probe, reads.end());
  EXPECT_TRUE(std::any_of(three_opened, twos_probe, [](const auto& read) {
    return read.second > 12000 && read.second < 48000;
  }));
  EXPECT_EQ(table.State(2), RowState::kDamaged);
  EXPECT_EQ(table.State(3), RowState::kDamaged);
}

// A source that changed while its file waited is not read again: its row
// keeps the copy and map of its last turn, shown stopped, says why, and the
// run goes on. Here it has its size and time, on a medium mounted again
// (another inode): the bytes tell.
TEST_F(DeferredRescueTest, ASourceThatChangedWhileItsFileWaitedIsRefusedItsCopyKept) {
  class Remounted final : public ForwardingFile {
   public:
    explicit Remounted(std::unique_ptr<File> file) : ForwardingFile(*file), owned_(std::move(file)) {}
    FileStatus Status() override {
      FileStatus status = ForwardingFile::Status();
      status.identity.inode += 1;
      return status;
    }

   private:
    std::unique_ptr<File> owned_;
  };
  bool changed = false;
  environment.open_source = [&, open = environment.open_source](const std::string& path) -> std::unique_ptr<File> {
    if (!changed || !path.ends_with("two.bin")) return open(path);
    return std::make_unique<Remounted>(std::make_unique<MemoryFile>(std::vector<unsigned char>(5000, 'z'), path));
  };
  pump.on_pump = [&](int) { changed = changed || !three_reads.empty(); };
  WindowedRun thorough_run(environment);
  EXPECT_EQ(thorough_run.Recover(), RunOutcome::kCompleted);
  EXPECT_EQ(IslandRead(), -1);
  EXPECT_EQ(table.State(2), RowState::kStopped);
  EXPECT_EQ(table.State(3), RowState::kDamaged);
  EXPECT_EQ(dialogs.errors, std::vector<std::string>{table.Cell(0, 2) + "\r" +
                                                     "This file changed while it waited for the rest of its rescue. "
                                                     "Its copy is kept as far as it was read."});
  const auto map = ParseMapFile(ReadFile(temp / "out/.salvorine/maps/src/sub/two.bin.map"), 5000);
  ASSERT_TRUE(map);
  EXPECT_EQ(map->SegmentsIn(RescueState::kUntried, 2048, 2560).size(), 1u);
  EXPECT_GT(map->Total(RescueState::kDone), 0);
  const std::string saved = ReadFile(temp / "out/src/sub/two.bin");
  for (const RescueMap::Segment& done : map->SegmentsIn(RescueState::kDone)) {
    EXPECT_EQ(saved.substr(static_cast<std::size_t>(done.start), static_cast<std::size_t>(done.end - done.start)),
              std::string(static_cast<std::size_t>(done.end - done.start), 'x'));
  }
}

// A turn that ends soon after its file's last checkpoint is not saved at
// once: a Stop during another file's turn saves it. Stopped in two.bin's
// scrape, three's map holds its probes: untried after its edges were
// [10240, 29696), at least two probes of 512 bytes ago.
TEST_F(DeferredRescueTest, AStopSavesWhatTheWaitingFilesReadSinceTheirLastCheckpoint) {
  int twos_opened = 0;
  environment.open_source = [&, open = environment.open_source](const std::string& path) {
    twos_opened += path.ends_with("two.bin");
    return open(path);
  };
  WindowedRun thorough_run(environment);
  dialogs.answers = {true};
  pump.on_pump = [&](int) {
    if (twos_opened == 2) thorough_run.Stop();
  };
  EXPECT_EQ(thorough_run.Recover(), RunOutcome::kEndedEarly);
  EXPECT_EQ(table.State(3), RowState::kStopped);
  const auto map = ParseMapFile(ReadFile(temp / "out/.salvorine/maps/src/three.map"), 70000);
  ASSERT_TRUE(map);
  EXPECT_LE(map->Total(RescueState::kUntried), 29696 - 10240 - 2 * 512);
  ExpectSavedCopyTrueToItsMap(temp / "out/.salvorine/maps/src/three.map", temp / "out/src/three");
}

// A save disk that fails while two.bin waits for its scrape: two.bin's copy and
// map stand from its last step, so the report says stopped and names the map.
TEST_F(DeferredRescueTest, ASaveErrorEndsTheFilesWaitingForTheirRescueWithTheirMaps) {
  WindowedRun thorough_run(environment);
  pump.on_pump = [&](int) {
    if (three_reads.size() == 20) throw FileSystemError(EIO, temp / "out/src/three", "write to");
  };
  EXPECT_THROW(thorough_run.Recover(), FileSystemError);
  EXPECT_EQ(table.State(2), RowState::kStopped);
  const std::vector<ReportRow> rows = ParseReport(ReadFile(temp / "out/.salvorine/report.tsv"));
  ASSERT_EQ(rows.size(), 3u);
  const RowFigures& two = rows[1].figures;
  EXPECT_EQ(two.state, RowState::kStopped);
  EXPECT_EQ(rows[1].map_path, temp / "out/.salvorine/maps/src/sub/two.bin.map");
  EXPECT_TRUE(FileExists(rows[1].map_path));
  EXPECT_GT(two.unread, 0);
  EXPECT_EQ(two.recovered + two.damaged + two.unread, two.size);
}

// The medium goes away while "three" is read and two.bin waits for its scrape:
// the run waits, looking for it through the window's pump.
class MediumGoneTest : public DeferredRescueTest {
 protected:
  // A source whose reads fail as a FUSE mount's do once its daemon is gone.
  class Pullable final : public ForwardingFile {
   public:
    Pullable(std::unique_ptr<File> file, const bool& gone) : ForwardingFile(*file), owned_(std::move(file)), gone_(gone) {}
    ReadResult Read(void* buffer, std::size_t count) override {
      return gone_ ? ReadResult{false, 0, ENOTCONN} : inner_.Read(buffer, count);
    }

   private:
    std::unique_ptr<File> owned_;
    const bool& gone_;
  };

  MediumGoneTest() {
    environment.open_source = [this, open = environment.open_source](const std::string& path) -> std::unique_ptr<File> {
      if (gone) throw FileSystemError(ENOTCONN, path, "open");
      return std::make_unique<Pullable>(open(path), gone);
    };
    environment.pause = [this](Clock::Duration span) { clock.Advance(span); };
    pump.on_pump = [this](int) {
      if (!pulled && pull_now()) gone = pulled = true;
      if (gone && !progress.notices.empty()) on_wait();
    };
  }

  bool gone = false, pulled = false;
  std::function<bool()> pull_now = [this] { return three_reads.size() == 20; };  // inside three's pass
  std::function<void()> on_wait;
};

TEST_F(MediumGoneTest, AStopEndsTheWaitAndTheRowsItHeldAreStoppedWithTheirMaps) {
  WindowedRun waiting_run(environment);
  dialogs.answers = {true};
  on_wait = [&] { waiting_run.Stop(); };
  EXPECT_EQ(waiting_run.Recover(), RunOutcome::kEndedEarly);
  EXPECT_EQ(progress.notices, std::vector<std::string>{"The medium is gone: waiting for it to come back (Stop to end)"});
  for (const int row : {2, 3}) {
    EXPECT_EQ(table.State(row), RowState::kStopped) << row;
    const RowFigures& figures = table.Figures(row);
    EXPECT_EQ(figures.recovered + figures.damaged + figures.unread, figures.size) << row;
  }
  // "three" keeps what it read, and the reads that failed once the medium was gone marked nothing bad.
  ExpectSavedCopyTrueToItsMap(temp / "out/.salvorine/maps/src/three.map", temp / "out/src/three");
  const auto map = ParseMapFile(ReadFile(temp / "out/.salvorine/maps/src/three.map"), 70000);
  ASSERT_TRUE(map);
  EXPECT_GT(map->Total(RescueState::kDone), 0);
  EXPECT_GT(map->Total(RescueState::kUntried), 0);
  EXPECT_LE(map->Total(RescueState::kBad), 20000 + 2 * 1024);
}

TEST_F(MediumGoneTest, TheSameMediumBackLetsTheRunGoOnToTheBytesOfAnUninterruptedOne) {
  pulled = true;
  window.save_folder = temp / "whole";
  ASSERT_EQ(WindowedRun(environment).Recover(), RunOutcome::kCompleted);
  const std::vector<std::string> whole_table{table.Cell(2, 2), table.Cell(3, 2), table.Cell(2, 3), table.Cell(3, 3)};
  on_wait = [&] { gone = false; };
  // Pulled inside three's pass, before three is opened (two.bin waiting already), and inside a turn of three's probes.
  const std::function<bool()> moments[] = {
      pull_now, [&] { return table.State(2) == RowState::kDamaged && three_reads.empty(); },
      [&] { return !three_reads.empty() && three_reads.back().position > 11000 && three_reads.back().position < 29000; }};
  for (const std::function<bool()>& moment : moments) {
    pull_now = moment;
    pulled = false;
    three_reads.clear();
    progress.notices.clear();
    const std::string out = temp / ("out" + std::to_string(&moment - moments));
    window.save_folder = out;
    WindowedRun waiting_run(environment);
    EXPECT_EQ(waiting_run.Recover(), RunOutcome::kCompleted);
    EXPECT_EQ(progress.notices.size(), 1u);
    for (const char* name : {"src/sub/two.bin", "src/three"}) {
      const std::string saved = ReadFile(out + "/" + name);
      const std::string whole = ReadFile(temp / ("whole/" + std::string(name)));
      EXPECT_TRUE(saved == whole) << name << ": zeros from " << saved.find('\0') << " to " << saved.rfind('\0')
                                  << " instead of " << whole.find('\0') << " to " << whole.rfind('\0');
    }
    EXPECT_EQ((std::vector<std::string>{table.Cell(2, 2), table.Cell(3, 2), table.Cell(2, 3), table.Cell(3, 3)}),
              whole_table);
    EXPECT_EQ(table.State(2), RowState::kDamaged);
    EXPECT_EQ(table.State(3), RowState::kDamaged);
  }
}

// However the run ends while a damaged file waits for its rescue (Skip File,
// Stop, a file-system error), every row's recovered, damaged and unread bytes
// add up to its size, in the table and the report alike, the unfinished
// summary counts what was never read, and every row whose map stands names it.
TEST_F(DeferredRescueTest, FiguresAddUpAndMapsAreNamedAtEveryEnd) {
  enum class End { kSkip, kStop, kError };
  for (const End end : {End::kSkip, End::kStop, End::kError}) {
    SCOPED_TRACE(static_cast<int>(end));
    std::filesystem::remove_all(temp / "out");
    WindowedRun thorough_run(environment);
    dialogs.answers = {true};
    three_reads.clear();
    bool ended = false, checkpointed = false;
    pump.on_pump = [&](int) {
      // Past a checkpoint interval: three's copy and map reach the save folder.
      if (end == End::kError && !three_reads.empty() && !std::exchange(checkpointed, true)) {
        clock.Advance(std::chrono::seconds(31));
      }
      if (three_reads.size() != 20 || std::exchange(ended, true)) return;
      if (end == End::kSkip) thorough_run.Skip();
      if (end == End::kStop) thorough_run.Stop();
      if (end == End::kError) throw FileSystemError(EIO, temp / "out/src", "write to");
    };
    if (end == End::kError) {
      EXPECT_THROW(thorough_run.Recover(), FileSystemError);
    } else {
      thorough_run.Recover();
    }
    pump.on_pump = nullptr;
    const std::vector<ReportRow> report = ParseReport(ReadFile(temp / "out/.salvorine/report.tsv"));
    ASSERT_EQ(report.size(), 3u);
    std::int64_t unread = 0;
    for (int row = 1; row <= 3; ++row) {
      const RowFigures& figures = table.Figures(row);
      const ReportRow& line = report[static_cast<std::size_t>(row - 1)];
      EXPECT_EQ(figures.recovered + figures.damaged + figures.unread, figures.size) << row;
      EXPECT_EQ(line.figures.recovered + line.figures.damaged + line.figures.unread, line.figures.size) << row;
      EXPECT_EQ(line.figures.unread, figures.unread) << row;
      if (figures.state != RowState::kPending && figures.state != RowState::kUnsaved) {
        EXPECT_EQ(figures.completed, figures.recovered + figures.damaged) << row;
      }
      if (figures.state == RowState::kStopped || figures.state == RowState::kSkipped) unread += figures.unread;
      const std::string map = temp / ("out/.salvorine/maps" + line.path.substr(temp.Path().size()) + ".map");
      EXPECT_EQ(line.map_path, FileExists(map) ? map : "") << row;
    }
    // Skipped early in its first pass, three has bytes never tried.
    if (end == End::kSkip) {
      EXPECT_EQ(table.State(3), RowState::kSkipped);
      EXPECT_GT(table.Figures(3).unread, 0);
    }
    EXPECT_EQ(UnfinishedSummary(table, messages).empty(), unread == 0) << UnfinishedSummary(table, messages);
    // The file waiting for its scrape keeps its map, and the report says so.
    if (end != End::kSkip) {
      EXPECT_FALSE(report[1].map_path.empty());
    }
    // So does the file being read when an error ended the run, its copy checkpointed.
    if (end == End::kError) {
      EXPECT_FALSE(report[2].map_path.empty());
    }
  }
}

// A copy that is not whole is taken as whole later when it has the source's
// size and time and no map: it must never stand like that, even when its map
// cannot be saved (here a file stands where its maps' folder would be).
TEST_F(RecoveryRunTest, ADamagedCopyWhoseMapCannotBeSavedIsNotTakenAsWholeLater) {
  const std::string name = std::string(252, 'n');
  WriteFile(temp / ("src/" + name), std::string(5000, 'x'));
  WriteFile(temp / "out/.salvorine/maps/src", "not a folder");
  RunEnvironment environment = Environment();
  environment.open_source = [&](const std::string& path) -> std::unique_ptr<File> {
    if (!path.ends_with(name)) return OpenRead(path);
    auto damaged = std::make_unique<MemoryFile>(std::vector<unsigned char>(5000, 'x'), path);
    damaged->bad = {{100, 1}};
    return damaged;
  };
  WindowedRun damaged_run(environment);
  EXPECT_EQ(damaged_run.Recover(), RunOutcome::kCompleted);
  ASSERT_EQ(table.Cell(0, 1), temp / ("src/" + name));
  EXPECT_EQ(table.State(1), RowState::kDamaged);
  EXPECT_EQ(dialogs.errors.size(), 1u);  // the map that could not be saved is named
  EXPECT_EQ(damaged_run.Recover(), RunOutcome::kCompleted);
  EXPECT_EQ(table.State(1), RowState::kDamaged);
  EXPECT_EQ(table.Cell(3, 1), "904 (18%)");
}

TEST_F(RecoveryRunTest, CopiesArePrivateWhileWrittenThenTakeTheSourcePermissions) {
  ASSERT_EQ(::chmod((temp / "src/one.txt").c_str(), 0600), 0);
  ASSERT_EQ(::chmod((temp / "src/three").c_str(), 0666), 0);
  ASSERT_EQ(::chmod((temp / "src/sub/two.bin").c_str(), 0444), 0);
  ASSERT_EQ(::chmod((temp / "src/sub").c_str(), 0750), 0);
  const mode_t saved_umask = ::umask(022);
  std::vector<unsigned> working_modes;
  ino_t working_three = 0;
  pump.on_pump = [&](int) {
    struct stat status {};
    if (!run.OpenCopyPath().empty() && ::stat(run.OpenCopyPath().c_str(), &status) == 0) {
      working_modes.push_back(status.st_mode & 0777);
      if (progress.file_label == table.Cell(0, 3)) working_three = status.st_ino;
    }
  };
  EXPECT_EQ(run.Recover(), RunOutcome::kCompleted);
  ::umask(saved_umask);
  EXPECT_FALSE(working_modes.empty());
  EXPECT_EQ(std::count(working_modes.begin(), working_modes.end(), 0600u), std::ssize(working_modes));
  const auto mode = [&](const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::stat((temp / path).c_str(), &status), 0) << path;
    return std::pair{status.st_mode & 0777, status.st_ino};
  };
  EXPECT_EQ(mode("out/src/one.txt").first, 0600u);
  EXPECT_EQ(mode("out/src/three").first, 0644u);
  // A read-only disc's file is saved as the user's own: its owner can write it.
  EXPECT_EQ(mode("out/src/sub/two.bin").first, 0644u);
  EXPECT_EQ(mode("out/src/sub").first, 0750u);
  // One write per byte: the saved copy is the working copy, linked.
  EXPECT_EQ(mode("out/src/three").second, working_three);
}

// A file may change between the listing and its turn: what it holds when it
// is opened decides whether its copy is whole and needs a map.
TEST_F(RecoveryRunTest, AFileThatGrewSinceTheListingKeepsTheMapOfItsDamage) {
  WriteFile(temp / "src/three", std::string(68 * 1024, 'y'));
  RunEnvironment environment = Environment();
  environment.open_source = [&](const std::string& path) -> std::unique_ptr<File> {
    if (!path.ends_with("three")) return OpenRead(path);
    auto grown = std::make_unique<MemoryFile>(std::vector<unsigned char>(69 * 1024, 'y'), path);
    grown->bad = {{68 * 1024, 1024}};  // the block it grew by does not read
    return grown;
  };
  WindowedRun grown_run(environment);
  EXPECT_EQ(grown_run.Recover(), RunOutcome::kCompleted);
  EXPECT_EQ(table.State(3), RowState::kDamaged);
  EXPECT_TRUE(FileExists(temp / "out/.salvorine/maps/src/three.map"));
  EXPECT_EQ(grown_run.Recover(), RunOutcome::kCompleted);
  EXPECT_EQ(table.State(3), RowState::kDamaged);
}

// A run over, the save folder's medium can be unmounted: the window holds nothing open there.
TEST_F(RecoveryRunTest, AFinishedRunHoldsNothingOpenInTheSaveFolder) {
  const auto open_below = [](const std::string& folder) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
      std::error_code error;
      const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
      if (!error && (target == folder || target.starts_with(folder + "/"))) ++count;
    }
    return count;
  };
  EXPECT_EQ(run.Recover(), RunOutcome::kCompleted);
  EXPECT_EQ(open_below(temp / "out"), 0);
  std::filesystem::remove_all(temp / "out/src");
  dialogs.answers = {true};
  pump.on_pump = [&](int) { run.Stop(); };
  EXPECT_EQ(run.Recover(), RunOutcome::kEndedEarly);
  EXPECT_EQ(open_below(temp / "out"), 0);
}

// An earlier copy is never lost to a run that read nothing of it, and stray
// entries in .salvorine/ do not end runs that look for earlier maps there.
TEST_F(RecoveryRunTest, EarlierCopiesSurviveAnEmptyStopAndStrayEntries) {
  ASSERT_EQ(run.Recover(), RunOutcome::kCompleted);
  options.continue_copies = false;
  dialogs.answers = {true};
  pump.calls = 0;
  pump.on_pump = [&](int) {
    // During the first file's pre-fill, the first block of the run.
    if (progress.file_label == table.Cell(0, 1) && dialogs.questions.empty()) run.Stop();
  };
  EXPECT_EQ(run.Recover(), RunOutcome::kEndedEarly);
  EXPECT_EQ(table.State(1), RowState::kStopped);
  EXPECT_EQ(ReadFile(temp / "out/src/one.txt"), "first file");
  EXPECT_FALSE(FileExists(temp / "out/.salvorine/maps/src/one.txt.map"));

  options.continue_copies = true;
  pump.on_pump = nullptr;
  WriteFile(temp / "out/.salvorine/maps/src", "not a folder");
  EXPECT_EQ(run.Recover(), RunOutcome::kCompleted);
  EXPECT_EQ(table.State(3), RowState::kSaved);
}

// Camera cards reuse names: a copy at a destination that is not this file's
// (another size, or other bytes) is never replaced without asking, and the
// answer, once given for all, holds for the rest of the run.
TEST_F(RecoveryRunTest, AnotherFilesCopyIsReplacedOrSkippedOnlyAsTheUserChooses) {
  ASSERT_EQ(run.Recover(), RunOutcome::kCompleted);
  WriteFile(temp / "src/one.txt", "the second card's, longer");
  WriteFile(temp / "src/sub/two.bin", std::string(5000, 'z'));
  WriteFile(temp / "src/three", std::string(70000, 'w'));
  dialogs.existing_answers = {{ExistingCopy::kSkip, false}, {ExistingCopy::kReplace, true}};
  EXPECT_EQ(run.Recover(), RunOutcome::kCompleted);
  ASSERT_EQ(dialogs.existing_questions.size(), 2u);
  EXPECT_EQ(dialogs.existing_questions[0].text,
            temp / "out/src/one.txt\rThis name already holds a copy of another file. Replace it, keep both, or skip "
                   "this file?");
  EXPECT_EQ(dialogs.existing_questions[0].keep_both, "Keep both");
  EXPECT_EQ(table.State(1), RowState::kUnsaved);
  EXPECT_EQ(ReadFile(temp / "out/src/one.txt"), "first file");
  EXPECT_EQ(ReadFile(temp / "out/src/sub/two.bin"), std::string(5000, 'z'));
  EXPECT_EQ(ReadFile(temp / "out/src/three"), std::string(70000, 'w'));
  // The report describes each copy in the save folder once: the copy a
  // skipped file left standing keeps its line, replaced copies get new ones.
  const auto copies_described = [&] {
    std::multiset<std::string> described;
    for (const ReportRow& line : ParseReport(ReadFile(temp / "out/.salvorine/report.tsv"))) {
      if (!line.copy_path.empty()) described.insert(line.copy_path);
    }
    return described;
  };
  const std::string report = ReadFile(temp / "out/.salvorine/report.tsv");
  EXPECT_NE(report.find(temp / "src/one.txt\t10\t10\t0\t0\tok\t" + temp / "out/src/one.txt\t\t\t"), std::string::npos)
      << report;
  EXPECT_NE(report.find(temp / "src/one.txt\t25\t0\t0\t25\tunsaved\t\t\tskipped\t"), std::string::npos) << report;
  EXPECT_NE(report.find("\tok\t" + temp / "out/src/three\t\treplaced\t"), std::string::npos) << report;
  EXPECT_EQ(copies_described(), (std::multiset<std::string>{temp / "out/src/one.txt", temp / "out/src/sub/two.bin",
                                                            temp / "out/src/three"}));


  // A file that takes a row's name after the row looked (another program's)
  // is not replaced either: that row ends unsaved, saying so, and the run goes on.
  window.save_folder = temp / "out-taken";
  const std::string taken = temp / "out-taken/src/one.txt";
  pump.on_pump = [&](int) {
    if (progress.file_label == temp / "src/one.txt" && !std::filesystem::exists(taken)) WriteFile(taken, "another's");
  };
  dialogs.errors.clear();
  EXPECT_EQ(run.Recover(), RunOutcome::kCompleted);
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_TRUE(dialogs.errors[0].starts_with(taken + "\rAnother file of this run was saved under this name"))
      << dialogs.errors[0];
  EXPECT_EQ(ReadFile(taken), "another's");
  EXPECT_EQ(ReadFile(temp / "out-taken/src/three"), std::string(70000, 'w'));
  EXPECT_EQ(dialogs.existing_questions.size(), 2u);
  window.save_folder = temp / "out";
  pump.on_pump = nullptr;

  // The same card at another mount point: its lines give way to the new ones
  // of the same copies, and the copy kept beside another gets a line of its own.
  std::filesystem::create_directories(temp / "card");
  std::filesystem::rename(temp / "src", temp / "card/src");
  window.selected_path = temp / "card/src";
  dialogs.existing_answers = {{ExistingCopy::kKeepBoth, true}};
  EXPECT_EQ(run.Recover(), RunOutcome::kCompleted);
  EXPECT_EQ(copies_described(), (std::multiset<std::string>{temp / "out/src/one.txt", temp / "out/src/one (2).txt",
                                                            temp / "out/src/sub/two.bin", temp / "out/src/three"}));
  const std::string moved = ReadFile(temp / "out/.salvorine/report.tsv");
  EXPECT_EQ(moved.find(temp / "src/three\t"), std::string::npos) << moved;
  // After the run, the copy kept beside another is still found under its numbered name; the others where they mirror.
  EXPECT_EQ(run.CopyPathOf(1), temp / "out/src/one (2).txt");
  EXPECT_EQ(run.CopyPathOf(3), temp / "out/src/three");
}

// A save disk with other rules (exFAT, through its FUSE driver, on a loop
// device): a name it folds onto another row's copy (upper and lower case of
// any alphabet, in a folder that held files before the run and in one the run
// made), the same name in folders it takes for one (made by the run or there
// before it), and a name it cannot store, each lose only their own file, said
// for that file; no row replaces another row's copy, and the run goes on. A
// name it folds onto a file that was there before the run is asked about as that file.
TEST_F(RecoveryRunTest, ASaveDiskWithOtherNameRulesLosesOnlyTheFilesItCannotName) {
  const std::string mounted = temp / "out";
  std::string why;
  const auto exfat = ExfatMount::At(temp / "exfat.img", mounted, why);
  if (!exfat) GTEST_SKIP() << why;
  WriteFile(mounted + "/src/old.txt", "there before the run");
  WriteFile(temp / "src/OLD.txt", "replaces the file there before the run");
  // Replace for any file wrongly taken for one there before the run, too.
  dialogs.existing_answers = {{ExistingCopy::kReplace, false}, {ExistingCopy::kReplace, false}};
  WriteFile(temp / "src/IMG.JPG", std::string(5000, 'a'));
  WriteFile(temp / "src/img.jpg", std::string(6000, 'b'));
  WriteFile(temp / "src/a:b.txt", "colon");
  WriteFile(temp / "src/\xc3\x89t\xc3\xa9.txt", std::string(3000, 'E'));  // Été.txt
  WriteFile(temp / "src/\xc3\xa9t\xc3\xa9.txt", std::string(4000, 'e'));  // été.txt
  WriteFile(temp / "src/sub/\xd0\x96.txt", std::string(2000, 'Z'));         // Ж.txt, in a folder the run makes
  WriteFile(temp / "src/sub/\xd0\xb6.txt", std::string(1000, 'z'));         // ж.txt
  WriteFile(temp / "src/Photos/a.jpg", std::string(7000, 'P'));              // folders the disk takes for one
  WriteFile(temp / "src/photos/a.jpg", std::string(8000, 'p'));
  WriteFile(mounted + "/src/Music/old.mp3", "there before the run");  // and one there before, spelled otherwise
  WriteFile(temp / "src/MUSIC/b.mp3", std::string(9000, 'M'));
  WriteFile(temp / "src/Music/b.mp3", std::string(9500, 'm'));
  EXPECT_EQ(run.Recover(), RunOutcome::kCompleted);
  // Each row whose name the disk took for another's ends unsaved with its own message; the others are saved.
  const std::map<std::string, std::string> lost = {
      {"a:b.txt", "The save disk cannot store this name"},
      {"img.jpg", "Another file of this run was saved under this name"},
      {"\xc3\xa9t\xc3\xa9.txt", "Another file of this run was saved under this name"},
      {"sub/\xd0\xb6.txt", "Another file of this run was saved under this name"},
      {"photos/a.jpg", "Another file of this run was saved under this name"},
      {"Music/b.mp3", "Another file of this run was saved under this name"}};
  std::size_t shown = 0;
  for (int row = 1; row < table.RowCount(); ++row) {
    const std::string relative = table.Cell(0, row).substr((temp / "src/").size());
    const auto message = lost.find(relative);
    EXPECT_EQ(table.State(row), message == lost.end() ? RowState::kSaved : RowState::kUnsaved) << relative;
    if (message == lost.end()) continue;
    const std::string error = shown < dialogs.errors.size() ? dialogs.errors[shown++] : "(none)";
    EXPECT_TRUE(error.starts_with(mounted + "/src/" + relative + "\r" + message->second)) << error;
  }
  EXPECT_EQ(shown, dialogs.errors.size());
  EXPECT_EQ(ReadFile(mounted + "/src/IMG.JPG"), std::string(5000, 'a'));
  EXPECT_EQ(ReadFile(mounted + "/src/\xc3\x89t\xc3\xa9.txt"), std::string(3000, 'E'));
  EXPECT_EQ(ReadFile(mounted + "/src/sub/\xd0\x96.txt"), std::string(2000, 'Z'));
  EXPECT_EQ(ReadFile(mounted + "/src/Photos/a.jpg"), std::string(7000, 'P'));
  EXPECT_EQ(ReadFile(mounted + "/src/Music/b.mp3"), std::string(9000, 'M'));
  ASSERT_EQ(dialogs.existing_questions.size(), 1u);
  EXPECT_TRUE(dialogs.existing_questions[0].text.starts_with(mounted + "/src/OLD.txt\r"));
  EXPECT_EQ(ReadFile(mounted + "/src/OLD.txt"), "replaces the file there before the run");
  EXPECT_EQ(ReadFile(mounted + "/src/three"), std::string(70000, 'y'));
}

// A later run over a worse medium never lowers what the save folder holds.
// A whole copy is known by the save folder's record, whatever the save disk
// does with times (exFAT ignores them, small-inode ext4 rounds them to the
// second); a copy no record vouches for (a kill came before the record) or
// one read again from scratch keeps every byte it had where the source no
// longer reads.
TEST_F(RecoveryRunTest, ALaterRunOnAWorseMediumNeverLowersASavedCopy) {
  struct Case {
    const char* name;
    std::optional<LoopMount::Kind> disk;
    bool killed_before_record;
    bool fresh;
    RowState state;
  };
  const Case cases[] = {
      {"exFAT, which keeps no time", LoopMount::kExfat, false, false, RowState::kSaved},
      {"ext4 with whole-second times", LoopMount::kExt4WholeSeconds, false, false, RowState::kSaved},
      {"killed before the record", std::nullopt, true, false, RowState::kDamaged},
      {"started afresh", std::nullopt, false, true, RowState::kSaved},
  };
  const std::string three = temp / "src/three";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TempFolder save;
    std::unique_ptr<LoopMount> disk;
    if (c.disk) {
      std::string why;
      disk = LoopMount::At(*c.disk, save / "img", save / "out", why);
      if (!disk) GTEST_SKIP() << why;
    }
    window.save_folder = save / "out";
    options.continue_copies = true;
    ASSERT_EQ(run.Recover(), RunOutcome::kCompleted);
    const std::string saved = save / "out/src/three";
    if (c.killed_before_record) {
      std::filesystem::remove(save / "out/.salvorine/whole.tsv");
      ::utimensat(AT_FDCWD, saved.c_str(), nullptr, 0);
    }

    RunEnvironment worse = Environment();
    worse.open_source = [&](const std::string& path) -> std::unique_ptr<File> {
      if (path == three) return std::make_unique<WorsenedSource>(OpenRead(path), 20000, 40000);
      return OpenRead(path);
    };
    WindowedRun later(worse);
    options.continue_copies = !c.fresh;
    EXPECT_EQ(later.Recover(), RunOutcome::kCompleted);
    const std::string kept = ReadFile(saved);
    EXPECT_EQ(kept.size(), 70000u);
    EXPECT_EQ(kept.find_first_not_of('y'), std::string::npos);
    int row = 1;
    while (row < table.RowCount() && table.Cell(0, row) != three) ++row;
    ASSERT_LT(row, table.RowCount());
    EXPECT_EQ(table.State(row), c.state);
  }
}

// Another disc with the same names, sizes and times (a rewritten one) never
// has its bytes mixed into an earlier copy: samples spread over what the map
// marks finished tell a copy whose middle differs, and a copy no sample of
// which the source still reads is kept as it is, the new copy beside it.
TEST_F(RecoveryRunTest, AnEarlierCopyIsContinuedOnlyWhenItsSamplesAreThisFilesBytes) {
  struct Case {
    const char* name;
    std::string earlier;
    std::int64_t unreadable_to;  // the source reads nothing before this
    std::size_t questions;
  };
  const std::string other_middle = std::string(8192, 'y') + std::string(70000 - 2 * 8192, 'z') + std::string(8192, 'y');
  const Case cases[] = {
      {"the same ends, another middle", other_middle, 0, 1},
      {"no sample reads", std::string(70000, 'z'), 70000, 0},
  };
  const std::string three = temp / "src/three";
  FileStatus source;
  {
    const std::unique_ptr<File> file = OpenRead(three);
    source = file->Status();
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TempFolder save;
    window.save_folder = save / "out";
    WriteFile(save / "out/src/three", c.earlier);
    RescueMap map(0, 70000);
    map.Set(0, 70000, RescueState::kDone);
    map.Set(30000, 31000, RescueState::kBad);
    WriteFile(save / "out/.salvorine/maps/src/three.map", MapFileText(map, false, &source));
    dialogs.existing_questions.clear();
    dialogs.existing_answers = {{ExistingCopy::kKeepBoth, false}};
    RunEnvironment environment = Environment();
    environment.open_source = [&](const std::string& path) -> std::unique_ptr<File> {
      if (path == three) return std::make_unique<WorsenedSource>(OpenRead(path), 0, c.unreadable_to);
      return OpenRead(path);
    };
    WindowedRun later(environment);
    later.Recover();
    EXPECT_EQ(dialogs.existing_questions.size(), c.questions);
    EXPECT_TRUE(ReadFile(save / "out/src/three") == c.earlier);
    EXPECT_TRUE(FileExists(save / "out/src/three (2)"));
  }
}

// One run at a time per save folder: a second one, here starting afresh while
// the first runs, says the folder is in use and reads and writes nothing.
TEST_F(RecoveryRunTest, ASecondRunIntoABusySaveFolderSaysSoAndTouchesNothing) {
  MemoryJobTable second_table;
  ScriptedDialogs second_dialogs;
  Options fresh;
  fresh.continue_copies = false;
  CallbackPump second_pump;
  RunEnvironment second{second_table, progress, fresh, messages, second_dialogs, second_pump, window, clock};
  std::optional<RunOutcome> second_outcome;
  pump.on_pump = [&](int) {
    if (progress.file_label == table.Cell(0, 3) && !second_outcome) second_outcome = WindowedRun(second).Recover();
  };
  EXPECT_EQ(run.Recover(), RunOutcome::kCompleted);
  ASSERT_TRUE(second_outcome);
  EXPECT_EQ(*second_outcome, RunOutcome::kSaveFolderInUse);
  ASSERT_EQ(second_dialogs.errors.size(), 1u);
  EXPECT_NE(second_dialogs.errors[0].find("Another run is saving into this folder"), std::string::npos)
      << second_dialogs.errors[0];
  EXPECT_EQ(second_table.RowCount(), 1);
  EXPECT_EQ(ReadFile(temp / "out/src/three"), std::string(70000, 'y'));
  // Once the first run is over, the folder is free again.
  EXPECT_EQ(WindowedRun(second).Recover(), RunOutcome::kCompleted);
}

// A snapshot of the save folder made with hard links (cp -al) shares the
// copies' bytes: continuing a copy leaves the snapshot's as they were.
TEST_F(RecoveryRunTest, ASnapshotMadeWithHardLinksKeepsItsBytesWhenACopyIsContinued) {
  dialogs.answers = {true};
  pump.on_pump = [&](int) {
    if (progress.file_label == table.Cell(0, 3) && table.Cell(2, 3) != "0 (0%)") run.Stop();
  };
  ASSERT_EQ(run.Recover(), RunOutcome::kEndedEarly);
  const std::string stopped = ReadFile(temp / "out/src/three");
  ASSERT_NE(stopped, std::string(70000, 'y'));
  std::filesystem::copy(temp / "out/src", temp / "snapshot",
                        std::filesystem::copy_options::recursive | std::filesystem::copy_options::create_hard_links);
  pump.on_pump = nullptr;
  EXPECT_EQ(run.Recover(), RunOutcome::kCompleted);
  EXPECT_EQ(table.State(3), RowState::kSaved);
  EXPECT_EQ(ReadFile(temp / "out/src/three"), std::string(70000, 'y'));
  EXPECT_EQ(ReadFile(temp / "snapshot/three"), stopped);
}

TEST_F(RecoveryRunTest, AFileSystemErrorMidRunRestoresTheIdleStateAndPropagates) {
  // Once the first file is saved, the disk fails.
  pump.on_pump = [&](int) {
    if (table.State(1) == RowState::kSaved && progress.file_label == table.Cell(0, 2)) {
      throw FileSystemError(EIO, temp / "out/src/sub", "write to");
    }
  };
  EXPECT_THROW(run.Recover(), FileSystemError);
  EXPECT_TRUE(run.Idle());
  EXPECT_TRUE(window.controls_enabled);
  // The report is written on the way out: the file that failed and the one never reached are in it.
  const std::string report = ReadFile(temp / "out/.salvorine/report.tsv");
  EXPECT_NE(report.find(temp / "src/one.txt\t10\t10\t0\t0\tok\t"), std::string::npos) << report;
  EXPECT_NE(report.find(temp / "src/sub/two.bin\t5000\t0\t0\t5000\tunsaved\t"), std::string::npos) << report;
  EXPECT_NE(report.find(temp / "src/three\t70000\t0\t0\t70000\tpending\t"), std::string::npos) << report;
  // The copy saved whole before the error is recorded as such: no later run reads it again.
  EXPECT_NE(ReadFile(temp / "out/.salvorine/whole.tsv").find("\tsrc/one.txt\n"), std::string::npos);

  // A file the error cuts short after a checkpoint stands as that checkpoint
  // saved it: stopped, its map named, its figures those of the saved map.
  const std::string map_path = temp / "out-later/.salvorine/maps/src/three.map";
  window.save_folder = temp / "out-later";
  WriteFile(temp / "src/sub/two.bin", std::string(5000, 'x'));
  pump.on_pump = [&](int) {
    clock.Advance(std::chrono::seconds(1));  // one second per block: a checkpoint every 30 blocks
    if (progress.file_label == table.Cell(0, 3) && FileExists(map_path) && table.Cell(2, 3).starts_with("40960 ")) {
      throw FileSystemError(EIO, temp / "out-later/src", "write to");
    }
  };
  EXPECT_THROW(run.Recover(), FileSystemError);
  const auto saved = ParseMapFile(ReadFile(map_path), 70000);
  ASSERT_TRUE(saved);
  const std::int64_t done = saved->Total(RescueState::kDone);
  EXPECT_GT(done, 0);
  const std::string later = ReadFile(temp / "out-later/.salvorine/report.tsv");
  EXPECT_NE(later.find(temp / "src/three\t70000\t" + std::to_string(done) + "\t0\t" + std::to_string(70000 - done) +
                       "\tstopped\t" + temp / "out-later/src/three\t" + map_path + "\t"),
            std::string::npos)
      << later;
}

TEST_F(RecoveryRunTest, EachRunStartsWithAnEmptyWorkingFolder) {
  WriteFile(temp / "out/.salvorine/TMP654/7.txt", "left from an earlier run");
  ::chmod((temp / "out/.salvorine/TMP654").c_str(), 0700);
  bool emptied = false;
  pump.on_pump = [&](int) { emptied = emptied || !FileExists(temp / "out/.salvorine/TMP654/7.txt"); };
  run.Recover();
  EXPECT_TRUE(emptied);
}

// The working folder lies in the save folder's locked ".salvorine", on the
// save disk, and is used through its descriptor only: nothing is written
// under TMPDIR, and a link swapped in for it mid-run redirects nothing (no
// file where it leads is removed, replaced, re-permissioned or saved as a
// copy). A link planted before a run is refused.
TEST_F(RecoveryRunTest, AWorkingFolderSwappedForALinkMidRunRedirectsNothing) {
  // Named as the working copies of rows 2 and 3 are.
  for (const char* name : {"2.bin", "3"}) {
    WriteFile(temp / ("victim/" + std::string(name)), "the victim's own file");
    ASSERT_EQ(::chmod((temp / ("victim/" + std::string(name))).c_str(), 0600), 0);
  }
  const std::vector<std::string> places = {temp / "TMP654", temp / "out/.salvorine/TMP654"};
  bool swapped = false;
  pump.on_pump = [&](int) {
    if (swapped || progress.file_label != table.Cell(0, 2)) return;
    for (const std::string& place : places) {
      if (!std::filesystem::is_directory(std::filesystem::symlink_status(place))) continue;
      std::filesystem::rename(place, temp / "moved");
      std::filesystem::create_directory_symlink(temp / "victim", place);
      swapped = true;
    }
  };
  const RunOutcome outcome = run.Recover();
  ASSERT_TRUE(swapped);
  for (const char* name : {"2.bin", "3"}) {
    EXPECT_TRUE(ReadFile(temp / ("victim/" + std::string(name))) == "the victim's own file") << name;
    struct stat victim {};
    ASSERT_EQ(::stat((temp / ("victim/" + std::string(name))).c_str(), &victim), 0);
    EXPECT_EQ(victim.st_mode & 0777, 0600u) << name;
    EXPECT_EQ(victim.st_nlink, 1u) << name;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp / "victim"), {}), 2);
  EXPECT_EQ(outcome, RunOutcome::kCompleted);
  EXPECT_EQ(ReadFile(temp / "out/src/sub/two.bin"), std::string(5000, 'x'));
  EXPECT_EQ(ReadFile(temp / "out/src/three"), std::string(70000, 'y'));
  EXPECT_FALSE(FileExists(temp / "TMP654"));

  EXPECT_THROW(run.Recover(), FileSystemError);
  EXPECT_EQ(ReadFile(temp / "victim/3"), "the victim's own file");
}

// Guards one modal box per left-out entry: a damaged disc can hold thousands.
TEST_F(RecoveryRunTest, EverythingLeftOutOfTheSelectionIsAnnouncedInOneList) {
  for (int i = 0; i < 30; ++i) {
    ASSERT_EQ(::mkfifo((temp / ("src/fifo" + std::to_string(i))).c_str(), 0600), 0);
    ASSERT_EQ(::symlink("missing", (temp / ("src/sub/dangling" + std::to_string(i))).c_str()), 0);
  }
  EXPECT_EQ(run.Recover(), RunOutcome::kCompleted);
  ASSERT_EQ(dialogs.left_out_lists.size(), 1u);
  const std::vector<std::string>& list = dialogs.left_out_lists[0];
  ASSERT_EQ(list.size(), 60u);
  EXPECT_EQ(dialogs.left_out_headings[0], "60 entries below the selection were left out of the run:");
  EXPECT_EQ(std::ranges::count_if(list, [&](const std::string& entry) {
              return entry.starts_with(temp / "src/fifo") &&
                     entry.ends_with("\rNot a regular file (a FIFO, socket or device); left out.");
            }), 30);
  EXPECT_EQ(run.LeftOutCount(), 60);
  EXPECT_EQ(table.RowCount(), 4);
}

TEST_F(RecoveryRunTest, AnUnreadableSourceEndsTheRunWithItsMessage) {
  pump.on_pump = [&](int) {
    if (table.State(1) == RowState::kSaved) std::filesystem::remove(temp / "src/sub/two.bin");
  };
  EXPECT_EQ(run.Recover(), RunOutcome::kEndedEarly);
  const std::string two = temp / "src/sub/two.bin";
  EXPECT_EQ(dialogs.errors, std::vector<std::string>{two + "\rCannot open " + two + ": No such file or directory"});
  EXPECT_EQ(table.Cell(2, 3), "0 (0%)");
  EXPECT_TRUE(run.Idle());

  // Only permissions are "access denied": any other failure says so in its own words.
  for (const auto& [code, text] : {std::pair<int, std::string>{EACCES, "File access denied."},
                                   {EPERM, "File access denied."},
                                   {EIO, "Cannot open " + two + ": Input/output error"}}) {
    RunEnvironment environment = Environment();
    environment.open_source = [&, code = code](const std::string& path) -> std::unique_ptr<File> {
      if (path == two) throw FileSystemError(code, path, "open");
      return OpenRead(path);
    };
    WindowedRun refused_run(environment);
    dialogs.errors.clear();
    pump.on_pump = nullptr;
    WriteFile(two, "x");
    EXPECT_EQ(refused_run.Recover(), RunOutcome::kEndedEarly);
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{two + "\r" + text});
  }
}

}  // namespace
}  // namespace salvorine::test
