// wfdesk-cli as a scheduler uses it: its commands, the /f form, what goes to
// standard output and standard error, and its exit statuses.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "core/file_lock.hpp"
#include "core/settings.hpp"
#include "tests/support/installation.hpp"
#include "tests/support/run_program.hpp"
#include "tests/support/wait_for.hpp"
#include "textdb/transmission_list.hpp"

extern char** environ;

namespace wfdesk {
namespace {

using testing::ProgramOutput;
using testing::RunProgram;
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
  ProgramOutput Cli(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), WFDESK_CLI);
    return RunProgram(arguments);
  }

  TestInstallation inst;
};

TEST_F(CliTest, RunPrintsTheResultAndExitsWithItsStatus) {
  const ProgramOutput good = Cli({"--home", inst.Path(""), "run", "good.ini"});
  EXPECT_EQ(good.status, 0);
  EXPECT_EQ(good.out, "OK\n");
  const ProgramOutput bad = Cli({"run", "bad.ini", "--home", inst.Path("")});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.out.rfind("MOD001: Eingangsverzeichnis für Daten fehlt!", 0), 0u);
  // The module's message box goes to standard error.
  EXPECT_NE(bad.err.find("MOD001: Eingangsverzeichnis"), std::string::npos);
  EXPECT_EQ(inst.Calls("mod_ledgerconv001_x86_32").size(), 1u);
}

TEST_F(CliTest, TheWorkflowOptionRunsLikeRun) {
  EXPECT_EQ(Cli({"/f", "good.ini", "--home", inst.Path("")}).out, "OK\n");
  EXPECT_EQ(Cli({"--home=" + inst.Path(""), "/x", "1", "/F", "good.ini", "/y", "2"}).out, "OK\n");
  const ProgramOutput alone = Cli({"--home", inst.Path(""), "/f"});
  EXPECT_EQ(alone.status, 2);
  EXPECT_EQ(alone.out, "");
  EXPECT_EQ(inst.Calls("mod_ledgerconv001_x86_32").size(), 2u);
}

TEST_F(CliTest, TheInstallationComesFromTheEnvironmentWhenNotGiven) {
  const ProgramOutput run =
      RunProgram({WFDESK_CLI, "run", "good.ini"}, {"WFDESK_HOME=" + inst.Path("")});
  EXPECT_EQ(run.out, "OK\n");
}

TEST_F(CliTest, CheckListsEveryProblemAndChangesNothing) {
  const ProgramOutput bad = Cli({"--home", inst.Path(""), "check", "bad.ini"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.out,
            "MOD001: Eingangsverzeichnis für Daten fehlt! Bitte in Datei/Einstellungen die "
            "Settings öffnen und den Wert unter 'mpFile' eintragen.\n"
            "MOD001: Dateiendung für die Ausgabedaten fehlt! Bitte in Datei/Einstellungen die "
            "Settings öffnen und den Wert unter 'mpFileOutExtension' eintragen.\n");
  EXPECT_EQ(bad.err, "");
  EXPECT_EQ(Cli({"--home", inst.Path(""), "check", "good.ini"}).status, 0);
  EXPECT_FALSE(inst.box().Exists("system.log"));
  EXPECT_TRUE(inst.Calls("mod_ledgerconv001_x86_32").empty());
}

TEST_F(CliTest, ListPrintsTheCatalogueOrFailsForAMissingDataFolder) {
  const ProgramOutput list = Cli({"--home", inst.Path(""), "list"});
  EXPECT_EQ(list.status, 0);
  EXPECT_EQ(list.out, "Title of bad.ini  ->  bad.ini\nTitle of good.ini  ->  good.ini\n");
  inst.box().Write("settings.ini", "[SETTINGS]\r\ndata_dir=nowhere\r\n");
  const ProgramOutput missing = Cli({"--home", inst.Path(""), "list"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err.find("nowhere"), std::string::npos);
}

// Bytes that are no INI text: NULs, bytes above 127, lone CRs.
std::string Garbage() {
  std::string bytes;
  unsigned value = 12345;
  for (int i = 0; i < 65536; ++i) {
    value = value * 1103515245u + 12345u;
    bytes.push_back(static_cast<char>(value >> 16));
  }
  return bytes;
}

TEST_F(CliTest, EveryCommandStopsWithAMessageWhenNoDataFolderIsSet) {
  const std::string english = "ERROR: no data folder set!";
  const std::string german = "FEHLER: Kein Datenverzeichnis angegeben!";
  const struct {
    const char* settings;  // nullptr: no settings.ini; "/": a folder of that name
    std::string bytes, message;
  } cases[] = {{"empty data_dir", "[SETTINGS]\r\nmodule_dir=modules\r\ndata_dir=\r\n", english},
               {"no data_dir", "[SETTINGS]\r\nlanguage=1\r\nmodule_dir=modules\r\n", german},
               {"the root", "[SETTINGS]\r\nmodule_dir=modules\r\ndata_dir=/\r\n", english},
               {nullptr, "", english},
               {"/", "", english},
               {"garbage", Garbage(), english}};
  const std::vector<std::vector<std::string>> commands = {{"run", "good.ini"},
                                                          {"/f", "good.ini"},
                                                          {"check", "good.ini"},
                                                          {"list"},
                                                          {"records", "good.ini"}};
  // A workflow in the installation folder, which an empty data folder lists.
  inst.box().Write("good.ini", "[FILE]\r\ntype=qvworkflow\r\n[DEF]\r\ntype=genWorkflow\r\n" +
                                   std::string(kGood));
  for (const auto& c : cases) {
    std::remove(inst.Path("settings.ini").c_str());
    if (c.settings && std::string(c.settings) == "/") inst.box().MakeFolder("settings.ini");
    if (c.settings && std::string(c.settings) != "/") inst.box().Write("settings.ini", c.bytes);
    for (auto arguments : commands) {
      arguments.insert(arguments.begin(), {"--home", inst.Path("")});
      const ProgramOutput output = Cli(arguments);
      const std::string what = (c.settings ? c.settings : "none") + (" " + arguments[2]);
      EXPECT_EQ(output.status, 1) << what;
      EXPECT_EQ(output.out, "") << what;
      EXPECT_EQ(output.err.rfind(c.message, 0), 0u) << what << ": " << output.err;
      EXPECT_NE(output.err.find(inst.Path("settings.ini")), std::string::npos) << what;
    }
    ::rmdir(inst.Path("settings.ini").c_str());
  }
  EXPECT_TRUE(inst.Calls("mod_ledgerconv001_x86_32").empty());
  EXPECT_FALSE(inst.box().Exists("system.log"));
}

TEST_F(CliTest, AnUnreadableDataFolderOrDatabaseFailsWithAMessage) {
  if (testing::RunningAsRoot()) GTEST_SKIP() << "root reads every folder";
  inst.Workflow("db.ini", "[WORKFLOW]\r\ndbfile=trans.csv\r\n");
  inst.box().Write("trans.csv", "x;1\r\n");
  ::chmod(inst.Path("trans.csv").c_str(), 0);
  const ProgramOutput records = Cli({"--home", inst.Path(""), "records", "db.ini"});
  EXPECT_EQ(records.status, 1);
  EXPECT_NE(records.err.find("trans.csv"), std::string::npos);
  ::chmod(inst.Path("data").c_str(), 0);
  const ProgramOutput list = Cli({"--home", inst.Path(""), "list"});
  ::chmod(inst.Path("data").c_str(), 0755);
  EXPECT_EQ(list.status, 1);
  EXPECT_EQ(list.out, "");
  EXPECT_NE(list.err.find(inst.Path("data")), std::string::npos);
}

TEST_F(CliTest, WrongUsageHelpAndVersion) {
  EXPECT_EQ(Cli({}).status, 2);
  EXPECT_EQ(Cli({"frobnicate"}).status, 2);
  EXPECT_EQ(Cli({"run"}).status, 2);
  const ProgramOutput help = Cli({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("check"), std::string::npos);
  EXPECT_EQ(Cli({"--version"}).out, "wfdesk-cli " + core::VersionText() + "\n");
}

TEST_F(CliTest, AWorkflowThatIsAlreadyRunningGivesStatusThreeHoweverItIsSpelt) {
  ASSERT_EQ(::symlink("good.ini", inst.Path("data/alias.ini").c_str()), 0);
  core::FileLock other(inst.Path("data/.good.ini.lock"));
  for (const char* name :
       {"good.ini", "./good.ini", ".//good.ini", "../data/good.ini", "alias.ini"}) {
    const ProgramOutput busy = Cli({"--home", inst.Path(""), "run", name});
    EXPECT_EQ(busy.status, 3) << name;
    EXPECT_EQ(busy.out, std::string("The workflow ") + name +
                            " is already running. It was not started again.\n");
  }
  EXPECT_TRUE(inst.Calls("mod_ledgerconv001_x86_32").empty());
}

// wfdesk-cli started in the background, its output thrown away.
pid_t StartCli(const std::vector<std::string>& arguments) {
  std::vector<char*> argv{const_cast<char*>(WFDESK_CLI)};
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  ::posix_spawn(&pid, WFDESK_CLI, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int ExitStatusOf(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(CliTest, AStoppedOrKilledRunnerNeverLeavesItsProgramWorkingAlone) {
  // The converter hangs, with a child of its own, while the file "hang" exists.
  const std::string pid_file = inst.Path("converter.pid");
  ::chmod(
      inst.box()
          .Write("modules/mod_ledgerconv001_x86_32",
                 "#!/bin/sh\n[ -f '" + inst.Path("hang") + "' ] || exit 0\necho $$ > '" + pid_file +
                     ".new'; mv '" + pid_file + ".new' '" + pid_file + "'\nsleep 60 & wait\n")
          .c_str(),
      0755);
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
    const pid_t cli = StartCli({"--home", inst.Path(""), "run", "good.ini"});
    const pid_t group = converter_group();
    ASSERT_GT(group, 0);
    ::kill(cli, signal);
    EXPECT_EQ(ExitStatusOf(cli), 1);
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
  const pid_t cli = StartCli({"--home", inst.Path(""), "run", "good.ini"});
  const pid_t orphan = converter_group();
  ASSERT_GT(orphan, 0);
  ::kill(cli, SIGKILL);
  EXPECT_EQ(ExitStatusOf(cli), 128 + SIGKILL);
  EXPECT_EQ(Cli({"--home", inst.Path(""), "run", "./good.ini"}).status, 3);
  ::kill(-orphan, SIGKILL);
  ASSERT_TRUE(gone(orphan));
  ::unlink(inst.Path("hang").c_str());
  EXPECT_EQ(Cli({"--home", inst.Path(""), "run", "good.ini"}).status, 0);
}

TEST_F(CliTest, ResultsAreShownOnStandardErrorUnlessSilent) {
  inst.box().Write("settings.ini",
                   "[SETTINGS]\r\nmodule_dir=modules\r\ndata_dir=data\r\n"
                   "logfile=system.log\r\nsilentmode=0\r\n");
  const ProgramOutput run = Cli({"--home", inst.Path(""), "run", "good.ini"});
  EXPECT_EQ(run.out, "OK\n");
  EXPECT_EQ(run.err, "OK\n");
}

std::string Fields(const std::string& id, const std::string& tag) {
  return id + ";f2;f3;f4;f5;f6;f7;f8;f9;f10;f11;f12;" + tag;
}
std::string Record(const std::string& id, const std::string& tag) {
  return Fields(id, tag) + "\r\n";
}

class RecordsCliTest : public CliTest {
 protected:
  void SetUp() override {
    inst.Workflow("db.ini", "[WORKFLOW]\r\ndbfile=trans.csv\r\nlistaction=dbelement\r\n");
    inst.box().Write("trans.csv", Record("INV-1", "0") + Record("INV-2", "1") + Record("x", "0"));
  }
  ProgramOutput Records(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--home", inst.Path(""), "records", "db.ini"});
    return Cli(arguments);
  }
};

TEST_F(RecordsCliTest, PrintsTheRowsOfTheList) {
  const ProgramOutput all = Records({});
  EXPECT_EQ(all.status, 0);
  EXPECT_EQ(all.out, textdb::FormatRow(Fields("INV-1", "0")) + "\n" +
                         textdb::FormatRow(Fields("INV-2", "1")) + "\n" +
                         textdb::FormatRow(Fields("x", "0")) + "\n");
  const ProgramOutput filtered = Records({"--filter", "inv-2"});
  EXPECT_EQ(filtered.out.substr(0, 5), "INV-2");
  EXPECT_EQ(std::count(filtered.out.begin(), filtered.out.end(), '\n'), 1);
  std::remove(inst.Path("trans.csv").c_str());
  const ProgramOutput missing = Records({});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
}

TEST_F(RecordsCliTest, PrintsRowsInUtf8WhicheverCodePageTheDatabaseIsIn) {
  const std::string name =
      "B\xC3\xA4"
      "ckerei \xE2\x82\xAC";  // "Bäckerei €"
  for (const std::string& id : {std::string("B\xE4"
                                            "ckerei \x80"),  // Windows-1252
                                name}) {
    inst.box().Write("trans.csv", Record(id, "1"));
    std::string expected = textdb::FormatRow(Fields(id, "1"));
    expected.replace(0, id.size(), name);  // the padding stays as the window shows it
    EXPECT_EQ(Records({}).out, expected + "\n");
  }
}

TEST_F(RecordsCliTest, RunsTheRecordActions) {
  const ProgramOutput toggled = Records({"--toggle", "INV-1"});
  EXPECT_EQ(toggled.status, 0);
  EXPECT_EQ(toggled.out, "");
  EXPECT_EQ(inst.box().Read("trans.csv").substr(0, Record("INV-1", "1").size()),
            Record("INV-1", "1"));

  const std::string before = inst.box().Read("trans.csv");
  EXPECT_EQ(Records({"--delete", "INV-2"}).status, 1);  // not confirmed
  EXPECT_EQ(inst.box().Read("trans.csv"), before);
  EXPECT_EQ(Records({"--delete", "INV-2", "--yes"}).status, 0);
  EXPECT_EQ(inst.box().Read("trans.csv").find("INV-2"), std::string::npos);

  EXPECT_EQ(Records({"--set", "x", "--field6", "S6", "--field4", "S4", "--tag", "1"}).status, 0);
  EXPECT_NE(inst.box().Read("trans.csv").find("x;f2;f3;S4;f5;S6;"), std::string::npos);
  EXPECT_EQ(Records({"--set", "x", "--field6", "a\";b", "--field4", "", "--tag", "1"}).status, 1);
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
      {{"db.ini", "--toggle", "inv-1"}, 1, not_found},
      {{"db.ini", "--delete", "inv-1", "--yes"}, 1, not_found},
      {{"db.ini", "--set", "inv-1", "--field6", "S6", "--field4", "S4", "--tag", "1"},
       1,
       not_found},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"--home", inst.Path(""), "records"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const ProgramOutput output = Cli(arguments);
    EXPECT_EQ(output.status, c.status) << c.arguments[1];
    EXPECT_EQ(output.out, "") << c.arguments[1];
    EXPECT_NE(output.err.find(c.err), std::string::npos) << output.err;
  }
  const core::FileLock other(inst.Path(".trans.csv.lock"));  // another writer at work
  const ProgramOutput busy = Records({"--toggle", "INV-1"});
  EXPECT_EQ(busy.status, 3);
  EXPECT_EQ(busy.err.rfind("The database trans.csv is being changed by another program.", 0), 0u);
  EXPECT_EQ(inst.box().Read("trans.csv"), before);
}

}  // namespace
}  // namespace wfdesk
