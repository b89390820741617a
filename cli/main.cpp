// salvorine-cli: one recovery run without a window, for scripts and benchmarks.
//
// Exit status: 0 the run completed and every file is saved whole; 1 the run
// ended early (stopped, a file could not be opened, created or saved, a
// file-system error, the medium went away and did not come back in time,
// stdout could not be written); 2 the command line is
// wrong, SOURCE names neither a file nor a folder, or SAVE_FOLDER lies inside
// SOURCE; 3 the run completed but some file is damaged or was left out.
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>
#include <string>
#include <vector>

#include "cli/console_ports.h"
#include "i18n/extra_message.h"
#include "i18n/failure_wording.h"
#include "i18n/message_table.h"
#include "platform/console.h"
#include "platform/file_system.h"
#include "platform/sector_size.h"
#include "recovery/damage_report.h"
#include "recovery/memory_job_table.h"
#include "recovery/recovery_run.h"
#include "recovery/top_level_handler.h"

namespace {

using namespace salvorine;

constexpr int kExitCompleted = 0;
constexpr int kExitEndedEarly = 1;
constexpr int kExitUsage = 2;
constexpr int kExitIncomplete = 3;

constexpr const char* kUsage =
    "usage: salvorine-cli [--mode data|speed|thorough] [--sector-size N] [--retries N]\n"
    "                     [--language en|ru] [--fresh] [--existing replace|keep-both|skip]\n"
    "                     [--wait-for-medium SECONDS] [--report FILE] SOURCE SAVE_FOLDER\n"
    "\n"
    "Recovers SOURCE (a file, or every file below a folder) into SAVE_FOLDER,\n"
    "reading around unreadable areas; what cannot be read is left as zeros.\n"
    "Prints one line per file, five fields separated by tabs: path, size,\n"
    "completed and damaged bytes with their share, as in 2000000 (100%), and\n"
    "what became of the file: ok (saved whole), damaged (saved, bytes not\n"
    "recovered left as zeros: unreadable, or never tried between two failed\n"
    "reads), unsaved (could not be saved), stopped (the run\n"
    "stopped in it; saved as far as it got), pending (not reached). For a file\n"
    "saved or stopped, completed is recovered plus damaged, and the rest of the\n"
    "size is unread. A tab, newline, carriage return or backslash in a path\n"
    "is written as \\t, \\n, \\r or \\\\.\n"
    "\n"
    "A copy that is not whole gets a map of its bytes in GNU ddrescue's mapfile\n"
    "format, SAVE_FOLDER/.salvorine/maps/PATH.map. Copies saved whole are\n"
    "recorded in SAVE_FOLDER/.salvorine/whole.tsv once on disk, and not read again.\n"
    "A later run never lowers a saved copy: where the source no longer reads a\n"
    "byte the copy had, the copy keeps it. However the run ends,\n"
    "SAVE_FOLDER/.salvorine/report.tsv lists the files of the runs into it, one\n"
    "line each and one per saved copy, under a header, in ten tab-separated\n"
    "columns:\n"
    "  path size recovered damaged unread state copy map existing time\n"
    "the source path (escaped as above); its size; the bytes recovered, damaged\n"
    "(zeros in the copy) and unread (neither: not reached, or not saved), which\n"
    "add up to the size; the state (as above, or skipped); the saved copy, empty\n"
    "when the run left none; its map, empty for a whole copy; what became of\n"
    "another file's copy at the destination (replaced, kept both: PATH,\n"
    "skipped, or empty); and when the run started (UTC). A later run's line\n"
    "for the same copy replaces the earlier one.\n"
    "\n"
    "  --mode data      keep every read however long it takes (default)\n"
    "  --mode speed     count a read of more than 10 seconds as failed\n"
    "  --mode thorough  then rescue what is left unread, sector by sector\n"
    "  --sector-size N  rescue in sectors of N bytes (512 to 65536) instead of\n"
    "                   the size the medium reports, e.g. 2048 for a disc image\n"
    "  --retries N      thorough: read each sector still bad up to N more times\n"
    "                   (0 to 100, default 0)\n"
    "  --language en|ru language of the messages (default: Russian when LC_ALL,\n"
    "                   LC_MESSAGES or LANG, the first one set, starts with ru)\n"
    "  --fresh          read every file again, whatever SAVE_FOLDER holds; a byte\n"
    "                   an earlier copy had stays where the source no longer reads it\n"
    "  --existing replace|keep-both|skip\n"
    "                   when a destination holds a copy of another file: replace\n"
    "                   it, keep both (the new copy as NAME (2).EXT; the default),\n"
    "                   or leave the file unsaved; the report says which\n"
    "  --wait-for-medium SECONDS\n"
    "                   when the medium goes away (unplugged, unmounted), wait\n"
    "                   up to SECONDS for the same medium to come back, then go\n"
    "                   on where the run stopped (default 0: end the run at once;\n"
    "                   the files it was reading keep their copies and maps and\n"
    "                   are reported stopped)\n"
    "  --report FILE    write the report to FILE as well\n"
    "  --help           print this text and exit\n"
    "  --version        print the version and exit\n"
    "\n"
    "Exit status: 0 every file saved whole; 1 the run ended early or a copy\n"
    "could not be saved; 2 a usage error, or SAVE_FOLDER lies inside SOURCE;\n"
    "3 the run completed but a file is damaged or was left out.\n";

struct Arguments {
  int mode = kModeMaxData;
  std::int64_t sector_size = 0;  // 0: ask the medium
  int retries = 0;
  std::optional<bool> english;   // unset: as the environment's locale says
  bool fresh = false;
  ExistingCopy existing = ExistingCopy::kKeepBoth;
  std::string report;  // empty: only the one in the save folder
  int wait_for_medium = 0;  // seconds
  std::string source;
  std::string save_folder;
};

// An absolute path without "." and ".." components, so that the selection's last
// component is a real folder name, copies stay under the save folder, and
// messages name the path as a user would write it.
std::string Absolute(const std::string& path) {
  std::filesystem::path absolute(path);
  if (!absolute.is_absolute()) {
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    if (!error) absolute = current / absolute;
  }
  return absolute.lexically_normal().string();
}

// The selection as a folder tree reports it: no trailing "/" except for the root.
std::string AsSelection(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// A wrong command line: the one line that says what is wrong.
struct UsageError {
  std::string problem;
};

// One option: its name, and what its value (empty for a switch) does to the arguments.
struct Option {
  std::string_view name;
  bool takes_value;
  void (*apply)(Arguments& arguments, const std::string& value);
};

void ApplyMode(Arguments& arguments, const std::string& value) {
  if (value == "data") arguments.mode = kModeMaxData;
  else if (value == "speed") arguments.mode = kModeMaxSpeed;
  else if (value == "thorough") arguments.mode = kModeThorough;
  else throw UsageError{"--mode is data, speed or thorough, not '" + value + "'"};
}

void ApplySectorSize(Arguments& arguments, const std::string& value) {
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), arguments.sector_size);
  if (error != std::errc() || end != value.data() + value.size() || arguments.sector_size < kDefaultSectorSize ||
      arguments.sector_size > kMaxSectorSize) {
    throw UsageError{"--sector-size wants a whole number of bytes from 512 to 65536, not '" + value + "'"};
  }
}

void ApplyRetries(Arguments& arguments, const std::string& value) {
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), arguments.retries);
  if (error != std::errc() || end != value.data() + value.size() || arguments.retries < 0 || arguments.retries > 100) {
    throw UsageError{"--retries wants a whole number from 0 to 100, not '" + value + "'"};
  }
}

void ApplyExisting(Arguments& arguments, const std::string& value) {
  if (value == "replace") arguments.existing = ExistingCopy::kReplace;
  else if (value == "keep-both") arguments.existing = ExistingCopy::kKeepBoth;
  else if (value == "skip") arguments.existing = ExistingCopy::kSkip;
  else throw UsageError{"--existing is replace, keep-both or skip, not '" + value + "'"};
}

void ApplyWaitForMedium(Arguments& arguments, const std::string& value) {
  constexpr int kMostSeconds = 7 * 24 * 3600;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), arguments.wait_for_medium);
  if (error != std::errc() || end != value.data() + value.size() || arguments.wait_for_medium < 0 ||
      arguments.wait_for_medium > kMostSeconds) {
    throw UsageError{"--wait-for-medium wants a whole number of seconds from 0 to 604800, not '" + value + "'"};
  }
}

void ApplyLanguage(Arguments& arguments, const std::string& value) {
  if (value != "en" && value != "ru") throw UsageError{"--language is en or ru, not '" + value + "'"};
  arguments.english = value == "en";
}

constexpr Option kOptions[] = {
    {"--mode", true, ApplyMode},
    {"--sector-size", true, ApplySectorSize},
    {"--retries", true, ApplyRetries},
    {"--language", true, ApplyLanguage},
    {"--existing", true, ApplyExisting},
    {"--wait-for-medium", true, ApplyWaitForMedium},
    {"--fresh", false, [](Arguments& arguments, const std::string&) { arguments.fresh = true; }},
    {"--report", true, [](Arguments& arguments, const std::string& value) { arguments.report = Absolute(value); }},
};

// Options may come in any order, before or after the two paths, as "--name value"
// or "--name=value"; "--" ends the options, so a path may start with "-".
Arguments Parse(int argc, char** argv) {
  Arguments arguments;
  std::vector<std::string> positional;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options_ended || !arg.starts_with("-") || arg == "-") {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const Option* option = nullptr;
    for (const Option& candidate : kOptions) {
      if (candidate.name == name) option = &candidate;
    }
    if (option == nullptr) throw UsageError{"unknown option '" + name + "'"};
    std::string value;
    if (equals != std::string::npos) {
      if (!option->takes_value) throw UsageError{name + " takes no value"};
      value = arg.substr(equals + 1);
    } else if (option->takes_value) {
      if (i + 1 >= argc) throw UsageError{name + " needs a value"};
      value = argv[++i];
    }
    option->apply(arguments, value);
  }
  if (positional.empty()) throw UsageError{"SOURCE and SAVE_FOLDER are missing"};
  if (positional.size() == 1) throw UsageError{"SAVE_FOLDER is missing"};
  if (positional.size() > 2) {
    throw UsageError{"one SOURCE and one SAVE_FOLDER, not " + std::to_string(positional.size()) + " paths"};
  }
  if (positional[0].empty() || positional[1].empty()) throw UsageError{"a path is empty"};
  arguments.source = AsSelection(Absolute(positional[0]));
  arguments.save_folder = Absolute(positional[1]);
  return arguments;
}

// --help and --version answer wherever they stand before "--", whatever else the line holds.
bool Asks(int argc, char** argv, std::string_view wanted) {
  for (int i = 1; i < argc && std::string_view(argv[i]) != "--"; ++i) {
    if (argv[i] == wanted) return true;
  }
  return false;
}

// The language of the messages when none is given: the one the locale's
// variables name for messages, in their order of precedence.
bool EnglishByEnvironment() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return !std::string_view(value).starts_with("ru");
  }
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

// The saved report `from` copied to `to` as well, a piece at a time; false
// (with `failure` and the reason on stderr) when it cannot be.
bool CopyReport(const std::string& from, const std::string& to, const std::string& failure) {
  std::error_code unknown;
  // Asked for where it was saved: it is there already, and opening it to write would empty it.
  if (std::filesystem::equivalent(from, to, unknown)) return true;
  std::FILE* in = std::fopen(from.c_str(), "rb");
  std::FILE* out = in != nullptr ? std::fopen(to.c_str(), "w") : nullptr;
  bool copied = out != nullptr;
  char piece[1 << 16];
  while (copied) {
    const std::size_t got = std::fread(piece, 1, sizeof piece, in);
    if (got == 0) break;
    copied = std::fwrite(piece, 1, got, out) == got;
  }
  copied = copied && std::ferror(in) == 0;
  int error = errno;
  if (out != nullptr && std::fclose(out) != 0 && copied) {
    copied = false;
    error = errno;
  }
  if (in != nullptr) std::fclose(in);
  if (!copied) std::fprintf(stderr, "%s: %s\n", failure.c_str(), std::strerror(error));
  return copied;
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
  if (Asks(argc, argv, "--help") || Asks(argc, argv, "-h")) {
    std::fputs(kUsage, stdout);
    return kExitCompleted;
  }
  if (Asks(argc, argv, "--version")) {
    std::puts("salvorine-cli " SALVORINE_VERSION);
    return kExitCompleted;
  }
  Arguments arguments;
  try {
    arguments = Parse(argc, argv);
  } catch (const UsageError& error) {
    std::fprintf(stderr, "salvorine-cli: %s\nTry 'salvorine-cli --help'.\n", error.problem.c_str());
    return kExitUsage;
  }
  const bool english = arguments.english.value_or(EnglishByEnvironment());
  std::string language_file;
  try {
    language_file = LanguageFilePath(ProgramFolder(), english);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "error: %s\n", TopLevelErrorText(error.what()).c_str());
    return kExitEndedEarly;
  }
  WordFileSystemErrorsIn(language_file);
  const auto text = [&language_file](int key, const std::string& english_text) {
    return ExtraMessage(language_file, key, english_text);
  };
  const std::string error_word = text(kErrorWordMessage, "error");
  if (!FileExists(arguments.source) && !FolderExists(arguments.source)) {
    const std::string problem = text(kNeitherFileNorFolderMessage, "%1 is neither a file nor a folder");
    std::fprintf(stderr, "%s: %s\n", error_word.c_str(), WithValue(problem, arguments.source).c_str());
    return kExitUsage;
  }

  cli::ConsoleProgress progress;
  cli::ConsoleDialogs dialogs(progress, error_word);
  dialogs.existing = arguments.existing;
  MessageTable messages;
  RunWithTopLevelHandler(dialogs, [&] { messages.Load(language_file); });

  MemoryJobTable table;
  cli::FixedOptions options;
  options.mode = arguments.mode;
  options.sector_size = arguments.sector_size;
  options.retries = arguments.retries;
  options.continue_earlier = !arguments.fresh;
  if (arguments.mode == kModeThorough) RunWithTopLevelHandler(dialogs, [&] { ReportSectorSize(arguments); });
  cli::CommandLineWindow window;
  cli::SignalPump pump;
  SteadyClock clock;

  RunEnvironment environment{table, progress, options, messages, dialogs, pump, window, clock};
  environment.medium_wait = std::chrono::seconds(arguments.wait_for_medium);
  RecoveryRun run(std::move(environment));
  pump.Attach(run);
  cli::SignalPump::InstallHandlers();
  // A closed pipe on stdout is then an error we report, not a silent death.
  IgnoreClosedPipes();

  RunOutcome outcome = RunOutcome::kEndedEarly;
  RunWithTopLevelHandler(dialogs, [&] { outcome = run.Recover({arguments.source, arguments.save_folder}); });
  progress.Finish();
  const int print_error = PrintTable(table);
  if (print_error != 0) {
    const std::string problem = text(kTableNotWrittenMessage, "cannot write the table to stdout");
    std::fprintf(stderr, "%s: %s: %s\n", error_word.c_str(), problem.c_str(), std::strerror(print_error));
    return kExitEndedEarly;
  }
  if (!arguments.report.empty() && !run.ReportPath().empty()) {
    const std::string failure = text(kReportNotWrittenMessage, "cannot write the report to %1");
    if (!CopyReport(run.ReportPath(), arguments.report, error_word + ": " + WithValue(failure, arguments.report))) {
      return kExitEndedEarly;
    }
  }
  return ExitStatus(outcome, table, run.LeftOutCount());
}
