#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace salvorine {

// The whole content of the regular file at `path`. Throws PictureError when it
// cannot be read or holds more than `limit` bytes.
std::vector<unsigned char> ReadPictureFile(const std::string& path, std::size_t limit);

}  // namespace salvorine
