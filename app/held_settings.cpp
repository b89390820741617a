#include "app/held_settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <algorithm>
#include <iterator>

#include "i18n/window_texts.h"
#include "settings/settings_file.h"
#include "settings/unit3.h"

namespace salvorine {

void HeldSettings::Follow(TForm3& dialog, std::function<void()> mode_changed) {
  dialog_ = &dialog;
  mode_changed_ = std::move(mode_changed);
  SetMode(mode_);
  SetTray(tray_);
  SetShowIcons(show_icons_);
  SetContinueCopies(continue_copies_);
  SetRetries(retries_);
  QObject::connect(dialog.ComboBox1, &QComboBox::currentIndexChanged, &dialog, [this](int index) {
    mode_ = index;
    if (mode_changed_) mode_changed_();
  });
  QObject::connect(dialog.CheckBox1, &QCheckBox::toggled, &dialog, [this](bool on) { tray_ = on; });
  QObject::connect(dialog.CheckBox2, &QCheckBox::toggled, &dialog, [this](bool show) { show_icons_ = show; });
  QObject::connect(dialog.CheckBox3, &QCheckBox::toggled, &dialog, [this](bool on) { continue_copies_ = on; });
  QObject::connect(dialog.SpinBox1, &QSpinBox::valueChanged, &dialog, [this](int retries) { retries_ = retries; });
}

void HeldSettings::SetMode(int index) {
  const bool listed = index >= 0 && index < static_cast<int>(std::size(kModeTexts));
  mode_ = listed ? index : -1;
  if (dialog_ != nullptr) dialog_->ComboBox1->setCurrentIndex(mode_);
}

void HeldSettings::SetTray(bool on) {
  tray_ = on;
  if (dialog_ != nullptr) dialog_->CheckBox1->setChecked(on);
}

void HeldSettings::SetShowIcons(bool show) {
  show_icons_ = show;
  if (dialog_ != nullptr) dialog_->CheckBox2->setChecked(show);
}

void HeldSettings::SetContinueCopies(bool on) {
  continue_copies_ = on;
  if (dialog_ != nullptr) dialog_->CheckBox3->setChecked(on);
}

void HeldSettings::SetRetries(int retries) {
  retries_ = std::clamp(retries, kRetriesMin, kRetriesMax);
  if (dialog_ != nullptr) dialog_->SpinBox1->setValue(retries_);
}

}  // namespace salvorine
