#include "tools/portalsend/invoice_facts.hpp"

#include <initializer_list>
#include <string_view>

#include "core/ascii.hpp"

namespace wfdesk::tools {

namespace {

constexpr std::string_view kUploadFormat = "urn:wfdesk:portal:invoice:1";
constexpr std::string_view kUblInvoice = "urn:oasis:names:specification:ubl:schema:xsd:Invoice-2";
constexpr std::string_view kUblCreditNote =
    "urn:oasis:names:specification:ubl:schema:xsd:CreditNote-2";
constexpr std::string_view kCbc =
    "urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2";
constexpr std::string_view kCac =
    "urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2";

bool Is(const xmlNode* node, std::string_view ns, std::string_view name) {
  return node && node->type == XML_ELEMENT_NODE && node->ns && node->ns->href &&
         reinterpret_cast<const char*>(node->ns->href) == ns &&
         reinterpret_cast<const char*>(node->name) == name;
}

xmlNode* Child(const xmlNode* node, std::string_view ns, std::string_view name) {
  for (xmlNode* child = node ? node->children : nullptr; child; child = child->next) {
    if (Is(child, ns, name)) return child;
  }
  return nullptr;
}

// The child reached through a path of (namespace, name) steps.
xmlNode* Path(const xmlNode* node,
              std::initializer_list<std::pair<std::string_view, std::string_view>> steps) {
  xmlNode* at = const_cast<xmlNode*>(node);
  for (const auto& [ns, name] : steps) at = Child(at, ns, name);
  return at;
}

std::string TextOf(const xmlNode* node) {
  if (!node) return "";
  xmlChar* content = xmlNodeGetContent(node);
  std::string text = content ? reinterpret_cast<const char*>(content) : "";
  xmlFree(content);
  return std::string(core::TrimWhitespace(text));
}

std::string AttributeOf(const xmlNode* node, const char* name) {
  if (!node) return "";
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  std::string text = value ? reinterpret_cast<const char*>(value) : "";
  xmlFree(value);
  return std::string(core::TrimWhitespace(text));
}

InvoiceFacts UploadFormatFacts(const xmlNode* root) {
  InvoiceFacts facts;
  facts.number = AttributeOf(root, "number");
  facts.date = AttributeOf(root, "issued");
  facts.currency = AttributeOf(root, "currency");
  facts.credit_note = AttributeOf(root, "type") == "CreditNote";
  facts.buyer = AttributeOf(Child(root, kUploadFormat, "Recipient"), "name");
  facts.amount = AttributeOf(Child(root, kUploadFormat, "Totals"), "payable");
  return facts;
}

InvoiceFacts UblFacts(const xmlNode* root, bool credit_note) {
  InvoiceFacts facts;
  facts.number = TextOf(Child(root, kCbc, "ID"));
  facts.date = TextOf(Child(root, kCbc, "IssueDate"));
  facts.currency = TextOf(Child(root, kCbc, "DocumentCurrencyCode"));
  facts.credit_note = credit_note;
  const xmlNode* party = Path(root, {{kCac, "AccountingCustomerParty"}, {kCac, "Party"}});
  facts.buyer = TextOf(Path(party, {{kCac, "PartyName"}, {kCbc, "Name"}}));
  if (facts.buyer.empty()) {
    facts.buyer = TextOf(Path(party, {{kCac, "PartyLegalEntity"}, {kCbc, "RegistrationName"}}));
  }
  facts.amount = TextOf(Path(root, {{kCac, "LegalMonetaryTotal"}, {kCbc, "PayableAmount"}}));
  return facts;
}

}  // namespace

InvoiceFacts ReadInvoiceFacts(xmlDoc* document) {
  const xmlNode* root = xmlDocGetRootElement(document);
  if (Is(root, kUploadFormat, "Invoice")) return UploadFormatFacts(root);
  if (Is(root, kUblInvoice, "Invoice")) return UblFacts(root, false);
  if (Is(root, kUblCreditNote, "CreditNote")) return UblFacts(root, true);
  return {};
}

}  // namespace wfdesk::tools
