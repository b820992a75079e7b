// wfdesk's own calendar syntax for Windows's task scheduler, and the first
// start it gives.
#include "schedule/task_calendar.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wfdesk::schedule {
namespace {

TEST(TaskCalendarTest, TakesOurSyntaxAndStartsAfterNow) {
  const core::LocalTime now{2026, 3, 7, 10, 20, 30};  // a Saturday
  const struct {
    std::string text, first;
  } cases[] = {
      {"daily", "2026-03-08T00:00:00"},
      {"DAILY", "2026-03-08T00:00:00"},
      {"06:00", "2026-03-08T06:00:00"},
      {"6:05", "2026-03-08T06:05:00"},
      {"23:59", "2026-03-07T23:59:00"},
      {"Mon..Fri 06:00", "2026-03-09T06:00:00"},
      {"Sat 10:20", "2026-03-14T10:20:00"},
      {"sat 10:21", "2026-03-07T10:21:00"},
      {"Mon,Wed..Thu,SUN 07:30", "2026-03-08T07:30:00"},
      {"hourly", "2026-03-07T11:00:00"},
      {"*:0/15", "2026-03-07T10:30:00"},
      {"*:00/20", "2026-03-07T10:40:00"},
      {"*:0/1", "2026-03-07T10:21:00"},
  };
  for (const auto& c : cases) {
    const auto calendar = ParseTaskCalendar(c.text);
    ASSERT_TRUE(calendar) << c.text;
    EXPECT_EQ(TaskTimeText(FirstStart(*calendar, now)), c.first) << c.text;
  }
  EXPECT_EQ(TaskTimeText(FirstStart(*ParseTaskCalendar("*:0/15"), {2026, 12, 31, 23, 50, 0})),
            "2027-01-01T00:00:00");
  EXPECT_EQ(TaskTimeText(FirstStart(*ParseTaskCalendar("Tue 00:00"), {2028, 2, 28, 0, 0, 0})),
            "2028-02-29T00:00:00");
  const std::vector<std::string> refused = {"bogus",          "Mon",
                                            "weekly",         "Monday 06:00",
                                            "Fri..Mon 06:00", "Mon,,Tue 06:00",
                                            "Mon, Tue 06:00", "Mon  06:00",
                                            " 06:00",         "06:00 ",
                                            "24:00",          "06:60",
                                            "06:5",           "006:00",
                                            "06:00:00",       "*:0/7",
                                            "*:0/0",          "*:0/120",
                                            "*:5/15",         "daily\nx",
                                            "Mon-Fri 06:00",  ""};
  for (const auto& text : refused) EXPECT_EQ(ParseTaskCalendar(text), std::nullopt) << text;
}

}  // namespace
}  // namespace wfdesk::schedule
