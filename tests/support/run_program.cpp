#include "tests/support/run_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "tests/support/temp_folder.h"

namespace salvorine::test {
namespace {

int counter = 0;

std::string CapturePath(const char* stream) {
  return "/tmp/salvorine-test-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + "." + stream;
}

}  // namespace

StartedProgram::StartedProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment)
    : out_path_(CapturePath("out")), err_path_(CapturePath("err")) {
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    const int out = ::open(out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    for (const std::string& entry : environment) ::putenv(const_cast<char*>(entry.c_str()));
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
}

StartedProgram::~StartedProgram() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  ::unlink(out_path_.c_str());
  ::unlink(err_path_.c_str());
}

void StartedProgram::Signal(int signal_number) {
  if (pid_ > 0) ::kill(pid_, signal_number);
}

ProgramOutput StartedProgram::Wait() {
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0) {
  }
  pid_ = -1;
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out_path_), ReadFile(err_path_)};
}

std::string StartedProgram::ErrSoFar() const { return ReadFile(err_path_); }

ProgramOutput RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
  return StartedProgram(argv, environment).Wait();
}

}  // namespace salvorine::test
