#include "platform/sector_size.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "platform/file_system_error.h"

namespace salvorine {
namespace {

namespace fs = std::filesystem;

constexpr int kScsiTypeRom = 5;  // device/type of a CD or DVD drive
constexpr int kMaxLayers = 8;    // device-mapper over RAID over partitions, and no loops

// The number a one-line sysfs attribute holds; 0 when it is missing or holds no number.
std::int64_t ReadNumber(const fs::path& attribute) {
  std::ifstream in(attribute);
  std::int64_t value = 0;
  return in >> value ? value : 0;
}

bool Plausible(std::int64_t bytes) { return bytes >= kDefaultSectorSize && bytes <= kMaxSectorSize; }

// `device` is a device folder under /sys/devices. A partition reads in the
// units of its disk; a layered device in the largest unit of the disks below it.
SectorSize OfDevice(const fs::path& device, int depth) {
  std::error_code error;
  const fs::path disk = fs::exists(device / "partition", error) ? device.parent_path() : device;
  SectorSize found{0, ""};
  const auto consider = [&found](const SectorSize& candidate) {
    if (!candidate.device.empty() && candidate.bytes > found.bytes) found = candidate;
  };
  if (depth < kMaxLayers) {
    for (fs::directory_iterator slave(disk / "slaves", error), end; !error && slave != end; slave.increment(error)) {
      std::error_code resolve_error;
      const fs::path below = fs::canonical(slave->path(), resolve_error);
      if (!resolve_error) consider(OfDevice(below, depth + 1));
    }
  }
  const std::int64_t own = ReadNumber(disk / "queue" / "logical_block_size");
  if (Plausible(own)) consider({own, disk.filename().string()});
  if (ReadNumber(disk / "device" / "type") == kScsiTypeRom) consider({kOpticalSectorSize, disk.filename().string()});
  return found;
}

// The block device a mount names as its source, for file systems whose files
// carry a device number of their own (btrfs); false when there is none.
bool MountSource(dev_t file_device, dev_t& source) {
  std::ifstream mountinfo("/proc/self/mountinfo");
  const std::string wanted = std::to_string(major(file_device)) + ":" + std::to_string(minor(file_device));
  for (std::string line; std::getline(mountinfo, line);) {
    std::istringstream fields(line);
    std::string id, parent, numbers;
    if (!(fields >> id >> parent >> numbers) || numbers != wanted) continue;
    const auto separator = line.find(" - ");
    if (separator == std::string::npos) continue;
    std::istringstream tail(line.substr(separator + 3));
    std::string type, device;
    if (!(tail >> type >> device) || !device.starts_with("/dev/")) continue;
    struct stat status {};
    if (::stat(device.c_str(), &status) == 0 && S_ISBLK(status.st_mode)) {
      source = status.st_rdev;
      return true;
    }
  }
  return false;
}

}  // namespace

SectorSize DeviceSectorSize(unsigned major_number, unsigned minor_number, const fs::path& sysfs) {
  std::error_code error;
  const fs::path device =
      fs::canonical(sysfs / "dev" / "block" / (std::to_string(major_number) + ":" + std::to_string(minor_number)), error);
  if (error) return {};
  const SectorSize found = OfDevice(device, 0);
  return found.device.empty() ? SectorSize{} : found;
}

SectorSize MediumSectorSize(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) throw FileSystemError(errno, path, "query the sector size of");
  SectorSize found = DeviceSectorSize(major(status.st_dev), minor(status.st_dev), "/sys");
  dev_t source = 0;
  if (found.device.empty() && MountSource(status.st_dev, source)) {
    found = DeviceSectorSize(major(source), minor(source), "/sys");
  }
  return found;
}

}  // namespace salvorine
