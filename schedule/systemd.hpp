#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/language.hpp"
#include "core/seams.hpp"
#include "schedule/scheduler.hpp"

namespace wfdesk::schedule {

// What the systemd scheduler of one installation works with.
struct SystemdSetup {
  std::string home;         // the installation folder, canonical
  std::string program;      // the wfdesk-cli the services start, absolute
  std::string unit_folder;  // the user's unit folder
  std::string systemctl;    // the program, "" when not installed
  std::string analyze;      // systemd-analyze, "" when not installed
  core::LanguageCode language = core::kEnglish;
};

// A timer and a service unit per workflow in the user's unit folder, named
// "wfdesk-TAG-NAME" where TAG comes from the installation folder and NAME
// is the workflow's file name as systemd-escape writes it. Calendars are
// checked by `systemd-analyze calendar`; the timer is enabled through
// `systemctl --user` when a user manager runs, else the operator is told
// the command that enables it.
class SystemdScheduler final : public SystemScheduler {
 public:
  SystemdScheduler(SystemdSetup setup, core::ProcessLauncher& launcher)
      : setup_(std::move(setup)), launcher_(launcher) {}

  ScheduleChange Set(const std::string& workflow, const std::string& calendar) override;
  ScheduleChange Remove(const std::string& workflow) override;
  std::vector<Schedule> List() override;
  std::optional<Schedule> Find(const std::string& workflow) override;

  // The unit name of a workflow without ".timer" or ".service".
  std::string UnitBase(const std::string& workflow) const;

 private:
  struct Captured {
    bool ran = false;  // started and exited with status 0
    std::string output;
    std::string reason;    // why it did not run well, in systemd's words
    bool refused = false;  // started and ended by itself with another status
  };
  Captured Run(const std::string& program, std::vector<std::string> arguments);
  Captured Systemctl(std::vector<std::string> arguments);
  bool UserManagerRuns();
  // The checked calendar's next elapse, or the refusal's reason.
  bool CheckCalendar(const std::string& calendar, std::string& next_or_reason);
  ScheduleChange Enable(const std::string& workflow, const std::string& calendar,
                        const std::string& next);
  // Why a workflow name cannot be scheduled, if it cannot.
  std::optional<std::string> RefuseName(const std::string& workflow) const;
  std::optional<Schedule> ReadSchedule(const std::string& workflow, bool manager_runs);
  std::string Text(std::string_view key, std::initializer_list<std::string_view> values) const;

  SystemdSetup setup_;
  core::ProcessLauncher& launcher_;
};

// The text as systemd-escape writes it for a unit name: ASCII letters,
// digits, ":", "_" and "." (not in front) stay, "/" becomes "-", every
// other byte "\xhh".
std::string EscapeUnitName(std::string_view text);
// The reverse; none for a text systemd-escape cannot have written.
std::optional<std::string> UnescapeUnitName(std::string_view text);

// One word of a unit's ExecStart= line: in double quotes, with "\", "\"",
// control and non-ASCII bytes escaped and "%" and "$" doubled, so that
// systemd hands the program exactly the text.
std::string QuoteExecArgument(std::string_view text);

// The units' texts.
std::string ServiceUnitText(const SystemdSetup& setup, const std::string& workflow);
std::string TimerUnitText(const SystemdSetup& setup, const std::string& workflow,
                          const std::string& calendar);

inline constexpr SchedulerHelp kSystemdHelp{
    "run a workflow at set times through the system's scheduler (systemd)",
    "run it at these times, in systemd's calendar syntax", "lg_desk_schedule_prompt"};

// The systemd scheduler for the installation of the context, whose
// services start `program` (an absolute path to wfdesk-cli).
std::unique_ptr<SystemScheduler> MakeSystemdScheduler(const core::Context& context,
                                                      const std::string& program);

// $XDG_CONFIG_HOME/systemd/user, else ~/.config/systemd/user.
std::string UserUnitFolder();

}  // namespace wfdesk::schedule
