#include "support/damaged_mount.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <thread>

#ifndef DAMAGED_FS_PATH
#error "DAMAGED_FS_PATH must name the damaged_fs program to test"
#endif

namespace salvorine::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kMountTimeout = std::chrono::seconds(10);
// damaged_fs answers the requests still queued when it is unmounted (read-ahead
// of slow ranges among them, each delayed as described) before it exits.
constexpr auto kExitTimeout = std::chrono::seconds(30);
constexpr auto kPollInterval = std::chrono::milliseconds(10);

[[noreturn]] void ThrowErrno(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

std::string ReadWholeFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::filesystem::path MakeTemporaryFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "salvorine-damaged-XXXXXX");
  if (::mkdtemp(pattern.data()) == nullptr) {
    ThrowErrno("cannot create a temporary folder from " + pattern);
  }
  return pattern;
}

// Starts argv[0] (searched on PATH) with stdin from /dev/null and stdout and
// stderr appended to output_file. Everything the child needs is prepared
// here, before fork(), because only async-signal-safe calls may follow it.
pid_t Spawn(const std::vector<std::string>& argv, const std::filesystem::path& output_file,
            bool end_with_parent) {
  std::vector<char*> arguments;
  for (const auto& argument : argv) {
    arguments.push_back(const_cast<char*>(argument.c_str()));
  }
  arguments.push_back(nullptr);
  const std::string output = output_file.string();
  const pid_t parent = ::getpid();

  const pid_t child = ::fork();
  if (child < 0) {
    ThrowErrno("cannot fork to run " + argv.front());
  }
  if (child == 0) {
    // A test process that dies must not leave a mount behind: SIGTERM makes
    // damaged_fs unmount and exit.
    if (end_with_parent &&
        (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || ::getppid() != parent)) {
      ::_exit(126);
    }
    const int null_fd = ::open("/dev/null", O_RDONLY);
    const int out_fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (null_fd < 0 || out_fd < 0 || ::dup2(null_fd, 0) < 0 || ::dup2(out_fd, 1) < 0 ||
        ::dup2(out_fd, 2) < 0) {
      ::_exit(126);
    }
    ::execvp(arguments[0], arguments.data());
    static constexpr char kExecFailed[] = "exec failed\n";
    [[maybe_unused]] const ssize_t ignored = ::write(2, kExecFailed, sizeof kExecFailed - 1);
    ::_exit(127);
  }
  return child;
}

// Exit code, or -1 when the process was ended by a signal.
int ExitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

int WaitBlocking(pid_t child, const std::string& name) {
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) {
      ThrowErrno("cannot wait for " + name);
    }
  }
  return status;
}

DamagedStats ParseStatsFile(const std::filesystem::path& file) {
  std::ifstream in(file);
  if (!in) {
    throw std::runtime_error("no stats file at " + file.string());
  }
  DamagedStats stats;
  bool seen_reads = false, seen_failed = false, seen_bytes = false;
  std::string key;
  uint64_t value = 0;
  while (in >> key >> value) {
    if (key == "reads") {
      stats.reads = value;
      seen_reads = true;
    } else if (key == "failed_reads") {
      stats.failed_reads = value;
      seen_failed = true;
    } else if (key == "bytes") {
      stats.bytes = value;
      seen_bytes = true;
    } else {
      throw std::runtime_error("unknown counter '" + key + "' in " + file.string());
    }
  }
  if (!in.eof() || !seen_reads || !seen_failed || !seen_bytes) {
    throw std::runtime_error("malformed stats file " + file.string() + ":\n" +
                             ReadWholeFile(file));
  }
  return stats;
}

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string_view folders = path != nullptr ? path : "/usr/bin:/bin";
  while (true) {
    const size_t colon = folders.find(':');
    const std::filesystem::path folder(std::string(folders.substr(0, colon)));
    if (!folder.empty() && ::access((folder / program).c_str(), X_OK) == 0) {
      return true;
    }
    if (colon == std::string_view::npos) {
      return false;
    }
    folders.remove_prefix(colon + 1);
  }
}

}  // namespace

DamagedMount::DamagedMount(std::string_view description, CollectStats stats,
                           unsigned max_read_bytes) {
  folder_ = MakeTemporaryFolder();
  mount_point_ = folder_ / "mnt";
  log_file_ = folder_ / "damaged_fs.log";
  if (stats == CollectStats::kYes) {
    stats_file_ = folder_ / "stats.txt";
  }
  try {
    Start(description, max_read_bytes);
    WaitUntilMounted();
  } catch (const std::exception&) {
    // The destructor will not run for a half-built object: tidy up, then report.
    if (child_ > 0) {
      ::kill(child_, SIGKILL);
      WaitBlocking(child_, "damaged_fs");
      child_ = -1;
    }
    RemoveFolder();
    throw;
  }
}

DamagedMount::~DamagedMount() {
  try {
    Unmount();
  } catch (const std::exception& error) {
    // A destructor cannot throw; a crash or unclean exit of damaged_fs still
    // has to fail the test that was using it.
    ADD_FAILURE() << "DamagedMount: " << error.what();
  }
  if (!mounted_) {
    RemoveFolder();
  }
}

void DamagedMount::Start(std::string_view description, unsigned max_read_bytes) {
  description_ = description;
  max_read_bytes_ = max_read_bytes;
  const std::filesystem::path description_file = folder_ / "description.txt";
  if (!std::filesystem::exists(description_file)) {
    std::ofstream out(description_file, std::ios::binary);
    out << description;
    if (!out.flush()) {
      throw std::runtime_error("cannot write " + description_file.string());
    }
  }
  if (::mkdir(mount_point_.c_str(), 0755) != 0 && errno != EEXIST) {
    ThrowErrno("cannot create mount point " + mount_point_.string());
  }
  std::vector<std::string> argv{ProgramPath().string()};
  if (!stats_file_.empty()) {
    argv.insert(argv.end(), {"--stats", stats_file_.string()});
  }
  if (max_read_bytes != 0) {
    argv.insert(argv.end(), {"--max-read", std::to_string(max_read_bytes)});
  }
  argv.insert(argv.end(), {description_file.string(), mount_point_.string(), "-f"});
  child_ = Spawn(argv, log_file_, true);
}

void DamagedMount::WaitUntilMounted() {
  struct stat parent {};
  if (::stat(folder_.c_str(), &parent) != 0) {
    ThrowErrno("cannot stat " + folder_.string());
  }
  const auto deadline = Clock::now() + kMountTimeout;
  while (true) {
    int status = 0;
    const pid_t ended = ::waitpid(child_, &status, WNOHANG);
    if (ended == child_) {
      child_ = -1;
      throw std::runtime_error("damaged_fs exited with code " +
                               std::to_string(ExitCodeOf(status)) + " before mounting " +
                               mount_point_.string() + ":\n" + Log());
    }
    struct stat mount {};
    if (::stat(mount_point_.c_str(), &mount) == 0 && mount.st_dev != parent.st_dev) {
      mounted_ = true;
      return;
    }
    if (Clock::now() > deadline) {
      throw std::runtime_error("damaged_fs did not mount " + mount_point_.string() +
                               " within 10 s:\n" + Log());
    }
    std::this_thread::sleep_for(kPollInterval);
  }
}

bool DamagedMount::TryCommand(const std::vector<std::string>& argv) {
  return ExitCodeOf(WaitBlocking(Spawn(argv, log_file_, false), argv.front())) == 0;
}

void DamagedMount::Unmount() {
  if (mounted_) {
    const std::string where = mount_point_.string();
    // A lazy unmount is the fallback for a test that still holds a file open.
    if (!TryCommand({"fusermount3", "-u", where}) && !TryCommand({"fusermount3", "-u", "-z", where}) &&
        !TryCommand({"umount", "-l", where})) {
      throw std::runtime_error("cannot unmount " + where + ":\n" + Log());
    }
    mounted_ = false;
  }
  WaitForExit();
}

void DamagedMount::Kill() {
  if (child_ <= 0 || ::kill(child_, SIGKILL) != 0) ThrowErrno("cannot kill damaged_fs");
  WaitBlocking(child_, "damaged_fs");
  child_ = -1;
}

void DamagedMount::UnmountLazily() {
  if (!TryCommand({"fusermount3", "-u", "-z", mount_point_.string()})) {
    throw std::runtime_error("cannot unmount " + mount_point_.string() + ":\n" + Log());
  }
  mounted_ = false;
}

void DamagedMount::Restart() {
  // A dead mount goes first (lazily: the program under test may still hold its files open).
  if (mounted_) UnmountLazily();
  WaitForExit(false);
  Start(description_, max_read_bytes_);
  WaitUntilMounted();
}

void DamagedMount::WaitForExit(bool clean) {
  if (child_ <= 0) {
    return;
  }
  const auto deadline = Clock::now() + kExitTimeout;
  int status = 0;
  while (::waitpid(child_, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      ::kill(child_, SIGKILL);
      WaitBlocking(child_, "damaged_fs");
      child_ = -1;
      throw std::runtime_error("damaged_fs did not exit within 30 s of unmounting " +
                               mount_point_.string() + "; killed it");
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  child_ = -1;
  if (clean && ExitCodeOf(status) != 0) {
    throw std::runtime_error("damaged_fs for " + mount_point_.string() + " exited with code " +
                             std::to_string(ExitCodeOf(status)) + ":\n" + Log());
  }
}

DamagedStats DamagedMount::Stats() {
  if (stats_file_.empty()) {
    throw std::logic_error("DamagedMount::Stats needs CollectStats::kYes");
  }
  Unmount();
  return ParseStatsFile(stats_file_);
}

DamagedStats DamagedMount::StatsWhileMounted() {
  if (stats_file_.empty()) {
    throw std::logic_error("DamagedMount::StatsWhileMounted needs CollectStats::kYes");
  }
  if (!mounted_) {
    throw std::logic_error("DamagedMount::StatsWhileMounted after unmounting");
  }
  // damaged_fs renames a complete file into place, so once it exists it is whole.
  std::filesystem::remove(stats_file_);
  if (::kill(child_, SIGUSR1) != 0) {
    ThrowErrno("cannot signal damaged_fs");
  }
  const auto deadline = Clock::now() + kExitTimeout;
  while (!std::filesystem::exists(stats_file_)) {
    if (Clock::now() > deadline) {
      throw std::runtime_error("damaged_fs wrote no " + stats_file_.string() +
                               " within 10 s of SIGUSR1:\n" + Log());
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  return ParseStatsFile(stats_file_);
}

std::string DamagedMount::Log() const { return ReadWholeFile(log_file_); }

void DamagedMount::RemoveFolder() noexcept {
  std::error_code error;
  std::filesystem::remove_all(folder_, error);
  if (error) {
    std::cerr << "DamagedMount: cannot remove " << folder_ << ": " << error.message() << '\n';
  }
}

bool DamagedMount::FuseAvailable(std::string* why) {
  std::string reason;
  const int fd = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    reason = std::string("cannot open /dev/fuse: ") + std::strerror(errno);
  } else {
    ::close(fd);
    if (!OnPath("fusermount3")) {
      reason = "fusermount3 is not on PATH (Debian package fuse3)";
    }
  }
  if (why != nullptr) {
    *why = reason;
  }
  return reason.empty();
}

std::filesystem::path DamagedMount::ProgramPath() { return DAMAGED_FS_PATH; }

ProgramResult RunDamagedFs(const std::vector<std::string>& arguments) {
  const std::filesystem::path folder = MakeTemporaryFolder();
  const std::filesystem::path output_file = folder / "output.txt";
  std::vector<std::string> argv{DamagedMount::ProgramPath().string()};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  ProgramResult result;
  try {
    result.exit_code = ExitCodeOf(WaitBlocking(Spawn(argv, output_file, true), "damaged_fs"));
  } catch (const std::exception&) {
    std::filesystem::remove_all(folder);
    throw;
  }
  result.output = ReadWholeFile(output_file);
  std::filesystem::remove_all(folder);
  return result;
}

bool RunningInCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && (std::string_view(ci) == "true" || std::string_view(ci) == "1");
}

}  // namespace salvorine::test
