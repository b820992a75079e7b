#pragma once

#include <string>
#include <vector>

namespace wfdesk::core {

// One argument handed to an outside program. `quoted` only changes how the
// argument shows in the rendered text of the logs, never what the program
// receives.
struct Argument {
  std::string text;
  bool quoted = false;
};

// A program and its arguments. The program receives exactly these
// arguments; no shell is involved.
struct CommandLine {
  std::string program;
  std::vector<Argument> arguments;

  CommandLine& Add(std::string text) {
    arguments.push_back({std::move(text), false});
    return *this;
  }
  CommandLine& AddQuoted(std::string text) {
    arguments.push_back({std::move(text), true});
    return *this;
  }
  // The text the logs show: the program in double quotes, then each argument
  // after a blank, in double quotes where the caller asked for them.
  std::string Render() const;
};

struct ProcessResult {
  bool started = false;  // a process was created, ran and has ended
  int exit_status = 0;   // its exit code, or 128 + signal number
  std::string error;     // why it could not be started, e.g. "No such file or directory"

  // 1 after a process ran, 0 when none could be started.
  int Code() const { return started ? 1 : 0; }
};

// Starts the program and blocks in the operating system until it ends.
ProcessResult RunAndWait(const CommandLine& command);

}  // namespace wfdesk::core
