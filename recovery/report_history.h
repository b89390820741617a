#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "recovery/damage_report.h"
#include "recovery/run_ports.h"

namespace salvorine {

// Hands `put` the report of the save folder, piece by piece: the header,
// the earlier runs' rows that this run did not list, kept with their times,
// and this run's `count` rows, each made by `current` (index 0..count-1) when
// it is written. The earlier report is the one in `save_folder` (which ends in
// "/") as a regular file, if any; one that cannot be read raises
// FileSystemError, so that a run never drops the rows of earlier runs unnoticed.
void WriteCumulativeReport(const std::string& save_folder, std::size_t count,
                           const std::function<ReportRow(std::size_t)>& current,
                           const std::function<void(std::string_view)>& put);

// Saves the report of a run that is ending on an error; a failure to do so is
// shown rather than raised, so that the error the run ends on is the one that
// propagates. A run ending on a full save disk (`disk_full`) is told so with
// advice by its caller, which covers a report the full disk has no room for.
void SaveReportAfterError(Dialogs& dialogs, const std::function<void()>& save_report, bool disk_full);

}  // namespace salvorine
