// The main window's texts in the language in force; each dialog it owns sets its own.
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include "app/unit1.h"
#include "app/unit2.h"
#include "i18n/data_files.h"
#include "i18n/extra_message.h"
#include "i18n/run_view_texts.h"
#include "i18n/window_texts.h"
#include "preview/unit5.h"
#include "settings/unit3.h"
#include "widgets/text_bytes.h"

namespace salvorine {

void TForm1::ApplyLanguage(bool english) {
  qt_translations_.Apply(english);
  salvorine::ApplyLanguage(english, program_folder_, messages_, *this);
  const std::string file = LanguageFilePath(program_folder_, english);
  const auto text = [&file](const WindowText& entry) { return Shown(ExtraMessage(file, entry.key, entry.english)); };
  table_->SetStateTexts({text(kRowPendingText), text(kRowStoppedText), text(kRowUnsavedText), text(kRowDamagedText),
                         text(kRowSavedText), text(kRowSkippedText)});
  summary_text_ = text(kRunSummaryText);
  ApplyRunViewTexts(file);
  Report1->setText(text(kReportMenuText));
  no_report_text_ = Bytes(text(kNoReportText));
  if (settings_ != nullptr) settings_->ApplyLanguageFile(file);
  mode_text_ = text(kModeInForceText);
  ModeLabel1->setToolTip(text(kModeInForceHint));
  ShowMode();
  AssignMenuMnemonics();
  table_->ShowChanges();
  FitFigureColumns();
}

// The damage map's and the activity line's texts from `language_file`; English where it lacks them.
void TForm1::ApplyRunViewTexts(const std::string& language_file) {
  const auto text = [&language_file](const WindowText& entry) {
    return Shown(ExtraMessage(language_file, entry.key, entry.english));
  };
  DamageMapView::Texts map;
  map.shades = {text(kMapFinishedText), text(kMapUntriedText), text(kMapBadText), text(kMapReadingText)};
  map.range = text(kMapRangeText);
  map.count = text(kMapCountText);
  map.empty = text(kMapEmptyText);
  DamageMap1->SetTexts(map);
  map_texts_ = map;
  ActivityLine::Texts activity;
  // Reading, Bad block, Retrying and Waiting for the drive are entries of the message table.
  const auto message = [this](int index, const char* english) {
    const std::string& shown = messages_.Message(index);
    return shown.empty() ? QString::fromUtf8(english) : Shown(shown);
  };
  activity.activities = {QString(), message(32, "Reading"), message(34, "Bad block"), message(36, "Retrying"),
                         message(37, "Waiting for the drive")};
  activity.stages = {QString(), text(kBetweenBadAreasText), text(kSectorsLeftText), text(kRetryingText)};
  activity.bytes_done = text(kBytesDoneText);
  activity.size_done = text(kSizeDoneText);
  size_texts_ = SizeTexts(language_file);
  table_->SetSizeTexts(size_texts_);
  activity.units = size_texts_.Units();
  activity.kilobytes_per_second = text(kKilobytesPerSecondText);
  activity.megabytes_per_second = text(kMegabytesPerSecondText);
  activity.time_left = text(kTimeLeftText);
  activity.stopping = text(kStoppingText);
  activity_.SetTexts(activity);
  progress_.SetDamagedFilesText(text(kDamagedFilesText));
  earlier_copies_text_ = text(kEarlierCopiesText);
  row_continued_text_ = text(kRowContinuedText);
  row_taken_whole_text_ = text(kRowTakenWholeText);
  if (!run_on_stack_) MarkEarlierCopies();
  SetCaption(ToolButton8, text(kSkipFileText));
  SkipFile1->setText(text(kSkipFileText));
}

// A caption in full, also as a tooltip for when the toolbar has no room to show it.
void TForm1::SetCaption(QToolButton* button, const QString& caption) {
  button->setText(caption);
  button->setToolTip(caption);
}

void TForm1::CheckLanguage(bool english) {
  English1->setChecked(english);
  Russian1->setChecked(!english);
}

void TForm1::SelectMode(int index) {
  held_settings_.SetMode(index);
}

// A mode the list does not hold runs as Max Data, and is shown as such.
void TForm1::ShowMode() {
  const int mode = held_settings_.Mode();
  const int shown = mode == kModeMaxSpeed || mode == kModeThorough ? mode : kModeMaxData;
  ModeLabel1->setText(mode_text_.arg(settings_ != nullptr ? settings_->ModeName(shown)
                                                          : QStringLiteral("Max Data")));
}

void TForm1::SetText(TextSlot slot, const std::string& text) {
  // The headings are row 0 of the job table, which keeps cell texts as bytes.
  if (slot >= TextSlot::kFileNameHeading && slot <= TextSlot::kDamagedHeading) {
    return table_->SetCell(static_cast<int>(slot) - static_cast<int>(TextSlot::kFileNameHeading), 0, text);
  }
  const QString shown = Shown(text);
  switch (slot) {
    case TextSlot::kMainCaption: return setWindowTitle(shown);
    case TextSlot::kFileMenu: return File1->setTitle(shown);
    case TextSlot::kOptionsMenu: return Settings1->setTitle(shown);
    case TextSlot::kHelpMenu: return Help1->setTitle(shown);
    case TextSlot::kRecoverMenuItem: return Recover2->setText(shown);
    case TextSlot::kPreviewMenuItem: return Information2->setText(shown);
    case TextSlot::kExitMenuItem: return Exit1->setText(shown);
    case TextSlot::kSettingsMenuItem: return Settings2->setText(shown);
    case TextSlot::kLanguageMenu: return Language1->setTitle(shown);
    case TextSlot::kRussianMenuItem: return Russian1->setText(shown);
    case TextSlot::kHelpTopicsMenuItem: return Help2->setText(shown);
    case TextSlot::kWebSiteMenuItem: return WebSite1->setText(shown);
    case TextSlot::kFeedbackMenuItem: return Support1->setText(shown);
    case TextSlot::kAboutMenuItem: return About1->setText(shown);
    case TextSlot::kEjectButton: return SetCaption(ToolButton6, shown);
    case TextSlot::kRefreshButton: return SetCaption(ToolButton7, shown);
    case TextSlot::kRecoverButton: return SetCaption(ToolButton1, shown);
    case TextSlot::kPauseButton: return SetCaption(ToolButton2, shown);
    case TextSlot::kStopButton: return SetCaption(ToolButton3, shown);
    case TextSlot::kPreviewButton: return SetCaption(ToolButton4, shown);
    case TextSlot::kSettingsButton: return SetCaption(ToolButton5, shown);
    case TextSlot::kSaveToGroup: return GroupBox1->setTitle(shown);
    case TextSlot::kBrowseHint: return Button3->setToolTip(shown);
    case TextSlot::kOpenHint: return BitBtn3->setToolTip(shown);
    case TextSlot::kProgressGroup: return GroupBox2->setTitle(shown);
    case TextSlot::kFileLabel: return Label5->setText(shown);
    case TextSlot::kTotalLabel: return Label6->setText(shown);
    case TextSlot::kTreeRecoverItem: return Recover1->setText(shown);
    case TextSlot::kTablePreviewItem: return Preview1->setText(shown);
    case TextSlot::kAboutCaption:
      if (about_ != nullptr) about_->setWindowTitle(shown);
      return;
    default: break;
  }
  if (settings_ != nullptr) settings_->SetText(slot, shown);
  if (preview_ != nullptr) preview_->SetText(slot, shown);
}

}  // namespace salvorine
