#include "settings/settings_file.h"

#include <climits>

#include "platform/profile_file.h"

namespace salvorine {
namespace {

constexpr const char* kSection = "Settings";

int ReadInt(const ProfileFile& file, const char* key, int default_value) {
  const long long value = file.ReadInteger(kSection, key, default_value);
  return value < INT_MIN || value > INT_MAX ? default_value : static_cast<int>(value);
}

}  // namespace

std::string SettingsFilePath(const std::string& program_folder) { return program_folder + "/Salvorine.ini"; }

void LoadSettings(const std::string& path, SettingsHolder& holder, const std::string& default_folder) {
  const ProfileFile file(path);
  holder.SetLeft(ReadInt(file, "Left", 100));
  holder.SetTop(ReadInt(file, "Top", 100));
  holder.SetWidth(ReadInt(file, "Width", 630));
  holder.SetHeight(ReadInt(file, "Height", 480));
  const bool icons = file.ReadBool(kSection, "Icon", true);
  holder.SetTreeIcons(icons);
  holder.SetSaveFolderText(file.ReadString(kSection, "Folder", default_folder));
  // Applying a language selects the first mode, so the mode is restored after it.
  holder.ApplyLanguage(file.ReadBool(kSection, "Language", true));
  holder.SetModeIndex(ReadInt(file, "Mode", 0));
  holder.SetTrayChecked(file.ReadBool(kSection, "CD", false));
  holder.SetShowIconsChecked(icons);
}

void SaveSettings(const std::string& path, const SettingsHolder& holder) {
  ProfileFile file(path);
  file.WriteInteger(kSection, "Left", holder.Left());
  file.WriteInteger(kSection, "Top", holder.Top());
  file.WriteInteger(kSection, "Width", holder.Width());
  file.WriteInteger(kSection, "Height", holder.Height());
  file.WriteString(kSection, "Folder", holder.SaveFolderText());
  file.WriteBool(kSection, "Language", holder.EnglishChecked());
  file.WriteInteger(kSection, "Mode", holder.ModeIndex());
  file.WriteBool(kSection, "Icon", holder.ShowIconsChecked());
  file.WriteBool(kSection, "CD", holder.TrayChecked());
}

}  // namespace salvorine
