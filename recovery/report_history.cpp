#include "recovery/destination_path.h"
#include "recovery/report_history.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_system_error.h"

namespace salvorine {
namespace {

// A report this long would hold millions of rows: it is not one a run wrote.
constexpr off_t kLongestReport = off_t{1} << 30;

struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

std::vector<ReportRow> EarlierReportRows(const std::string& save_folder) {
  const std::string path = ReportPathIn(save_folder);
  const Descriptor file{::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
  if (file.fd < 0) {
    // None there, or a link or a folder in its place: the report written next replaces it.
    if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP) return {};
    throw FileSystemError(errno, path, "read the earlier report");
  }
  struct stat status {};
  if (::fstat(file.fd, &status) != 0) throw FileSystemError(errno, path, "read the earlier report");
  if (!S_ISREG(status.st_mode) || status.st_size > kLongestReport) return {};
  std::string text;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(file.fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw FileSystemError(errno, path, "read the earlier report");
    if (got == 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  return ParseReport(text);
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

void SaveReportAfterError(Dialogs& dialogs, const std::function<void()>& save_report) {
  try {
    save_report();
  } catch (const FileSystemError& error) {
    dialogs.ShowError(error.Path() + "\r" + error.what());
  }
}

}  // namespace salvorine
