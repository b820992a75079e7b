#pragma once

#include <string>
#include <string_view>
#include <utility>
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
  // Seconds the program may run before it is ended; 0 waits as long as it runs.
  int time_limit_seconds = 0;
  // Keep what the program prints (ProcessResult::output and errors) instead
  // of passing it to our standard error.
  bool capture_output = false;
  // Variables set in the program's environment, over those it would inherit.
  std::vector<std::pair<std::string, std::string>> environment = {};

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

// How a started program came to its end.
enum class Ending {
  kExited,    // by itself (or by a signal from elsewhere)
  kTimedOut,  // ended by us after its time limit
  kStopped,   // ended by us because this process was asked to stop
};

struct ProcessResult {
  bool started = false;  // a process was created, ran and has ended
  int exit_status = 0;   // its exit code, or 128 + signal number
  std::string error;     // why it could not be started, e.g. "No such file or directory"
  Ending ending = Ending::kExited;
  std::string output;  // its standard output, when the command asked to capture it
  std::string errors;  // its standard error, likewise
  // The program had ended, but processes it started were still running in
  // its group (or job); they were ended with it.
  bool ended_leftovers = false;

  // 1 after a process ran, 0 when none could be started.
  int Code() const { return started ? 1 : 0; }
};

// The exit status by which a module program says that it did its work but
// kept some inputs for the next run (sysexits' EX_TEMPFAIL). The module is
// then done with kept failures: the chain goes on, the run is a failure.
inline constexpr int kExitKeptForNextRun = 75;

// Seconds a program that is ended by us gets between TERM and KILL.
inline constexpr int kEndGraceSeconds = 5;

// Starts the program in a process group of its own and blocks in the
// operating system until it ends, its time limit passes or a stop is
// requested. A program ended by us gets TERM, then KILL after the grace
// period, with everything it started in its group. What a program that
// ended by itself leaves running in its group is ended the same way, so
// that nothing it started outlives it (and holds what it held). Once a stop
// is requested no program is started any more.
ProcessResult RunAndWait(const CommandLine& command);

// Makes TERM, INT and HUP request a stop of this process's runs instead of
// ending the process at once. For programs whose runs must close their logs.
void StopRunsOnSignals();

// Whether a stop was requested, and by which signal (0 for none).
bool StopRequested();
int StopSignal();

// One argument of a Windows command line, quoted so that the C runtime's
// parser gives it back whole: in double quotes when it holds a blank or a
// quote or is empty, with the backslashes in front of a quote (or of the
// closing quote) doubled. The launcher quotes with it on Windows, as does
// the task scheduler's definition of a task.
std::string QuoteWindowsArgument(std::string_view text);
std::wstring QuoteWindowsArgument(std::wstring_view text);

}  // namespace wfdesk::core
