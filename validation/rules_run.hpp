#pragma once

#include <string>
#include <vector>

#include "core/seams.hpp"
#include "validation/invoice_check.hpp"

namespace wfdesk::validation {

// What one run of the rules uses; paths as the setup gives them.
struct RulesSetup {
  std::string rules;           // the rules file (XSLT 2.0)
  std::string java;            // "" java on PATH (none on Windows)
  std::string saxon;           // "" the system's jar (none on Windows)
  std::string scratch_folder;  // "" the system's temporary folder
  int time_limit_seconds = 0;
};

// The findings of the rules for each file, in the order given, or why the
// rules could not run.
struct RulesOutcome {
  bool ran = false;
  std::string failure;
  std::vector<std::vector<Finding>> findings;
};

// Runs the rules over all files in one start of Saxon: the files are put
// into a scratch folder of their own under safe names, Saxon transforms
// that folder into another, and each file's SVRL report is read. The
// scratch folder is removed again, whatever happened.
RulesOutcome RunRules(const RulesSetup& setup, const std::vector<std::string>& files,
                      core::ProcessLauncher& launcher);

}  // namespace wfdesk::validation
