// The runner and the module chain: types, stop rules, log routing, the
// closing lines, silent mode and runs that must not overlap.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/catalogue.hpp"
#include "engine/workflow.hpp"
#include "tests/support/installation.hpp"

namespace wfdesk::engine {
namespace {

using ::testing::ElementsAre;
using testing::TestInstallation;

constexpr const char* kRunId = "00112233-4455-6677-8899-AABBCCDDEEFF";
constexpr const char* kHyphens = "---------------------------------------------------------";

// A BMD5INVOICE section whose parameters pass the checks.
std::string Invoice(int number) {
  char section[16];
  std::snprintf(section, sizeof section, "MOD%03d", number);
  return std::string("[") + section +
         "]\r\nmtype=BMD5INVOICE\r\nmpFile=in\r\nmpFileOutPath=out\r\nmpFileOutExtension=xml\r\n";
}

std::string Line(const std::string& text) {
  return std::string("[") + kRunId + "] " + text;
}

class ChainTest : public ::testing::Test {
 protected:
  void SetUp() override { inst.FakeProgram("mod_ledgerconv001_x86_32"); }
  RunOutcome Run(const std::string& name) { return runner.RunWorkflow(inst.context(), name); }
  std::size_t ConverterCalls() { return inst.Calls("mod_ledgerconv001_x86_32").size(); }

  TestInstallation inst;
  WorkflowRunner runner;
};

TEST_F(ChainTest, AnEmptyNameRunsNothingAndUnknownTypesAreRefusedAndClosedInTheLog) {
  inst.context().settings.silentmode = "0";
  EXPECT_EQ(Run("").result, "");
  EXPECT_FALSE(inst.box().Exists("system.log"));
  EXPECT_TRUE(inst.person().told.empty());
  inst.box().Write("data/lower.ini",
                   "[DEF]\r\ntype=genworkflow\r\n[MOD001]\r\nmtype=BMD5INVOICE\r\n");
  EXPECT_EQ(Run("lower.ini").result,
            "ERROR: specified workflow type does not exist! (genworkflow)");
  EXPECT_EQ(Run("missing.ini").result, "ERROR: specified workflow type does not exist! ()");
  inst.context().settings.language = 1;
  EXPECT_EQ(Run("lower.ini").result,
            "FEHLER: Der angegebene Workflow Typ existiert nicht! (genworkflow)");
  EXPECT_EQ(ConverterCalls(), 0u);
  EXPECT_EQ(inst.LogMessages("system.log").size(), 6u);
  EXPECT_EQ(inst.LogMessages("system.log")[4],
            "WORKFLOW END: FEHLER: Der angegebene Workflow Typ existiert nicht! (genworkflow)");
  ASSERT_EQ(inst.person().told.size(), 3u);  // not silent: each result is shown
  EXPECT_EQ(inst.person().told[1], "ERROR: specified workflow type does not exist! ()");
  EXPECT_FALSE(inst.box().Exists("data/.missing.ini.lock"));
}

// The default log, system.log, takes both: run_log_test shows it.
TEST_F(ChainTest, AWorkflowLogTakesTheRunAndTheSystemLogTheClosingLines) {
  inst.Workflow("own.ini", Invoice(1) + Invoice(2), "logfile=logs/own.log\r\n");
  inst.box().MakeFolder("logs");
  ASSERT_TRUE(Run("own.ini").ok());
  EXPECT_EQ(ConverterCalls(), 2u);
  const std::string label = " own.ini (" + testing::InData("own.ini") + ")";
  const auto own = inst.LogMessages("logs/own.log");
  EXPECT_EQ(own.front(), Line("WORKFLOW START:" + label));
  EXPECT_EQ(own[1], Line("MODULE MOD001 START: BMD5INVOICE (" + testing::InData("own.ini") + ")"));
  EXPECT_EQ(own.rbegin()[1], Line("WORKFLOW END:" + label));
  EXPECT_EQ(own.back(), Line("WORKFLOW RESULT: OK"));
  const std::string stamp = "2026-03-07 09:05:04  ";
  EXPECT_THAT(inst.LogLines("system.log"),
              ElementsAre(stamp + "WORKFLOW END: OK", stamp + kHyphens));
  EXPECT_TRUE(inst.person().told.empty());  // silent mode
  // The converter is handed the same log file, in absolute form.
  EXPECT_EQ(inst.Calls("mod_ledgerconv001_x86_32").at(0).at(9), inst.Path("") + "logs/own.log");
}

TEST_F(ChainTest, TheChainStopsAtAGapAnUnknownTypeOrAFailure) {
  inst.Workflow("gap.ini", Invoice(1) + Invoice(3));
  EXPECT_TRUE(Run("gap.ini").ok());
  EXPECT_EQ(ConverterCalls(), 1u);

  inst.Workflow("empty.ini", "");
  EXPECT_TRUE(Run("empty.ini").ok());

  inst.Workflow("case.ini", Invoice(1) + "[MOD002]\r\nmtype=xsltproc\r\n" + Invoice(3));
  EXPECT_EQ(Run("case.ini").result, "ERROR: specified module does not exist! (xsltproc)");
  EXPECT_EQ(ConverterCalls(), 2u);

  inst.Workflow("fails.ini", Invoice(1) + "[MOD002]\r\nmtype=BMD5INVOICE\r\n" + Invoice(3),
                "logfile=fails.log\r\n");
  const std::string result = Run("fails.ini").result;
  EXPECT_EQ(result.rfind("MOD002: Eingangsverzeichnis", 0), 0u) << result;
  EXPECT_EQ(ConverterCalls(), 3u);
  const auto log = inst.LogMessages("fails.log");
  EXPECT_EQ(log.rbegin()[1], Line("MODULE MOD002 ERROR: " + result));
  EXPECT_EQ(log.back(), Line("WORKFLOW RESULT: " + result));
  for (const auto& line : log) EXPECT_EQ(line.find("WORKFLOW END"), std::string::npos);
}

#ifndef _WIN32  // a thousand program starts take minutes under Wine
TEST_F(ChainTest, RunsAllThousandModulesAndNeverTheThousandAndFirst) {
  std::string modules;
  for (int number = 1; number <= 1001; ++number) modules += Invoice(number);
  inst.Workflow("long.ini", modules);
  EXPECT_TRUE(Run("long.ini").ok());
  EXPECT_EQ(ConverterCalls(), 1000u);
}
#endif

// A launcher that tries to start a second run while the first one waits.
struct ReenteringLauncher : testing::RecordingLauncher {
  core::ProcessResult RunAndWait(const core::CommandLine& command) override {
    second = runner->RunWorkflow(*context, "daily.ini");
    return RecordingLauncher::RunAndWait(command);
  }
  WorkflowRunner* runner = nullptr;
  const core::Context* context = nullptr;
  RunOutcome second;
};

TEST_F(ChainTest, ASecondRunInTheSameProcessIsRefused) {
  inst.Workflow("daily.ini", Invoice(1));
  ReenteringLauncher launcher;
  core::Context context{inst.context().home,  inst.context().settings, inst.person(), launcher,
                        inst.context().clock, inst.context().guids};
  launcher.runner = &runner;
  launcher.context = &context;
  EXPECT_TRUE(runner.RunWorkflow(context, "daily.ini").ok());
  EXPECT_TRUE(launcher.second.busy);
  EXPECT_FALSE(runner.running());
  EXPECT_TRUE(Run("daily.ini").ok());  // free again afterwards
}

TEST_F(ChainTest, AnUnwritableLogDoesNotStopTheRunAndIsToldOnce) {
  inst.Workflow("daily.ini", Invoice(1) + Invoice(2), "logfile=no/such/folder/run.log\r\n");
  EXPECT_TRUE(Run("daily.ini").ok());
  EXPECT_EQ(ConverterCalls(), 2u);
  ASSERT_EQ(inst.person().told.size(), 1u);
  EXPECT_NE(inst.person().told[0].find("no/such/folder/run.log"), std::string::npos);
}

TEST_F(ChainTest, TwoRunsCarryDifferentRunIds) {
  inst.Workflow("daily.ini", Invoice(1));
  core::SystemGuidSource guids;
  core::Context context{inst.context().home,     inst.context().settings, inst.person(),
                        inst.context().launcher, inst.context().clock,    guids};
  ASSERT_TRUE(runner.RunWorkflow(context, "daily.ini").ok());
  ASSERT_TRUE(runner.RunWorkflow(context, "daily.ini").ok());
  const auto log = inst.LogMessages("system.log");
  const auto id_of = [](const std::string& line) { return line.substr(1, 36); };
  EXPECT_NE(id_of(log.front()), id_of(log[log.size() / 2 + 1]));
}

TEST_F(ChainTest, CheckReportsEveryProblemAndTouchesNothing) {
  inst.Workflow("bad.ini",
                "[MOD001]\r\nmtype=BMD5INVOICE\r\nmpFileOutPath=nowhere\r\n"
                "[MOD002]\r\nmtype=Unknown\r\n" +
                    Invoice(3));
  const auto problems = CheckWorkflow(inst.context(), "bad.ini");
  ASSERT_EQ(problems.size(), 4u);
  EXPECT_EQ(problems[0].rfind("MOD001: Eingangsverzeichnis für Daten fehlt!", 0), 0u);
  EXPECT_EQ(problems[1].rfind("MOD001: Ausgangsverzeichnis für Daten existiert nicht!", 0), 0u);
  EXPECT_EQ(problems[2].rfind("MOD001: Dateiendung", 0), 0u);
  EXPECT_EQ(problems[3], "MOD002: ERROR: specified module does not exist! (Unknown)");
  EXPECT_FALSE(inst.box().Exists("system.log"));
  EXPECT_TRUE(inst.person().told.empty());
  EXPECT_EQ(ConverterCalls(), 0u);
}

TEST_F(ChainTest, TheCatalogueListsOnlyWorkflowFilesInFileNameOrder) {
  inst.Workflow("b.ini", "");
  inst.Workflow("A.ini", "");
  inst.box().Write("data/notes.ini", "[FILE]\r\ntype=QVWORKFLOW\r\n");
  inst.box().Write("data/.hidden.ini", "[FILE]\r\ntype=qvworkflow\r\n");
  const auto catalogue = ListWorkflows(inst.context());
  ASSERT_TRUE(catalogue.ok()) << catalogue.error;
  ASSERT_EQ(catalogue.entries.size(), 2u);
  EXPECT_EQ(CatalogueText(inst.context(), catalogue.entries[0]), "Title of A.ini  ->  A.ini");
  EXPECT_EQ(catalogue.entries[1].file_name, "b.ini");
}

}  // namespace
}  // namespace wfdesk::engine
