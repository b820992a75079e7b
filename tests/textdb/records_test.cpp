// The loader, the field reader, the column fitting, the row format and the
// filter rules of the transmission list.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <random>

#include "core/ascii.hpp"
#include "tests/support/installation.hpp"
#include "textdb/record_rewrite.hpp"
#include "textdb/records.hpp"
#include "textdb/transmission_list.hpp"

namespace wfdesk::textdb {
namespace {

using ::testing::ElementsAre;
using testing::TestInstallation;

std::string Data(const char* name) {
  return std::string(WFDESK_TEST_DATA "/textdb/") + name;
}

std::vector<std::string> Ids(const TransmissionRows& rows) {
  std::vector<std::string> ids;
  for (std::size_t i = 0; i < rows.size(); ++i) ids.emplace_back(rows.ElementId(i));
  return ids;
}

std::vector<std::string> Entries(const RecordList& list) {
  std::vector<std::string> entries;
  for (std::size_t i = 0; i < list.size(); ++i) entries.push_back(list.Entry(i));
  return entries;
}

TEST(Loader, NumbersTheLinesAndEndsWithAnEmptyEntryAndTellsOfAMissingFileUnlessSilent) {
  TestInstallation inst;
  const auto load = [&](const char* name) {
    return Entries(LoadTextDatabase(inst.context(), Data(name)));
  };
  EXPECT_THAT(load("two_lines.csv"), ElementsAre("0;A;B", "1;C", ""));
  EXPECT_THAT(load("empty_lines.csv"), ElementsAre("0;ID1;a", "1;ID2;b", "2;", "3;ID4;d", ""));
  EXPECT_THAT(load("pipes.csv"), ElementsAre("0;a|||b;x", "1;C;y", ""));  // "|||" is no line end
  EXPECT_THAT(load("mixed_line_ends.csv"), ElementsAre("0;L1", "1;L2", "2;L3", ""));
  EXPECT_TRUE(load("empty.csv").empty());
  EXPECT_THAT(Entries(RecordList()), ElementsAre(" "));
  // A missing file gives that blank list, and a message unless silent.
  inst.context().settings.silentmode = "0";
  EXPECT_THAT(Entries(LoadTextDatabase(inst.context(), "missing.csv")), ElementsAre(" "));
  inst.context().settings.language = 1;
  inst.context().settings.textdb = "db/trans.csv";
  LoadTextDatabase(inst.context(), "");  // "" loads the textdb file
  EXPECT_THAT(inst.person().told, ElementsAre("The file missing.csv does not exist.",
                                              "Die Datei db/trans.csv existiert nicht."));
  for (const char* silent : {"1", "2"}) {
    inst.context().settings.silentmode = silent;
    LoadTextDatabase(inst.context(), "missing.csv");
  }
  EXPECT_EQ(inst.person().told.size(), 2u);
}

TEST(FieldReader, FollowsTheQuotedFieldRulesAndGivesNothingBeyondTheLine) {
  // Fields 1, 2, ... of each line; every later one, and field 0, is empty.
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"0;a;;c", {"0", "a", "", "c"}},
      {"0;a;b;", {"0", "a", "b"}},
      {"0;\"x;y\";z", {"0", "x;y", "z"}},
      {"0;\"abc\"", {"0", "abc"}},
      {"0;\"abc", {"0", "ab"}},  // the last character taken for the quote
      {"0;\"\"", {"0"}},
      // A quote inside a quoted field ends it only when ";" follows.
      {"0;\"a\"b\";c", {"0", "a\"b", "c"}},
      {"0;\"a\"b", {"0", "a\""}},
      {"", {}},
      // Longer lines: the fields are found sixteen bytes at a time.
      {"0;aaaaaaaaaaaaaaaaaaaa;b;;c;", {"0", "aaaaaaaaaaaaaaaaaaaa", "b", "", "c", ""}},
      {"0;a;b;c;d;e;f;g;h;i;j;\"k;l\";m",
       {"0", "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k;l", "m"}},
  };
  for (const auto& [line, fields] : cases) {
    std::array<std::string_view, 14> all;  // in one walk
    RecordFieldViews(line, all);
    for (int n = 0; n <= 14; ++n) {
      const std::size_t i = static_cast<std::size_t>(n - 1);
      const std::string expected = n > 0 && i < fields.size() ? fields[i] : "";
      EXPECT_EQ(GetRecordField(line, n), expected) << line << " field " << n;
      if (n > 0) {
        EXPECT_EQ(all[i], expected) << line << " field " << n << " in one walk";
      }
    }
  }
}

std::string Record(const std::string& id, const std::string& f3, const std::string& f4,
                   const std::string& f6, const std::string& tag) {
  return id + ";f2;" + f3 + ";" + f4 + ";f5;" + f6 + ";f7;f8;f9;f10;f11;f12;" + tag;
}

// A row of the list, as `records` prints it.
std::string Row(std::string_view record) {
  std::string row;
  AppendRow(row, record);
  return row;
}

TEST(Rows, ShowTheColumnsCutOrFilledAndTheWriteMark) {
  const std::string untagged = Row(Record("ID-1", "third", "fourth", "sixth", "0"));
  const auto blanks = [](std::size_t n) { return std::string(n, ' '); };
  EXPECT_EQ(untagged, "ID-1" + blanks(16 + 3) + "sixth" + blanks(5 + 3) + blanks(4 + 3) + "fourth" +
                          blanks(14 + 3) + "third" + blanks(95));
  for (const char* tag : {"1", "", "00", " 0", "0 ", "2", "x"}) {
    const std::string tagged = Row(Record("ID-1", "third", "fourth", "sixth", tag));
    EXPECT_EQ(tagged.size(), 163u) << tag;
    EXPECT_EQ(tagged.substr(36, 4), "W   ") << tag;
  }
  const std::string long_id(25, 'L');
  const std::string row = Row(Record(long_id, std::string(120, 'x'), "", "1234567890123", "0"));
  EXPECT_EQ(row.substr(0, 28), long_id + "   ");
  EXPECT_EQ(row.substr(28, 10), "1234567890");
  EXPECT_EQ(row.size(), 171u);  // the long ID moves the rest right; field 3 is cut to 100
}

TEST(Rows, FilterIgnoresCaseAndListsRepeatedIdsOnce) {
  const RecordList records =
      RecordList::FromFileContent("A;1\r\nA;2\r\nxabcx;3\r\nB;4\r\nA;5\r\nXABC;6\r\n");
  EXPECT_THAT(Ids(FilterRows(records, "")), ElementsAre("A", "xabcx", "B", "A", "XABC"));
  for (const char* filter : {"abc", "ABC", "aBc"}) {
    EXPECT_THAT(Ids(FilterRows(records, filter)), ElementsAre("xabcx", "XABC")) << filter;
  }
  // A record the filter hides still breaks a run of equal IDs.
  const RecordList hidden = RecordList::FromFileContent("A;1\r\nB;2\r\nA;3\r\n");
  EXPECT_THAT(Ids(FilterRows(hidden, "a")), ElementsAre("A", "A"));
  EXPECT_TRUE(FilterRows(RecordList::FromFileContent(";empty id\r\n"), "").empty());
  EXPECT_TRUE(FilterRows(RecordList(), "").empty());
}

TEST(Rows, FillDBlistLoadsTheSelectedWorkflowsDatabase) {
  TestInstallation inst;
  inst.box().Write("trans.csv", Record("FROM-TEXTDB", "", "", "", "0") + "\r\n");
  inst.box().Write("own.csv", Record("OWN", "", "", "", "0") + "\r\n");
  inst.Workflow("own.ini", "[WORKFLOW]\r\ndbfile=own.csv\r\n");
  inst.Workflow("plain.ini", "");
  EXPECT_THAT(Ids(FillDBlist(inst.context(), "own.ini", "")), ElementsAre("OWN"));
  EXPECT_THAT(Ids(FillDBlist(inst.context(), "plain.ini", "")), ElementsAre("FROM-TEXTDB"));
  EXPECT_THAT(Ids(FillDBlist(inst.context(), "", "")), ElementsAre("FROM-TEXTDB"));
}

// The list as the numbered entries give it, row strings built for every
// record: what the filter that reads only the IDs must give.
std::vector<std::string> EagerRows(const RecordList& records, std::string_view filter) {
  std::vector<std::string> rows;
  std::string_view previous_id;
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records.IsSkipped(i)) continue;
    const std::string row = Row(records.Record(i));
    const std::string_view id = RecordFieldView(records.Record(i), 1);
    const bool repeated = id == previous_id;
    previous_id = id;
    if (!repeated && core::LowerAscii(id).find(core::LowerAscii(filter)) != std::string::npos)
      rows.push_back(row);
  }
  return rows;
}

// A database of short records from a small set of IDs (repeated, quoted,
// empty, with a quote left open) with every kind of line end.
std::string GeneratedDatabase(std::mt19937& random) {
  const char* ids[] = {"A", "a", "ab", "AB-1", "\"Q;1\"", "\"open", "", "x\"y", "B"};
  const char* ends[] = {"\n", "\r\n", "\r"};
  std::string text;
  for (int n = int(random() % 40); n > 0; --n) {
    const unsigned kind = random() % 8;
    // Field 3 holds the IDs' text too, which the filter must pass over.
    if (kind > 0)
      text += std::string(ids[random() % std::size(ids)]) + ";2026;" +
              ids[random() % std::size(ids)] + ";r;;s;;;;;;;" + (kind % 2 ? "0" : "1");
    text += ends[random() % std::size(ends)];
  }
  if (random() % 2 && !text.empty()) text.pop_back();  // no final line end, or a CR for CR LF
  return text;
}

TEST(Rows, TheFilterThatReadsOnlyIdsListsWhatTheEntriesList) {
  TestInstallation inst;
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    const std::string text = GeneratedDatabase(random);
    inst.box().Write("db.csv", text);
    const RecordList in_memory = RecordList::FromFileContent(text);
    const RecordList loaded = LoadTextDatabase(inst.context(), inst.Path("db.csv"));
    ASSERT_EQ(loaded.text(), text);
    for (const char* filter : {"", "a", "A", "b-", "ab-1", ";", "q;1", "\"", "OPE", "Y", "zz"}) {
      const std::vector<std::string> eager = EagerRows(in_memory, filter);
      const TransmissionRows rows = FilterRows(round % 2 ? loaded : in_memory, filter);
      std::vector<std::string> made;
      for (std::size_t i = 0; i < rows.size(); ++i) made.push_back(Row(rows.Record(i)));
      ASSERT_EQ(made, eager) << filter << " in\n" << text;
      // Read from the file in parts of a few lines, runs of IDs crossing them.
      std::vector<std::string> streamed;
      const auto read = ForEachListedRecordInFile(
          inst.Path("db.csv"), filter,
          [&](std::string_view record, std::string_view) { streamed.push_back(Row(record)); },
          std::size_t(2 + round % 30));
      ASSERT_TRUE(read) << read.error;
      ASSERT_EQ(streamed, eager) << filter << " in parts of\n" << text;
    }
  }
}

TEST(RecordRewrite, ADeletionCopiesEveryOtherLineWithItsLineEnd) {
  std::mt19937 random(12);
  for (int round = 0; round < 200; ++round) {
    const std::string text = GeneratedDatabase(random);
    std::vector<core::LineSpan> lines;
    core::IndexLines(text, 0, lines);
    for (const char* id : {"A", "Q;1", "ope", "x\"y", ""}) {
      std::string kept;
      bool found = false;
      for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t end = i + 1 < lines.size() ? lines[i + 1].begin : text.size();
        const bool match =
            RecordFieldView(std::string_view(text).substr(lines[i].begin, lines[i].length), 1) ==
            id;
        found = found || match;
        if (!match) kept += text.substr(lines[i].begin, end - lines[i].begin);
      }
      // Rewritten in parts of whole lines.
      RecordRewriter rewriter(id, nullptr);
      std::string in_parts;
      for (std::size_t at = 0; at < lines.size(); at += 3) {
        const std::size_t end = at + 3 < lines.size() ? lines[at + 3].begin : text.size();
        rewriter.Rewrite(std::string_view(text).substr(lines[at].begin, end - lines[at].begin),
                         [&in_parts](std::string_view piece) { in_parts += piece; });
      }
      EXPECT_EQ(rewriter.found(), found);
      if (found) {
        EXPECT_EQ(in_parts, kept) << id << " in parts of\n" << text;
      }
    }
  }
}

}  // namespace
}  // namespace wfdesk::textdb
