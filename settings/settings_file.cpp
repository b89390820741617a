#include "settings/settings_file.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <vector>

#include "i18n/desktop_language.h"
#include "platform/file_system.h"
#include "platform/profile_file.h"

namespace salvorine {
namespace {

constexpr const char* kSection = "Settings";

int ReadInt(const ProfileFile& file, const char* key, int default_value) {
  const long long value = file.ReadInteger(kSection, key, default_value);
  return value < INT_MIN || value > INT_MAX ? default_value : static_cast<int>(value);
}

// A new account may have no ~/.config yet; missing folders are made private (0700).
void MakeMissingFolders(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> missing;
  for (auto at = folder; !at.empty() && !FolderExists(at.string()); at = at.parent_path()) {
    missing.push_back(at);
    if (at == at.parent_path()) break;
  }
  for (auto at = missing.rbegin(); at != missing.rend(); ++at) MakeFolderUnlessPresent(at->string() + "/", 0700);
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
  // Applying a language may change the mode, so the saved mode is restored after it.
  // Until one is chosen, the desktop's language is taken.
  holder.ApplyLanguage(file.ReadBool(kSection, "Language", DesktopLanguageIsEnglish()));
  holder.SetModeIndex(ReadInt(file, "Mode", 0));
  holder.SetTrayChecked(file.ReadBool(kSection, "CD", false));
  holder.SetShowIconsChecked(icons);
  holder.SetContinueChecked(file.ReadBool(kSection, "Continue", true));
  holder.SetRetries(std::clamp(ReadInt(file, "Retries", 0), kRetriesMin, kRetriesMax));
  holder.SetTreeWidth(ReadInt(file, "TreeWidth", SettingsHolder::kDefaultTreeWidth));
}

void SaveSettings(const std::string& path, const SettingsHolder& holder) {
  MakeMissingFolders(std::filesystem::path(path).parent_path());
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
  file.WriteBool(kSection, "Continue", holder.ContinueChecked());
  file.WriteInteger(kSection, "Retries", holder.Retries());
  file.WriteInteger(kSection, "TreeWidth", holder.TreeWidth());
}

}  // namespace salvorine
