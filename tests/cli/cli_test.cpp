// wfdesk-cli as a scheduler uses it: its commands, the /f form, what goes to
// standard output and standard error, and its exit statuses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>

#include "core/environment.hpp"
#include "core/file_lock.hpp"
#include "core/files.hpp"
#include "core/text_encoding.hpp"
#include "tests/support/installation.hpp"
#include "tests/support/run_program.hpp"
#include "tests/support/wait_for.hpp"
#include "textdb/transmission_list.hpp"

namespace wfdesk {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::ProgramOutput;
using testing::RunProgram;
using ::testing::StartsWith;
using testing::TestInstallation;

constexpr const char* kGood =
    "[MOD001]\r\nmtype=BMD5INVOICE\r\nmpFile=in\r\nmpFileOutPath=out\r\nmpFileOutExtension=xml\r\n";
constexpr const char* kBad = "[MOD001]\r\nmtype=BMD5INVOICE\r\nmpFileOutPath=out\r\n";

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    inst.FakeProgram("mod_ledgerconv001_x86_32");
    inst.Workflow("good.ini", kGood);
    inst.Workflow("bad.ini", kBad);
  }
  ProgramOutput Cli(std::vector<std::string> arguments,
                    const std::vector<std::string>& environment = {}) {
    arguments.insert(arguments.begin(), WFDESK_CLI);
    return RunProgram(arguments, environment);
  }
  // wfdesk-cli --home INSTALLATION ARGUMENTS...
  ProgramOutput Home(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--home", home});
    return Cli(arguments);
  }
  std::size_t ConverterCalls() { return inst.Calls("mod_ledgerconv001_x86_32").size(); }
  // wfdesk-cli --home INSTALLATION schedule ARGUMENTS..., the scheduler's
  // stand-in in modules/ found first on PATH.
  ProgramOutput Schedule(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {WFDESK_CLI, "--home", home, "schedule"});
    std::vector<std::string> environment = schedule_environment;
    environment.push_back("PATH=" + inst.Path("modules") + ":" +
                          core::EnvironmentValue("PATH").value_or(""));
    return RunProgram(arguments, environment);
  }

  TestInstallation inst;
  const std::string home = inst.Path("");
  std::vector<std::string> schedule_environment;
};

TEST_F(CliTest, EveryFormOfARunPrintsTheResultAndExitsWithItsStatus) {
  const struct {
    std::vector<std::string> arguments, environment;
    int status;
    std::string out;
  } cases[] = {
      {{"--home", home, "run", "good.ini"}, {}, 0, "OK\n"},
      {{"/f", "good.ini", "--home", home}, {}, 0, "OK\n"},
      {{"--home=" + home, "/x", "1", "/F", "good.ini", "/y", "2"}, {}, 0, "OK\n"},
      {{"run", "good.ini"}, {"WFDESK_HOME=" + home}, 0, "OK\n"},
      {{"--home", home, "/f"}, {}, 2, ""},
      {{}, {}, 2, ""},
      {{"frobnicate"}, {}, 2, ""},
      {{"run"}, {}, 2, ""},
  };
  for (const auto& c : cases) {
    const ProgramOutput output = Cli(c.arguments, c.environment);
    EXPECT_EQ(output.status, c.status) << ::testing::PrintToString(c.arguments);
    EXPECT_EQ(output.out, c.out) << ::testing::PrintToString(c.arguments);
  }
  EXPECT_EQ(ConverterCalls(), 4u);
  const ProgramOutput bad = Home({"run", "bad.ini"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_THAT(bad.out, StartsWith("MOD001: Eingangsverzeichnis für Daten fehlt!"));
  EXPECT_THAT(bad.err, HasSubstr("MOD001: Eingangsverzeichnis"));  // the message box
  // Not silent, the result is shown on standard error too.
  inst.box().Write("settings.ini",
                   "[SETTINGS]\r\nmodule_dir=modules\r\ndata_dir=data\r\nlogfile=system.log\r\n");
  EXPECT_EQ(Home({"run", "good.ini"}).err, "OK\n");
  const ProgramOutput help = Cli({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_THAT(help.out, HasSubstr("check"));
  EXPECT_EQ(Cli({"--version"}).out, "wfdesk-cli v." WFDESK_PROJECT_VERSION "\n");
}

TEST_F(CliTest, CheckPrintsEveryProblemOnALineAndChangesNothing) {
  const ProgramOutput bad = Home({"check", "bad.ini"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_THAT(bad.out, StartsWith("MOD001: Eingangsverzeichnis für Daten fehlt!"));
  EXPECT_EQ(std::count(bad.out.begin(), bad.out.end(), '\n'), 2);  // and no extension
  EXPECT_EQ(bad.err, "");
  EXPECT_EQ(Home({"check", "good.ini"}).status, 0);
  EXPECT_FALSE(inst.box().Exists("system.log"));
  EXPECT_EQ(ConverterCalls(), 0u);
}

TEST_F(CliTest, ListPrintsTheCatalogueOrFailsForAMissingOrUnreadableDataFolder) {
  const ProgramOutput list = Home({"list"});
  EXPECT_EQ(list.status, 0);
  EXPECT_EQ(list.out, "Title of bad.ini  ->  bad.ini\nTitle of good.ini  ->  good.ini\n");
  inst.box().Write("settings.ini", "[SETTINGS]\r\ndata_dir=nowhere\r\n");
  const ProgramOutput missing = Home({"list"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_THAT(missing.err, HasSubstr("nowhere"));
#ifndef _WIN32  // Windows has no unreadable mode bits
  if (testing::RunningAsRoot()) GTEST_SKIP() << "root reads every folder";
  inst.Settings("");
  inst.Workflow("db.ini", "[WORKFLOW]\r\ndbfile=trans.csv\r\n");
  ::chmod(inst.box().Write("trans.csv", "x;1\r\n").c_str(), 0);
  const ProgramOutput records = Home({"records", "db.ini"});
  EXPECT_EQ(records.status, 1);
  EXPECT_THAT(records.err, HasSubstr("trans.csv"));
  ::chmod(inst.Path("data").c_str(), 0);
  const ProgramOutput unreadable = Home({"list"});
  ::chmod(inst.Path("data").c_str(), 0755);
  EXPECT_EQ(unreadable.status, 1);
  EXPECT_EQ(unreadable.out, "");
  EXPECT_THAT(unreadable.err, HasSubstr(inst.Path("data")));
#endif
}

// Bytes that are no INI text: NULs, bytes above 127, lone CRs.
std::string Garbage() {
  std::mt19937 random(12345);
  std::string bytes(65536, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}

TEST_F(CliTest, EveryCommandStopsWithAMessageWhenNoDataFolderIsSet) {
  const std::string english = "ERROR: no data folder set!";
  const struct {
    const char* settings;  // nullptr: no settings.ini; "/": a folder of that name
    std::string bytes, message;
  } cases[] = {{"empty data_dir", "[SETTINGS]\r\nmodule_dir=modules\r\ndata_dir=\r\n", english},
               {"no data_dir", "[SETTINGS]\r\nlanguage=1\r\nmodule_dir=modules\r\n",
                "FEHLER: Kein Datenverzeichnis angegeben!"},
               {"the root", "[SETTINGS]\r\nmodule_dir=modules\r\ndata_dir=/\r\n", english},
               {"the root too", "[SETTINGS]\r\nmodule_dir=modules\r\ndata_dir=//./\r\n", english},
               {nullptr, "", english},
               {"/", "", english},
               {"garbage", Garbage(), english}};
  // A workflow in the installation folder, which an empty data folder lists.
  inst.box().Write("good.ini", "[FILE]\r\ntype=qvworkflow\r\n[DEF]\r\ntype=genWorkflow\r\n" +
                                   std::string(kGood));
  for (const auto& c : cases) {
    std::filesystem::remove(inst.Path("settings.ini"));
    if (c.settings && std::string(c.settings) == "/") inst.box().MakeFolder("settings.ini");
    if (c.settings && std::string(c.settings) != "/") inst.box().Write("settings.ini", c.bytes);
    for (const std::vector<std::string>& command :
         std::vector<std::vector<std::string>>{{"run", "good.ini"},
                                               {"/f", "good.ini"},
                                               {"check", "good.ini"},
                                               {"list"},
                                               {"records", "good.ini"}}) {
      const ProgramOutput output = Home(command);
      const std::string what = (c.settings ? c.settings : "none") + (" " + command[0]);
      EXPECT_EQ(output.status, 1) << what;
      EXPECT_EQ(output.out, "") << what;
      EXPECT_THAT(output.err, StartsWith(c.message)) << what << ": " << output.err;
      EXPECT_THAT(output.err, HasSubstr(inst.Path("settings.ini"))) << what;
    }
  }
  EXPECT_EQ(ConverterCalls(), 0u);
  EXPECT_FALSE(inst.box().Exists("system.log"));
}

TEST_F(CliTest, AWorkflowThatIsAlreadyRunningGivesStatusThreeHoweverItIsSpelt) {
  std::vector<std::string> names = {"good.ini", "./good.ini", ".//good.ini", "../data/good.ini"};
#ifndef _WIN32
  ASSERT_EQ(::symlink("good.ini", inst.Path("data/alias.ini").c_str()), 0);
  names.push_back("alias.ini");
#endif
  core::FileLock other(inst.Path("data/.good.ini.lock"));
  for (const std::string& name : names) {
    const ProgramOutput busy = Home({"run", name});
    EXPECT_EQ(busy.status, 3) << name;
    EXPECT_EQ(busy.out, std::string("The workflow ") + name +
                            " is already running. It was not started again.\n");
  }
  EXPECT_EQ(ConverterCalls(), 0u);
  EXPECT_FALSE(inst.box().Exists("system.log"));
}

#ifndef _WIN32  // signals and process groups
TEST_F(CliTest, AStoppedOrKilledRunnerNeverLeavesItsProgramWorkingAlone) {
  // The converter hangs, with a child of its own, while the file "hang" exists.
  const std::string pid_file = inst.Path("converter.pid");
  inst.Script("mod_ledgerconv001_x86_32",
              "[ -f '" + inst.Path("hang") + "' ] || exit 0\necho $$ > '" + pid_file +
                  ".new'; mv '" + pid_file + ".new' '" + pid_file + "'\nsleep 60 & wait");
  inst.box().Write("hang", "");
  const auto converter_group = [&]() -> pid_t {
    if (!testing::WaitFor([&] { return inst.box().Exists("converter.pid"); })) return -1;
    const pid_t group = std::stoi(inst.box().Read("converter.pid"));
    ::unlink(pid_file.c_str());
    return group;
  };
  const auto gone = [](pid_t group) {
    return testing::WaitFor([&] { return ::kill(-group, 0) != 0; });
  };

  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    testing::BackgroundProgram cli({WFDESK_CLI, "--home", home, "run", "good.ini"});
    const pid_t group = converter_group();
    ASSERT_GT(group, 0);
    ::kill(cli.pid(), signal);
    EXPECT_EQ(cli.Wait(), 1);
    EXPECT_TRUE(gone(group));
    const auto log = inst.LogMessages("system.log");
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.rbegin()[1], "WORKFLOW END: MOD001: Das Programm " +
                                   inst.Path("modules/mod_ledgerconv001_x86_32") +
                                   " wurde abgebrochen, weil der Lauf angehalten wurde (Signal " +
                                   std::to_string(signal) + ").");
  }

  // Killed outright, the runner cannot end its program; the program keeps
  // the workflow's lock until it ends, so no second run overlaps it.
  testing::BackgroundProgram cli({WFDESK_CLI, "--home", home, "run", "good.ini"});
  const pid_t orphan = converter_group();
  ASSERT_GT(orphan, 0);
  ::kill(cli.pid(), SIGKILL);
  EXPECT_EQ(cli.Wait(), 128 + SIGKILL);
  EXPECT_EQ(Home({"run", "./good.ini"}).status, 3);
  ::kill(-orphan, SIGKILL);
  ASSERT_TRUE(gone(orphan));
  ::unlink(inst.Path("hang").c_str());
  EXPECT_EQ(Home({"run", "good.ini"}).status, 0);
}
#endif

#ifndef _WIN32
TEST_F(CliTest, WhatAProgramLeavesRunningIsEndedSoLaterRunsAreNotBlocked) {
  // The converter starts a process in the background and exits at once.
  const std::string pid_file = inst.Path("leftover.pid");
  inst.Script("mod_ledgerconv001_x86_32", "sleep 60 &\necho $! > '" + pid_file + "'\nexit 0");
  for (int run = 0; run < 2; ++run) {
    const ProgramOutput output = Home({"run", "good.ini"});
    EXPECT_EQ(output.status, 0) << output.out << output.err;
    const pid_t leftover = std::stoi(inst.box().Read("leftover.pid"));
    EXPECT_TRUE(testing::WaitFor([&] { return ::kill(leftover, 0) != 0; }));
  }
  const auto log = inst.LogMessages("system.log");
  const std::string warning = "] MODULE MOD001 WARNING: MOD001: Das Programm " +
                              inst.Path("modules/mod_ledgerconv001_x86_32") +
                              " hat Prozesse zurückgelassen; sie wurden beendet.";
  const auto warned = [&](const std::string& line) {
    return line.find(warning) != std::string::npos;
  };
  EXPECT_EQ(std::ranges::count_if(log, warned), 2);
}
#endif

std::string Fields(const std::string& id, const std::string& tag) {
  return id + ";f2;f3;f4;f5;f6;f7;f8;f9;f10;f11;f12;" + tag;
}
std::string Record(const std::string& id, const std::string& tag) {
  return Fields(id, tag) + "\r\n";
}
// The list's row of a record with that ID and tag.
std::string Row(const std::string& id, const std::string& tag) {
  std::string row;
  textdb::AppendRow(row, Fields(id, tag));
  return row;
}

// The schedulers' programs are stood in for by shell scripts.
#ifndef _WIN32
TEST_F(CliTest, ScheduleWritesUnitsThatRunThisProgramAndListsAndRemovesThem) {
  const std::string analyze = core::FindProgramOnPath("systemd-analyze");
  if (analyze.empty()) GTEST_SKIP() << "systemd-analyze is not installed";
  inst.SystemctlDouble("running");
  schedule_environment = {"XDG_CONFIG_HOME=" + inst.Path("config")};
  const struct {
    std::vector<std::string> arguments;
    int status;
  } usage[] = {{{}, 2},
               {{"good.ini"}, 2},
               {{"--list", "good.ini"}, 2},
               {{"good.ini", "--on", "daily", "--off"}, 2},
               {{"none.ini", "--on", "daily"}, 1},
               {{"good.ini", "--on", "bogus"}, 1}};
  for (const auto& c : usage) {
    EXPECT_EQ(Schedule(c.arguments).status, c.status) << ::testing::PrintToString(c.arguments);
  }
  EXPECT_TRUE(inst.Calls("systemctl").empty());
  EXPECT_FALSE(inst.box().Exists("config/systemd/user"));

  ASSERT_EQ(Home({"run", "good.ini"}).status, 0);
  EXPECT_EQ(Schedule({"good.ini", "--on", "*:0/15"}).status, 0);
  const std::string units = inst.Path("config/systemd/user/");
  const std::vector<std::string> files = core::FolderFileNames(units);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_THAT(testing::ReadFile(units + files[0]),
              HasSubstr("ExecStart=\"" WFDESK_CLI "\" \"--home\" \"" + core::CanonicalPath(home) +
                        "\" \"run\" \"--\" \"good.ini\"\n"));
  const ProgramOutput listed = Schedule({"--list"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_THAT(listed.out, StartsWith("good.ini\t*:0/15\t")) << listed.out;
  EXPECT_TRUE(listed.out.ends_with(" OK\n")) << listed.out;  // the run above
  EXPECT_EQ(Schedule({"good.ini", "--off"}).status, 0);
  EXPECT_TRUE(core::FolderFileNames(units).empty());
  EXPECT_EQ(Schedule({"--list"}).out, "");
}

TEST_F(CliTest, ScheduleWithTheTaskSchedulerWritesATaskForTheSchedulerForm) {
  inst.SchtasksDouble();
  inst.box().MakeFolder("tmp");
  schedule_environment = {"WFDESK_SCHEDULER=schtasks", "TEMP=" + inst.Path("tmp")};
  ASSERT_EQ(Schedule({"good.ini", "--on", "Mon..Fri 06:00"}).status, 0);
  const std::string xml = core::Utf16LeToUtf8(inst.box().Read("schtasks.xml").substr(2));
  EXPECT_THAT(xml, HasSubstr("<Command>" WFDESK_CLI "</Command>\r\n      <Arguments>--home " +
                             core::CanonicalPath(home) + " /f good.ini</Arguments>"))
      << xml;
  EXPECT_EQ(Schedule({"good.ini", "--on", "Mon-Fri 06:00"}).status, 1);
  EXPECT_EQ(inst.Calls("schtasks").size(), 1u);
}
#endif

class RecordsCliTest : public CliTest {
 protected:
  void SetUp() override {
    inst.Workflow("db.ini", "[WORKFLOW]\r\ndbfile=trans.csv\r\nlistaction=dbelement\r\n");
    inst.box().Write("trans.csv", Record("INV-1", "0") + Record("INV-2", "1") + Record("x", "0"));
  }
  ProgramOutput Records(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"records", "db.ini"});
    return Home(arguments);
  }
};

TEST_F(RecordsCliTest, PrintsTheRowsOfTheListInUtf8WhicheverCodePageTheDatabaseIsIn) {
  const ProgramOutput all = Records({});
  EXPECT_EQ(all.status, 0);
  EXPECT_EQ(all.out, Row("INV-1", "0") + "\n" + Row("INV-2", "1") + "\n" + Row("x", "0") + "\n");
  EXPECT_EQ(Records({"--filter", "inv-2"}).out, Row("INV-2", "1") + "\n");
  const std::string name = "B\u00E4ckerei \u20AC";                              // "Bäckerei €"
  for (const std::string& id : {std::string("B\xE4") + "ckerei \x80", name}) {  // 1252, UTF-8
    inst.box().Write("trans.csv", Record(id, "1"));
    std::string expected = Row(id, "1");
    expected.replace(0, id.size(), name);  // the padding stays as the window shows it
    EXPECT_EQ(Records({}).out, expected + "\n");
  }
  std::remove(inst.Path("trans.csv").c_str());
  const ProgramOutput missing = Records({});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
}

TEST_F(RecordsCliTest, RunsTheRecordActions) {
  const ProgramOutput toggled = Records({"--toggle", "INV-1"});
  EXPECT_EQ(toggled.status, 0);
  EXPECT_EQ(toggled.out, "");
  EXPECT_THAT(inst.box().Read("trans.csv"), StartsWith(Record("INV-1", "1")));
  EXPECT_EQ(Records({"--delete", "INV-2", "--yes"}).status, 0);
  EXPECT_THAT(inst.box().Read("trans.csv"), Not(HasSubstr("INV-2")));
  EXPECT_EQ(Records({"--set", "x", "--field6", "S6", "--field4", "S4", "--tag", "1"}).status, 0);
  EXPECT_THAT(inst.box().Read("trans.csv"), HasSubstr("x;f2;f3;S4;f5;S6;"));
}

TEST_F(RecordsCliTest, RefusalsExitWithTheirStatusAndChangeNothing) {
  inst.Workflow("off.ini", "[WORKFLOW]\r\ndbfile=trans.csv\r\n");
  const std::string before = inst.box().Read("trans.csv");
  const std::string not_found =
      "The element ID inv-1 was not found in trans.csv. Nothing was changed.";
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string err;  // in standard error
  };
  const std::vector<Case> cases = {
      {{"db.ini", "--set", "x", "--field6", "S6"}, 2, ""},  // --set needs all three
      {{"db.ini", "--toggle", "x", "--delete", "x"}, 2, ""},
      {{"off.ini", "--toggle", "INV-1"}, 1, "Record actions are not enabled"},
      {{"nope.ini"}, 1, "The workflow file"},
      {{"db.ini", "--filter", "nothing"}, 0, ""},  // the database was read, no row matched
      {{"db.ini", "--delete", "INV-2"}, 1, "Not confirmed. Nothing was deleted."},
      {{"db.ini", "--set", "x", "--field6", "a\";b", "--field4", "", "--tag", "1"},
       1,
       "The value a\";b was refused"},
      {{"db.ini", "--toggle", "inv-1"}, 1, not_found},  // element IDs keep their case
      {{"db.ini", "--delete", "inv-1", "--yes"}, 1, not_found},
      {{"db.ini", "--set", "inv-1", "--field6", "S6", "--field4", "S4", "--tag", "1"},
       1,
       not_found},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"records"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const ProgramOutput output = Home(arguments);
    EXPECT_EQ(output.status, c.status) << ::testing::PrintToString(c.arguments);
    EXPECT_EQ(output.out, "") << ::testing::PrintToString(c.arguments);
    EXPECT_THAT(output.err, HasSubstr(c.err)) << output.err;
  }
  const core::FileLock other(inst.Path(".trans.csv.lock"));  // another writer at work
  const ProgramOutput busy = Records({"--toggle", "INV-1"});
  EXPECT_EQ(busy.status, 3);
  EXPECT_THAT(busy.err, StartsWith("The database trans.csv is being changed by another program."));
  EXPECT_EQ(inst.box().Read("trans.csv"), before);
}

}  // namespace
}  // namespace wfdesk
