#pragma once

#include <functional>
#include <map>
#include <string>

#include "recovery/damage_report.h"
#include "recovery/run_ports.h"
#include "recovery/save_tree.h"

namespace salvorine {

// The damage report of one run, saved in the save folder together with the
// lines of earlier runs. A row's line is made from the table (path, figures,
// state) and the save tree (its copy) when the report is written; the report
// itself keeps only what neither knows, for the few rows that have it.
class RunReport {
 public:
  // The rows of `table` (1..N), the run's time now, nothing saved yet.
  void Begin(const JobTable& table);
  bool Has(int row) const { return row >= 1 && row <= rows_; }
  // What became of another file's copy at row `row`'s destination ("replaced", "kept both: ...", "skipped").
  void SetExisting(int row, const std::string& existing) { Set(existing_, row, existing); }
  // The map that stands beside row `row`'s copy; empty for none.
  void SetMapPath(int row, const std::string& map_path) { Set(map_paths_, row, map_path); }
  const std::string& MapPath(int row) const { return Get(map_paths_, row); }
  // The copy the last save named for row `row`, where that is not the place
  // that mirrors its source's; empty otherwise.
  const std::string& RenamedCopy(int row) const { return Get(renamed_copies_, row); }
  // Names, for every row the run worked on, the map that stands beside its
  // copy however the run ended, and the copy it saved or continued (the
  // report keys its lines by it), then saves the report. On a full save disk
  // `free_room` is called once, and the report saved again when it freed some.
  void Save(const JobTable& table, SaveTree& tree, const std::string& selection_root, const std::string& save_folder,
            const std::function<bool()>& free_room);
  // Where it was saved; empty before.
  const std::string& Path() const { return path_; }

 private:
  static void Set(std::map<int, std::string>& into, int row, const std::string& text);
  static const std::string& Get(const std::map<int, std::string>& from, int row);
  // Row `row`'s line as the report gives it now.
  ReportRow LineOf(int row, const JobTable& table, const SaveTree& tree) const;
  // Whether the row's copy stands (or a map of it): its line then names the copy.
  bool CopyNamed(int row, const JobTable& table) const;

  int rows_ = 0;
  // By row, only for rows that have one.
  std::map<int, std::string> existing_, map_paths_, renamed_copies_;
  std::string path_;
  std::string time_;  // when the run started, as the report gives it
};

}  // namespace salvorine
