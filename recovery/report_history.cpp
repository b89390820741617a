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

std::vector<ReportRow> EarlierReportRows(const std::string& save_folder) {
  const std::string path = ReportPathIn(save_folder);
  // None there, or a link or a folder in its place: the report written next replaces it.
  const std::optional<std::string> text = ReadFileNoFollow(path, kLongestReport, "read the earlier report");
  return text ? ParseReport(*text) : std::vector<ReportRow>{};
}

namespace {

std::vector<ReportRow> CurrentRows(const JobTable& table, const std::vector<ReportRow>& rows,
                                   const std::string& run_time) {
  std::vector<ReportRow> current = rows;
  for (std::size_t i = 0; i < current.size(); ++i) {
    current[i].figures = table.Figures(static_cast<int>(i) + 1);
    current[i].time = run_time;
  }
  return current;
}

}  // namespace

std::string CurrentReportText(const JobTable& table, const std::vector<ReportRow>& rows, const std::string& run_time) {
  return ReportText(CurrentRows(table, rows, run_time));
}

std::string CumulativeReportText(const std::string& save_folder, const JobTable& table,
                                 const std::vector<ReportRow>& rows, const std::string& run_time) {
  return ReportText(MergedReport(EarlierReportRows(save_folder), CurrentRows(table, rows, run_time)));
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
