// Changing, tagging and deleting records: the refusals, what is written
// back, and that a failed write leaves the old file whole.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "tests/support/installation.hpp"
#include "textdb/record_actions.hpp"
#include "textdb/records.hpp"

namespace wfdesk::textdb {
namespace {

using ::testing::ElementsAre;
using testing::TestInstallation;

std::string Line(const std::string& id, const std::string& f4, const std::string& f6,
                 const std::string& tag) {
  return id + ";f2;f3;" + f4 + ";f5;" + f6 + ";f7;f8;f9;f10;f11;f12;" + tag + "\r\n";
}

class RecordActionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    inst.Workflow("wf.ini", "[WORKFLOW]\r\ndbfile=db/wf.csv\r\nlistaction=dbelement\r\n");
    inst.Workflow("off.ini", "[WORKFLOW]\r\ndbfile=db/wf.csv\r\nlistaction=DBELEMENT\r\n");
    inst.Workflow("other.ini", "[WORKFLOW]\r\ndbfile=db/other.csv\r\nlistaction=dbelement\r\n");
    inst.box().Write("db/wf.csv", original);
    inst.box().Write("db/other.csv", Line("OTHER", "", "", "0"));
  }
  std::string Db() { return inst.box().Read("db/wf.csv"); }

  TestInstallation inst;
  const std::string original =
      Line("A", "a4", "a6", "0") + Line("B", "b4", "b6", "1") + Line("A", "a4", "a6", "2") + "\r\n";
};

TEST_F(RecordActionsTest, ChangesEveryRecordWithTheIdAndWritesTheRestBack) {
  ASSERT_TRUE(WriteChangesToDB(inst.context(), "wf.ini", "A", {"new6", "new4", "1"}).done);
  EXPECT_EQ(Db(), Line("A", "new4", "new6", "1") + Line("B", "b4", "b6", "1") +
                      Line("A", "new4", "new6", "1") + ";;;;;;;;;;;;\r\n");
}

TEST_F(RecordActionsTest, TogglesTheWriteTag) {
  ASSERT_TRUE(SwitchWriteTagInDB(inst.context(), "wf.ini", "A").done);
  ASSERT_TRUE(SwitchWriteTagInDB(inst.context(), "wf.ini", "B").done);
  EXPECT_EQ(Db(), Line("A", "a4", "a6", "1") + Line("B", "b4", "b6", "0") +
                      Line("A", "a4", "a6", "1") + ";;;;;;;;;;;;\r\n");
}

TEST_F(RecordActionsTest, DeletesAfterAskingAndRemovesAnEmptiedFile) {
  inst.person().answer = false;
  EXPECT_FALSE(DeleteElementInDB(inst.context(), "wf.ini", "A").done);
  EXPECT_EQ(Db(), original);
  inst.person().answer = true;
  ASSERT_TRUE(DeleteElementInDB(inst.context(), "wf.ini", "A").done);
  EXPECT_EQ(Db(), Line("B", "b4", "b6", "1") + ";;;;;;;;;;;;\r\n");
  EXPECT_THAT(inst.person().asked,
              ElementsAre("Wollen Sie das Element A aus der Datenbank löschen?",
                          "Wollen Sie das Element A aus der Datenbank löschen?"));
  ASSERT_TRUE(DeleteElementInDB(inst.context(), "wf.ini", "B").done);
  EXPECT_EQ(Db(), ";;;;;;;;;;;;\r\n");  // the empty line remains
  EXPECT_FALSE(DeleteElementInDB(inst.context(), "wf.ini", "").done);
  inst.box().Write("db/wf.csv", Line("B", "", "", "0"));
  ASSERT_TRUE(DeleteElementInDB(inst.context(), "wf.ini", "B").done);
  EXPECT_FALSE(inst.box().Exists("db/wf.csv"));
  EXPECT_EQ(inst.person().asked.size(), 4u);  // nothing asked for the ID ""
}

TEST_F(RecordActionsTest, RefusesWhenNotEnabledOrTheDatabaseIsMissing) {
  inst.person().answer = true;
  EXPECT_FALSE(SwitchWriteTagInDB(inst.context(), "off.ini", "A").done);
  EXPECT_FALSE(WriteChangesToDB(inst.context(), "off.ini", "A", {"x", "y", "1"}).done);
  // The question comes before listaction is looked at; the Yes changes nothing.
  EXPECT_FALSE(DeleteElementInDB(inst.context(), "off.ini", "A").done);
  EXPECT_EQ(inst.person().asked.size(), 1u);
  EXPECT_EQ(Db(), original);
  std::remove(inst.Path("db/wf.csv").c_str());
  const ActionResult missing = SwitchWriteTagInDB(inst.context(), "wf.ini", "A");
  EXPECT_FALSE(missing.done);
  EXPECT_EQ(missing.message, "The file db/wf.csv does not exist.");
  EXPECT_FALSE(inst.box().Exists("db/wf.csv"));
}

TEST_F(RecordActionsTest, WritesOnlyTheSelectedWorkflowsDatabase) {
  ASSERT_TRUE(SwitchWriteTagInDB(inst.context(), "other.ini", "OTHER").done);
  EXPECT_EQ(inst.box().Read("db/other.csv"), Line("OTHER", "", "", "1"));
  EXPECT_EQ(Db(), original);
}

TEST_F(RecordActionsTest, FieldsThatNeedQuotesReadBackAsTheSameField) {
  inst.box().Write("db/wf.csv", "A;\"x;y\";f3;f4;f5;f6;f7;f8;f9;f10;f11;f12;0\r\n");
  ASSERT_TRUE(WriteChangesToDB(inst.context(), "wf.ini", "A", {"a;b", "\"quoted", "0"}).done);
  const std::string line = Db().substr(0, Db().size() - 2);
  EXPECT_EQ(GetRecordField(line, 2), "x;y");
  EXPECT_EQ(GetRecordField(line, 4), "\"quoted");
  EXPECT_EQ(GetRecordField(line, 6), "a;b");
  EXPECT_EQ(GetRecordField(line, 7), "f7");
  for (const char* bad : {"a\";b", "a|||b", "a\r\nb"}) {
    const ActionResult refused = WriteChangesToDB(inst.context(), "wf.ini", "A", {bad, "", "0"});
    EXPECT_FALSE(refused.done) << bad;
    EXPECT_THAT(refused.message, ::testing::HasSubstr("refused"));
  }
}

TEST_F(RecordActionsTest, AFailedWriteLeavesTheOldFileWhole) {
  // A file size limit makes the write of the new content fail midway, as a
  // full disk would.
  std::string big;
  for (int i = 0; i < 50; ++i) big += Line("R" + std::to_string(i), "x", "y", "0");
  inst.box().Write("db/wf.csv", big);
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old_limit{};
  ::getrlimit(RLIMIT_FSIZE, &old_limit);
  rlimit small = old_limit;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const ActionResult result = SwitchWriteTagInDB(inst.context(), "wf.ini", "R1");
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  EXPECT_FALSE(result.done);
  EXPECT_NE(result.message, "");
  EXPECT_EQ(Db(), big);
  const auto entries = std::distance(std::filesystem::directory_iterator(inst.Path("db")),
                                     std::filesystem::directory_iterator());
  EXPECT_EQ(entries, 2);  // wf.csv and other.csv, no temporary file left
}

}  // namespace
}  // namespace wfdesk::textdb
