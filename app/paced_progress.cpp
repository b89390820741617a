#include "app/paced_progress.h"

#include <QLabel>
#include <QProgressBar>

#include "widgets/text_bytes.h"

namespace salvorine {
namespace {

void Put(std::optional<std::string>& value, QLabel* label) {
  if (!value) return;
  label->setText(Shown(*value));
  value.reset();
}

void Put(std::optional<int>& value, QProgressBar* bar) {
  if (!value) return;
  bar->setValue(*value);
  value.reset();
}

}  // namespace

void PacedProgress::Flush() {
  Put(file_label_, widgets_.file_label);
  Put(count_label_, widgets_.count_label);
  Put(file_bar_, widgets_.file_bar);
  Put(file_percent_, widgets_.file_percent);
  Put(total_bar_, widgets_.total_bar);
  Put(total_percent_, widgets_.total_percent);
  Put(status_, widgets_.status);
  flushed_at_ = std::chrono::steady_clock::now();
}

}  // namespace salvorine
