#pragma once

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "core/context.hpp"
#include "engine/run_log.hpp"

namespace wfdesk::engine {

inline constexpr int kMaxModules = 1000;

// The section of the module numbered `number`: MOD001, MOD002, ...
inline std::string ModuleSectionName(int number) {
  char name[16];
  std::snprintf(name, sizeof name, "MOD%03d", number);
  return name;
}

struct RunOutcome {
  std::string result;  // "OK", the message that stopped the run, or "" for no name
  bool busy = false;   // refused: a run was already going; nothing was touched

  bool ok() const { return result == "OK"; }
};

// Told how a run goes on; called on the thread that runs the workflow,
// between two modules, so it must not block.
class RunObserver {
 public:
  virtual ~RunObserver() = default;
  virtual void ModuleStarting(const std::string& section, const std::string& mtype) = 0;
};

// Runs workflows one at a time. Inside the process a second run is refused
// while one is going; across processes each run holds a lock beside its
// workflow file, so a scheduled run and a run from the window never overlap.
class WorkflowRunner {
 public:
  // Runs the workflow file `name` of the data folder: checks its type, runs
  // its chain, writes the closing lines to the system log and, unless
  // silent, tells the operator the result.
  RunOutcome RunWorkflow(const core::Context& context, const std::string& name,
                         RunObserver* observer = nullptr);

  bool running() const { return running_; }

 private:
  std::atomic<bool> running_{false};
};

// Runs the module chain of a genWorkflow file and returns "OK" or the first
// module result that is not "OK".
std::string ExecuteGenWorkflow(const core::Context& context, RunLog& log, const std::string& name,
                               RunObserver* observer = nullptr);

// Every problem a run of the workflow would meet in its type and in the
// parameter checks of its modules, each as "SECTION: message". Writes
// nothing and starts nothing.
std::vector<std::string> CheckWorkflow(const core::Context& context, const std::string& name);

// The hidden lock file beside the workflow file that a run holds, named
// from the file itself so that every spelling of its path (./a.ini,
// ../data/a.ini, links) takes the same lock; "" when the file does not exist.
std::string WorkflowLockPath(const core::Context& context, const std::string& workflow_file);

// The message for a workflow type the runner does not know.
std::string WorkflowTypeMessage(const core::Context& context, const std::string& type);

}  // namespace wfdesk::engine
