#pragma once

// What the export reader and the invoice writer promise for any input,
// checked on one input: for tests and fuzz targets.

#include <string>
#include <string_view>

namespace wfdesk::tools {

// Reads the bytes as an export (UTF-8 or Windows-1252) and writes each of
// its invoices. "" when every promise held, else the first that broke:
// each problem names a line of the input; each invoice has lines and
// totals within kMaxCents; its XML is well-formed, the same each time it is
// written, an Invoice, or a CreditNote when the total is negative, and
// carries the invoice's number, lines and payable amount (negated in a
// credit note).
std::string CheckConversionProperties(std::string_view bytes);

}  // namespace wfdesk::tools
