// The order in which a row's copy and map reach the save folder, on every path.
#include "recovery/row_copy.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system_error.h"
#include "recovery/pass_view.h"

namespace salvorine::test {
namespace {

using Log = std::vector<std::string>;

// A copy that logs what brings it to disk.
class LoggedFile final : public File {
 public:
  LoggedFile(Log& log, std::string name) : log_(log), name_(std::move(name)) {}
  const std::string& Path() const override { return name_; }
  void Seek(std::int64_t position) override { position_ = position; }
  ReadResult Read(void*, std::size_t) override { return {true, 0, 0}; }
  void Write(const void*, std::size_t count) override {
    log_.push_back("write " + std::to_string(position_) + " " + std::to_string(count));
    position_ += static_cast<std::int64_t>(count);
  }
  std::int64_t Size() override { return 0; }
  void Truncate() override {}
  void Close() override { log_.push_back("close " + name_); }
  void Sync() override { log_.push_back("sync " + name_); }
  void SetModeAndTime(unsigned mode, const FileStatus&) override {
    log_.push_back("mode " + std::to_string(mode) + " " + name_);
  }

 private:
  Log& log_;
  std::string name_;
  std::int64_t position_ = 0;
};

// A save folder that logs every call; placing may be made to fail.
class LoggedStore final : public CopyStore {
 public:
  explicit LoggedStore(Log& log) : log_(log) {}
  bool place_fails = false;

  void WriteMap(const std::string&, const std::string& text) override {
    log_.push_back(text.find("\n0x00000000     +") != std::string::npos ? "map ended" : "map");
  }
  void RemoveMapAndRecord(const std::string&) override { log_.push_back("remove map"); }
  bool Place(const std::string&, const std::string&, unsigned mode, const std::set<FileIdentity>&) override {
    if (place_fails) throw FileSystemError(ENOSPC, "out/a", "save");
    log_.push_back("place " + std::to_string(mode));
    return true;
  }
  void SyncFolderOf(const std::string&) override { log_.push_back("sync folder"); }
  std::unique_ptr<File> OpenSavedCopy(const std::string&) override { return nullptr; }
  std::unique_ptr<File> OpenWorkingCopy(const std::string&) override { return nullptr; }
  std::unique_ptr<File> OpenWorkingCopyForUpdate(const std::string&) override { return nullptr; }
  void RemoveWorkingCopy(const std::string&) override { log_.push_back("remove working name"); }
  void MarkWholeAfterSync(const std::string&, const FileStatus&) override { log_.push_back("time after sync"); }
  void SyncAndMarkWhole() override { log_.push_back("sync all"); }
  unsigned FinishedMode(unsigned mode) const override { return mode & 0755; }

 private:
  Log& log_;
};

struct Path {
  const char* name;
  bool in_place;        // resuming the saved copy itself
  bool checkpoint;      // a checkpoint before the pass ends
  std::int64_t done;    // bytes of 100 the pass finished
  bool stopped;
  Log expected;
};

// Whatever the path, the blocks the pass wrote reach the copy (in one write,
// after the new copy's zeros unless they cover them) before anything else is done with it, the copy's bytes are synced before a map marks them,
// an older map goes before a copy first placed and the new map after it, and
// a whole copy gets the source's time only once a sync carried its bytes.
TEST(RowCopyTest, BringsCopyAndMapToTheSaveFolderInOneOrderOnEveryPath) {
  const std::vector<Path> paths = {
      {"fresh, whole", false, false, 100, false,
       {"write 0 100", "remove map", "close copy", "place 420", "remove working name", "time after sync"}},
      {"fresh, damaged", false, false, 60, false,
       {"write 0 100", "write 0 60", "sync copy", "remove map", "place 420", "sync folder", "map ended", "close copy"}},
      {"fresh, stopped", false, false, 60, true,
       {"write 0 100", "write 0 60", "sync copy", "remove map", "place 384", "sync folder", "map", "close copy"}},
      {"fresh, stopped before reading", false, false, 0, true, {"write 0 100", "close copy"}},
      {"checkpoint, then damaged", false, true, 60, false,
       {"write 0 100", "write 0 60", "sync copy", "remove map", "place 384", "sync folder", "map", "sync copy",
        "mode 420 copy", "map ended", "close copy"}},
      {"checkpoint, then whole", false, true, 100, false,
       {"write 0 100", "sync copy", "remove map", "place 384", "sync folder", "map", "remove map", "mode 420 copy",
        "close copy", "time after sync"}},
      {"resumed, damaged", true, false, 60, false,
       {"write 0 60", "sync copy", "mode 420 copy", "map ended", "close copy"}},
      {"resumed, stopped", true, true, 60, true,
       {"write 0 60", "sync copy", "mode 384 copy", "map", "sync copy", "map", "close copy"}},
      {"resumed, whole", true, false, 100, false,
       {"write 0 100", "remove map", "mode 420 copy", "close copy", "time after sync"}},
  };
  for (const Path& path : paths) {
    Log log;
    LoggedStore store(log);
    RescueMap map(0, 100);
    map.Set(0, path.done, RescueState::kDone);
    FileStatus source;
    source.size = 100;
    source.mode = 0644;
    const std::set<FileIdentity> protect;
    RowCopy copy(store, protect, "src/a", source, "work/1", std::make_unique<LoggedFile>(log, "copy"), map,
                 path.in_place ? RowCopy::Start::kEarlierMapped : RowCopy::Start::kNewCopy, [](const FileSystemError& error) { ADD_FAILURE() << error.what(); });
    // The pass writes what it read block by block, and closes its files only when it stops: the copy stays open for its owner.
    const char block[60] = {};
    if (!path.in_place) {  // a new copy is first made its full size in zeros
      copy.ForPass().WriteZeros(100);
      copy.ForPass().Truncate();
    }
    copy.ForPass().Seek(0);
    if (path.done > 0) copy.ForPass().Write(block, 40);
    if (path.done > 0) copy.ForPass().Write(block, static_cast<std::size_t>(path.done) - 40);
    if (path.stopped) copy.ForPass().Close();
    if (path.checkpoint) copy.Checkpoint();
    if (path.done < 100 && !path.stopped) map.Set(path.done, 100, RescueState::kBad);
    copy.Finish(path.stopped);
    EXPECT_EQ(log, path.expected) << path.name;
  }
}

// A copy that cannot be placed over an older one leaves no new map beside
// that older copy, and the older copy's map is gone: nothing claims bytes it lacks.
TEST(RowCopyTest, AFailedPlacementLeavesNoMapBesideTheOlderCopy) {
  Log log;
  LoggedStore store(log);
  store.place_fails = true;
  RescueMap map(0, 100);
  map.Set(0, 50, RescueState::kDone);
  const std::set<FileIdentity> protect;
  FileStatus source;
  source.size = 100;
  RowCopy copy(store, protect, "src/a", source, "work/1", std::make_unique<LoggedFile>(log, "copy"), map,
               RowCopy::Start::kNewCopy, [](const FileSystemError& error) { ADD_FAILURE() << error.what(); });
  EXPECT_THROW(copy.Checkpoint(), FileSystemError);
  EXPECT_EQ(log, (Log{"sync copy", "remove map"}));
}

// Large blocks reach the copy as they come, once, after the small blocks
// gathered before them; a new copy's zeros are never written where a large
// first block covers them, and are written before one that does not.
TEST(PassViewTest, WritesLargeBlocksAsTheyComeAndItsZerosOnlyWhereNeeded) {
  constexpr std::int64_t kLarge = PassView::kWrittenThrough;
  const std::string block(kLarge, 'b');
  struct Case {
    const char* name;
    std::int64_t zeros;  // the new copy's size, in zeros written first; 0 for none
    std::vector<std::int64_t> blocks;
    Log expected;
  };
  const std::vector<Case> cases = {
      {"large first block over its zeros", kLarge, {kLarge}, {"write 0 65536"}},
      {"small blocks, then a large one", 0, {1024, 1024, kLarge}, {"write 0 2048", "write 2048 65536"}},
      {"large block short of its zeros", 2 * kLarge, {kLarge}, {"write 0 65536", "write 65536 65536", "write 0 65536"}},
  };
  for (const Case& test : cases) {
    Log log;
    LoggedFile file(log, "copy");
    PassView view(file, true);
    if (test.zeros > 0) view.WriteZeros(test.zeros);
    view.Seek(0);
    for (const std::int64_t size : test.blocks) view.Write(block.data(), static_cast<std::size_t>(size));
    view.Close();
    EXPECT_EQ(log, test.expected) << test.name;
  }
}

}  // namespace
}  // namespace salvorine::test
