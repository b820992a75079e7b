#include "tools/portalsend/invoice_facts.hpp"

#include <string>
#include <string_view>

#include "core/ascii.hpp"
#include "validation/xml_document.hpp"

namespace wfdesk::tools {

namespace {

constexpr std::string_view kUploadFormat = "urn:wfdesk:portal:invoice:1";

const xmlNode* Child(const xmlNode* node, std::string_view name) {
  for (const xmlNode* child = node ? node->children : nullptr; child; child = child->next) {
    if (validation::IsElement(child, kUploadFormat, name)) return child;
  }
  return nullptr;
}

std::string AttributeOf(const xmlNode* node, const char* name) {
  if (!node) return "";
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  const std::string text(core::TrimWhitespace(value ? reinterpret_cast<const char*>(value) : ""));
  xmlFree(value);
  return text;
}

InvoiceFacts UploadFormatFacts(const xmlNode* root) {
  InvoiceFacts facts;
  facts.number = AttributeOf(root, "number");
  facts.date = AttributeOf(root, "issued");
  facts.currency = AttributeOf(root, "currency");
  facts.credit_note = AttributeOf(root, "type") == "CreditNote";
  facts.buyer = AttributeOf(Child(root, "Recipient"), "name");
  facts.amount = AttributeOf(Child(root, "Totals"), "payable");
  return facts;
}

}  // namespace

InvoiceFacts ReadInvoiceFacts(xmlDoc* document) {
  const xmlNode* root = xmlDocGetRootElement(document);
  if (validation::IsElement(root, kUploadFormat, "Invoice")) return UploadFormatFacts(root);
  return validation::ReadUblFacts(root);
}

}  // namespace wfdesk::tools
