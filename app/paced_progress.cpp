#include "app/paced_progress.h"

#include <QLabel>
#include <QProgressBar>

#include "app/activity_line.h"
#include "widgets/text_bytes.h"

namespace salvorine {
namespace {

void Put(std::optional<std::string>& value, QLabel* label) {
  if (!value) return;
  label->setText(Shown(*value));
  value.reset();
}

// QProgressBar::setValue repaints the bar at once, each bar on its own, and on
// an X server every such paint is sent to the server and waited for. With
// updates held off while the value changes, the bar is only marked for
// repainting, and is painted with everything else of the frame.
void Put(std::optional<int>& value, QProgressBar* bar) {
  if (!value) return;
  if (*value != bar->value()) {
    // The bar's own setting, not one it takes from a parent whose updates are held off.
    const bool held_off = bar->testAttribute(Qt::WA_ForceUpdatesDisabled);
    bar->setUpdatesEnabled(false);
    bar->setValue(*value);
    bar->setUpdatesEnabled(!held_off);  // which asks for the repaint, not yet made
  }
  value.reset();
}

}  // namespace

void PacedProgress::SetDamagedFiles(const DamagedFilesProgress& files) {
  if (files == damaged_files_) return;
  damaged_files_ = files;
  count_due_ = true;
}

void PacedProgress::SetDamagedFilesText(const QString& text) {
  damaged_files_text_ = text;
  count_due_ = damaged_files_.of > 0;
}

QString PacedProgress::CountText() const {
  if (damaged_files_.of == 0) return Shown(count_);
  return Shown(count_) + PartSeparator() + damaged_files_text_.arg(damaged_files_.at).arg(damaged_files_.of);
}

void PacedProgress::Flush() {
  Put(file_label_, widgets_.file_label);
  if (count_due_) widgets_.count_label->setText(CountText());
  count_due_ = false;
  Put(file_bar_, widgets_.file_bar);
  Put(file_percent_, widgets_.file_percent);
  Put(total_bar_, widgets_.total_bar);
  Put(total_percent_, widgets_.total_percent);
  // A new status text has no tooltip of its own: a summary's exact figures are not this text's.
  if (status_) widgets_.status->setToolTip(QString());
  Put(status_, widgets_.status);
  flushed_at_ = std::chrono::steady_clock::now();
}

}  // namespace salvorine
