#pragma once

#include <string>
#include <vector>

#include "validation/invoice_check.hpp"

namespace wfdesk::validation {

// The findings of an SVRL report (what the rules wrote about one file): each
// failed assertion and each successful report, in document order. A
// finding without a flag counts as fatal, so that rules which do not flag
// their failures never let a file pass. False when the report cannot be
// read as SVRL.
bool ReadSvrlReport(const std::string& path, std::vector<Finding>& findings);

}  // namespace wfdesk::validation
