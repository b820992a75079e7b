#include "core/settings.hpp"
#include "core/ascii.hpp"

#include <climits>
#include <limits>

#include "core/ini.hpp"
#include "core/platform/platform.hpp"

namespace wfdesk::core {

namespace {

std::int16_t ToLanguageCode(long value) {
  if (value < std::numeric_limits<std::int16_t>::min() ||
      value > std::numeric_limits<std::int16_t>::max()) {
    return 0;
  }
  return static_cast<std::int16_t>(value);
}

}  // namespace

AppSettings LoadAppSettings(const std::string& home) {
  AppSettings s;
  auto read = [&](const char* key) { return ReadINIValue(s.SettingsFile, "SETTINGS", key, home); };
  s.language = ToLanguageCode(LeadingNumber(read("language")));
  s.module_dir = read("module_dir");
  s.data_dir = read("data_dir");
  s.etc_dir = read("etc_dir");
  s.tmp_dir = read("tmp_dir");
  s.logfile = read("logfile");
  s.textdb = read("textdb");
  s.silentmode = read("silentmode");
  s.java_program = read("java_program");
  s.saxon_jar = read("saxon_jar");
  return s;
}

int PositiveSeconds(std::string_view text) {
  constexpr long kWeek = 7L * 24 * 60 * 60;
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty() || text.size() > 7) return 0;
  long seconds = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return 0;
    seconds = seconds * 10 + (c - '0');
  }
  return seconds <= kWeek ? static_cast<int>(seconds) : 0;
}

long LeadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    if (value > (LONG_MAX - digit) / 10) return negative ? LONG_MIN : LONG_MAX;
    value = value * 10 + digit;
  }
  return negative ? -value : value;
}

bool IsSilent(const AppSettings& settings) {
  return LeadingNumber(settings.silentmode) == 1;
}

std::string GetCommandLineParam(std::string_view letter, std::string_view command_line) {
  if (command_line.empty() || letter.size() != 1) return "";
  const char wanted = LowerAscii(letter[0]);
  std::size_t slash = std::string_view::npos;
  for (std::size_t i = 0; i + 1 < command_line.size(); ++i) {
    if (command_line[i] == '/' && LowerAscii(command_line[i + 1]) == wanted) {
      slash = i;
      break;
    }
  }
  if (slash == std::string_view::npos) return "";
  // The slash, the letter and one separator character are passed over.
  const std::size_t start = slash + 3;
  if (start >= command_line.size()) return "";
  std::size_t end = command_line.size();
  const std::size_t next_slash = command_line.find('/', start);
  if (next_slash != std::string_view::npos) {
    // The character just before the next option is its separator.
    if (next_slash <= start + 1) return "";
    end = next_slash - 1;
  }
  return std::string(TrimSpaces(command_line.substr(start, end - start)));
}

ProgramArguments SplitProgramArguments(const std::vector<std::string>& arguments) {
  constexpr std::string_view kHome = "--home";
  ProgramArguments split;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == kHome && i + 1 < arguments.size()) {
      split.home = arguments[++i];
    } else if (argument.starts_with(std::string(kHome) + "=")) {
      split.home = argument.substr(kHome.size() + 1);
    } else if (!argument.starts_with("--")) {
      split.others.push_back(argument);
    }
  }
  return split;
}

std::string ProgramArguments::OthersJoined() const {
  std::string joined;
  for (const auto& argument : others) {
    if (!joined.empty()) joined += ' ';
    joined += argument;
  }
  return joined;
}

std::string VersionText() {
  return "v." + std::to_string(WFDESK_VERSION_MAJOR) + "." + std::to_string(WFDESK_VERSION_MINOR) +
         "." + std::to_string(WFDESK_VERSION_PATCH);
}

HomeSources SystemHomeSources(const std::optional<std::string>& home_option) {
  return {home_option, platform::GetEnvironment("WFDESK_HOME"), platform::ExecutableFolder(),
          platform::GetEnvironment("XDG_DATA_HOME"), platform::GetEnvironment("HOME")};
}

std::string ChooseHome(const HomeSources& sources) {
  const auto given = [](const std::optional<std::string>& value) {
    return value && !value->empty();
  };
  if (given(sources.option)) return *sources.option;
  if (given(sources.environment)) return *sources.environment;
  const std::string own = sources.executable_folder;
  if (platform::Inspect(own + kPathSeparator + "settings.ini").is_regular) return own;
  // Relative data folders are to be ignored, as the base directory rules say.
  if (given(sources.data_home) && platform::IsAbsolutePath(*sources.data_home)) {
    return *sources.data_home + kPathSeparator + "wfdesk";
  }
  if (given(sources.user_home)) return *sources.user_home + "/.local/share/wfdesk";
  return own;
}

std::string ResolveHome(const std::optional<std::string>& home_option) {
  std::string home = ChooseHome(SystemHomeSources(home_option));
  if (!platform::IsAbsolutePath(home)) home = platform::CurrentFolder() + kPathSeparator + home;
  // A trailing separator goes, except the one of a root ("/", "C:\\").
  const std::size_t root_size = home.size() > 1 && home[1] == ':' ? 3 : 1;
  while (home.size() > root_size && kPathSeparators.find(home.back()) != std::string_view::npos) {
    home.pop_back();
  }
  return home;
}

std::string ExecutableFolder() {
  return platform::ExecutableFolder();
}

FileResult EnterHome(const std::string& home) {
  return platform::ChangeFolder(home);
}

}  // namespace wfdesk::core
