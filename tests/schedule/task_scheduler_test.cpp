// Schedules kept by Windows's task scheduler: the task definition read back
// with libxml2, and the scheduler against a schtasks stand-in, a program of
// its own (schtasks_double.cpp) that runs on every system, so that what the
// scheduler reads of schtasks' output is tested where it matters.
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "core/files.hpp"
#include "core/path_facts.hpp"
#include "core/text_encoding.hpp"
#include "schedule/scheduler.hpp"
#include "schedule/task_scheduler.hpp"
#include "tests/support/installation.hpp"
#include "tests/support/sandbox.hpp"

namespace wfdesk::schedule {
namespace {

using testing::TestInstallation;

// What a schedule starts: the wfdesk-cli beside the window, named as this
// system names programs and paths.
TEST(CommandLineProgramTest, IsTheOneBesideTheWindow) {
  TestInstallation inst;
  inst.FakeProgram("wfdesk-cli");
  EXPECT_EQ(CommandLineProgramBeside(inst.ProgramPath("wfdesk")), inst.ProgramPath("wfdesk-cli"));
}

TEST(TaskNameTest, EscapesToNamesTheSchedulerTakesAndBack) {
  const struct {
    std::string name, escaped;
  } names[] = {
      {"daily.ini", "daily.ini"},
      {"my flow_1.ini", "my_20flow_5f1.ini"},
      {".x.", "_2ex_2e"},
      {"Grüße&<\">.ini", "Gr_c3_bc_c3_9fe_26_3c_22_3e.ini"},
  };
  for (const auto& c : names) {
    EXPECT_EQ(EscapeTaskName(c.name), c.escaped);
    EXPECT_EQ(UnescapeTaskName(c.escaped), c.name);
  }
  for (const char* broken : {"a_4", "a_zz", "a_4G"}) {
    EXPECT_EQ(UnescapeTaskName(broken), std::nullopt) << broken;
  }
}

using Document = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;

// The text of each node the path finds, or its name when it has none.
std::vector<std::string> Texts(xmlDoc* document, const char* path) {
  std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> context(
      xmlXPathNewContext(document), xmlXPathFreeContext);
  xmlXPathRegisterNs(context.get(), BAD_CAST "t",
                     BAD_CAST "http://schemas.microsoft.com/windows/2004/02/mit/task");
  std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> found(
      xmlXPathEvalExpression(BAD_CAST path, context.get()), xmlXPathFreeObject);
  std::vector<std::string> texts;
  if (!found || !found->nodesetval) return texts;
  for (int i = 0; i < found->nodesetval->nodeNr; ++i) {
    xmlNode* node = found->nodesetval->nodeTab[i];
    xmlChar* content = xmlNodeGetContent(node);
    std::string text = content ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
    texts.push_back(text.empty() ? reinterpret_cast<const char*>(node->name) : text);
  }
  return texts;
}

Document ReadTask(const std::string& bytes) {
  return Document(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), "task.xml", nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
                  xmlFreeDoc);
}

TEST(TaskDefinitionTest, IsUtf16TaskXmlThatRunsTheSchedulerFormOnce) {
  const TaskSchedulerSetup setup{"C:\\wf & <co> 'x'", "C:\\Program Files\\wfdesk\\wfdesk-cli.exe",
                                 "", "", core::kEnglish};
  const struct {
    std::string calendar, name, passed;
    const char* trigger;
    std::vector<std::string> found;
  } cases[] = {
      {"Mon,Wed 06:00",
       "<A> & \"B\".ini",
       "\"<A> & \\\"B\\\".ini\"",
       "//t:ScheduleByWeek/t:DaysOfWeek/*",
       {"Monday", "Wednesday"}},
      {"*:0/15",
       "Grüße.ini",
       "Grüße.ini",
       "//t:Repetition/t:Interval | //t:ScheduleByDay/t:DaysInterval",
       {"PT15M", "1"}},
      // Windows-1252 arrives as the same characters.
      {"hourly",
       "Gr\xfc\xdf"
       "e.ini",
       "Grüße.ini",
       "//t:Repetition/t:Duration",
       {"P1D"}},
  };
  for (const auto& c : cases) {
    const std::string bytes = Utf16LeWithBom(TaskDefinitionXml(
        setup, c.name, c.calendar, *ParseTaskCalendar(c.calendar), {2026, 3, 7, 9, 5, 4}));
    ASSERT_TRUE(bytes.starts_with(std::string_view("\xFF\xFE<\0?\0x\0m\0l\0", 12)));
    const Document task = ReadTask(bytes);
    ASSERT_TRUE(task) << c.calendar;
    EXPECT_EQ(Texts(task.get(), "/t:Task/@version"), std::vector<std::string>{"1.2"});
    EXPECT_EQ(Texts(task.get(), c.trigger), c.found) << c.calendar;
    EXPECT_EQ(Texts(task.get(), "/t:Task/t:Actions/t:Exec/t:Command | //t:Exec/t:Arguments"),
              (std::vector<std::string>{"\"C:\\Program Files\\wfdesk\\wfdesk-cli.exe\"",
                                        "--home \"C:\\wf & <co> 'x'\" /f " + c.passed}));
    EXPECT_EQ(Texts(task.get(),
                    "/t:Task/t:Settings/t:MultipleInstancesPolicy | "
                    "/t:Task/t:Settings/t:StartWhenAvailable"),
              (std::vector<std::string>{"IgnoreNew", "true"}));
    EXPECT_TRUE(Texts(task.get(), "/t:Task/t:RegistrationInfo/t:Description")
                    .at(0)
                    .ends_with(" at " + c.calendar));
  }
}

class TaskSchedulerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    inst.Workflow("daily.ini", "");
    std::filesystem::copy_file(WFDESK_SCHTASKS_DOUBLE, inst.ProgramPath("schtasks"));
    inst.box().MakeFolder("tmp");
  }
  TaskScheduler Scheduler(const std::string& home, const std::string& schtasks) {
    core::Context& context = inst.context();
    return TaskScheduler(TaskSchedulerSetup{home, "C:\\wfdesk\\wfdesk-cli.exe", schtasks,
                                            inst.Path("tmp"), core::kEnglish},
                         context.launcher, context.clock, context.guids);
  }
  TaskScheduler Scheduler() { return Scheduler(inst.Path(""), inst.ProgramPath("schtasks")); }

  TestInstallation inst;
};

TEST_F(TaskSchedulerTest, CreatesTheTaskFromItsDefinitionAndDeletesIt) {
  TaskScheduler scheduler = Scheduler();
  const std::string name = "my flow.ini";
  const std::string task = "\\" + scheduler.TaskName(name);
  const ScheduleChange set = scheduler.Set(name, "Mon..Fri 06:00");
  ASSERT_TRUE(set.ok) << set.message;
  EXPECT_TRUE(set.message.starts_with(
      "my flow.ini runs at Mon..Fri 06:00; next run: 2026-03-09 06:00.\nThe task " + task +
      " runs while you are logged on"))
      << set.message;
  ASSERT_EQ(inst.Calls("schtasks").size(), 1u);
  const std::vector<std::string> call = inst.Calls("schtasks")[0];
  EXPECT_EQ(call, (std::vector<std::string>{"/Create", "/XML", call.at(2), "/TN", task, "/F"}));
  EXPECT_TRUE(call.at(2).starts_with(inst.Path("tmp") + core::kPathSeparator + "wfdesk-task-"));
  EXPECT_TRUE(core::FolderFileNames(inst.Path("tmp")).empty());

  const ScheduleChange absent = scheduler.Remove(name);
  EXPECT_TRUE(absent.ok);
  EXPECT_EQ(absent.message, "my flow.ini has no schedule. Nothing was changed.");
  inst.box().Write("schtasks.csv", "");
  const ScheduleChange removed = scheduler.Remove(name);
  EXPECT_TRUE(removed.ok);
  EXPECT_EQ(removed.message, "The schedule of my flow.ini is removed.");
  EXPECT_EQ(inst.Calls("schtasks").size(), 4u);  // /Create, /Delete, /Query, /Delete
  EXPECT_EQ(inst.Calls("schtasks").back(),
            (std::vector<std::string>{"/Delete", "/TN", task, "/F"}));

  inst.box().Write("schtasks.refuses", "");
  const ScheduleChange refused = scheduler.Set(name, "daily");
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.message, "schtasks /Create failed: ERROR: Access is denied.");
  EXPECT_TRUE(core::FolderFileNames(inst.Path("tmp")).empty());
}

TEST_F(TaskSchedulerTest, RefusesWhatATaskCannotCarryWithoutCallingSchtasks) {
  const std::string home = inst.Path("");
  const std::string schtasks = inst.ProgramPath("schtasks");
  const struct {
    std::string home, schtasks, name, calendar, reason;
  } cases[] = {
      {home, schtasks, "daily.ini", "Mon-Fri 06:00", "on Windows a calendar is one of: daily"},
      {home, schtasks, "daily.ini", "daily\n", "The calendar daily\\n was refused"},
      {home, schtasks, "a/b.ini", "daily", "cannot be scheduled by the task scheduler"},
      {home, schtasks, "a\\b.ini", "daily", "cannot be scheduled"},
      {home, schtasks, "50%.ini", "daily", "cannot be scheduled"},
      {home, schtasks, "--x.ini", "daily", "cannot be scheduled"},
      {home, schtasks, " x.ini", "daily", "cannot be scheduled"},
      {home, schtasks, std::string(200, '\xfc'), "daily", "cannot be scheduled"},
      {home + "%TEMP%", schtasks, "daily.ini", "daily", "it holds % or a control character"},
      {home, "", "daily.ini", "daily", "schtasks is not installed"},
  };
  for (const auto& c : cases) {
    const ScheduleChange set = Scheduler(c.home, c.schtasks).Set(c.name, c.calendar);
    EXPECT_FALSE(set.ok);
    EXPECT_NE(set.message.find(c.reason), std::string::npos) << set.message;
  }
  EXPECT_FALSE(Scheduler().Remove("a/b.ini").ok);
  EXPECT_TRUE(inst.Calls("schtasks").empty());
  EXPECT_TRUE(core::FolderFileNames(inst.Path("tmp")).empty());
}

// A row of `schtasks /Query /FO CSV /V /NH`, its fields cut short after the comment.
std::string Row(const std::string& task, const std::string& next, const std::string& comment) {
  return "\"PC\",\"" + task + "\",\"" + next +
         "\",\"Ready\",\"Interactive only\",\"N/A\",\"1\",\"me\",\"x.exe --home a, b\",\"N/A\",\"" +
         comment + "\",\"Enabled\",\"Disabled\"\r\n";
}

TEST_F(TaskSchedulerTest, ListsAndFindsTheTasksOfThisInstallationOnly) {
  TaskScheduler scheduler = Scheduler();
  const std::string ours = "\\" + scheduler.TaskName("");
  const std::string other = "\\" + Scheduler(inst.Path("other"), "").TaskName("");
  inst.box().Write(
      "schtasks.csv",
      Row("\\Microsoft\\Windows\\Defrag\\ScheduledDefrag", "3/9/2026 1:00:00 AM", "") +
          Row(ours + "daily.ini", "3/9/2026 6:00:00 AM", "wfdesk: run daily.ini at Mon,Wed 06:00") +
          Row(ours + "daily.ini", "3/9/2026 6:00:00 AM", "a second trigger's row") + "\r\n" +
          Row(ours + "my_20flow.ini", "N/A", "wfdesk: run \"\"my at flow\"\" at *:0/15") +
          Row(other + "daily.ini", "3/9/2026 7:00:00 AM", "wfdesk: run daily.ini at hourly") +
          Row(ours + "a_zz", "N/A", "not written by us"));
  std::vector<std::string> listed;
  for (const Schedule& found : scheduler.List()) {
    listed.push_back(found.workflow + "|" + found.calendar + "|" + found.next_run + "|" +
                     (found.active ? "active" : "off"));
  }
  EXPECT_EQ(listed, (std::vector<std::string>{"daily.ini|Mon,Wed 06:00|3/9/2026 6:00:00 AM|active",
                                              "my flow.ini|*:0/15||off"}));
  EXPECT_EQ(scheduler.Find("my flow.ini")->calendar, "*:0/15");
  EXPECT_EQ(inst.Calls("schtasks").back(),
            (std::vector<std::string>{"/Query", "/TN", ours + "my_20flow.ini", "/FO", "CSV", "/V",
                                      "/NH"}));
  EXPECT_FALSE(scheduler.Find("none.ini"));
  ASSERT_TRUE(core::RemoveOneFile(inst.Path("schtasks.csv")));
  EXPECT_TRUE(scheduler.List().empty());
}

}  // namespace
}  // namespace wfdesk::schedule
