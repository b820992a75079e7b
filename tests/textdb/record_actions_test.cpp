// Changing, tagging and deleting records: the refusals, what is written
// back, and that a failed write leaves the old file whole.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <csignal>
#include <filesystem>

#include "core/language.hpp"
#include "tests/support/installation.hpp"
#include "textdb/record_actions.hpp"
#include "textdb/record_rewrite.hpp"
#include "textdb/records.hpp"
#include "textdb/transmission_record.hpp"

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

TEST_F(RecordActionsTest, DeletesAfterAskingAndRemovesAnEmptiedFile) {
  inst.person().answer = false;
  EXPECT_FALSE(DeleteElementInDB(inst.context(), "wf.ini", "A").done);
  EXPECT_EQ(Db(), original);
  inst.person().answer = true;
  ASSERT_TRUE(DeleteElementInDB(inst.context(), "wf.ini", "A").done);
  EXPECT_EQ(Db(), Line("B", "b4", "b6", "1") + "\r\n");
  EXPECT_THAT(inst.person().asked,
              ElementsAre("Wollen Sie das Element A aus der Datenbank löschen?",
                          "Wollen Sie das Element A aus der Datenbank löschen?"));
  ASSERT_TRUE(DeleteElementInDB(inst.context(), "wf.ini", "B").done);
  EXPECT_EQ(Db(), "\r\n");  // the empty line remains
  EXPECT_FALSE(DeleteElementInDB(inst.context(), "wf.ini", "").done);
  inst.box().Write("db/wf.csv", Line("B", "", "", "0"));
  ASSERT_TRUE(DeleteElementInDB(inst.context(), "wf.ini", "B").done);
  EXPECT_FALSE(inst.box().Exists("db/wf.csv"));
  EXPECT_EQ(inst.person().asked.size(), 4u);  // nothing asked for the ID ""
}

TEST_F(RecordActionsTest, RefusesWhenNotEnabledOrTheIdIsUnknownAndChangesNothing) {
  inst.person().answer = true;
  EXPECT_FALSE(SwitchWriteTagInDB(inst.context(), "off.ini", "A").done);
  EXPECT_FALSE(WriteChangesToDB(inst.context(), "off.ini", "A", {"x", "y", "1"}).done);
  // The question comes before listaction is looked at; the Yes changes nothing.
  EXPECT_FALSE(DeleteElementInDB(inst.context(), "off.ini", "A").done);
  EXPECT_EQ(inst.person().asked.size(), 1u);
  const std::string not_found = "The element ID a was not found in db/wf.csv. Nothing was changed.";
  EXPECT_EQ(SwitchWriteTagInDB(inst.context(), "wf.ini", "a").message, not_found);  // IDs keep case
  EXPECT_EQ(DeleteElementInDB(inst.context(), "wf.ini", "a").message, not_found);
  EXPECT_FALSE(SwitchWriteTagInDB(inst.context(), "wf.ini", "").done);  // not the empty line
  inst.context().settings.language = core::kGerman;
  EXPECT_EQ(WriteChangesToDB(inst.context(), "wf.ini", "Z", {"6", "4", "1"}).message,
            "Die Element-ID Z wurde in db/wf.csv nicht gefunden. Es wurde nichts geändert.");
  EXPECT_EQ(Db(), original);
  // Only the selected workflow's database is written.
  ASSERT_TRUE(SwitchWriteTagInDB(inst.context(), "other.ini", "OTHER").done);
  EXPECT_EQ(inst.box().Read("db/other.csv"), Line("OTHER", "", "", "1"));
  EXPECT_EQ(Db(), original);
  inst.context().settings.language = core::kEnglish;
  std::remove(inst.Path("db/wf.csv").c_str());
  const ActionResult missing = SwitchWriteTagInDB(inst.context(), "wf.ini", "A");
  EXPECT_FALSE(missing.done);
  EXPECT_EQ(missing.message, "The file db/wf.csv does not exist.");
  EXPECT_FALSE(inst.box().Exists("db/wf.csv"));
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

#ifndef _WIN32  // file size limits
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
  for (const auto& entry : std::filesystem::directory_iterator(inst.Path("db"))) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos);
  }
}
#endif

TEST_F(RecordActionsTest, TogglingMakesOneOfEveryTagButOne) {
  const std::vector<std::pair<std::string, std::string>> tags = {
      {"0", "1"},  {"1", "0"},  {"2", "1"},  {"", "1"},   {"x", "1"},
      {"-1", "1"}, {"01", "0"}, {" 1", "0"}, {"1x", "0"}, {"\"1\"", "0"}};
  std::string before, after;
  for (std::size_t i = 0; i < tags.size(); ++i) {
    before += Line("T" + std::to_string(i), "", "", tags[i].first);
    after += Line("T" + std::to_string(i), "", "", tags[i].second);
  }
  inst.box().Write("db/wf.csv", before);
  for (std::size_t i = 0; i < tags.size(); ++i) {
    EXPECT_TRUE(SwitchWriteTagInDB(inst.context(), "wf.ini", "T" + std::to_string(i)).done);
  }
  EXPECT_EQ(Db(), after);
}

#ifndef _WIN32  // fork, and links to the database
TEST_F(RecordActionsTest, TheLockAndTheLeftoversOfKilledRewritesAreBesideTheFile) {
  EXPECT_EQ(DatabaseLockPath(inst.Path("db/wf.csv")), inst.Path("db/.wf.csv.lock"));
  std::filesystem::create_symlink(inst.Path("db/wf.csv"), inst.Path("link.csv"));
  EXPECT_EQ(DatabaseLockPath("link.csv"), inst.Path("db/.wf.csv.lock"));  // one file, one lock
  const pid_t dead = ::fork();
  if (dead == 0) ::_exit(0);
  ::waitpid(dead, nullptr, 0);
  const std::string of_dead = "db/.wf.csv.tmp-" + std::to_string(dead) + "-0";
  const std::vector<std::string> kept = {
      "db/.wf.csv.tmp-" + std::to_string(::getpid()) + "-3",  // a replace under way
      "db/.other.csv.tmp-" + std::to_string(dead) + "-0", "db/.wf.csv.tmp-x-0",
      "db/wf.csv.tmp-1-0"};
  for (const std::string& name : kept) inst.box().Write(name, "");
  inst.box().Write(of_dead, "part");
  ASSERT_TRUE(SwitchWriteTagInDB(inst.context(), "wf.ini", "B").done);
  EXPECT_FALSE(inst.box().Exists(of_dead));
  for (const std::string& name : kept) EXPECT_TRUE(inst.box().Exists(name)) << name;
}
#endif

// Edits for the rewrite table.
const RecordEdit kSetTag = [](std::string_view) {
  return std::vector<FieldValue>{{kWriteTagField, "1"}};
};
const RecordEdit kSetAll = [](std::string_view) {
  return std::vector<FieldValue>{
      {kAcknowledgementField, "\"q"}, {kInvoiceDateField, "a;b"}, {kWriteTagField, "1"}};
};

// The whole text rewritten; nullopt when no record has the ID.
std::optional<std::string> Rewritten(std::string_view text, std::string_view id,
                                     const RecordEdit* edit) {
  RecordRewriter rewriter(id, edit);
  std::string result;
  rewriter.Rewrite(text, [&result](std::string_view piece) { result += piece; });
  return rewriter.found() ? std::optional(result) : std::nullopt;
}

TEST(RecordRewrite, ChangesOnlyTheRecordsWithTheIdByteForByte) {
  const std::string tail = ";f4;f5;f6;f7;f8;f9;f10;f11;f12;0";
  const std::string empties(11, ';');
  struct Case {
    std::string text;
    const RecordEdit* edit;  // null deletes
    std::string expected;
  };
  const std::vector<Case> cases = {
      // Fields after the 13th, LF and lone CR ends, empty lines, other lines untouched.
      {"A;2;3" + tail + ";14;\"q;15\"\n\nB;\"open\r\n\rA;x\r;;\r\n", &kSetTag,
       "A;2;3;f4;f5;f6;f7;f8;f9;f10;f11;f12;1;14;\"q;15\"\n\nB;\"open\r\n\rA;x" + empties +
           "1\r;;\r\n"},
      // Unchanged fields keep their quotes; a missing final line end stays missing.
      {"X;1\r\nA;\"a\"b\";\"x\"" + tail, &kSetAll,
       "X;1\r\nA;\"a\"b\";\"x\";\"\"q\";f5;\"a;b\";f7;f8;f9;f10;f11;f12;1"},
      // A short record's last field in an open quote keeps its value.
      {"A;\"open", &kSetTag, "A;\"ope\"" + std::string(11, ';') + "1"},
      {"\"A\";2\r\nA", &kSetTag, "\"A\";2" + empties + "1\r\nA" + std::string(12, ';') + "1"},
      {"A;1\nB;2\r\nA;3", nullptr, "B;2\r\n"},
      {"B;2\r\nA;3", nullptr, "B;2\r\n"},
      {"A;1\r\n", nullptr, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Rewritten(c.text, "A", c.edit), c.expected) << c.text;
  }
  EXPECT_EQ(Rewritten("a;1\r\nAB;2\r\n", "A", &kSetTag), std::nullopt);
  EXPECT_EQ(Rewritten("", "A", nullptr), std::nullopt);
}

}  // namespace
}  // namespace wfdesk::textdb
