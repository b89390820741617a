// damaged_fs: serves generated files with declared damage through FUSE, to
// test copying off failing media without a failing disc.
//
//   damaged_fs [--stats FILE] DESCRIPTION MOUNTPOINT [fuse options...]

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "damaged_media/damaged_filesystem.h"

namespace {

using salvorine::damaged_media::DamagedFilesystem;

constexpr int kUsageExit = 2;

void PrintUsage(std::ostream& out) {
  out << "usage: damaged_fs [--stats FILE] DESCRIPTION MOUNTPOINT [fuse options...]\n"
         "  --stats FILE  write 'reads N', 'failed_reads N', 'bytes N' to FILE on unmount\n"
         "                and whenever the process receives SIGUSR1\n"
         "  common fuse options: -f (stay in the foreground), -d (debug), -o opt,...\n";
}

struct CommandLine {
  std::optional<std::filesystem::path> stats_file;
  std::filesystem::path description;
  std::vector<char*> fuse_arguments;  // mount point and fuse options, after argv[0]
};

// Returns nullopt after printing why the arguments are unusable.
std::optional<CommandLine> ParseCommandLine(int argc, char** argv) {
  CommandLine line;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "-h" || argument == "--help") {
      PrintUsage(std::cout);
      std::exit(0);
    }
    if (argument == "--stats" && i + 1 < argc) {
      line.stats_file = std::filesystem::absolute(argv[++i]);
    } else if (argument.starts_with("--stats=") && argument.size() > 8) {
      line.stats_file = std::filesystem::absolute(argument.substr(8));
    } else if (argument.starts_with("--")) {
      std::cerr << "damaged_fs: unknown or incomplete option '" << argument << "'\n";
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
  for (++i; i < argc; ++i) {
    line.fuse_arguments.push_back(argv[i]);
  }
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  namespace dm = salvorine::damaged_media;
  const std::optional<CommandLine> command_line = ParseCommandLine(argc, argv);
  if (!command_line) {
    return kUsageExit;
  }

  DamagedFilesystem filesystem;
  try {
    filesystem.description = dm::LoadDescription(command_line->description);
    dm::BlockStatsSignal();
  } catch (const dm::DescriptionError& error) {
    std::cerr << "damaged_fs: " << command_line->description.string() << ": " << error.what()
              << '\n';
    return kUsageExit;
  } catch (const std::exception& error) {
    std::cerr << "damaged_fs: " << error.what() << '\n';
    return kUsageExit;
  }
  filesystem.stats_file = command_line->stats_file;
  filesystem.created_at = std::time(nullptr);
  filesystem.owner = getuid();
  filesystem.group = getgid();

  // Single-threaded like one drive answering one request at a time, and
  // read-only whatever the caller asks for.
  std::string single_threaded = "-s";
  std::string mount_option_flag = "-o";
  std::string mount_options = "ro,fsname=damaged_fs,subtype=damaged_fs";
  std::vector<char*> fuse_argv{argv[0]};
  fuse_argv.push_back(command_line->fuse_arguments.front());
  fuse_argv.push_back(single_threaded.data());
  fuse_argv.push_back(mount_option_flag.data());
  fuse_argv.push_back(mount_options.data());
  fuse_argv.insert(fuse_argv.end(), command_line->fuse_arguments.begin() + 1,
                   command_line->fuse_arguments.end());
  fuse_argv.push_back(nullptr);

  const fuse_operations operations = dm::DamagedFilesystemOperations();
  const int status = fuse_main(static_cast<int>(fuse_argv.size() - 1), fuse_argv.data(),
                               &operations, &filesystem);
  if (filesystem.stats_signal_writer) {
    filesystem.stats_signal_writer->Stop();
  }
  return status != 0 ? status : (filesystem.stats_file_failed ? 1 : 0);
}
