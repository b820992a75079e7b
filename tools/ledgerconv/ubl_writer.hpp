#pragma once

#include <string>

#include "tools/ledgerconv/export_reader.hpp"

namespace wfdesk::tools {

// The invoice as a UBL 2.1 Invoice (OASIS) that keeps the rules of
// EN 16931: ID, dates, type 380, EUR, the two parties with their postal
// addresses and VAT IDs, the VAT per rate (S, or Z for 0 %), the totals and
// the invoice lines. An invoice whose total is negative becomes a UBL 2.1
// CreditNote, type 381, whose quantities, amounts and totals are the
// invoice's negated (a credit note states what it credits as positive
// amounts); its due date goes into its payment means. "" when the XML writer
// fails, or when the totals go beyond kMaxCents (ReadExport refuses such
// invoices).
std::string UblInvoice(const Invoice& invoice);

}  // namespace wfdesk::tools
