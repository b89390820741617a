#include "i18n/apply_language.h"

#include "i18n/failure_wording.h"
#include "recovery/run_ports.h"

namespace salvorine {

int ModeAfterLanguageSwitch(int mode) { return mode == kModeThorough ? kModeThorough : kModeMaxData; }

void ApplyLanguage(bool english, const std::string& program_folder, MessageTable& messages, LanguageView& view) {
  view.CheckLanguage(english);
  messages.Load(LanguageFilePath(program_folder, english));
  WordFileSystemErrorsIn(LanguageFilePath(program_folder, english));
  const auto m = [&messages](int index) { return messages.Message(index); };
  const auto set = [&view](TextSlot slot, const std::string& text) { view.SetText(slot, text); };

  set(TextSlot::kMainCaption, "Salvorine 1.51 - " + m(0));

  set(TextSlot::kFileMenu, m(1));
  set(TextSlot::kOptionsMenu, m(2));
  set(TextSlot::kHelpMenu, m(3));
  set(TextSlot::kRecoverMenuItem, m(4));
  set(TextSlot::kPreviewMenuItem, m(23));
  set(TextSlot::kExitMenuItem, m(6));
  set(TextSlot::kSettingsMenuItem, m(7) + "...");
  set(TextSlot::kLanguageMenu, m(8));
  set(TextSlot::kRussianMenuItem, m(9));
  set(TextSlot::kHelpMenu, m(10));
  set(TextSlot::kHelpTopicsMenuItem, m(11));
  set(TextSlot::kWebSiteMenuItem, m(12));
  set(TextSlot::kFeedbackMenuItem, m(13));
  set(TextSlot::kAboutMenuItem, m(15) + "...");

  set(TextSlot::kEjectButton, m(16));
  set(TextSlot::kRefreshButton, m(18));
  set(TextSlot::kRecoverButton, m(4));
  set(TextSlot::kPauseButton, m(20));
  set(TextSlot::kStopButton, m(22));
  set(TextSlot::kPreviewButton, m(23));
  set(TextSlot::kSettingsButton, m(7));

  set(TextSlot::kSaveToGroup, m(25));
  set(TextSlot::kBrowseHint, m(26));
  set(TextSlot::kOpenHint, m(28));
  set(TextSlot::kProgressGroup, m(29));
  set(TextSlot::kFileLabel, m(30));
  set(TextSlot::kTotalLabel, m(31));

  set(TextSlot::kFileNameHeading, m(38));
  set(TextSlot::kSizeHeading, m(39));
  set(TextSlot::kCompletedHeading, m(40));
  set(TextSlot::kDamagedHeading, m(41));

  set(TextSlot::kTreeRecoverItem, m(4));
  set(TextSlot::kTablePreviewItem, m(23));

  set(TextSlot::kAboutCaption, m(15) + " Salvorine");

  set(TextSlot::kSettingsCaption, m(7));
  set(TextSlot::kTrayCheckBox, m(49));
  set(TextSlot::kShowIconsCheckBox, m(52));
  set(TextSlot::kViewGroup, m(51));
  set(TextSlot::kFinishGroup, m(50));
  set(TextSlot::kModeGroup, m(56));
  set(TextSlot::kModeItem0, m(57));
  set(TextSlot::kModeItem1, m(58));
  set(TextSlot::kModeItem2, m(60));
  set(TextSlot::kSettingsCancelButton, m(44));
  view.SelectMode(ModeAfterLanguageSwitch(view.SelectedMode()));

  set(TextSlot::kPreviewInformationGroup, m(5));
  set(TextSlot::kPreviewCloseButton, m(59));
  set(TextSlot::kPreviewCaption, m(23));
  set(TextSlot::kPreviewFileNameLabel, m(38) + ":");
  set(TextSlot::kPreviewSaveAsLabel, m(25) + ":");
  set(TextSlot::kPreviewSizeLabel, m(39) + ":");
  set(TextSlot::kPreviewCompletedLabel, m(40) + ":");
  set(TextSlot::kPreviewDamagedLabel, m(41) + ":");
  set(TextSlot::kPreviewTextTab, m(53));
  set(TextSlot::kPreviewImageTab, m(54));
  set(TextSlot::kPreviewMediaTab, m(55));
  set(TextSlot::kPreviewOpenButton, m(28));
}

}  // namespace salvorine
