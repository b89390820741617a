#include "recovery/run_report.h"

#include <chrono>

#include "platform/file_system.h"
#include "platform/file_system_error.h"
#include "recovery/destination_path.h"
#include "recovery/report_history.h"

namespace salvorine {

void RunReport::Begin(const JobTable& table) {
  rows_ = table.RowCount() - 1;
  existing_.clear();
  map_paths_.clear();
  renamed_copies_.clear();
  path_.clear();
  time_ = ReportTime(std::chrono::system_clock::now());
}

void RunReport::Set(std::map<int, std::string>& into, int row, const std::string& text) {
  if (text.empty()) into.erase(row);
  else into.insert_or_assign(row, text);
}

const std::string& RunReport::Get(const std::map<int, std::string>& from, int row) {
  static const std::string kNone;
  const auto found = from.find(row);
  return found == from.end() ? kNone : found->second;
}

bool RunReport::CopyNamed(int row, const JobTable& table) const {
  const RowState state = table.Figures(row).state;
  if (state == RowState::kPending || Get(existing_, row) == "skipped") return false;
  return state == RowState::kSaved || state == RowState::kDamaged || !MapPath(row).empty();
}

ReportRow RunReport::LineOf(int row, const JobTable& table, const SaveTree& tree) const {
  ReportRow line;
  line.path = table.Cell(0, row);
  line.figures = table.Figures(row);
  if (CopyNamed(row, table)) line.copy_path = tree.DestinationOf(line.path);
  line.map_path = MapPath(row);
  line.existing = Get(existing_, row);
  line.time = time_;
  return line;
}

void RunReport::Save(const JobTable& table, SaveTree& tree, const std::string& selection_root,
                     const std::string& save_folder, const std::function<bool()>& free_room) {
  // An empty selection leaves nothing to report, and the save folder as it was.
  if (rows_ == 0) return;
  const bool root_is_file = FileExists(selection_root);
  for (int row = 1; row <= rows_; ++row) {
    const RowState state = table.Figures(row).state;
    if (state == RowState::kPending || Get(existing_, row) == "skipped") continue;
    const std::string path = table.Cell(0, row);
    if (MapPath(row).empty() && state != RowState::kSaved && tree.HasMap(path)) SetMapPath(row, tree.MapPathOf(path));
    if (!CopyNamed(row, table)) continue;
    // Kept only where a reader could not tell it from the source's path.
    const std::string copy = tree.DestinationOf(path);
    const bool mirrored = copy == save_folder + MirroredRelativePath(path, selection_root, root_is_file);
    Set(renamed_copies_, row, mirrored ? std::string() : copy);
  }
  const auto pieces = [&](const std::function<void(std::string_view)>& put) {
    WriteCumulativeReport(
        save_folder, static_cast<std::size_t>(rows_),
        [&](std::size_t i) { return LineOf(static_cast<int>(i) + 1, table, tree); }, put);
  };
  try {
    path_ = tree.SaveReport(pieces);
  } catch (const FileSystemError& error) {
    if (!error.DiskFull() || !free_room()) throw;
    path_ = tree.SaveReport(pieces);
  }
}

}  // namespace salvorine
