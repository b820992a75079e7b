#pragma once

#include <string>
#include <string_view>

#include "core/context.hpp"
#include "core/log.hpp"

namespace wfdesk::engine {

// The marks of a run's own lines in its run log, each after "[" RUNID:
// its start and the end of a complete chain (both followed by the
// workflow's label and path) and, last, its result ("OK" or the message
// that stopped it), which tells a run's result apart from those of other
// workflows sharing the log.
inline constexpr std::string_view kWorkflowStartMark = "] WORKFLOW START: ";
inline constexpr std::string_view kWorkflowEndMark = "] WORKFLOW END: ";
inline constexpr std::string_view kWorkflowResultMark = "] WORKFLOW RESULT: ";
// What the runner writes to the system log after every run, and the line
// that closes it.
inline constexpr std::string_view kRunnerEndMark = "WORKFLOW END: ";
inline constexpr std::string_view kClosingLine =
    "---------------------------------------------------------";

// "[" RUNID and the mark: how a run's own line begins after its time stamp.
std::string RunMark(std::string_view run_id, std::string_view mark);

// What the start and end lines name a run by: the workflow's file name and,
// in brackets, its path.
std::string RunLabel(const std::string& name, const std::string& workflow_file);

// The log a workflow's runs write to: its DEF logfile, else the system log.
std::string RunLogFile(const core::Context& context, const std::string& workflow_file);

// Writes the log lines of one run. A line that cannot be written does not
// stop the run; the operator is told once per run, at the first failure.
// The log a run writes to stays open from line to line (see
// core::LogWriter) until the run ends, or until the operator is told
// something: a run waiting for an answer holds no file.
class RunLog {
 public:
  explicit RunLog(const core::Context& context) : context_(context) {}

  void Write(const std::string& log_file, std::string_view message);
  // Closes the log file; the next line opens it again.
  void Release() { writer_.Release(); }

 private:
  const core::Context& context_;
  core::LogWriter writer_;
  bool operator_told_ = false;
};

}  // namespace wfdesk::engine
