#include "settings/settings_location.h"

#include <cstdlib>

#include "i18n/data_files.h"
#include "platform/file_system.h"
#include "platform/home_folder.h"
#include "settings/settings_file.h"

namespace salvorine {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

bool KeepsItsOwnSettings(const std::string& program_folder) {
  return MayWriteInto(program_folder) && !FolderExists(InstalledDataFolder(program_folder));
}

}  // namespace

std::string UserConfigFolder() {
  // A relative XDG_CONFIG_HOME is invalid and ignored.
  const std::string config_home = Environment("XDG_CONFIG_HOME");
  if (config_home.starts_with('/')) return config_home;
  std::string home = Environment("HOME");
  if (home.empty()) home = HomeFolderOfUser();
  return home.empty() ? std::string() : home + "/.config";
}

SettingsLocation LocateSettings(const std::string& program_folder) {
  const std::string beside = SettingsFilePath(program_folder);
  const std::string config = UserConfigFolder();
  if (KeepsItsOwnSettings(program_folder) || config.empty()) return {beside, beside};
  const std::string own = config + "/salvorine/Salvorine.ini";
  const bool read_beside = !FileExists(own) && FileExists(beside);
  return {read_beside ? beside : own, own};
}

}  // namespace salvorine
