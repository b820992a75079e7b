// The converter: how it reads exports, the invoices it writes (EN 16931
// content the UBL 2.1 schema accepts) and its runs on folders, crashes
// included.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xmlschemas.h>
#ifndef _WIN32
#include <signal.h>
#endif

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <set>
#include <thread>

#include "core/files.hpp"
#include "core/process.hpp"
#include "core/text_encoding.hpp"
#include "tests/support/run_program.hpp"
#include "tests/support/sandbox.hpp"
#include "tests/support/wait_for.hpp"
#include "tools/common/switches.hpp"
#include "tools/ledgerconv/commit_record.hpp"
#include "tools/ledgerconv/export_reader.hpp"
#include "tools/ledgerconv/file_name.hpp"
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

enum class Ubl { kInvoice, kCreditNote };

xmlSchemaPtr ReadSchema(const char* path) {
  xmlSchemaParserCtxtPtr parser = xmlSchemaNewParserCtxt(path);
  xmlSchemaPtr parsed = xmlSchemaParse(parser);
  xmlSchemaFreeParserCtxt(parser);
  return parsed;
}

// The errors of the UBL 2.1 Invoice or CreditNote schema for a document;
// "" when valid.
std::string SchemaErrors(const std::string& xml, Ubl kind = Ubl::kInvoice) {
  static xmlSchemaPtr invoice_schema = ReadSchema(WFDESK_UBL_INVOICE_SCHEMA);
  static xmlSchemaPtr credit_note_schema = ReadSchema(WFDESK_UBL_CREDIT_NOTE_SCHEMA);
  xmlSchemaPtr schema = kind == Ubl::kInvoice ? invoice_schema : credit_note_schema;
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

// The schema errors of a file the converter wrote, by the kind its root names.
std::string SchemaErrorsOfWritten(const std::string& xml) {
  const bool credit = xml.find("<CreditNote ") != std::string::npos;
  return SchemaErrors(xml, credit ? Ubl::kCreditNote : Ubl::kInvoice);
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

// Items whose amount or VAT lands on half a cent.
TEST(ExportReader, AReturnComesToExactlyTheNegatedAmountsOfTheSale) {
  for (const std::string item :
       {"C;3;0,335;20", "T;1,5;0,335;10", "B;1;0,125;20", "M;7;0,0714;19"}) {
    SCOPED_TRACE(item);
    const auto semicolon = item.find(';');
    const std::string returned = item.substr(0, semicolon + 1) + "-" + item.substr(semicolon + 1);
    const ExportContent sale = ReadExport(Line("S", item));
    const ExportContent back = ReadExport(Line("R", returned));
    ASSERT_TRUE(sale.problems.empty() && back.problems.empty());
    EXPECT_EQ(back.invoices[0].items[0].quantity_milli, -sale.invoices[0].items[0].quantity_milli);
    EXPECT_EQ(back.invoices[0].items[0].amount_cents, -sale.invoices[0].items[0].amount_cents);
    InvoiceTotals sold, credited;
    ASSERT_TRUE(ComputeTotals(sale.invoices[0], sold) && ComputeTotals(back.invoices[0], credited));
    EXPECT_EQ(credited.tax_cents, -sold.tax_cents);
    EXPECT_EQ(credited.payable_cents, -sold.payable_cents);
    EXPECT_TRUE(IsCreditNote(credited));
    EXPECT_FALSE(IsCreditNote(sold));
  }
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
      {Line("A", "X;1234567890123456;1;20"), "quantity \"1234567890123456\" is not a number"},
      {Line("A", "X;0;1;20"),
       "quantity \"0\" is not a number other than 0 with at most 3 decimal places and 15 digits"},
      {Line("A", "X;-0,000;1;20"), "quantity \"-0,000\" is not a number other than 0"},
      {Line("A", "X;--1;1;20"), "quantity \"--1\" is not a number"},
      {Line("A", "X;1-;1;20"), "quantity \"1-\" is not a number"},
      {Line("A", "X;-;1;20"), "quantity \"-\" is not a number"},
      {Line("A", "X;-2,5;1;20"), ""},
      {Line("A", "X;-1;-1;20"), "unit price \"-1\" is not a number of at least 0"},
      {Line("A", "X;-999999999999;999999999999;20"), "is beyond the largest amount"},
      {Line("A", "Big;-1000000;9000000000;20"), "the invoice's total is beyond the largest"},
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

struct DocumentCase {
  std::string name;
  std::string export_text;
  Ubl kind;
  std::vector<std::string> parts;  // of the XML
  std::string absent = "";         // from it
};

// EN 16931 content of the first invoice; a negative total makes a credit
// note that states what it credits as positive amounts.
TEST(UblWriter, WritesInvoicesAndCreditNotesThatTheUbl21SchemaAccepts) {
  const auto amount = [](const std::string& element, const std::string& value) {
    return "<cbc:" + element + " currencyID=\"EUR\">" + value + "</cbc:" + element + ">";
  };
  const std::vector<DocumentCase> table = {
      {"an invoice, its markup escaped",
       Line("A<1>", "Coffee;2;10;20") + Line("A<1>", "Book;1;5,5;10") +
           Line("A<1>", "Stamp;1;0,85;0"),
       Ubl::kInvoice,
       {"<cbc:ID>A&lt;1&gt;</cbc:ID>", "<cbc:Name>Buyer &amp; Co</cbc:Name>",
        amount("TaxAmount", "4.55"), amount("PayableAmount", "30.90"), amount("PriceAmount", "5.5"),
        "<cbc:ID>Z</cbc:ID>", "<cbc:IdentificationCode>DE</cbc:IdentificationCode>",
        "<cbc:PostalZone>1010</cbc:PostalZone>", "<cbc:CompanyID>ATU12345678</cbc:CompanyID>"}},
      {"a buyer without a post code",
       Line("B", "T\303\244e;1;1;20", "2026-12-01;2026-12-31",
            kSeller + "Kunde;;Gasse 1;Graz;;AT;"),
       Ubl::kInvoice,
       {"<cbc:Name>T\303\244e</cbc:Name>"},
       "PostalZone>Graz"},
      {"returns only",
       Line("R-1", "Coffee;-2;10;20") + Line("R-1", "Book;-1;5,5;10"),
       Ubl::kCreditNote,
       {"<cbc:CreditNoteTypeCode>381</cbc:CreditNoteTypeCode>",
        "<cbc:CreditedQuantity unitCode=\"C62\">2</cbc:CreditedQuantity>",
        amount("LineExtensionAmount", "20.00"), amount("TaxableAmount", "5.50"),
        amount("TaxAmount", "4.55"), amount("TaxExclusiveAmount", "25.50"),
        amount("PayableAmount", "30.05"), amount("PriceAmount", "10"),
        "<cbc:PaymentDueDate>2026-12-31</cbc:PaymentDueDate>"}},
      {"a return larger than a sale",
       Line("R-2", "Coffee;-3;10;20") + Line("R-2", "Fee;1;5;20"),
       Ubl::kCreditNote,
       {"<cbc:CreditedQuantity unitCode=\"C62\">-1</cbc:CreditedQuantity>",
        amount("LineExtensionAmount", "-5.00"), amount("TaxableAmount", "25.00"),
        amount("PayableAmount", "30.00")}},
      {"half a cent returned",
       Line("R-3", "Milk;-1,5;0,335;20"),
       Ubl::kCreditNote,
       {"<cbc:CreditedQuantity unitCode=\"C62\">1.5</cbc:CreditedQuantity>",
        amount("LineExtensionAmount", "0.50"), amount("PayableAmount", "0.60")}},
      {"a return within a larger sale",
       Line("M-1", "Coffee;3;10;20") + Line("M-1", "Coffee;-1;10;20"),
       Ubl::kInvoice,
       {"<cbc:InvoiceTypeCode>380</cbc:InvoiceTypeCode>", "<cbc:DueDate>2026-12-31</cbc:DueDate>",
        "<cbc:InvoicedQuantity unitCode=\"C62\">-1</cbc:InvoicedQuantity>",
        amount("LineExtensionAmount", "-10.00"), amount("PayableAmount", "24.00")}},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    const ExportContent content = ReadExport(row.export_text);
    ASSERT_TRUE(content.problems.empty()) << content.problems[0].reason;
    const std::string xml = UblInvoice(content.invoices.at(0));
    EXPECT_EQ(SchemaErrors(xml, row.kind), "");
    for (const auto& part : row.parts) EXPECT_THAT(xml, HasSubstr(part));
    if (!row.absent.empty()) {
      EXPECT_THAT(xml, ::testing::Not(HasSubstr(row.absent)));
    }
    EXPECT_EQ(xml.find("<CreditNote") != std::string::npos, row.kind == Ubl::kCreditNote);
  }
}

TEST(ConversionProperties, HoldForOddAndMutatedExports) {
  const std::string good = Line("A", "Coffee;3;0,335;20") + Line("A", "Tea;-1;2;10") +
                           Line("B&<", "X;999999999999999;0,0001;0") +
                           Line("C", "Back;-2,5;0,335;20") + Line("C", "New;1;0,125;10");
  std::vector<std::string> inputs = {good, "", "\r\n\r\n", ";;;;", std::string(5, '\0'),
                                     "\xEF\xBB\xBF" + good, "\xFF\xFE" + good,
                                     // two lines within the largest amount, together beyond it
                                     good + Line("D", "Big;-999999099;9999999,9999;0") +
                                         Line("D", "Big;-999999099;9999999,9999;0")};
  std::mt19937 random(20261201);
  const std::string bytes = ";.,-0129\r\n\t \x01\xC3\xA4\xFF<&\"]";
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
    files["INV_" + EscapedFileName(invoice.number) + ".xml"] = UblInvoice(invoice);
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
      {"returns and a credit note", Line("1") + Line("1", "Tea;-1;1;10") + Line("C-1", "X;-3;1;20"),
       0, "converted credit note C-1 (1 line(s)) to ", 2},
      {"names one apart in case only", Line("re-1") + Line("RE-1"), core::kExitKeptForNextRun,
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
      EXPECT_EQ(SchemaErrorsOfWritten(xml), "") << name;
    }
  }
}

// The XSLT module names what it writes by the part of a name before its
// first dot.
TEST(ConverterRun, GivesEveryInvoiceNumberANameOfItsOwnUpToTheFirstDot) {
  const std::vector<std::pair<std::string, std::string>> table = {
      {"2026-0101", "INV_2026-0101.xml"}, {"2026.1", "INV_2026_2E1.xml"},
      {"2026.2", "INV_2026_2E2.xml"},     {"A/1", "INV_A_2F1.xml"},
      {"A_1", "INV_A_5F1.xml"},           {"A_2F1", "INV_A_5F2F1.xml"},
      {"A:1", "INV_A_3A1.xml"},           {"\xC3\x84-1", "INV__C3_84-1.xml"}};
  const Folders f;
  std::string text;
  for (const auto& [number, name] : table) text += Line(number);
  f.box.Write("in/e.csv", text);
  ASSERT_EQ(f.Run(), 0) << f.box.Read("log");
  for (const auto& [number, name] : table) {
    EXPECT_THAT(f.box.Read("out/" + name), HasSubstr("<cbc:ID>" + number + "</cbc:ID>")) << name;
  }
  std::set<std::string> bases;
  for (const auto& name : f.Visible("out")) bases.insert(name.substr(0, name.find('.')));
  EXPECT_EQ(bases.size(), table.size());
  EXPECT_EQ(f.Visible("out").size(), table.size());
}

// Where a run on e.csv stopped.
struct Interrupted {
  std::string name;
  bool committed;      // the commit record was written
  std::size_t placed;  // invoices renamed into place before the crash
  bool taken;          // and a later module took those away
  bool archived;       // the export was archived
};
const Interrupted kJustCommitted = {"committed, none placed", true, 0, false, false};

// Leaves the folders as a run on e.csv holding `text` did when it stopped
// there; the invoice names it was to write.
std::vector<std::string> Stage(const Folders& f, const std::string& text, const Interrupted& at) {
  f.box.Write(at.archived ? "archive/e.csv" : "in/e.csv", text);
  std::vector<std::string> names;
  for (const auto& [name, xml] : Expected(text)) {
    names.push_back(name);
    if (names.size() <= at.placed && !at.taken) f.box.Write("out/" + name, xml);
    // Before the commit a temporary file may be cut short; after it, it is whole.
    const std::string temporary = at.committed ? xml : xml.substr(0, 99);
    if (names.size() > at.placed) f.box.Write("out/" + TemporaryName(name), temporary);
  }
  if (at.committed) {
    const CommitRecord record{f.in + "/e.csv", Digest(text), f.archive, names};
    f.box.Write("out/" + RecordName(record.export_path), RecordText(record));
  }
  return names;
}

TEST(ConverterRun, FinishesWhatACrashLeftWithoutLosingOrDoublingAnInvoice) {
  const std::string text = Line("1") + Line("2") + Line("3");
  const auto expected = Expected(text);
  const std::vector<Interrupted> table = {
      {"written, not committed", false, 0, false, false},
      kJustCommitted,
      {"committed, one placed", true, 1, false, false},
      {"committed, one placed and taken", true, 1, true, false},
      {"committed, all placed and taken", true, 3, true, false},
      {"archived, record left", true, 3, false, true},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    const Folders f;
    const std::vector<std::string> names = Stage(f, text, row);
    // Invoices placed and taken away are gone for good; the others are there.
    const std::vector<std::string> left(names.begin() + (row.taken ? row.placed : 0), names.end());
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
  Stage(f, text, kJustCommitted);
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

// Where a record is cut: after so many whole lines and so many more bytes.
struct Cut {
  std::string name;
  std::size_t lines;
  std::size_t bytes;
};

std::size_t AfterLines(const std::string& text, std::size_t lines) {
  std::size_t at = 0;
  for (; lines > 0; --lines) at = text.find('\n', at) + 1;
  return at;
}

// A commit record is written whole or not at all; one found cut short (a
// damaged disk, a hand-made copy) names some of the invoices at most, so
// neither its export nor any temporary invoice may go.
TEST(ConverterRun, ACommitRecordCutShortKeepsItsExportAndEveryTemporaryInvoice) {
  const std::string text = Line("1") + Line("2") + Line("3");
  const auto expected = Expected(text);
  const std::vector<Cut> table = {{"without its last line end", 6, 3},
                                  {"without its end line", 6, 0},
                                  {"within the second invoice name", 4, 3},
                                  {"after the first invoice name", 4, 0},
                                  {"after the head", 3, 0},
                                  {"within the head", 1, 10}};
  for (const auto& cut : table) {
    SCOPED_TRACE(cut.name);
    const Folders f;
    Stage(f, text, kJustCommitted);
    const std::string record_name = RecordName(f.in + "/e.csv");
    const std::string whole = f.box.Read("out/" + record_name);
    f.box.Write("out/" + record_name, whole.substr(0, AfterLines(whole, cut.lines) + cut.bytes));
    for (int run = 0; run < 2; ++run) {
      EXPECT_EQ(f.Run(), core::kExitKeptForNextRun);
      EXPECT_THAT(f.box.Read("log"), HasSubstr("cannot read " + f.out + "/" + record_name));
      EXPECT_TRUE(f.box.Exists("in/e.csv"));
      EXPECT_TRUE(f.Visible("archive").empty());
      EXPECT_TRUE(f.Visible("out").empty());
      for (const auto& [name, xml] : expected) {
        EXPECT_TRUE(f.box.Read("out/" + TemporaryName(name)) == xml) << name;
      }
    }
  }
}

// The accounting system writes an export while the converter runs: keeping
// it open, or opening it again for each piece.
TEST(ConverterRun, AnExportHeldOpenForWritingStaysUntilItIsClosedAndIsThenConvertedWhole) {
  const Folders f;
  std::ofstream writer(f.box.Path("in/e.csv"), std::ios::binary);
  writer << Line("1") << Line("2") << std::flush;
  EXPECT_EQ(f.Run(), core::kExitKeptForNextRun);
  EXPECT_THAT(f.box.Read("log"),
              HasSubstr(f.in + "/e.csv is still being written; it stays for the next run"));
  EXPECT_TRUE(f.Visible("out").empty());
  EXPECT_TRUE(f.Visible("archive").empty());
  writer << Line("3");
  writer.close();
  EXPECT_EQ(f.Run(), 0) << f.box.Read("log");
  EXPECT_EQ(f.Visible("out").size(), 3u);
  EXPECT_EQ(f.box.Read("archive/e.csv"), Line("1") + Line("2") + Line("3"));
}

TEST(ConverterRun, AnExportThatGrowsWhileTheRunLooksStaysUntilItIsComplete) {
  const Folders f;
  std::atomic<bool> stop{false};
  std::atomic<int> lines{0};
  const std::string path = f.box.Path("in/e.csv");
  std::thread writer([&] {
    while (!stop) {
      std::ofstream(path, std::ios::binary | std::ios::app) << Line(std::to_string(++lines));
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  ASSERT_TRUE(testing::WaitFor([&] { return lines > 0; }));
  const int status = f.Run();
  stop = true;
  writer.join();
  EXPECT_EQ(status, core::kExitKeptForNextRun);
  EXPECT_THAT(f.box.Read("log"), HasSubstr("e.csv is still being written"));
  EXPECT_TRUE(f.Visible("out").empty());
  EXPECT_EQ(f.Run(), 0) << f.box.Read("log");
  EXPECT_EQ(f.Visible("out").size(), static_cast<std::size_t>(lines.load()));
  EXPECT_TRUE(f.Visible("in").empty());
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
    testing::BackgroundProgram converter(f.Arguments());
    ASSERT_GT(converter.pid(), 0);
    // The first round kills at the first temporary file, so that at least
    // one kill lands however fast the converter is; the others anywhere.
    const std::size_t target = round == 0 ? 1 : 1 + random() % expected.size();
    const bool placing = round > 0 && random() % 2 == 0;  // else still writing temporaries
    ASSERT_TRUE(testing::WaitFor(
        [&] {
          if (converter.ended()) return true;
          const std::size_t files = placing ? f.Visible("out").size() : f.Leftovers().size();
          return files >= target;
        },
        std::chrono::seconds(60), std::chrono::microseconds(200)));
    if (!converter.ended()) {
      ::kill(converter.pid(), SIGKILL);
      kills += converter.Wait() == 128 + SIGKILL;
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
