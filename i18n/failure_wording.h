#pragma once

#include <string>

#include "platform/file_system_error.h"

namespace salvorine {

// File and folder errors raised from now on are worded in the language of
// `language_file` (section "Messages", keys 150 to 165 and 171), in English where it
// lacks a text.
void WordFileSystemErrorsIn(const std::string& language_file);

// Why a file could not be opened, as a dialog says it under `path`: "File
// access denied." only when permissions refuse it; any other reason (a medium
// gone, a file removed) in the error's own words.
std::string OpenFailureText(const std::string& path, const FileSystemError& error);

// `text` with "%1" replaced by `value`.
std::string WithValue(std::string text, const std::string& value);

}  // namespace salvorine
