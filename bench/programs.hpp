#pragma once

// The programs a benchmark starts, started through core's launcher.

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/process.hpp"

namespace wfdesk::bench {

// The program with these arguments (argv[0] is the program), what it
// prints kept; with `output`, its standard output goes to that file instead,
// which a shell opens for it.
inline core::CommandLine Command(const std::vector<std::string>& argv,
                                 const std::string& output = "") {
  core::CommandLine command{argv.at(0), {}};
  if (!output.empty()) {
    command.program = "/bin/sh";
    command.Add("-c").Add("exec \"$@\" > \"$0\"").Add(output).Add(argv[0]);
  }
  for (std::size_t i = 1; i < argv.size(); ++i) command.Add(argv[i]);
  command.capture_output = true;
  return command;
}

// Whether the program ran and exited with status 0.
inline bool RunOnce(const std::vector<std::string>& argv, const std::string& output = "",
                    std::string* printed = nullptr) {
  const core::ProcessResult result = core::RunAndWait(Command(argv, output));
  if (printed) *printed = result.output;
  return result.started && result.exit_status == 0;
}

// A program's peak memory is told only to the process that waits for it, and
// for all its children at once; so a fresh copy of the benchmark, started
// with this flag, runs the program as its only child and prints the peak.
// Its main begins with: if (IsPeakRun(argc, argv)) return PrintPeak(argc, argv);
inline constexpr std::string_view kPeakFlag = "--peak-of";

inline bool IsPeakRun(int argc, char** argv) {
  return argc > 2 && argv[1] == kPeakFlag;
}

inline int PrintPeak(int argc, char** argv) {
  const bool ok = RunOnce(std::vector<std::string>(argv + 2, argv + argc), "/dev/null");
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  std::printf("%ld\n", ok ? usage.ru_maxrss : -1L);
  return 0;
}

// The largest resident set of a program run, in kB (that of the programs it
// started and waited for included), or -1 when it failed. Its output goes
// to /dev/null.
inline long PeakKb(const std::vector<std::string>& argv) {
  std::vector<std::string> measured = {std::filesystem::read_symlink("/proc/self/exe").string(),
                                       std::string(kPeakFlag)};
  measured.insert(measured.end(), argv.begin(), argv.end());
  std::string printed;
  return RunOnce(measured, "", &printed) ? std::atol(printed.c_str()) : -1;
}

}  // namespace wfdesk::bench
