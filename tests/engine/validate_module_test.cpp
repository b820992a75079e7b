// XMLvalidate through the real invoice check: its checks, a valid invoice
// that stays, an invalid one put aside with its report and record, and a
// check that cannot be made, which stops the chain with nothing moved.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/files.hpp"
#include "engine/workflow.hpp"
#include "tests/support/installation.hpp"

namespace wfdesk::engine {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::TestInstallation;

const std::string kInvoices = std::string(WFDESK_EXAMPLE) + "/exchange/invoices/";
const std::string kRequired = "mpFile=in\r\nmpFileMask=*.xml\r\nmpRejectPath=reject\r\n";

class ValidateModuleTest : public ::testing::Test {
 protected:
  void SetUp() override { inst.box().MakeFolder("reject"); }
  // The check, then a converter that shows whether the chain went on.
  std::string Run(const std::string& keys) {
    inst.FakeProgram("mod_ledgerconv001_x86_32");
    inst.Workflow("check.ini",
                  "[WORKFLOW]\r\ndbfile=db.csv\r\n[MOD001]\r\nmtype=XMLvalidate\r\n" + keys +
                      "[MOD002]\r\nmtype=BMD5INVOICE\r\nmpFile=in\r\nmpFileOutPath=out\r\n"
                      "mpFileOutExtension=xml\r\n");
    return WorkflowRunner().RunWorkflow(inst.context(), "check.ini").result;
  }
  // An invoice of the example; `replace` breaks it where `find` stands.
  void Invoice(const std::string& name, const std::string& example, const std::string& find = "",
               const std::string& replace = "") {
    std::string text;
    ASSERT_TRUE(core::ReadFileContent(kInvoices + example, text));
    if (!find.empty()) text.replace(text.find(find), find.size(), replace);
    inst.box().Write("in/" + name, text);
  }
  bool ChainWentOn() { return !inst.Calls("mod_ledgerconv001_x86_32").empty(); }

  TestInstallation inst;
};

TEST_F(ValidateModuleTest, ChecksComeInTheirOrderWithTheirMessages) {
  Invoice("a.xml", "INV_2026-0101.xml");
  const std::pair<std::string, std::string> cases[] = {
      {"mpFile=\r\nmpRejectPath=nowhere\r\n", ": Eingangsverzeichnis für Daten fehlt!"},
      {"mpFile=nowhere\r\nmpRejectPath=reject\r\n", ": Eingangsverzeichnis für Daten existiert"},
      {"mpFile=in\r\nmpSchemaFile=nowhere.xsd\r\n", ": Folder for invalid files is missing!"},
      {"mpFile=in\r\nmpRejectPath=nowhere\r\n", ": Folder for invalid files does not exist!"},
      {"mpFile=in/a.xml\r\nmpRejectPath=in/\r\n", ": Folder for invalid files is the input"},
      {kRequired + "mpSchemaFile=nowhere.xsd\r\nmpRulesFile=nowhere.xsl\r\n",
       ": Schema file does not exist!"},
      {kRequired + "mpRulesFile=nowhere.xsl\r\nmpTimeout=0\r\n", ": Rules file does not exist!"},
      {kRequired + "mpRulesFile=NONE\r\n", ": Rules file does not exist!"},
      {kRequired + "mpRulesFile=none\r\nmpTimeout=ten\r\n", ": Zeitlimit ist ungültig!"},
  };
  for (const auto& [keys, message] : cases) {
    SCOPED_TRACE(keys);
    inst.person().told.clear();
    inst.box().Write("system.log", "");
    const std::string result = Run(keys);
    EXPECT_EQ(result.rfind("MOD001" + message, 0), 0u) << result;
    EXPECT_THAT(inst.person().told, ElementsAre(result));
    EXPECT_THAT(inst.FirstModuleLines("system.log"),
                ElementsAre(" START: XMLvalidate (" + testing::InData("check.ini") + ")",
                            " ERROR: " + result));
  }
  EXPECT_TRUE(inst.box().Exists("in/a.xml"));
  EXPECT_FALSE(ChainWentOn());
}

// Schema only, so no Java is needed: the broken invoices fail the schema.
TEST_F(ValidateModuleTest, AnInvalidInvoiceIsPutAsideWithItsReportAndRecord) {
  Invoice("good.xml", "INV_2026-0103.xml");
  Invoice("bad.xml", "INV_2026-0101.xml", "<cbc:IssueDate>", "<cbc:Bogus/><cbc:IssueDate>");
  Invoice("again.xml", "INV_2026-0102.xml", "<cbc:IssueDate>", "<cbc:Bogus/><cbc:IssueDate>");
  inst.box().Write("reject/bad.xml", "an earlier one");
  // An earlier, accepted invoice under the number of again.xml keeps its record.
  const std::string accepted =
      "2026-0102;x.xml;Invoice;ACK-1;EUR;2026-12-02;10.00;UBL 2.1;ebi40;"
      "accepted;;;0\r\n";
  inst.box().Write("db.csv", accepted);

  const std::string result = Run(kRequired + "mpRulesFile=none\r\n");
  EXPECT_EQ(result, "MOD001: 2 of 3 files invalid; they are in " + inst.Path("reject") +
                        ", each with its report.");
  EXPECT_TRUE(ChainWentOn());
  EXPECT_EQ(core::FolderFileNames(inst.Path("in")), std::vector<std::string>{"good.xml"});
  EXPECT_EQ(inst.box().Read("reject/bad.xml"), "an earlier one");
  EXPECT_THAT(inst.box().Read("reject/bad.xml.2.report.txt"), HasSubstr("XSD"));
  EXPECT_TRUE(inst.box().Exists("reject/again.xml.report.txt"));

  const std::string database = inst.box().Read("db.csv");
  EXPECT_EQ(database.rfind(accepted, 0), 0u);
  EXPECT_THAT(database, HasSubstr("2026-0101;bad.xml.2;Invalid, not sent: Invoice 2026-0101 to "));
  EXPECT_THAT(database, HasSubstr(";EUR;2026-12-01;"));
  EXPECT_THAT(database, HasSubstr(";invalid;"));
  EXPECT_THAT(database, Not(HasSubstr("again.xml")));

  const std::string log = inst.box().Read("system.log");
  EXPECT_THAT(log, HasSubstr("MOD001 Rules: none, schema only"));
  EXPECT_THAT(log, HasSubstr("MOD001 File valid: " + inst.Path("in/good.xml")));
  EXPECT_THAT(log, HasSubstr("MOD001 File invalid: " + inst.Path("in/bad.xml") +
                             " (XSD) moved to " + inst.Path("reject/bad.xml.2")));
  EXPECT_THAT(log, HasSubstr("invoice 2026-0102 is recorded as accepted"));
}

TEST_F(ValidateModuleTest, WithoutJavaNothingIsCheckedMovedOrPassedOn) {
  inst.Settings("java_program=nowhere/java\r\n");
  Invoice("good.xml", "INV_2026-0103.xml");
  const std::string result = Run(kRequired);
  EXPECT_EQ(result.rfind("MOD001: The invoices could not be checked, so none goes on: ", 0), 0u)
      << result;
  EXPECT_THAT(inst.person().told, ElementsAre(result));
  EXPECT_FALSE(ChainWentOn());
  EXPECT_TRUE(inst.box().Exists("in/good.xml"));
  EXPECT_TRUE(core::FolderFileNames(inst.Path("reject")).empty());
  EXPECT_THAT(inst.box().Read("system.log"), Not(HasSubstr("File valid")));
}

}  // namespace
}  // namespace wfdesk::engine
