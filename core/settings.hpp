#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/path_facts.hpp"
#include "core/result.hpp"

namespace wfdesk::core {

inline constexpr std::string_view kAppTitle = "wfdesk";

// Process-wide settings, read once at start-up from the SETTINGS section of
// settings.ini in the installation folder.
struct AppSettings {
  std::string SettingsFile = "settings.ini";
  std::string ListSeparator = "  ->  ";
  std::int16_t language = 0;  // 1 selects German, anything else English
  std::string module_dir;
  std::string data_dir;
  std::string etc_dir;
  std::string tmp_dir;
  std::string logfile;  // the system log
  std::string textdb;
  std::string silentmode;  // kept as text; see IsSilent
  // The invoice check's rules run on Java with Saxon-HE: the java program
  // and the Saxon-HE jar; "" takes java from PATH and the system's jar.
  std::string java_program;
  std::string saxon_jar;
};

// Reads settings.ini of the installation folder; missing keys stay "".
AppSettings LoadAppSettings(const std::string& home);

// Reads a number the way a leading-digits conversion does: blanks, an
// optional sign, then digits; "01" is 1, "abc" and "" are 0.
long LeadingNumber(std::string_view text);

// A count of seconds written as digits only (blanks around allowed), above
// 0 and at most a week; 0 for anything else, the empty text included.
int PositiveSeconds(std::string_view text);

// silentmode = 1: no message box at the end of a run.
bool IsSilent(const AppSettings& settings);

// The value of the command-line option "/" + letter; see the operator's
// guide for the odd cases (the character after the letter is always skipped).
std::string GetCommandLineParam(std::string_view letter, std::string_view command_line);

// A program's arguments split into our own "--" options and the rest.
struct ProgramArguments {
  std::optional<std::string> home;  // --home DIR or --home=DIR
  std::vector<std::string> others;  // every argument not starting with "--"
  // The others joined with blanks: the text the workflow option is read from.
  std::string OthersJoined() const;
};
ProgramArguments SplitProgramArguments(const std::vector<std::string>& arguments);

// "v.MAJOR.MINOR.REVISION" of this build.
std::string VersionText();

// Where an installation may be, in the order they are tried.
struct HomeSources {
  std::optional<std::string> option;       // --home
  std::optional<std::string> environment;  // WFDESK_HOME
  std::string executable_folder;
  std::optional<std::string> data_home;  // XDG_DATA_HOME
  std::optional<std::string> user_home;  // HOME
};

// The sources of this process: its environment and the folder of the
// running executable.
HomeSources SystemHomeSources(const std::optional<std::string>& home_option);

// The installation folder: the --home value when given, else WFDESK_HOME,
// else the folder of the executable when it holds settings.ini (a folder
// unpacked with its programs), else wfdesk in the user's data folder
// (XDG_DATA_HOME when absolute, else ~/.local/share). Empty values count
// as not given. Relative results are left as they are.
std::string ChooseHome(const HomeSources& sources);

// ChooseHome of this process's sources, made absolute without a trailing
// "/".
std::string ResolveHome(const std::optional<std::string>& home_option);

// The folder of the running executable.
std::string ExecutableFolder();

// Makes the installation folder the current folder, so that relative paths
// in settings and workflow files name the same files as their absolute form.
FileResult EnterHome(const std::string& home);

}  // namespace wfdesk::core
