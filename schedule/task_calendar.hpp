#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/seams.hpp"

namespace wfdesk::schedule {

// When a workflow runs under Windows's task scheduler, which knows no
// systemd calendars. The syntax is wfdesk's own and small, each form one
// trigger of the scheduler:
//   daily          every day at 00:00
//   HH:MM          every day at that time (H:MM too)
//   DAYS HH:MM     on those days at that time; DAYS is a list of Mon, Tue,
//                  Wed, Thu, Fri, Sat, Sun and ranges such as Mon..Fri,
//                  joined with "," (Mon,Wed or Mon..Wed,Sat)
//   hourly         every hour at minute 0
//   *:0/N          every N minutes from minute 0 of each hour; N divides 60
// Day names are English, in any case.
struct TaskCalendar {
  std::array<bool, 7> days{};  // Monday first; none set: every day
  int hour = 0;
  int minute = 0;
  int every_minutes = 0;  // 0: once at hour:minute; else all day from 00:00 at this interval

  bool operator==(const TaskCalendar&) const = default;
};

// The calendar, or none when the text is not in the syntax above.
std::optional<TaskCalendar> ParseTaskCalendar(std::string_view text);

// The first start of the calendar later than `now`: where the scheduler's
// trigger begins, so that registering it never counts as a missed start.
core::LocalTime FirstStart(const TaskCalendar& calendar, const core::LocalTime& now);

// "YYYY-MM-DDTHH:MM:SS", the scheduler's local time without a zone.
std::string TaskTimeText(const core::LocalTime& time);

// The <CalendarTrigger> element of a task definition that starts at `start`.
std::string CalendarTriggerXml(const TaskCalendar& calendar, const core::LocalTime& start);

}  // namespace wfdesk::schedule
