#pragma once

#include <string>

namespace salvorine {

// Whether an operation on `path`, a file of the source medium that was open
// or listed before, failed with `error_code` because the medium itself went
// away (its connection lost, the device removed, the mount gone) rather than
// because a sector could not be read. A read error of a sector (EIO) or a
// missing file (ENOENT) counts only when the path cannot be reached any more.
bool MediumGone(int error_code, const std::string& path);

}  // namespace salvorine
