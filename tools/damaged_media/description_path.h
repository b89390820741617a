// Turns a path as written in a description into its name components.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace salvorine::damaged_media {

// The token is '/'-separated and relative to the mount root. Inside a name,
// \xHH stands for one byte and \\ for a backslash, so names that are not
// valid UTF-8 or that contain blanks or '#' can be written. Throws
// std::invalid_argument saying what is wrong.
std::vector<std::string> ParseDescriptionPath(std::string_view token);

}  // namespace salvorine::damaged_media
