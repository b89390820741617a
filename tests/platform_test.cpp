// The file layer: searches, the working folder's safety checks, mounts, INI reading.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <tuple>
#include <vector>

#include "platform/clock.h"
#include "platform/file.h"
#include "platform/file_no_follow.h"
#include "platform/file_system.h"
#include "platform/file_system_error.h"
#include "platform/folder_handle.h"
#include "platform/profile_file.h"
#include "recovery/working_folder.h"
#include "tests/support/temp_folder.h"

namespace salvorine::test {
namespace {

std::vector<FolderEntry> Entries(const std::string& folder) {
  std::vector<FolderEntry> entries;
  FolderSearch search;
  FolderEntry entry;
  for (bool found = search.FindFirst(folder, entry); found; found = search.FindNext(entry)) entries.push_back(entry);
  return entries;
}

TEST(FolderSearchTest, SortsByBytesAndClassifiesEntries) {
  TempFolder temp;
  WriteFile(temp / "b.txt", "b");
  WriteFile(temp / "B.txt", "B");
  WriteFile(temp / ".hidden", "h");
  WriteFile(temp / "sub/inner", "i");
  WriteFile(temp / "\xff\xfe-not-utf8", "x");
  ASSERT_EQ(::mkfifo((temp / "fifo").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("b.txt", (temp / "link-to-file").c_str()), 0);
  ASSERT_EQ(::symlink(".", (temp / "loop").c_str()), 0);
  ASSERT_EQ(::symlink("missing", (temp / "dangling").c_str()), 0);

  std::vector<std::pair<std::string, EntryKind>> seen;
  for (const FolderEntry& entry : Entries(temp.Path())) seen.emplace_back(entry.name, entry.kind);
  const std::vector<std::pair<std::string, EntryKind>> expected = {
      {".hidden", EntryKind::kFile},        {"B.txt", EntryKind::kFile},    {"b.txt", EntryKind::kFile},
      {"dangling", EntryKind::kBrokenLink}, {"fifo", EntryKind::kSpecial},  {"link-to-file", EntryKind::kFile},
      {"loop", EntryKind::kFolderLink},     {"sub", EntryKind::kFolder},    {"\xff\xfe-not-utf8", EntryKind::kFile}};
  EXPECT_EQ(seen, expected);
  EXPECT_TRUE(Entries(temp / "missing").empty());
}

TEST(FileTest, ReadDeliversFullCountsThenEndOfFileAndNeverWritesTheSource) {
  TempFolder temp;
  WriteFile(temp / "src", "0123456789");
  auto file = OpenRead(temp / "src");
  char buffer[8];
  EXPECT_EQ(file->Read(buffer, 8).count, 8u);
  const ReadResult tail = file->Read(buffer, 8);
  EXPECT_TRUE(tail.ok);
  EXPECT_EQ(tail.count, 2u);
  EXPECT_EQ(file->Read(buffer, 8).count, 0u);
  EXPECT_THROW(file->Seek(-1), FileSystemError);
  EXPECT_THROW(file->Write("x", 1), FileSystemError);
  EXPECT_EQ(ReadFile(temp / "src"), "0123456789");

  // A file larger than one request, held by the page cache as it was just
  // written, read block by block: each block from where the last one ended.
  std::string large(300001, '\0');
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 7 / 3);
  WriteFile(temp / "large", large);
  auto cached = OpenRead(temp / "large");
  std::string read;
  std::vector<char> block(100000);
  // Bounded: a read that never moves on must fail here, not loop.
  for (ReadResult got; read.size() <= large.size() && (got = cached->Read(block.data(), block.size())).count > 0;) {
    ASSERT_TRUE(got.ok);
    read.append(block.data(), got.count);
  }
  EXPECT_TRUE(read == large) << read.size() << " bytes read";
}

// Direct reads ask the device for whole sectors only, into an aligned buffer;
// a caller's position, count or buffer that is not aligned must still read.
TEST(FileTest, DirectReadsDeliverAnyPositionAndCountAtEachSectorSize) {
  TempFolder temp;
  std::string content(3 * 4096 + 1000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + i * 7 % 26);
  WriteFile(temp / "src", content);
  const std::vector<std::pair<std::int64_t, std::size_t>> reads = {
      {0, 512}, {0, 4096}, {1, 10}, {511, 2}, {2048, 2048}, {4000, 5000}, {12000, 5000}, {13287, 100}, {20000, 10}};
  for (const std::int64_t sector : {512, 2048, 4096}) {
    auto file = OpenRead(temp / "src");
    ASSERT_TRUE(file->ReadDirectly(sector)) << sector;
    for (const auto& [position, count] : reads) {
      std::vector<char> buffer(count + 1);
      file->Seek(position);
      const ReadResult got = file->Read(buffer.data() + 1, count);  // a buffer off any alignment
      const auto from = static_cast<std::size_t>(std::min<std::int64_t>(position, std::ssize(content)));
      const std::string expected = content.substr(from, count);
      ASSERT_TRUE(got.ok) << sector << " at " << position;
      EXPECT_EQ(std::string(buffer.data() + 1, got.count), expected) << sector << " at " << position;
    }
    EXPECT_TRUE(file->ReadsDirectly()) << "fell back to ordinary reads at sector size " << sector;
  }
}

// Where the file system refuses O_DIRECT (here sysfs) reads stay ordinary.
TEST(FileTest, RefusedDirectReadsLeaveOrdinaryReads) {
  const std::string path = "/sys/kernel/uevent_seqnum";
  if (!FileExists(path)) GTEST_SKIP() << path << " is missing";
  auto file = OpenRead(path);
  EXPECT_FALSE(file->ReadDirectly(512));
  EXPECT_FALSE(file->ReadsDirectly());
  char buffer[64] = {};
  const ReadResult got = file->Read(buffer, sizeof buffer - 1);
  EXPECT_TRUE(got.ok);
  EXPECT_GT(got.count, 0u);
}

TEST(FileTest, OpeningAFifoFailsInsteadOfHanging) {
  TempFolder temp;
  ASSERT_EQ(::mkfifo((temp / "fifo").c_str(), 0600), 0);
  EXPECT_THROW(OpenRead(temp / "fifo"), FileSystemError);
}

// The earlier report is read only when it is a regular file of sane size: a
// link planted in its place is not followed, and a FIFO does not hang the run.
TEST(FileTest, ReadFileNoFollowReadsOnlyARegularFileWithinItsLimit) {
  TempFolder temp;
  WriteFile(temp / "report", "0123456789");
  WriteFile(temp / "sub/inner", "x");
  ASSERT_EQ(::mkfifo((temp / "fifo").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("report", (temp / "link").c_str()), 0);
  const std::vector<std::tuple<std::string, std::int64_t, std::optional<std::string>>> cases = {
      {"report", 10, "0123456789"}, {"report", 9, std::nullopt},  {"link", 10, std::nullopt},
      {"fifo", 10, std::nullopt},   {"sub", 10, std::nullopt},    {"missing", 10, std::nullopt},
      {"report/below", 10, std::nullopt}};
  for (const auto& [name, limit, expected] : cases) {
    EXPECT_EQ(ReadFileNoFollow(temp / name, limit, "read"), expected) << name << " within " << limit;
  }
}

TEST(FileTest, ErrorsNameThePathAndTheReason) {
  try {
    OpenRead("/nonexistent/file.bin");
    FAIL() << "open succeeded";
  } catch (const FileSystemError& error) {
    EXPECT_EQ(error.Code(), ENOENT);
    EXPECT_EQ(std::string(error.what()), "Cannot open /nonexistent/file.bin: No such file or directory");
  }
}

TEST(FileTest, WriteZerosOverwritesAndExtendsLikeWrittenZeros) {
  TempFolder temp;
  // A disk file system zeroes ranges in place; tmpfs falls back to writing zeros.
  std::vector<std::string> paths = {temp / "copy"};
  if (FolderExists("/dev/shm")) paths.push_back("/dev/shm/salvorine-zeros-" + std::to_string(::getpid()));
  for (const std::string& path : paths) {
    auto file = Create(path);
    file->Write(std::string(300, 'x').data(), 300);
    file->Seek(100);
    file->WriteZeros(5000);
    file->Write("end", 3);
    file->Close();
    EXPECT_EQ(ReadFile(path), std::string(100, 'x') + std::string(5000, '\0') + "end") << path;
  }
  if (paths.size() > 1) ::unlink(paths[1].c_str());
}

// Same file system: a hard link; /dev/shm: a copy. Either way the old file is
// replaced whole, with the mode asked for, and no temporary name stays; where
// replacing is not allowed, a taken name is refused and both files stay as they were.
TEST(FolderHandleTest, PlacesAFileOverTheOldOneWithItsMode) {
  TempFolder temp;
  std::vector<std::string> folders = {temp / "out"};
  if (FolderExists("/dev/shm")) folders.push_back("/dev/shm/salvorine-place-" + std::to_string(::getpid()));
  for (const std::string& folder : folders) {
    WriteFile(temp / "from", std::string(3 << 20, 'f'));
    WriteFile(folder + "/to", std::string(5 << 20, 't'));
    FolderHandle(folder).PlaceFile("to", FolderHandle(temp.Path()), "from", 0640, {}, true);
    EXPECT_EQ(ReadFile(folder + "/to"), std::string(3 << 20, 'f')) << folder;
    struct stat placed {};
    ASSERT_EQ(::stat((folder + "/to").c_str(), &placed), 0);
    EXPECT_EQ(placed.st_mode & 0777, 0640u) << folder;
    EXPECT_EQ(Entries(folder).size(), 1u) << folder;

    WriteFile(temp / "again", "not to replace anything");
    try {
      FolderHandle(folder).PlaceFile("to", FolderHandle(temp.Path()), "again", 0640, {}, false);
      ADD_FAILURE() << "replaced " << folder << "/to";
    } catch (const FileSystemError& error) {
      EXPECT_EQ(error.Code(), EEXIST) << error.what();
    }
    EXPECT_EQ(ReadFile(folder + "/to"), std::string(3 << 20, 'f')) << folder;
    EXPECT_EQ(ReadFile(temp / "again"), "not to replace anything");
    FolderHandle(folder).PlaceFile("new", FolderHandle(temp.Path()), "again", 0600, {}, false);
    EXPECT_EQ(ReadFile(folder + "/new"), "not to replace anything") << folder;
    ASSERT_EQ(::stat((folder + "/new").c_str(), &placed), 0);
    EXPECT_EQ(placed.st_mode & 0777, 0600u) << folder;
    EXPECT_EQ(Entries(folder).size(), 2u) << folder;
  }
  if (folders.size() > 1) std::filesystem::remove_all(folders[1]);
}

// A file written in pieces (a report of any length) holds every piece in
// order, however they fall against the writes; a producer that fails leaves
// the old file whole and no temporary name behind.
TEST(FolderHandleTest, WritesAFileGivenInPiecesWholeOrNotAtAll) {
  TempFolder temp;
  WriteFile(temp / "report.tsv", "old");
  std::string expected;
  const FolderHandle folder(temp.Path());
  folder.WriteFile("report.tsv", [&](const auto& put) {
    for (int line = 0; line < 5000; ++line) {
      const std::string text = "line " + std::to_string(line) + "\n";
      expected += text;
      put(text);
      if (line == 2500) {
        const std::string large(200 << 10, 'L');
        expected += large;
        put(large);
      }
    }
  });
  EXPECT_EQ(ReadFile(temp / "report.tsv"), expected);
  EXPECT_THROW(folder.WriteFile("report.tsv",
                                [](const auto& put) {
                                  put("a start");
                                  throw FileSystemError(EIO, "/earlier/report.tsv", "read");
                                }),
               FileSystemError);
  EXPECT_EQ(ReadFile(temp / "report.tsv"), expected);
  EXPECT_EQ(Entries(temp.Path()).size(), 1u);
}

TEST(FileTest, WriteToAFullDiskRaises) {
  auto file = Create("/dev/full");
  EXPECT_THROW(file->Write("abc", 3), FileSystemError);
}

TEST(WorkingFolderTest, IsCreatedPrivateInTheDataFolderAndNamesCopiesByRowAndExtension) {
  TempFolder temp;
  const FolderHandle data(temp.Path());
  {
    WorkingFolder working(data);
    struct stat status {};
    ASSERT_EQ(::stat((temp / "TMP654").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    working.CreateCopy("3.jpg")->Close();
    EXPECT_TRUE(FileExists(temp / "TMP654/3.jpg"));
    EXPECT_TRUE(FileExists(working.PathOf("3.jpg")));
    working.Remove();
  }
  EXPECT_FALSE(FileExists(temp / "TMP654"));
  EXPECT_EQ(WorkingCopyName(3, "/media/cd/photos/img.jpg"), "3.jpg");
  EXPECT_EQ(WorkingCopyName(4, "/media/cd/a.tar.gz"), "4.gz");
  EXPECT_EQ(WorkingCopyName(5, "/media/cd.d/README"), "5");
  // An extension a save disk might not store, or one that would make the name too long, is left out.
  EXPECT_EQ(WorkingCopyName(6, "/media/cd/." + std::string(254, 'x')), "6");
  EXPECT_EQ(WorkingCopyName(7, "/media/cd/a.j:g"), "7");
  EXPECT_EQ(WorkingCopyName(8, "/media/cd/a.\xd1\x84"), "8");
}

// What an earlier run left (killed, say) goes when the next run takes the folder; subfolders stay.
TEST(WorkingFolderTest, TakingTheFolderDeletesTheFilesAnEarlierRunLeft) {
  TempFolder temp;
  WriteFile(temp / "TMP654/1.txt", "a");
  WriteFile(temp / "TMP654/sub/2.txt", "b");
  ::chmod((temp / "TMP654").c_str(), 0700);
  const FolderHandle data(temp.Path());
  WorkingFolder working(data);
  EXPECT_FALSE(FileExists(temp / "TMP654/1.txt"));
  EXPECT_TRUE(FileExists(temp / "TMP654/sub/2.txt"));
}

// A link in place of TMP654 is never followed, and a folder another user owns is refused.
TEST(WorkingFolderTest, RefusesAFolderSomeoneElseControls) {
  TempFolder temp;
  WriteFile(temp / "elsewhere/x", "");
  ASSERT_EQ(::symlink((temp / "elsewhere").c_str(), (temp / "TMP654").c_str()), 0);
  const FolderHandle data(temp.Path());
  try {
    WorkingFolder working(data);
    FAIL() << "a link was accepted as the working folder";
  } catch (const FileSystemError& error) {
    EXPECT_NE(std::string(error.what()).find(temp / "TMP654"), std::string::npos);
  }
  EXPECT_TRUE(FileExists(temp / "elsewhere/x"));
  ::unlink((temp / "TMP654").c_str());
  ASSERT_EQ(::mkdir((temp / "TMP654").c_str(), 0700), 0);
  WriteFile(temp / "TMP654/theirs", "");
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown((temp / "TMP654").c_str(), 65534, 65534), 0);
    EXPECT_THROW(WorkingFolder working(data), FileSystemError);
    EXPECT_TRUE(FileExists(temp / "TMP654/theirs"));
  }
}

TEST(DriveTypeTest, LongestMountPrefixDecidesWhetherAPathIsOnAnOpticalDisc) {
  const std::string mounts =
      "/dev/vda / ext4 rw 0 0\n"
      "/dev/sr0 /media/cdrom iso9660 ro 0 0\n"
      "/dev/sdb1 /media/cdrom/inner vfat rw 0 0\n"
      "/dev/loop3 /mnt/my\\040disc udf ro 0 0\n";
  EXPECT_EQ(DriveTypeFromMounts("/media/cdrom/a.txt", mounts), kDriveCdRom);
  EXPECT_EQ(DriveTypeFromMounts("/media/cdrom/inner/a.txt", mounts), 0);
  EXPECT_EQ(DriveTypeFromMounts("/media/cdromx/a.txt", mounts), 0);
  EXPECT_EQ(DriveTypeFromMounts("/mnt/my disc/a.txt", mounts), kDriveCdRom);
  EXPECT_EQ(DriveTypeFromMounts("/home/a.txt", mounts), 0);
}

TEST(ProfileFileTest, ReadsValuesByCaseInsensitiveSectionAndKey) {
  TempFolder temp;
  WriteFile(temp / "a.ini",
            "; comment\n[Other]\n24=wrong\n[messages]\r\n  24 =  \"Elapsed time:\"  \r\n"
            "garbage line\n45=Stop?\n[Messages2]\n48=wrong\n");
  const ProfileFile file(temp / "a.ini");
  EXPECT_EQ(file.ReadString("Messages", "24", "-"), "Elapsed time:");
  EXPECT_EQ(file.ReadString("MESSAGES", "45", "-"), "Stop?");
  EXPECT_EQ(file.ReadString("Messages", "48", "-"), "-");
  EXPECT_EQ(ProfileFile(temp / "missing.ini").ReadString("Messages", "24", "-"), "-");
}

TEST(ProfileFileTest, CutsValuesAfter2047Characters) {
  TempFolder temp;
  WriteFile(temp / "a.ini", "[S]\nk=" + std::string(3000, 'x') + "\n");
  EXPECT_EQ(ProfileFile(temp / "a.ini").ReadString("S", "k", "").size(), 2047u);
}

TEST(ElapsedTextTest, ShowsHoursUnwrapped) {
  using namespace std::chrono;
  EXPECT_EQ(ElapsedText(seconds(65)), "0:01:05");
  EXPECT_EQ(ElapsedText(hours(27) + milliseconds(999)), "27:00:00");
  EXPECT_EQ(ElapsedText(-seconds(3)), "0:00:00");
}

}  // namespace
}  // namespace salvorine::test
