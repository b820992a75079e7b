#pragma once

#ifndef _WIN32
#include <sys/types.h>
#endif

#include <string>
#include <vector>

namespace wfdesk::testing {

struct ProgramOutput {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs a program with these arguments (argv[0] is the program) and extra
// environment entries "NAME=value", and collects what it printed (on
// Windows with its CR LF line ends read as LF).
ProgramOutput RunProgram(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment = {});

#ifndef _WIN32
// Starts a program in the background with no input and its output thrown
// away, for tests that stop or kill it; -1 when it cannot be started.
pid_t StartProgram(const std::vector<std::string>& argv,
                   const std::vector<std::string>& environment = {});

// Waits for a started program: its exit status, or 128 + the signal that ended it.
int ExitStatusOf(pid_t pid);
#endif

}  // namespace wfdesk::testing
