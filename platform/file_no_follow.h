#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace salvorine {

// The whole text of the regular file `path`, when it holds at most `limit`
// bytes. Nothing when it is missing, when a link or a non-folder stands in
// its way, or when it is no regular file (a folder, a FIFO: opening one never
// waits) or is longer. Raises FileSystemError with `action` on any other failure.
std::optional<std::string> ReadFileNoFollow(const std::string& path, std::int64_t limit, const std::string& action);

}  // namespace salvorine
