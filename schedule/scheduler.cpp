#include "schedule/scheduler.hpp"

#include "core/environment.hpp"
#include "core/files.hpp"
#include "core/language.hpp"
#include "core/log.hpp"
#include "core/workflow_file.hpp"
#include "schedule/systemd.hpp"
#include "schedule/task_scheduler.hpp"

namespace wfdesk::schedule {

std::string InstallationTag(std::string_view canonical_home) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : canonical_home) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  std::string tag(16, '0');
  for (int i = 15; i >= 0; --i, hash >>= 4)
    tag[static_cast<std::size_t>(i)] = "0123456789abcdef"[hash & 0x0F];
  return tag;
}

std::string CommandLineProgramBeside(const std::string& window_program) {
  if (const std::string folder = core::FolderOf(window_program); !folder.empty()) {
    const std::string beside =
        core::FindProgramOnPath(folder + "wfdesk-cli" + std::string(core::kProgramSuffix));
    if (!beside.empty()) return beside;
  }
  return core::FindProgramOnPath("wfdesk-cli");
}

namespace {

// Whether this system's scheduler is Windows's task scheduler: the one
// place that asks which system it is built for.
bool UsesTaskScheduler() {
#ifdef _WIN32
  return true;
#else
  // WFDESK_SCHEDULER=schtasks: the task scheduler's backend against a
  // stand-in schtasks on PATH, as the tests run it.
  return core::EnvironmentValue("WFDESK_SCHEDULER") == "schtasks";
#endif
}

}  // namespace

std::unique_ptr<SystemScheduler> MakeSystemScheduler(const core::Context& context,
                                                     const std::string& program) {
  if (UsesTaskScheduler()) return MakeTaskScheduler(context, program);
  return MakeSystemdScheduler(context, program);
}

SchedulerHelp SystemSchedulerHelp() {
  return UsesTaskScheduler() ? kTaskSchedulerHelp : kSystemdHelp;
}

ScheduleChange ScheduleWorkflow(const core::Context& context, SystemScheduler& scheduler,
                                const std::string& workflow, const std::string& calendar) {
  const std::string path = core::AbsolutePath(core::WorkflowPath(context, workflow), context.home);
  if (workflow.empty() || !core::IsPlainFile(path)) {
    return {false, core::FormatLanguageText("lg_mesg_cli002", context.settings.language,
                                            {core::EscapeControlCharacters(path)})};
  }
  return scheduler.Set(workflow, calendar);
}

}  // namespace wfdesk::schedule
