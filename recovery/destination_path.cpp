#include "recovery/destination_path.h"

#include <algorithm>

#include "platform/file_system.h"
#include "recovery/working_folder.h"

namespace salvorine {

std::string MirroredPath(const std::string& source_path, const std::string& selection_root,
                         const std::string& save_folder) {
  if (save_folder.empty()) return {};
  if (selection_root.size() > 1 && selection_root.back() == '/') {
    return MirroredPath(source_path, selection_root.substr(0, selection_root.size() - 1), save_folder);
  }
  const std::string dest = save_folder.back() == '/' ? save_folder : save_folder + "/";
  if (FileExists(selection_root)) return dest + FileNameOf(source_path);

  // The root "/" has no last component; "/media/cd" has "cd".
  const auto slash = selection_root.rfind('/');
  const std::string name = slash == std::string::npos ? std::string() : selection_root.substr(slash + 1);
  std::string rest = source_path.substr(std::min(selection_root.size(), source_path.size()));
  if (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
  return name.empty() ? dest + rest : dest + name + "/" + rest;
}

std::string DestinationPath(const std::string& source_path, const std::string& selection_root,
                            const std::string& save_folder) {
  const std::string result = MirroredPath(source_path, selection_root, save_folder);
  for (std::size_t slash = result.find('/', 1); slash != std::string::npos; slash = result.find('/', slash + 1)) {
    const std::string folder = result.substr(0, slash + 1);
    if (!FolderExists(folder)) MakeFolder(folder);
  }
  return result;
}

}  // namespace salvorine
