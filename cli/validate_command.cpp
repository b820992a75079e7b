#include "cli/validate_command.hpp"

#include <iostream>

#include "cli/app.hpp"
#include "core/files.hpp"
#include "core/log.hpp"
#include "core/process.hpp"
#include "core/seams.hpp"
#include "core/settings.hpp"
#include "engine/new_installation.hpp"
#include "validation/invoice_check.hpp"

namespace wfdesk::cli {

namespace {

// The files named, a folder's *.xml files in name order; false with a
// message when a path names nothing.
bool ExpandPaths(const std::vector<std::string>& paths, std::vector<std::string>& files) {
  for (const std::string& path : paths) {
    if (core::DirExists(path)) {
      const std::vector<std::string> listed =
          core::ListedFiles(path + core::kPathSeparator + "*.xml");
      files.insert(files.end(), listed.begin(), listed.end());
    } else if (core::IsPlainFile(path)) {
      files.push_back(path);
    } else {
      std::cerr << core::EscapeControlCharacters(path) << ": no such file or folder\n";
      return false;
    }
  }
  return true;
}

// Java and Saxon from the installation's settings, when there is one.
validation::CheckSetup SetupFor(const std::optional<std::string>& home_option,
                                const ValidateRequest& request) {
  validation::CheckSetup setup;
  setup.rules = request.rules;
  setup.schema = request.schema;
  const std::string home = core::ResolveHome(home_option);
  if (!engine::HoldsInstallation(home)) return setup;
  const core::AppSettings settings = core::LoadAppSettings(home);
  if (!settings.java_program.empty()) {
    setup.java = core::AbsolutePath(settings.java_program, home);
  }
  if (!settings.saxon_jar.empty()) setup.saxon = core::AbsolutePath(settings.saxon_jar, home);
  return setup;
}

// "FILE: valid", or "FILE: invalid: " and the ids of the fatal findings,
// each once; then every finding below it.
void PrintVerdict(const validation::FileVerdict& verdict) {
  std::string ids;
  for (const validation::Finding& finding : verdict.findings) {
    if (finding.flag != "fatal" ||
        (", " + ids + ", ").find(", " + finding.id + ", ") != std::string::npos) {
      continue;
    }
    ids += (ids.empty() ? "" : ", ") + finding.id;
  }
  // One line a file, whatever its name holds.
  std::cout << core::EscapeControlCharacters(verdict.path)
            << (verdict.valid ? ": valid" : ": invalid: " + ids) << '\n';
  for (const validation::Finding& finding : verdict.findings) {
    std::cout << "  " << validation::FindingText(finding) << '\n';
  }
}

bool WriteReports(const validation::CheckOutcome& outcome, const std::string& folder) {
  std::vector<std::string> created;
  if (const core::FileResult made = core::CreateFolders(folder, created); !made) {
    std::cerr << made.error << '\n';
    return false;
  }
  for (const validation::FileVerdict& verdict : outcome.files) {
    const std::string path =
        folder + core::kPathSeparator + core::FileNameOf(verdict.path) + ".report.txt";
    const core::FileResult written =
        core::WriteTextFile(path, validation::ReportText(verdict), false);
    if (!written) {
      std::cerr << written.error << '\n';
      return false;
    }
  }
  return true;
}

}  // namespace

int ValidateCommand(const std::optional<std::string>& home_option, const ValidateRequest& request) {
  std::vector<std::string> files;
  if (!ExpandPaths(request.paths, files)) return kWrongUsage;
  if (files.empty()) {
    std::cerr << "No invoices to check: the folders hold no .xml files\n";
    return kFailed;
  }
  core::StopRunsOnSignals();
  core::SpawnLauncher launcher;
  const validation::CheckOutcome outcome =
      validation::CheckInvoices(SetupFor(home_option, request), files, launcher);
  if (!outcome.checked) {
    std::cerr << "The invoices could not be checked: " << outcome.failure << '\n';
    return kFailed;
  }
  if (outcome.rules_used == validation::kNoRules) {
    std::cerr << "The schema only was checked (--rules none)\n";
  }
  bool all_valid = true;
  for (const validation::FileVerdict& verdict : outcome.files) {
    PrintVerdict(verdict);
    all_valid = all_valid && verdict.valid;
  }
  if (!request.report_folder.empty() && !WriteReports(outcome, request.report_folder)) {
    return kFailed;
  }
  return all_valid ? kSucceeded : kFailed;
}

}  // namespace wfdesk::cli
