#pragma once

#include <string>

namespace wfdesk::validation {

// The folder of the shipped validation data (ubl-2.1/ and en16931/) as
// seen from the folder of a running program: an installed package keeps it
// in ../share/wfdesk/validation, a Windows folder unpacked with its programs
// in validation/ beside them, a build tree in the source tree. "" when
// none holds the data.
std::string LocateValidationData(const std::string& program_folder);

// The shipped files inside that folder.
inline constexpr const char* kInvoiceSchema = "ubl-2.1/maindoc/UBL-Invoice-2.1.xsd";
inline constexpr const char* kCreditNoteSchema = "ubl-2.1/maindoc/UBL-CreditNote-2.1.xsd";
inline constexpr const char* kShippedRules = "en16931/EN16931-UBL-validation.xslt";

}  // namespace wfdesk::validation
