#include "core/files.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>

#include "core/context.hpp"
#include "tests/support/fakes.hpp"
#include "tests/support/sandbox.hpp"

namespace wfdesk::core {
namespace {

using testing::ReadFile;
using testing::Sandbox;
using testing::TestContext;

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr bool kModeBits = false;    // Windows keeps only a read-only attribute
constexpr bool kPosixNames = false;  // names differ in case only, "*" and "?" allowed
#else
constexpr bool kModeBits = true;
constexpr bool kPosixNames = true;
#endif

void MakeReadOnly(const std::string& path) {
  fs::permissions(path, fs::perms(0444));
}

fs::perms Mode(const std::string& path) {
  return fs::status(path).permissions() & fs::perms::all;
}

// The names of every entry of a folder, hidden ones included.
std::set<std::string> AllNames(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

TEST(FileListed, FollowsThePlatformListingRules) {
  Sandbox box;
  box.MakeFolder("empty");
  const std::string hidden = box.Write("hidden/.secret", "x");
  box.Write("in/Invoice1.XML", "x");
  box.Write("in/notes.txt", "x");
  box.MakeFolder("in/sub.xml");

  EXPECT_TRUE(FileListed(box.Path("in/")));
  EXPECT_FALSE(FileListed(box.Path("in")));  // a folder is no normal file
  EXPECT_FALSE(FileListed(box.Path("empty/")));
  // Windows hides a file by its attributes, not by its name.
  if (kPosixNames) {
    EXPECT_FALSE(FileListed(box.Path("hidden/")));
    EXPECT_FALSE(FileListed(box.Path("hidden/.secret")));
  }
  EXPECT_TRUE(FileListed(box.Path("in/*.xml")));  // case of letters ignored
  EXPECT_TRUE(FileListed(box.Path("in/invoice?.xml")));
  EXPECT_TRUE(FileListed(box.Path("in/invoice1.xml")));
  EXPECT_FALSE(FileListed(box.Path("in/*.pdf")));
  EXPECT_FALSE(FileListed(box.Path("in/sub.xml")));
  EXPECT_FALSE(FileListed(box.Path("missing/*")));
  EXPECT_FALSE(FileListed(""));
  // A hidden file is still a plain file, and so is a read-only one.
  const std::string read_only = box.Write("ro.txt", "x");
  MakeReadOnly(read_only);
  EXPECT_TRUE(IsPlainFile(hidden));
  EXPECT_TRUE(IsPlainFile(read_only));
  EXPECT_FALSE(IsPlainFile(box.root()));
  EXPECT_FALSE(IsPlainFile(box.Path("missing")));
  EXPECT_TRUE(DirExists(box.root() + "/"));
  EXPECT_FALSE(DirExists(hidden));
  EXPECT_FALSE(DirExists(""));
}

TEST(FileListed, MasksMatchWholeNames) {
  EXPECT_TRUE(MatchesFileMask("a.xml", "*"));
  EXPECT_TRUE(MatchesFileMask("README", "*.*"));
  EXPECT_TRUE(MatchesFileMask("a.b.XML", "*.xml"));
  EXPECT_FALSE(MatchesFileMask("a.xml.bak", "*.xml"));
  EXPECT_TRUE(MatchesFileMask("inv_001.csv", "inv_???.csv"));
  EXPECT_FALSE(MatchesFileMask("inv_01.csv", "inv_???.csv"));
  EXPECT_TRUE(MatchesFileMask("abcabd", "*ab?"));
  EXPECT_FALSE(MatchesFileMask("\xC4rger", "\xE4rger"));  // only ASCII folds
}

TEST(FolderListing, GivesNormalFilesInFileNameOrder) {
  Sandbox box;
  for (const char* name : {"b.xml", "A.xml", "_z.xml", "a2.xml", ".hidden"}) {
    box.Write(std::string("in/") + name, "x");
  }
  box.MakeFolder("in/folder");
  EXPECT_EQ(FolderFileNames(box.Path("in")),
            (std::vector<std::string>{"A.xml", "a2.xml", "b.xml", "_z.xml"}));
  EXPECT_EQ(ListedFiles(box.Path("in/?.XML")),
            (std::vector<std::string>{box.Path("in/A.xml"), box.Path("in/b.xml")}));
  EXPECT_TRUE(FolderFileNames(box.Path("missing")).empty());
}

TEST(WriteText, WritesReplacesAndAppendsAndReportsRefusalsLosingNothing) {
  Sandbox box;
  const std::string path = box.Path("out.txt");
  ASSERT_TRUE(WriteTextFile(path, "first", true));  // creates a missing file
  ASSERT_TRUE(WriteTextFile(path, " more", true));
  EXPECT_EQ(ReadFile(path), "first more");
  ASSERT_TRUE(WriteTextFile(path, "new", false));
  EXPECT_EQ(ReadFile(path), "new");
  // Replacing leaves no temporary file behind and keeps the permissions.
  fs::permissions(path, fs::perms(0640));
  ASSERT_TRUE(WriteTextFile(path, "again", false));
  if (kModeBits) {
    EXPECT_EQ(Mode(path), fs::perms(0640));
  }
  EXPECT_EQ(AllNames(box.root()).size(), 1u);

  // Refusals are reported and lose nothing.
  const auto missing_folder = WriteTextFile(box.Path("no/such/file.txt"), "x", true);
  EXPECT_FALSE(missing_folder);
  EXPECT_NE(missing_folder.error.find(box.Path("no/such/file.txt")), std::string::npos);
  EXPECT_FALSE(WriteTextFile(box.Path("no/such/file.txt"), "x", false));
  EXPECT_FALSE(WriteTextFile("", "x", true));
  EXPECT_FALSE(WriteTextFile(box.root(), "x", false));  // a folder

  const std::string read_only = box.Write("ro.txt", "precious");
  MakeReadOnly(read_only);
  EXPECT_FALSE(WriteTextFile(read_only, "gone", false));
  EXPECT_FALSE(WriteTextFile(read_only, "more", true));
  EXPECT_EQ(ReadFile(read_only), "precious");
}

TEST(WriteText, AReplacementChangesTheFileOnlyWhenCommitted) {
  Sandbox box;
  const std::string path = box.Write("db.csv", "old");
  {
    FileReplacement abandoned(path);
    abandoned.Write("new");
  }
  EXPECT_EQ(ReadFile(path), "old");
  FileReplacement replacement(path);
  for (const char* piece : {"n", "", "ew"}) replacement.Write(piece);
  EXPECT_EQ(replacement.size(), 3u);
  ASSERT_TRUE(replacement.Commit());
  EXPECT_EQ(ReadFile(path), "new");
  EXPECT_EQ(AllNames(box.root()).size(), 1u);
  MakeReadOnly(path);
  FileReplacement refused(path);
  refused.Write("gone");
  EXPECT_FALSE(refused.Commit());
  EXPECT_EQ(ReadFile(path), "new");
}

TEST(ReadText, LinePartsJoinToTheFileAndNeverSplitALine) {
  Sandbox box;
  const char* texts[] = {"",
                         "a",
                         "ab\r\ncd\r\n",
                         "a\rb\nc\r\n\r\r\nlong line here\r",
                         "x\r\r\n\n\r\ry",
                         "one very long line without an end"};
  for (const char* text : texts) {
    const std::string path = box.Write("lines.txt", text);
    for (std::size_t buffer = 1; buffer <= 9; ++buffer) {
      std::string joined;
      const auto read = ReadLineParts(
          path,
          [&](std::string_view part) {
            ASSERT_FALSE(part.empty());
            joined += part;
            // A part ends at a line end, or at the end of the file; a CR
            // that ends a part is not the first half of a CR LF.
            if (joined.size() < std::string_view(text).size()) {
              ASSERT_TRUE(part.back() == '\n' || part.back() == '\r') << text;
              ASSERT_NE(text[joined.size()], part.back() == '\r' ? '\n' : '\0') << text;
            }
          },
          buffer);
      ASSERT_TRUE(read);
      EXPECT_EQ(joined, text) << buffer;
    }
  }
  EXPECT_FALSE(ReadLineParts(box.Path("missing"), [](std::string_view) {}));
  EXPECT_FALSE(ReadLineParts(box.root(), [](std::string_view) {}));
}

TEST(ReadText, ReadsOrTellsTheOperatorInTheirLanguage) {
  Sandbox box;
  TestContext test(box.root());
  box.Write("a.txt", "line 1\r\nline 2");
  box.Write("empty.txt", "");
  EXPECT_EQ(ReadTextFile(test.context, box.Path("a.txt"), false), "line 1\r\nline 2");
  EXPECT_EQ(ReadTextFile(test.context, box.Path("empty.txt"), false), "");
  EXPECT_EQ(ReadTextFile(test.context, box.Path("missing.txt"), true), "");  // told nothing
  EXPECT_EQ(ReadTextFile(test.context, box.Path("missing.txt"), false), "");
  test.context.settings.language = 1;
  EXPECT_EQ(ReadTextFile(test.context, box.root(), false), "");
  ASSERT_EQ(test.person.told.size(), 2u);
  EXPECT_EQ(test.person.told[0], "The file " + box.Path("missing.txt") + " does not exist.");
  EXPECT_EQ(test.person.told[1], "Die Datei " + box.root() + " existiert nicht.");
}

TEST(DeleteFile, DeletesWhatTheListingYieldsButNotReadOnlyFiles) {
  Sandbox box;
  box.Write("in/a.xml", "x");
  box.Write("in/b.XML", "x");
  box.Write("in/c.txt", "x");
  box.Write("in/.h.xml", "x");
  EXPECT_TRUE(DeleteFileIfListed(box.Path("in/*.xml")));
  EXPECT_EQ(FolderFileNames(box.Path("in")), std::vector<std::string>{"c.txt"});
  if (kPosixNames) {
    EXPECT_TRUE(box.Exists("in/.h.xml"));
  }
  EXPECT_TRUE(DeleteFileIfListed(box.Path("in/nothing.xml")));  // nothing to do

  const std::string read_only = box.Write("in/keep.xml", "x");
  MakeReadOnly(read_only);
  EXPECT_FALSE(DeleteFileIfListed(read_only));
  EXPECT_TRUE(box.Exists("in/keep.xml"));

  if (!kPosixNames) return;
  // A file whose name holds a wildcard is one file, not a pattern.
  box.Write("odd/e*.csv", "x");
  box.Write("odd/e1.csv", "x");
  EXPECT_TRUE(DeleteFileIfListed(box.Path("odd/e*.csv")));
  EXPECT_EQ(FolderFileNames(box.Path("odd")), std::vector<std::string>{"e1.csv"});
  box.Write("odd/a?.csv", "x");
  EXPECT_TRUE(MoveFileNumbered(box.Path("odd/a?.csv"), box.Path("a?.csv")).moved);
}

// The archive beside the source ("") or on another file system.
class MoveFileInto : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (GetParam().empty()) {
      archive_.emplace();
    } else if (DirExists(GetParam()) && !testing::SameFileSystem(box_.root(), GetParam())) {
      archive_.emplace(GetParam());
    } else {
      GTEST_SKIP() << GetParam() << " is not another file system here";
    }
  }
  Sandbox box_;
  std::optional<Sandbox> archive_;
};

TEST_P(MoveFileInto, NumbersTakenNamesKeepsTheFileAndLeavesNothingBehind) {
  archive_->Write("archive/a.xml", "old");
  archive_->MakeFolder("archive/a.xml.2");
  archive_->Write("archive/A.XML.3", "other case");
  // On Windows A.XML.3 takes the name a.xml.3 as well.
  const std::string third = kPosixNames ? "a.xml.3" : "a.xml.4";
  const std::string fourth = kPosixNames ? "a.xml.4" : "a.xml.5";
  const struct {
    std::string name, content, expected;
  } moves[] = {{"a.xml", "new", third}, {"a.xml", "newer", fourth}, {"b", "b", "b"}};
  for (const auto& move : moves) {
    const std::string source = box_.Write("in/" + move.name, move.content);
    fs::permissions(source, fs::perms(0640));
    // Whole seconds, which every file system keeps.
    const auto time = std::chrono::floor<std::chrono::seconds>(fs::file_time_type::clock::now() -
                                                               std::chrono::hours(24 * 365));
    fs::last_write_time(source, time);
    const MoveResult moved = MoveFileNumbered(source, archive_->Path("archive/" + move.name));
    ASSERT_TRUE(moved.moved) << moved.error;
    EXPECT_EQ(moved.target, archive_->Path("archive/" + move.expected));
    EXPECT_EQ(archive_->Read("archive/" + move.expected), move.content);
    if (kModeBits) {
      EXPECT_EQ(Mode(moved.target), fs::perms(0640));
    }
    EXPECT_EQ(fs::last_write_time(moved.target), time);
  }
  EXPECT_EQ(archive_->Read("archive/a.xml"), "old");
  EXPECT_EQ(archive_->Read("archive/A.XML.3"), "other case");
  EXPECT_EQ(AllNames(archive_->Path("archive")),
            (std::set<std::string>{"a.xml", "a.xml.2", "A.XML.3", third, fourth, "b"}));
  EXPECT_TRUE(AllNames(box_.Path("in")).empty());

  const std::string kept = box_.Write("in/c", "c");
  EXPECT_FALSE(MoveFileNumbered(kept, archive_->Path("gone/c")).moved);
  EXPECT_EQ(ReadFile(kept), "c");
  EXPECT_EQ(AllNames(archive_->Path("archive")).size(), 6u);
}

INSTANTIATE_TEST_SUITE_P(SameOrOtherFileSystem, MoveFileInto,
                         ::testing::Values(std::string(), std::string("/dev/shm")));

TEST(MoveFile, AMissingSourceIsNothingToMoveAndAPatternIsRefused) {
  Sandbox box;
  const MoveResult nothing = MoveFileNumbered(box.Path("missing.xml"), box.Path("t.xml"));
  EXPECT_FALSE(nothing.moved);
  EXPECT_EQ(nothing.error, "");
  box.Write("in/a.xml", "x");
  const MoveResult pattern = MoveFileNumbered(box.Path("in/*.xml"), box.Path("t.xml"));
  EXPECT_FALSE(pattern.moved);
  EXPECT_NE(pattern.error, "");
}

TEST(HiddenFiles, AreWrittenOnceRenamedWithoutReplacingAndRemoved) {
  Sandbox box;
  box.Write("out/taken.xml", "old");
  const std::string part = box.Path("out/.new.xml.part");
  ASSERT_TRUE(WriteNewFile(part, "new"));
  EXPECT_FALSE(WriteNewFile(part, "again"));  // never over an existing file
  EXPECT_EQ(HiddenFileNames(box.Path("out")), std::vector<std::string>{".new.xml.part"});
  EXPECT_TRUE(FlushFileSystem(box.Path("out")));
  bool taken = false;
  EXPECT_FALSE(RenameWithoutReplacing(part, box.Path("out/taken.xml"), taken));
  EXPECT_TRUE(taken);
  EXPECT_EQ(ReadFile(box.Path("out/taken.xml")), "old");
  EXPECT_TRUE(RenameWithoutReplacing(part, box.Path("out/new.xml"), taken));
  EXPECT_FALSE(taken);
  std::string bytes;
  EXPECT_TRUE(ReadFileContent(box.Path("out/new.xml"), bytes));
  EXPECT_EQ(bytes, "new");
  box.Write("out/.gone", "x");
  EXPECT_TRUE(RemoveOneFile(box.Path("out/.gone")));
  EXPECT_FALSE(RemoveOneFile(box.Path("out/.gone")));
  EXPECT_TRUE(HiddenFileNames(box.Path("out")).empty());
}

#ifndef _WIN32  // the Windows forms are tested with the platform
TEST(AbsolutePathTest, PutsRelativePathsBehindTheInstallation) {
  EXPECT_EQ(AbsolutePath("/srv/in", "/opt/wf"), "/srv/in");
  EXPECT_EQ(AbsolutePath("data", "/opt/wf"), "/opt/wf/data");
  EXPECT_EQ(AbsolutePath("", "/opt/wf"), "/opt/wf/");
  EXPECT_EQ(AbsolutePath("C:\\x", "/opt/wf"), "/opt/wf/C:\\x");
}
#endif

}  // namespace
}  // namespace wfdesk::core
