// Where a build folder and an installed copy find their language files and
// manual, and where they keep Salvorine.ini.
#include <sys/stat.h>

#include <cstdlib>
#include <optional>

#include <gtest/gtest.h>

#include "i18n/data_files.h"
#include "i18n/message_table.h"
#include "platform/file_system_error.h"
#include "settings/settings_file.h"
#include "settings/settings_location.h"
#include "tests/support/temp_folder.h"

namespace salvorine::test {
namespace {

// Sets or clears an environment variable for the lifetime of the object.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedVariable() { saved_ ? ::setenv(name_, saved_->c_str(), 1) : ::unsetenv(name_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

// A settings holder that only keeps the values LoadSettings and SaveSettings pass through.
struct StoredSettings final : SettingsHolder {
  int left = 0;
  std::string folder;
  int Left() const override { return left; }
  int Top() const override { return 0; }
  int Width() const override { return 0; }
  int Height() const override { return 0; }
  void SetLeft(int value) override { left = value; }
  void SetTop(int) override {}
  void SetWidth(int) override {}
  void SetHeight(int) override {}
  void SetTreeIcons(bool) override {}
  std::string SaveFolderText() const override { return folder; }
  void SetSaveFolderText(const std::string& value) override { folder = value; }
  bool EnglishChecked() const override { return true; }
  void ApplyLanguage(bool) override {}
  int ModeIndex() const override { return 0; }
  void SetModeIndex(int) override {}
  bool TrayChecked() const override { return false; }
  void SetTrayChecked(bool) override {}
  bool ShowIconsChecked() const override { return true; }
  void SetShowIconsChecked(bool) override {}
  bool ContinueChecked() const override { return true; }
  void SetContinueChecked(bool) override {}
};

// An installed copy keeps its data in ../share/salvorine; a build folder keeps them beside the program.
TEST(InstallLocationTest, DataFilesAreFoundBesideTheProgramFirstThenInTheInstalledDataFolder) {
  TempFolder prefix;
  const std::string bin = prefix / "bin";
  WriteFile(prefix / "share/salvorine/Language/Russian.ini", "[Messages]\n0=installed\n");
  WriteFile(prefix / "share/salvorine/help/Salvorine.html", "<p>installed</p>");
  WriteFile(bin + "/Language/English.ini", "[Messages]\n0=beside\n");

  EXPECT_EQ(LanguageFilePath(bin, true), bin + "/Language/English.ini");
  EXPECT_EQ(LanguageFilePath(bin, false), prefix / "share/salvorine/Language/Russian.ini");
  MessageTable messages;
  messages.Load(LanguageFilePath(bin, false));
  EXPECT_EQ(messages.Message(0), "installed");
  EXPECT_EQ(HelpPagePath(bin, true), prefix / "share/salvorine/help/Salvorine.html");

  // Neither copy: the language file beside the program (empty texts), no help page.
  EXPECT_EQ(HelpPagePath(bin, false), "");
  std::remove((prefix / "share/salvorine/Language/Russian.ini").c_str());
  EXPECT_EQ(LanguageFilePath(bin, false), bin + "/Language/Russian.ini");
}

TEST(InstallLocationTest, AWritableProgramFolderThatIsNotInstalledKeepsItsSettingsBesideIt) {
  TempFolder build;
  TempFolder config;
  ScopedVariable config_home("XDG_CONFIG_HOME", config.Path().c_str());
  const std::string bin = build / "bin";
  WriteFile(bin + "/Language/English.ini", "");
  WriteFile(config / "salvorine/Salvorine.ini", "[Settings]\nLeft=1\n");  // another copy's file is not taken
  const SettingsLocation location = LocateSettings(bin);
  EXPECT_EQ(location.read_path, bin + "/Salvorine.ini");
  EXPECT_EQ(location.write_path, bin + "/Salvorine.ini");
}

// An installed copy once wrote beside itself (or, as root, into /usr/bin) and
// started with the defaults every time.
TEST(InstallLocationTest, AnInstalledCopyKeepsItsSettingsInTheUsersConfigFolder) {
  TempFolder prefix;
  TempFolder home;
  const std::string bin = prefix / "bin";
  WriteFile(prefix / "share/salvorine/Language/English.ini", "");
  WriteFile(bin + "/Salvorine.ini", "[Settings]\nLeft=7\nFolder=/from/beside/\n");
  ScopedVariable home_variable("HOME", home.Path().c_str());
  ScopedVariable config_home("XDG_CONFIG_HOME", nullptr);
  const std::string own = home / ".config/salvorine/Salvorine.ini";

  // No file of the user's yet: the one beside the program is read, the user's is written.
  SettingsLocation location = LocateSettings(bin);
  EXPECT_EQ(location.read_path, bin + "/Salvorine.ini");
  EXPECT_EQ(location.write_path, own);
  StoredSettings settings;
  LoadSettings(location.read_path, settings, "/home/");
  EXPECT_EQ(settings.left, 7);
  settings.left = 42;
  SaveSettings(location.write_path, settings);  // ~/.config does not exist yet
  struct stat status {};
  ASSERT_EQ(::stat((home / ".config/salvorine").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0700u);
  EXPECT_EQ(ReadFile(bin + "/Salvorine.ini"), "[Settings]\nLeft=7\nFolder=/from/beside/\n");

  // From then on the user's file is read, with the same keys.
  location = LocateSettings(bin);
  EXPECT_EQ(location.read_path, own);
  StoredSettings next_start;
  LoadSettings(location.read_path, next_start, "/home/");
  EXPECT_EQ(next_start.left, 42);
  EXPECT_EQ(next_start.folder, "/from/beside/");

  // An absolute XDG_CONFIG_HOME wins; a relative one is invalid and ignored.
  {
    ScopedVariable relative("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(LocateSettings(bin).write_path, own);
  }
  ScopedVariable absolute("XDG_CONFIG_HOME", (home / "elsewhere").c_str());
  EXPECT_EQ(LocateSettings(bin).write_path, home / "elsewhere/salvorine/Salvorine.ini");
}

TEST(InstallLocationTest, ASettingsFolderThatCannotBeMadeIsReportedWithItsPathAndReason) {
  TempFolder home;
  WriteFile(home / ".config", "a file where the folder should be");
  StoredSettings settings;
  try {
    SaveSettings(home / ".config/salvorine/Salvorine.ini", settings);
    FAIL() << "no error";
  } catch (const FileSystemError& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot create folder " + home / ".config/salvorine/: Not a directory");
  }
  EXPECT_EQ(ReadFile(home / ".config"), "a file where the folder should be");
}

}  // namespace
}  // namespace salvorine::test
