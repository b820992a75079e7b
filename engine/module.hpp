#pragma once

// The protocol every module of a workflow chain follows: reading its keys,
// its start, error, param, call and end lines, the error procedure and the
// call of its outside program.

#include <optional>
#include <string>
#include <vector>

#include "core/context.hpp"
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
};

// What the chain hands a module for one run.
struct ModuleCall {
  ModuleSection where;
  std::string log_file;
  std::string run_id;
  RunLog& log;
};

// Messages of the checks the modules share; each begins with ": " and is put
// behind the section name.
namespace messages {
inline constexpr const char* kFileMissing =
    ": Eingangsverzeichnis für Daten fehlt! Bitte in Datei/Einstellungen die Settings öffnen und "
    "den Wert unter 'mpFile' eintragen.";
inline constexpr const char* kFileNotExisting =
    ": Eingangsverzeichnis für Daten existiert nicht! Bitte in Datei/Einstellungen die Settings "
    "öffnen und einen gültigen Pfad unter 'mpFile' eintragen.";
inline constexpr const char* kOutPathMissing =
    ": Ausgangsverzeichnis für Daten fehlt! Bitte in Datei/Einstellungen die Settings öffnen und "
    "den Wert unter 'mpFileOutPath' eintragen.";
inline constexpr const char* kOutPathNotExisting =
    ": Ausgangsverzeichnis für Daten existiert nicht! Bitte in Datei/Einstellungen die Settings "
    "öffnen und einen gültigen Pfad unter 'mpFileOutPath' eintragen.";
inline constexpr const char* kOutExtensionMissing =
    ": Dateiendung für die Ausgabedaten fehlt! Bitte in Datei/Einstellungen die Settings öffnen "
    "und den Wert unter 'mpFileOutExtension' eintragen.";
inline constexpr const char* kArchiveNotExisting =
    ": Verzeichnis für die Archivierung existiert nicht! Bitte in Datei/Einstellungen die "
    "Settings öffnen und einen gültigen Pfad unter 'mpArchivePath' eintragen. Wenn die Daten "
    "nicht archiviert werden sollen, kann dieser Parameter weggelassen werden.";
}  // namespace messages

// Problems of module parameters, in the order of the module's checks.
using Problems = std::vector<std::string>;

// The checks of mpFile, mpFileOutPath and mpFileOutExtension, in their order.
void CheckInputAndOutput(const ModuleSection& where, const std::string& file,
                         const std::string& out_path, const std::string& out_extension,
                         Problems& problems);
// mpArchivePath set and not an existing folder.
void CheckArchive(const ModuleSection& where, const std::string& archive_path, Problems& problems);

// One switch of an outside program's command line, with its value.
struct Switch {
  std::string name;
  std::string value;
};

// One run of a module: writes its lines with the module prefix.
class ModuleRun {
 public:
  ModuleRun(const ModuleCall& call, std::string mtype) : call_(call), mtype_(std::move(mtype)) {}

  void Start();
  void End();
  // A line of its own: the prefix, then the text.
  void Line(const std::string& text);
  // The error procedure: the operator is shown the section name and the
  // text, the error line is written, and the message is the module result.
  std::string Fail(const std::string& text);

  // Starts the module program `executable` of the module folder with the
  // switches, between its param line and its call and exit lines. Returns
  // the module's failure message when the program could not be started.
  std::optional<std::string> CallProgram(const std::string& executable,
                                         const std::vector<Switch>& switches);

 private:
  std::string Prefix() const;

  const ModuleCall& call_;
  std::string mtype_;
};

// The path of a program in the module folder.
std::string ModuleProgramPath(const core::Context& context, const std::string& executable);

// Values of these switches never reach a log.
inline constexpr const char* kSecretSwitch = "-cpw";
inline constexpr const char* kSecretMask = "********";

// Builds the command line; with `for_log`, secret values are masked.
core::CommandLine ProgramCommandLine(const std::string& program,
                                     const std::vector<Switch>& switches, bool for_log);

// The message for a program that could not be started.
std::string NotStartedText(const std::string& program, const std::string& reason);

}  // namespace wfdesk::engine
