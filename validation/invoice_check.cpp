#include "validation/invoice_check.hpp"

#include <libxml/parser.h>

#include "core/settings.hpp"
#include "validation/rules_run.hpp"
#include "validation/schema_check.hpp"
#include "validation/validation_data.hpp"

namespace wfdesk::validation {

namespace {

bool HasFatal(const std::vector<Finding>& findings) {
  for (const Finding& finding : findings) {
    if (finding.flag == "fatal") return true;
  }
  return false;
}

// The shipped data, when the setup leaves a path to it.
bool LocateShippedData(const CheckSetup& setup, std::string& data, std::string& failure) {
  if (!setup.schema.empty() && !setup.rules.empty()) return true;
  data = LocateValidationData(core::ExecutableFolder());
  if (data.empty()) {
    failure =
        "The shipped schemas and rules were not found (share/wfdesk/validation beside the "
        "program's folder); reinstall wfdesk";
  }
  return !data.empty();
}

// The schema check of every file; false when a schema could not be read.
bool CheckSchemas(const CheckSetup& setup, const std::string& data, CheckOutcome& outcome) {
  SchemaSet schemas(setup.schema, data);
  for (FileVerdict& verdict : outcome.files) {
    if (!schemas.Check(verdict.path, verdict.findings)) {
      outcome.failure = schemas.failure();
      return false;
    }
  }
  return true;
}

// The rules over the files that passed the schema, in one run.
bool CheckRules(const CheckSetup& setup, CheckOutcome& outcome, core::ProcessLauncher& launcher) {
  std::vector<FileVerdict*> passed;
  std::vector<std::string> paths;
  for (FileVerdict& verdict : outcome.files) {
    if (HasFatal(verdict.findings)) continue;
    passed.push_back(&verdict);
    paths.push_back(verdict.path);
  }
  if (paths.empty()) return true;
  const RulesSetup rules{outcome.rules_used, setup.java, setup.saxon, setup.scratch_folder,
                         setup.time_limit_seconds};
  RulesOutcome run = RunRules(rules, paths, launcher);
  if (!run.ran) {
    outcome.failure = run.failure;
    return false;
  }
  for (std::size_t i = 0; i < passed.size(); ++i) {
    auto& findings = passed[i]->findings;
    findings.insert(findings.end(), run.findings[i].begin(), run.findings[i].end());
  }
  return true;
}

}  // namespace

CheckOutcome CheckInvoices(const CheckSetup& setup, const std::vector<std::string>& files,
                           core::ProcessLauncher& launcher) {
  xmlInitParser();
  CheckOutcome outcome;
  for (const std::string& path : files) outcome.files.push_back({path, false, {}});
  std::string data;
  if (!LocateShippedData(setup, data, outcome.failure)) return outcome;
  outcome.rules_used =
      setup.rules.empty() ? data + core::kPathSeparator + kShippedRules : setup.rules;
  if (!CheckSchemas(setup, data, outcome)) return outcome;
  if (outcome.rules_used != kNoRules && !CheckRules(setup, outcome, launcher)) return outcome;
  outcome.checked = true;
  for (FileVerdict& verdict : outcome.files) verdict.valid = !HasFatal(verdict.findings);
  return outcome;
}

std::string FindingText(const Finding& finding) {
  std::string text = finding.id + " [" + finding.flag + "] " + finding.text;
  if (!finding.location.empty()) text += " (" + finding.location + ")";
  return text;
}

std::string ReportText(const FileVerdict& verdict) {
  std::string text = verdict.path + (verdict.valid ? ": valid" : ": invalid") + "\r\n";
  for (const Finding& finding : verdict.findings) text += FindingText(finding) + "\r\n";
  return text;
}

}  // namespace wfdesk::validation
