#include "tools/ledgerconv/ubl_writer.hpp"

#include <map>

#include "tools/common/switches.hpp"

namespace wfdesk::tools {

namespace {

std::string Amount(const char* element, std::int64_t cents) {
  return std::string("<cbc:") + element + " currencyID=\"EUR\">" + FormatCents(cents) +
         "</cbc:" + element + ">";
}

std::string Percent(std::int64_t hundredths) {
  return FormatCents(hundredths);
}

std::string Decimal(std::int64_t value, int decimals) {
  std::int64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  std::string fraction = std::to_string(value % scale);
  fraction.insert(0, std::size_t(decimals) - fraction.size(), '0');
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  return std::to_string(value / scale) + (fraction.empty() ? "" : "." + fraction);
}

std::string TaxCategory(const char* element, std::int64_t vat_hundredths) {
  return std::string("<cac:") + element + "><cbc:ID>" + (vat_hundredths == 0 ? "Z" : "S") +
         "</cbc:ID><cbc:Percent>" + Percent(vat_hundredths) +
         "</cbc:Percent><cac:TaxScheme><cbc:ID>VAT</cbc:ID></cac:TaxScheme></cac:" + element + ">";
}

std::string Party(const char* element, const std::string& name, const std::string& vat) {
  std::string party = std::string("  <cac:") + element + "><cac:Party>\n" +
                      "    <cac:PartyName><cbc:Name>" + XmlEscape(name) +
                      "</cbc:Name></cac:PartyName>\n";
  if (!vat.empty()) {
    party += "    <cac:PartyTaxScheme><cbc:CompanyID>" + XmlEscape(vat) +
             "</cbc:CompanyID><cac:TaxScheme><cbc:ID>VAT</cbc:ID></cac:TaxScheme>"
             "</cac:PartyTaxScheme>\n";
  }
  party += "    <cac:PartyLegalEntity><cbc:RegistrationName>" + XmlEscape(name) +
           "</cbc:RegistrationName></cac:PartyLegalEntity>\n";
  return party + "  </cac:Party></cac:" + element + ">\n";
}

}  // namespace

std::string UblInvoice(const Invoice& invoice) {
  std::int64_t net = 0;
  std::map<std::int64_t, std::int64_t> net_by_rate;
  for (const auto& item : invoice.items) {
    net += item.amount_cents;
    net_by_rate[item.vat_hundredths] += item.amount_cents;
  }
  std::int64_t tax = 0;
  std::string subtotals;
  for (const auto& [rate, taxable] : net_by_rate) {
    const std::int64_t rate_tax = (taxable * rate + 5000) / 10000;
    tax += rate_tax;
    subtotals += "    <cac:TaxSubtotal>" + Amount("TaxableAmount", taxable) +
                 Amount("TaxAmount", rate_tax) + TaxCategory("TaxCategory", rate) +
                 "</cac:TaxSubtotal>\n";
  }

  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<Invoice xmlns=\"urn:oasis:names:specification:ubl:schema:xsd:Invoice-2\"\n"
      "         "
      "xmlns:cac=\"urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2\"\n"
      "         "
      "xmlns:cbc=\"urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2\">\n"
      "  <cbc:UBLVersionID>2.1</cbc:UBLVersionID>\n"
      "  <cbc:CustomizationID>urn:cen.eu:en16931:2017</cbc:CustomizationID>\n";
  xml += "  <cbc:ID>" + XmlEscape(invoice.number) + "</cbc:ID>\n";
  xml += "  <cbc:IssueDate>" + invoice.issue_date + "</cbc:IssueDate>\n";
  xml += "  <cbc:DueDate>" + invoice.due_date + "</cbc:DueDate>\n";
  xml += "  <cbc:InvoiceTypeCode>380</cbc:InvoiceTypeCode>\n";
  xml += "  <cbc:DocumentCurrencyCode>EUR</cbc:DocumentCurrencyCode>\n";
  xml += Party("AccountingSupplierParty", invoice.seller_name, invoice.seller_vat);
  xml += Party("AccountingCustomerParty", invoice.buyer_name, invoice.buyer_vat);
  xml += "  <cac:TaxTotal>" + Amount("TaxAmount", tax) + "\n" + subtotals + "  </cac:TaxTotal>\n";
  xml += "  <cac:LegalMonetaryTotal>" + Amount("LineExtensionAmount", net) +
         Amount("TaxExclusiveAmount", net) + Amount("TaxInclusiveAmount", net + tax) +
         Amount("PayableAmount", net + tax) + "</cac:LegalMonetaryTotal>\n";
  int line_id = 0;
  for (const auto& item : invoice.items) {
    xml += "  <cac:InvoiceLine>\n";
    xml += "    <cbc:ID>" + std::to_string(++line_id) + "</cbc:ID>\n";
    xml += "    <cbc:InvoicedQuantity unitCode=\"C62\">" + Decimal(item.quantity_milli, 3) +
           "</cbc:InvoicedQuantity>\n";
    xml += "    " + Amount("LineExtensionAmount", item.amount_cents) + "\n";
    xml += "    <cac:Item><cbc:Name>" + XmlEscape(item.name) + "</cbc:Name>" +
           TaxCategory("ClassifiedTaxCategory", item.vat_hundredths) + "</cac:Item>\n";
    xml += "    <cac:Price><cbc:PriceAmount currencyID=\"EUR\">" +
           Decimal(item.price_ten_thousandths, 4) + "</cbc:PriceAmount></cac:Price>\n";
    xml += "  </cac:InvoiceLine>\n";
  }
  return xml + "</Invoice>\n";
}

}  // namespace wfdesk::tools
