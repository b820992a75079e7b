#include "engine/module.hpp"

#include "core/files.hpp"
#include "core/ini.hpp"
#include "core/workflow_file.hpp"

namespace wfdesk::engine {

std::string ModuleSection::Read(const std::string& key) const {
  return core::ReadWorkflowValue(context, workflow_file, section, key);
}

std::string ModuleSection::Absolute(const std::string& path) const {
  return core::AbsolutePath(path, context.home);
}

void CheckInputAndOutput(const ModuleSection& where, const std::string& file,
                         const std::string& out_path, const std::string& out_extension,
                         Problems& problems) {
  if (file.empty()) {
    problems.push_back(messages::kFileMissing);
  } else if (!core::FileListed(where.Absolute(file)) && !core::DirExists(where.Absolute(file))) {
    problems.push_back(messages::kFileNotExisting);
  }
  if (out_path.empty()) {
    problems.push_back(messages::kOutPathMissing);
  } else if (!core::DirExists(where.Absolute(out_path))) {
    problems.push_back(messages::kOutPathNotExisting);
  }
  if (out_extension.empty()) problems.push_back(messages::kOutExtensionMissing);
}

void CheckArchive(const ModuleSection& where, const std::string& archive_path, Problems& problems) {
  if (!archive_path.empty() && !core::DirExists(where.Absolute(archive_path))) {
    problems.push_back(messages::kArchiveNotExisting);
  }
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
  call_.where.context.person.Tell(message);
  Line(" ERROR: " + message);
  return message;
}

std::string ModuleProgramPath(const core::Context& context, const std::string& executable) {
  return core::AbsolutePath(context.settings.module_dir, context.home) + core::kPathSeparator +
         executable;
}

core::CommandLine ProgramCommandLine(const std::string& program,
                                     const std::vector<Switch>& switches, bool for_log) {
  core::CommandLine command{program, {}};
  for (const auto& option : switches) {
    const bool secret = for_log && option.name == kSecretSwitch;
    command.Add(option.name).AddQuoted(secret ? kSecretMask : option.value);
  }
  return command;
}

std::string NotStartedText(const std::string& program, const std::string& reason) {
  return ": Das Programm " + program + " konnte nicht gestartet werden (" + reason + ").";
}

std::optional<std::string> ModuleRun::CallProgram(const std::string& executable,
                                                  const std::vector<Switch>& switches) {
  const auto& context = call_.where.context;
  const std::string program = ModuleProgramPath(context, executable);
  Line(" PARAM: " + ProgramCommandLine(program, switches, true).Render());
  const core::ProcessResult result =
      context.launcher.RunAndWait(ProgramCommandLine(program, switches, false));
  Line(" CALL: " + std::to_string(result.Code()));
  if (!result.started) return Fail(NotStartedText(program, result.error));
  Line(" EXIT: " + std::to_string(result.exit_status));
  return std::nullopt;
}

}  // namespace wfdesk::engine
