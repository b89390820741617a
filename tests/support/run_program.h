#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace salvorine::test {

struct ProgramOutput {
  int exit_code = -1;  // -1 when ended by a signal
  std::string out;
  std::string err;
};

// A program started with its stdout and stderr captured to files.
class StartedProgram {
 public:
  // `environment` entries ("NAME=value") are added to the test's own environment.
  StartedProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment);
  ~StartedProgram();
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;

  void Signal(int signal_number);
  // Waits for the program to end and returns what it printed.
  ProgramOutput Wait();
  pid_t Pid() const { return pid_; }
  // What it has written to stderr so far.
  std::string ErrSoFar() const;

 private:
  pid_t pid_ = -1;
  std::string out_path_, err_path_;
};

ProgramOutput RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});

}  // namespace salvorine::test
