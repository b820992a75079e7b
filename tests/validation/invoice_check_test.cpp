// The invoice check: each file's verdict and findings from the schema and
// the rules, one start of Saxon for all files, nothing read beyond a file,
// and no file valid when the rules cannot run.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/files.hpp"
#include "core/settings.hpp"
#include "tests/support/fakes.hpp"
#include "tests/support/sandbox.hpp"
#include "validation/invoice_check.hpp"
#include "validation/validation_data.hpp"

namespace wfdesk::validation {
namespace {

namespace fs = std::filesystem;
using testing::Sandbox;

// A file of tests/data/validation: an invoice and a credit note written by
// the converter, both valid.
std::string Baseline(const std::string& name) {
  return testing::ReadFile(std::string(WFDESK_VALIDATION_TEST_DATA) + "/" + name);
}

// The valid invoice with one text replaced.
std::string Changed(const std::string& from, const std::string& to) {
  std::string xml = Baseline("invoice.xml");
  const std::size_t at = xml.find(from);
  if (at == std::string::npos) {
    ADD_FAILURE() << "not in the invoice: " << from;
    return xml;
  }
  return xml.replace(at, from.size(), to);
}

// The valid invoice without the first element that begins with `start`.
std::string Without(const std::string& start, const std::string& end) {
  std::string xml = Baseline("invoice.xml");
  const std::size_t from = xml.find(start);
  const std::size_t to = xml.find(end, from);
  if (from == std::string::npos || to == std::string::npos) ADD_FAILURE() << start;
  return xml.erase(from, to + end.size() - from);
}

// Elements nested `depth` deep.
std::string Nested(int depth) {
  std::string xml;
  for (int i = 0; i < depth; ++i) xml += "<a>";
  for (int i = 0; i < depth; ++i) xml += "</a>";
  return xml;
}

std::vector<std::string> FatalIds(const FileVerdict& verdict) {
  std::vector<std::string> ids;
  for (const Finding& finding : verdict.findings) {
    if (finding.flag == "fatal") ids.push_back(finding.id);
  }
  return ids;
}

class CountingLauncher : public core::ProcessLauncher {
 public:
  core::ProcessResult RunAndWait(const core::CommandLine& command) override {
    ++starts;
    return real.RunAndWait(command);
  }
  int starts = 0;
  core::SpawnLauncher real;
};

struct FileCase {
  std::string name;
  std::string xml;
  std::vector<std::string> fatal = {};  // none: valid
};

// Writes each case as NAME.xml and returns the paths in table order.
std::vector<std::string> WriteCases(const Sandbox& box, const std::vector<FileCase>& cases) {
  std::vector<std::string> paths;
  for (const FileCase& c : cases) paths.push_back(box.Write("in/" + c.name + ".xml", c.xml));
  return paths;
}

TEST(InvoiceCheck, OneRulesRunJudgesEveryFileBySchemaAndRules) {
#ifdef _WIN32
  GTEST_SKIP() << "Java and Saxon are not set up under Wine";
#endif
  const auto amount = [](const char* element, const char* value) {
    return std::string("<cbc:") + element + " currencyID=\"EUR\">" + value;
  };
  const std::vector<FileCase> cases = {
      {"invoice", Baseline("invoice.xml"), {}},
      {"credit-note", Baseline("credit-note.xml"), {}},
      {"a-warning",
       Changed("<cbc:ID>2026-2001</cbc:ID>",
               "<cbc:ID>2026-2001</cbc:ID><cbc:CopyIndicator>false</cbc:CopyIndicator>"),
       {}},
      {"schema",
       Changed("<cbc:UBLVersionID>2.1</cbc:UBLVersionID>", "<cbc:Version>2.1</cbc:Version>"),
       {"XSD"}},
      {"totals",
       Changed(amount("TaxInclusiveAmount", "185.46"), amount("TaxInclusiveAmount", "185.47")),
       {"BR-CO-15", "BR-CO-16"}},
      {"payable",
       Changed(amount("PayableAmount", "185.46"), amount("PayableAmount", "190.00")),
       {"BR-CO-16"}},
      {"vat-breakdown",
       Changed(amount("TaxAmount", "3.90"), amount("TaxAmount", "4.90")),
       {"BR-CO-14", "BR-CO-17", "BR-S-09"}},
      {"seller-address", Without("      <cac:PostalAddress>", "</cac:PostalAddress>\n"), {"BR-08"}},
      {"currency",
       Changed(">EUR</cbc:DocumentCurrencyCode>", ">ZZZ</cbc:DocumentCurrencyCode>"),
       {"BR-CO-15", "BR-CL-04"}},
      {"country",
       Changed(">AT</cbc:IdentificationCode>", ">XX</cbc:IdentificationCode>"),
       {"BR-CL-14"}},
      {"not-xml", "invoice 2026-2001\n", {"XML"}},
  };
  Sandbox box;
  const std::vector<std::string> paths = WriteCases(box, cases);
  CountingLauncher launcher;
  CheckSetup setup;
  setup.scratch_folder = box.MakeFolder("scratch");
  const CheckOutcome outcome = CheckInvoices(setup, paths, launcher);

  ASSERT_TRUE(outcome.checked) << outcome.failure;
  EXPECT_EQ(launcher.starts, 1);
  EXPECT_TRUE(outcome.rules_used.ends_with("EN16931-UBL-validation.xslt"));
  EXPECT_TRUE(core::FolderFileNames(setup.scratch_folder).empty());
  ASSERT_EQ(outcome.files.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(outcome.files[i].path, paths[i]);
    EXPECT_EQ(FatalIds(outcome.files[i]), cases[i].fatal);
    EXPECT_EQ(outcome.files[i].valid, cases[i].fatal.empty());
  }
  const Finding& warning = outcome.files[2].findings.at(0);
  EXPECT_EQ(warning.id + " " + warning.flag, "UBL-CR-004 warning");
}

// Without rules only the schema judges, and nothing is started. Inputs that
// are no plain XML are recognised before anything is read beyond the file:
// the entities point at a file whose content must show nowhere.
TEST(InvoiceCheck, WithoutRulesChecksTheSchemaOnlyAndRefusesInputsThatAreNoPlainXml) {
  Sandbox box;
  const std::string secret = box.Write("secret.txt", "SECRET-4711");
  const std::string open = "<?xml version=\"1.0\"?>\n<!DOCTYPE Invoice [\n";
  const std::string root =
      "<Invoice xmlns=\"urn:oasis:names:specification:ubl:schema:xsd:Invoice-2\">";
  const std::vector<FileCase> cases = {
      {"invoice", Baseline("invoice.xml")},
      {"credit-note", Baseline("credit-note.xml")},
      {"totals-wrong",
       Changed(">185.46</cbc:TaxInclusiveAmount>", ">1.00</cbc:TaxInclusiveAmount>")},
      {"schema", Changed("<cbc:IssueDate>2026-12-03", "<cbc:IssueDate>3 Dec 2026"), {"XSD"}},
      {"empty", "", {"XML"}},
      {"unclosed", root, {"XML"}},
      {"too-deep", Nested(300), {"XML"}},
      {"external-entity",
       open + "<!ENTITY s SYSTEM \"" + secret + "\">]>\n" + root + "&s;</Invoice>",
       {"XML"}},
      {"parameter-entity",
       open + "<!ENTITY % p SYSTEM \"" + secret + "\"> %p;]>\n" + root + "</Invoice>",
       {"XML"}},
      {"external-dtd",
       "<!DOCTYPE Invoice SYSTEM \"" + secret + "\">\n" + root + "</Invoice>",
       {"XML"}},
      {"internal-entity", open + "<!ENTITY a \"aaaa\">]>\n" + root + "&a;</Invoice>", {"XML"}},
      {"other-root", "<Order xmlns=\"urn:example\"/>", {"XSD"}},
  };
  const std::vector<std::string> paths = WriteCases(box, cases);
  testing::RecordingLauncher launcher;
  const CheckOutcome outcome =
      CheckInvoices({.rules = kNoRules, .java = box.Path("no-java")}, paths, launcher);

  ASSERT_TRUE(outcome.checked) << outcome.failure;
  EXPECT_EQ(outcome.rules_used, kNoRules);
  EXPECT_TRUE(launcher.commands.empty());
  ASSERT_EQ(outcome.files.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(outcome.files[i].valid, cases[i].fatal.empty());
    EXPECT_EQ(ReportText(outcome.files[i]).find("SECRET"), std::string::npos);
    if (cases[i].fatal.empty()) continue;
    ASSERT_FALSE(outcome.files[i].findings.empty());
    EXPECT_EQ(outcome.files[i].findings[0].id, cases[i].fatal[0]);
  }
  EXPECT_EQ(outcome.files[3].findings.at(0).location, "line 6");
}

struct FailureCase {
  std::string name;
  CheckSetup setup;
  std::string failure;  // a part of the failure's text
};

std::vector<FailureCase> FailureCases(const Sandbox& box) {
  const std::string broken = box.Write("broken.xslt", "<xsl:stylesheet version=\"2.0\">");
  // Found, but never started: the setup fails before.
  const std::string java = box.Write("java.exe", "");
  const std::string jar = box.Write("saxon.jar", "");
  std::vector<FailureCase> cases = {
      {"no java", {.java = box.Path("bin/java")}, "Java was not found at"},
      {"no saxon", {.java = java, .saxon = box.Path("Saxon-HE.jar")}, "Saxon-HE was not found at"},
      {"no rules file",
       {.rules = box.Path("rules.xslt"), .java = java, .saxon = jar},
       "was not found"},
      {"no schema", {.schema = box.Path("schema.xsd"), .rules = kNoRules}, "was not found"},
  };
#ifdef _WIN32
  cases.push_back({"java not set up", {}, "Java is not set up"});
#else
  const std::string sleeper = box.Write("sleeper", "#!/bin/sh\nexec sleep 30\n");
  const std::string silent = box.Write("silent", "#!/bin/sh\nexit 0\n");
  for (const std::string& script : {sleeper, silent}) {
    fs::permissions(script, fs::perms::owner_exec, fs::perm_options::add);
  }
  cases.push_back({"a broken rules file", {.rules = broken}, "could not run"});
  cases.push_back(
      {"past the time limit", {.java = sleeper, .time_limit_seconds = 1}, "within 1 s"});
  cases.push_back({"no report", {.java = silent}, "wrote no report for"});
#endif
  return cases;
}

TEST(InvoiceCheck, NothingIsValidWhenTheCheckCannotBeMade) {
  Sandbox box;
  const std::vector<std::string> paths =
      WriteCases(box, {{"invoice", Baseline("invoice.xml")}, {"junk", "junk"}});
  for (const FailureCase& c : FailureCases(box)) {
    SCOPED_TRACE(c.name);
    core::SpawnLauncher launcher;
    const CheckOutcome outcome = CheckInvoices(c.setup, paths, launcher);
    EXPECT_FALSE(outcome.checked);
    EXPECT_NE(outcome.failure.find(c.failure), std::string::npos) << outcome.failure;
    ASSERT_EQ(outcome.files.size(), 2u);
    EXPECT_FALSE(outcome.files[0].valid || outcome.files[1].valid);
  }
}

TEST(InvoiceCheck, ReportListsTheFindingsInTheirOrder) {
  const FileVerdict verdict{"in/a.xml",
                            false,
                            {{"BR-CO-15", "fatal", "Totals differ", "/Invoice"},
                             {"UBL-CR-004", "warning", "No CopyIndicator", ""}}};
  EXPECT_EQ(ReportText(verdict),
            "in/a.xml: invalid\r\nBR-CO-15 [fatal] Totals differ (/Invoice)\r\n"
            "UBL-CR-004 [warning] No CopyIndicator\r\n");
  EXPECT_EQ(ReportText({"b.xml", true, {}}), "b.xml: valid\r\n");
}

// The data of an installed package or of a folder unpacked with its
// programs comes before the source tree's.
TEST(ValidationData, IsFoundBesideTheProgramBeforeTheSourceTree) {
  Sandbox box;
  const auto data = [&box](const std::string& folder, bool with_rules) {
    box.Write(folder + "/" + kInvoiceSchema, "<schema/>");
    if (with_rules) box.Write(folder + "/" + kShippedRules, "<rules/>");
    return core::CanonicalPath(box.Path(folder));
  };
  const std::string program = box.MakeFolder("usr/bin");
  const std::string source = LocateValidationData(program);
  EXPECT_FALSE(source.empty());
  data("usr/bin/validation", false);  // no rules: not the data
  EXPECT_EQ(LocateValidationData(program), source);
  const std::string unpacked = data("usr/bin/validation", true);
  EXPECT_EQ(LocateValidationData(program), unpacked);
  const std::string installed = data("usr/share/wfdesk/validation", true);
  EXPECT_EQ(LocateValidationData(program), installed);
}

}  // namespace
}  // namespace wfdesk::validation
