// wfdesk-cli validate: a line per file with the ids of its fatal findings,
// the details below it, the reports and the exit status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/files.hpp"
#include "core/settings.hpp"
#include "tests/support/run_program.hpp"
#include "tests/support/sandbox.hpp"

namespace wfdesk {
namespace {

using testing::ProgramOutput;
using testing::Sandbox;

std::string Invoice(const std::string& name = "invoice.xml") {
  return testing::ReadFile(std::string(WFDESK_VALIDATION_TEST_DATA) + "/" + name);
}

// wfdesk-cli --home HOME validate ARGUMENTS...; the installation is
// `home`, a folder without settings.ini unless the test writes one.
ProgramOutput Validate(const Sandbox& box, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {WFDESK_CLI, "--home", box.MakeFolder("home"), "validate"});
  return testing::RunProgram(arguments);
}

TEST(ValidateCommand, PrintsAVerdictPerFileWithDetailsAndWritesReports) {
#ifdef _WIN32
  GTEST_SKIP() << "Java and Saxon are not set up under Wine";
#endif
  Sandbox box;
  box.Write("in/a.xml", Invoice());
  std::string totals = Invoice();
  totals.replace(totals.find(">185.46</cbc:TaxInclusiveAmount>"), 7, ">185.47");
  box.Write("in/b.xml", totals);
  box.Write("in/c\n.xml", "junk");  // a name that would break the line
  box.Write("in/notes.txt", "not an invoice");
  const std::string in = box.Path("in") + core::kPathSeparator;
  const ProgramOutput out = Validate(box, {box.Path("in"), "--report", box.Path("reports")});

  EXPECT_EQ(out.status, 1) << out.err;
  std::vector<std::string> verdicts, details;
  for (const std::string& line : testing::Lines(out.out)) {
    (line.starts_with("  ") ? details : verdicts).push_back(line);
  }
  EXPECT_EQ(verdicts, (std::vector<std::string>{in + "a.xml: valid",
                                                in + "b.xml: invalid: BR-CO-15, BR-CO-16",
                                                in + "c\\n.xml: invalid: XML"}));
  ASSERT_EQ(details.size(), 3u);
  EXPECT_TRUE(details[0].starts_with("  BR-CO-15 [fatal] [BR-CO-15]-Invoice total amount"));
  EXPECT_EQ(details[2], "  XML [fatal] Start tag expected, '<' not found (line 1)");
  EXPECT_EQ(
      core::FolderFileNames(box.Path("reports")),
      (std::vector<std::string>{"a.xml.report.txt", "b.xml.report.txt", "c\n.xml.report.txt"}));
  EXPECT_TRUE(box.Read("reports/b.xml.report.txt")
                  .starts_with(in + "b.xml: invalid\r\n" + details[0].substr(2) + "\r\n"));
}

struct StatusCase {
  std::string name;
  std::vector<std::string> arguments;
  int status;
  std::string said;  // a part of standard error
};

TEST(ValidateCommand, ExitsZeroOnlyWhenEveryFileWasCheckedAndValid) {
  Sandbox box;
  const std::string invoice = box.Write("invoice.xml", Invoice());
  const std::string credit_note = box.Write("credit-note.xml", Invoice("credit-note.xml"));
  box.Write("home/settings.ini", "[SETTINGS]\r\njava_program=" + box.Path("no/java") + "\r\n");
  box.MakeFolder("empty");
  const std::vector<StatusCase> table = {
      {"valid, schema only", {invoice, credit_note, "--rules", "none"}, 0, "schema only"},
      {"java of the settings missing", {invoice}, 1, "Java was not found at"},
      {"no invoices", {box.Path("empty")}, 1, "No invoices"},
      {"no path", {}, 2, "PATH is required"},
      {"a path naming nothing", {box.Path("none.xml")}, 2, "no such file or folder"},
  };
  for (const StatusCase& row : table) {
    SCOPED_TRACE(row.name);
    const ProgramOutput out = Validate(box, row.arguments);
    EXPECT_EQ(out.status, row.status);
    EXPECT_NE(out.err.find(row.said), std::string::npos) << out.err;
    if (row.status != 0) {
      EXPECT_EQ(out.out.find(": valid"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace wfdesk
