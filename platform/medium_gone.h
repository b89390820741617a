#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace salvorine {

// Whether an operation on `path`, a file of the source medium that was open
// or listed before, failed with `error_code` because the medium itself went
// away (its connection lost, the device removed, the mount gone) rather than
// because a sector could not be read. A read error of a sector (EIO) or a
// missing file (ENOENT) counts only when the path cannot be reached any more.
bool MediumGone(int error_code, const std::string& path);

// The device of the file system that holds `path`; nothing when it cannot be
// reached. A mount point whose medium went away is left an empty folder of
// the file system above it, on another device.
std::optional<std::uint64_t> DeviceOf(const std::string& path);

}  // namespace salvorine
