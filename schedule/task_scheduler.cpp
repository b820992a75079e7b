#include "schedule/task_scheduler.hpp"

#include <cstdint>
#include <memory>

#include "core/ascii.hpp"
#include "core/environment.hpp"
#include "core/files.hpp"
#include "core/log.hpp"
#include "core/path_facts.hpp"
#include "core/process.hpp"
#include "core/text_encoding.hpp"

namespace wfdesk::schedule {

namespace {

constexpr std::string_view kTaskPrefix = "wfdesk-";
// Tasks are files below C:\Windows\System32\Tasks, whose path must stay
// within the 260 characters of MAX_PATH.
constexpr std::size_t kTaskNameMax = 230;
// Columns of `schtasks /Query /FO CSV /V`; their headers are translated,
// their order is not.
constexpr std::size_t kNameColumn = 1;
constexpr std::size_t kNextRunColumn = 2;
constexpr std::size_t kCommentColumn = 10;
// The description ends with this and the calendar, which holds no blank
// followed by "at".
constexpr std::string_view kCalendarMark = " at ";
constexpr char kHexDigits[] = "0123456789abcdef";

constexpr std::string_view kPrincipalsXml =
    "  <Principals>\r\n    <Principal id=\"Author\">\r\n"
    "      <LogonType>InteractiveToken</LogonType>\r\n"
    "      <RunLevel>LeastPrivilege</RunLevel>\r\n    </Principal>\r\n  </Principals>\r\n";
// One run at a time, a start missed while the machine was off made up, and
// laptops on battery run too.
constexpr std::string_view kSettingsXml =
    "  <Settings>\r\n    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>\r\n"
    "    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>\r\n"
    "    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>\r\n"
    "    <StartWhenAvailable>true</StartWhenAvailable>\r\n"
    "    <Enabled>true</Enabled>\r\n  </Settings>\r\n";

using core::HasControlCharacter;

std::string Trimmed(std::string_view text) {
  return std::string(core::TrimWhitespace(text));
}

// Character data of an element from UTF-8 text. Controls XML cannot hold
// become "?"; the names that could carry them are refused before.
std::string XmlText(std::string_view text) {
  std::string printable(text);
  for (char& c : printable) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') c = '?';
  }
  return core::XmlEscape(printable);
}

// The code point at `at` of valid UTF-8, and `at` moved behind it.
char32_t NextCodePoint(std::string_view text, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at++]);
  const std::size_t more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
  char32_t code_point = more == 0 ? lead : lead & (0x3F >> more);
  for (std::size_t i = 0; i < more && at < text.size(); ++i) {
    code_point = (code_point << 6) | (static_cast<unsigned char>(text[at++]) & 0x3F);
  }
  return code_point;
}

void AppendUnit(std::string& out, char32_t unit) {
  out += static_cast<char>(unit & 0xFF);
  out += static_cast<char>((unit >> 8) & 0xFF);
}

std::string CalendarOfDescription(std::string_view description) {
  const auto mark = description.rfind(kCalendarMark);
  if (mark == std::string_view::npos) return "";
  return Trimmed(description.substr(mark + kCalendarMark.size()));
}

bool HasDigit(std::string_view text) {
  return text.find_first_of("0123456789") != std::string_view::npos;
}

std::string ShownTime(const core::LocalTime& time) {
  std::string text = TaskTimeText(time);
  text[10] = ' ';
  return text.substr(0, 16);
}

}  // namespace

std::string EscapeTaskName(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                       (byte >= '0' && byte <= '9') || byte == '-' ||
                       (byte == '.' && i > 0 && i + 1 < text.size());
    if (plain) {
      out += static_cast<char>(byte);
    } else {
      out += '_';
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 0x0F];
    }
  }
  return out;
}

std::optional<std::string> UnescapeTaskName(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '_') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const auto high = std::string_view(kHexDigits).find(text[i + 1]);
    const auto low = std::string_view(kHexDigits).find(text[i + 2]);
    if (high == std::string_view::npos || low == std::string_view::npos) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

std::string Utf16LeWithBom(std::string_view text) {
  const std::string utf8 = core::AsUtf8(text);
  std::string out = "\xFF\xFE";
  for (std::size_t at = 0; at < utf8.size();) {
    const char32_t code_point = NextCodePoint(utf8, at);
    if (code_point >= 0x10000) {
      AppendUnit(out, 0xD800 + ((code_point - 0x10000) >> 10));
      AppendUnit(out, 0xDC00 + ((code_point - 0x10000) & 0x3FF));
    } else {
      AppendUnit(out, code_point);
    }
  }
  return out;
}

std::vector<std::vector<std::string>> CsvRows(std::string_view text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
      field += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (quoted || (c != ',' && c != '\n' && c != '\r')) {
      field += c;
    } else if (c == ',') {
      row.push_back(std::move(field));
      field.clear();
    } else if (c == '\n') {
      row.push_back(std::move(field));
      field.clear();
      // A blank line is no row.
      if (row.size() > 1 || !row.front().empty()) rows.push_back(std::move(row));
      row.clear();
    }
  }
  if (!row.empty() || !field.empty()) {
    row.push_back(std::move(field));
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string TaskDefinitionXml(const TaskSchedulerSetup& setup, const std::string& workflow,
                              const std::string& calendar_text, const TaskCalendar& calendar,
                              const core::LocalTime& start) {
  const std::string home = core::AsUtf8(setup.home);
  const std::string name = core::AsUtf8(workflow);
  // The scheduler form of wfdesk-cli: what tasks written by hand use too.
  const std::string arguments =
      "--home " + core::QuoteWindowsArgument(home) + " /f " + core::QuoteWindowsArgument(name);
  return "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
         "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
         "\r\n  <RegistrationInfo>\r\n    <Description>" +
         XmlText("wfdesk: run " + name + " of " + home + std::string(kCalendarMark) +
                 calendar_text) +
         "</Description>\r\n  </RegistrationInfo>\r\n  <Triggers>\r\n" +
         CalendarTriggerXml(calendar, start) + "  </Triggers>\r\n" + std::string(kPrincipalsXml) +
         std::string(kSettingsXml) + "  <Actions Context=\"Author\">\r\n    <Exec>\r\n" +
         "      <Command>" + XmlText(core::QuoteWindowsArgument(core::AsUtf8(setup.program))) +
         "</Command>\r\n      <Arguments>" + XmlText(arguments) +
         "</Arguments>\r\n    </Exec>\r\n  </Actions>\r\n</Task>\r\n";
}

std::string TaskScheduler::TaskName(const std::string& workflow) const {
  return std::string(kTaskPrefix) + InstallationTag(setup_.home) + "-" + EscapeTaskName(workflow);
}

std::string TaskScheduler::Text(std::string_view key,
                                std::initializer_list<std::string_view> values) const {
  return core::FormatLanguageText(key, setup_.language, values);
}

std::optional<std::string> TaskScheduler::Refuse(const std::string& workflow) const {
  // The task expands %NAME% in its command line, and wfdesk-cli's /f form
  // ends the name at "/", trims its blanks and takes "--" for an option.
  for (const std::string& path : {setup_.home, setup_.program}) {
    if (path.find('%') != std::string::npos || HasControlCharacter(path)) {
      return Text("lg_mesg_sch019", {core::EscapeControlCharacters(path)});
    }
  }
  const bool passable = !workflow.empty() && workflow != "." && workflow != ".." &&
                        workflow.find_first_of("/\\%") == std::string::npos &&
                        !HasControlCharacter(workflow) && Trimmed(workflow) == workflow &&
                        !workflow.starts_with("--");
  if (passable && TaskName(workflow).size() <= kTaskNameMax) return std::nullopt;
  return Text("lg_mesg_sch016", {core::EscapeControlCharacters(workflow)});
}

TaskScheduler::Captured TaskScheduler::Schtasks(std::vector<std::string> arguments) {
  if (setup_.schtasks.empty()) return {false, false, "", Text("lg_mesg_sch010", {"schtasks"})};
  core::CommandLine command{setup_.schtasks, {}};
  for (auto& argument : arguments) command.Add(std::move(argument));
  command.capture_output = true;
  command.time_limit_seconds = 60;  // a hanging schtasks must not hang the caller
  const core::ProcessResult result = launcher_.RunAndWait(command);
  Captured captured{result.started, result.started && result.exit_status == 0, result.output, ""};
  if (!result.started) {
    captured.reason = setup_.schtasks + ": " + result.error;
  } else if (!captured.ran) {
    captured.reason = Trimmed(result.errors.empty() ? result.output : result.errors);
    if (captured.reason.empty())
      captured.reason = "exit status " + std::to_string(result.exit_status);
  }
  return captured;
}

ScheduleChange TaskScheduler::Register(const std::string& workflow, const std::string& definition) {
  std::string unique;
  for (const std::uint8_t byte : guids_.NewGuid()) {
    unique += kHexDigits[byte >> 4];
    unique += kHexDigits[byte & 0x0F];
  }
  const std::string path =
      setup_.temporary_folder + core::kPathSeparator + "wfdesk-task-" + unique + ".xml";
  if (const core::FileResult written = core::WriteNewFile(path, Utf16LeWithBom(definition));
      !written) {
    return {false, written.error};
  }
  const Captured created =
      Schtasks({"/Create", "/XML", path, "/TN", "\\" + TaskName(workflow), "/F"});
  (void)core::RemoveOneFile(path);
  if (!created.ran) return {false, Text("lg_mesg_sch009", {"schtasks /Create", created.reason})};
  return {true, ""};
}

ScheduleChange TaskScheduler::Set(const std::string& workflow, const std::string& calendar) {
  if (const auto refused = Refuse(workflow)) return {false, *refused};
  if (setup_.schtasks.empty()) return {false, Text("lg_mesg_sch010", {"schtasks"})};
  const std::optional<TaskCalendar> parsed = ParseTaskCalendar(calendar);
  if (!parsed) {
    return {false, Text("lg_mesg_sch001",
                        {core::EscapeControlCharacters(calendar), Text("lg_mesg_sch017", {})})};
  }
  const core::LocalTime start = FirstStart(*parsed, clock_.Now());
  const ScheduleChange registered =
      Register(workflow, TaskDefinitionXml(setup_, workflow, calendar, *parsed, start));
  if (!registered.ok) return registered;
  return {true, Text("lg_mesg_sch004",
                     {core::EscapeControlCharacters(workflow), calendar, ShownTime(start)}) +
                    "\n" + Text("lg_mesg_sch018", {"\\" + TaskName(workflow)})};
}

ScheduleChange TaskScheduler::Remove(const std::string& workflow) {
  if (const auto refused = Refuse(workflow)) return {false, *refused};
  const std::string shown = core::EscapeControlCharacters(workflow);
  const std::string name = "\\" + TaskName(workflow);
  const Captured deleted = Schtasks({"/Delete", "/TN", name, "/F"});
  if (deleted.ran) return {true, Text("lg_mesg_sch008", {shown})};
  // schtasks says "not found" in the system's language: ask whether the task is there.
  if (deleted.started) {
    const Captured queried = Schtasks({"/Query", "/TN", name});
    if (queried.started && !queried.ran) return {true, Text("lg_mesg_sch007", {shown})};
  }
  return {false, Text("lg_mesg_sch009", {"schtasks /Delete", deleted.reason})};
}

std::vector<Schedule> TaskScheduler::Schedules(std::string_view csv) const {
  const std::string prefix = std::string(kTaskPrefix) + InstallationTag(setup_.home) + "-";
  std::vector<Schedule> schedules;
  for (const std::vector<std::string>& row : CsvRows(csv)) {
    if (row.size() <= kCommentColumn) continue;
    std::string_view name = row[kNameColumn];
    if (name.starts_with('\\')) name.remove_prefix(1);
    if (!name.starts_with(prefix)) continue;
    const auto workflow = UnescapeTaskName(name.substr(prefix.size()));
    if (!workflow || EscapeTaskName(*workflow) != name.substr(prefix.size())) continue;
    // A task with several triggers has a row for each.
    if (!schedules.empty() && schedules.back().workflow == *workflow) continue;
    const std::string next = HasDigit(row[kNextRunColumn]) ? row[kNextRunColumn] : "";
    schedules.push_back(
        {*workflow, CalendarOfDescription(row[kCommentColumn]), next, !next.empty()});
  }
  return schedules;
}

std::vector<Schedule> TaskScheduler::List() {
  const Captured queried = Schtasks({"/Query", "/FO", "CSV", "/V", "/NH"});
  return queried.ran ? Schedules(queried.output) : std::vector<Schedule>{};
}

std::optional<Schedule> TaskScheduler::Find(const std::string& workflow) {
  if (Refuse(workflow)) return std::nullopt;
  const Captured queried =
      Schtasks({"/Query", "/TN", "\\" + TaskName(workflow), "/FO", "CSV", "/V", "/NH"});
  if (!queried.ran) return std::nullopt;
  for (Schedule& schedule : Schedules(queried.output)) {
    if (schedule.workflow == workflow) return schedule;
  }
  return std::nullopt;
}

std::unique_ptr<SystemScheduler> MakeTaskScheduler(const core::Context& context,
                                                   const std::string& program) {
  std::string home = core::CanonicalPath(context.home);
  if (home.empty()) home = context.home;
  std::string schtasks;
  if (const auto root = core::EnvironmentValue("SystemRoot")) {
    const std::string beside_windows = *root + "\\System32\\schtasks.exe";
    if (core::IsPlainFile(beside_windows)) schtasks = beside_windows;
  }
  if (schtasks.empty()) schtasks = core::FindProgramOnPath("schtasks");
  std::string temporary = home;
  for (const char* name : {"TEMP", "TMP", "TMPDIR"}) {
    const auto value = core::EnvironmentValue(name);
    if (value && !value->empty()) {
      temporary = *value;
      break;
    }
  }
  TaskSchedulerSetup setup{home, program, schtasks, temporary, context.settings.language};
  return std::make_unique<TaskScheduler>(std::move(setup), context.launcher, context.clock,
                                         context.guids);
}

}  // namespace wfdesk::schedule
