#pragma once

// The transmission record of an invoice the check put aside, so that the
// transmission list shows it beside the uploads: its number, date,
// currency, buyer and amount read from the UBL file, the state "invalid".

#include <string>
#include <string_view>

#include "core/context.hpp"

namespace wfdesk::engine {

// The module that puts invalid invoices aside, and what its report's name
// adds to the rejected file's.
inline constexpr std::string_view kCheckModuleType = "XMLvalidate";
inline constexpr std::string_view kReportSuffix = ".report.txt";

// The text a record of an invalid invoice starts with, so that the list
// tells it from one not yet sent.
inline constexpr std::string_view kInvalidMark = "Invalid, not sent: ";

// Writes the record of the invoice in `file` into the database at
// `database`. "" when written; otherwise why not, for the log. A number
// that was accepted before (or is kept for completion) keeps its record:
// the invalid file is another document under that number, and the
// acknowledgement must not be lost.
std::string RecordInvalidInvoice(const std::string& database, const std::string& file);

// The report the check wrote beside the rejected file `file_name` (a name,
// never a path): in the reject folder of one of the workflow's check
// modules; "" when there is none. The name is tried as stored and as UTF-8,
// for a database kept in Windows-1252.
std::string RejectionReport(const core::Context& context, const std::string& workflow_file,
                            std::string_view file_name);

}  // namespace wfdesk::engine
