#pragma once

#include <string>

#include "i18n/message_table.h"

namespace salvorine {

// Every place a language writes a text into.
enum class TextSlot {
  kMainCaption,
  kFileMenu,
  kOptionsMenu,
  kHelpMenu,
  kRecoverMenuItem,
  kPreviewMenuItem,
  kExitMenuItem,
  kSettingsMenuItem,
  kLanguageMenu,
  kRussianMenuItem,
  kHelpTopicsMenuItem,
  kWebSiteMenuItem,
  kFeedbackMenuItem,
  kAboutMenuItem,
  kEjectButton,
  kRefreshButton,
  kRecoverButton,
  kPauseButton,
  kStopButton,
  kPreviewButton,
  kSettingsButton,
  kSaveToGroup,
  kBrowseHint,
  kOpenHint,
  kProgressGroup,
  kFileLabel,
  kTotalLabel,
  kFileNameHeading,  // row 0 of the job table, columns 0 to 3
  kSizeHeading,
  kCompletedHeading,
  kDamagedHeading,
  kTreeRecoverItem,
  kTablePreviewItem,
  kAboutCaption,
  kSettingsCaption,
  kTrayCheckBox,
  kShowIconsCheckBox,
  kViewGroup,
  kFinishGroup,
  kModeGroup,
  kModeItem0,
  kModeItem1,
  kModeItem2,
  kSettingsCancelButton,
  kPreviewInformationGroup,
  kPreviewCloseButton,
  kPreviewCaption,
  kPreviewFileNameLabel,
  kPreviewSaveAsLabel,
  kPreviewSizeLabel,
  kPreviewCompletedLabel,
  kPreviewDamagedLabel,
  kPreviewTextTab,
  kPreviewImageTab,
  kPreviewMediaTab,
  kPreviewOpenButton,
};

// The windows as a language sees them.
class LanguageView {
 public:
  virtual ~LanguageView() = default;
  // Checks the English or the Russian item of the Language menu, unchecking the other.
  virtual void CheckLanguage(bool english) = 0;
  virtual void SetText(TextSlot slot, const std::string& text) = 0;
  // The selected item of the Settings dialog's recovery-mode list, -1 for none.
  virtual int SelectedMode() const = 0;
  // Selects an item of that list.
  virtual void SelectMode(int index) = 0;
};

// The recovery mode in force after a language switch: Thorough stays, and
// every other mode becomes Max Data, so that a switch ends Max Speed's cut-off
// of slow reads without silently costing a Thorough run its rescue.
int ModeAfterLanguageSwitch(int mode);

// Loads the English or Russian language file beside the program into `messages`
// and writes its texts into every window, row 0 of the job table included.
// Selects ModeAfterLanguageSwitch of the mode chosen before.
void ApplyLanguage(bool english, const std::string& program_folder, MessageTable& messages, LanguageView& view);

}  // namespace salvorine
