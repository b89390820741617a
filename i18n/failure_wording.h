#pragma once

#include <string>

namespace salvorine {

// File and folder errors raised from now on are worded in the language of
// `language_file` (section "Messages", keys 150 to 165 and 171), in English where it
// lacks a text.
void WordFileSystemErrorsIn(const std::string& language_file);

// `text` with "%1" replaced by `value`.
std::string WithValue(std::string text, const std::string& value);

}  // namespace salvorine
