#pragma once

#include <string>

namespace salvorine {

// Whether `name` is a temporary name under which a copy or a map was being
// placed (named with kPlacingPrefix, then "PID-N.part") by a process that no longer runs.
bool IsStalePart(const std::string& name);

// Removes the temporary files that runs killed while placing a copy or a map
// left where a run over `selection_root` places into: the save folder itself,
// the folder mirroring the selection below it, and the program's own folder
// there. Links are not followed. Returns how many were removed. Raises
// FileSystemError when one cannot be removed.
int RemoveStaleParts(const std::string& save_folder, const std::string& selection_root);

}  // namespace salvorine
