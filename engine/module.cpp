#include "engine/module.hpp"

#include "core/files.hpp"
#include "core/ini.hpp"
#include "core/language.hpp"
#include "core/log.hpp"
#include "core/settings.hpp"
#include "core/workflow_file.hpp"

namespace wfdesk::engine {

std::string ModuleSection::Read(const std::string& key) const {
  return core::ReadWorkflowValue(context, workflow_file, section, key);
}

std::string ModuleSection::Absolute(const std::string& path) const {
  return core::AbsolutePath(path, context.home);
}

std::string ModuleSection::Text(std::string_view key) const {
  return core::GetLanguageText(key, context.settings.language);
}

void CheckInputAndOutput(const ModuleSection& where, const std::string& file,
                         const std::string& out_path, const std::string& out_extension,
                         Problems& problems) {
  if (file.empty()) {
    problems.push_back(where.Text("lg_mesg_mod001"));
  } else if (const std::string input = where.Absolute(file);
             // A folder first: the input is one far more often than a file.
             !core::DirExists(input) && !core::FileListed(input)) {
    problems.push_back(where.Text("lg_mesg_mod002"));
  }
  if (out_path.empty()) {
    problems.push_back(where.Text("lg_mesg_mod003"));
  } else if (!core::DirExists(where.Absolute(out_path))) {
    problems.push_back(where.Text("lg_mesg_mod004"));
  }
  if (out_extension.empty()) problems.push_back(where.Text("lg_mesg_mod005"));
}

void CheckArchive(const ModuleSection& where, const std::string& archive_path, Problems& problems) {
  if (!archive_path.empty() && !core::DirExists(where.Absolute(archive_path))) {
    problems.push_back(where.Text("lg_mesg_mod007"));
  }
}

namespace {

bool ValidTimeLimit(const std::string& timeout) {
  return timeout.empty() || core::PositiveSeconds(timeout) != 0;
}

}  // namespace

void CheckProgramRules(const ModuleSection& where, Problems& problems) {
  if (!ValidTimeLimit(where.Read("mpTimeout"))) problems.push_back(where.Text("lg_mesg_mod006"));
}

void CheckProgramRules(const ModuleSection& where, const ProgramRules& rules, Problems& problems) {
  if (!rules.time_limit_valid) problems.push_back(where.Text("lg_mesg_mod006"));
}

namespace {

bool KeptInputsForNextRun(const core::ProcessResult& result, const ProgramRules& rules) {
  return result.started && result.ending == core::Ending::kExited &&
         result.exit_status == core::kExitKeptForNextRun && !rules.ignore_exit_status;
}

}  // namespace

ProgramRules ProgramRules::Of(const ModuleSection& where) {
  const std::string timeout = where.Read("mpTimeout");
  return {core::PositiveSeconds(timeout), where.Read("mpIgnoreExitStatus") == "1",
          ValidTimeLimit(timeout)};
}

std::string ProgramFailureText(const std::string& program, const core::ProcessResult& result,
                               const ProgramRules& rules, core::LanguageCode language) {
  switch (result.ending) {
    case core::Ending::kTimedOut: {
      const int seconds = rules.time_limit_seconds;
      return core::FormatLanguageText(seconds == 1 ? "lg_mesg_prog001" : "lg_mesg_prog002",
                                      language, {program, std::to_string(seconds)});
    }
    case core::Ending::kStopped:
      if (core::StopSignal()) {
        return core::FormatLanguageText("lg_mesg_prog003", language,
                                        {program, std::to_string(core::StopSignal())});
      }
      return core::FormatLanguageText("lg_mesg_prog004", language, {program});
    case core::Ending::kExited:
      break;
  }
  if (!result.started) return NotStartedText(program, result.error, language);
  if (KeptInputsForNextRun(result, rules)) {
    return core::FormatLanguageText("lg_mesg_prog005", language,
                                    {program, std::to_string(result.exit_status)});
  }
  if (result.exit_status != 0 && !rules.ignore_exit_status) {
    return core::FormatLanguageText("lg_mesg_prog006", language,
                                    {program, std::to_string(result.exit_status)});
  }
  return "";
}

std::string ModuleRun::Prefix() const {
  return "[" + call_.run_id + "] MODULE " + call_.where.section;
}

void ModuleRun::Line(const std::string& text) {
  call_.log.Write(call_.log_file, Prefix() + text);
}

void ModuleRun::Start() {
  Line(" START: " + mtype_ + " (" + call_.where.workflow_file + ")");
}

void ModuleRun::End() {
  Line(" END: " + mtype_ + " (" + call_.where.workflow_file + ")");
}

std::string ModuleRun::Fail(const std::string& text) {
  const std::string message = call_.where.section + text;
  call_.log.Release();
  call_.where.context.person.Tell(message);
  Line(" ERROR: " + message);
  return message;
}

std::string ModuleProgramPath(const core::Context& context, const std::string& executable) {
  return core::AbsolutePath(context.settings.module_dir, context.home) + core::kPathSeparator +
         executable + std::string(core::kProgramSuffix);
}

core::CommandLine ProgramCommandLine(const std::string& program,
                                     const std::vector<Switch>& switches, bool for_log) {
  core::CommandLine command{program, {}};
  for (const auto& option : switches) {
    std::string value = option.value;
    if (for_log && option.name == kSecretSwitch) value = kSecretMask;
    if (for_log && option.name == kAddressSwitch) value = core::MaskAddressPassword(value);
    command.Add(option.name).AddQuoted(std::move(value));
  }
  return command;
}

std::string NotStartedText(const std::string& program, const std::string& reason,
                           core::LanguageCode language) {
  return core::FormatLanguageText("lg_mesg_prog007", language, {program, reason});
}

ModuleOutcome ModuleRun::CallProgram(const std::string& executable,
                                     const std::vector<Switch>& switches,
                                     const ProgramEnvironment& environment) {
  const auto& context = call_.where.context;
  const std::string program = ModuleProgramPath(context, executable);
  Line(" PARAM: " + ProgramCommandLine(program, switches, true).Render());
  core::CommandLine command = ProgramCommandLine(program, switches, false);
  command.time_limit_seconds = rules_.time_limit_seconds;
  command.environment = environment;
  const core::ProcessResult result = context.launcher.RunAndWait(command);
  Line(" CALL: " + std::to_string(result.Code()));
  if (result.started) Line(" EXIT: " + std::to_string(result.exit_status));
  if (result.ended_leftovers) {
    // Left running, they would hold the run's lock and block every later run.
    Line(" WARNING: " + call_.where.section +
         core::FormatLanguageText("lg_mesg_prog008", context.settings.language, {program}));
  }
  const std::string failure =
      ProgramFailureText(program, result, rules_, context.settings.language);
  if (failure.empty()) return ModuleOutcome::Done();
  if (KeptInputsForNextRun(result, rules_)) {
    const std::string message = call_.where.section + failure;
    Line(" ERROR: " + message);
    return ModuleOutcome::Kept(message);
  }
  return ModuleOutcome::Failed(Fail(failure));
}

}  // namespace wfdesk::engine
