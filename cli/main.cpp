// salvorine-cli: one recovery run without a window, for scripts and benchmarks.
//
// Exit status: 0 the run completed and every file is saved whole; 3 the run
// completed but some file is damaged or was left out; 1 the run ended early
// (stopped, a file could not be opened, created or saved, a file-system
// error, stdout could not be written); 2 the command line is wrong, SOURCE
// names neither a file nor a folder, or SAVE_FOLDER lies inside SOURCE.
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/console_ports.h"
#include "i18n/message_table.h"
#include "platform/file_system.h"
#include "platform/sector_size.h"
#include "recovery/damage_report.h"
#include "recovery/memory_job_table.h"
#include "recovery/recovery_run.h"
#include "recovery/top_level_handler.h"
#include "recovery/working_folder.h"

namespace {

using namespace salvorine;

constexpr int kExitCompleted = 0;
constexpr int kExitEndedEarly = 1;
constexpr int kExitUsage = 2;
constexpr int kExitIncomplete = 3;

constexpr const char* kUsage =
    "usage: salvorine-cli [--mode data|speed|thorough] [--sector-size N] [--language en|ru]\n"
    "                     [--fresh] [--report FILE] SOURCE SAVE_FOLDER\n"
    "\n"
    "Recovers SOURCE (a file, or every file below a folder) into SAVE_FOLDER,\n"
    "reading around unreadable areas; what cannot be read is left as zeros.\n"
    "Prints one line per file, five fields separated by tabs: path, size,\n"
    "completed and damaged figures, and what became of the file: ok (saved\n"
    "whole), damaged (saved, unreadable bytes left as zeros), unsaved (could\n"
    "not be saved), stopped (the run stopped in it; saved as far as it got),\n"
    "pending (not reached). A tab, newline, carriage return or backslash in a\n"
    "path is written as \\t, \\n, \\r or \\\\.\n"
    "\n"
    "A copy that is not whole gets a map of its bytes in GNU ddrescue's mapfile\n"
    "format, SAVE_FOLDER/.salvorine/maps/PATH.map; SAVE_FOLDER/.salvorine/report.tsv\n"
    "lists every file of the save folder's runs with its figures (unread too),\n"
    "state, map and run time, however the run ends. A copy already in\n"
    "SAVE_FOLDER with the source's size and time and no map is taken as whole\n"
    "and not read again.\n"
    "\n"
    "  --mode data      keep every read however long it takes (default)\n"
    "  --mode speed     count a read of more than 10 seconds as failed\n"
    "  --mode thorough  then rescue what is left unread, sector by sector\n"
    "  --sector-size N  rescue in sectors of N bytes (512 to 65536) instead of\n"
    "                   the size the medium reports, e.g. 2048 for a disc image\n"
    "  --language en|ru language of the messages (default en)\n"
    "  --fresh          recover every file afresh, whatever SAVE_FOLDER holds\n"
    "  --report FILE    write the report to FILE as well\n"
    "  --help           print this text and exit\n"
    "  --version        print the version and exit\n"
    "\n"
    "Exit status: 0 every file saved whole; 3 the run completed but a file is\n"
    "damaged or was left out; 1 the run ended early or a copy could not be\n"
    "saved; 2 a usage error, or SAVE_FOLDER lies inside SOURCE.\n";

struct Arguments {
  int mode = kModeMaxData;
  std::int64_t sector_size = 0;  // 0: ask the medium
  bool english = true;
  bool fresh = false;
  std::string report;  // empty: only the one in the save folder
  std::string source;
  std::string save_folder;
};

// An absolute path without "." and ".." components, so that the selection's last
// component is a real folder name and copies stay under the save folder.
std::string Absolute(const std::string& path) {
  std::filesystem::path absolute(path);
  if (!absolute.is_absolute()) {
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd) != nullptr) absolute = std::filesystem::path(cwd) / absolute;
  }
  return absolute.lexically_normal().string();
}

// The selection as a folder tree reports it: no trailing "/" except for the root.
std::string AsSelection(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool Parse(int argc, char** argv, Arguments& arguments) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--mode" && has_value) {
      const std::string value = argv[++i];
      if (value == "data") arguments.mode = kModeMaxData;
      else if (value == "speed") arguments.mode = kModeMaxSpeed;
      else if (value == "thorough") arguments.mode = kModeThorough;
      else return false;
    } else if (arg == "--fresh") {
      arguments.fresh = true;
    } else if (arg == "--report" && has_value) {
      arguments.report = argv[++i];
    } else if (arg == "--sector-size" && has_value) {
      const std::string value = argv[++i];
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), arguments.sector_size);
      if (error != std::errc() || end != value.data() + value.size() || arguments.sector_size < kDefaultSectorSize ||
          arguments.sector_size > kMaxSectorSize) {
        std::fprintf(stderr, "error: --sector-size wants a whole number of bytes from 512 to 65536, not '%s'\n",
                     value.c_str());
        return false;
      }
    } else if (arg == "--language" && has_value) {
      const std::string value = argv[++i];
      if (value != "en" && value != "ru") return false;
      arguments.english = value == "en";
    } else if (arg.starts_with("--")) {
      return false;
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2 || positional[0].empty() || positional[1].empty()) return false;
  arguments.source = AsSelection(Absolute(positional[0]));
  arguments.save_folder = Absolute(positional[1]);
  return true;
}

// Tells on stderr in which sectors Thorough will rescue, and where that size came from.
void ReportSectorSize(const Arguments& arguments) {
  if (arguments.sector_size > 0) {
    std::fprintf(stderr, "sector size: %lld bytes (--sector-size)\n", static_cast<long long>(arguments.sector_size));
    return;
  }
  const SectorSize medium = MediumSectorSize(arguments.source);
  const std::string from = medium.device.empty() ? "no block device to ask" : "reported by " + medium.device;
  std::fprintf(stderr, "sector size: %lld bytes (%s)\n", static_cast<long long>(medium.bytes), from.c_str());
}

// errno when stdout could not take the table (a full disk, a closed pipe), otherwise 0.
int PrintTable(const MemoryJobTable& table) {
  for (int row = 1; row < table.RowCount(); ++row) {
    std::string line = EscapedField(table.Cell(0, row));
    for (int column = 1; column < 4; ++column) line += "\t" + table.Cell(column, row);
    line += "\t";
    line += RowStateWord(table.State(row));
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) return errno != 0 ? errno : EIO;
  return 0;
}

// The report at `path` as well; false (with the reason on stderr) when it cannot be written.
bool WriteReport(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  const bool written = file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const int error = errno;
  if (file != nullptr && std::fclose(file) != 0 && written) {
    std::fprintf(stderr, "error: cannot write the report to %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  if (!written) std::fprintf(stderr, "error: cannot write the report to %s: %s\n", path.c_str(), std::strerror(error));
  return written;
}

// 0 only when every file is saved whole and nothing was left out.
int ExitStatus(RunOutcome outcome, const MemoryJobTable& table, int left_out) {
  if (outcome == RunOutcome::kRefused) return kExitUsage;
  if (outcome != RunOutcome::kCompleted) return kExitEndedEarly;
  bool damaged = left_out > 0;
  for (int row = 1; row < table.RowCount(); ++row) {
    const RowState state = table.State(row);
    if (state != RowState::kSaved && state != RowState::kDamaged) return kExitEndedEarly;
    damaged = damaged || state == RowState::kDamaged;
  }
  return damaged ? kExitIncomplete : kExitCompleted;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return kExitCompleted;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::puts("salvorine-cli " SALVORINE_VERSION);
    return kExitCompleted;
  }
  Arguments arguments;
  if (!Parse(argc, argv, arguments)) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  if (!FileExists(arguments.source) && !FolderExists(arguments.source)) {
    std::fprintf(stderr, "error: %s is neither a file nor a folder\n", arguments.source.c_str());
    return kExitUsage;
  }

  cli::ConsoleProgress progress;
  cli::ConsoleDialogs dialogs(progress);
  MessageTable messages;
  RunWithTopLevelHandler(dialogs, [&] { messages.Load(LanguageFilePath(ProgramFolder(), arguments.english)); });

  MemoryJobTable table;
  cli::FixedOptions options;
  options.mode = arguments.mode;
  options.sector_size = arguments.sector_size;
  options.continue_earlier = !arguments.fresh;
  if (arguments.mode == kModeThorough) RunWithTopLevelHandler(dialogs, [&] { ReportSectorSize(arguments); });
  cli::CommandLineWindow window;
  window.save_folder = arguments.save_folder;
  window.selected_path = arguments.source;
  cli::SignalPump pump;
  SteadyClock clock;

  RecoveryRun run({table, progress, options, messages, dialogs, pump, window, clock});
  pump.Attach(run);
  cli::SignalPump::InstallHandlers();
  // A closed pipe on stdout is then an error we report, not a silent death.
  std::signal(SIGPIPE, SIG_IGN);

  RunOutcome outcome = RunOutcome::kEndedEarly;
  RunWithTopLevelHandler(dialogs, [&] { outcome = run.Recover(); });
  progress.Finish();
  const int print_error = PrintTable(table);
  RunWithTopLevelHandler(dialogs, [] { EmptyWorkingFolder(); });
  if (print_error != 0) {
    std::fprintf(stderr, "error: cannot write the table to stdout: %s\n", std::strerror(print_error));
    return kExitEndedEarly;
  }
  if (!arguments.report.empty() && !run.ReportPath().empty() && !WriteReport(arguments.report, run.ReportText())) {
    return kExitEndedEarly;
  }
  return ExitStatus(outcome, table, run.LeftOutCount());
}
