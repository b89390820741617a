// Which sector size the medium under a file reports, over a sysfs tree built by the test.
#include "platform/sector_size.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_system_error.h"
#include "tests/support/temp_folder.h"

namespace salvorine::test {
namespace {

namespace fs = std::filesystem;

class SectorSizeTest : public ::testing::Test {
 protected:
  // A device folder under devices/ with the given attributes, linked from dev/block/NUMBERS.
  void Device(const std::string& numbers, const std::string& folder, const std::string& logical_block_size,
              const std::string& scsi_type = "") {
    const std::string device = sysfs / ("devices/" + folder);
    if (!logical_block_size.empty()) WriteFile(device + "/queue/logical_block_size", logical_block_size + "\n");
    if (!scsi_type.empty()) WriteFile(device + "/device/type", scsi_type + "\n");
    Link(numbers, folder);
  }
  void Partition(const std::string& numbers, const std::string& folder) {
    WriteFile(sysfs / ("devices/" + folder + "/partition"), "1\n");
    Link(numbers, folder);
  }
  void Slave(const std::string& layer, const std::string& below) {
    fs::create_directories(sysfs / ("devices/" + layer + "/slaves"));
    fs::create_directory_symlink(sysfs / ("devices/" + below),
                                 sysfs / ("devices/" + layer + "/slaves/" + fs::path(below).filename().string()));
  }
  void Link(const std::string& numbers, const std::string& folder) {
    fs::create_directories(sysfs / "dev/block");
    fs::create_directory_symlink(sysfs / ("devices/" + folder), sysfs / ("dev/block/" + numbers));
  }
  ::testing::AssertionResult Answers(unsigned major, unsigned minor, std::int64_t bytes, const std::string& device) {
    const SectorSize got = DeviceSectorSize(major, minor, sysfs.Path());
    if (got.bytes == bytes && got.device == device) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << got.bytes << " from '" << got.device << "'";
  }

  TempFolder sysfs;
};

TEST_F(SectorSizeTest, PartitionsAndLayersAnswerWithTheirDisksAndDiscsReadInWholeSectors) {
  Device("8:0", "pci/block/sda", "4096");
  Partition("8:1", "pci/block/sda/sda1");
  Device("8:16", "pci/block/sdb", "512");
  Partition("8:17", "pci/block/sdb/sdb1");
  // A device-mapper volume over partitions of both disks reads in the larger unit.
  Device("253:0", "virtual/block/dm-0", "512");
  Slave("virtual/block/dm-0", "pci/block/sda/sda1");
  Slave("virtual/block/dm-0", "pci/block/sdb/sdb1");
  // A CD drive without a disc may report 512; a disc still reads in 2048-byte sectors.
  Device("11:0", "pci/block/sr0", "512", "5");
  Device("8:32", "pci/block/sdc", "garbage");

  EXPECT_TRUE(Answers(8, 1, 4096, "sda"));
  EXPECT_TRUE(Answers(8, 17, 512, "sdb"));
  EXPECT_TRUE(Answers(253, 0, 4096, "sda"));
  EXPECT_TRUE(Answers(11, 0, 2048, "sr0"));
  // No block device (FUSE, NFS), or one that does not say: 512, and no device named.
  EXPECT_TRUE(Answers(0, 45, 512, ""));
  EXPECT_TRUE(Answers(8, 32, 512, ""));
}

TEST(MediumSectorSizeTest, AMissingFileIsAnErrorThatNamesIt) {
  TempFolder folder;
  const std::string missing = folder / "missing.iso";
  try {
    MediumSectorSize(missing);
    FAIL() << "no error";
  } catch (const FileSystemError& error) {
    EXPECT_EQ(error.Path(), missing);
    EXPECT_NE(std::string(error.what()).find("No such file"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace salvorine::test
