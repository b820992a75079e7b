// The last run of a workflow, read back from the logs.
#include "engine/last_run.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/file_lock.hpp"
#include "engine/workflow.hpp"
#include "tests/support/installation.hpp"

namespace wfdesk::engine {
namespace {

using testing::TestInstallation;

TEST(LastRunTest, ReadsTheResultOfTheWorkflowsOwnLastRun) {
  const std::string start = "2026-03-07 09:00:00  " + RunMark("ID", kWorkflowStartMark) +
                            RunLabel("daily.ini", testing::InData("daily.ini")) + "\r\n";
  const std::string other =
      "2026-03-07 09:00:01  [OTHER] WORKFLOW START: other.ini (data/other.ini)\r\n"
      "2026-03-07 09:00:02  [OTHER] WORKFLOW RESULT: OK\r\n"
      "2026-03-07 09:00:02  WORKFLOW END: OK\r\n";
  const struct {
    std::string def, run_log;
    bool locked;
    std::string expected;
  } cases[] = {
      {"", "", false, "never run"},
      {"", start + "2026-03-07 09:00:03  [ID] WORKFLOW RESULT: OK\r\n", false,
       "2026-03-07 09:00:03 OK"},
      // Another workflow's result in between is not this run's.
      {"", start + other + "2026-03-07 09:00:09  [ID] WORKFLOW RESULT: MOD001: failed\r\n", false,
       "2026-03-07 09:00:09 MOD001: failed"},
      {"", start + other, false, "started 2026-03-07 09:00:00, no result"},
      {"", start + other, true, "running since 2026-03-07 09:00:00"},
      {"logfile=run.log\r\n",
       "2026-03-06 09:00:00  [OLD] WORKFLOW RESULT: old\r\n" + start +
           "2026-03-07 09:00:02  [ID] WORKFLOW RESULT: kept\r\n",
       false, "2026-03-07 09:00:02 kept"},
  };
  for (const auto& c : cases) {
    TestInstallation inst;
    inst.Workflow("daily.ini", "", c.def);
    inst.box().Write(c.def.empty() ? "system.log" : "run.log", c.run_log);
    std::optional<core::FileLock> run;
    if (c.locked) run.emplace(inst.Path("data/.daily.ini.lock"));
    EXPECT_EQ(LastRunText(inst.context(), FindLastRun(inst.context(), "daily.ini")), c.expected)
        << c.run_log;
  }
}

TEST(LastRunTest, ARunLeavesItsResultForTheList) {
  TestInstallation inst;
  inst.Workflow("empty.ini", "");
  WorkflowRunner runner;
  ASSERT_TRUE(runner.RunWorkflow(inst.context(), "empty.ini").ok());
  const LastRun last = FindLastRun(inst.context(), "empty.ini");
  EXPECT_TRUE(last.ended);
  EXPECT_EQ(last.result, "OK");
}

}  // namespace
}  // namespace wfdesk::engine
