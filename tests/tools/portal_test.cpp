// The local portal: the converter's invoices and credit notes, brought into
// the upload format by the example installation's stylesheet, are accepted
// with their document type; malformed uploads are refused, and an invoice
// number uploaded before is answered as it always was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include "core/files.hpp"
#include "tests/tools/connector_testing.hpp"

namespace wfdesk::tools {
namespace {

using ::testing::HasSubstr;
using testing::Sandbox;

class PortalTest : public ::testing::Test {
 protected:
  // The portal's status and answer for an upload.
  std::pair<int, std::string> Upload(const std::string& body) {
    httplib::Client client("127.0.0.1", portal_.port());
    client.set_basic_auth("demo", "secret");
    const auto result = client.Post("/ws", body, "text/xml");
    if (!result) return {0, "no answer"};
    return {result->status, result->body};
  }

  // The upload format of each invoice the converter makes of an export.
  std::vector<std::string> UploadsOf(const std::string& export_text) {
    box_.Write("in/e.csv", export_text);
    box_.MakeFolder("out");
    const auto converted =
        testing::RunProgram({WFDESK_CONVERTER, "-f", box_.Path("in"), "-ifm", "*.csv", "-fp",
                             box_.Path("out"), "-fe", "xml", "-lf", box_.Path("log")});
    EXPECT_EQ(converted.status, 0) << box_.Read("log");
    std::vector<std::string> uploads;
    for (const auto& name : core::FolderFileNames(box_.Path("out"))) {
      const auto transformed =
          testing::RunProgram({"/usr/bin/xsltproc", WFDESK_UPLOAD_XSL, box_.Path("out/" + name)});
      EXPECT_EQ(transformed.status, 0) << transformed.err;
      uploads.push_back(transformed.out);
    }
    return uploads;
  }

  Sandbox box_;
  const testing::LocalPortal portal_{box_.Path("store"), "secret"};
};

std::string Line(const std::string& number, const std::string& item) {
  return number +
         ";2026-12-01;2026-12-31;Seller GmbH;ATU12345678;Main St 1;Wien;1010;AT;"
         "Buyer & Co;DE123456789;Side St 2;Berlin;10115;DE;" +
         item + "\r\n";
}

TEST_F(PortalTest, AcceptsTheConvertersCreditNotesAndInvoicesWithTheirDocumentType) {
  // Files in name order: the credit note INV_C-1.xml, then INV_M-1.xml.
  const auto uploads = UploadsOf(Line("C-1", "Coffee;-2;10;20") + Line("C-1", "Book;-1;5,5;10") +
                                 Line("M-1", "Coffee;3;10;20") + Line("M-1", "Coffee;-1;10;20"));
  ASSERT_EQ(uploads.size(), 2u);
  EXPECT_THAT(
      uploads[0],
      HasSubstr("type=\"CreditNote\" number=\"C-1\" issued=\"2026-12-01\" due=\"2026-12-31\""));
  EXPECT_THAT(uploads[0], HasSubstr("quantity=\"2\" unitPrice=\"10\" amount=\"20.00\""));
  EXPECT_THAT(uploads[0], HasSubstr("<inv:Totals net=\"25.50\" tax=\"4.55\" payable=\"30.05\"/>"));
  EXPECT_THAT(
      uploads[1],
      HasSubstr("type=\"Invoice\" number=\"M-1\" issued=\"2026-12-01\" due=\"2026-12-31\""));
  EXPECT_THAT(uploads[1], HasSubstr("quantity=\"-1\" unitPrice=\"10\" amount=\"-10.00\""));
  for (const auto& [upload, type] :
       {std::pair{uploads[0], "CreditNote"}, {uploads[1], "Invoice"}}) {
    const auto [status, answer] = Upload(upload);
    EXPECT_EQ(status, 200) << answer;
    EXPECT_THAT(answer, HasSubstr("<ws:DocumentType>" + std::string(type) +
                                  "</ws:DocumentType><ws:State>accepted</ws:State>"));
  }
}

struct RequestCase {
  std::string name;
  std::string body;
  int status;
  std::string answer_part;
};

std::string UploadOf(const std::string& attributes) {
  return "<inv:Invoice xmlns:inv=\"urn:wfdesk:portal:invoice:1\" " + attributes +
         "><inv:Totals payable=\"1.00\"/></inv:Invoice>";
}

TEST_F(PortalTest, RefusesMalformedUploadsAndAnswersAnInvoiceNumberUploadedBefore) {
  const std::vector<RequestCase> table = {
      {"not XML", "<inv:Invoice", 400, "not well-formed XML"},
      {"no invoice", "<other/>", 400, "the request holds no invoice"},
      {"no number", UploadOf("type=\"Invoice\""), 400, "the request holds no invoice"},
      {"unknown type", UploadOf("type=\"Receipt\" number=\"1\""), 400,
       "type &quot;Receipt&quot; is neither Invoice nor CreditNote"},
      {"no type", UploadOf("number=\"A/1\""), 200, "<ws:DocumentType>Invoice</ws:DocumentType>"},
      {"a number of the same file name before", UploadOf("type=\"CreditNote\" number=\"A_1\""), 200,
       "<ws:DocumentType>CreditNote</ws:DocumentType>"},
      {"the same again", UploadOf("type=\"CreditNote\" number=\"A_1\""), 409,
       "invoice A_1 was uploaded before (ACK-"},
      {"other content under a known number", UploadOf("type=\"Invoice\" number=\"A_1\""), 409,
       "invoice A_1 was uploaded before with other content"},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    const auto [status, answer] = Upload(row.body);
    EXPECT_EQ(status, row.status) << answer;
    EXPECT_THAT(answer, HasSubstr(row.answer_part));
  }
}

}  // namespace
}  // namespace wfdesk::tools
