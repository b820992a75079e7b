#include "core/process.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>

#include "core/seams.hpp"
#include "tests/support/sandbox.hpp"

namespace wfdesk::core {
namespace {

using testing::DumpedArguments;
using testing::Sandbox;

TEST(Launcher, PassesEachArgumentWholeWithoutAShellAndGivesTheStatus) {
  Sandbox box;
  // A program whose path has blanks.
  const std::string program = box.Write("my tools/arg dump", testing::ReadFile(WFDESK_ARGDUMP));
  ::chmod(program.c_str(), 0755);
  const std::string out = box.Path("args");
  const std::vector<std::string> tricky = {"two words", "say \"hi\"", "a;b", "$(touch pwned)",
                                           "",          "*",          "`id`"};
  CommandLine command{program, {}};
  command.Add(out).Add("7");
  for (const auto& argument : tricky) command.AddQuoted(argument);

  const ProcessResult result = SpawnLauncher().RunAndWait(command);
  ASSERT_EQ(result.Code(), 1) << result.error;  // a failing program still counts as run
  EXPECT_EQ(result.exit_status, 7);
  std::vector<std::string> expected = {out, "7"};
  expected.insert(expected.end(), tricky.begin(), tricky.end());
  EXPECT_EQ(DumpedArguments(out), expected);
  EXPECT_FALSE(box.Exists("pwned"));
}

TEST(Launcher, AMissingProgramGivesZeroAtOnceAndLeavesNoChild) {
  Sandbox box;
  const auto begin = std::chrono::steady_clock::now();
  const ProcessResult missing = RunAndWait({box.Path("no-such-program"), {}});
  EXPECT_EQ(missing.Code(), 0);
  EXPECT_EQ(missing.error, "No such file or directory");
  box.Write("not-executable", "#!/bin/sh\n");
  EXPECT_EQ(RunAndWait({box.Path("not-executable"), {}}).Code(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(2));
  int status = 0;
  EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);  // no child left to reap
  EXPECT_EQ(errno, ECHILD);
}

TEST(Launcher, ReturnsOnlyWhenTheProgramHasEndedAndWaitsWithoutSpinning) {
  rusage before{}, after{};
  ::getrusage(RUSAGE_SELF, &before);
  const auto begin = std::chrono::steady_clock::now();
  ASSERT_EQ(RunAndWait(CommandLine{"/bin/sleep", {}}.Add("0.5")).Code(), 1);
  EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(450));
  ::getrusage(RUSAGE_SELF, &after);
  const auto cpu_us = [](const rusage& u) {
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000000L + u.ru_utime.tv_usec +
           u.ru_stime.tv_usec;
  };
  // A polling loop would burn the whole half second.
  EXPECT_LT(cpu_us(after) - cpu_us(before), 200000L);
}

TEST(Launcher, SetsTheCommandsVariablesAndEndsWhatTheProgramLeftRunning) {
  Sandbox box;
  const std::string script =
      box.Write("leave", "#!/bin/sh\nsleep 60 &\necho \"$WF_A $WF_B\" > \"$1\"\n");
  ::chmod(script.c_str(), 0755);
  CommandLine command{script, {}};
  command.Add(box.Path("said"));
  command.environment = {{"WF_A", "a b;c"}, {"WF_B", "2"}};
  const ProcessResult result = RunAndWait(command);
  ASSERT_EQ(result.Code(), 1) << result.error;
  EXPECT_TRUE(result.ended_leftovers);
  EXPECT_EQ(box.Read("said"), "a b;c 2\n");
  EXPECT_FALSE(RunAndWait(CommandLine{"/bin/true", {}}).ended_leftovers);
}

TEST(Launcher, RenderShowsWhatTheLogsShow) {
  CommandLine command{"/opt/wf/modules/xsltproc", {}};
  command.Add("-o").AddQuoted("/out/a b.xml").AddQuoted("say \"x\"");
  EXPECT_EQ(command.Render(), "\"/opt/wf/modules/xsltproc\" -o \"/out/a b.xml\" \"say \"x\"\"");
}

}  // namespace
}  // namespace wfdesk::core
