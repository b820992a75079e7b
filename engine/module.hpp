#pragma once

// The protocol every module of a workflow chain follows: reading its keys,
// its start, error, param, call and end lines, the error procedure and the
// call of its outside program.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/context.hpp"
#include "core/language.hpp"
#include "engine/run_log.hpp"

namespace wfdesk::engine {

// A module section of a workflow file, for reading its keys.
struct ModuleSection {
  const core::Context& context;
  std::string workflow_file;  // data folder, "/", file name
  std::string section;        // MOD001, ...

  // The trimmed value of a key of this section, "" when not set.
  std::string Read(const std::string& key) const;
  // The absolute form of a configured path.
  std::string Absolute(const std::string& path) const;
  // The language text of a key in the language of the settings.
  std::string Text(std::string_view key) const;
};

// What a module run came to. The chain goes on after kDone and after
// kDoneWithKeptFailures; the latter still makes the run a failure, with the
// message, because some of the module's inputs were kept for the next run.
struct ModuleOutcome {
  enum class Status { kDone, kDoneWithKeptFailures, kFailed };
  Status status = Status::kDone;
  std::string message = "OK";  // "OK" when done; the message otherwise

  static ModuleOutcome Done() { return {}; }
  static ModuleOutcome Kept(std::string why) {
    return {Status::kDoneWithKeptFailures, std::move(why)};
  }
  static ModuleOutcome Failed(std::string why) { return {Status::kFailed, std::move(why)}; }
  bool stops_chain() const { return status == Status::kFailed; }
};

// What the chain hands a module for one run.
struct ModuleCall {
  ModuleSection where;
  std::string mtype;  // as the chain read it to find the module
  std::string log_file;
  std::string run_id;
  RunLog& log;
};

// Problems of module parameters, in the order of the module's checks.
using Problems = std::vector<std::string>;

// The checks of mpFile, mpFileOutPath and mpFileOutExtension, in their order.
void CheckInputAndOutput(const ModuleSection& where, const std::string& file,
                         const std::string& out_path, const std::string& out_extension,
                         Problems& problems);
// mpArchivePath set and not an existing folder.
void CheckArchive(const ModuleSection& where, const std::string& archive_path, Problems& problems);

// How a module treats its outside programs: mpTimeout (seconds a program
// may run, 0 = no limit) and mpIgnoreExitStatus (1: a program's exit
// status means nothing, so it never fails the module).
struct ProgramRules {
  int time_limit_seconds = 0;
  bool ignore_exit_status = false;
  bool time_limit_valid = true;  // mpTimeout unset, or a whole number of seconds above 0

  static ProgramRules Of(const ModuleSection& where);
};

// The keys every module reads for its outside programs: mpTimeout set and
// not a whole number of seconds above 0.
void CheckProgramRules(const ModuleSection& where, Problems& problems);
// The same check of rules a module run has read already.
void CheckProgramRules(const ModuleSection& where, const ProgramRules& rules, Problems& problems);

// The module's failure text for a program that ended without success, or
// "" when it succeeded under the rules. A program that kept inputs for the
// next run has one too.
std::string ProgramFailureText(const std::string& program, const core::ProcessResult& result,
                               const ProgramRules& rules, core::LanguageCode language);

// One switch of an outside program's command line, with its value.
struct Switch {
  std::string name;
  std::string value;
};

// Variables set in a module program's environment: name, value.
using ProgramEnvironment = std::vector<std::pair<std::string, std::string>>;

// One run of a module: writes its lines with the module prefix.
class ModuleRun {
 public:
  ModuleRun(const ModuleCall& call, std::string mtype)
      : call_(call), mtype_(std::move(mtype)), rules_(ProgramRules::Of(call.where)) {}

  void Start();
  void End();
  // A line of its own: the prefix, then the text.
  void Line(const std::string& text);
  // The error procedure: the operator is shown the section name and the
  // text, the error line is written, and the message is the module result.
  std::string Fail(const std::string& text);

  // Starts the module program `executable` of the module folder with the
  // switches, between its param line and its call and exit lines. The
  // module fails (error procedure) when the program could not be started,
  // was ended by its time limit or a stop, or ended with a status other
  // than 0 (unless mpIgnoreExitStatus is 1); the status
  // core::kExitKeptForNextRun makes it done with kept failures, logged as
  // an error line.
  // `environment` holds variables set for the program alone.
  ModuleOutcome CallProgram(const std::string& executable, const std::vector<Switch>& switches,
                            const ProgramEnvironment& environment = {});

  const ProgramRules& rules() const { return rules_; }

 private:
  std::string Prefix() const;

  const ModuleCall& call_;
  std::string mtype_;
  ProgramRules rules_;
};

// The path of a program in the module folder.
std::string ModuleProgramPath(const core::Context& context, const std::string& executable);

// Values of these switches never reach a log; nor does the password in the
// address of kAddressSwitch.
inline constexpr const char* kSecretSwitch = "-cpw";
inline constexpr const char* kAddressSwitch = "-cp";
inline constexpr const char* kSecretMask = "********";

// Builds the command line; with `for_log`, secret values are masked.
core::CommandLine ProgramCommandLine(const std::string& program,
                                     const std::vector<Switch>& switches, bool for_log);

// The message for a program that could not be started.
std::string NotStartedText(const std::string& program, const std::string& reason,
                           core::LanguageCode language);

}  // namespace wfdesk::engine
