#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace salvorine {

inline constexpr std::int64_t kDefaultSectorSize = 512;  // when there is no block device to ask
inline constexpr std::int64_t kOpticalSectorSize = 2048;
inline constexpr std::int64_t kMaxSectorSize = 65536;

// The unit in which a medium reads: a read that covers one unreadable byte
// fails as a whole unit, so a rescue that reads whole units never spoils a
// readable one for a bad neighbour.
struct SectorSize {
  std::int64_t bytes = kDefaultSectorSize;
  std::string device;  // the disk that answered ("sda", "sr0"); empty when none did
};

// The logical sector size of the disk that holds `path`: the mount's device,
// followed through partitions and device-mapper or RAID layers to the disks
// below (the largest of theirs counts); at least 2048 on an optical drive;
// 512 on file systems without a block device (FUSE, network, tmpfs) or when
// the system does not say. Raises FileSystemError when `path` cannot be queried.
SectorSize MediumSectorSize(const std::string& path);

// The same for the block device `major`:`minor`, read from `sysfs` (normally
// "/sys"); 512 with no device name when sysfs does not know the device.
SectorSize DeviceSectorSize(unsigned major, unsigned minor, const std::filesystem::path& sysfs);

}  // namespace salvorine
