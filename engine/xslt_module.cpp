// XSLTproc: transforms the input files of a folder with a stylesheet, one
// processor run per file or all in this process with the built-in engine,
// then archives or deletes the inputs. An input whose output would replace
// another file (an invoice waiting for the next module, another output of
// the run, an input) or that declares something from outside stays where
// it is, untransformed, for a later run.
#include "engine/xslt_module.hpp"

#include <map>
#include <memory>
#include <set>

#include "core/ascii.hpp"
#include "core/files.hpp"
#include "core/language.hpp"
#include "core/process.hpp"
#include "engine/modules.hpp"
#include "engine/xslt_builtin.hpp"
#include "engine/xslt_prolog.hpp"

namespace wfdesk::engine {

namespace {

struct XsltParams {
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
  p.file = where.Read("mpFile");
  p.file_mask = where.Read("mpFileMask");
  p.out_path = where.Read("mpFileOutPath");
  p.out_extension = where.Read("mpFileOutExtension");
  p.stylesheet = where.Read("mpXSLTfile");
  p.archive_path = where.Read("mpArchivePath");
  p.engine = where.Read("mpXSLTengine");
  return p;
}

// Output names have the form BASE.EXTENSION, BASE without a dot. Reading a
// name of that form, state 0 is before BASE, 1 inside it, 2 + k after the
// dot and k characters of EXTENSION. The states one mask character leads to:
void NextStates(std::size_t state, char m, std::string_view extension,
                std::set<std::size_t>& next) {
  const std::size_t done = 2 + extension.size();
  if (m == '*') {  // any run of characters: every later state, this one included
    for (std::size_t s = state; s <= done; ++s) next.insert(s);
    return;
  }
  const bool any = m == '?';
  if (state <= 1 && (any || m != '.')) next.insert(1);
  if (state == 1 && (any || m == '.')) next.insert(2);
  if (state >= 2 && state < done &&
      (any || core::UpperAscii(m) == core::UpperAscii(extension[state - 2]))) {
    next.insert(state + 1);
  }
}

// Whether the mask selects some name that is an output name.
bool MaskSelectsOutputNames(std::string_view mask, std::string_view extension) {
  std::set<std::size_t> states{0};
  for (const char m : mask) {
    std::set<std::size_t> next;
    for (const std::size_t state : states) NextStates(state, m, extension, next);
    states = std::move(next);
  }
  return states.contains(2 + extension.size());
}

// Whether outputs would land in the folder of the inputs under names that
// the input selection takes: then an input could be transformed into itself.
// mpFile naming a file (or a mask) selects by its last part.
bool OutputsAreInputs(const ModuleSection& where, const XsltParams& p) {
  std::string folder = where.Absolute(p.file);
  std::string mask = p.file_mask;
  if (!core::DirExists(folder)) {
    mask = core::FileNameOf(folder);
    folder.resize(folder.size() - mask.size());
  }
  const std::string inputs = core::CanonicalPath(folder);
  return !inputs.empty() && inputs == core::CanonicalPath(where.Absolute(p.out_path)) &&
         MaskSelectsOutputNames(mask, p.out_extension);
}

// The checks of the module's own keys; the program rules' check is the
// caller's, as a run has read them already.
Problems Check(const ModuleSection& where, XsltParams& p) {
  Problems problems;
  if (p.file_mask.empty()) p.file_mask = "*";
  CheckInputAndOutput(where, p.file, p.out_path, p.out_extension, problems);
  if (OutputsAreInputs(where, p)) problems.push_back(where.Text("lg_mesg_xslt003"));
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
                    const std::string& input, bool transformed) {
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
  const core::FileResult deleted = core::DeleteFileIfListed(input);
  if (deleted) {
    run.Line(" Input File deleted: " + input);
    return true;
  }
  run.Line(" Input File NOT deleted: " + input + " (" + deleted.error + ")");
  return false;
}

// The inputs a run kept in the input folder, by why.
struct KeptInputs {
  std::size_t not_transformed = 0;  // the engine failed on them
  std::size_t not_put_away = 0;     // transformed, but neither archived nor deleted
  std::size_t replacing = 0;        // their output would have replaced another file
  std::size_t refused = 0;          // they declare something from outside
};

// The message of a module run that kept some of its inputs, or "".
std::string KeptInputsText(const ModuleSection& where, std::size_t total, const KeptInputs& kept) {
  std::string text;
  const auto add = [&](const char* key, std::size_t count) {
    if (count == 0) return;
    if (!text.empty()) text += ' ';
    text += core::FormatLanguageText(key, where.context.settings.language,
                                     {where.section, std::to_string(count), std::to_string(total)});
  };
  add("lg_mesg_xslt001", kept.not_transformed);
  add("lg_mesg_xslt002", kept.not_put_away);
  add("lg_mesg_xslt004", kept.replacing);
  add("lg_mesg_xslt005", kept.refused);
  return text;
}

// The canonical paths of the inputs, to tell an output that is one of them.
std::set<std::string> CanonicalInputs(const std::vector<BuiltinXsltJob>& jobs) {
  std::set<std::string> inputs;
  for (const BuiltinXsltJob& job : jobs) {
    if (std::string path = core::CanonicalPath(job.input); !path.empty()) {
      inputs.insert(std::move(path));
    }
  }
  return inputs;
}

// Outputs claimed by the inputs chosen so far: the output in upper case,
// and the input that writes it.
using ClaimedOutputs = std::map<std::string, std::string>;

// Why writing the output of `job` would replace another file, or "": a file
// there before the run (one that waits in the output folder for a later
// module, or an input of this run, its own included) or the output of an
// input chosen before. Names that differ in case only count as one, as they
// are on Windows and on shared folders mounted from it.
std::string ReplacedFile(const BuiltinXsltJob& job, const std::set<std::string>& inputs,
                         const ClaimedOutputs& claimed) {
  const std::string output = "its output " + job.output;
  if (core::PathTaken(job.output)) {
    return inputs.contains(core::CanonicalPath(job.output))
               ? output + " is an input file of this run"
               : output + " would replace a file that waits in the output folder";
  }
  const auto first = claimed.find(core::UpperAscii(job.output));
  return first == claimed.end() ? "" : output + " would replace the output of " + first->second;
}

// Why the input must not reach an engine for what its prolog declares, or "".
std::string RefusedInput(const std::string& input) {
  std::string bytes;
  if (const core::FileResult read = core::ReadFileContent(input, bytes); !read) {
    return "it cannot be read (" + read.error + ")";
  }
  return RefusedProlog(bytes);
}

// The jobs of a run that may be transformed, in their order; the others are
// kept in the input folder, each with its line. No output replaces a file,
// and of inputs with one output name the first wins.
std::vector<BuiltinXsltJob> Screen(ModuleRun& run, const std::vector<BuiltinXsltJob>& all,
                                   KeptInputs& kept) {
  const std::set<std::string> inputs = CanonicalInputs(all);
  ClaimedOutputs claimed;
  std::vector<BuiltinXsltJob> jobs;
  const auto keep = [&](const BuiltinXsltJob& job, const std::string& why, std::size_t& count) {
    ++count;
    run.Line(" Input File kept, " + why + ": " + job.input);
  };
  for (const BuiltinXsltJob& job : all) {
    if (const std::string why = ReplacedFile(job, inputs, claimed); !why.empty()) {
      keep(job, why, kept.replacing);
    } else if (const std::string refused = RefusedInput(job.input); !refused.empty()) {
      keep(job, refused, kept.refused);
    } else {
      claimed.emplace(core::UpperAscii(job.output), job.input);
      jobs.push_back(job);
    }
  }
  return jobs;
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
EngineRun TellBuiltin(const core::Context& context, RunLog& log, const core::CommandLine& command,
                      const BuiltinXsltDone& done) {
  const std::string& system_log = context.settings.logfile;
  log.Write(system_log, "XSLT COMMAND: " + command.program +
                            command.Render().substr(command.program.size() + 2));
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

  // Nothing is done when the output's name was taken since the jobs were
  // chosen: the processor would replace that file.
  XsltOutcome Transform(std::size_t index, const BuiltinXsltJob& job, const ProgramRules& rules) {
    XsltOutcome taken{"", "", true};
    if (!ahead_) {
      if (core::PathTaken(job.output)) return taken;
      return XSLTransform(context_, log_, job.input, stylesheet_, job.output, rules);
    }
    const BuiltinXsltDone done = ahead_->Take(index);
    if (done.output_taken) return taken;
    const core::CommandLine command =
        XsltCommand(kBuiltinXsltEngine, job.input, sheet_, job.output, rules);
    return Conclude(context_, log_, command, rules, TellBuiltin(context_, log_, command, done));
  }

 private:
  const core::Context& context_;
  RunLog& log_;
  std::string stylesheet_;
  std::string sheet_;
  std::unique_ptr<BuiltinXslt> builtin_;
  std::unique_ptr<BuiltinXsltAhead> ahead_;  // declared last: ends before the engine
};

// Transforms the jobs and archives or deletes their inputs. A failure of
// the whole module is its text; "" otherwise.
std::string TransformAll(ModuleRun& run, const ModuleCall& call, const XsltParams& p,
                         const std::vector<BuiltinXsltJob>& jobs, KeptInputs& kept) {
  const ModuleSection& where = call.where;
  RunEngine engine(call, p, where.Absolute(p.stylesheet), jobs);
  for (std::size_t index = 0; index < jobs.size(); ++index) {
    const BuiltinXsltJob& job = jobs[index];
    const XsltOutcome outcome = engine.Transform(index, job, run.rules());
    if (!outcome.module_failure.empty()) return outcome.module_failure;
    if (outcome.output_taken) {
      ++kept.replacing;
      run.Line(" Input File kept, its output " + job.output +
               " appeared in the output folder during the run: " + job.input);
      continue;
    }
    run.Line(" File transformed: [" + outcome.result + "] " + job.input + " to " + job.output);
    const bool transformed = outcome.result == "OK";
    if (!transformed) ++kept.not_transformed;
    if (!DisposeOfInput(run, where, p, job.input, transformed)) ++kept.not_put_away;
  }
  return "";
}

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
  Problems problems = Check(where, p);
  CheckProgramRules(where, problems);
  return problems;
}

ModuleOutcome RunXSLTproc(const ModuleCall& call) {
  const ModuleSection& where = call.where;
  XsltParams p = ReadParams(where);
  ModuleRun run(call, call.mtype);
  run.Start();
  Problems problems = Check(where, p);
  CheckProgramRules(where, run.rules(), problems);
  if (!problems.empty()) {
    return ModuleOutcome::Failed(run.Fail(problems.front()));
  }
  const std::vector<BuiltinXsltJob> all = Jobs(where, p);
  KeptInputs kept;
  const std::vector<BuiltinXsltJob> jobs = Screen(run, all, kept);
  if (const std::string failure = TransformAll(run, call, p, jobs, kept); !failure.empty()) {
    return ModuleOutcome::Failed(run.Fail(failure));
  }
  const std::string text = KeptInputsText(where, all.size(), kept);
  if (!text.empty()) run.Line(" ERROR: " + text);
  run.End();
  return text.empty() ? ModuleOutcome::Done() : ModuleOutcome::Kept(text);
}

}  // namespace wfdesk::engine
