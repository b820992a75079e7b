#include "tools/ledgerconv/export_reader.hpp"

#include <map>
#include <optional>

#include "core/line_index.hpp"

namespace wfdesk::tools {

namespace {

constexpr int kColumns = 11;
// Largest net amount of an invoice, in cents: a trillion euros. Keeps the
// totals and the VAT of any invoice well inside 64 bits.
constexpr std::int64_t kMaxNetCents = 100'000'000'000'000;

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

// A decimal number with at most `decimals` places, scaled by 10^decimals.
std::optional<std::int64_t> ParseDecimal(const std::string& text, int decimals) {
  if (text.empty()) return std::nullopt;
  std::int64_t whole = 0, fraction = 0;
  int places = -1;
  for (char c : text) {
    if (c == '.' || c == ',') {
      if (places >= 0) return std::nullopt;
      places = 0;
    } else if (c >= '0' && c <= '9') {
      if (places < 0) {
        if (whole > 100000000000LL) return std::nullopt;
        whole = whole * 10 + (c - '0');
      } else {
        if (++places > decimals) return std::nullopt;
        fraction = fraction * 10 + (c - '0');
      }
    } else {
      return std::nullopt;
    }
  }
  if (places == 0) return std::nullopt;  // "12." has no digits after the mark
  std::int64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  for (int i = std::max(places, 0); i < decimals; ++i) fraction *= 10;
  return whole * scale + fraction;
}

bool IsDate(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  const int month = std::stoi(text.substr(5, 2));
  const int day = std::stoi(text.substr(8, 2));
  return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// quantity x price, rounded half up to cents; nothing above kMaxNetCents.
std::optional<std::int64_t> AmountCents(std::int64_t quantity_milli,
                                        std::int64_t price_ten_thousandths) {
  __extension__ using Wide = __int128;
  const Wide product = static_cast<Wide>(quantity_milli) * price_ten_thousandths;  // x 10^7
  const Wide cents = (product + 50000) / 100000;
  if (cents > kMaxNetCents) return std::nullopt;
  return static_cast<std::int64_t>(cents);
}

// Whether an XML document can hold the UTF-8 text: no control character but
// the tab, neither U+FFFE nor U+FFFF.
bool FitsXml(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return false;
  }
  return text.find("\xEF\xBF\xBE") == std::string::npos &&
         text.find("\xEF\xBF\xBF") == std::string::npos;
}

// The invoice line of a line's columns, or why it is malformed.
std::string ReadItem(const std::vector<std::string>& c, Invoice& head, InvoiceItem& item) {
  if (c.size() != kColumns) {
    return std::to_string(c.size()) + " columns instead of " + std::to_string(kColumns);
  }
  for (std::size_t i = 0; i < c.size(); ++i) {
    if (!FitsXml(c[i])) return "column " + std::to_string(i + 1) + " holds a control character";
  }
  if (c[0].empty()) return "no invoice number";
  if (!IsDate(c[1])) return "issue date \"" + c[1] + "\" is not a date YYYY-MM-DD";
  if (!IsDate(c[2])) return "due date \"" + c[2] + "\" is not a date YYYY-MM-DD";
  if (c[3].empty()) return "no seller name";
  if (c[5].empty()) return "no buyer name";
  if (c[7].empty()) return "no item";
  const auto quantity = ParseDecimal(c[8], 3);
  if (!quantity || *quantity == 0) return "quantity \"" + c[8] + "\" is not a positive number";
  const auto price = ParseDecimal(c[9], 4);
  if (!price) return "unit price \"" + c[9] + "\" is not a number";
  const auto vat = ParseDecimal(c[10], 2);
  if (!vat || *vat > 10000) return "VAT rate \"" + c[10] + "\" is not a percentage";
  const auto amount = AmountCents(*quantity, *price);
  if (!amount) return "the amount of the line is too large";
  head = {c[0], c[1], c[2], c[3], c[4], c[5], c[6], {}};
  item = {c[7], *quantity, *price, *vat, *amount};
  return "";
}

bool SameHead(const Invoice& a, const Invoice& b) {
  return a.issue_date == b.issue_date && a.due_date == b.due_date &&
         a.seller_name == b.seller_name && a.seller_vat == b.seller_vat &&
         a.buyer_name == b.buyer_name && a.buyer_vat == b.buyer_vat;
}

bool IsPassedOver(std::string_view line, const std::vector<std::string>& columns) {
  if (line.find_first_not_of(" \t") == std::string_view::npos) return true;
  return line.front() == '#' || columns.front() == "invoice_number";
}

}  // namespace

ExportContent ReadExport(std::string_view text) {
  ExportContent content;
  std::map<std::string, std::size_t> index;  // invoice number -> position
  std::vector<std::int64_t> nets;            // net cents of each invoice
  std::vector<core::LineSpan> lines;
  core::IndexLines(text, 0, lines);
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::string_view line = text.substr(lines[n].begin, lines[n].length);
    const auto columns = SplitColumns(line);
    if (IsPassedOver(line, columns)) continue;
    const int line_number = static_cast<int>(n) + 1;
    Invoice head;
    InvoiceItem item;
    if (std::string why = ReadItem(columns, head, item); !why.empty()) {
      content.problems.push_back({line_number, columns.front(), why});
      continue;
    }
    auto found = index.find(head.number);
    if (found == index.end()) {
      found = index.emplace(head.number, content.invoices.size()).first;
      content.invoices.push_back(head);
      nets.push_back(0);
    } else if (!SameHead(content.invoices[found->second], head)) {
      content.problems.push_back(
          {line_number, head.number, "dates or parties differ from the invoice's first line"});
      continue;
    }
    if (nets[found->second] + item.amount_cents > kMaxNetCents) {
      content.problems.push_back({line_number, head.number, "the invoice's total is too large"});
      continue;
    }
    nets[found->second] += item.amount_cents;
    content.invoices[found->second].items.push_back(item);
  }
  return content;
}

std::string FormatCents(std::int64_t cents) {
  const bool negative = cents < 0;
  if (negative) cents = -cents;
  std::string fraction = std::to_string(cents % 100);
  if (fraction.size() < 2) fraction.insert(0, "0");
  return (negative ? "-" : "") + std::to_string(cents / 100) + "." + fraction;
}

}  // namespace wfdesk::tools
