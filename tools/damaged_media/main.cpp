// damaged_fs: serves generated files with declared damage through FUSE, so
// that copying off failing media can be tested without a failing disc.

#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "damaged_media/damaged_filesystem.h"

namespace {

namespace dm = salvorine::damaged_media;

constexpr int kUsageExit = 2;

void PrintUsage(std::ostream& out) {
  out << "usage: damaged_fs [--stats FILE] [--trace FILE] [--max-read BYTES] DESCRIPTION MOUNTPOINT "
         "[fuse options...]\n"
         "  --stats FILE      write 'reads N', 'failed_reads N', 'bytes N' to FILE on\n"
         "                    unmount and whenever the process receives SIGUSR1\n"
         "  --trace FILE      write one line per read request to FILE: OFFSET LENGTH,\n"
         "                    then 1 when it was served or 0 when it failed\n"
         "  --max-read BYTES  largest read request the kernel may send (default: its own)\n"
         "  fuse options: -f (stay in the foreground), -d (debug), -o opt,...\n";
}

struct CommandLine {
  bool help = false;
  std::optional<std::filesystem::path> stats_file;
  std::optional<std::filesystem::path> trace_file;
  unsigned max_read = 0;
  std::filesystem::path description;
  std::vector<std::string> fuse_arguments;  // mount point, then fuse options
};

std::optional<unsigned> ParsePositive(std::string_view text) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || value == 0) {
    return std::nullopt;
  }
  return value;
}

// Returns nullopt after printing why the arguments are unusable.
std::optional<CommandLine> ParseCommandLine(int argc, char** argv) {
  CommandLine line;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string_view option = argv[i];
    const bool has_value = i + 1 < argc;
    if (option == "-h" || option == "--help") {
      line.help = true;
      return line;
    }
    if (option == "--stats" && has_value) {
      line.stats_file = std::filesystem::absolute(argv[++i]);
    } else if (option == "--trace" && has_value) {
      line.trace_file = std::filesystem::absolute(argv[++i]);
    } else if (option == "--max-read" && has_value) {
      const auto bytes = ParsePositive(argv[++i]);
      if (!bytes) {
        std::cerr << "damaged_fs: --max-read needs a positive number of bytes\n";
        return std::nullopt;
      }
      line.max_read = *bytes;
    } else if (option.starts_with("--")) {
      std::cerr << "damaged_fs: unknown option or missing value: '" << option << "'\n";
      return std::nullopt;
    } else {
      break;
    }
  }
  if (argc - i < 2) {
    PrintUsage(std::cerr);
    return std::nullopt;
  }
  line.description = argv[i];
  line.fuse_arguments.assign(argv + i + 1, argv + argc);
  return line;
}

// Single-threaded like one drive answering one request at a time, and
// read-only whatever options the caller adds.
std::vector<std::string> FuseArguments(const char* program, const CommandLine& line) {
  std::vector<std::string> arguments{program, line.fuse_arguments.front(), "-s", "-o",
                                     "ro,fsname=damaged_fs,subtype=damaged_fs"};
  if (line.max_read != 0) {
    arguments.insert(arguments.end(), {"-o", "max_read=" + std::to_string(line.max_read)});
  }
  arguments.insert(arguments.end(), line.fuse_arguments.begin() + 1, line.fuse_arguments.end());
  return arguments;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<CommandLine> line = ParseCommandLine(argc, argv);
  if (!line) {
    return kUsageExit;
  }
  if (line->help) {
    PrintUsage(std::cout);
    return 0;
  }

  dm::DamagedFilesystem filesystem;
  try {
    filesystem.description = dm::LoadDescription(line->description);
    dm::BlockStatsSignal();
  } catch (const dm::DescriptionError& error) {
    std::cerr << "damaged_fs: " << line->description.string() << ": " << error.what() << '\n';
    return kUsageExit;
  } catch (const std::exception& error) {
    std::cerr << "damaged_fs: " << error.what() << '\n';
    return kUsageExit;
  }
  filesystem.stats_file = line->stats_file;
  filesystem.trace_file = line->trace_file;
  filesystem.max_read = line->max_read;
  // The description's own time, so that the same medium served again shows the same times.
  struct stat description_status {};
  filesystem.created_at =
      ::stat(line->description.c_str(), &description_status) == 0 ? description_status.st_mtime : std::time(nullptr);
  filesystem.owner = getuid();
  filesystem.group = getgid();

  std::vector<std::string> arguments = FuseArguments(argv[0], *line);
  std::vector<char*> fuse_argv;
  for (std::string& argument : arguments) {
    fuse_argv.push_back(argument.data());
  }
  fuse_argv.push_back(nullptr);

  const fuse_operations operations = dm::DamagedFilesystemOperations();
  const int status = fuse_main(static_cast<int>(arguments.size()), fuse_argv.data(),
                               &operations, &filesystem);
  if (filesystem.stats_signal_writer) {
    filesystem.stats_signal_writer->Stop();
  }
  if (status != 0) {
    return status;
  }
  return filesystem.stats_file_failed ? 1 : 0;
}
