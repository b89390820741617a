#pragma once

#include "widgets/centred_dialog.h"
#include <QStringList>
#include <functional>
#include <string>

#include "i18n/apply_language.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace salvorine {

// The Settings dialog. Its controls show the recovery mode, the tray option,
// "Show Icons" and the rest; a change is in force as it is made (the main
// window holds each one), and OK and Cancel only close the dialog.
class TForm3 final : public CentredDialog {
  Q_OBJECT

 public:
  // `show_icons` switches the folder tree's icons; "Show Icons" calls it at once.
  explicit TForm3(std::function<void(bool)> show_icons, QWidget* parent = nullptr);

  void CheckBox2Click();
  // One line per mode, shown under the mode list for the selected mode.
  void SetModeExplanations(const QStringList& lines);
  // The name of mode `index` in the language shown.
  QString ModeName(int index) const;
  // A text of a language's table; slots of other windows are left alone.
  void SetText(TextSlot slot, const QString& shown);
  // The texts the language's table lacks, from `language_file` (English where it lacks them too).
  void ApplyLanguageFile(const std::string& language_file);

  QGroupBox* GroupBox3 = nullptr;  // "Recovery mode"
  QComboBox* ComboBox1 = nullptr;
  QLabel* ModeExplanation = nullptr;  // what the selected mode does
  QCheckBox* CheckBox3 = nullptr;  // "Continue earlier copies"
  QLabel* RetriesLabel = nullptr;  // the caption of SpinBox1
  QSpinBox* SpinBox1 = nullptr;    // Thorough's retries of sectors still bad
  QGroupBox* GroupBox1 = nullptr;  // "View"
  QCheckBox* CheckBox2 = nullptr;  // "Show Icons"
  QGroupBox* GroupBox2 = nullptr;  // "Finish"
  QCheckBox* CheckBox1 = nullptr;  // open the tray when a run finishes
  QLabel* CheckBox1Text = nullptr;  // its caption, word-wrapped
  QPushButton* BitBtn1 = nullptr;  // OK
  QPushButton* BitBtn2 = nullptr;  // Cancel

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowModeExplanation();

  std::function<void(bool)> show_icons_;
  QStringList mode_explanations_;
};

}  // namespace salvorine
