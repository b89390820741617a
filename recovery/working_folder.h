#pragma once

#include <string>

namespace salvorine {

// The private folder TMP654 under the temporary folder, created if missing,
// and locked for the life of the process; when another program holds it, the
// first free one of TMP654-2, TMP654-3... Returned without a trailing "/".
std::string WorkingFolder();

// Where row `row`'s recovered copy lives: the working folder, the row number
// and the extension of `source_path` ("3.jpg" for row 3 of ".../img.jpg").
std::string RecoveredCopyPath(int row, const std::string& source_path);

// Deletes every file of the working folder but `keep` (the copy a run still
// writes, if any); subfolders and the folder remain.
void EmptyWorkingFolder(const std::string& keep = "");

// The last component of a path.
std::string FileNameOf(const std::string& path);

}  // namespace salvorine
