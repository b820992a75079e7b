// The run log as a run keeps it open: other writers of the same log, a log
// taken away while a module program runs, and no file held while the
// operator is told something or after the run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "core/log.hpp"
#include "engine/workflow.hpp"
#include "tests/support/installation.hpp"

namespace wfdesk::engine {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAreArray;
using testing::TestInstallation;

constexpr const char* kModule =
    "[MOD001]\r\nmtype=BMD5INVOICE\r\nmpFile=in\r\nmpFileOutPath=out\r\nmpFileOutExtension=xml\r\n";

// Pretends to run each program after doing what the test asks for.
class ActingLauncher : public core::ProcessLauncher {
 public:
  explicit ActingLauncher(std::function<void()> act) : act_(std::move(act)) {}
  core::ProcessResult RunAndWait(const core::CommandLine&) override {
    act_();
    core::ProcessResult result;
    result.started = true;
    return result;
  }

 private:
  std::function<void()> act_;
};

// What a log says, line by line, up to the first ":" of each message and
// without the run id: "MODULE MOD001 START", "WORKFLOW RESULT", ...
std::vector<std::string> Marks(const TestInstallation& inst, const std::string& log) {
  std::vector<std::string> marks;
  for (std::string message : inst.LogMessages(log)) {
    if (message.rfind("[00112233-", 0) == 0) message.erase(0, message.find("] ") + 2);
    marks.push_back(message.substr(0, message.find(':')));
  }
  return marks;
}

TEST(RunLog, LinesOfOthersAndALogTakenAwayDuringAProgramAreLoggedWhole) {
  const std::vector<std::string> before = {"WORKFLOW START", "MODULE MOD001 START",
                                           "MODULE MOD001 PARAM"};
  const std::vector<std::string> after = {
      "MODULE MOD001 CALL", "MODULE MOD001 EXIT", "MODULE MOD001 END",      "WORKFLOW END",
      "WORKFLOW RESULT",    "WORKFLOW END",       std::string(kClosingLine)};
  const auto joined = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  struct Case {
    const char* what;  // the program's doing, while the run holds its log
    std::function<void(const TestInstallation&)> act;
    std::vector<std::string> log;      // system.log afterwards
    std::vector<std::string> rotated;  // system.log.1 afterwards
  };
  const Case cases[] = {
      {"writes a line of its own",
       [](const TestInstallation& inst) {
         testing::FixedClock clock;
         ASSERT_TRUE(core::WriteLogLine(clock, inst.Path("system.log"), "converter"));
       },
       joined(joined(before, {"converter"}), after),
       {}},
      {"moves the log away",
       [](const TestInstallation& inst) {
         fs::rename(inst.Path("system.log"), inst.Path("system.log.1"));
       },
       after, before},
#ifndef _WIN32  // Wine keeps a deleted file under its name while it is held
      {"deletes the log",
       [](const TestInstallation& inst) { fs::remove(inst.Path("system.log")); },
       after,
       {}},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestInstallation inst;
    inst.Workflow("daily.ini", kModule);
    ActingLauncher launcher([&] { c.act(inst); });
    core::Context context{inst.context().home,  inst.context().settings, inst.person(), launcher,
                          inst.context().clock, inst.context().guids};
    WorkflowRunner runner;
    ASSERT_TRUE(runner.RunWorkflow(context, "daily.ini").ok());
    EXPECT_THAT(Marks(inst, "system.log"), ElementsAreArray(c.log));
    EXPECT_THAT(Marks(inst, "system.log.1"), ElementsAreArray(c.rotated));
  }
}

#ifdef __linux__
// Whether this process has the file open.
bool HeldOpen(const std::string& path) {
  std::error_code error;
  const fs::path file = fs::canonical(path, error);
  for (const auto& entry : fs::directory_iterator("/proc/self/fd", error)) {
    if (fs::read_symlink(entry.path(), error) == file) return true;
  }
  return false;
}

// Notes whether the log is open whenever the operator is told something.
class LogWatchingOperator : public core::Operator {
 public:
  explicit LogWatchingOperator(std::string log) : log_(std::move(log)) {}
  void Tell(const std::string& message) override { told.push_back({message, HeldOpen(log_)}); }
  bool Ask(const std::string&) override { return false; }

  std::vector<std::pair<std::string, bool>> told;  // message, log held then

 private:
  std::string log_;
};

TEST(RunLog, NoLogIsHeldWhileTheOperatorIsToldNorAfterTheRun) {
  TestInstallation inst;
  inst.FakeProgram("mod_ledgerconv001_x86_32");
  inst.context().settings.silentmode = "0";
  inst.Workflow("daily.ini", std::string(kModule) + "[MOD002]\r\nmtype=BMD5INVOICE\r\n");
  LogWatchingOperator person(inst.Path("system.log"));
  core::Context context{inst.context().home,     inst.context().settings, person,
                        inst.context().launcher, inst.context().clock,    inst.context().guids};
  WorkflowRunner runner;
  const RunOutcome outcome = runner.RunWorkflow(context, "daily.ini");
  ASSERT_FALSE(outcome.ok());
  ASSERT_EQ(person.told.size(), 2u);  // the module's failure, then the result
  EXPECT_EQ(person.told[1].first, outcome.result);
  for (const auto& [message, held] : person.told) EXPECT_FALSE(held) << message;
  EXPECT_FALSE(HeldOpen(inst.Path("system.log")));
  EXPECT_EQ(Marks(inst, "system.log").back().substr(0, 5), "-----");
}
#endif

}  // namespace
}  // namespace wfdesk::engine
