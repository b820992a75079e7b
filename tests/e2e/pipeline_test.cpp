// The daily workflow of the example installation end to end: exports in,
// UBL invoices, the upload format, a local portal and its acknowledgements
// back; and what happens when something goes wrong: each case leaves a clear
// message in the log and loses no input.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "core/files.hpp"
#include "tests/tools/connector_testing.hpp"

namespace wfdesk {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::ProgramOutput;
using testing::RunProgram;
using testing::Sandbox;

// The example installation with our programs and a local portal in place.
class PipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy(WFDESK_EXAMPLE, home, fs::copy_options::recursive);
    fs::create_directories(home + "/modules");
    fs::copy_file(WFDESK_CONVERTER, home + "/modules/mod_ledgerconv001_x86_32");
    fs::copy_file(WFDESK_CONNECTOR, home + "/modules/mod_portalsend001_x86_32");
    fs::create_symlink("/usr/bin/xsltproc", home + "/modules/xsltproc");
    SetKey("mpProxy", "http://127.0.0.1:" + std::to_string(portal.port()) + "/ws");
  }

  // Sets a key of the daily workflow's MOD004 section (every key there is unique).
  void SetKey(const std::string& key, const std::string& value) {
    std::string text = box.Read("inst/data/daily.ini");
    const auto start = text.find("\n" + key + "=");
    ASSERT_NE(start, std::string::npos) << key;
    const auto end = text.find("\r\n", start + 1);
    text.replace(start + 1, end - start - 1, key + "=" + value);
    box.Write("inst/data/daily.ini", text);
  }

  ProgramOutput Run() { return RunProgram({WFDESK_CLI, "--home", home, "run", "daily.ini"}); }
  std::string Log() { return box.Read("inst/log/daily.log"); }
  std::size_t Files(const std::string& folder) {
    return core::FolderFileNames(home + "/" + folder).size();
  }

  Sandbox box;
  std::string home = box.Path("inst");
  const testing::LocalPortal portal{home + "/portal-store", "demo-secret"};
};

TEST_F(PipelineTest, EveryInvoiceIsConvertedTransformedUploadedAndAcknowledged) {
  const ProgramOutput run = Run();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "OK\n");
  const std::pair<const char*, std::size_t> counts[] = {
      {"exchange/exports", 0},     {"exchange/exports-archive", 3},
      {"exchange/ubl-archive", 6}, {"exchange/outbox", 0},
      {"exchange/sent", 6},        {"exchange/acks", 6},
      {"exchange/rejected", 0},    {"portal-store", 12}};  // each invoice and its acknowledgement
  for (const auto& [folder, count] : counts) EXPECT_EQ(Files(folder), count) << folder;
  EXPECT_THAT(Log(),
              HasSubstr("ledgerconv: converted 6 invoice(s) from 3 export(s); 0 export(s) kept"));
  EXPECT_THAT(Log(),
              HasSubstr("MODULE MOD002 File valid: " + home + "/exchange/ubl/INV_2026-1006.xml"));
  EXPECT_THAT(Log(), HasSubstr("portalsend: uploaded 6 invoice(s); 0 kept for the next run"));
  EXPECT_THAT(Log(), Not(HasSubstr("demo-secret")));
  EXPECT_THAT(box.Read("inst/exchange/acks/ACK_INV_2026-1004.ack"), HasSubstr("invoice=2026-1004"));
  // The transmission records list the day's uploads at once.
  const ProgramOutput records = RunProgram({WFDESK_CLI, "--home", home, "records", "daily.ini"});
  EXPECT_EQ(records.status, 0) << records.err;
  const std::string ack = box.Read("inst/portal-store/2026-1004.ack");
  EXPECT_THAT(records.out,
              HasSubstr(std::string("2026-1004") + std::string(14, ' ') + "2026-12-02" +
                        std::string(10, ' ') + ack.substr(0, ack.find('\n'))));
  EXPECT_THAT(records.out, HasSubstr("Invoice 2026-1004 to "));

  // The same exports again: every invoice is recorded as accepted, so
  // nothing goes to the portal, and the records stay as they are.
  const std::string database = box.Read("inst/db/transmissions.csv");
  for (const std::string& name : core::FolderFileNames(home + "/exchange/exports-archive")) {
    fs::copy_file(home + "/exchange/exports-archive/" + name, home + "/exchange/exports/" + name);
  }
  const ProgramOutput again = Run();
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_THAT(Log(), HasSubstr("portalsend: uploaded 0 invoice(s); 0 kept for the next run; 6 "
                               "accepted before, not sent again"));
  EXPECT_EQ(Files("exchange/responses"), 6u);
  EXPECT_EQ(Files("exchange/outbox"), 0u);
  EXPECT_EQ(box.Read("inst/db/transmissions.csv"), database);
}

// An invoice that breaks a business rule, put into the UBL folder beside
// the converted ones, is put aside with its report and record; the others
// go out.
TEST_F(PipelineTest, AnInvalidInvoiceIsRejectedWhileTheOthersAreUploaded) {
  std::string invoice = box.Read("inst/exchange/invoices/INV_2026-0101.xml");
  const std::string payable = ">373.20</cbc:PayableAmount>";
  ASSERT_NE(invoice.find(payable), std::string::npos);
  invoice.replace(invoice.find(payable), payable.size(), ">999.00</cbc:PayableAmount>");
  invoice.replace(invoice.find("2026-0101"), 9, "2026-2001");  // a number not recorded yet
  box.Write("inst/exchange/ubl/INV_2026-0101.xml", invoice);

  const ProgramOutput run = Run();
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "MOD002: 1 of 7 files invalid; they are in " + home +
                         "/exchange/rejected, each with its report.\n");
  EXPECT_THAT(Log(), HasSubstr("MODULE MOD002 File invalid: " + home +
                               "/exchange/ubl/INV_2026-0101.xml (BR-CO-16) moved to " + home +
                               "/exchange/rejected/INV_2026-0101.xml"));
  EXPECT_THAT(box.Read("inst/exchange/rejected/INV_2026-0101.xml.report.txt"),
              HasSubstr("BR-CO-16"));
  EXPECT_EQ(Files("exchange/acks"), 6u);
  EXPECT_EQ(Files("exchange/ubl"), 0u);
  EXPECT_THAT(box.Read("inst/db/transmissions.csv"),
              HasSubstr("\n2026-2001;INV_2026-0101.xml;Invalid, not sent: "
                        "Invoice 2026-2001 to Alpenblick Hotel KG;;"
                        "EUR;2026-12-01;999.00;UBL 2.1;ebi40;invalid;;;0\r\n"));
}

TEST_F(PipelineTest, AWrongPasswordIsRefusedAndKeepsTheInvoices) {
  SetKey("mpPassword", "not-the-password");
  const auto run = Run();
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "MOD004: Das Programm " + home +
                         "/modules/mod_portalsend001_x86_32 hat Daten für den nächsten Lauf "
                         "zurückbehalten (Status 75); Details im Log.\n");
  EXPECT_THAT(Log(), HasSubstr("HTTP 401, user name or password is wrong; kept for the next run"));
  EXPECT_THAT(Log(), HasSubstr("MODULE MOD004 EXIT: 75"));
  EXPECT_EQ(Files("exchange/outbox"), 6u);
  EXPECT_EQ(Files("exchange/acks"), 0u);
}

TEST_F(PipelineTest, AMalformedExportLineKeepsThatExport) {
  const std::string export_file = "inst/exchange/exports/export-2026-12-02.csv";
  box.Write(export_file, box.Read(export_file) +
                             "2026-1007;2026-12-02;2027-01-01;Muster;ATU1;Street;Wien;1010;AT;"
                             "Buyer;;Street;Linz;4020;AT;Item;two;1,00;20\r\n");
  // The run fails, but the chain goes on: the good exports go out today.
  EXPECT_EQ(Run().status, 1);
  EXPECT_THAT(Log(), HasSubstr("MALFORMED " + home +
                               "/exchange/exports/export-2026-12-02.csv:5: quantity \"two\" is"));
  EXPECT_TRUE(box.Exists(export_file));
  EXPECT_EQ(Files("exchange/acks"), 4u);  // the other two exports went through
}

}  // namespace
}  // namespace wfdesk
