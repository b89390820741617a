// INI files, the settings file's order and defaults, and the language files.
#include <cstdlib>
#include <optional>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>

#include <gtest/gtest.h>

#include "i18n/apply_language.h"
#include "i18n/plural_forms.h"
#include "platform/profile_file.h"
#include "platform/profile_write_error.h"
#include "recovery/memory_job_table.h"
#include "settings/settings_file.h"
#include "tests/support/temp_folder.h"

namespace salvorine::test {
namespace {

TEST(ProfileFileTest, WritingKeepsEveryOtherLineInPlace) {
  TempFolder temp;
  const std::string path = temp / "a.ini";
  WriteFile(path, "; kept comment\n[settings]\nleft = 5\nUnknown=\"kept\"\n\n[Other]\nx=1\n");
  ProfileFile file(path);
  file.WriteString("Settings", "Left", "42");  // replaced in place, whatever its case
  file.WriteString("SETTINGS", "Mode", "1");   // new key: end of its section, before the blank line
  file.WriteString("New", "Key", "v");         // new section: end of the file
  EXPECT_EQ(ReadFile(path), "; kept comment\n[settings]\nLeft=42\nUnknown=\"kept\"\nMode=1\n\n[Other]\nx=1\n[New]\nKey=v\n");
  const ProfileFile reread(path);
  EXPECT_EQ(reread.ReadString("settings", "unknown", ""), "kept");
  EXPECT_EQ(reread.ReadInteger("Settings", "LEFT", 0), 42);
}

TEST(ProfileFileTest, IntegersAndBooleansFollowTheProfileRules) {
  TempFolder temp;
  WriteFile(temp / "a.ini", "[S]\nd=-12\nh=0x1F\nd2=$ff\nbad=12px\nempty=\nzero=0\nseven= 7 \n");
  const ProfileFile file(temp / "a.ini");
  EXPECT_EQ(file.ReadInteger("S", "d", 0), -12);
  EXPECT_EQ(file.ReadInteger("S", "h", 0), 31);
  EXPECT_EQ(file.ReadInteger("S", "d2", 0), 255);
  EXPECT_EQ(file.ReadInteger("S", "bad", 99), 99);
  EXPECT_EQ(file.ReadInteger("S", "empty", 99), 99);
  EXPECT_FALSE(file.ReadBool("S", "zero", true));
  EXPECT_TRUE(file.ReadBool("S", "seven", false));
  EXPECT_TRUE(file.ReadBool("S", "bad", true));
}

TEST(ProfileFileTest, AReadOnlyFileIsReportedAndLeftUnchanged) {
  TempFolder temp;
  const std::string path = temp / "a.ini";
  WriteFile(path, "[S]\nk=1\n");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  ProfileFile file(path);
  try {
    file.WriteString("S", "k", "2");
    FAIL() << "a read-only file was written";
  } catch (const ProfileWriteError& error) {
    EXPECT_EQ(std::string(error.what()), "Unable to write to " + path);
  }
  EXPECT_EQ(ReadFile(path), "[S]\nk=1\n");
  EXPECT_THROW(ProfileFile(temp / "missing/a.ini").WriteString("S", "k", "1"), ProfileWriteError);
}

// Records what LoadSettings sets, in order, and serves what SaveSettings reads.
struct RecordingHolder final : SettingsHolder {
  std::vector<std::string> log;
  int left = 1, top = 2, width = 3, height = 4, mode = -1;
  bool english = true, tray = true, icons = false, continue_copies = false;
  std::string folder = "/saved/\xff";

  int Left() const override { return left; }
  int Top() const override { return top; }
  int Width() const override { return width; }
  int Height() const override { return height; }
  void SetLeft(int v) override { log.push_back("Left " + std::to_string(v)); }
  void SetTop(int v) override { log.push_back("Top " + std::to_string(v)); }
  void SetWidth(int v) override { log.push_back("Width " + std::to_string(v)); }
  void SetHeight(int v) override { log.push_back("Height " + std::to_string(v)); }
  void SetTreeIcons(bool v) override { log.push_back("TreeIcons " + std::to_string(v)); }
  std::string SaveFolderText() const override { return folder; }
  void SetSaveFolderText(const std::string& v) override { log.push_back("Folder " + v); }
  bool EnglishChecked() const override { return english; }
  void ApplyLanguage(bool v) override { log.push_back("Language " + std::to_string(v)); }
  int ModeIndex() const override { return mode; }
  void SetModeIndex(int v) override { log.push_back("Mode " + std::to_string(v)); }
  bool TrayChecked() const override { return tray; }
  void SetTrayChecked(bool v) override { log.push_back("CD " + std::to_string(v)); }
  bool ShowIconsChecked() const override { return icons; }
  void SetShowIconsChecked(bool v) override { log.push_back("IconBox " + std::to_string(v)); }
  bool ContinueChecked() const override { return continue_copies; }
  void SetContinueChecked(bool v) override { log.push_back("Continue " + std::to_string(v)); }
  int retries = 3;
  int Retries() const override { return retries; }
  void SetRetries(int v) override { log.push_back("Retries " + std::to_string(v)); }
  int tree_width = 5;
  int TreeWidth() const override { return tree_width; }
  void SetTreeWidth(int v) override { log.push_back("TreeWidth " + std::to_string(v)); }
};

TEST(SettingsFileTest, AMissingFileGivesTheDefaultsInLoadingOrder) {
  TempFolder temp;
  RecordingHolder holder;
  // The language defaults to the desktop's: an English one here.
  const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::vector<std::optional<std::string>> saved;
  for (const char* name : names) {
    const char* value = std::getenv(name);
    saved.push_back(value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    ::unsetenv(name);
  }
  ::setenv("LANG", "en_US.UTF-8", 1);
  LoadSettings(temp / "Salvorine.ini", holder, "/home/user/");
  for (std::size_t i = 0; i < saved.size(); ++i) {
    saved[i] ? ::setenv(names[i], saved[i]->c_str(), 1) : ::unsetenv(names[i]);
  }
  const std::vector<std::string> expected = {"Left 100",        "Top 100",    "Width 630", "Height 480",
                                             "TreeIcons 1",     "Folder /home/user/", "Language 1",
                                             "Mode 0",          "CD 0",       "IconBox 1", "Continue 1", "Retries 0",
                                             "TreeWidth 201"};
  EXPECT_EQ(holder.log, expected);
}

TEST(SettingsFileTest, SavingWritesTheTenKeysAndKeepsOthers) {
  TempFolder temp;
  const std::string path = temp / "Salvorine.ini";
  WriteFile(path, "[Settings]\nExtra=kept\nMode=7\n");
  RecordingHolder holder;
  SaveSettings(path, holder);
  EXPECT_EQ(ReadFile(path),
            "[Settings]\nExtra=kept\nMode=-1\nLeft=1\nTop=2\nWidth=3\nHeight=4\nFolder=/saved/\xff\nLanguage=1\n"
            "Icon=0\nCD=1\nContinue=0\nRetries=3\nTreeWidth=5\n");
  RecordingHolder loaded;
  LoadSettings(path, loaded, "/home/user/");
  EXPECT_EQ(loaded.log[5], "Folder /saved/\xff");
  EXPECT_EQ(loaded.log[7], "Mode -1");
  EXPECT_EQ(loaded.log[10], "Continue 0");
  EXPECT_EQ(loaded.log[11], "Retries 3");
  EXPECT_EQ(loaded.log[12], "TreeWidth 5");
  // A count out of range is held to it.
  WriteFile(path, "[Settings]\nRetries=100000\n");
  RecordingHolder held;
  LoadSettings(path, held, "/home/user/");
  EXPECT_EQ(held.log[11], "Retries 100");
}

// Entries after 0..60 come from the language file, or in English when it lacks them.
TEST(MessageTableTest, LaterEntriesComeFromTheLanguageFileOrInEnglish) {
  TempFolder temp;
  WriteFile(temp / "ru.ini", "[Messages]\n75=\xd1\x81\xd1\x81\xd1\x8b\xd0\xbb\xd0\xba\xd0\xb0\n");
  MessageTable table;
  EXPECT_EQ(table.Text(kLeftOutFolderLinkText), kLeftOutFolderLinkText.english);
  table.Load(temp / "ru.ini");
  EXPECT_EQ(table.Text(kLeftOutFolderLinkText), "\xd1\x81\xd1\x81\xd1\x8b\xd0\xbb\xd0\xba\xd0\xb0");
  EXPECT_EQ(table.Text(kLeftOutSpecialText), kLeftOutSpecialText.english);
}

// "1 files": a counted word takes the form its count calls for, two forms
// following English, three Russian; anything that is not a group stays as written.
TEST(PluralFormsTest, ACountedWordAgreesWithItsCount) {
  struct Case {
    const char* text;
    std::int64_t first, second;
    const char* shown;
  };
  const Case cases[] = {
      {"%1 {1:file|files}", 1, 0, "%1 file"},
      {"%1 {1:file|files}", 0, 0, "%1 files"},
      {"%1 {1:file|files}, %2 {2:was|were}", 21, 1, "%1 files, %2 was"},
      {"{1:a|b|c}{1:a|b|c}", 1, 0, "aa"},
      {"{2:a|b|c} {1:a|b|c}", 21, 101, "a a"},
      {"{1:a|b|c}{2:a|b|c}", 2, 24, "bb"},
      {"{1:a|b|c}{2:a|b|c}", 1004, 32, "bb"},
      {"{1:a|b|c}{2:a|b|c}", 11, 12, "cc"},
      {"{1:a|b|c}{2:a|b|c}", 114, 111, "cc"},
      {"{1:a|b|c}{2:a|b|c}", 0, 5, "cc"},
      {"{1:a|b|c}{2:a|b|c}", 20, 1000, "cc"},
      {"{1:only}", 7, 0, "only"},
      {"{3:a|b} {x} {1 } {", 1, 1, "{3:a|b} {x} {1 } {"},
      {"no groups: 100%", 1, 1, "no groups: 100%"},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(WithPluralForms(test.text, {test.first, test.second}), test.shown) << test.text << " " << test.first;
  }
}

// Both language files, as shipped beside the program.
class LanguageFileTest : public ::testing::TestWithParam<bool> {
 protected:
  MessageTable Load() const {
    MessageTable table;
    table.Load(LanguageFilePath(SALVORINE_SOURCE_DIR, GetParam()));
    return table;
  }
};

TEST_P(LanguageFileTest, EveryEntryIsPresentAndMeetsWhatTheProgramReliesOn) {
  const MessageTable m = Load();
  for (int i = 0; i < MessageTable::kSize; ++i) EXPECT_FALSE(m.Message(i).empty()) << "entry " << i;
  // Help Topics and Web Site tell the language by the "Save to" caption's first letter.
  EXPECT_EQ(m.Message(25).starts_with('S'), GetParam());
  EXPECT_NE(m.Message(16), m.Message(17));
  EXPECT_TRUE(m.Message(45).ends_with('?'));
  for (int i : {7, 15}) EXPECT_FALSE(m.Message(i).ends_with("...")) << i;
  EXPECT_FALSE(m.Message(15).ends_with("Salvorine"));
  for (int i : {25, 38, 39, 40, 41}) EXPECT_FALSE(m.Message(i).ends_with(":")) << i;
  // The Damaged figure counts the bytes a Max Data pass never tried as well: "not recovered", not "unreadable".
  for (const WindowText& text : {kRowUnsavedText, kRowDamagedText}) {
    EXPECT_NE(m.Text(text).find(GetParam() ? "bytes not recovered" : "не восстановлено байт"), std::string::npos)
        << text.key;
  }
  // The summary's %3 is a size with its unit ("1.8 KB"), so the text names no unit of its own.
  EXPECT_NE(m.Text(kRunSummaryText).find(GetParam() ? "%3 not recovered" : "не восстановлено: %3"), std::string::npos);
  // Every counted word has the language's number of forms: two in English, three in Russian.
  std::ifstream file(LanguageFilePath(SALVORINE_SOURCE_DIR, GetParam()));
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::regex group(R"(\{[1-9]:([^}]*)\})");
  int groups = 0;
  for (auto found = std::sregex_iterator(text.begin(), text.end(), group); found != std::sregex_iterator(); ++found) {
    const std::string forms = (*found)[1];
    EXPECT_EQ(std::count(forms.begin(), forms.end(), '|'), GetParam() ? 1 : 2) << forms;
    ++groups;
  }
  EXPECT_GE(groups, 3);
  // Every entry after 0..60 the file holds is read, the highest keys too ("This file changed while it waited" is 260).
  const std::regex entry(R"((?:^|\n)([0-9]+)=([^\r\n]*))");
  int highest = 0;
  for (auto found = std::sregex_iterator(text.begin(), text.end(), entry); found != std::sregex_iterator(); ++found) {
    const int key = std::stoi((*found)[1]);
    if (key < MessageTable::kSize) continue;
    EXPECT_EQ(m.Text({key, ""}), (*found)[2].str()) << "entry " << key;
    highest = std::max(highest, key);
  }
  EXPECT_GE(highest, 260);
}

INSTANTIATE_TEST_SUITE_P(Languages, LanguageFileTest, ::testing::Values(true, false),
                         [](const auto& language) { return std::string(language.param ? "English" : "Russian"); });

struct RecordingView final : LanguageView {
  std::vector<std::pair<TextSlot, std::string>> texts;
  std::vector<std::string> events;
  int mode = kModeMaxData;
  void CheckLanguage(bool english) override { events.push_back(english ? "check English" : "check Russian"); }
  void SetText(TextSlot slot, const std::string& text) override { texts.emplace_back(slot, text); }
  int SelectedMode() const override { return mode; }
  void SelectMode(int index) override {
    mode = index;
    events.push_back("mode " + std::to_string(index));
  }
};

// Guards a switch that silently turned a Thorough run into Max Data.
TEST(ApplyLanguageTest, ASwitchKeepsThoroughAndMaxDataAndTurnsMaxSpeedIntoMaxData) {
  TempFolder program;
  const struct {
    int before, after;
  } cases[] = {{kModeMaxData, kModeMaxData}, {kModeMaxSpeed, kModeMaxData}, {kModeThorough, kModeThorough},
               {-1, kModeMaxData}};
  for (const auto& c : cases) {
    for (const bool english : {true, false}) {
      MessageTable messages;
      RecordingView view;
      view.mode = c.before;
      ApplyLanguage(english, program.Path(), messages, view);
      EXPECT_EQ(view.mode, c.after) << c.before << (english ? " English" : " Russian");
    }
  }
}

TEST(ApplyLanguageTest, WritesEveryTextFromTheTable) {
  TempFolder program;
  WriteFile(program / "Language/Russian.ini", "[Messages]\n0=Title\n3=Help3\n10=Help10\n7=Settings\n38=Name\n");
  MessageTable messages;
  RecordingView view;
  ApplyLanguage(false, program.Path(), messages, view);
  EXPECT_EQ(view.events, (std::vector<std::string>{"check Russian", "mode 0"}));
  EXPECT_EQ(view.texts.front(), std::make_pair(TextSlot::kMainCaption, std::string("Salvorine 1.51 - Title")));
  std::vector<std::string> help;
  for (const auto& [slot, text] : view.texts) {
    if (slot == TextSlot::kHelpMenu) help.push_back(text);
    if (slot == TextSlot::kSettingsMenuItem) {
      EXPECT_EQ(text, "Settings...");
    }
    if (slot == TextSlot::kAboutCaption) {
      EXPECT_EQ(text, " Salvorine");
    }
  }
  EXPECT_EQ(help, (std::vector<std::string>{"Help3", "Help10"}));
  const auto& texts = view.texts;
  EXPECT_NE(std::find(texts.begin(), texts.end(), std::make_pair(TextSlot::kFileNameHeading, std::string("Name"))),
            texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), std::make_pair(TextSlot::kSizeHeading, std::string())), texts.end());
  EXPECT_EQ(messages.Message(10), "Help10");
}

}  // namespace
}  // namespace salvorine::test
