// BMD5INVOICE, and with it the protocol every module shares: the order of
// the shared checks, the error procedure, and the outside program's call.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#endif

#include "engine/workflow.hpp"
#include "tests/support/installation.hpp"
#include "tests/support/wait_for.hpp"

namespace wfdesk::engine {
namespace {

using ::testing::ElementsAre;
using testing::TestInstallation;

constexpr const char* kConverter = "mod_ledgerconv001_x86_32";

class InvoiceModuleTest : public ::testing::Test {
 protected:
  std::string Run(const std::string& keys) {
    inst.Workflow("conv.ini", "[MOD001]\r\nmtype=BMD5INVOICE\r\n" + keys);
    return WorkflowRunner().RunWorkflow(inst.context(), "conv.ini").result;
  }
  TestInstallation inst;
};

TEST_F(InvoiceModuleTest, HandsTheConverterItsSwitchesInTheirOrderEachValueOneArgument) {
  inst.FakeProgram(kConverter);
  // Keys in another order than the switches: -ap still comes before -px.
  ASSERT_EQ(Run("mpFileOutPrefix=INV_\r\nmpArchivePath=archive\r\nmpFile=in\r\n"
                "mpFileOutPath=out\r\nmpFileOutExtension=xml\r\n"),
            "OK");
  const std::vector<std::string> expected = {"-f",   inst.Path("in"),
                                             "-ifm", "*",
                                             "-fp",  inst.Path("out"),
                                             "-fe",  "xml",
                                             "-lf",  inst.Path("system.log"),
                                             "-ap",  inst.Path("archive"),
                                             "-px",  "INV_"};
  EXPECT_THAT(inst.Calls(kConverter), ElementsAre(expected));
  const std::string program = inst.ProgramPath("mod_ledgerconv001_x86_32");
  EXPECT_THAT(
      inst.FirstModuleLines("system.log"),
      ElementsAre(std::string(" START: BMD5INVOICE (") + testing::InData("conv.ini") + ")",
                  " PARAM: \"" + program + "\" -f \"" + inst.Path("in") + "\" -ifm \"*\" -fp \"" +
                      inst.Path("out") + "\" -fe \"xml\" -lf \"" + inst.Path("system.log") +
                      "\" -ap \"" + inst.Path("archive") + "\" -px \"INV_\"",
                  " CALL: 1", " EXIT: 0",
                  std::string(" END: BMD5INVOICE (") + testing::InData("conv.ini") + ")"));

  // Each value is one argument, whatever it holds.
  const std::string odd = "a \"b\"; $(touch pwned) `id` c";
  ASSERT_EQ(Run("mpFile=in\r\nmpFileMask=*.csv\r\nmpFileOutPath=out\r\nmpFileOutExtension=" + odd +
                "\r\n"),
            "OK");
  const auto call = inst.Calls(kConverter).at(1);
  ASSERT_EQ(call.size(), 10u);  // ends with -lf and its value
  EXPECT_EQ(call[3], "*.csv");
  EXPECT_EQ(call[7], odd);
  EXPECT_FALSE(inst.box().Exists("pwned"));
}

#ifndef _WIN32  // shell-script programs and process groups
TEST_F(InvoiceModuleTest, AProgramIsJudgedByItsStatusAndItsTimeLimit) {
  const std::string program = inst.ProgramPath("mod_ledgerconv001_x86_32");
  const std::string pid_file = inst.Path("program.pid");
  struct Case {
    std::string keys;    // beside mpFile, mpFileOutPath and mpFileOutExtension
    std::string script;  // the program's body; "" for no program
    std::string result;  // after "MOD001: Das Programm PROGRAM", or OK
  };
  const Case cases[] = {
      {"", "exit 3", " wurde mit Status 3 beendet."},
      {"mpIgnoreExitStatus=1\r\n", "exit 3", "OK"},
      {"mpIgnoreExitStatus=yes\r\n", "exit 3", " wurde mit Status 3 beendet."},
      {"mpTimeout=5\r\n", "exit 0", "OK"},
      // Ended with everything it started: the sleep in the background too.
      {"mpTimeout=2\r\n", "echo $$ > '" + pid_file + "'; sleep 30 & wait",
       " wurde nach 2 Sekunden abgebrochen (Zeitlimit 'mpTimeout')."},
      {"", "", " konnte nicht gestartet werden (No such file or directory)."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys + c.script);
    inst.box().Write("system.log", "");
    inst.person().told.clear();
    if (c.script.empty()) std::remove(program.c_str());
    if (!c.script.empty()) inst.Script(kConverter, c.script);
    const std::string result =
        Run(c.keys + "mpFile=in\r\nmpFileOutPath=out\r\nmpFileOutExtension=xml\r\n");
    const auto lines = inst.FirstModuleLines("system.log");
    if (c.result == "OK") {
      EXPECT_EQ(result, "OK");
      EXPECT_EQ(lines.back(),
                std::string(" END: BMD5INVOICE (") + testing::InData("conv.ini") + ")");
      continue;
    }
    EXPECT_EQ(result, "MOD001: Das Programm " + program + c.result);
    EXPECT_EQ(lines.at(2), c.script.empty() ? " CALL: 0" : " CALL: 1");
    EXPECT_EQ(lines.back(), " ERROR: " + result);
    EXPECT_THAT(inst.person().told, ElementsAre(result));
  }
  ASSERT_TRUE(inst.box().Exists("program.pid"));
  const pid_t group = std::stoi(inst.box().Read("program.pid"));
  EXPECT_TRUE(testing::WaitFor([&] { return ::kill(-group, 0) != 0; }));  // nothing of it is left
}
#endif

TEST_F(InvoiceModuleTest, SharedChecksComeInTheirOrderWithTheirMessages) {
  inst.FakeProgram(kConverter);
  inst.box().Write("in/one.csv", "x");
  const std::string ok_out = "mpFileOutPath=out\r\nmpFileOutExtension=xml\r\n";
  const std::string in_out = "mpFile=in\r\n" + ok_out;
  std::vector<std::pair<std::string, std::string>> cases = {
      {"mpFile=\r\nmpFileOutPath=nowhere\r\n",
       ": Eingangsverzeichnis für Daten fehlt! Bitte in Datei/Einstellungen die Settings öffnen "
       "und den Wert unter 'mpFile' eintragen."},
      {"mpFile=nowhere\r\n" + ok_out,
       ": Eingangsverzeichnis für Daten existiert nicht! Bitte in Datei/Einstellungen die "
       "Settings öffnen und einen gültigen Pfad unter 'mpFile' eintragen."},
      {"mpFile=in\r\nmpFileOutExtension=xml\r\n",
       ": Ausgangsverzeichnis für Daten fehlt! Bitte in Datei/Einstellungen die Settings öffnen "
       "und den Wert unter 'mpFileOutPath' eintragen."},
      {"mpFile=in\r\nmpFileOutPath=in/one.csv\r\n",
       ": Ausgangsverzeichnis für Daten existiert nicht! Bitte in Datei/Einstellungen die "
       "Settings öffnen und einen gültigen Pfad unter 'mpFileOutPath' eintragen."},
      {"mpFile=in\r\nmpFileOutPath=out\r\nmpArchivePath=nowhere\r\n",
       ": Dateiendung für die Ausgabedaten fehlt! Bitte in Datei/Einstellungen die Settings "
       "öffnen und den Wert unter 'mpFileOutExtension' eintragen."},
      {"mpFile=in/one.csv\r\n" + ok_out + "mpArchivePath=nowhere\r\n",
       ": Verzeichnis für die Archivierung existiert nicht! Bitte in Datei/Einstellungen die "
       "Settings öffnen und einen gültigen Pfad unter 'mpArchivePath' eintragen. Wenn die Daten "
       "nicht archiviert werden sollen, kann dieser Parameter weggelassen werden."},
  };
  for (const char* timeout : {"0", "-5", "1.5", "ten", "99999999"}) {
    cases.push_back(
        {"mpTimeout=" + std::string(timeout) + "\r\n" + in_out, ": Zeitlimit ist ungültig!"});
  }
  for (const auto& [keys, message] : cases) {
    inst.person().told.clear();
    inst.box().Write("system.log", "");
    const std::string result = Run(keys);
    EXPECT_EQ(result.rfind("MOD001" + message, 0), 0u) << keys << result;
    // One box, even in silent mode; a start and an error line, no end line.
    EXPECT_THAT(inst.person().told, ElementsAre(result));
    EXPECT_THAT(
        inst.FirstModuleLines("system.log"),
        ElementsAre(std::string(" START: BMD5INVOICE (") + testing::InData("conv.ini") + ")",
                    " ERROR: " + result));
  }
  EXPECT_TRUE(inst.Calls(kConverter).empty());
}

}  // namespace
}  // namespace wfdesk::engine
