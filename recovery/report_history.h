#pragma once

#include <functional>
#include <string>
#include <vector>

#include "recovery/damage_report.h"
#include "recovery/run_ports.h"

namespace salvorine {

// The rows of the report earlier runs left in `save_folder` (which ends in
// "/"); none when there is no report there as a regular file. Raises
// FileSystemError when there is one that cannot be read, so that a run never
// drops the rows of earlier runs unnoticed.
std::vector<ReportRow> EarlierReportRows(const std::string& save_folder);

// The report of this run's rows: `rows` (index: table row - 1) give path and
// map, `table` the figures and state, `run_time` the time of every row.
std::string CurrentReportText(const JobTable& table, const std::vector<ReportRow>& rows, const std::string& run_time);

// The report of the save folder: the earlier runs' rows that this run did not
// list, kept with their times, and this run's rows.
std::string CumulativeReportText(const std::string& save_folder, const JobTable& table,
                                 const std::vector<ReportRow>& rows, const std::string& run_time);

// Saves the report of a run that is ending on an error; a failure to do so is
// shown rather than raised, so that the error the run ends on is the one that
// propagates. A run ending on a full save disk (`disk_full`) is told so with
// advice by its caller, which covers a report the full disk has no room for.
void SaveReportAfterError(Dialogs& dialogs, const std::function<void()>& save_report, bool disk_full);

}  // namespace salvorine
