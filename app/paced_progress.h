#pragma once

#include <chrono>
#include <optional>
#include <string>

#include <QString>

#include "recovery/run_ports.h"

class QLabel;
class QProgressBar;

namespace salvorine {

// The progress display of the main window. The run reports after every block,
// thousands of times a second on small healthy files; a progress bar repaints
// itself at once on every change, so the values are kept here and put on the
// widgets at most once per frame, and always when Flush() is called.
class PacedProgress final : public ProgressDisplay {
 public:
  struct Widgets {
    QLabel* file_label;
    QLabel* count_label;
    QProgressBar* file_bar;
    QLabel* file_percent;
    QProgressBar* total_bar;
    QLabel* total_percent;
    QLabel* status;
  };

  // Fast enough to look live, slow enough that painting costs nothing next to the copying.
  static constexpr std::chrono::milliseconds kFrame{100};

  // The widgets exist only after the window that owns this has laid them out.
  void Attach(const Widgets& widgets) { widgets_ = widgets; }

  void SetFileLabel(const std::string& path) override { file_label_ = path; }
  void SetCountLabel(const std::string& text) override {
    count_ = text;
    count_due_ = true;
  }
  void SetFileBar(int position) override { file_bar_ = position; }
  void SetFilePercent(const std::string& text) override { file_percent_ = text; }
  void SetTotalBar(int position) override { total_bar_ = position; }
  void SetTotalPercent(const std::string& text) override { total_percent_ = text; }
  void SetStatusText(const std::string& text) override { status_ = text; }
  // Kept for the activity line, which reads it at its own pace.
  void SetStage(const StageProgress& stage) override { stage_ = stage; }
  const StageProgress& Stage() const { return stage_; }
  // Said beside the files done while the damaged files' rescue lasts: "%1 of %2" of them.
  void SetDamagedFiles(const DamagedFilesProgress& files) override;
  void SetDamagedFilesText(const QString& text);

  // True once a frame has passed since the last flush.
  bool FrameDue() const { return std::chrono::steady_clock::now() - flushed_at_ >= kFrame; }
  // Puts every value set since the last flush on its widget.
  void Flush();

 private:
  Widgets widgets_{};
  QString CountText() const;

  std::optional<std::string> file_label_, file_percent_, total_percent_, status_;
  std::string count_;
  bool count_due_ = false;  // the count label, or what is said beside it, changed since the last flush
  std::optional<int> file_bar_, total_bar_;
  StageProgress stage_;
  DamagedFilesProgress damaged_files_;
  QString damaged_files_text_;
  std::chrono::steady_clock::time_point flushed_at_{};
};

}  // namespace salvorine
