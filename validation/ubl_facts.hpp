#pragma once

// UBL 2.1 as wfdesk writes and reads it: the namespaces the converter
// writes, and what an Invoice or CreditNote says of itself that its
// transmission record keeps, read the same way by the connector and by the
// invoice check.

#include <libxml/tree.h>

#include <string>
#include <string_view>

namespace wfdesk::validation {

inline constexpr std::string_view kUblInvoiceNamespace =
    "urn:oasis:names:specification:ubl:schema:xsd:Invoice-2";
inline constexpr std::string_view kUblCreditNoteNamespace =
    "urn:oasis:names:specification:ubl:schema:xsd:CreditNote-2";
inline constexpr std::string_view kUblBasicNamespace =
    "urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2";
inline constexpr std::string_view kUblAggregateNamespace =
    "urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2";

struct InvoiceFacts {
  std::string number;  // "" when the document is of no kind that is read
  std::string date;
  std::string currency;
  std::string buyer;   // the party's name, else its registration name
  std::string amount;  // payable
  bool credit_note = false;
};

// The facts of a UBL Invoice or CreditNote root; none for any other element.
InvoiceFacts ReadUblFacts(const xmlNode* root);

}  // namespace wfdesk::validation
