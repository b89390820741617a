#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace salvorine {

// The whole text of the regular file `path`, when it holds at most `limit`
// bytes. Nothing when it is missing, when a link or a non-folder stands in
// its way, or when it is no regular file (a folder, a FIFO: opening one never
// waits) or is longer. Raises FileSystemError with `action` on any other failure.
std::optional<std::string> ReadFileNoFollow(const std::string& path, std::int64_t limit, const std::string& action);
// The same text handed to `take` in pieces as it is read, never held whole;
// false where the above gives nothing.
bool ReadFileNoFollow(const std::string& path, std::int64_t limit, const std::string& action,
                      const std::function<void(std::string_view)>& take);

}  // namespace salvorine
