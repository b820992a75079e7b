// The converter: every invoice read from an export becomes well-formed XML
// whose amounts add up: the lines to the net total, the VAT subtotals to the
// net total and the VAT total, net plus VAT to the payable amount; each line
// and each VAT amount is its exact value rounded to the cent.
#include <fuzzer/FuzzedDataProvider.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <vector>

#include "core/text_encoding.hpp"
#include "fuzz/check.hpp"
#include "tools/ledgerconv/export_reader.hpp"
#include "tools/ledgerconv/ubl_writer.hpp"

namespace {

using wfdesk::fuzz::Check;
__extension__ using Wide = __int128;

std::vector<xmlNode*> Children(const xmlNode* parent, const char* name) {
  std::vector<xmlNode*> found;
  for (xmlNode* n = parent ? parent->children : nullptr; n; n = n->next) {
    if (n->type == XML_ELEMENT_NODE && xmlStrEqual(n->name, BAD_CAST name)) found.push_back(n);
  }
  return found;
}

xmlNode* Child(const xmlNode* parent, const char* name) {
  const auto found = Children(parent, name);
  Check(found.size() == 1, "an element the invoice has once is there once");
  return found.front();
}

// An amount "-?D+.DD" in cents.
std::int64_t Cents(const xmlNode* amount) {
  xmlChar* content = xmlNodeGetContent(amount);
  const std::string text(reinterpret_cast<const char*>(content));
  xmlFree(content);
  const std::size_t sign = text.starts_with('-') ? 1 : 0;
  const std::size_t dot = text.size() >= 3 ? text.size() - 3 : 0;
  Check(text.size() >= sign + 4 && text[dot] == '.', "an amount has two decimals");
  Check(text.find_first_not_of("0123456789.", sign) == std::string::npos && text.find('.') == dot,
        "an amount is digits with one decimal mark");
  std::int64_t cents = 0;
  for (char c : text.substr(sign)) {
    if (c != '.') cents = cents * 10 + (c - '0');
  }
  return sign ? -cents : cents;
}

// |value x 10^scale - exact| stays within half a unit of the last place.
bool RoundsTo(std::int64_t value, Wide exact, Wide scale) {
  const Wide diff = static_cast<Wide>(value) * scale - exact;
  return 2 * diff <= scale && 2 * diff >= -scale;
}

void CheckLines(const xmlNode* root, const wfdesk::tools::Invoice& invoice, std::int64_t net) {
  const auto lines = Children(root, "InvoiceLine");
  Check(lines.size() == invoice.items.size(), "one invoice line per item");
  std::int64_t sum = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto& item = invoice.items[i];
    const std::int64_t amount = Cents(Child(lines[i], "LineExtensionAmount"));
    Check(amount == item.amount_cents, "a line's amount is the item's");
    Check(RoundsTo(amount, Wide(item.quantity_milli) * item.price_ten_thousandths, 100000),
          "a line's amount is quantity times price rounded to the cent");
    sum += amount;
  }
  Check(sum == net, "the lines add up to the net total");
}

std::int64_t CheckTax(const xmlNode* root, std::int64_t net) {
  const xmlNode* total = Child(root, "TaxTotal");
  const std::int64_t tax = Cents(Child(total, "TaxAmount"));
  std::int64_t taxable_sum = 0, tax_sum = 0;
  for (const xmlNode* subtotal : Children(total, "TaxSubtotal")) {
    const std::int64_t taxable = Cents(Child(subtotal, "TaxableAmount"));
    const std::int64_t rate_tax = Cents(Child(subtotal, "TaxAmount"));
    const std::int64_t rate = Cents(Child(Child(subtotal, "TaxCategory"), "Percent"));
    Check(RoundsTo(rate_tax, Wide(taxable) * rate, 10000), "a VAT amount is rate times base");
    taxable_sum += taxable;
    tax_sum += rate_tax;
  }
  Check(taxable_sum == net, "the VAT bases add up to the net total");
  Check(tax_sum == tax, "the VAT subtotals add up to the VAT total");
  return tax;
}

void CheckInvoice(const wfdesk::tools::Invoice& invoice) {
  const std::string xml = wfdesk::tools::UblInvoice(invoice);
  xmlDoc* doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "invoice.xml", nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  Check(doc != nullptr, "the invoice is well-formed XML");
  const xmlNode* root = xmlDocGetRootElement(doc);
  const xmlNode* totals = Child(root, "LegalMonetaryTotal");
  const std::int64_t net = Cents(Child(totals, "LineExtensionAmount"));
  CheckLines(root, invoice, net);
  const std::int64_t tax = CheckTax(root, net);
  Check(Cents(Child(totals, "TaxExclusiveAmount")) == net, "the amount without VAT is the net");
  Check(Cents(Child(totals, "TaxInclusiveAmount")) == net + tax, "net plus VAT is the gross");
  Check(Cents(Child(totals, "PayableAmount")) == net + tax, "the gross is payable");
  xmlFreeDoc(doc);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  xmlInitParser();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // As the converter reads an export file: UTF-8, else Windows-1252.
  const std::string text =
      wfdesk::core::AsUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
  const auto content = wfdesk::tools::ReadExport(text);
  std::size_t items = 0;
  for (const auto& invoice : content.invoices) {
    Check(!invoice.items.empty(), "an invoice read has lines");
    items += invoice.items.size();
    CheckInvoice(invoice);
  }
  Check(items + content.problems.size() <=
            std::size_t(std::count(text.begin(), text.end(), '\n')) +
                std::size_t(std::count(text.begin(), text.end(), '\r')) + 1,
        "no more lines and problems than lines");
  return 0;
}
