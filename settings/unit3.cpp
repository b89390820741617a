#include "settings/unit3.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "i18n/extra_message.h"
#include "i18n/rescue_texts.h"
#include "i18n/window_texts.h"
#include "widgets/text_bytes.h"
#include "settings/settings_file.h"

namespace salvorine {
namespace {

// The dialog's size whenever its texts fit in it.
constexpr int kWidth = 344;
constexpr int kHeight = 330;

}  // namespace

TForm3::TForm3(std::function<void(bool)> show_icons, QWidget* parent)
    : CentredDialog(parent), show_icons_(std::move(show_icons)) {
  setObjectName(QStringLiteral("Form3"));
  setWindowTitle(QStringLiteral("Settings"));

  GroupBox3 = new QGroupBox(QStringLiteral("Recovery mode"), this);
  GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
  ComboBox1 = new QComboBox(GroupBox3);
  ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
  ComboBox1->addItems({QStringLiteral("Max Data"), QStringLiteral("Max Speed"), QStringLiteral("Thorough")});
  ComboBox1->setCurrentIndex(0);
  ModeExplanation = new QLabel(GroupBox3);
  ModeExplanation->setObjectName(QStringLiteral("ModeExplanation"));
  ModeExplanation->setWordWrap(true);
  CheckBox3 = new QCheckBox(QString::fromUtf8(kContinueCopiesText.english), GroupBox3);
  CheckBox3->setObjectName(QStringLiteral("CheckBox3"));
  CheckBox3->setChecked(true);
  RetriesLabel = new QLabel(QString::fromUtf8(kRetriesText.english), GroupBox3);
  RetriesLabel->setObjectName(QStringLiteral("RetriesLabel"));
  SpinBox1 = new QSpinBox(GroupBox3);
  SpinBox1->setObjectName(QStringLiteral("SpinBox1"));
  SpinBox1->setRange(kRetriesMin, kRetriesMax);
  RetriesLabel->setBuddy(SpinBox1);
  auto* retries = new QHBoxLayout;
  retries->addWidget(RetriesLabel, 1);
  retries->addWidget(SpinBox1);
  auto* mode = new QVBoxLayout(GroupBox3);
  mode->addWidget(ComboBox1);
  mode->addWidget(ModeExplanation);
  mode->addWidget(CheckBox3);
  mode->addLayout(retries);
  QStringList english;
  for (const WindowText& text : kModeTexts) english.append(QString::fromUtf8(text.english));
  SetModeExplanations(english);
  connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this] { ShowModeExplanation(); });

  GroupBox1 = new QGroupBox(QStringLiteral("View"), this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  CheckBox2 = new QCheckBox(QStringLiteral("Show Icons"), GroupBox1);
  CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
  (new QVBoxLayout(GroupBox1))->addWidget(CheckBox2);
  // Only a change of state runs the handler, as with a click.
  connect(CheckBox2, &QCheckBox::toggled, this, [this] { CheckBox2Click(); });

  GroupBox2 = new QGroupBox(QStringLiteral("Finish"), this);
  GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
  CheckBox1 = new QCheckBox(GroupBox2);
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  CheckBox1Text = new QLabel(QStringLiteral("Открыть лоток CD при завершении восстановления"), GroupBox2);
  CheckBox1Text->setWordWrap(true);
  CheckBox1Text->installEventFilter(this);
  auto* finish = new QHBoxLayout(GroupBox2);
  finish->addWidget(CheckBox1, 0, Qt::AlignTop);
  finish->addWidget(CheckBox1Text, 1);

  BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
  BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(BitBtn1);
  buttons->addWidget(BitBtn2);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(GroupBox3);
  layout->addWidget(GroupBox1);
  layout->addWidget(GroupBox2);
  layout->addStretch(1);
  layout->addLayout(buttons);
  SetUsualSize({kWidth, kHeight});
}

void TForm3::CheckBox2Click() { show_icons_(CheckBox2->isChecked()); }

void TForm3::SetModeExplanations(const QStringList& lines) {
  mode_explanations_ = lines;
  ShowModeExplanation();
}

void TForm3::ShowModeExplanation() {
  const int index = ComboBox1->currentIndex();
  ModeExplanation->setText(index >= 0 && index < mode_explanations_.size() ? mode_explanations_[index] : QString());
  if (isVisible()) FitTexts();
}

QString TForm3::ModeName(int index) const { return ComboBox1->itemText(index); }

void TForm3::SetText(TextSlot slot, const QString& shown) {
  switch (slot) {
    case TextSlot::kSettingsCaption: return setWindowTitle(shown);
    case TextSlot::kTrayCheckBox: return CheckBox1Text->setText(shown);
    case TextSlot::kShowIconsCheckBox: return CheckBox2->setText(shown);
    case TextSlot::kViewGroup: return GroupBox1->setTitle(shown);
    case TextSlot::kFinishGroup: return GroupBox2->setTitle(shown);
    case TextSlot::kModeGroup: return GroupBox3->setTitle(shown);
    case TextSlot::kModeItem0: return ComboBox1->setItemText(0, shown);
    case TextSlot::kModeItem1: return ComboBox1->setItemText(1, shown);
    case TextSlot::kModeItem2: return ComboBox1->setItemText(2, shown);
    case TextSlot::kSettingsCancelButton: return BitBtn2->setText(shown);
    default: return;
  }
}

void TForm3::ApplyLanguageFile(const std::string& language_file) {
  const auto text = [&language_file](const WindowText& entry) {
    return Shown(ExtraMessage(language_file, entry.key, entry.english));
  };
  QStringList modes;
  for (const WindowText& mode : kModeTexts) modes.append(text(mode));
  SetModeExplanations(modes);
  CheckBox3->setText(text(kContinueCopiesText));
  RetriesLabel->setText(text(kRetriesText));
}

// The caption beside the tray check box toggles it, as a check box's own caption would.
bool TForm3::eventFilter(QObject* watched, QEvent* event) {
  if (watched == CheckBox1Text && event->type() == QEvent::MouseButtonRelease) {
    CheckBox1->toggle();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace salvorine
