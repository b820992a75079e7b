// The converter's reading of exports and the invoices it writes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/text_encoding.hpp"
#include "tools/common/switches.hpp"
#include "tools/ledgerconv/export_reader.hpp"
#include "tools/ledgerconv/ubl_writer.hpp"

namespace wfdesk::tools {
namespace {

using ::testing::HasSubstr;

const std::string kHead = "2026-12-01;2026-12-31;Seller GmbH;ATU1;Buyer & Co;ATU2;";

TEST(ExportReader, GroupsLinesByInvoiceAndRoundsAmounts) {
  const ExportContent content = ReadExport(
      "invoice_number;issue_date;due_date;seller_name;seller_vat;buyer_name;buyer_vat;item;"
      "quantity;unit_price;vat_rate\r\n"
      "# a comment\r\n\r\n"
      "A-1;" +
      kHead +
      "Coffee;3;0,335;20\r\n"
      "B-2;" +
      kHead +
      "Tea;1.5;2.10;10\r\n"
      "A-1;" +
      kHead + "Milk;2;1,25;10\r\n");
  ASSERT_TRUE(content.problems.empty());
  ASSERT_EQ(content.invoices.size(), 2u);
  EXPECT_EQ(content.invoices[0].number, "A-1");
  ASSERT_EQ(content.invoices[0].items.size(), 2u);
  EXPECT_EQ(content.invoices[0].items[0].amount_cents, 101);  // 1.005 rounds up
  EXPECT_EQ(content.invoices[1].items[0].amount_cents, 315);
  EXPECT_EQ(FormatCents(5), "0.05");
}

TEST(ExportReader, ReportsMalformedLinesWithTheirNumbers) {
  const ExportContent content =
      ReadExport("A-1;" + kHead +
                 "Coffee;3;1;20\r\n"                             // 1: fine
                 "A-2;2026-13-01;2026-12-31;S;;B;;X;1;1;20\r\n"  // 2: month 13
                 "A-3;" +
                 kHead +
                 "X;0;1;20\r\n"  // 3: quantity 0
                 "A-4;" +
                 kHead +
                 "X;1;1,2,3;20\r\n"  // 4: two decimal marks
                 "A-5;" +
                 kHead +
                 "X;1;1;120\r\n"       // 5: VAT above 100 %
                 "A-6;only;three\r\n"  // 6: columns
                 "A-1;2026-12-02;2026-12-31;Seller GmbH;ATU1;Buyer & Co;ATU2;Y;1;1;20\r\n");  // 7
  std::vector<int> lines;
  for (const auto& problem : content.problems) lines.push_back(problem.line);
  EXPECT_THAT(lines, ::testing::ElementsAre(2, 3, 4, 5, 6, 7));
  EXPECT_THAT(content.problems[5].reason, HasSubstr("differ"));
  EXPECT_EQ(content.problems[1].invoice, "A-3");
}

TEST(ExportReader, RefusesCharactersAnInvoiceCannotCarry) {
  const ExportContent content =
      ReadExport("A-1;" + kHead + "X\x01;1;1;20\r\n" +          // control
                 "A-2;" + kHead + "X\tY;1;1;20\r\n" +           // tab: fine
                 "A-3;" + kHead + "X\xEF\xBF\xBF;1;1;20\r\n" +  // U+FFFF
                 "A-4;2026-12-01;2026-12-31;S;" + std::string(1, '\0') + ";B;;X;1;1;20");
  std::vector<int> lines;
  for (const auto& problem : content.problems) lines.push_back(problem.line);
  EXPECT_THAT(lines, ::testing::ElementsAre(1, 3, 4));
  ASSERT_EQ(content.invoices.size(), 1u);
  EXPECT_THAT(content.problems[0].reason, HasSubstr("column 8"));
  EXPECT_THAT(content.problems[2].reason, HasSubstr("column 5"));
}

TEST(ExportReader, RefusesAmountsBeyondATrillionEuros) {
  // 10^11 x 10^4 is too large for one line; two lines of 6 x 10^11 each fit
  // alone but not together on one invoice.
  const ExportContent content =
      ReadExport("A-1;" + kHead + "X;100000000000;10000;20\r\n" + "A-2;" + kHead +
                 "X;600000000000;1;20\r\n" + "A-2;" + kHead + "Y;600000000000;1;20\r\n");
  std::vector<int> lines;
  for (const auto& problem : content.problems) lines.push_back(problem.line);
  EXPECT_THAT(lines, ::testing::ElementsAre(1, 3));
  ASSERT_EQ(content.invoices.size(), 1u);
  EXPECT_EQ(content.invoices[0].items.size(), 1u);
}

TEST(UblWriter, WritesTotalsPerVatRateAndEscapesText) {
  const ExportContent content =
      ReadExport("A<1>;" + kHead + "Coffee;2;10;20\r\nA<1>;" + kHead + "Book;1;5,5;10\r\n");
  const std::string xml = UblInvoice(content.invoices.at(0));
  EXPECT_THAT(xml, HasSubstr("<cbc:ID>A&lt;1&gt;</cbc:ID>"));
  EXPECT_THAT(xml, HasSubstr("<cbc:Name>Buyer &amp; Co</cbc:Name>"));
  EXPECT_THAT(xml, HasSubstr("<cbc:TaxAmount currencyID=\"EUR\">4.55</cbc:TaxAmount>"));
  EXPECT_THAT(xml, HasSubstr("<cbc:PayableAmount currencyID=\"EUR\">30.05</cbc:PayableAmount>"));
  EXPECT_THAT(xml, HasSubstr("<cbc:PriceAmount currencyID=\"EUR\">5.5</cbc:PriceAmount>"));
}

TEST(ToolText, Windows1252BecomesUtf8AndSwitchesComeInPairs) {
  EXPECT_EQ(core::AsUtf8("B\xE4"
                         "cker \x80"),
            "B\xC3\xA4"
            "cker \xE2\x82\xAC");
  EXPECT_EQ(core::AsUtf8("\xEF\xBB\xBF"
                         "B\xC3\xA4"),
            "B\xC3\xA4");
  EXPECT_EQ(SafeFileName("2026/10 a"), "2026_10_a");
  std::string error;
  const char* good[] = {"prog", "-f", "in", "-fe", "xml"};
  const auto parsed = Switches::Parse(5, const_cast<char**>(good), {"-f", "-fe"}, error);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->Get("-fe"), "xml");
  EXPECT_EQ(parsed->Get("-px", "none"), "none");
  const char* unknown[] = {"prog", "-x", "1"};
  EXPECT_FALSE(Switches::Parse(3, const_cast<char**>(unknown), {"-f"}, error));
  const char* lonely[] = {"prog", "-f"};
  EXPECT_FALSE(Switches::Parse(2, const_cast<char**>(lonely), {"-f"}, error));
}

}  // namespace
}  // namespace wfdesk::tools
