#pragma once

#include <string>
#include <vector>

#include "recovery/damage_report.h"
#include "recovery/run_ports.h"
#include "recovery/save_tree.h"

namespace salvorine {

// The damage report of one run: a line per row, filled in as the run goes,
// and saved in the save folder together with the lines of earlier runs.
class RunReport {
 public:
  // One line per row of `table` (its path), the run's time now, nothing saved yet.
  void Begin(const JobTable& table);
  // The line of table row `row` (1..N).
  ReportRow& Line(int row) { return lines_[static_cast<std::size_t>(row - 1)]; }
  const ReportRow& Line(int row) const { return lines_[static_cast<std::size_t>(row - 1)]; }
  bool Has(int row) const { return row >= 1 && static_cast<std::size_t>(row) <= lines_.size(); }
  // Names, for every row the run worked on, the map that stands beside its
  // copy however the run ended, and the copy it saved or continued (the
  // report keys its lines by it), then saves the report. On a full save disk
  // `free_room` is called once, and the report saved again when it freed some.
  void Save(const JobTable& table, SaveTree& tree, const std::string& save_folder,
            const std::function<bool()>& free_room);
  // The report as last saved; before that, the run's lines as they stand.
  std::string Text(const JobTable& table) const;
  // Where it was saved; empty before.
  const std::string& Path() const { return path_; }

 private:
  std::vector<ReportRow> lines_;  // index: row - 1
  std::string path_;
  std::string text_;  // as last saved
  std::string time_;  // when the run started, as the report gives it
};

}  // namespace salvorine
