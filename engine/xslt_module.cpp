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

// The inputs in their order, each with the output file it is transformed into.
std::vector<BuiltinXsltJob> Jobs(const ModuleSection& where, const XsltParams& p) {
  const std::string out_folder = where.Absolute(p.out_path);
  std::vector<BuiltinXsltJob> jobs;
  for (std::string& input : InputFiles(where, p)) {
    std::string output = out_folder + core::kPathSeparator + BaseName(core::FileNameOf(input)) +
                         "." + p.out_extension;
    jobs.push_back({std::move(input), std::move(output)});
  }
  return jobs;
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

// How one file's transformation went, whichever engine did it.
struct EngineRun {
  core::ProcessResult process;
  bool written = false;  // the output file was written by it
};

// The command line of a transformation; for the built-in engine it is the
// one xsltproc would have been given.
core::CommandLine XsltCommand(std::string program, const std::string& input,
                              const std::string& sheet, const std::string& output,
                              const ProgramRules& rules) {
  core::CommandLine command{std::move(program), {}};
  command.Add("-o").AddQuoted(output).AddQuoted(sheet).AddQuoted(input);
  command.time_limit_seconds = rules.time_limit_seconds;
  return command;
}

EngineRun RunProcessor(const core::Context& context, RunLog& log,
                       const core::CommandLine& command) {
  log.Write(context.settings.logfile, "XSLT COMMAND: " + command.Render());
  const std::string& output = command.arguments[1].text;  // -o OUTPUT STYLESHEET INPUT
  const std::string stamp_before = core::FileStamp(output);
  EngineRun run{context.launcher.RunAndWait(command), false};
  run.written = core::IsPlainFile(output) && core::FileStamp(output) != stamp_before;
  return run;
}

// The built-in engine's transformation, told as a processor's: it ran
// unless a stop was requested first, and ended with the status xsltproc
// would have. The engine's name stands in the command line for the program.
EngineRun TakeBuiltin(const core::Context& context, RunLog& log, const core::CommandLine& command,
                      BuiltinXsltAhead& ahead, std::size_t index) {
  const std::string& system_log = context.settings.logfile;
  log.Write(system_log, "XSLT COMMAND: " + command.program +
                            command.Render().substr(command.program.size() + 2));
  const BuiltinXsltDone done = ahead.Take(index);
  for (const std::string& message : done.result.messages) {
    log.Write(system_log, "XSLT MESSAGE: " + message);
  }
  EngineRun run;
  run.process.started = !done.stopped;
  run.process.exit_status = done.result.exit_status;
  if (done.stopped) run.process.ending = core::Ending::kStopped;
  run.written = done.written;
  return run;
}

// The lines after the engine's run and what they come to: done only when
// the engine succeeded under the rules and wrote the output in this run.
XsltOutcome Conclude(const core::Context& context, RunLog& log, const core::CommandLine& command,
                     const ProgramRules& rules, const EngineRun& run) {
  const std::string& system_log = context.settings.logfile;
  const std::string& output = command.arguments[1].text;
  const std::string& sheet = command.arguments[2].text;
  log.Write(system_log, "XSLT ERROR: " + std::to_string(run.process.Code()));
  if (run.process.started) {
    log.Write(system_log, "XSLT EXIT: " + std::to_string(run.process.exit_status));
  }
  const std::string failure =
      ProgramFailureText(command.program, run.process, rules, context.settings.language);
  if (failure.empty() && run.written) {
    log.Write(system_log, "xsl transformation executed [" + std::to_string(run.process.Code()) +
                              "]: " + sheet + " -> " + output);
    return {"OK", ""};
  }
  const std::string error = " ERROR: xsl transformation NOT executed! [" + sheet + "]";
  log.Write(system_log, "XSLT ERROR: " + error);
  // A processor that ran and failed fails this file only; one that did not
  // run, or was ended by us, fails the module.
  const bool ran_to_its_end = run.process.started && run.process.ending == core::Ending::kExited;
  return {error, ran_to_its_end ? "" : failure};
}

// The engine of one module run: the processor, one run per file, or the
// built-in engine with the stylesheet compiled once (what compiling it said
// goes to the system log) and the files transformed ahead on a thread.
class RunEngine {
 public:
  RunEngine(const ModuleCall& call, const XsltParams& p, const std::string& stylesheet,
            const std::vector<BuiltinXsltJob>& jobs)
      : context_(call.where.context), log_(call.log), stylesheet_(stylesheet) {
    if (p.engine != kBuiltinEngineKey || jobs.empty()) return;
    // The stylesheet the processor would find, compiled once for all files.
    sheet_ = FindStylesheet(context_, stylesheet);
    builtin_ = std::make_unique<BuiltinXslt>(sheet_);
    for (const std::string& message : builtin_->CompileMessages()) {
      log_.Write(context_.settings.logfile, "XSLT MESSAGE: " + message);
    }
    ahead_ = std::make_unique<BuiltinXsltAhead>(*builtin_, jobs);
  }

  XsltOutcome Transform(std::size_t index, const BuiltinXsltJob& job, const ProgramRules& rules) {
    if (!ahead_) return XSLTransform(context_, log_, job.input, stylesheet_, job.output, rules);
    const core::CommandLine command =
        XsltCommand(kBuiltinXsltEngine, job.input, sheet_, job.output, rules);
    return Conclude(context_, log_, command, rules,
                    TakeBuiltin(context_, log_, command, *ahead_, index));
  }

 private:
  const core::Context& context_;
  RunLog& log_;
  std::string stylesheet_;
  std::string sheet_;
  std::unique_ptr<BuiltinXslt> builtin_;
  std::unique_ptr<BuiltinXsltAhead> ahead_;  // declared last: ends before the engine
};

}  // namespace

XsltOutcome XSLTransform(const core::Context& context, RunLog& log, const std::string& input,
                         const std::string& stylesheet, const std::string& output,
                         const ProgramRules& rules) {
  const std::string sheet = FindStylesheet(context, stylesheet);
  if (sheet.empty()) return {"XSLT file does not exist (" + stylesheet + ")", ""};
  const core::CommandLine command =
      XsltCommand(ModuleProgramPath(context, kXsltProcessor), input, sheet, output, rules);
  return Conclude(context, log, command, rules, RunProcessor(context, log, command));
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
  const std::vector<BuiltinXsltJob> jobs = Jobs(where, p);
  std::map<std::string, int> later_uses;  // how many inputs still write each output
  for (const BuiltinXsltJob& job : jobs) ++later_uses[job.output];
  RunEngine engine(call, p, where.Absolute(p.stylesheet), jobs);
  std::size_t not_transformed = 0, not_put_away = 0;
  for (std::size_t index = 0; index < jobs.size(); ++index) {
    const BuiltinXsltJob& job = jobs[index];
    const bool replaced_later = --later_uses[job.output] > 0;
    const XsltOutcome outcome = engine.Transform(index, job, run.rules());
    if (!outcome.module_failure.empty()) {
      return ModuleOutcome::Failed(run.Fail(outcome.module_failure));
    }
    run.Line(" File transformed: [" + outcome.result + "] " + job.input + " to " + job.output);
    const bool transformed = outcome.result == "OK";
    if (!transformed) ++not_transformed;
    if (!DisposeOfInput(run, where, p, job.input, transformed, replaced_later)) ++not_put_away;
  }
  const std::string kept = KeptInputsText(where, jobs.size(), not_transformed, not_put_away);
  if (!kept.empty()) run.Line(" ERROR: " + kept);
  run.End();
  return kept.empty() ? ModuleOutcome::Done() : ModuleOutcome::Kept(kept);
}

}  // namespace wfdesk::engine
