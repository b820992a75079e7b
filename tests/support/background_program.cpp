#include <signal.h>

#include "tests/support/run_program.hpp"
#include "tests/support/wait_for.hpp"

namespace wfdesk::testing {

BackgroundProgram::BackgroundProgram(const std::vector<std::string>& argv,
                                     const std::vector<std::string>& environment,
                                     const std::string& output) {
  // Job control puts the program into a process group of its own, as if
  // started by hand, so that ending the shell's group after it leaves alone
  // what the program started.
  std::vector<std::string> shell = {
      "/bin/bash",
      "-c",
      "set -m; out=$1; shift 2; \"$@\" > \"$out\" & echo $! > \"$0\"; wait $!",
      box_.Path("pid"),
      output,
      "--"};
  shell.insert(shell.end(), argv.begin(), argv.end());
  // What the shell might print is captured and thrown away.
  thread_ = std::thread([this, command = CapturingCommand(shell, environment)] {
    result_ = core::RunAndWait(command);
    ended_ = true;
  });
}

BackgroundProgram::~BackgroundProgram() {
  if (!thread_.joinable()) return;
  if (pid() > 0) ::kill(pid(), SIGKILL);
  thread_.join();
}

int BackgroundProgram::pid() {
  if (pid_ != 0) return pid_;
  // echo writes the number and its line end at once.
  const bool told = WaitFor([this] { return box_.Read("pid").ends_with('\n'); });
  pid_ = told ? std::stoi(box_.Read("pid")) : -1;
  return pid_;
}

int BackgroundProgram::Wait() {
  if (thread_.joinable()) thread_.join();
  return result_.started ? result_.exit_status : -1;
}

}  // namespace wfdesk::testing
