#include "schedule/task_calendar.hpp"

#include <chrono>
#include <cstdio>

namespace wfdesk::schedule {

namespace {

constexpr std::array<std::string_view, 7> kDayNames = {"mon", "tue", "wed", "thu",
                                                       "fri", "sat", "sun"};
constexpr std::array<std::string_view, 7> kDayElements = {
    "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
constexpr int kMinutesPerDay = 24 * 60;

// Digits only, between min_digits and max_digits of them.
std::optional<int> Number(std::string_view text, std::size_t min_digits, std::size_t max_digits) {
  if (text.size() < min_digits || text.size() > max_digits) return std::nullopt;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

bool ParseTime(std::string_view text, TaskCalendar& calendar) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  const auto hour = Number(text.substr(0, colon), 1, 2);
  const auto minute = Number(text.substr(colon + 1), 2, 2);
  if (!hour || !minute || *hour > 23 || *minute > 59) return false;
  calendar.hour = *hour;
  calendar.minute = *minute;
  return true;
}

std::optional<std::size_t> DayIndex(std::string_view name) {
  for (std::size_t i = 0; i < kDayNames.size(); ++i) {
    if (kDayNames[i] == name) return i;
  }
  return std::nullopt;
}

// "Mon", "Mon..Fri", joined with ","; a range runs forward within the week.
bool ParseDays(std::string_view text, std::array<bool, 7>& days) {
  while (true) {
    const auto comma = text.find(',');
    const std::string_view part = text.substr(0, comma);
    const auto dots = part.find("..");
    const auto first = DayIndex(part.substr(0, dots));
    const auto last = dots == std::string_view::npos ? first : DayIndex(part.substr(dots + 2));
    if (!first || !last || *first > *last) return false;
    for (std::size_t i = *first; i <= *last; ++i) days[i] = true;
    if (comma == std::string_view::npos) return true;
    text = text.substr(comma + 1);
  }
}

std::optional<int> RepeatMinutes(std::string_view text) {
  for (const std::string_view prefix : {"*:0/", "*:00/"}) {
    if (!text.starts_with(prefix)) continue;
    const auto every = Number(text.substr(prefix.size()), 1, 2);
    if (every && *every > 0 && 60 % *every == 0) return every;
  }
  return std::nullopt;
}

std::chrono::sys_days DayOf(const core::LocalTime& time) {
  return std::chrono::year{time.year} / std::chrono::month{static_cast<unsigned>(time.month)} /
         std::chrono::day{static_cast<unsigned>(time.day)};
}

core::LocalTime At(std::chrono::sys_days day, int minutes) {
  const std::chrono::year_month_day date{day};
  return {static_cast<int>(date.year()),
          static_cast<int>(static_cast<unsigned>(date.month())),
          static_cast<int>(static_cast<unsigned>(date.day())),
          minutes / 60,
          minutes % 60,
          0};
}

bool EveryDay(const TaskCalendar& calendar) {
  for (const bool day : calendar.days) {
    if (day) return false;
  }
  return true;
}

}  // namespace

std::optional<TaskCalendar> ParseTaskCalendar(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  TaskCalendar calendar;
  if (lower == "daily") return calendar;
  if (lower == "hourly") lower = "*:0/60";
  if (const auto every = RepeatMinutes(lower)) {
    calendar.every_minutes = *every;
    return calendar;
  }
  std::string_view rest = lower;
  if (const auto blank = rest.find(' '); blank != std::string_view::npos) {
    if (!ParseDays(rest.substr(0, blank), calendar.days)) return std::nullopt;
    rest = rest.substr(blank + 1);
  }
  if (!ParseTime(rest, calendar)) return std::nullopt;
  return calendar;
}

core::LocalTime FirstStart(const TaskCalendar& calendar, const core::LocalTime& now) {
  const std::chrono::sys_days today = DayOf(now);
  const int now_seconds = (now.hour * 60 + now.minute) * 60 + now.second;
  if (calendar.every_minutes > 0) {
    const int next = (now_seconds / (calendar.every_minutes * 60) + 1) * calendar.every_minutes;
    return next < kMinutesPerDay ? At(today, next) : At(today + std::chrono::days{1}, 0);
  }
  const int slot = calendar.hour * 60 + calendar.minute;
  const bool every_day = EveryDay(calendar);
  int ahead = slot * 60 > now_seconds ? 0 : 1;
  for (;; ++ahead) {  // ends within a week: some day is set
    const std::chrono::sys_days day = today + std::chrono::days{ahead};
    const unsigned weekday = std::chrono::weekday{day}.iso_encoding() - 1;
    if (every_day || calendar.days[weekday]) return At(day, slot);
  }
}

std::string TaskTimeText(const core::LocalTime& time) {
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", time.year, time.month, time.day,
                time.hour, time.minute, time.second);
  return text;
}

std::string CalendarTriggerXml(const TaskCalendar& calendar, const core::LocalTime& start) {
  std::string xml = "    <CalendarTrigger>\r\n";
  if (calendar.every_minutes > 0) {
    const std::string interval = calendar.every_minutes == 60
                                     ? std::string("PT1H")
                                     : "PT" + std::to_string(calendar.every_minutes) + "M";
    xml += "      <Repetition>\r\n        <Interval>" + interval +
           "</Interval>\r\n        <Duration>P1D</Duration>\r\n"
           "        <StopAtDurationEnd>false</StopAtDurationEnd>\r\n      </Repetition>\r\n";
  }
  xml += "      <StartBoundary>" + TaskTimeText(start) +
         "</StartBoundary>\r\n      <Enabled>true</Enabled>\r\n";
  if (EveryDay(calendar)) {
    xml +=
        "      <ScheduleByDay>\r\n        <DaysInterval>1</DaysInterval>\r\n"
        "      </ScheduleByDay>\r\n";
  } else {
    xml += "      <ScheduleByWeek>\r\n        <DaysOfWeek>\r\n";
    for (std::size_t i = 0; i < kDayElements.size(); ++i) {
      if (calendar.days[i]) xml += "          <" + std::string(kDayElements[i]) + " />\r\n";
    }
    xml +=
        "        </DaysOfWeek>\r\n        <WeeksInterval>1</WeeksInterval>\r\n"
        "      </ScheduleByWeek>\r\n";
  }
  return xml + "    </CalendarTrigger>\r\n";
}

}  // namespace wfdesk::schedule
