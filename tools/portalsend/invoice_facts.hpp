#pragma once

// What the transmission record tells of an uploaded document, read from
// the document itself: the portal's upload format (an inv:Invoice with
// number, issued, currency and type attributes, inv:Recipient name and
// inv:Totals payable) or a UBL 2.1 Invoice or CreditNote.

#include <libxml/tree.h>

#include "validation/ubl_facts.hpp"

namespace wfdesk::tools {

using validation::InvoiceFacts;

InvoiceFacts ReadInvoiceFacts(xmlDoc* document);

}  // namespace wfdesk::tools
