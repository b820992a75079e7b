#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/language.hpp"
#include "core/seams.hpp"
#include "schedule/scheduler.hpp"
#include "schedule/task_calendar.hpp"

namespace wfdesk::schedule {

// What the Windows scheduler of one installation works with.
struct TaskSchedulerSetup {
  std::string home;              // the installation folder, canonical
  std::string program;           // the wfdesk-cli.exe the tasks start, absolute
  std::string schtasks;          // the program, "" when not found
  std::string temporary_folder;  // where a task's definition waits for schtasks
  core::LanguageCode language = core::kEnglish;
};

// A task of Windows's task scheduler per workflow, made and read by
// schtasks. Its name is "wfdesk-TAG-NAME" in the scheduler's root folder
// (ordinary users may add tasks there, not folders), where TAG comes from
// the installation folder and NAME is the workflow's file name as
// EscapeTaskName writes it. The task runs `wfdesk-cli.exe --home HOME /f
// NAME` while its user is logged on, starts no second run while one runs,
// and makes up a start missed while the machine was off. The calendar is
// wfdesk's own (see TaskCalendar) and kept in the task's description.
class TaskScheduler final : public SystemScheduler {
 public:
  TaskScheduler(TaskSchedulerSetup setup, core::ProcessLauncher& launcher, core::Clock& clock,
                core::GuidSource& guids)
      : setup_(std::move(setup)), launcher_(launcher), clock_(clock), guids_(guids) {}

  ScheduleChange Set(const std::string& workflow, const std::string& calendar) override;
  ScheduleChange Remove(const std::string& workflow) override;
  std::vector<Schedule> List() override;
  std::optional<Schedule> Find(const std::string& workflow) override;

  // The task's name in the root folder, without the leading "\".
  std::string TaskName(const std::string& workflow) const;

 private:
  struct Captured {
    bool started = false;
    bool ran = false;  // started and exited with status 0
    std::string output;
    std::string reason;  // why it did not run well, in schtasks' words
  };
  Captured Schtasks(std::vector<std::string> arguments);
  // Why a workflow cannot be scheduled, if it cannot.
  std::optional<std::string> Refuse(const std::string& workflow) const;
  ScheduleChange Register(const std::string& workflow, const std::string& definition);
  // The schedules among schtasks' rows, of this installation only.
  std::vector<Schedule> Schedules(std::string_view csv) const;
  std::string Text(std::string_view key, std::initializer_list<std::string_view> values) const;

  TaskSchedulerSetup setup_;
  core::ProcessLauncher& launcher_;
  core::Clock& clock_;
  core::GuidSource& guids_;
};

inline constexpr SchedulerHelp kTaskSchedulerHelp{
    "run a workflow at set times through the system's scheduler (the task scheduler)",
    "run it at these times: daily, hourly, HH:MM, DAYS HH:MM (DAYS as Mon..Fri or Mon,Wed), "
    "*:0/N (every N minutes, N divides 60)",
    "lg_desk_schedule_prompt_tasks"};

// The task scheduler for the installation of the context, whose tasks
// start `program` (an absolute path to wfdesk-cli.exe).
std::unique_ptr<SystemScheduler> MakeTaskScheduler(const core::Context& context,
                                                   const std::string& program);

// A name the task scheduler takes as it stands: ASCII letters, digits, "-"
// and "." (not first or last) stay, every other byte becomes "_hh".
std::string EscapeTaskName(std::string_view text);
// The reverse; none for a text EscapeTaskName cannot have written.
std::optional<std::string> UnescapeTaskName(std::string_view text);

// The task definition (Task Scheduler schema 1.2) as UTF-8 text whose
// declaration says UTF-16, as it is written for schtasks.
std::string TaskDefinitionXml(const TaskSchedulerSetup& setup, const std::string& workflow,
                              const std::string& calendar_text, const TaskCalendar& calendar,
                              const core::LocalTime& start);

// UTF-16LE with byte-order mark, from text that is UTF-8 or else Windows-1252.
std::string Utf16LeWithBom(std::string_view text);

// The rows of schtasks' CSV output, each split into its fields.
std::vector<std::vector<std::string>> CsvRows(std::string_view text);

}  // namespace wfdesk::schedule
