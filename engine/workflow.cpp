#include "engine/workflow.hpp"

#include <cstdio>
#include <optional>

#include "core/file_lock.hpp"
#include "core/files.hpp"
#include "core/language.hpp"
#include "core/log.hpp"
#include "core/settings.hpp"
#include "core/workflow_file.hpp"
#include "engine/modules.hpp"

namespace wfdesk::engine {

namespace {

std::string ModuleTypeMessage(const core::Context& context, const std::string& mtype) {
  return core::GetLanguageText("lg_appl_err_MODnotexists", context.settings.language) + " (" +
         mtype + ")";
}

std::string StoppedMessage(const core::Context& context, const std::string& section) {
  return core::GetLanguageText("lg_appl_err_RunStopped", context.settings.language) + " (" +
         section + ")";
}

// Clears the in-process running flag when the run ends, however it ends.
class RunningFlag {
 public:
  explicit RunningFlag(std::atomic<bool>& flag) : flag_(flag) {
    bool expected = false;
    acquired_ = flag_.compare_exchange_strong(expected, true);
  }
  ~RunningFlag() {
    if (acquired_) flag_ = false;
  }
  RunningFlag(const RunningFlag&) = delete;
  RunningFlag& operator=(const RunningFlag&) = delete;
  bool acquired() const { return acquired_; }

 private:
  std::atomic<bool>& flag_;
  bool acquired_ = false;
};

RunOutcome Refuse(const core::Context& context, std::string message, bool busy) {
  if (!core::IsSilent(context.settings)) context.person.Tell(message);
  return {std::move(message), busy};
}

}  // namespace

std::string WorkflowLockPath(const core::Context& context, const std::string& workflow_file) {
  const std::string file = core::CanonicalPath(core::AbsolutePath(workflow_file, context.home));
  if (file.empty()) return "";
  const std::string name = core::FileNameOf(file);
  return file.substr(0, file.size() - name.size()) + "." + name + ".lock";
}

std::string WorkflowTypeMessage(const core::Context& context, const std::string& type) {
  return core::GetLanguageText("lg_appl_err_WFnotexists", context.settings.language) + " (" + type +
         ")";
}

RunOutcome WorkflowRunner::RunWorkflow(const core::Context& context, const std::string& name,
                                       RunObserver* observer) {
  if (name.empty()) return {};
  const core::LanguageCode language = context.settings.language;
  RunningFlag flag(running_);
  if (!flag.acquired()) {
    return Refuse(context, core::FormatLanguageText("lg_mesg_run001", language, {name}), true);
  }
  if (!core::HasDataFolder(context.settings)) {
    return Refuse(context, core::NoDataFolderMessage(context), false);
  }
  const std::string workflow_file = core::WorkflowPath(context, name);
  const std::string type = core::ReadWorkflowValue(context, workflow_file, "DEF", "type");
  const bool runs_chain = type == core::kGenWorkflow;
  std::optional<core::FileLock> lock;
  if (runs_chain) {
    // The programs of the run hold the lock too: should this process be
    // killed, no new run starts while one of them still works.
    lock.emplace(WorkflowLockPath(context, workflow_file),
                 core::FileLock::Heritage::kSharedWithPrograms);
    if (lock->state() == core::FileLock::State::kBusy) {
      return Refuse(context, core::FormatLanguageText("lg_mesg_run002", language, {name}), true);
    }
    if (lock->state() == core::FileLock::State::kFailed) {
      return Refuse(context,
                    core::FormatLanguageText("lg_mesg_run003", language, {name, lock->error()}),
                    false);
    }
  }

  RunLog log(context);
  RunOutcome outcome{runs_chain ? ExecuteGenWorkflow(context, log, name, observer)
                                : WorkflowTypeMessage(context, type)};
  log.Write(context.settings.logfile, std::string(kRunnerEndMark) + outcome.result);
  log.Write(context.settings.logfile, kClosingLine);
  log.Release();
  if (!core::IsSilent(context.settings)) context.person.Tell(outcome.result);
  return outcome;
}

namespace {

std::string RunChain(const ModuleCall& first, const std::string& label, RunObserver* observer) {
  const core::Context& context = first.where.context;
  std::string kept;  // what modules kept for the next run
  for (int number = 1; number <= kMaxModules; ++number) {
    ModuleSection where{context, first.where.workflow_file, ModuleSectionName(number)};
    std::string mtype = where.Read("mtype");
    if (mtype.empty()) break;
    if (core::StopRequested()) return StoppedMessage(context, where.section);
    if (observer) observer->ModuleStarting(where.section, mtype);
    const ModuleType* type = FindModuleType(mtype);
    if (!type) return ModuleTypeMessage(context, mtype);
    const ModuleCall call{std::move(where), std::move(mtype), first.log_file, first.run_id,
                          first.log};
    const ModuleOutcome outcome = type->run(call);
    if (outcome.stops_chain()) return outcome.message;
    if (outcome.status == ModuleOutcome::Status::kDoneWithKeptFailures) {
      kept += (kept.empty() ? "" : " ") + outcome.message;
    }
  }
  first.log.Write(first.log_file, RunMark(first.run_id, kWorkflowEndMark) + label);
  return kept.empty() ? "OK" : kept;
}

}  // namespace

std::string ExecuteGenWorkflow(const core::Context& context, RunLog& log, const std::string& name,
                               RunObserver* observer) {
  const std::string workflow_file = core::WorkflowPath(context, name);
  const std::string log_file = RunLogFile(context, workflow_file);
  const std::string run_id = core::CreateGUID(context.guids);
  const std::string label = RunLabel(name, workflow_file);
  log.Write(log_file, RunMark(run_id, kWorkflowStartMark) + label);
  const ModuleCall first{{context, workflow_file, ""}, "", log_file, run_id, log};
  const std::string result = RunChain(first, label, observer);
  log.Write(log_file, RunMark(run_id, kWorkflowResultMark) + result);
  return result;
}

std::vector<std::string> CheckWorkflow(const core::Context& context, const std::string& name) {
  if (!core::HasDataFolder(context.settings)) return {core::NoDataFolderMessage(context)};
  const std::string workflow_file = core::WorkflowPath(context, name);
  const std::string type = core::ReadWorkflowValue(context, workflow_file, "DEF", "type");
  if (type != core::kGenWorkflow) return {WorkflowTypeMessage(context, type)};
  std::vector<std::string> problems;
  for (int number = 1; number <= kMaxModules; ++number) {
    const ModuleSection where{context, workflow_file, ModuleSectionName(number)};
    const std::string mtype = where.Read("mtype");
    if (mtype.empty()) break;
    const ModuleType* module_type = FindModuleType(mtype);
    if (!module_type) {
      problems.push_back(where.section + ": " + ModuleTypeMessage(context, mtype));
      continue;
    }
    for (const std::string& text : module_type->check(where))
      problems.push_back(where.section + text);
  }
  return problems;
}

}  // namespace wfdesk::engine
