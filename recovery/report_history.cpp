#include "recovery/destination_path.h"
#include "recovery/report_history.h"

#include <cstdint>
#include <optional>

#include "platform/file_no_follow.h"
#include "platform/file_system_error.h"

namespace salvorine {
namespace {

// A report this long would hold millions of rows: it is not one a run wrote.
constexpr std::int64_t kLongestReport = std::int64_t{1} << 30;

}  // namespace

void WriteCumulativeReport(const std::string& save_folder, std::size_t count,
                           const std::function<ReportRow(std::size_t)>& current,
                           const std::function<void(std::string_view)>& put) {
  // None there, or a link or a folder in its place: the report written next replaces it.
  const ReportRows earlier = [&save_folder](const std::function<void(const ReportRow&)>& take) {
    ReportReader reader(take);
    ReadFileNoFollow(ReportPathIn(save_folder), kLongestReport, "read the earlier report",
                     [&reader](std::string_view piece) { reader.Add(piece); });
    reader.End();
  };
  put(ReportHeader());
  ForEachMergedRow(earlier, count, current, [&put](const ReportRow& row) { put(ReportLine(row)); });
}

void SaveReportAfterError(Dialogs& dialogs, const std::function<void()>& save_report, bool disk_full) {
  try {
    save_report();
  } catch (const FileSystemError& error) {
    if (disk_full && error.DiskFull()) return;
    dialogs.ShowError(error.Path() + "\r" + error.what());
  }
}

}  // namespace salvorine
