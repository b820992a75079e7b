#pragma once

#include <optional>
#include <string>
#include <vector>

namespace wfdesk::cli {

// What `validate` was asked to do.
struct ValidateRequest {
  std::vector<std::string> paths;  // files, and folders whose *.xml files are checked
  std::string rules;               // "" the shipped rules; "none" the schema only
  std::string schema;              // "" the shipped schema of each file's root
  std::string report_folder;       // "" no report files
};

// Checks the invoices against the UBL schema and the business rules, one
// line per file on standard output; Java and Saxon as the installation's
// settings name them, when there is an installation. Returns the exit
// status: 0 all valid, 1 any invalid or the check could not be made, 2 a
// path that names nothing.
int ValidateCommand(const std::optional<std::string>& home_option, const ValidateRequest& request);

}  // namespace wfdesk::cli
