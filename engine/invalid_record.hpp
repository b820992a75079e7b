#pragma once

// The transmission record of an invoice the check put aside, so that the
// transmission list shows it beside the uploads: its number, date,
// currency, buyer and amount read from the UBL file, the state "invalid".

#include <string>

namespace wfdesk::engine {

// Writes the record of the invoice in `file` into the database at
// `database`. "" when written; otherwise why not, for the log. A number
// that was accepted before (or is kept for completion) keeps its record:
// the invalid file is another document under that number, and the
// acknowledgement must not be lost.
std::string RecordInvalidInvoice(const std::string& database, const std::string& file);

}  // namespace wfdesk::engine
