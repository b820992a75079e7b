#pragma once

#include <string>
#include <vector>

namespace wfdesk::testing {

struct ProgramOutput {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs a program with these arguments (argv[0] is the program) and extra
// environment entries "NAME=value", and collects what it printed.
ProgramOutput RunProgram(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment = {});

}  // namespace wfdesk::testing
