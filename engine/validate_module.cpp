// XMLvalidate: checks the invoices of a folder against the UBL 2.1 schema
// and the EN 16931 rules before they go on. Valid files stay for the next
// module; an invalid file goes to the reject folder with its report and a
// transmission record "invalid". When the check cannot be made (no Java,
// no Saxon, broken rules) no file is valid: the module fails and the chain
// stops, so that nothing unchecked is sent.
#include <algorithm>
#include <string>
#include <vector>

#include "core/files.hpp"
#include "core/language.hpp"
#include "core/workflow_file.hpp"
#include "engine/invalid_record.hpp"
#include "engine/modules.hpp"
#include "validation/invoice_check.hpp"

namespace wfdesk::engine {

namespace {

struct ValidateParams {
  std::string mtype;
  std::string file;
  std::string file_mask;
  std::string reject_path;
  std::string schema_file;
  std::string rules_file;
};

ValidateParams ReadParams(const ModuleSection& where) {
  ValidateParams p;
  p.mtype = where.Read("mtype");
  p.file = where.Read("mpFile");
  p.file_mask = where.Read("mpFileMask");
  p.reject_path = where.Read("mpRejectPath");
  p.schema_file = where.Read("mpSchemaFile");
  p.rules_file = where.Read("mpRulesFile");
  return p;
}

// A file named in a module key: the one of that name in the etc folder
// when there is one, as for stylesheets, else the absolute form.
std::string ConfiguredFile(const ModuleSection& where, const std::string& value) {
  const std::string in_etc =
      core::AbsolutePath(where.context.settings.etc_dir, where.context.home) +
      core::kPathSeparator + value;
  return core::IsPlainFile(in_etc) ? in_etc : where.Absolute(value);
}

// The folder of the inputs: mpFile, or the folder of the file it names.
std::string InputFolder(const ModuleSection& where, const ValidateParams& p) {
  const std::string input = where.Absolute(p.file);
  if (core::DirExists(input)) return input;
  return input.substr(0, input.size() - core::FileNameOf(input).size());
}

void CheckReject(const ModuleSection& where, const ValidateParams& p, Problems& problems) {
  if (p.reject_path.empty()) {
    problems.push_back(where.Text("lg_mesg_val001"));
  } else if (!core::DirExists(where.Absolute(p.reject_path))) {
    problems.push_back(where.Text("lg_mesg_val002"));
  } else if (core::CanonicalPath(where.Absolute(p.reject_path)) ==
             core::CanonicalPath(InputFolder(where, p))) {
    problems.push_back(where.Text("lg_mesg_val003"));
  }
}

Problems Check(const ModuleSection& where, ValidateParams& p) {
  Problems problems;
  if (p.file_mask.empty()) p.file_mask = "*";
  if (p.file.empty()) {
    problems.push_back(where.Text("lg_mesg_mod001"));
  } else if (!core::FileListed(where.Absolute(p.file)) &&
             !core::DirExists(where.Absolute(p.file))) {
    problems.push_back(where.Text("lg_mesg_mod002"));
  }
  CheckReject(where, p, problems);
  if (!p.schema_file.empty() && !core::IsPlainFile(ConfiguredFile(where, p.schema_file))) {
    problems.push_back(where.Text("lg_mesg_val004"));
  }
  if (!p.rules_file.empty() && p.rules_file != validation::kNoRules &&
      !core::IsPlainFile(ConfiguredFile(where, p.rules_file))) {
    problems.push_back(where.Text("lg_mesg_val005"));
  }
  CheckProgramRules(where, problems);
  return problems;
}

// The input files: those of the input folder the mask selects, in file-name
// order, or the one file mpFile names.
std::vector<std::string> InputFiles(const ModuleSection& where, const ValidateParams& p) {
  const std::string input = where.Absolute(p.file);
  if (core::DirExists(input)) return core::ListedFiles(input + core::kPathSeparator + p.file_mask);
  return core::ListedFiles(input);
}

validation::CheckSetup Setup(const ModuleSection& where, const ValidateParams& p,
                             const ProgramRules& rules) {
  const core::AppSettings& settings = where.context.settings;
  const auto absolute = [&](const std::string& path) {
    return path.empty() ? path : where.Absolute(path);
  };
  validation::CheckSetup setup;
  if (!p.schema_file.empty()) setup.schema = ConfiguredFile(where, p.schema_file);
  setup.rules = p.rules_file;
  if (!p.rules_file.empty() && p.rules_file != validation::kNoRules) {
    setup.rules = ConfiguredFile(where, p.rules_file);
  }
  setup.java = absolute(settings.java_program);
  setup.saxon = absolute(settings.saxon_jar);
  setup.time_limit_seconds = rules.time_limit_seconds;
  return setup;
}

// The fatal findings' ids, "BR-CO-15, XSD", each once.
std::string FatalIds(const validation::FileVerdict& verdict) {
  std::vector<std::string> ids;
  for (const validation::Finding& finding : verdict.findings) {
    if (finding.flag != "fatal") continue;
    if (std::find(ids.begin(), ids.end(), finding.id) == ids.end()) ids.push_back(finding.id);
  }
  std::string text;
  for (const std::string& id : ids) text += (text.empty() ? "" : ", ") + id;
  return text;
}

void LogWarnings(ModuleRun& run, const validation::FileVerdict& verdict) {
  for (const validation::Finding& finding : verdict.findings) {
    if (finding.flag == "fatal") continue;
    run.Line(" File warning: " + verdict.path + ": " + validation::FindingText(finding));
  }
}

// The report beside the rejected file and its transmission record; what
// failed is logged, the file stays rejected.
void DocumentRejection(ModuleRun& run, const ModuleSection& where,
                       const validation::FileVerdict& verdict, const std::string& target) {
  const std::string report = target + std::string(kReportSuffix);
  if (const core::FileResult written =
          core::WriteTextFile(report, validation::ReportText(verdict), false);
      !written) {
    run.Line(" Report NOT written: " + report + " (" + written.error + ")");
  }
  const std::string database = core::WorkflowDatabaseFile(where.context, where.workflow_file);
  if (database.empty()) return;  // the workflow keeps no records
  if (const std::string why = RecordInvalidInvoice(where.Absolute(database), target);
      !why.empty()) {
    run.Line(" Record NOT written for " + target + ": " + why);
  }
}

// Moves an invalid file to the reject folder. The module's failure text
// when it could not be moved, "" otherwise.
std::string Reject(ModuleRun& run, const ModuleSection& where, const ValidateParams& p,
                   const validation::FileVerdict& verdict) {
  const std::string wanted =
      where.Absolute(p.reject_path) + core::kPathSeparator + core::FileNameOf(verdict.path);
  const core::MoveResult moved = core::MoveFileNumbered(verdict.path, wanted);
  if (!moved.moved) {
    return core::FormatLanguageText("lg_mesg_val008", where.context.settings.language,
                                    {verdict.path, wanted, moved.error});
  }
  run.Line(" File invalid: " + verdict.path + " (" + FatalIds(verdict) + ") moved to " +
           moved.target);
  DocumentRejection(run, where, verdict, moved.target);
  return "";
}

// Handles the verdicts in their order; counts the rejected files. The
// module's failure text when an invalid file could not be put aside.
std::string HandleVerdicts(ModuleRun& run, const ModuleSection& where, const ValidateParams& p,
                           const validation::CheckOutcome& outcome, std::size_t& rejected) {
  for (const validation::FileVerdict& verdict : outcome.files) {
    LogWarnings(run, verdict);
    if (verdict.valid) {
      run.Line(" File valid: " + verdict.path);
      continue;
    }
    if (std::string failure = Reject(run, where, p, verdict); !failure.empty()) return failure;
    ++rejected;
  }
  return "";
}

std::string RulesLine(const validation::CheckOutcome& outcome) {
  if (outcome.rules_used == validation::kNoRules) return " Rules: none, schema only";
  return " Rules: " + outcome.rules_used;
}

// Done when every file was valid; otherwise done with the rejected files
// kept aside, which makes the run a failure that says where they are.
ModuleOutcome Conclude(ModuleRun& run, const ModuleSection& where, const ValidateParams& p,
                       std::size_t rejected, std::size_t total) {
  if (rejected == 0) {
    run.End();
    return ModuleOutcome::Done();
  }
  const std::string text =
      core::FormatLanguageText("lg_mesg_val006", where.context.settings.language,
                               {where.section, std::to_string(rejected), std::to_string(total),
                                where.Absolute(p.reject_path)});
  run.Line(" ERROR: " + text);
  run.End();
  return ModuleOutcome::Kept(text);
}

}  // namespace

Problems CheckXMLvalidate(const ModuleSection& where) {
  ValidateParams p = ReadParams(where);
  return Check(where, p);
}

ModuleOutcome RunXMLvalidate(const ModuleCall& call) {
  const ModuleSection& where = call.where;
  ValidateParams p = ReadParams(where);
  ModuleRun run(call, p.mtype);
  run.Start();
  if (const Problems problems = Check(where, p); !problems.empty()) {
    return ModuleOutcome::Failed(run.Fail(problems.front()));
  }
  const std::vector<std::string> files = InputFiles(where, p);
  if (files.empty()) {  // nothing to check: Java is not started
    run.End();
    return ModuleOutcome::Done();
  }
  const validation::CheckOutcome outcome =
      validation::CheckInvoices(Setup(where, p, run.rules()), files, where.context.launcher);
  if (!outcome.checked) {
    return ModuleOutcome::Failed(run.Fail(core::FormatLanguageText(
        "lg_mesg_val007", where.context.settings.language, {outcome.failure})));
  }
  run.Line(RulesLine(outcome));
  std::size_t rejected = 0;
  if (const std::string failure = HandleVerdicts(run, where, p, outcome, rejected);
      !failure.empty()) {
    return ModuleOutcome::Failed(run.Fail(failure));
  }
  return Conclude(run, where, p, rejected, files.size());
}

}  // namespace wfdesk::engine
