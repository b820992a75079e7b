#include "tools/ledgerconv/export_reader.hpp"

#include <map>

#include "core/line_index.hpp"
#include "tools/ledgerconv/export_fields.hpp"

namespace wfdesk::tools {

namespace {

constexpr std::size_t kColumns = 19;
constexpr std::size_t kColumnsWithoutAddresses = 11;

__extension__ using Wide = __int128;

// value / divisor rounded half away from zero: a returned item's amount is
// exactly the negation of the same item sold.
Wide RoundedQuotient(Wide value, Wide divisor) {
  const Wide half = divisor / 2;
  return value < 0 ? -((half - value) / divisor) : (value + half) / divisor;
}

Wide Magnitude(Wide value) {
  return value < 0 ? -value : value;
}

const char* const kColumnNames[kColumns] = {
    "invoice number", "issue date",       "due date",
    "seller name",    "seller VAT ID",    "seller street",
    "seller city",    "seller post code", "seller country code",
    "buyer name",     "buyer VAT ID",     "buyer street",
    "buyer city",     "buyer post code",  "buyer country code",
    "item",           "quantity",         "unit price",
    "VAT rate"};

enum Column : std::size_t {
  kNumber,
  kIssued,
  kDue,
  kSeller = 3,
  kBuyer = 9,
  kItem = 15,
  kQuantity,
  kPrice,
  kVat
};
// Offsets from kSeller or kBuyer.
enum PartyColumn : std::size_t { kName, kVatId, kStreet, kCity, kPostCode, kCountry };

std::vector<std::string> SplitColumns(std::string_view line) {
  std::vector<std::string> columns;
  std::size_t start = 0;
  for (;;) {
    const auto semicolon = line.find(';', start);
    std::string_view column = line.substr(start, semicolon - start);
    while (!column.empty() && (column.front() == ' ' || column.front() == '\t'))
      column.remove_prefix(1);
    while (!column.empty() && (column.back() == ' ' || column.back() == '\t'))
      column.remove_suffix(1);
    columns.emplace_back(column);
    if (semicolon == std::string_view::npos) break;
    start = semicolon + 1;
  }
  return columns;
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

std::string CountColumns(std::size_t count) {
  std::string why = std::to_string(count) + " columns instead of " + std::to_string(kColumns);
  if (count == kColumnsWithoutAddresses) {
    why +=
        ": the addresses of seller and buyer are missing (street, city, post code and "
        "country code after each one's VAT ID)";
  }
  return why;
}

std::string CheckCharacters(const std::vector<std::string>& c) {
  for (std::size_t i = 0; i < c.size(); ++i) {
    if (std::string why = UnfitCharacter(c[i]); !why.empty()) {
      return std::string(kColumnNames[i]) + " holds " + why;
    }
  }
  return "";
}

std::string CheckVatId(const std::string& id, const char* whose) {
  if (id.size() > 2 && (id.compare(0, 2, "EL") == 0 || IsCountryCode(id.substr(0, 2)))) return "";
  return whose + std::string(" VAT ID ") + Quoted(id) + " does not begin with a country code";
}

// Reads the six columns of a party from `first` on.
std::string ReadParty(const std::vector<std::string>& c, std::size_t first, const char* whose,
                      Party& party) {
  const std::string role = whose;
  party = {c[first + kName],
           c[first + kVatId],
           {c[first + kStreet], c[first + kCity], c[first + kPostCode], c[first + kCountry]}};
  if (party.name.empty()) return "no " + role + " name";
  if (party.address.street.empty()) return "no " + role + " street";
  if (party.address.city.empty()) return "no " + role + " city";
  if (party.address.country.empty()) return "no " + role + " country code";
  if (!IsCountryCode(party.address.country)) {
    return role + " country code " + Quoted(party.address.country) +
           " is not an ISO 3166 code such as AT";
  }
  if (!party.vat.empty()) return CheckVatId(party.vat, whose);
  return "";
}

std::string ReadHead(const std::vector<std::string>& c, Invoice& head) {
  if (c[kNumber].empty()) return "no invoice number";
  if (!IsRealDate(c[kIssued])) return "issue date " + Quoted(c[kIssued]) + " is not a date";
  if (!IsRealDate(c[kDue])) return "due date " + Quoted(c[kDue]) + " is not a date";
  head.number = c[kNumber];
  head.issue_date = c[kIssued];
  head.due_date = c[kDue];
  if (auto why = ReadParty(c, kSeller, "seller", head.seller); !why.empty()) return why;
  // The buyer identifies the seller by it, and VAT is charged under it.
  if (head.seller.vat.empty()) return "no seller VAT ID";
  return ReadParty(c, kBuyer, "buyer", head.buyer);
}

std::string ReadLineItem(const std::vector<std::string>& c, InvoiceItem& item) {
  if (c[kItem].empty()) return "no item";
  const auto quantity = ParseSignedDecimal(c[kQuantity], 3);
  if (!quantity || *quantity == 0) {
    return "quantity " + Quoted(c[kQuantity]) +
           " is not a number other than 0 with at most 3 decimal places and 15 digits";
  }
  const auto price = ParseDecimal(c[kPrice], 4);
  if (!price) {
    return "unit price " + Quoted(c[kPrice]) +
           " is not a number of at least 0 with at most 4 decimal places and 14 digits";
  }
  const auto vat = ParseDecimal(c[kVat], 2);
  if (!vat || *vat > 10000) return "VAT rate " + Quoted(c[kVat]) + " is not a percentage";
  // quantity x price is in units of 10^-7.
  const Wide amount = RoundedQuotient(static_cast<Wide>(*quantity) * *price, 100000);
  if (Magnitude(amount) > kMaxCents) {
    return "amount " + c[kQuantity] + " x " + c[kPrice] +
           " is beyond the largest amount an invoice carries (" + FormatCents(kMaxCents) + ")";
  }
  item = {c[kItem], *quantity, *price, *vat, static_cast<std::int64_t>(amount)};
  return "";
}

// The invoice head and line of a line's columns, or why it is malformed.
std::string ReadItem(const std::vector<std::string>& c, Invoice& head, InvoiceItem& item) {
  if (c.size() != kColumns) return CountColumns(c.size());
  if (std::string why = CheckCharacters(c); !why.empty()) return why;
  if (std::string why = ReadHead(c, head); !why.empty()) return why;
  return ReadLineItem(c, item);
}

bool SameHead(const Invoice& a, const Invoice& b) {
  return a.issue_date == b.issue_date && a.due_date == b.due_date && a.seller == b.seller &&
         a.buyer == b.buyer;
}

bool IsPassedOver(std::string_view line, const std::vector<std::string>& columns) {
  if (line.find_first_not_of(" \t") == std::string_view::npos) return true;
  return line.front() == '#' || columns.front() == "invoice_number";
}

// Adds a read line to its invoice; why it does not fit there otherwise.
std::string AddLine(ExportContent& content, std::map<std::string, std::size_t>& index,
                    Invoice& head, InvoiceItem& item) {
  auto found = index.find(head.number);
  if (found == index.end()) {
    found = index.emplace(head.number, content.invoices.size()).first;
    content.invoices.push_back(std::move(head));
  } else if (!SameHead(content.invoices[found->second], head)) {
    return "dates or parties differ from the invoice's first line";
  }
  content.invoices[found->second].items.push_back(std::move(item));
  return "";
}

// Refuses the invoices whose sums go beyond kMaxCents: they name a problem
// and are no longer among the invoices.
void CheckTotals(ExportContent& content) {
  std::erase_if(content.invoices, [&](const Invoice& invoice) {
    InvoiceTotals totals;
    if (ComputeTotals(invoice, totals)) return false;
    content.problems.push_back({invoice.first_line, invoice.number,
                                "the invoice's total is beyond the largest amount an invoice "
                                "carries (" +
                                    FormatCents(kMaxCents) + ")"});
    return true;
  });
}

}  // namespace

bool ComputeTotals(const Invoice& invoice, InvoiceTotals& totals) {
  std::map<std::int64_t, Wide> taxable_by_rate;
  Wide net = 0;
  for (const auto& item : invoice.items) {
    net += item.amount_cents;
    taxable_by_rate[item.vat_hundredths] += item.amount_cents;
  }
  totals = {};
  Wide tax = 0;
  for (const auto& [rate, taxable] : taxable_by_rate) {
    const Wide rate_tax = RoundedQuotient(taxable * rate, 10000);
    tax += rate_tax;
    if (Magnitude(taxable) > kMaxCents || Magnitude(rate_tax) > kMaxCents) return false;
    totals.rates.push_back(
        {rate, static_cast<std::int64_t>(taxable), static_cast<std::int64_t>(rate_tax)});
  }
  // With returns the sums need not grow from net to payable.
  for (const Wide sum : {net, tax, net + tax}) {
    if (Magnitude(sum) > kMaxCents) return false;
  }
  totals.net_cents = static_cast<std::int64_t>(net);
  totals.tax_cents = static_cast<std::int64_t>(tax);
  totals.payable_cents = static_cast<std::int64_t>(net + tax);
  return true;
}

ExportContent ReadExport(std::string_view text) {
  ExportContent content;
  std::map<std::string, std::size_t> index;  // invoice number -> position
  std::vector<core::LineSpan> lines;
  core::IndexLines(text, 0, lines);
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::string_view line = text.substr(lines[n].begin, lines[n].length);
    const auto columns = SplitColumns(line);
    if (IsPassedOver(line, columns)) continue;
    const int line_number = static_cast<int>(n) + 1;
    Invoice head;
    head.first_line = line_number;
    InvoiceItem item;
    std::string why = ReadItem(columns, head, item);
    if (why.empty()) why = AddLine(content, index, head, item);
    if (why.empty()) continue;
    // A number that cannot stand in an invoice cannot stand in the log either.
    const bool fit = UnfitCharacter(columns.front()).empty();
    content.problems.push_back({line_number, fit ? columns.front() : "", why});
  }
  CheckTotals(content);
  return content;
}

std::string FormatCents(std::int64_t cents) {
  const bool negative = cents < 0;
  const auto magnitude =
      negative ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
  std::string fraction = std::to_string(magnitude % 100);
  if (fraction.size() < 2) fraction.insert(0, "0");
  return (negative ? "-" : "") + std::to_string(magnitude / 100) + "." + fraction;
}

}  // namespace wfdesk::tools
