// The connector's transmission records: written into the database under the
// record actions' lock, in place for a number already there, appended
// otherwise, with every other byte of the file as it was.
#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "core/file_cache.hpp"
#include "core/file_lock.hpp"
#include "core/files.hpp"
#include "tests/support/sandbox.hpp"
#include "textdb/record_actions.hpp"
#include "textdb/records.hpp"
#include "textdb/transmission_record.hpp"

namespace wfdesk::textdb {
namespace {

using testing::Sandbox;

TransmissionRecord Accepted(std::string description =
                                "Invoice 9 to B\xC3\xA4"
                                "ckerei Huber") {
  return {.number = "9",
          .file_name = "INV_9.xml",
          .description = std::move(description),
          .acknowledgement = "ACK-1",
          .currency = "EUR",
          .date = "2026-02-01",
          .amount = "10.00",
          .state = std::string(kStateAccepted)};
}

const std::string kUtf8Line =
    "9;INV_9.xml;Invoice 9 to B\xC3\xA4"
    "ckerei Huber;ACK-1;EUR;2026-02-01;10.00;UBL 2.1;ebi40;"
    "accepted;;;0\r\n";
const std::string kOther =
    "7;INV_7.xml;Invoice 7 to Gasthof Post;ACK-7;EUR;2026-01-02;5.00;UBL "
    "2.1;ebi40;accepted;;;0";

// The line with its one non-ASCII character in Windows-1252.
std::string Latin1(std::string line) {
  return line.replace(line.find("\xC3\xA4"), 2, "\xE4");
}

TEST(TransmissionRecord, UpsertAppendsANewNumberAndKeepsEveryOtherByte) {
  struct Case {
    const char* name;
    std::optional<std::string> before;  // nullopt: no file
    std::string after;
  };
  const std::vector<Case> cases = {
      {"no file yet", std::nullopt, kUtf8Line},
      {"an empty file", "", kUtf8Line},
      {"after the last line end", kOther + "\r\n", kOther + "\r\n" + kUtf8Line},
      {"a missing last line end", kOther, kOther + "\r\n" + kUtf8Line},
      {"a last lone LF", kOther + "\n\n", kOther + "\n\n" + kUtf8Line},
      // The record is written in the file's encoding.
      {"a Windows-1252 file", kOther + " B\xE4" + "ckerei\r\n",
       kOther + " B\xE4" + "ckerei\r\n" + Latin1(kUtf8Line)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sandbox box;
    if (c.before) box.Write("db.csv", *c.before);
    ASSERT_TRUE(UpsertTransmissionRecord(box.Path("db.csv"), Accepted()));
    EXPECT_EQ(box.Read("db.csv"), c.after);
  }
}

TEST(TransmissionRecord, ALaterUploadOfANumberChangesItsRecordInPlace) {
  Sandbox box;
  const std::string before = kOther + "\n9;old.xml;old;ACK-0;USD;2025-01-01;1;x;y;refused;note;" +
                             "n12;1\r\n" + "\"9\";again.xml;;;;;;;;kept;;;0";
  box.Write("db.csv", before);
  ASSERT_TRUE(UpsertTransmissionRecord(box.Path("db.csv"), Accepted("Invoice 9 to Huber")));
  // Fields 11 to 13 are the operator's: they stay.
  const std::string fields =
      "INV_9.xml;Invoice 9 to Huber;ACK-1;EUR;2026-02-01;10.00;UBL 2.1;"
      "ebi40;accepted;";
  EXPECT_EQ(box.Read("db.csv"), kOther + "\n9;" + fields + "note;n12;1\r\n\"9\";" + fields + ";;0");
  // Once more with the same values: the file is not written.
  const std::string same = box.Read("db.csv");
  ASSERT_TRUE(UpsertTransmissionRecord(box.Path("db.csv"), Accepted("Invoice 9 to Huber")));
  EXPECT_EQ(box.Read("db.csv"), same);
}

TEST(TransmissionRecord, ValuesReadBackAsTheyWereGivenAsFarAsALineCanHoldThem) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Invoice 9 to A;B", "Invoice 9 to A;B"},
      {"\"Quoted\" buyer", "\"Quoted\" buyer"},
      {"two\r\nlines\t", "two  lines "},
      {"a \"; b", "a '; b"},
      {"a|||b", "a|/|b"},
  };
  for (const auto& [given, read] : cases) {
    SCOPED_TRACE(given);
    Sandbox box;
    box.Write("db.csv", kOther + "\r\n");
    ASSERT_TRUE(UpsertTransmissionRecord(box.Path("db.csv"), Accepted(given)));
    const RecordList records = RecordList::FromFileContent(box.Read("db.csv"));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(GetRecordField(records.Record(1), kDescriptionField), read);
    EXPECT_EQ(GetRecordField(records.Record(1), kStateField), kStateAccepted);
    EXPECT_EQ(GetRecordField(records.Record(1), kWriteTagField), "0");
  }
}

TEST(TransmissionRecord, TheIndexKnowsTheLastRecordOfEachNumberInUtf8) {
  Sandbox box;
  TransmissionIndex index;
  ASSERT_TRUE(TransmissionIndex::Load(box.Path("missing.csv"), index));
  EXPECT_EQ(index.Find("7"), nullptr);
  const std::string latin1 = "R\xE4", utf8 = "R\xC3\xA4";  // then "9"
  box.Write("db.csv", kOther + "\r\n" + latin1 + "9;f;t;ACK-2;EUR;d;1;s;t;refused;;;0\r\n" +
                          latin1 + "9;f;t;ACK-3;EUR;d;1;s;t;kept;;;0");
  ASSERT_TRUE(TransmissionIndex::Load(box.Path("db.csv"), index));
  ASSERT_NE(index.Find("7"), nullptr);
  EXPECT_EQ(index.Find("7")->acknowledgement, "ACK-7");
  ASSERT_NE(index.Find(utf8 + "9"), nullptr);
  EXPECT_EQ(index.Find(utf8 + "9")->state, kStateKept);
  index.Remember(Accepted());
  EXPECT_EQ(index.Find("9")->state, kStateAccepted);
  // What is remembered wins over the file, also for a number looked up.
  TransmissionRecord kept = Accepted();
  kept.number = "7";
  kept.state = std::string(kStateKept);
  index.Remember(kept);
  EXPECT_EQ(index.Find("7")->state, kStateKept);
  // A new load forgets what was remembered.
  ASSERT_TRUE(TransmissionIndex::Load(box.Path("missing.csv"), index));
  EXPECT_EQ(index.Find("9"), nullptr);
}

// A record of `number` in `state`, as the connector writes it.
TransmissionRecord Numbered(const std::string& number, std::string_view state) {
  TransmissionRecord record = Accepted("Invoice " + number);
  record.number = number;
  record.state = std::string(state);
  return record;
}

std::string Line(const std::string& number, std::string_view state) {
  return TransmissionLine(Numbered(number, state), false) + "\r\n";
}

std::uint64_t Inode(const std::string& path) {
  core::FileVersion version;
  EXPECT_TRUE(core::ReadFileVersion(path, version));
  return version.inode;
}

// Loads the index once the file's change stamp is old enough to prove
// that it was not written after the load.
void SettleAndLoad(const std::string& path, TransmissionIndex& index) {
  std::this_thread::sleep_for(core::kFineStampLag * 2);
  ASSERT_TRUE(TransmissionIndex::Load(path, index));
  ASSERT_TRUE(index.KnowsTheFile());
}

TEST(TransmissionRecord, ABatchIsOneUpdateAsIfEachRecordWereWrittenInTurn) {
  struct Case {
    const char* name;
    std::string before;
    std::vector<TransmissionRecord> records;
    std::string after;
    bool rewritten;  // else appended to, the file staying the same file
  };
  const std::string refused_9 = "9;old.xml;old;;USD;2025-01-01;1;x;y;refused;note;;1\r\n";
  const std::vector<Case> cases = {
      {"new numbers only",
       kOther + "\r\n",
       {Numbered("10", kStateAccepted), Numbered("11", kStateRefused)},
       kOther + "\r\n" + Line("10", kStateAccepted) + Line("11", kStateRefused),
       false},
      {"one number with a record",
       kOther + "\r\n" + refused_9,
       {Numbered("10", kStateAccepted), Numbered("9", kStateAccepted)},
       kOther + "\r\n" +
           "9;INV_9.xml;Invoice 9;ACK-1;EUR;2026-02-01;10.00;UBL 2.1;ebi40;accepted;note;;1\r\n" +
           Line("10", kStateAccepted),
       true},
      {"a number given twice",
       kOther,
       {Numbered("12", kStateRefused), Numbered("13", kStateKept), Numbered("12", kStateAccepted)},
       kOther + "\r\n" + Line("12", kStateAccepted) + Line("13", kStateKept),
       false},
  };
  // The same with the index of the file given, which then stands in for
  // reading it.
  for (const bool indexed : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (indexed ? ", indexed" : ""));
      Sandbox box;
      box.Write("db.csv", c.before);
      const std::uint64_t before = Inode(box.Path("db.csv"));
      TransmissionIndex index;
      if (indexed) SettleAndLoad(box.Path("db.csv"), index);
      ASSERT_TRUE(
          UpsertTransmissionRecords(box.Path("db.csv"), c.records, indexed ? &index : nullptr));
      EXPECT_EQ(box.Read("db.csv"), c.after);
      EXPECT_EQ(Inode(box.Path("db.csv")) != before, c.rewritten);
      // An append keeps the index in step with the file; a rewrite does not.
      if (indexed) {
        EXPECT_EQ(index.KnowsTheFile(), !c.rewritten);
      }
    }
  }
}

// A run's updates through its index: each sees the numbers the run added,
// and a change by anyone else sends the next update back to the file.
TEST(TransmissionRecord, UpdatesThroughTheIndexSeeWhatTheRunAndOthersWrote) {
  Sandbox box;
  const std::string db = box.Path("db.csv");
  box.Write("db.csv", kOther + "\r\n");
  TransmissionIndex index;
  SettleAndLoad(db, index);
  ASSERT_TRUE(UpsertTransmissionRecords(db, {Numbered("10", kStateKept)}, &index));
  ASSERT_TRUE(UpsertTransmissionRecords(db, {Numbered("11", kStateKept)}, &index));
  EXPECT_TRUE(index.KnowsTheFile());
  ASSERT_TRUE(UpsertTransmissionRecords(db, {Numbered("10", kStateAccepted)}, &index));
  EXPECT_EQ(box.Read("db.csv"),
            kOther + "\r\n" + Line("10", kStateAccepted) + Line("11", kStateKept));

  // Another program records 12, unknown to the index, and the run then does.
  SettleAndLoad(db, index);
  ASSERT_TRUE(UpsertTransmissionRecords(db, {Numbered("12", kStateKept)}));
  ASSERT_TRUE(UpsertTransmissionRecords(db, {Numbered("12", kStateAccepted)}, &index));
  EXPECT_FALSE(index.KnowsTheFile());
  EXPECT_EQ(box.Read("db.csv"), kOther + "\r\n" + Line("10", kStateAccepted) +
                                    Line("11", kStateKept) + Line("12", kStateAccepted));

  // A file written just before the load proves nothing: the update reads it.
  box.Write("db.csv", kOther + "\r\n");
  ASSERT_TRUE(TransmissionIndex::Load(db, index));
  box.Write("db.csv", kOther + "\r\n" + Line("13", kStateKept));
  ASSERT_TRUE(UpsertTransmissionRecords(db, {Numbered("13", kStateAccepted)}, &index));
  EXPECT_EQ(box.Read("db.csv"), kOther + "\r\n" + Line("13", kStateAccepted));
}

TEST(TransmissionRecord, AWriterThatCannotGetTheLockWritesNothing) {
  Sandbox box;
  box.Write("db.csv", kOther);
  const core::FileLock held(DatabaseLockPath(box.Path("db.csv")));
  ASSERT_EQ(held.state(), core::FileLock::State::kHeld);
  const UpsertResult result = UpsertTransmissionRecord(box.Path("db.csv"), Accepted());
  EXPECT_EQ(result.status, UpsertResult::Status::kBusy);
  EXPECT_EQ(box.Read("db.csv"), kOther);
}

}  // namespace
}  // namespace wfdesk::textdb
