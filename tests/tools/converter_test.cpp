// The converter: how it reads exports, the invoices it writes (EN 16931
// content the UBL 2.1 schema accepts) and its runs on folders, crashes
// included.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xmlschemas.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#endif

#include <chrono>
#include <random>
#include <set>

#include "core/files.hpp"
#include "core/process.hpp"
#include "core/text_encoding.hpp"
#include "tests/support/run_program.hpp"
#include "tests/support/sandbox.hpp"
#include "tests/support/wait_for.hpp"
#include "tools/common/switches.hpp"
#include "tools/ledgerconv/commit_record.hpp"
#include "tools/ledgerconv/export_reader.hpp"
#include "tools/ledgerconv/properties.hpp"
#include "tools/ledgerconv/ubl_writer.hpp"

namespace wfdesk::tools {
namespace {

using ::testing::HasSubstr;
using testing::Sandbox;

const std::string kSeller = "Seller GmbH;ATU12345678;Main St 1;Wien;1010;AT;";
const std::string kBuyer = "Buyer & Co;DE123456789;Side St 2;Berlin;10115;DE;";

// An export line of invoice `number`.
std::string Line(const std::string& number, const std::string& item = "Coffee;3;1;20",
                 const std::string& dates = "2026-12-01;2026-12-31",
                 const std::string& parties = kSeller + kBuyer) {
  return number + ";" + dates + ";" + parties + item + "\r\n";
}

// The errors of the UBL 2.1 Invoice schema for a document; "" when valid.
std::string SchemaErrors(const std::string& xml) {
  static xmlSchemaPtr schema = [] {
    xmlSchemaParserCtxtPtr parser = xmlSchemaNewParserCtxt(WFDESK_UBL_INVOICE_SCHEMA);
    xmlSchemaPtr parsed = xmlSchemaParse(parser);
    xmlSchemaFreeParserCtxt(parser);
    return parsed;
  }();
  if (!schema) return "the schema cannot be read";
  std::string errors;
  xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr, 0);
  if (!doc) return "not well-formed";
  xmlSchemaValidCtxtPtr context = xmlSchemaNewValidCtxt(schema);
  xmlSchemaSetValidStructuredErrors(
      context,
      [](void* out, xmlError* error) {
        *static_cast<std::string*>(out) += std::string(error->message);
      },
      &errors);
  if (xmlSchemaValidateDoc(context, doc) != 0 && errors.empty()) errors = "invalid";
  xmlSchemaFreeValidCtxt(context);
  xmlFreeDoc(doc);
  return errors;
}

TEST(ExportReader, GroupsLinesByInvoiceAndComputesAmountsExactly) {
  const ExportContent content =
      ReadExport("invoice_number;issue_date;due_date;...\r\n# a comment\r\n\r\n" +
                 Line("A-1", "C;3;0,335;20") + Line("B-2", "Tea;1.5;2.10;10") +
                 Line("A-1", "Milk;2;1,25;0") + Line("C-3", "Big;12345678901,234;98765,4321;0"));
  ASSERT_TRUE(content.problems.empty()) << content.problems[0].reason;
  ASSERT_EQ(content.invoices.size(), 3u);
  EXPECT_EQ(content.invoices[0].first_line, 4);
  EXPECT_EQ(content.invoices[0].buyer.address.post_code, "10115");
  ASSERT_EQ(content.invoices[0].items.size(), 2u);
  EXPECT_EQ(content.invoices[0].items[0].amount_cents, 101);  // 1.005 rounds up
  EXPECT_EQ(content.invoices[1].items[0].amount_cents, 315);
  // 1 219 326 311 248 229.2332114 without a 64-bit overflow on the way
  EXPECT_EQ(FormatCents(content.invoices[2].items[0].amount_cents), "1219326311248229.23");
}

struct RefusedLine {
  std::string text;
  std::string reason;  // "" for a line that is fine
};

// A line of invoice "A" with these dates, or with these parties.
std::string Dated(const std::string& dates) {
  return Line("A", "X;1;1;20", dates);
}
std::string Between(const std::string& parties) {
  return Line("A", "X;1;1;20", "2026-12-01;2026-12-31", parties);
}

TEST(ExportReader, RefusesWhatAnInvoiceCannotCarryNamingTheLine) {
  const std::string big = "Big;1000000;9000000000;";  // 9e15 EUR net
  const std::vector<RefusedLine> table = {
      {Dated("2026-02-31;2026-03-31"), "issue date \"2026-02-31\" is not a date"},
      {Dated("2026-01-01;2025-02-29"), "due date \"2025-02-29\" is not a date"},
      {Dated("0000-01-01;2028-02-29"), "issue date \"0000-01-01\""},
      {Dated("2028-02-29;2028-02-29"), ""},
      {Line("A", "Cof\001fee;1;1;20"), "item holds the control character U+0001"},
      {Between(kSeller + "B\x1b[2J;;S;C;;AT;"), "buyer name holds the control character U+001B"},
      {Line("A", "X\xC2\x85;1;1;20"), "the control character U+0085"},
      {Line("A", "X\xEF\xBF\xBF;1;1;20"), "the character U+FFFF"},
      {Line("A", "X\xFF;1;1;20"), "bytes that are not UTF-8"},
      {Line("A", "X;999999999999;999999999999;20"), "is beyond the largest amount"},
      {Line("A", "X;1234567890123456;1;20"), "quantity \"1234567890123456\" is not a positive"},
      {Line("A", big + "0"), ""},
      {Line("A", big + "20"), "the invoice's total is beyond the largest amount"},
      {"A;2026-12-01;2026-12-31;S;ATU1;B;;X;1;1;20\r\n", "the addresses of seller and buyer"},
      {Between(kSeller + "B;;S;C;;;"), "no buyer country code"},
      {Between(kSeller + "B;;S;C;;XX;"), "buyer country code \"XX\" is not an ISO 3166 code"},
      {Between("S;ATU1;;C;1;AT;" + kBuyer), "no seller street"},
      {Between("S;;St;C;1;AT;" + kBuyer), "no seller VAT ID"},
      {Between(kSeller + "B;123;S;C;;IE;"), "buyer VAT ID \"123\" does not begin with a country"},
      {Between(kSeller + "B;EL123;S;Athens;;GR;"), ""},
  };
  for (const auto& row : table) {
    const ExportContent content = ReadExport(row.text);
    if (row.reason.empty()) {
      EXPECT_TRUE(content.problems.empty()) << row.text << content.problems[0].reason;
      continue;
    }
    ASSERT_EQ(content.problems.size(), 1u) << row.text;
    EXPECT_EQ(content.problems[0].line, 1);
    EXPECT_THAT(content.problems[0].reason, HasSubstr(row.reason)) << row.text;
  }
}

TEST(UblWriter, WritesEn16931ContentThatTheUbl21SchemaAccepts) {
  const ExportContent content =
      ReadExport(Line("A<1>", "Coffee;2;10;20") + Line("A<1>", "Book;1;5,5;10") +
                 Line("A<1>", "Stamp;1;0,85;0") +
                 Line("B", "T\303\244e;1;1;20", "2026-12-01;2026-12-31",
                      kSeller + "Kunde;;Gasse 1;Graz;;AT;"));
  ASSERT_TRUE(content.problems.empty());
  const std::string xml = UblInvoice(content.invoices.at(0));
  EXPECT_EQ(SchemaErrors(xml), "");
  for (const char* expected :
       {"<cbc:ID>A&lt;1&gt;</cbc:ID>", "<cbc:Name>Buyer &amp; Co</cbc:Name>",
        "<cbc:TaxAmount currencyID=\"EUR\">4.55</cbc:TaxAmount>",
        "<cbc:PayableAmount currencyID=\"EUR\">30.90</cbc:PayableAmount>",
        "<cbc:PriceAmount currencyID=\"EUR\">5.5</cbc:PriceAmount>", "<cbc:ID>Z</cbc:ID>",
        "<cbc:IdentificationCode>DE</cbc:IdentificationCode>",
        "<cbc:PostalZone>1010</cbc:PostalZone>", "<cbc:CompanyID>ATU12345678</cbc:CompanyID>"}) {
    EXPECT_THAT(xml, HasSubstr(expected));
  }
  const std::string second = UblInvoice(content.invoices.at(1));
  EXPECT_EQ(SchemaErrors(second), "");
  EXPECT_THAT(second, HasSubstr("<cbc:Name>T\303\244e</cbc:Name>"));
  EXPECT_THAT(second, ::testing::Not(HasSubstr("PostalZone>Graz")));
}

TEST(ConversionProperties, HoldForOddAndMutatedExports) {
  const std::string good = Line("A", "Coffee;3;0,335;20") + Line("A", "Tea;1;2;10") +
                           Line("B&<", "X;999999999999999;0,0001;0");
  std::vector<std::string> inputs = {
      good, "", "\r\n\r\n", ";;;;", std::string(5, '\0'), "\xEF\xBB\xBF" + good, "\xFF\xFE" + good};
  std::mt19937 random(20261201);
  const std::string bytes = ";.,0129\r\n\t \x01\xC3\xA4\xFF<&\"]";
  for (int i = 0; i < 300; ++i) {
    std::string mutated = good;
    for (int edits = 1 + static_cast<int>(random() % 4); edits > 0; --edits) {
      const std::size_t at = random() % mutated.size();
      const char c = bytes[random() % bytes.size()];
      if (random() % 2) {
        mutated[at] = c;
      } else {
        mutated.insert(at, 1, c);
      }
    }
    inputs.push_back(mutated);
  }
  for (const auto& input : inputs) EXPECT_EQ(CheckConversionProperties(input), "") << input;
}

// Export, invoice and archive folders in a fresh sandbox, and the converter
// run on them.
struct Folders {
  std::vector<std::string> Arguments() const {
    return {WFDESK_CONVERTER,    "-f",  box.Path("in"), "-ifm", "*.csv", "-fp",
            box.Path("out"),     "-fe", "xml",          "-px",  "INV_",  "-ap",
            box.Path("archive"), "-lf", box.Path("log")};
  }
  int Run() const { return testing::RunProgram(Arguments()).status; }
  std::vector<std::string> Visible(const char* folder) const {
    return core::FolderFileNames(box.Path(folder));
  }
  // The hidden files of the invoice folder, but the lock.
  std::vector<std::string> Leftovers() const {
    std::vector<std::string> names = core::HiddenFileNames(box.Path("out"));
    std::erase(names, std::string(kLockName));
    return names;
  }

  Sandbox box;
  const std::string in = box.MakeFolder("in");
  const std::string out = box.MakeFolder("out");
  const std::string archive = box.MakeFolder("archive");
};

// The invoice files an export should give, by name.
std::map<std::string, std::string> Expected(const std::string& text) {
  std::map<std::string, std::string> files;
  for (const auto& invoice : ReadExport(core::AsUtf8(text)).invoices) {
    files["INV_" + SafeFileName(invoice.number) + ".xml"] = UblInvoice(invoice);
  }
  return files;
}

struct RunCase {
  std::string name;
  std::string export_text;  // "" for an empty folder
  int status;
  std::string log;  // a part of the log
  std::size_t invoices;
};

TEST(ConverterRun, ConvertsWholeExportsOrKeepsThemWithTheirLineNamed) {
  const std::vector<RunCase> table = {
      {"empty folder", "", 0, "converted 0 invoice(s) from 0 export(s); 0 export(s) kept", 0},
      {"two invoices", Line("1") + Line("2") + Line("1", "Tea;1;1;10"), 0,
       "converted 2 invoice(s) from 1 export(s); 0 export(s) kept", 2},
      {"impossible date", Line("1") + Line("2", "X;1;1;20", "2026-02-31;2026-03-31"),
       core::kExitKeptForNextRun, "e.csv:2: issue date \"2026-02-31\" is not a date (invoice 2)",
       0},
      {"one file name", Line("RE/1") + Line("RE:1"), core::kExitKeptForNextRun,
       "would have the file name", 0},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    const Folders f;
    if (!row.export_text.empty()) f.box.Write("in/e.csv", row.export_text);
    EXPECT_EQ(f.Run(), row.status);
    EXPECT_THAT(f.box.Read("log"), HasSubstr(row.log));
    EXPECT_EQ(f.Visible("out").size(), row.invoices);
    EXPECT_EQ(f.box.Exists("in/e.csv"), row.status != 0);
    EXPECT_TRUE(f.Leftovers().empty());
    for (const auto& [name, xml] : Expected(row.export_text)) {
      if (row.status != 0) break;
      EXPECT_EQ(f.box.Read("out/" + name), xml);
      EXPECT_EQ(SchemaErrors(xml), "") << name;
    }
  }
}

struct Interrupted {
  std::string name;
  bool committed;      // the commit record was written
  std::size_t placed;  // invoices renamed into place before the crash
  bool taken;          // and a later module took those away
  bool archived;       // the export was archived
};

TEST(ConverterRun, FinishesWhatACrashLeftWithoutLosingOrDoublingAnInvoice) {
  const std::string text = Line("1") + Line("2") + Line("3");
  const auto expected = Expected(text);
  const std::vector<Interrupted> table = {
      {"written, not committed", false, 0, false, false},
      {"committed, one placed", true, 1, false, false},
      {"committed, one placed and taken", true, 1, true, false},
      {"committed, all placed and taken", true, 3, true, false},
      {"archived, record left", true, 3, false, true},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    const Folders f;
    f.box.Write(row.archived ? "archive/e.csv" : "in/e.csv", text);
    std::vector<std::string> names, left;
    for (const auto& [name, xml] : expected) {
      names.push_back(name);
      if (names.size() <= row.placed && !row.taken) f.box.Write("out/" + name, xml);
      // Before the commit a temporary file may be cut short; after it, it is whole.
      const std::string temporary = row.committed ? xml : xml.substr(0, 99);
      if (names.size() > row.placed) f.box.Write("out/" + TemporaryName(name), temporary);
      if (names.size() > row.placed || !row.taken) left.push_back(name);
    }
    if (row.committed) {
      const CommitRecord record{f.in + "/e.csv", Digest(text), f.archive, names};
      f.box.Write("out/" + RecordName(record.export_path), RecordText(record));
    }
    EXPECT_EQ(f.Run(), 0) << f.box.Read("log");
    EXPECT_EQ(f.Visible("out"), left);
    for (const auto& name : left) EXPECT_EQ(f.box.Read("out/" + name), expected.at(name));
    EXPECT_EQ(f.Visible("archive"), std::vector<std::string>{"e.csv"});
    EXPECT_TRUE(f.Visible("in").empty());
    EXPECT_TRUE(f.Leftovers().empty());
  }
}

TEST(ConverterRun, AnInvoiceNameTakenByOtherContentHoldsTheExportUntilItIsFree) {
  const std::string text = Line("1") + Line("2");
  const auto expected = Expected(text);
  const Folders f;
  f.box.Write("in/e.csv", text);
  std::vector<std::string> names;
  for (const auto& [name, xml] : expected) {
    names.push_back(name);
    f.box.Write("out/" + TemporaryName(name), xml);
  }
  const CommitRecord record{f.in + "/e.csv", Digest(text), f.archive, names};
  f.box.Write("out/" + RecordName(record.export_path), RecordText(record));
  f.box.Write("out/INV_2.xml", "someone else's");
  EXPECT_EQ(f.Run(), core::kExitKeptForNextRun);
  EXPECT_THAT(f.box.Read("log"), HasSubstr("INV_2.xml is there with other content"));
  EXPECT_THAT(f.box.Read("log"), HasSubstr("KEPT " + f.in + "/e.csv: it waits for"));
  EXPECT_EQ(f.box.Read("out/INV_1.xml"), expected.at("INV_1.xml"));
  EXPECT_TRUE(f.box.Exists("in/e.csv"));
  std::remove(f.box.Path("out/INV_2.xml").c_str());
  EXPECT_EQ(f.Run(), 0);
  EXPECT_EQ(f.box.Read("out/INV_2.xml"), expected.at("INV_2.xml"));
  EXPECT_EQ(f.Visible("archive"), std::vector<std::string>{"e.csv"});
  EXPECT_TRUE(f.Leftovers().empty());
}

#ifndef _WIN32
// Killing a program midway is a POSIX test: Wine ends a killed Windows
// program its own way.

// Moves every visible invoice to `taken`, as a later module would; false
// when one was there already: it would be uploaded twice.
bool TakeInvoices(const Folders& f, std::set<std::string>& taken) {
  for (const auto& name : f.Visible("out")) {
    bool twice = false;
    if (!core::RenameWithoutReplacing(f.out + "/" + name, f.box.Path("taken/" + name), twice)) {
      return false;
    }
    taken.insert(name);
  }
  return true;
}

TEST(ConverterRun, KilledAnywhereItConvertsEveryInvoiceExactlyOnce) {
  const Folders f;
  f.box.MakeFolder("taken");
  std::string text;
  for (int i = 0; i < 1500; ++i)
    text += Line(std::to_string(i), "I;1;" + std::to_string(i) + ";20");
  f.box.Write("in/e.csv", text);
  const auto expected = Expected(text);
  const unsigned seed = std::random_device()();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::set<std::string> taken;
  int kills = 0;
  for (int round = 0; round < 8 && f.box.Exists("in/e.csv"); ++round) {
    pid_t pid = testing::StartProgram(f.Arguments());
    ASSERT_GT(pid, 0);
    // The first round kills at the first temporary file, so that at least
    // one kill lands however fast the converter is; the others anywhere.
    const std::size_t target = round == 0 ? 1 : 1 + random() % expected.size();
    const bool placing = round > 0 && random() % 2 == 0;  // else still writing temporaries
    ASSERT_TRUE(testing::WaitFor(
        [&] {
          if (::waitpid(pid, nullptr, WNOHANG) == pid) return pid = 0, true;
          const std::size_t files = placing ? f.Visible("out").size() : f.Leftovers().size();
          return files >= target;
        },
        std::chrono::seconds(60), std::chrono::microseconds(200)));
    if (pid > 0) {
      ::kill(pid, SIGKILL);
      testing::ExitStatusOf(pid);
      ++kills;
    }
    ASSERT_TRUE(TakeInvoices(f, taken)) << "an invoice came twice";
  }
  EXPECT_GT(kills, 0);
  EXPECT_EQ(f.Run(), 0) << f.box.Read("log");
  ASSERT_TRUE(TakeInvoices(f, taken)) << "an invoice came twice";
  EXPECT_EQ(taken.size(), expected.size());
  for (const auto& [name, xml] : expected) ASSERT_EQ(f.box.Read("taken/" + name), xml) << name;
  EXPECT_TRUE(f.Leftovers().empty());
  EXPECT_EQ(f.Visible("archive"), std::vector<std::string>{"e.csv"});
  EXPECT_EQ(f.box.Read("archive/e.csv"), text);
}
#endif

}  // namespace
}  // namespace wfdesk::tools
