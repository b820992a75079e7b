// wfdesk-cli init: where it makes an installation, what it makes, and that
// it never changes what is already there.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/run_program.hpp"
#include "tests/support/sandbox.hpp"

namespace wfdesk {
namespace {

using ::testing::HasSubstr;
using testing::ProgramOutput;
using testing::RunProgram;
using testing::Sandbox;

// No WFDESK_HOME of the caller's, and a user data folder inside the box.
ProgramOutput Cli(const Sandbox& box, std::vector<std::string> arguments,
                  const std::string& program = WFDESK_CLI) {
  arguments.insert(arguments.begin(), program);
  return RunProgram(arguments, {"WFDESK_HOME=", "XDG_DATA_HOME=" + box.Path("xdg")});
}

bool IsLinkToProgram(const std::string& path) {
  return std::filesystem::is_symlink(path) && ::access(path.c_str(), X_OK) == 0;
}

TEST(Init, MakesTheInstallationWhereTheHomeWouldBeAndThenChangesNothing) {
  Sandbox box;
  const struct {
    std::vector<std::string> arguments;
    std::string home;
  } cases[] = {
      {{"init"}, "xdg/wfdesk"},
      {{"init", box.Path("dir")}, "dir"},
      {{"--home", box.Path("opt"), "init"}, "opt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.home);
    const ProgramOutput first = Cli(box, c.arguments);
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_THAT(first.out, HasSubstr("Created: " + box.Path(c.home + "/settings.ini")));
    for (const char* folder : {"data", "etc", "tmp", "log", "db"}) {
      EXPECT_TRUE(std::filesystem::is_directory(box.Path(c.home + "/" + folder))) << folder;
    }
    for (const char* program :
         {"mod_ledgerconv001_x86_32", "mod_portalsend001_x86_32", "xsltproc"}) {
      EXPECT_TRUE(IsLinkToProgram(box.Path(c.home + "/modules/" + program))) << program;
    }
    const ProgramOutput again = Cli(box, c.arguments);
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, "Nothing changed: the installation in " + box.Path(c.home) +
                             " already holds everything.\n");
  }
  EXPECT_EQ(Cli(box, {"--home", box.Path("dir"), "list"}).status, 0);
}

TEST(Init, CompletesAnInstallationWithoutOverwritingAnyOfItsFiles) {
  Sandbox box;
  const std::string settings = "[SETTINGS]\r\nlanguage=1\r\ndata_dir=flows\r\nmodule_dir=bin\r\n";
  box.Write("inst/settings.ini", settings);
  box.Write("inst/data/daily.ini", "mine");
  box.Write("inst/bin/xsltproc", "not a program");
  ::symlink("nowhere", box.Path("inst/bin/mod_portalsend001_x86_32").c_str());
  const ProgramOutput output = Cli(box, {"init", box.Path("inst"), "--example"});
  EXPECT_EQ(output.status, 0) << output.err;
  EXPECT_THAT(output.out, HasSubstr("Angelegt: " + box.Path("inst/flows")));
  EXPECT_EQ(box.Read("inst/settings.ini"), settings);
  EXPECT_EQ(box.Read("inst/data/daily.ini"), "mine");
  EXPECT_EQ(box.Read("inst/bin/xsltproc"), "not a program");
  EXPECT_EQ(std::filesystem::read_symlink(box.Path("inst/bin/mod_portalsend001_x86_32")),
            "nowhere");
  EXPECT_TRUE(IsLinkToProgram(box.Path("inst/bin/mod_ledgerconv001_x86_32")));
  EXPECT_TRUE(box.Exists("inst/data/convert.ini"));
  EXPECT_TRUE(box.Exists("inst/exchange/exports/export-2026-12-01.csv"));
  EXPECT_FALSE(box.Exists("inst/exchange/acks/.keep"));
}

TEST(Init, PutsTheExamplesDataIntoANewInstallationOnly) {
  Sandbox box;
  const std::string home = box.Path("inst");
  ASSERT_EQ(Cli(box, {"init", home, "--example"}).status, 0);
  ASSERT_TRUE(box.Exists("inst/db/transmissions.csv"));
  // The installation goes live: its exports are converted, the example's
  // database and a workflow file are removed, and a run has logged.
  std::filesystem::remove_all(box.Path("inst/exchange"));
  std::filesystem::remove(box.Path("inst/db/transmissions.csv"));
  std::filesystem::remove(box.Path("inst/data/convert.ini"));
  box.Write("inst/log/system.log", "2026-12-01 06:00:00  WORKFLOW END: OK\r\n");
  const ProgramOutput again = Cli(box, {"init", home, "--example"});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_THAT(again.out, HasSubstr("The installation in " + home + " is in use")) << again.out;
  EXPECT_TRUE(box.Exists("inst/data/convert.ini"));  // the workflows come back
  for (const char* folder : {"inst/exchange/exports", "inst/exchange/invoices"}) {
    EXPECT_TRUE(std::filesystem::is_directory(box.Path(folder))) << folder;
    EXPECT_TRUE(std::filesystem::is_empty(box.Path(folder))) << folder;
  }
  EXPECT_FALSE(box.Exists("inst/db/transmissions.csv"));
}

// A copy of the program away from the build tree: a folder holding
// settings.ini beside it is its home; its module programs are not found.
TEST(Init, FailsAndSaysWhyWhenItCannotMakeEverything) {
  Sandbox box;
  const std::string program = box.Path("bin/wfdesk-cli");
  box.MakeFolder("bin");
  std::filesystem::copy_file(WFDESK_CLI, program);
  box.Write("bin/settings.ini", "[SETTINGS]\r\nmodule_dir=modules\r\ndata_dir=data\r\n");
  const ProgramOutput here = Cli(box, {"init"}, program);
  EXPECT_EQ(here.status, 1);
  EXPECT_THAT(here.err, HasSubstr("The module program mod_ledgerconv001_x86_32 is missing"));
  EXPECT_THAT(here.err, HasSubstr("The installation in " + box.Path("bin") + " is not complete."));
  EXPECT_TRUE(box.Exists("bin/modules/xsltproc"));
  // A settings.ini that names no data folder is not completed by guesses.
  box.Write("other/settings.ini", std::string("\x89PNG\0\x01", 6));
  const ProgramOutput foreign = Cli(box, {"init", box.Path("other")});
  EXPECT_EQ(foreign.status, 1);
  EXPECT_THAT(foreign.err, HasSubstr(box.Path("other/settings.ini")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(box.Path("other")),
                          std::filesystem::directory_iterator()),
            1);
  box.Write("file", "x");
  const ProgramOutput blocked = Cli(box, {"init", box.Path("file/inst")});
  EXPECT_EQ(blocked.status, 1);
  EXPECT_THAT(blocked.err, HasSubstr(box.Path("file")));
  EXPECT_EQ(box.Read("file"), "x");
}

}  // namespace
}  // namespace wfdesk
