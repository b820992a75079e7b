#include "schedule/systemd.hpp"

#include <cstdint>

#include "core/ascii.hpp"
#include "core/environment.hpp"
#include "core/files.hpp"
#include "core/log.hpp"
#include "core/process.hpp"
#include "core/text_encoding.hpp"

namespace wfdesk::schedule {

namespace {

constexpr std::string_view kUnitPrefix = "wfdesk-";
constexpr std::string_view kTimer = ".timer";
constexpr std::string_view kService = ".service";
// systemd's longest unit name.
constexpr std::size_t kUnitNameMax = 255;
constexpr std::string_view kNextElapse = "Next elapse:";
constexpr char kHexDigits[] = "0123456789abcdef";

using core::HasControlCharacter;

std::string Trimmed(std::string_view text) {
  return std::string(core::TrimWhitespace(text));
}

// A name in a Description= line: specifiers doubled; a name that is not
// plain UTF-8 text as its unit name.
std::string DescriptionName(std::string_view text) {
  if (!core::IsValidUtf8(text) || HasControlCharacter(text)) return EscapeUnitName(text);
  std::string out;
  for (const char c : text) out += c == '%' ? std::string("%%") : std::string(1, c);
  return out;
}

// The value of `key=` in a unit's text, "" when it has none.
std::string UnitValue(std::string_view unit, std::string_view key) {
  std::size_t start = 0;
  while (start < unit.size()) {
    std::size_t end = unit.find('\n', start);
    if (end == std::string_view::npos) end = unit.size();
    const std::string line = Trimmed(unit.substr(start, end - start));
    if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == '=') {
      return Trimmed(std::string_view(line).substr(key.size() + 1));
    }
    start = end + 1;
  }
  return "";
}

// The text behind "Next elapse:" in systemd-analyze's report.
std::string NextElapse(std::string_view report) {
  const auto at = report.find(kNextElapse);
  if (at == std::string_view::npos) return "";
  const auto end = report.find('\n', at);
  return Trimmed(report.substr(at + kNextElapse.size(), end - at - kNextElapse.size()));
}

// An argument for the operator's shell, in single quotes.
std::string ShellQuoted(std::string_view text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace

std::string EscapeUnitName(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                       (byte >= '0' && byte <= '9') || byte == ':' || byte == '_' ||
                       (byte == '.' && i > 0);
    if (plain) {
      out += static_cast<char>(byte);
    } else if (byte == '/') {
      out += '-';
    } else {
      out += "\\x";
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 0x0F];
    }
  }
  return out;
}

std::optional<std::string> UnescapeUnitName(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '-') {
      out += '/';
    } else if (text[i] != '\\') {
      out += text[i];
    } else {
      if (i + 3 >= text.size()) return std::nullopt;
      if (text.substr(i + 1, 1) != "x") return std::nullopt;
      const std::string_view digits = text.substr(i + 2, 2);
      const auto high = std::string_view(kHexDigits).find(digits[0]);
      const auto low = std::string_view(kHexDigits).find(digits[1]);
      if (high == std::string_view::npos || low == std::string_view::npos) return std::nullopt;
      out += static_cast<char>(high * 16 + low);
      i += 3;
    }
  }
  return out;
}

std::string QuoteExecArgument(std::string_view text) {
  // A lone ";" would separate two command lines.
  if (text == ";") return "\\;";
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (c == '%' || c == '$') {
      out += c;
      out += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      out += "\\x";
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 0x0F];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string ServiceUnitText(const SystemdSetup& setup, const std::string& workflow) {
  std::string text = "[Unit]\nDescription=wfdesk: run " + DescriptionName(workflow) + " of " +
                     DescriptionName(setup.home) + "\n\n[Service]\nType=oneshot\n";
  text += "ExecStart=" + QuoteExecArgument(setup.program) + " " + QuoteExecArgument("--home") +
          " " + QuoteExecArgument(setup.home) + " " + QuoteExecArgument("run") + " " +
          QuoteExecArgument("--") + " " + QuoteExecArgument(workflow) + "\n";
  // "--": a workflow name beginning with "-" is no option. Status 3: the
  // workflow was already running, so this run was left out.
  text += "SuccessExitStatus=3\n";
  return text;
}

std::string TimerUnitText(const SystemdSetup& setup, const std::string& workflow,
                          const std::string& calendar) {
  return "[Unit]\nDescription=wfdesk: schedule of " + DescriptionName(workflow) + " of " +
         DescriptionName(setup.home) + "\n\n[Timer]\nOnCalendar=" + calendar +
         "\n# A run missed while the machine was off happens at the next start.\n"
         "Persistent=true\n\n[Install]\nWantedBy=timers.target\n";
}

std::string UserUnitFolder() {
  std::string base = core::EnvironmentValue("XDG_CONFIG_HOME").value_or("");
  // Relative values are to be ignored, as the base directory rules say.
  if (base.empty() || base.front() != '/') {
    base = core::EnvironmentValue("HOME").value_or("") + "/.config";
  }
  return base + "/systemd/user";
}

std::string SystemdScheduler::UnitBase(const std::string& workflow) const {
  return std::string(kUnitPrefix) + InstallationTag(setup_.home) + "-" + EscapeUnitName(workflow);
}

std::string SystemdScheduler::Text(std::string_view key,
                                   std::initializer_list<std::string_view> values) const {
  return core::FormatLanguageText(key, setup_.language, values);
}

SystemdScheduler::Captured SystemdScheduler::Run(const std::string& program,
                                                 std::vector<std::string> arguments) {
  core::CommandLine command{program, {}};
  for (auto& argument : arguments) command.Add(std::move(argument));
  command.capture_output = true;
  command.time_limit_seconds = 60;  // a hanging systemctl must not hang the caller
  const core::ProcessResult result = launcher_.RunAndWait(command);
  Captured captured{
      result.started && result.exit_status == 0, result.output, "",
      result.started && result.ending == core::Ending::kExited && result.exit_status != 0};
  if (!result.started) {
    captured.reason = program + ": " + result.error;
  } else if (!captured.ran) {
    captured.reason = Trimmed(result.errors.empty() ? result.output : result.errors);
    if (captured.reason.empty())
      captured.reason = "exit status " + std::to_string(result.exit_status);
  }
  return captured;
}

SystemdScheduler::Captured SystemdScheduler::Systemctl(std::vector<std::string> arguments) {
  if (setup_.systemctl.empty()) return {false, "", Text("lg_mesg_sch010", {"systemctl"})};
  arguments.insert(arguments.begin(), "--user");
  return Run(setup_.systemctl, std::move(arguments));
}

bool SystemdScheduler::UserManagerRuns() {
  if (setup_.systemctl.empty()) return false;
  const Captured state = Systemctl({"is-system-running"});
  const std::string word = Trimmed(state.output);
  // A degraded manager (some unit failed) still runs timers.
  return state.ran || word == "degraded" || word == "starting" || word == "initializing" ||
         word == "maintenance";
}

bool SystemdScheduler::CheckCalendar(const std::string& calendar, std::string& next_or_reason) {
  if (setup_.analyze.empty()) {
    next_or_reason = Text("lg_mesg_sch010", {"systemd-analyze"});
    return false;
  }
  if (calendar.empty() || HasControlCharacter(calendar)) {
    next_or_reason = Text("lg_mesg_sch001",
                          {core::EscapeControlCharacters(calendar), Text("lg_mesg_sch011", {})});
    return false;
  }
  const Captured checked = Run(setup_.analyze, {"calendar", "--", calendar});
  if (!checked.ran) {
    // systemd's own words, in English whatever the language, only as a
    // detail of our sentence.
    const std::string why =
        checked.refused ? Text("lg_mesg_sch021", {checked.reason}) : checked.reason;
    next_or_reason = Text("lg_mesg_sch001", {calendar, why});
    return false;
  }
  next_or_reason = NextElapse(checked.output);
  if (next_or_reason.empty() || next_or_reason == "never") {
    next_or_reason = Text("lg_mesg_sch001", {calendar, Text("lg_mesg_sch002", {})});
    return false;
  }
  return true;
}

std::optional<std::string> SystemdScheduler::RefuseName(const std::string& workflow) const {
  const bool file_name = !workflow.empty() && workflow != "." && workflow != ".." &&
                         workflow.find('/') == std::string::npos;
  if (file_name && UnitBase(workflow).size() + kService.size() <= kUnitNameMax) return std::nullopt;
  return Text("lg_mesg_sch003", {core::EscapeControlCharacters(workflow)});
}

ScheduleChange SystemdScheduler::Set(const std::string& workflow, const std::string& calendar) {
  if (const auto refused = RefuseName(workflow)) return {false, *refused};
  std::string next;
  if (!CheckCalendar(calendar, next)) return {false, next};
  std::vector<std::string> made_folders;
  if (const core::FileResult made = core::CreateFolders(setup_.unit_folder, made_folders); !made) {
    return {false, made.error};
  }
  const std::string base = setup_.unit_folder + "/" + UnitBase(workflow);
  // The service first, so that a timer never names a missing service.
  for (const auto& [path, text] :
       {std::pair{base + std::string(kService), ServiceUnitText(setup_, workflow)},
        std::pair{base + std::string(kTimer), TimerUnitText(setup_, workflow, calendar)}}) {
    if (const core::FileResult written = core::WriteTextFile(path, text, false); !written) {
      return {false, written.error};
    }
  }
  return Enable(workflow, calendar, next);
}

ScheduleChange SystemdScheduler::Enable(const std::string& workflow, const std::string& calendar,
                                        const std::string& next) {
  const std::string shown = core::EscapeControlCharacters(workflow);
  const std::string timer = UnitBase(workflow) + std::string(kTimer);
  const std::string linger = Text("lg_mesg_sch006", {"loginctl enable-linger \"$USER\""});
  if (!UserManagerRuns()) {
    return {true,
            Text("lg_mesg_sch005", {shown, "systemctl --user enable --now " + ShellQuoted(timer)}) +
                "\n" + linger};
  }
  // A restart makes a timer that ran already follow its new calendar.
  for (const std::vector<std::string>& step :
       {std::vector<std::string>{"daemon-reload"}, {"enable", timer}, {"restart", timer}}) {
    if (const Captured done = Systemctl(step); !done.ran) {
      return {false, Text("lg_mesg_sch009", {"systemctl --user " + step.front(), done.reason})};
    }
  }
  return {true, Text("lg_mesg_sch004", {shown, calendar, next})};
}

ScheduleChange SystemdScheduler::Remove(const std::string& workflow) {
  if (const auto refused = RefuseName(workflow)) return {false, *refused};
  const std::string shown = core::EscapeControlCharacters(workflow);
  const std::string timer = UnitBase(workflow) + std::string(kTimer);
  const std::string base = setup_.unit_folder + "/" + UnitBase(workflow);
  const std::vector<std::string> files = {base + std::string(kTimer), base + std::string(kService)};
  if (!core::IsPlainFile(files[0]) && !core::IsPlainFile(files[1])) {
    return {true, Text("lg_mesg_sch007", {shown})};
  }
  const bool manager_runs = UserManagerRuns();
  Captured disabled{true, "", ""};
  if (manager_runs) disabled = Systemctl({"disable", "--now", timer});
  for (const std::string& file : files) {
    if (!core::IsPlainFile(file)) continue;
    if (const core::FileResult removed = core::RemoveOneFile(file); !removed) {
      return {false, removed.error};
    }
  }
  // The link an enable left while no manager ran; usually there is none.
  (void)core::RemoveOneFile(setup_.unit_folder + "/timers.target.wants/" + timer);
  if (manager_runs) {
    if (const Captured reloaded = Systemctl({"daemon-reload"}); disabled.ran && !reloaded.ran) {
      disabled = {false, "", reloaded.reason};
    }
  }
  const std::string removed = Text("lg_mesg_sch008", {shown});
  if (!disabled.ran)
    return {false, removed + " " + Text("lg_mesg_sch009", {"systemctl --user", disabled.reason})};
  return {true, removed};
}

std::optional<Schedule> SystemdScheduler::ReadSchedule(const std::string& workflow,
                                                       bool manager_runs) {
  const std::string timer = UnitBase(workflow) + std::string(kTimer);
  std::string unit;
  if (!core::ReadFileContent(setup_.unit_folder + "/" + timer, unit)) return std::nullopt;
  Schedule schedule{workflow, UnitValue(unit, "OnCalendar"), "", false};
  if (std::string next; CheckCalendar(schedule.calendar, next)) schedule.next_run = next;
  schedule.active = manager_runs && Trimmed(Systemctl({"is-active", timer}).output) == "active";
  return schedule;
}

std::vector<Schedule> SystemdScheduler::List() {
  const std::string prefix = std::string(kUnitPrefix) + InstallationTag(setup_.home) + "-";
  std::vector<Schedule> schedules;
  std::optional<bool> manager_runs;
  for (const std::string& name : core::FolderFileNames(setup_.unit_folder)) {
    if (!name.starts_with(prefix) || !name.ends_with(kTimer)) continue;
    const auto workflow = UnescapeUnitName(
        std::string_view(name).substr(prefix.size(), name.size() - prefix.size() - kTimer.size()));
    if (!workflow ||
        EscapeUnitName(*workflow) + std::string(kTimer) != name.substr(prefix.size())) {
      continue;  // not written by us
    }
    if (!manager_runs) manager_runs = UserManagerRuns();
    if (auto schedule = ReadSchedule(*workflow, *manager_runs)) schedules.push_back(*schedule);
  }
  return schedules;
}

std::optional<Schedule> SystemdScheduler::Find(const std::string& workflow) {
  if (RefuseName(workflow)) return std::nullopt;
  if (!core::IsPlainFile(setup_.unit_folder + "/" + UnitBase(workflow) + std::string(kTimer))) {
    return std::nullopt;
  }
  return ReadSchedule(workflow, UserManagerRuns());
}

std::unique_ptr<SystemScheduler> MakeSystemdScheduler(const core::Context& context,
                                                      const std::string& program) {
  std::string home = core::CanonicalPath(context.home);
  if (home.empty()) home = context.home;
  SystemdSetup setup{home,
                     program,
                     UserUnitFolder(),
                     core::FindProgramOnPath("systemctl"),
                     core::FindProgramOnPath("systemd-analyze"),
                     context.settings.language};
  return std::make_unique<SystemdScheduler>(std::move(setup), context.launcher);
}

}  // namespace wfdesk::schedule
