#include "validation/ubl_facts.hpp"

#include <initializer_list>
#include <utility>

#include "validation/xml_document.hpp"

namespace wfdesk::validation {

namespace {

using Step = std::pair<std::string_view, std::string_view>;  // namespace, local name

// The element reached from `node` through first matching children, or null.
const xmlNode* Path(const xmlNode* node, std::initializer_list<Step> steps) {
  for (const auto& [ns, name] : steps) {
    const xmlNode* child = node ? node->children : nullptr;
    while (child && !IsElement(child, ns, name)) child = child->next;
    node = child;
  }
  return node;
}

std::string Basic(const xmlNode* node, std::string_view name) {
  return TrimmedText(Path(node, {{kUblBasicNamespace, name}}));
}

std::string BuyerOf(const xmlNode* root) {
  const xmlNode* party = Path(root, {{kUblAggregateNamespace, "AccountingCustomerParty"},
                                     {kUblAggregateNamespace, "Party"}});
  const std::string name = Basic(Path(party, {{kUblAggregateNamespace, "PartyName"}}), "Name");
  if (!name.empty()) return name;
  return Basic(Path(party, {{kUblAggregateNamespace, "PartyLegalEntity"}}), "RegistrationName");
}

}  // namespace

InvoiceFacts ReadUblFacts(const xmlNode* root) {
  InvoiceFacts facts;
  facts.credit_note = IsElement(root, kUblCreditNoteNamespace, "CreditNote");
  if (!facts.credit_note && !IsElement(root, kUblInvoiceNamespace, "Invoice")) return facts;
  facts.number = Basic(root, "ID");
  facts.date = Basic(root, "IssueDate");
  facts.currency = Basic(root, "DocumentCurrencyCode");
  facts.buyer = BuyerOf(root);
  facts.amount =
      Basic(Path(root, {{kUblAggregateNamespace, "LegalMonetaryTotal"}}), "PayableAmount");
  return facts;
}

}  // namespace wfdesk::validation
