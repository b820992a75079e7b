// XSLTproc: transforms the input files of a folder with a stylesheet, one
// processor run per file or all in this process with the built-in engine,
// then archives or deletes the inputs.
#include "engine/xslt_module.hpp"

#include <map>
#include <memory>

#include "core/files.hpp"
#include "core/language.hpp"
#include "core/process.hpp"
#include "engine/modules.hpp"
#include "engine/xslt_builtin.hpp"

namespace wfdesk::engine {

namespace {

struct XsltParams {
  std::string mtype;
  std::string file;
  std::string file_mask;
  std::string out_path;
  std::string out_extension;
  std::string stylesheet;
  std::string archive_path;
  std::string engine;
};

std::string EtcFolder(const core::Context& context) {
  return core::AbsolutePath(context.settings.etc_dir, context.home);
}

XsltParams ReadParams(const ModuleSection& where) {
  XsltParams p;
  p.mtype = where.Read("mtype");
  p.file = where.Read("mpFile");
  p.file_mask = where.Read("mpFileMask");
  p.out_path = where.Read("mpFileOutPath");
  p.out_extension = where.Read("mpFileOutExtension");
  p.stylesheet = where.Read("mpXSLTfile");
  p.archive_path = where.Read("mpArchivePath");
  p.engine = where.Read("mpXSLTengine");
  return p;
}

Problems Check(const ModuleSection& where, XsltParams& p) {
  Problems problems;
  if (p.file_mask.empty()) p.file_mask = "*";
  CheckInputAndOutput(where, p.file, p.out_path, p.out_extension, problems);
  // A stylesheet in the etc folder wins over a file of the same name elsewhere.
  const std::string in_etc = EtcFolder(where.context) + core::kPathSeparator + p.stylesheet;
  if (core::IsPlainFile(in_etc)) p.stylesheet = in_etc;
  if (p.stylesheet.empty()) {
    problems.push_back(where.Text("lg_mesg_mod008"));
  } else if (!core::IsPlainFile(where.Absolute(p.stylesheet))) {
    problems.push_back(where.Text("lg_mesg_mod009"));
  }
  if (!p.engine.empty() && p.engine != kBuiltinEngineKey) {
    problems.push_back(where.Text("lg_mesg_mod017"));
  }
  CheckArchive(where, p.archive_path, problems);
  CheckProgramRules(where, problems);
  return problems;
}

// The input files: those of the input folder the mask selects, in file-name
// order, or the one file mpFile names.
std::vector<std::string> InputFiles(const ModuleSection& where, const XsltParams& p) {
  const std::string input = where.Absolute(p.file);
  if (core::DirExists(input)) return core::ListedFiles(input + core::kPathSeparator + p.file_mask);
  return core::ListedFiles(input);
}

// The name up to its first ".".
std::string BaseName(const std::string& name) {
  return name.substr(0, name.find('.'));
}

// Archives or deletes the input of a successful transformation; an input
// whose transformation failed stays where it is, for the next run. False
// when the input stays although it should have gone.
bool DisposeOfInput(ModuleRun& run, const ModuleSection& where, const XsltParams& p,
                    const std::string& input, bool transformed, bool output_replaced_later) {
  if (!transformed) {
    run.Line(" Input File kept after a failed transformation: " + input);
    return true;
  }
  if (!p.archive_path.empty()) {
    const std::string target =
        where.Absolute(p.archive_path) + core::kPathSeparator + core::FileNameOf(input);
    const core::MoveResult moved = core::MoveFileNumbered(input, target);
    if (moved.moved) {
      run.Line(" Input File archived: " + input + " to " + target);
      return true;
    }
    run.Line(" Input File NOT archived: " + input + " (" + moved.error + ")");
    return false;
  }
  if (output_replaced_later) {
    // Its output is about to be replaced: deleting it would lose it.
    run.Line(" Input File kept, its output is replaced by a later file of the same base name: " +
             input);
    return true;
  }
  const core::FileResult deleted = core::DeleteFileIfListed(input);
  if (deleted) {
    run.Line(" Input File deleted: " + input);
    return true;
  }
  run.Line(" Input File NOT deleted: " + input + " (" + deleted.error + ")");
  return false;
}

// The message of a module run that kept some of its inputs, or "".
std::string KeptInputsText(const ModuleSection& where, std::size_t total,
                           std::size_t not_transformed, std::size_t not_put_away) {
  const auto count = [&](const char* key, std::size_t kept) {
    return core::FormatLanguageText(key, where.context.settings.language,
                                    {where.section, std::to_string(kept), std::to_string(total)});
  };
  std::string text;
  if (not_transformed > 0) text = count("lg_mesg_xslt001", not_transformed);
  if (not_put_away > 0) {
    if (!text.empty()) text += ' ';
    text += count("lg_mesg_xslt002", not_put_away);
  }
  return text;
}

// The stylesheet as named, else the one of that name in the etc folder; ""
// when neither exists.
std::string FindStylesheet(const core::Context& context, const std::string& stylesheet) {
  if (core::IsPlainFile(stylesheet)) return stylesheet;
  const std::string in_etc = EtcFolder(context) + core::kPathSeparator + stylesheet;
  return core::IsPlainFile(in_etc) ? in_etc : "";
}

core::ProcessResult RunProcessor(const core::Context& context, RunLog& log,
                                 const std::string& system_log, const core::CommandLine& command) {
  log.Write(system_log, "XSLT COMMAND: " + command.Render());
  return context.launcher.RunAndWait(command);
}

// The engine in place of the program, the rest as the processor's command
// line: "builtin libxslt -o "OUT" "XSL" "IN"".
std::string BuiltinCommandText(const core::CommandLine& command) {
  return command.program + command.Render().substr(command.program.size() + 2);
}

// The built-in engine's run, told as a processor's: it ran unless a stop
// was requested, and ended with the status xsltproc would have.
core::ProcessResult RunBuiltin(RunLog& log, const std::string& system_log,
                               const BuiltinXslt& builtin, const core::CommandLine& command) {
  log.Write(system_log, "XSLT COMMAND: " + BuiltinCommandText(command));
  core::ProcessResult result;
  if (core::StopRequested()) {
    result.ending = core::Ending::kStopped;
    return result;
  }
  const auto& arguments = command.arguments;  // -o OUTPUT STYLESHEET INPUT
  const BuiltinXsltResult done = builtin.Transform(arguments[3].text, arguments[1].text);
  for (const std::string& message : done.messages) {
    log.Write(system_log, "XSLT MESSAGE: " + message);
  }
  result.started = true;
  result.exit_status = done.exit_status;
  return result;
}

// The built-in engine for a module run: the stylesheet compiled once, what
// compiling it said in the system log. One that does not compile fails
// each file as xsltproc would.
std::unique_ptr<BuiltinXslt> CompileStylesheet(const core::Context& context, RunLog& log,
                                               const std::string& stylesheet) {
  auto builtin = std::make_unique<BuiltinXslt>(FindStylesheet(context, stylesheet));
  for (const std::string& message : builtin->CompileMessages()) {
    log.Write(context.settings.logfile, "XSLT MESSAGE: " + message);
  }
  return builtin;
}

}  // namespace

XsltOutcome XSLTransform(const core::Context& context, RunLog& log, const std::string& input,
                         const std::string& stylesheet, const std::string& output,
                         const ProgramRules& rules, const BuiltinXslt* builtin) {
  const std::string sheet = FindStylesheet(context, stylesheet);
  if (sheet.empty()) return {"XSLT file does not exist (" + stylesheet + ")", ""};
  const std::string& system_log = context.settings.logfile;
  core::CommandLine command{
      builtin ? kBuiltinXsltEngine : ModuleProgramPath(context, kXsltProcessor), {}};
  command.Add("-o").AddQuoted(output).AddQuoted(sheet).AddQuoted(input);
  command.time_limit_seconds = rules.time_limit_seconds;

  const std::string stamp_before = core::FileStamp(output);
  const core::ProcessResult run = builtin ? RunBuiltin(log, system_log, *builtin, command)
                                          : RunProcessor(context, log, system_log, command);
  log.Write(system_log, "XSLT ERROR: " + std::to_string(run.Code()));
  if (run.started) log.Write(system_log, "XSLT EXIT: " + std::to_string(run.exit_status));

  const bool written = core::IsPlainFile(output) && core::FileStamp(output) != stamp_before;
  const std::string failure =
      ProgramFailureText(command.program, run, rules, context.settings.language);
  if (failure.empty() && written) {
    log.Write(system_log, "xsl transformation executed [" + std::to_string(run.Code()) +
                              "]: " + sheet + " -> " + output);
    return {"OK", ""};
  }
  const std::string error = " ERROR: xsl transformation NOT executed! [" + sheet + "]";
  log.Write(system_log, "XSLT ERROR: " + error);
  // A processor that ran and failed fails this file only; one that did not
  // run, or was ended by us, fails the module.
  const bool ran_to_its_end = run.started && run.ending == core::Ending::kExited;
  return {error, ran_to_its_end ? "" : failure};
}

Problems CheckXSLTproc(const ModuleSection& where) {
  XsltParams p = ReadParams(where);
  return Check(where, p);
}

ModuleOutcome RunXSLTproc(const ModuleCall& call) {
  const ModuleSection& where = call.where;
  XsltParams p = ReadParams(where);
  ModuleRun run(call, p.mtype);
  run.Start();
  if (const Problems problems = Check(where, p); !problems.empty()) {
    return ModuleOutcome::Failed(run.Fail(problems.front()));
  }
  const std::string stylesheet = where.Absolute(p.stylesheet);
  const std::string out_folder = where.Absolute(p.out_path);
  const std::vector<std::string> inputs = InputFiles(where, p);
  std::map<std::string, int> later_uses;  // how many inputs still write each output
  const auto output_of = [&](const std::string& input) {
    return out_folder + core::kPathSeparator + BaseName(core::FileNameOf(input)) + "." +
           p.out_extension;
  };
  for (const std::string& input : inputs) ++later_uses[output_of(input)];
  const std::unique_ptr<BuiltinXslt> builtin =
      p.engine == kBuiltinEngineKey && !inputs.empty()
          ? CompileStylesheet(where.context, call.log, stylesheet)
          : nullptr;
  std::size_t not_transformed = 0, not_put_away = 0;
  for (const std::string& input : inputs) {
    const std::string output = output_of(input);
    const bool replaced_later = --later_uses[output] > 0;
    const XsltOutcome outcome = XSLTransform(where.context, call.log, input, stylesheet, output,
                                             run.rules(), builtin.get());
    if (!outcome.module_failure.empty()) {
      return ModuleOutcome::Failed(run.Fail(outcome.module_failure));
    }
    run.Line(" File transformed: [" + outcome.result + "] " + input + " to " + output);
    const bool transformed = outcome.result == "OK";
    if (!transformed) ++not_transformed;
    if (!DisposeOfInput(run, where, p, input, transformed, replaced_later)) ++not_put_away;
  }
  const std::string kept = KeptInputsText(where, inputs.size(), not_transformed, not_put_away);
  if (!kept.empty()) run.Line(" ERROR: " + kept);
  run.End();
  return kept.empty() ? ModuleOutcome::Done() : ModuleOutcome::Kept(kept);
}

}  // namespace wfdesk::engine
