#include "cli/app.hpp"

#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/console_operator.hpp"
#include "cli/validate_command.hpp"
#include "core/context.hpp"
#include "core/environment.hpp"
#include "core/files.hpp"
#include "core/language.hpp"
#include "core/log.hpp"
#include "core/process.hpp"
#include "core/settings.hpp"
#include "core/text_encoding.hpp"
#include "core/workflow_file.hpp"
#include "engine/catalogue.hpp"
#include "engine/last_run.hpp"
#include "engine/new_installation.hpp"
#include "engine/workflow.hpp"
#include "schedule/scheduler.hpp"
#include "textdb/record_actions.hpp"
#include "textdb/transmission_list.hpp"

namespace wfdesk::cli {

namespace {

constexpr const char* kHomeOption = "--home";

// The installation, its settings and the seams of this program.
class Installation {
 public:
  Installation(const std::optional<std::string>& home_option, bool answer_yes)
      : person_(answer_yes),
        context_{core::ResolveHome(home_option), {}, person_, launcher_, clock_, guids_} {}

  // Enters the installation folder and reads its settings, which must name
  // a data folder.
  bool Open() {
    if (const auto entered = core::EnterHome(context_.home); !entered) {
      std::cerr << entered.error << '\n';
      if (!engine::HoldsInstallation(context_.home)) {
        std::cerr << core::FormatLanguageText("lg_mesg_init008", core::kEnglish, {context_.home})
                  << '\n';
      }
      return false;
    }
    context_.settings = core::LoadAppSettings(context_.home);
    person_.SetLanguage(context_.settings.language);
    // Without a data folder the workflow paths would begin at the root.
    if (!core::HasDataFolder(context_.settings)) {
      std::cerr << core::NoDataFolderMessage(context_) << '\n';
      return false;
    }
    return true;
  }

  const core::Context& context() const { return context_; }

 private:
  ConsoleOperator person_;
  core::SpawnLauncher launcher_;
  core::SystemClock clock_;
  core::SystemGuidSource guids_;
  core::Context context_;
};

int RunCommand(Installation& installation, const std::string& name) {
  if (!installation.Open()) return kFailed;
  if (name.empty()) {
    std::cerr << core::GetLanguageText("lg_mesg_cli001", installation.context().settings.language)
              << '\n';
    return kWrongUsage;
  }
  // TERM, INT and HUP end the running program and close the run's log.
  core::StopRunsOnSignals();
  engine::WorkflowRunner runner;
  const engine::RunOutcome outcome = runner.RunWorkflow(installation.context(), name);
  std::cout << outcome.result << '\n';
  if (outcome.busy) return kBusy;
  return outcome.ok() ? kSucceeded : kFailed;
}

int CheckCommand(Installation& installation, const std::string& name) {
  if (!installation.Open()) return kFailed;
  const auto problems = engine::CheckWorkflow(installation.context(), name);
  for (const auto& problem : problems) std::cout << problem << '\n';
  return problems.empty() ? kSucceeded : kFailed;
}

int ListCommand(Installation& installation) {
  if (!installation.Open()) return kFailed;
  const auto& context = installation.context();
  const engine::WorkflowCatalogue catalogue = engine::ListWorkflows(context);
  if (!catalogue.ok()) {
    std::cerr << catalogue.error << '\n';
    return kFailed;
  }
  for (const auto& entry : catalogue.entries) {
    std::cout << engine::CatalogueText(context, entry) << '\n';
  }
  return kSucceeded;
}

// What `records` was asked to do.
struct RecordsRequest {
  std::string name;
  std::string filter;
  std::string set_id, toggle_id, delete_id;
  std::string field6, field4, tag;
  bool set = false, toggle = false, remove = false;
};

// Eight bytes at a time: the rows of a large list are mostly ASCII.
bool IsAscii(std::string_view text) {
  std::uint64_t bits = 0;
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    bits |= word;
  }
  for (; i < text.size(); ++i) bits |= static_cast<unsigned char>(text[i]);
  return (bits & 0x8080808080808080u) == 0;
}

// Prints the rows of the workflow's list as they are found, decoded as the
// window shows them, so a terminal sees the same text; the database is read
// in parts and the rows written in large writes, as a list may have a
// million rows. Returns how the database was found.
textdb::LoadStatus PrintRows(const core::Context& context, const std::string& workflow,
                             std::string_view filter) {
  constexpr std::size_t kChunk = 1 << 20;
  std::string out;
  out.reserve(kChunk + 4096);
  const auto print = [&out](std::string_view record, std::string_view) {
    const std::size_t start = out.size();
    textdb::AppendRow(out, record);
    if (!IsAscii(std::string_view(out).substr(start))) {
      const std::string row = core::AsUtf8(std::string_view(out).substr(start));
      out.replace(start, std::string::npos, row);
    }
    out += '\n';
    if (out.size() >= kChunk) {
      std::cout.write(out.data(), static_cast<std::streamsize>(out.size()));
      out.clear();
    }
  };
  const textdb::LoadStatus status = textdb::ListWorkflowRecords(context, workflow, filter, print);
  std::cout.write(out.data(), static_cast<std::streamsize>(out.size()));
  std::cout.flush();
  return status;
}

int RecordsCommand(Installation& installation, const RecordsRequest& request) {
  if (!installation.Open()) return kFailed;
  const auto& context = installation.context();
  const std::string workflow =
      core::AbsolutePath(core::WorkflowPath(context, request.name), context.home);
  if (!core::IsPlainFile(workflow)) {
    std::cerr << core::FormatLanguageText("lg_mesg_cli002", context.settings.language, {workflow})
              << '\n';
    return kFailed;
  }
  textdb::ActionResult result;
  if (request.set) {
    result = textdb::WriteChangesToDB(context, request.name, request.set_id,
                                      {request.field6, request.field4, request.tag});
  } else if (request.toggle) {
    result = textdb::SwitchWriteTagInDB(context, request.name, request.toggle_id);
  } else if (request.remove) {
    result = textdb::DeleteElementInDB(context, request.name, request.delete_id);
  } else {
    const textdb::LoadStatus status = PrintRows(context, request.name, request.filter);
    // A missing or unreadable database has been reported on standard error.
    return status == textdb::LoadStatus::kLoaded ? kSucceeded : kFailed;
  }
  if (!result.done) std::cerr << result.message << '\n';
  if (result.busy) return kBusy;
  return result.done ? kSucceeded : kFailed;
}

// What `schedule` was asked to do.
struct ScheduleRequest {
  std::string name;
  std::string calendar;
  bool on = false, off = false, list = false;
};

// One line per schedule: workflow, calendar, next run, last result, with tabs between.
void PrintSchedules(const core::Context& context, schedule::SystemScheduler& scheduler) {
  const std::vector<schedule::Schedule> schedules = scheduler.List();
  if (schedules.empty()) {
    std::cerr << core::GetLanguageText("lg_mesg_sch015", context.settings.language) << '\n';
  }
  for (const schedule::Schedule& schedule : schedules) {
    std::string next = schedule.next_run;
    if (!schedule.active) {
      next += " (" + core::GetLanguageText("lg_mesg_sch014", context.settings.language) + ")";
    }
    std::cout << core::EscapeControlCharacters(schedule.workflow) << '\t' << schedule.calendar
              << '\t' << next << '\t'
              << engine::LastRunText(context, engine::FindLastRun(context, schedule.workflow))
              << '\n';
  }
}

int ScheduleCommand(Installation& installation, const ScheduleRequest& request) {
  if (!installation.Open()) return kFailed;
  const auto& context = installation.context();
  const std::string program = core::RunningProgramPath();
  if (program.empty()) return kFailed;  // /proc is not mounted; nothing to point a service at
  const auto scheduler = schedule::MakeSystemScheduler(context, program);
  if (request.list) {
    PrintSchedules(context, *scheduler);
    return kSucceeded;
  }
  const schedule::ScheduleChange change =
      request.on ? schedule::ScheduleWorkflow(context, *scheduler, request.name, request.calendar)
                 : scheduler->Remove(request.name);
  (change.ok ? std::cout : std::cerr) << change.message << '\n';
  return change.ok ? kSucceeded : kFailed;
}

// What `init` was asked to do.
struct InitRequest {
  std::string folder;
  std::string language = "en";
  bool example = false;
};

int InitCommand(const std::optional<std::string>& home_option, const InitRequest& request) {
  const std::string home =
      core::ResolveHome(request.folder.empty() ? home_option : std::optional(request.folder));
  const engine::NewInstallationOutcome outcome = engine::CreateInstallation(
      {home, request.language == "de" ? core::kGerman : core::kEnglish, request.example,
       engine::LocatePackageFiles(core::ExecutableFolder())});
  const core::LanguageCode language = outcome.language;
  for (const std::string& path : outcome.created) {
    std::cout << core::FormatLanguageText("lg_mesg_init004", language, {path}) << '\n';
  }
  if (outcome.example_data_left_out) {
    std::cout << core::FormatLanguageText("lg_mesg_init009", language, {home}) << '\n';
  }
  for (const std::string& error : outcome.errors) std::cerr << error << '\n';
  if (!outcome.ok()) {
    std::cerr << core::FormatLanguageText("lg_mesg_init007", language, {home}) << '\n';
    return kFailed;
  }
  const char* summary = outcome.created.empty() ? "lg_mesg_init006" : "lg_mesg_init005";
  std::cout << core::FormatLanguageText(summary, language, {home}) << '\n';
  return kSucceeded;
}

// The values of every command's options, filled in by the parser.
struct Requests {
  std::string name;
  RecordsRequest records;
  InitRequest init;
  ScheduleRequest schedule;
  ValidateRequest validate;
  bool yes = false;
};

// A command of the program: its parser and what it does once parsed.
struct Command {
  CLI::App* parser;
  std::function<int(const std::optional<std::string>& home)> run;
};

Command AddRecordsCommand(CLI::App& app, Requests& requests) {
  RecordsRequest& r = requests.records;
  CLI::App* records =
      app.add_subcommand("records", "show or change the transmission records of a workflow");
  records->add_option("NAME", r.name, "file name of the workflow")->required();
  records->add_option("--filter", r.filter, "only element IDs containing TEXT");
  CLI::Option* set =
      records->add_option("--set", r.set_id, "set field 6, field 4 and the write tag of record ID");
  CLI::Option* field6 = records->add_option("--field6", r.field6, "new field 6");
  CLI::Option* field4 = records->add_option("--field4", r.field4, "new field 4");
  CLI::Option* tag = records->add_option("--tag", r.tag, "new write tag");
  CLI::Option* toggle = records->add_option("--toggle", r.toggle_id, "toggle the write tag of ID");
  CLI::Option* remove = records->add_option("--delete", r.delete_id, "delete the records of ID");
  records->add_flag("--yes", requests.yes, "confirm the deletion");
  set->excludes(toggle)->excludes(remove);
  toggle->excludes(remove);
  for (CLI::Option* value : {field6, field4, tag}) {
    set->needs(value);
    value->needs(set);
  }
  return {records, [&requests, set, toggle, remove](const std::optional<std::string>& home) {
            requests.records.set = set->count() > 0;
            requests.records.toggle = toggle->count() > 0;
            requests.records.remove = remove->count() > 0;
            Installation installation(home, requests.yes);
            return RecordsCommand(installation, requests.records);
          }};
}

Command AddInitCommand(CLI::App& app, Requests& requests) {
  InitRequest& r = requests.init;
  CLI::App* init = app.add_subcommand(
      "init", "create an installation, or complete one; nothing that is there is changed");
  init->add_option("DIR", r.folder, "the installation folder (default: as for --home)");
  init->add_flag("--example", r.example, "with the example workflows, stylesheets and exports");
  init->add_option("--language", r.language, "language of a new settings.ini")
      ->check(CLI::IsMember({"en", "de"}));
  return {init, [&r](const std::optional<std::string>& home) { return InitCommand(home, r); }};
}

Command AddValidateCommand(CLI::App& app, Requests& requests) {
  ValidateRequest& r = requests.validate;
  CLI::App* validate = app.add_subcommand(
      "validate", "check invoices against the UBL 2.1 schema and the EN 16931 rules");
  validate->add_option("PATH", r.paths, "invoice files, or folders whose *.xml files are checked")
      ->required();
  validate->add_option("--rules", r.rules,
                       "the rules (XSLT 2.0 from Schematron) instead of the EN 16931 rules; "
                       "none checks the schema only");
  validate->add_option("--schema", r.schema,
                       "one schema for every file instead of the UBL 2.1 "
                       "schema of its root element");
  validate->add_option("--report", r.report_folder,
                       "write each file's report as DIR/NAME.report.txt");
  return {validate,
          [&r](const std::optional<std::string>& home) { return ValidateCommand(home, r); }};
}

Command AddScheduleCommand(CLI::App& app, Requests& requests) {
  ScheduleRequest& r = requests.schedule;
  const schedule::SchedulerHelp help = schedule::SystemSchedulerHelp();
  CLI::App* schedule = app.add_subcommand("schedule", std::string(help.schedule));
  CLI::Option* name = schedule->add_option("NAME", r.name, "file name of the workflow");
  CLI::Option* on = schedule->add_option("--on", r.calendar, std::string(help.calendar));
  CLI::Option* off = schedule->add_flag("--off", r.off, "remove its schedule");
  CLI::Option* list = schedule->add_flag(
      "--list", r.list, "each schedule: workflow, calendar, next run, last result");
  on->excludes(off)->excludes(list)->needs(name);
  off->excludes(list)->needs(name);
  list->excludes(name);
  return {schedule, [&r, schedule, on](const std::optional<std::string>& home) -> int {
            r.on = on->count() > 0;
            if (!r.on && !r.off && !r.list) {
              std::cerr << schedule->help() << '\n';
              return kWrongUsage;
            }
            Installation installation(home, false);
            return ScheduleCommand(installation, r);
          }};
}

// The commands that run a workflow or read the installation.
std::vector<Command> AddWorkflowCommands(CLI::App& app, Requests& requests) {
  std::string& name = requests.name;
  CLI::App* run = app.add_subcommand("run", "run a workflow file of the data folder");
  run->add_option("NAME", name, "file name of the workflow")->required();
  CLI::App* check = app.add_subcommand("check", "report every parameter problem of a workflow");
  check->add_option("NAME", name, "file name of the workflow")->required();
  CLI::App* list = app.add_subcommand("list", "list the workflows of the data folder");
  using Home = const std::optional<std::string>&;
  return {{run,
           [&name](Home home) {
             Installation installation(home, false);
             return RunCommand(installation, name);
           }},
          {check,
           [&name](Home home) {
             Installation installation(home, false);
             return CheckCommand(installation, name);
           }},
          {list, [](Home home) {
             Installation installation(home, false);
             return ListCommand(installation);
           }}};
}

// The scheduler form "/f NAME": the arguments other than our own "--"
// options, joined with blanks, searched for the workflow option.
int SchedulerForm(const core::ProgramArguments& split) {
  const std::string name = core::GetCommandLineParam("f", split.OthersJoined());
  if (name.empty()) {
    // Before the settings are read: the language is not known yet.
    std::cerr << core::GetLanguageText("lg_mesg_cli003", core::kEnglish) << '\n';
    return kWrongUsage;
  }
  Installation installation(split.home, false);
  return RunCommand(installation, name);
}

}  // namespace

int Main(int argc, char** argv) {
  const core::ProgramArguments split =
      core::SplitProgramArguments(std::vector<std::string>(argv + 1, argv + argc));
  if (!split.others.empty() && split.others.front().starts_with("/")) return SchedulerForm(split);

  CLI::App app{"Runs wfdesk workflows without a window.", "wfdesk-cli"};
  app.footer(
      "The form /f NAME runs a workflow as `run NAME` does.\nExit status: 0 OK, 1 failed, "
      "2 wrong usage, 3 the workflow is already running, or its database is being changed.");
  app.set_version_flag("--version", "wfdesk-cli " + core::VersionText());
  std::string home;
  app.add_option(kHomeOption, home,
                 "installation folder (default: $WFDESK_HOME, else the program's folder if it "
                 "holds settings.ini, else $XDG_DATA_HOME/wfdesk)");
  app.require_subcommand(1);
  app.fallthrough();  // --home may stand after the command too

  Requests requests;
  std::vector<Command> commands = AddWorkflowCommands(app, requests);
  commands.push_back(AddRecordsCommand(app, requests));
  commands.push_back(AddInitCommand(app, requests));
  commands.push_back(AddScheduleCommand(app, requests));
  commands.push_back(AddValidateCommand(app, requests));
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? kSucceeded : kWrongUsage;
  }
  const std::optional<std::string> home_option = home.empty() ? std::nullopt : std::optional(home);
  for (const Command& command : commands) {
    if (command.parser->parsed()) return command.run(home_option);
  }
  return kWrongUsage;
}

}  // namespace wfdesk::cli
