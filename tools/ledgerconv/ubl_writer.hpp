#pragma once

#include <string>

#include "tools/ledgerconv/export_reader.hpp"

namespace wfdesk::tools {

// The invoice as a UBL 2.1 Invoice (OASIS), a minimal valid subset: ID,
// dates, type 380, EUR, the two parties with their VAT IDs, the VAT per
// rate, the totals and the invoice lines.
std::string UblInvoice(const Invoice& invoice);

}  // namespace wfdesk::tools
