#pragma once

// Invoice exports of the accounting system: semicolon-separated text, one
// line per invoice line, in these columns:
//
//   1 invoice number   2 issue date (YYYY-MM-DD)   3 due date (YYYY-MM-DD)
//   4 seller name      5 seller VAT ID             6 buyer name
//   7 buyer VAT ID     8 item                      9 quantity
//  10 unit price (EUR, net)                       11 VAT rate in percent
//
// Numbers take "." or "," as the decimal mark. Empty lines, lines starting
// with "#" and a header line whose first column is "invoice_number" are
// passed over. All lines of one invoice name the same dates and parties.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wfdesk::tools {

struct InvoiceItem {
  std::string name;
  std::int64_t quantity_milli = 0;         // quantity x 1000
  std::int64_t price_ten_thousandths = 0;  // unit price x 10000
  std::int64_t vat_hundredths = 0;         // VAT rate in percent x 100
  std::int64_t amount_cents = 0;           // quantity x unit price, rounded
};

struct Invoice {
  std::string number;
  std::string issue_date;
  std::string due_date;
  std::string seller_name;
  std::string seller_vat;
  std::string buyer_name;
  std::string buyer_vat;
  std::vector<InvoiceItem> items;
};

struct ExportProblem {
  int line = 0;
  std::string invoice;  // the invoice the line belongs to, when known
  std::string reason;
};

struct ExportContent {
  std::vector<Invoice> invoices;  // in the order they first appear
  std::vector<ExportProblem> problems;
};

// Reads an export's text (UTF-8).
ExportContent ReadExport(std::string_view text);

// "123.45" for 12345.
std::string FormatCents(std::int64_t cents);

}  // namespace wfdesk::tools
