#include "recovery/run_report.h"

#include <chrono>

#include "platform/file_system_error.h"
#include "recovery/report_history.h"

namespace salvorine {

void RunReport::Begin(const JobTable& table) {
  lines_.clear();
  for (int row = 1; row < table.RowCount(); ++row) {
    ReportRow line;
    line.path = table.Cell(0, row);
    lines_.push_back(std::move(line));
  }
  path_.clear();
  time_ = ReportTime(std::chrono::system_clock::now());
}

std::string RunReport::Text(const JobTable& table) const {
  return path_.empty() ? CurrentReportText(table, lines_, time_) : text_;
}

void RunReport::Save(const JobTable& table, SaveTree& tree, const std::string& save_folder,
                     const std::function<bool()>& free_room) {
  // An empty selection leaves nothing to report, and the save folder as it was.
  if (lines_.empty()) return;
  for (int row = 1; row <= static_cast<int>(lines_.size()); ++row) {
    ReportRow& line = Line(row);
    const RowState state = table.Figures(row).state;
    if (state == RowState::kPending || line.existing == "skipped") continue;
    if (line.map_path.empty() && state != RowState::kSaved && tree.HasMap(line.path)) {
      line.map_path = tree.MapPathOf(line.path);
    }
    const bool saved = state == RowState::kSaved || state == RowState::kDamaged || !line.map_path.empty();
    line.copy_path = saved ? tree.DestinationOf(line.path) : std::string();
  }
  text_ = CumulativeReportText(save_folder, table, lines_, time_);
  try {
    path_ = tree.SaveReport(text_);
  } catch (const FileSystemError& error) {
    if (!error.DiskFull() || !free_room()) throw;
    path_ = tree.SaveReport(text_);
  }
}

}  // namespace salvorine
