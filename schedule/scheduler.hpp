#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/context.hpp"

namespace wfdesk::schedule {

// One workflow of the installation that the system's scheduler runs.
struct Schedule {
  std::string workflow;  // file name of the workflow in the data folder
  std::string calendar;  // when it runs, in the scheduler's own words
  std::string next_run;  // the next time it runs, as the scheduler says it; "" when unknown
  bool active = false;   // the scheduler runs it; false when written but not yet enabled
};

// How setting or removing a schedule went. `message` is the reason of a
// refusal, or what the operator has to know or do next.
struct ScheduleChange {
  bool ok = false;
  std::string message;
};

// The system's scheduler for the workflows of one installation: systemd's
// user timers on Linux, the task scheduler on Windows. Each run it makes is
// `wfdesk-cli --home HOME run NAME` (`/f NAME` on Windows); the schedules of one installation never
// touch another's. Calls block while the scheduler's programs run; use from one thread at a time.
class SystemScheduler {
 public:
  virtual ~SystemScheduler() = default;

  // Sets or changes when a workflow runs. A calendar the scheduler refuses
  // changes nothing; the message then gives the scheduler's reason.
  virtual ScheduleChange Set(const std::string& workflow, const std::string& calendar) = 0;
  // Removes the schedule of a workflow; a workflow without one is no failure.
  virtual ScheduleChange Remove(const std::string& workflow) = 0;
  // Every schedule of the installation, by workflow name.
  virtual std::vector<Schedule> List() = 0;
  // The schedule of one workflow, if it has one.
  virtual std::optional<Schedule> Find(const std::string& workflow) = 0;
};

// How `wfdesk-cli schedule` describes the scheduler and its calendars, and
// the language key of the window's question for a calendar.
struct SchedulerHelp {
  std::string_view schedule;
  std::string_view calendar;
  const char* calendar_question;
};

// The help of the scheduler MakeSystemScheduler makes.
SchedulerHelp SystemSchedulerHelp();

// The scheduler of this system for the installation of the context, whose
// runs start `program` (an absolute path to wfdesk-cli). Its programs are
// started through the context's launcher.
std::unique_ptr<SystemScheduler> MakeSystemScheduler(const core::Context& context,
                                                     const std::string& program);

// Where wfdesk-cli is for a window whose program is `window_program`: beside
// it, else on PATH; "" when neither has it.
std::string CommandLineProgramBeside(const std::string& window_program);

// 16 hex digits that tell installations apart: FNV-1a of the folder's
// canonical path.
std::string InstallationTag(std::string_view canonical_home);

// Schedules a workflow file of the data folder: refused when the file does not exist.
ScheduleChange ScheduleWorkflow(const core::Context& context, SystemScheduler& scheduler,
                                const std::string& workflow, const std::string& calendar);

}  // namespace wfdesk::schedule
