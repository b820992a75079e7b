// Schedules kept by systemd user timers, against a systemctl stand-in and
// the real systemd-analyze.
#include <gtest/gtest.h>

#include <optional>

#include "core/environment.hpp"
#include "core/files.hpp"
#include "schedule/systemd.hpp"
#include "tests/support/installation.hpp"
#include "tests/support/run_program.hpp"

namespace wfdesk::schedule {
namespace {

using testing::TestInstallation;

TEST(UnitNameTest, EscapesAsSystemdEscapeAndBackAndQuotesExecArguments) {
  const struct {
    std::string name, escaped;
  } cases[] = {
      {"daily.ini", "daily.ini"},
      {"my flow \"x\".ini", "my\\x20flow\\x20\\x22x\\x22.ini"},
      {".hidden-1", "\\x2ehidden\\x2d1"},
      {"Grüße's;$%.ini", "Gr\\xc3\\xbc\\xc3\\x9fe\\x27s\\x3b\\x24\\x25.ini"},
  };
  const std::string escape = core::FindProgramOnPath("systemd-escape");
  for (const auto& c : cases) {
    EXPECT_EQ(EscapeUnitName(c.name), c.escaped);
    EXPECT_EQ(UnescapeUnitName(c.escaped), c.name);
    if (!escape.empty()) {
      EXPECT_EQ(testing::RunProgram({escape, c.name}).out, c.escaped + "\n");
    }
  }
  EXPECT_EQ(UnescapeUnitName("a\\x4"), std::nullopt);
  EXPECT_EQ(UnescapeUnitName("a\\q41"), std::nullopt);
  EXPECT_NE(InstallationTag("/srv/a"), InstallationTag("/srv/b"));
  EXPECT_EQ(InstallationTag("/srv/a").size(), 16u);
  // Exec arguments keep every byte.
  const struct {
    std::string text, quoted;
  } arguments[] = {
      {"a b", "\"a b\""},
      {"x\"y\\z", "\"x\\\"y\\\\z\""},
      {"50%$HOME", "\"50%%$$HOME\""},
      {"\n\xfc", "\"\\x0a\\xfc\""},
      {";", "\\;"},
  };
  for (const auto& c : arguments) EXPECT_EQ(QuoteExecArgument(c.text), c.quoted) << c.text;
}

class SchedulerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (analyze.empty()) GTEST_SKIP() << "systemd-analyze is not installed";
    inst.Workflow("daily.ini", "");
  }
  SystemdScheduler Scheduler(const std::string& home,
                             core::LanguageCode language = core::kEnglish) {
    return SystemdScheduler(SystemdSetup{home, inst.Path("modules/systemctl"), inst.Path("units"),
                                         inst.Path("modules/systemctl"), analyze, language},
                            inst.context().launcher);
  }
  std::vector<std::string> Verbs() {
    std::vector<std::string> verbs;
    for (const auto& call : inst.Calls("systemctl")) verbs.push_back(call.at(1));
    return verbs;
  }

  const std::string analyze = core::FindProgramOnPath("systemd-analyze");
  TestInstallation inst;
};

TEST_F(SchedulerTest, WritesCheckedUnitsAndEnablesThemWhenAManagerRuns) {
  inst.SystemctlDouble("running");
  SystemdScheduler scheduler = Scheduler(inst.Path(""));
  const std::string name = "my \"odd\" flüß;$%.ini";
  const ScheduleChange set = scheduler.Set(name, "Mon..Fri 06:00");
  ASSERT_TRUE(set.ok) << set.message;
  EXPECT_EQ(Verbs(),
            (std::vector<std::string>{"is-system-running", "daemon-reload", "enable", "restart"}));
  const std::string base = inst.Path("units/" + scheduler.UnitBase(name));
  EXPECT_EQ(inst.Calls("systemctl")[2].at(2), scheduler.UnitBase(name) + ".timer");
  EXPECT_NE(testing::ReadFile(base + ".timer").find("Persistent=true\n"), std::string::npos);
  EXPECT_NE(testing::ReadFile(base + ".service").find("SuccessExitStatus=3\n"), std::string::npos);
  for (const char* suffix : {".service", ".timer"}) {
    const auto verified = testing::RunProgram({analyze, "verify", base + suffix});
    EXPECT_EQ(verified.status, 0) << suffix << verified.err;
  }
  const std::vector<Schedule> listed = scheduler.List();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].workflow, name);
  EXPECT_EQ(listed[0].calendar, "Mon..Fri 06:00");
  EXPECT_TRUE(listed[0].active);
  EXPECT_FALSE(listed[0].next_run.empty());

  const ScheduleChange removed = scheduler.Remove(name);
  EXPECT_TRUE(removed.ok) << removed.message;
  EXPECT_FALSE(core::IsPlainFile(base + ".timer") || core::IsPlainFile(base + ".service"));
  EXPECT_EQ(Verbs().at(Verbs().size() - 2), "disable");
  EXPECT_TRUE(scheduler.List().empty());
  EXPECT_EQ(scheduler.Remove(name).message,
            "my \"odd\" flüß;$%.ini has no schedule. Nothing was changed.");

  // Installations with the same workflow keep apart.
  SystemdScheduler other = Scheduler(inst.Path("other"));
  ASSERT_TRUE(scheduler.Set("daily.ini", "daily").ok);
  ASSERT_TRUE(other.Set("daily.ini", "hourly").ok);
  EXPECT_NE(scheduler.UnitBase("daily.ini"), other.UnitBase("daily.ini"));
  ASSERT_EQ(scheduler.List().size(), 1u);
  EXPECT_EQ(scheduler.List()[0].calendar, "daily");
  ASSERT_TRUE(other.Remove("daily.ini").ok);
  EXPECT_EQ(scheduler.Find("daily.ini")->calendar, "daily");
}

TEST_F(SchedulerTest, WithoutAManagerTellsTheCommandThatEnables) {
  inst.SystemctlDouble("offline");
  SystemdScheduler scheduler = Scheduler(inst.Path(""));
  const ScheduleChange set = scheduler.Set("daily.ini", "daily");
  EXPECT_TRUE(set.ok);
  EXPECT_NE(set.message.find("systemctl --user enable --now '" + scheduler.UnitBase("daily.ini") +
                             ".timer'"),
            std::string::npos);
  EXPECT_NE(set.message.find("loginctl enable-linger"), std::string::npos);
  EXPECT_EQ(Verbs(), std::vector<std::string>{"is-system-running"});
  ASSERT_EQ(scheduler.List().size(), 1u);
  EXPECT_FALSE(scheduler.List()[0].active);
}

TEST_F(SchedulerTest, RefusesBadCalendarsAndNamesWithoutWritingUnits) {
  inst.SystemctlDouble("running");
  SystemdScheduler scheduler = Scheduler(inst.Path(""));
  const struct {
    std::string name, calendar, reason;
  } cases[] = {
      {"daily.ini", "bogus",
       "bogus was refused: systemd does not read it as a calendar (systemd: Failed to parse "
       "calendar"},
      {"daily.ini", "2001-01-01", "it never comes round again"},
      {"daily.ini", "daily\nExecStart=/bin/sh", "a calendar is one line of text"},
      {"daily.ini", "", "a calendar is one line of text"},
      {"a/b.ini", "daily", "cannot be scheduled"},
      {"..", "daily", "cannot be scheduled"},
      {std::string(80, '\xfc'), "daily", "too long for a unit name"},
  };
  for (const auto& c : cases) {
    const ScheduleChange set = scheduler.Set(c.name, c.calendar);
    EXPECT_FALSE(set.ok);
    EXPECT_NE(set.message.find(c.reason), std::string::npos) << set.message;
  }
  // In German our sentence is German; systemd's words stay as systemd gave them.
  EXPECT_EQ(
      Scheduler(inst.Path(""), core::kGerman)
          .Set("daily.ini", "bogus")
          .message.rfind("Der Kalender bogus wurde abgelehnt: systemd liest ihn nicht als Kalender "
                         "(systemd: Failed to parse calendar",
                         0),
      0u);
  EXPECT_FALSE(core::DirExists(inst.Path("units")));
  EXPECT_TRUE(inst.Calls("systemctl").empty());
}

}  // namespace
}  // namespace wfdesk::schedule
