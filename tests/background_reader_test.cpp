// Reads on the helper thread while the window thread processes messages.
#include <QTimer>
#include <fcntl.h>
#include <sys/mman.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <optional>
#include <gtest/gtest.h>
#include <string>
#include <thread>

#include "app/background_reader.h"
#include "app/watched_source.h"
#include "tests/support/temp_folder.h"

namespace salvorine::test {
namespace {

// A file whose reads fill the buffer with its own letter; a gated one blocks until opened.
class LetterFile final : public File {
 public:
  LetterFile(char letter, std::atomic<bool>* gate = nullptr) : letter_(letter), gate_(gate) {}
  const std::string& Path() const override { return path_; }
  void Seek(std::int64_t) override {}
  ReadResult Read(void* buffer, std::size_t count) override {
    while (gate_ != nullptr && !gate_->load()) std::this_thread::yield();
    std::memset(buffer, letter_, count);
    return {true, count, 0};
  }
  void Write(const void*, std::size_t) override {}
  std::int64_t Size() override { return 0; }
  void Truncate() override {}
  void Close() override {}
  // Direct reads in any sector, and one stretch of data before a hole.
  bool ReadDirectly(std::int64_t sector) override { return (direct = sector) > 0; }
  bool ReadsDirectly() const override { return direct > 0; }
  std::vector<std::pair<std::int64_t, std::int64_t>> DataExtents(std::int64_t) override { return {{0, 4096}}; }
  std::int64_t direct = 0;

 private:
  char letter_;
  std::atomic<bool>* gate_;
  std::string path_ = "letters";
};

// Guards the window's source wrappers hiding what the file layer offers
// underneath: direct reads (Thorough would read through the page cache and
// say the file system refused them) and a sparse file's holes.
TEST(BackgroundReaderTest, TheWindowsSourceWrappersPassDirectReadsAndHolesThrough) {
  BackgroundReader reader;
  ReadWatch watch;
  auto owned = std::make_unique<LetterFile>('u');
  LetterFile& underneath = *owned;
  WatchedSource source(std::make_unique<BackgroundReadFile>(std::move(owned), reader), watch);
  EXPECT_TRUE(source.ReadDirectly(2048));
  EXPECT_EQ(underneath.direct, 2048);
  EXPECT_TRUE(source.ReadsDirectly());
  EXPECT_EQ(source.DataExtents(1 << 20), (std::vector<std::pair<std::int64_t, std::int64_t>>{{0, 4096}}));
}

// Guards one shared result slot: a read started while another waits (from a
// command run inside that wait) must neither take nor spoil the other's result.
TEST(BackgroundReaderTest, AReadStartedWhileAnotherWaitsGetsItsOwnResult) {
  BackgroundReader reader;
  std::atomic<bool> gate{false};
  LetterFile stalled('a', &gate);
  LetterFile quick('b');
  char outer[4] = {}, inner[6] = {};
  ReadResult inner_result;
  // Inside the outer read's wait: a second read, queued behind the stalled one,
  // whose own wait then lets the stalled read finish.
  QTimer::singleShot(20, [&] {
    QTimer::singleShot(20, [&] { gate = true; });
    inner_result = reader.Read(quick, inner, sizeof inner);
  });
  const ReadResult outer_result = reader.Read(stalled, outer, sizeof outer);

  EXPECT_TRUE(outer_result.ok);
  EXPECT_EQ(outer_result.count, sizeof outer);
  EXPECT_EQ(std::string(outer, sizeof outer), "aaaa");
  EXPECT_TRUE(inner_result.ok);
  EXPECT_EQ(inner_result.count, sizeof inner);
  EXPECT_EQ(std::string(inner, sizeof inner), "bbbbbb");
}

// Guards the page-cache path: a read the kernel can serve at once is taken on
// the calling thread; one that needs the device is left whole to Read.
TEST(ReadIfReadyTest, CachedBytesComeAtOnceAndUncachedOnesAreLeftToRead) {
  TempFolder work;
  std::string content(3000, 'x');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + i % 26);
  WriteFile(work / "f.bin", content);
  std::unique_ptr<File> file = OpenRead(work / "f.bin");
  char buffer[1024];
  file->Read(buffer, sizeof buffer);  // now in the page cache, if it was not already
  file->Seek(1024);
  std::optional<ReadResult> got = file->ReadIfReady(buffer, sizeof buffer);
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(got->count, 1024u);
  EXPECT_EQ(std::string(buffer, 4), content.substr(1024, 4));
  // The last 952 bytes end the file: a short count that is kept.
  got = file->ReadIfReady(buffer, sizeof buffer);
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(got->count, 952u);
  got = file->ReadIfReady(buffer, sizeof buffer);
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(got->count, 0u);

  // Out of the cache: nothing is read and the position stays for Read.
  struct statfs where {};
  ASSERT_EQ(::statfs(work.Path().c_str(), &where), 0);
  if (where.f_type == TMPFS_MAGIC) GTEST_SKIP() << "a file in memory is always ready";
  // The kernel may keep a page all the same (one mapped or in use elsewhere),
  // or bring it back before the read: the check counts only reads of a page
  // seen to be gone, and a page back once may come back again, so up to three.
  bool dropped = false;
  bool left_to_read = false;
  for (int attempt = 0; attempt < 3 && !left_to_read; ++attempt) {
    const int fd = ::open((work / "f.bin").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ::fsync(fd);  // only clean pages can be dropped
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    void* mapped = ::mmap(nullptr, content.size(), PROT_READ, MAP_SHARED, fd, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    unsigned char resident = 0;
    ASSERT_EQ(::mincore(mapped, 1, &resident), 0);
    ::munmap(mapped, content.size());
    ::close(fd);
    if ((resident & 1) != 0) continue;
    dropped = true;
    file->Seek(0);
    left_to_read = !file->ReadIfReady(buffer, sizeof buffer).has_value();
  }
  if (!dropped) GTEST_SKIP() << "the kernel kept the dropped page cached";
  EXPECT_TRUE(left_to_read);
  const ReadResult read = file->Read(buffer, sizeof buffer);
  EXPECT_TRUE(read.ok);
  EXPECT_EQ(std::string(buffer, read.count), content.substr(0, 1024));
}

}  // namespace
}  // namespace salvorine::test
