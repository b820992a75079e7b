#include "tools/ledgerconv/properties.hpp"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>

#include "core/line_index.hpp"
#include "core/text_encoding.hpp"
#include "tools/ledgerconv/export_reader.hpp"
#include "tools/ledgerconv/ubl_writer.hpp"

namespace wfdesk::tools {

namespace {

using Document = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;

bool Named(const xmlNode* node, const char* name) {
  return node->type == XML_ELEMENT_NODE &&
         xmlStrEqual(node->name, reinterpret_cast<const xmlChar*>(name));
}

std::string Content(const xmlNode* node) {
  xmlChar* text = xmlNodeGetContent(node);
  std::string result = text ? reinterpret_cast<const char*>(text) : "";
  xmlFree(text);
  return result;
}

// The first child element of that name, or nullptr.
const xmlNode* Child(const xmlNode* parent, const char* name) {
  for (const xmlNode* node = parent ? parent->children : nullptr; node; node = node->next) {
    if (Named(node, name)) return node;
  }
  return nullptr;
}

// Whether the XML is of the kind the totals call for and carries the
// invoice's number, lines and total: a credit note its total negated.
bool CarriesInvoice(const xmlNode* root, const Invoice& invoice, const InvoiceTotals& totals) {
  const bool credit = IsCreditNote(totals);
  const char* line_name = credit ? "CreditNoteLine" : "InvoiceLine";
  std::size_t lines = 0;
  for (const xmlNode* node = root->children; node; node = node->next) {
    lines += Named(node, line_name) ? 1 : 0;
  }
  const xmlNode* payable = Child(Child(root, "LegalMonetaryTotal"), "PayableAmount");
  const std::int64_t stated = credit ? -totals.payable_cents : totals.payable_cents;
  return Named(root, credit ? "CreditNote" : "Invoice") &&
         Content(Child(root, "ID")) == invoice.number && lines == invoice.items.size() && payable &&
         Content(payable) == FormatCents(stated);
}

__extension__ using Wide = __int128;

// An amount as FormatCents writes it ("-123.45"), in cents; one beyond
// kMaxCents for any other text.
Wide Cents(const xmlNode* amount) {
  const std::string text = amount ? Content(amount) : "";
  const bool negative = !text.empty() && text.front() == '-';
  const std::string digits = text.substr(negative ? 1 : 0);
  const auto point = digits.find('.');
  if (point == std::string::npos || point == 0 || digits.size() - point != 3) return kMaxCents + 1;
  Wide cents = 0;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i == point) continue;
    if (digits[i] < '0' || digits[i] > '9' || cents > kMaxCents) return kMaxCents + 1;
    cents = cents * 10 + (digits[i] - '0');
  }
  return negative ? -cents : cents;
}

// EN 16931's sums as the XML states them: the lines add up to the net total
// (BR-CO-10) and net plus VAT is the gross total (BR-CO-15).
bool AddsUp(const xmlNode* root) {
  const xmlNode* totals = Child(root, "LegalMonetaryTotal");
  Wide lines = 0;  // lines of one sign may go past 64 bits on the way
  for (const xmlNode* node = root->children; node; node = node->next) {
    if (Named(node, "InvoiceLine") || Named(node, "CreditNoteLine")) {
      lines += Cents(Child(node, "LineExtensionAmount"));
    }
  }
  const Wide net = Cents(Child(totals, "TaxExclusiveAmount"));
  return lines == Cents(Child(totals, "LineExtensionAmount")) && lines == net &&
         net + Cents(Child(Child(root, "TaxTotal"), "TaxAmount")) ==
             Cents(Child(totals, "TaxInclusiveAmount"));
}

std::string CheckXml(const Invoice& invoice, const std::string& xml) {
  InvoiceTotals totals;
  if (!ComputeTotals(invoice, totals)) return "invoice " + invoice.number + ": totals too big";
  Document doc(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr,
                             XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
               xmlFreeDoc);
  if (!doc) return "invoice " + invoice.number + ": XML is not well-formed";
  if (!CarriesInvoice(xmlDocGetRootElement(doc.get()), invoice, totals)) {
    return "invoice " + invoice.number + ": XML does not carry its kind, number, lines or total";
  }
  if (!AddsUp(xmlDocGetRootElement(doc.get()))) {
    return "invoice " + invoice.number + ": the XML's lines and totals do not add up";
  }
  return "";
}

std::string CheckInvoice(const Invoice& invoice) {
  if (invoice.items.empty()) return "invoice " + invoice.number + " without lines";
  const std::string xml = UblInvoice(invoice);
  if (xml.empty()) return "invoice " + invoice.number + " has no XML";
  if (UblInvoice(invoice) != xml) return "invoice " + invoice.number + ": XML differs each time";
  return CheckXml(invoice, xml);
}

}  // namespace

std::string CheckConversionProperties(std::string_view bytes) {
  const std::string text = core::AsUtf8(bytes);
  const ExportContent content = ReadExport(text);
  std::vector<core::LineSpan> lines;
  core::IndexLines(text, 0, lines);
  for (const auto& problem : content.problems) {
    if (problem.line < 1 || static_cast<std::size_t>(problem.line) > lines.size()) {
      return "a problem names line " + std::to_string(problem.line);
    }
  }
  for (const auto& invoice : content.invoices) {
    if (std::string broken = CheckInvoice(invoice); !broken.empty()) return broken;
  }
  return "";
}

}  // namespace wfdesk::tools
