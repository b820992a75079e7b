#pragma once

// Invoice exports of the accounting system: semicolon-separated text, one
// line per invoice line, in these columns:
//
//   1 invoice number     2 issue date (YYYY-MM-DD)   3 due date (YYYY-MM-DD)
//   4 seller name        5 seller VAT ID
//   6 seller street      7 seller city   8 seller post code   9 seller country code
//  10 buyer name        11 buyer VAT ID
//  12 buyer street      13 buyer city   14 buyer post code   15 buyer country code
//  16 item              17 quantity     18 unit price (EUR, net)
//  19 VAT rate in percent
//
// A returned item has a negative quantity (the price stays positive); an
// invoice whose total comes out negative is a credit note.
// Numbers take "." or "," as the decimal mark. Country codes are ISO 3166
// two-letter codes; VAT IDs begin with one ("EL" for Greece). The seller's
// VAT ID, both streets, cities and country codes are required; a post code
// may be empty, as some countries have none. Empty lines, lines starting
// with "#" and a header line whose first column is "invoice_number" are
// passed over. All lines of one invoice name the same dates and parties.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wfdesk::tools {

struct InvoiceItem {
  std::string name;
  std::int64_t quantity_milli = 0;         // quantity x 1000; negative for a return
  std::int64_t price_ten_thousandths = 0;  // unit price x 10000
  std::int64_t vat_hundredths = 0;         // VAT rate in percent x 100
  std::int64_t amount_cents = 0;           // quantity x unit price, rounded half away from zero
};

struct Address {
  std::string street;
  std::string city;
  std::string post_code;
  std::string country;  // ISO 3166-1 alpha-2

  bool operator==(const Address&) const = default;
};

struct Party {
  std::string name;
  std::string vat;
  Address address;

  bool operator==(const Party&) const = default;
};

struct Invoice {
  std::string number;
  std::string issue_date;
  std::string due_date;
  Party seller;
  Party buyer;
  std::vector<InvoiceItem> items;
  int first_line = 0;  // the export line it starts on
};

// The sums of an invoice in cents. The VAT of each rate is its taxable
// amount times the rate, rounded half away from zero to cents. A negative
// payable amount makes the invoice a credit note.
struct InvoiceTotals {
  struct Rate {
    std::int64_t vat_hundredths = 0;
    std::int64_t taxable_cents = 0;
    std::int64_t tax_cents = 0;
  };
  std::vector<Rate> rates;  // by ascending rate
  std::int64_t net_cents = 0;
  std::int64_t tax_cents = 0;
  std::int64_t payable_cents = 0;
};

// The largest amount an invoice carries, in cents: 18 digits, as many as
// every XML Schema processor reads exactly in a decimal.
inline constexpr std::int64_t kMaxCents = 999'999'999'999'999'999;

// False when a sum goes beyond kMaxCents either way.
bool ComputeTotals(const Invoice& invoice, InvoiceTotals& totals);

inline bool IsCreditNote(const InvoiceTotals& totals) {
  return totals.payable_cents < 0;
}

struct ExportProblem {
  int line = 0;
  std::string invoice;  // the invoice the line belongs to, when known
  std::string reason;
};

struct ExportContent {
  std::vector<Invoice> invoices;  // in the order they first appear, but those too big
  std::vector<ExportProblem> problems;
};

// Reads an export's text (UTF-8).
ExportContent ReadExport(std::string_view text);

// "123.45" for 12345.
std::string FormatCents(std::int64_t cents);

}  // namespace wfdesk::tools
