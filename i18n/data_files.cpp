#include "i18n/data_files.h"

#include <filesystem>

#include "platform/file_system.h"

namespace salvorine {
namespace {

const char* HelpPageName(bool english) { return english ? "help/Salvorine.html" : "help/Salvorine-ru.html"; }

}  // namespace

std::string InstalledDataFolder(const std::string& program_folder) {
  // Installed as <prefix>/bin, the data are in <prefix>/share/salvorine.
  return (std::filesystem::path(program_folder) / "../share/salvorine").lexically_normal().string();
}

std::string FindDataFile(const std::string& program_folder, const std::string& relative) {
  for (const std::string& folder : {program_folder, InstalledDataFolder(program_folder)}) {
    const std::string path = folder + "/" + relative;
    if (FileExists(path)) return path;
  }
  return {};
}

std::string HelpPagePath(const std::string& program_folder, bool english) {
  return FindDataFile(program_folder, HelpPageName(english));
}

std::string HelpPageCandidates(const std::string& program_folder, bool english) {
  const std::string name = HelpPageName(english);
  return program_folder + "/" + name + "\r" + InstalledDataFolder(program_folder) + "/" + name;
}

}  // namespace salvorine
