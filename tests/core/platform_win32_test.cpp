// What only Windows does: the C runtime's quoting of a command line, the
// job that ends a program at its time limit, attributes that hide files,
// drive-letter paths and locks that leave the file readable.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "core/file_lock.hpp"
#include "core/files.hpp"
#include "core/process.hpp"
#include "tests/support/sandbox.hpp"

namespace wfdesk::core {
namespace {

using testing::DumpedArguments;
using testing::Sandbox;

TEST(WindowsLauncher, EveryArgumentComesBackWholeThroughTheCommandLine) {
  Sandbox box;
  const std::string program = box.Path("my tools\\arg dump.exe");
  std::filesystem::create_directories(box.Path("my tools"));
  std::filesystem::copy_file(WFDESK_ARGDUMP, program);
  const std::string out = box.Path("args");
  const std::vector<std::string> tricky = {"two words", "say \"hi\"",        "",       "trailing\\",
                                           "C:\\a b\\", "\\\\server\\share", "a\\\"b", "tab\there",
                                           "%PATH%",    "x & y | z",         "^caret", "\"",
                                           "\\"};
  CommandLine command{program, {}};
  command.Add(out).Add("7");
  for (const auto& argument : tricky) command.AddQuoted(argument);

  const ProcessResult result = RunAndWait(command);
  ASSERT_EQ(result.Code(), 1) << result.error;
  EXPECT_EQ(result.exit_status, 7);
  std::vector<std::string> expected = {out, "7"};
  expected.insert(expected.end(), tricky.begin(), tricky.end());
  EXPECT_EQ(DumpedArguments(out), expected);
}

TEST(WindowsLauncher, AMissingProgramIsNotStartedAndAHangingOneEndsAtItsLimit) {
  Sandbox box;
  const ProcessResult missing = RunAndWait({box.Path("no-such-program.exe"), {}});
  EXPECT_EQ(missing.Code(), 0);
  EXPECT_FALSE(missing.error.empty());

  CommandLine hanging{WFDESK_ARGDUMP, {}};
  hanging.Add(box.Path("args")).Add("hang");
  hanging.time_limit_seconds = 1;
  const ProcessResult ended = RunAndWait(hanging);
  EXPECT_EQ(ended.Code(), 1);
  EXPECT_EQ(ended.ending, Ending::kTimedOut);
  EXPECT_EQ(ended.exit_status, 143);
}

// A program's own processes that end soon after it (as a console host
// does) are no leftovers; what still runs a while later is, and is ended.
TEST(WindowsLauncher, OnlyWhatOutlivesTheGraceIsALeftoverAndIsEnded) {
  CommandLine brief{WFDESK_LEAVE_CHILD, {}};
  const ProcessResult briefly = RunAndWait(brief.Add("300"));
  ASSERT_EQ(briefly.Code(), 1) << briefly.error;
  EXPECT_EQ(briefly.exit_status, 0);
  EXPECT_FALSE(briefly.ended_leftovers);

  const auto started = std::chrono::steady_clock::now();
  CommandLine lasting{WFDESK_LEAVE_CHILD, {}};
  const ProcessResult left = RunAndWait(lasting.Add("600000"));
  ASSERT_EQ(left.Code(), 1) << left.error;
  EXPECT_TRUE(left.ended_leftovers);
  // Ended, not waited for.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
}

// (Wine, unlike Windows, also hides names that begin with ".".)
TEST(WindowsFiles, HiddenAndSystemFilesAreNoNormalFiles) {
  Sandbox box;
  for (const char* name : {"a.xml", "hidden.xml", "system.xml"}) {
    box.Write(std::string("in/") + name, "x");
  }
  ::SetFileAttributesA(box.Path("in/hidden.xml").c_str(), FILE_ATTRIBUTE_HIDDEN);
  ::SetFileAttributesA(box.Path("in/system.xml").c_str(), FILE_ATTRIBUTE_SYSTEM);
  EXPECT_EQ(FolderFileNames(box.Path("in")), std::vector<std::string>{"a.xml"});
  EXPECT_FALSE(FileListed(box.Path("in/hidden.xml")));
  EXPECT_FALSE(FileListed(box.Path("in/*.xml")) && FileListed(box.Path("in/s*")));
  auto hidden = HiddenFileNames(box.Path("in"));
  std::sort(hidden.begin(), hidden.end());
  EXPECT_EQ(hidden, (std::vector<std::string>{"hidden.xml", "system.xml"}));
  // A replaced file is written as a hidden temporary, but is listed again
  // once it holds its name.
  ASSERT_TRUE(WriteTextFile(box.Path("in/a.xml"), "new", false));
  EXPECT_EQ(testing::ReadFile(box.Path("in/a.xml")), "new");
  EXPECT_EQ(FolderFileNames(box.Path("in")), std::vector<std::string>{"a.xml"});
  EXPECT_EQ(HiddenFileNames(box.Path("in")).size(), 2u);
}

TEST(WindowsPaths, DrivesAndBackslashesMakeAPathAbsolute) {
  const struct {
    std::string path, absolute;
  } cases[] = {
      {"C:\\data", "C:\\data"},
      {"c:/data", "c:/data"},
      {"\\data", "\\data"},
      {"/data", "/data"},
      {"\\\\srv\\s", "\\\\srv\\s"},
      {"data", "D:\\wf\\data"},
      {"data\\in", "D:\\wf\\data\\in"},
      {"", "D:\\wf\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(AbsolutePath(c.path, "D:\\wf"), c.absolute) << c.path;
  Sandbox box;
  box.Write("sub/f.txt", "x");
  const std::string canonical = CanonicalPath(box.Path("sub/../sub/f.txt"));
  ASSERT_GE(canonical.size(), 3u);
  EXPECT_EQ(canonical.substr(1, 2), ":\\");
  EXPECT_EQ(FileNameOf(canonical), "f.txt");
  EXPECT_EQ(FileNameOf("C:\\x/y\\z.txt"), "z.txt");
}

TEST(WindowsLock, ASecondHolderIsBusyAndTheFileStaysReadable) {
  Sandbox box;
  const std::string path = box.Write("wf.lock", "content");
  FileLock first(path);
  ASSERT_EQ(first.state(), FileLock::State::kHeld) << first.error();
  FileLock second(path);
  EXPECT_EQ(second.state(), FileLock::State::kBusy);
  std::string bytes;
  ASSERT_TRUE(ReadFileContent(path, bytes));
  EXPECT_EQ(bytes, "content");
}

}  // namespace
}  // namespace wfdesk::core
