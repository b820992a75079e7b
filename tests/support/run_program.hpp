#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/process.hpp"
#include "tests/support/sandbox.hpp"

namespace wfdesk::testing {

struct ProgramOutput {
  int status = -1;  // -1 when it could not be started
  std::string out;
  std::string err;
};

// Runs a program through core's launcher with these arguments (argv[0] is
// the program) and extra environment entries "NAME=value", and collects what
// it printed, CR LF line ends read as LF.
ProgramOutput RunProgram(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment = {});

// The command core's launcher runs for these arguments and environment
// entries, with its output captured.
core::CommandLine CapturingCommand(const std::vector<std::string>& argv,
                                   const std::vector<std::string>& environment);

// A program run through core's launcher on a thread of its own, for tests
// that stop or kill it (POSIX only: a shell starts it and tells its process
// id). Its output goes to `output`, a file or a FIFO, or
// is thrown away. Killed with KILL if it still runs on destruction.
class BackgroundProgram {
 public:
  explicit BackgroundProgram(const std::vector<std::string>& argv,
                             const std::vector<std::string>& environment = {},
                             const std::string& output = "/dev/null");
  ~BackgroundProgram();
  BackgroundProgram(const BackgroundProgram&) = delete;
  BackgroundProgram& operator=(const BackgroundProgram&) = delete;

  // The program's process id once it has one; -1 when it did not start.
  int pid();
  // Waits for its end: its exit status, or 128 + the signal that ended it.
  int Wait();
  // Whether it has ended (and Wait would not wait).
  bool ended() const { return ended_; }

 private:
  Sandbox box_;
  core::ProcessResult result_;
  std::atomic<bool> ended_{false};
  std::thread thread_;
  int pid_ = 0;
};

}  // namespace wfdesk::testing
