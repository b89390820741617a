// salvorine-cli: one recovery run without a window, for scripts and benchmarks.
//
// Exit status: 0 the run completed, 1 it ended early (stopped, a file could not
// be opened, created or saved, a file-system error), 2 the command line is wrong
// or SOURCE names neither a file nor a folder.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/console_ports.h"
#include "i18n/message_table.h"
#include "platform/file_system.h"
#include "recovery/memory_job_table.h"
#include "recovery/recovery_run.h"
#include "recovery/top_level_handler.h"
#include "recovery/working_folder.h"

namespace {

using namespace salvorine;

constexpr int kExitCompleted = 0;
constexpr int kExitEndedEarly = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: salvorine-cli [--mode data|speed|thorough] [--language en|ru] SOURCE SAVE_FOLDER\n"
    "\n"
    "Recovers SOURCE (a file, or every file below a folder) into SAVE_FOLDER,\n"
    "reading around unreadable areas; what cannot be read is left as zeros.\n"
    "Prints one line per file: path, size, completed and damaged figures,\n"
    "separated by tabs.\n"
    "\n"
    "  --mode data      keep every read however long it takes (default)\n"
    "  --mode speed     count a read of more than 10 seconds as failed\n"
    "  --mode thorough  then rescue what is left unread, sector by sector\n"
    "  --language en|ru language of the messages (default en)\n";

struct Arguments {
  int mode = kModeMaxData;
  bool english = true;
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

void PrintTable(const JobTable& table) {
  for (int row = 1; row < table.RowCount(); ++row) {
    std::string line = table.Cell(0, row);
    for (int column = 1; column < 4; ++column) line += "\t" + table.Cell(column, row);
    std::printf("%s\n", line.c_str());
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
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
  cli::CommandLineWindow window;
  window.save_folder = arguments.save_folder;
  window.selected_path = arguments.source;
  cli::SignalPump pump;
  SteadyClock clock;

  RecoveryRun run({table, progress, options, messages, dialogs, pump, window, clock});
  pump.Attach(run);
  cli::SignalPump::InstallHandlers();

  RunOutcome outcome = RunOutcome::kEndedEarly;
  RunWithTopLevelHandler(dialogs, [&] { outcome = run.Recover(); });
  progress.Finish();
  PrintTable(table);
  RunWithTopLevelHandler(dialogs, [] { EmptyWorkingFolder(); });
  return outcome == RunOutcome::kCompleted ? kExitCompleted : kExitEndedEarly;
}
