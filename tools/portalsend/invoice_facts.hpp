#pragma once

// What the transmission record tells of an uploaded document, read from
// the document itself: the portal's upload format (an inv:Invoice with
// number, issued, currency and type attributes, inv:Recipient name and
// inv:Totals payable) or a UBL 2.1 Invoice or CreditNote.

#include <libxml/tree.h>

#include <string>

namespace wfdesk::tools {

struct InvoiceFacts {
  std::string number;  // "" when the document is of neither kind
  std::string date;
  std::string currency;
  std::string buyer;
  std::string amount;
  bool credit_note = false;
};

InvoiceFacts ReadInvoiceFacts(xmlDoc* document);

}  // namespace wfdesk::tools
