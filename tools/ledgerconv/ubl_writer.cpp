#include "tools/ledgerconv/ubl_writer.hpp"

#include <libxml/xmlwriter.h>

#include "validation/ubl_facts.hpp"

namespace wfdesk::tools {

namespace {

constexpr const char* kCurrency = "EUR";

// What tells the XML of a credit note from that of an invoice.
struct DocumentKind {
  const char* root;
  std::string_view name_space;
  const char* type_element;
  const char* type_code;
  const char* line;
  const char* quantity;
};

constexpr DocumentKind kInvoiceKind{"Invoice",
                                    validation::kUblInvoiceNamespace,
                                    "cbc:InvoiceTypeCode",
                                    "380",
                                    "cac:InvoiceLine",
                                    "cbc:InvoicedQuantity"};
constexpr DocumentKind kCreditNoteKind{"CreditNote",
                                       validation::kUblCreditNoteNamespace,
                                       "cbc:CreditNoteTypeCode",
                                       "381",
                                       "cac:CreditNoteLine",
                                       "cbc:CreditedQuantity"};

// libxml2's text writer into memory; the first failure makes the result "".
class XmlOut {
 public:
  XmlOut() : buffer_(xmlBufferCreate()) {
    writer_ = buffer_ ? xmlNewTextWriterMemory(buffer_, 0) : nullptr;
    ok_ = writer_ != nullptr;
    Check(ok_ ? xmlTextWriterSetIndent(writer_, 1) : -1);
    Check(ok_ ? xmlTextWriterSetIndentString(writer_, X("  ")) : -1);
    Check(ok_ ? xmlTextWriterStartDocument(writer_, nullptr, "UTF-8", nullptr) : -1);
  }
  ~XmlOut() {
    if (writer_) xmlFreeTextWriter(writer_);
    if (buffer_) xmlBufferFree(buffer_);
  }
  XmlOut(const XmlOut&) = delete;
  XmlOut& operator=(const XmlOut&) = delete;

  void Start(const char* name) { Check(ok_ ? xmlTextWriterStartElement(writer_, X(name)) : -1); }
  void End() { Check(ok_ ? xmlTextWriterEndElement(writer_) : -1); }
  void Attribute(const char* name, const std::string& value) {
    Check(ok_ ? xmlTextWriterWriteAttribute(writer_, X(name), X(value.c_str())) : -1);
  }
  void Element(const char* name, const std::string& text) {
    Start(name);
    Text(text);
    End();
  }
  void Element(const char* name, const std::string& text, const char* attribute,
               const std::string& value) {
    Start(name);
    Attribute(attribute, value);
    Text(text);
    End();
  }
  void Amount(const char* name, std::int64_t cents) {
    Element(name, FormatCents(cents), "currencyID", kCurrency);
  }

  std::string Finish() {
    Check(ok_ ? xmlTextWriterEndDocument(writer_) : -1);
    Check(ok_ ? xmlTextWriterFlush(writer_) : -1);
    if (!ok_) return "";
    std::string xml(reinterpret_cast<const char*>(xmlBufferContent(buffer_)),
                    static_cast<std::size_t>(xmlBufferLength(buffer_)));
    if (xml.empty() || xml.back() != '\n') xml += '\n';
    return xml;
  }

 private:
  static const xmlChar* X(const char* text) { return reinterpret_cast<const xmlChar*>(text); }
  void Text(const std::string& text) {
    // A NUL would end the text early without a word.
    if (text.find('\0') != std::string::npos) ok_ = false;
    Check(ok_ ? xmlTextWriterWriteString(writer_, X(text.c_str())) : -1);
  }
  void Check(int status) { ok_ = ok_ && status >= 0; }

  xmlBufferPtr buffer_;
  xmlTextWriterPtr writer_ = nullptr;
  bool ok_ = false;
};

std::string Decimal(std::int64_t value, int decimals) {
  std::int64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  const std::int64_t magnitude = value < 0 ? -value : value;  // |value| stays below 10^18
  std::string fraction = std::to_string(magnitude % scale);
  fraction.insert(0, std::size_t(decimals) - fraction.size(), '0');
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  return (value < 0 ? "-" : "") + std::to_string(magnitude / scale) +
         (fraction.empty() ? "" : "." + fraction);
}

// S for standard rated, Z for zero rated: each with its rate.
void TaxCategory(XmlOut& xml, const char* element, std::int64_t vat_hundredths) {
  xml.Start(element);
  xml.Element("cbc:ID", vat_hundredths == 0 ? "Z" : "S");
  xml.Element("cbc:Percent", FormatCents(vat_hundredths));
  xml.Start("cac:TaxScheme");
  xml.Element("cbc:ID", "VAT");
  xml.End();
  xml.End();
}

void PostalAddress(XmlOut& xml, const Address& address) {
  xml.Start("cac:PostalAddress");
  xml.Element("cbc:StreetName", address.street);
  xml.Element("cbc:CityName", address.city);
  if (!address.post_code.empty()) xml.Element("cbc:PostalZone", address.post_code);
  xml.Start("cac:Country");
  xml.Element("cbc:IdentificationCode", address.country);
  xml.End();
  xml.End();
}

void WriteParty(XmlOut& xml, const char* role, const Party& party) {
  xml.Start(role);
  xml.Start("cac:Party");
  xml.Start("cac:PartyName");
  xml.Element("cbc:Name", party.name);
  xml.End();
  PostalAddress(xml, party.address);
  if (!party.vat.empty()) {
    xml.Start("cac:PartyTaxScheme");
    xml.Element("cbc:CompanyID", party.vat);
    xml.Start("cac:TaxScheme");
    xml.Element("cbc:ID", "VAT");
    xml.End();
    xml.End();
  }
  xml.Start("cac:PartyLegalEntity");
  xml.Element("cbc:RegistrationName", party.name);
  xml.End();
  xml.End();
  xml.End();
}

void WriteHead(XmlOut& xml, const Invoice& invoice, const DocumentKind& kind) {
  xml.Start(kind.root);
  xml.Attribute("xmlns", std::string(kind.name_space));
  xml.Attribute("xmlns:cac", std::string(validation::kUblAggregateNamespace));
  xml.Attribute("xmlns:cbc", std::string(validation::kUblBasicNamespace));
  xml.Element("cbc:UBLVersionID", "2.1");
  xml.Element("cbc:CustomizationID", "urn:cen.eu:en16931:2017");
  xml.Element("cbc:ID", invoice.number);
  xml.Element("cbc:IssueDate", invoice.issue_date);
  // A UBL 2.1 credit note has no due date of its own.
  if (&kind == &kInvoiceKind) xml.Element("cbc:DueDate", invoice.due_date);
  xml.Element(kind.type_element, kind.type_code);
  xml.Element("cbc:DocumentCurrencyCode", kCurrency);
  WriteParty(xml, "cac:AccountingSupplierParty", invoice.seller);
  WriteParty(xml, "cac:AccountingCustomerParty", invoice.buyer);
  if (&kind == &kCreditNoteKind) {
    xml.Start("cac:PaymentMeans");
    xml.Element("cbc:PaymentMeansCode", "1");  // UNCL 4461: not defined
    xml.Element("cbc:PaymentDueDate", invoice.due_date);
    xml.End();
  }
}

void WriteTotals(XmlOut& xml, const InvoiceTotals& totals) {
  xml.Start("cac:TaxTotal");
  xml.Amount("cbc:TaxAmount", totals.tax_cents);
  for (const auto& rate : totals.rates) {
    xml.Start("cac:TaxSubtotal");
    xml.Amount("cbc:TaxableAmount", rate.taxable_cents);
    xml.Amount("cbc:TaxAmount", rate.tax_cents);
    TaxCategory(xml, "cac:TaxCategory", rate.vat_hundredths);
    xml.End();
  }
  xml.End();
  xml.Start("cac:LegalMonetaryTotal");
  xml.Amount("cbc:LineExtensionAmount", totals.net_cents);
  xml.Amount("cbc:TaxExclusiveAmount", totals.net_cents);
  xml.Amount("cbc:TaxInclusiveAmount", totals.payable_cents);
  xml.Amount("cbc:PayableAmount", totals.payable_cents);
  xml.End();
}

void WriteLine(XmlOut& xml, int id, const InvoiceItem& item, const DocumentKind& kind) {
  xml.Start(kind.line);
  xml.Element("cbc:ID", std::to_string(id));
  xml.Element(kind.quantity, Decimal(item.quantity_milli, 3), "unitCode", "C62");
  xml.Amount("cbc:LineExtensionAmount", item.amount_cents);
  xml.Start("cac:Item");
  xml.Element("cbc:Name", item.name);
  TaxCategory(xml, "cac:ClassifiedTaxCategory", item.vat_hundredths);
  xml.End();
  xml.Start("cac:Price");
  xml.Element("cbc:PriceAmount", Decimal(item.price_ten_thousandths, 4), "currencyID", kCurrency);
  xml.End();
  xml.End();
}

std::string UblDocument(const Invoice& invoice, const InvoiceTotals& totals,
                        const DocumentKind& kind) {
  XmlOut xml;
  WriteHead(xml, invoice, kind);
  WriteTotals(xml, totals);
  int line_id = 0;
  for (const auto& item : invoice.items) WriteLine(xml, ++line_id, item, kind);
  xml.End();
  return xml.Finish();
}

// The invoice with every quantity and amount negated; its totals, rounded
// away from zero, come out negated as well.
Invoice Negated(const Invoice& invoice) {
  Invoice negated = invoice;
  for (auto& item : negated.items) {
    item.quantity_milli = -item.quantity_milli;
    item.amount_cents = -item.amount_cents;
  }
  return negated;
}

}  // namespace

std::string UblInvoice(const Invoice& invoice) {
  InvoiceTotals totals;
  if (!ComputeTotals(invoice, totals)) return "";
  if (!IsCreditNote(totals)) return UblDocument(invoice, totals, kInvoiceKind);
  const Invoice credited = Negated(invoice);
  if (!ComputeTotals(credited, totals)) return "";
  return UblDocument(credited, totals, kCreditNoteKind);
}

}  // namespace wfdesk::tools
