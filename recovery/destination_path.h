#pragma once

#include <string>

namespace salvorine {

// The place under `save_folder` that mirrors `source_path`'s place under the
// run's selection root: save/<last component of root>/<rest of source path>,
// or save/<file name> when the root is a file itself, or save/<rest> when the
// root is "/". Empty when there is no save folder. Creates nothing.
std::string MirroredPath(const std::string& source_path, const std::string& selection_root,
                         const std::string& save_folder);

// The part of MirroredPath below the save folder; `root_is_file` tells
// whether the selection root names a file.
std::string MirroredRelativePath(const std::string& source_path, const std::string& selection_root,
                                 bool root_is_file);

// MirroredPath, with every missing folder on the way to it created.
std::string DestinationPath(const std::string& source_path, const std::string& selection_root,
                            const std::string& save_folder);

}  // namespace salvorine
