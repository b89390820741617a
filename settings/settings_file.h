#pragma once

#include <string>

namespace salvorine {

// What holds each setting while the program runs: the main window's bounds,
// the tree's icons, the save-folder box, the Language menu, and the Settings
// dialog's mode list and check boxes.
class SettingsHolder {
 public:
  virtual ~SettingsHolder() = default;
  virtual int Left() const = 0;
  virtual int Top() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetLeft(int value) = 0;
  virtual void SetTop(int value) = 0;
  virtual void SetWidth(int value) = 0;
  virtual void SetHeight(int value) = 0;
  virtual void SetTreeIcons(bool show) = 0;
  virtual std::string SaveFolderText() const = 0;
  virtual void SetSaveFolderText(const std::string& folder) = 0;
  virtual bool EnglishChecked() const = 0;
  // Applies a language; this also turns Max Speed into Max Data (ModeAfterLanguageSwitch).
  virtual void ApplyLanguage(bool english) = 0;
  // -1 when no mode is selected.
  virtual int ModeIndex() const = 0;
  // An index outside the list leaves it without a selection.
  virtual void SetModeIndex(int index) = 0;
  virtual bool TrayChecked() const = 0;
  virtual void SetTrayChecked(bool checked) = 0;
  virtual bool ShowIconsChecked() const = 0;
  // Checking the box runs its handler, which sets the tree's icons.
  virtual void SetShowIconsChecked(bool checked) = 0;
  // "Continue earlier copies": take up copies and maps already in the save folder.
  virtual bool ContinueChecked() const = 0;
  virtual void SetContinueChecked(bool checked) = 0;
  // How many more times Thorough reads each sector still bad, kRetriesMin..kRetriesMax.
  virtual int Retries() const { return 0; }
  virtual void SetRetries(int /*retries*/) {}
  // The folder tree's width beside the job table, as the user dragged it.
  virtual int TreeWidth() const { return kDefaultTreeWidth; }
  virtual void SetTreeWidth(int /*width*/) {}

  static constexpr int kDefaultTreeWidth = 201;
};

inline constexpr int kRetriesMin = 0;
inline constexpr int kRetriesMax = 100;

// Salvorine.ini beside the program (LocateSettings says whether it is the one used).
std::string SettingsFilePath(const std::string& program_folder);

// Reads the settings file into `holder`; missing keys and values that are not
// numbers give the defaults (window at 100,100 sized 630 × 480, save folder
// `default_folder`, English, Max Data, tray option off, icons on, earlier
// copies continued, no retries, the tree 201 pixels wide; a retry count out
// of range is held to it).
void LoadSettings(const std::string& path, SettingsHolder& holder, const std::string& default_folder);

// Writes the twelve keys, one by one, after creating the file's missing folders
// (FileSystemError naming the folder when one cannot be made); raises
// ProfileWriteError at the first key that cannot be written, leaving the keys
// after it unwritten.
void SaveSettings(const std::string& path, const SettingsHolder& holder);

}  // namespace salvorine
