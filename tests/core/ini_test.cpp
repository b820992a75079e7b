#include "core/ini.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <thread>

#include "core/files.hpp"
#include "core/ini_cache.hpp"
#include "core/text_encoding.hpp"
#include "tests/support/sandbox.hpp"

namespace wfdesk::core {
namespace {

using testing::Sandbox;

// Undoes the \xNN escapes of the reference file.
std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
      out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

struct ReferenceRead {
  std::string name, file, section, key, value;
};

std::vector<ReferenceRead> LoadReferenceReads() {
  const auto lines = testing::Lines(testing::ReadFile(WFDESK_TEST_DATA "/ini/reference_reads.tsv"));
  std::vector<ReferenceRead> reads;
  for (std::size_t i = 1; i < lines.size(); ++i) {  // after the header
    std::vector<std::string> cells(1);
    for (const char c : lines[i]) c == '\t' ? cells.emplace_back() : cells.back() += c;
    if (cells.size() != 5) continue;
    reads.push_back(
        {cells[0], Unescape(cells[1]), Unescape(cells[2]), Unescape(cells[3]), Unescape(cells[4])});
  }
  return reads;
}

// Each row is what the platform's reader gave for a small file; the files
// go through the whole read path, from bytes on disk to the value. One
// cache reads them all from one path, rewritten for each row, often with
// another text of the same size within the same clock tick.
TEST(IniReader, AgreesWithTheMeasuredPlatformReader) {
  const auto reads = LoadReferenceReads();
  ASSERT_GT(reads.size(), 130u);
  Sandbox box;
  IniFileCache cache;
  for (const auto& read : reads) {
    SCOPED_TRACE(read.name + " [" + read.section + "] " + read.key);
    box.Write("case.ini", read.file);
    IniFile reader;
    reader.SetININame(box.Path("case.ini"));
    reader.SetSection(read.section);
    reader.SetKey(read.key);
    // The platform's reader keeps blanks that quotes protected; ours gives
    // the value trimmed of spaces, as the read function does next.
    std::string expected = read.value;
    expected.erase(0, expected.find_first_not_of(' '));
    expected.erase(expected.find_last_not_of(' ') + 1);
    EXPECT_EQ(reader.ReadINISettings().value_or(""), expected);
    EXPECT_EQ(cache.Read(box.Path("case.ini"), read.section, read.key), reader.ReadINISettings());
    const std::string text = IniTextFromFileBytes(read.file);
    EXPECT_EQ(FindIniValue(text, read.section, read.key).value_or(""), read.value);
    EXPECT_EQ(IniIndex(text).Find(read.section, read.key).value_or(""), read.value);
  }
}

TEST(IniReader, ReadINIValueJoinsFolderAndNameAndTrims) {
  Sandbox box;
  box.Write("data/wf.ini", "[DEF]\r\ntitle =  \"  padded  \"  \r\nempty=\r\nblank=   \r\n");
  EXPECT_EQ(ReadINIValue("data/wf.ini", "DEF", "title", box.root()), "padded");
  EXPECT_EQ(ReadINIValue("data/wf.ini", "DEF", "title", box.root() + "/"), "padded");
  EXPECT_EQ(ReadINIValue("data/wf.ini", "def", "TITLE", box.root()), "padded");
  EXPECT_EQ(ReadINIValue("data/wf.ini", "DEF", "empty", box.root()), "");
  EXPECT_EQ(ReadINIValue("data/wf.ini", "DEF", "blank", box.root()), "");
  EXPECT_EQ(ReadINIValue("data/missing.ini", "DEF", "title", box.root()), "");
  EXPECT_EQ(ReadINIValue("data", "DEF", "title", box.root()), "");  // a folder
  // An absolute file name is still put behind the folder and names no file.
  EXPECT_EQ(ReadINIValue(box.Path("data/wf.ini"), "DEF", "title", box.root()), "");
  // Every read sees the file as it is now.
  box.Write("data/wf.ini", "[DEF]\r\ntitle=new\r\n");
  EXPECT_EQ(ReadINIValue("data/wf.ini", "DEF", "title", box.root()), "new");
  // UTF-16 files come back as UTF-8: "[S]\r\nk=Größe" as UTF-16LE with byte-order mark.
  const std::u16string text = u"[S]\r\nk=Gr\u00f6\u00dfe \U0001F600\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  box.Write("utf16.ini", bytes);
  EXPECT_EQ(ReadINIValue("utf16.ini", "S", "k", box.root()),
            "Gr\xC3\xB6\xC3\x9F"
            "e \xF0\x9F\x98\x80");
}

TEST(IniReader, SurvivesArbitraryBytes) {
  std::mt19937 random(12345);
  const std::string alphabet = std::string("[]=;\"' \t\r\n\x1a\0abkS", 17) + "\xFF\xFE\xEF\xBB\xBF";
  for (int round = 0; round < 2000; ++round) {
    std::string content(random() % 300, ' ');
    for (char& c : content) c = alphabet[random() % alphabet.size()];
    const auto text = IniTextFromFileBytes(content);
    const IniIndex index(text);
    for (const char* section : {"", "S", "[S", "a"}) {
      const auto value = FindIniValue(text, section, "k");
      if (value) {
        EXPECT_LE(value->size(), kMaxIniValue);
      }
      EXPECT_EQ(index.Find(section, "k"), value) << section;
    }
  }
}

// Overwrites the file in place, same inode, and gives it back its
// modification time: only the bytes and the change stamp tell.
void RewriteInPlace(const std::string& path, const std::string& bytes) {
  const auto before = std::filesystem::last_write_time(path);
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())));
  }
  std::filesystem::last_write_time(path, before);
}

// A file system whose stamps never change, set an hour ahead of the clock
// or behind it.
template <int kHours>
FileResult ReadWithFixedStamps(const std::string& path, FileVersion& version,
                               const std::function<bool(const FileVersion&)>& wants_bytes,
                               std::string& bytes) {
  static const std::int64_t stamp = FileClockNow() + kHours * 3'600'000'000'000;
  const auto fixed = [](FileVersion v) {
    v.modified_ns = v.changed_ns = stamp;
    return v;
  };
  const auto wants = [&](const FileVersion& v) { return wants_bytes(fixed(v)); };
  const FileResult result = ReadFileVersion(path, version, wants, bytes);
  version = fixed(version);
  return result;
}

TEST(IniFileCache, EveryReadSeesTheFileAsItIsNow) {
  struct Edit {
    const char* what;
    std::function<void(const std::string& path)> apply;
    std::optional<std::string> value;
    bool same_stamps;  // a change the stamps may not show
  };
  const std::vector<Edit> edits = {
      {"same size", [](auto& p) { RewriteInPlace(p, "[S]\r\nk=2\r\n"); }, "2", true},
      {"longer", [](auto& p) { RewriteInPlace(p, "[S]\r\nk=33\r\n"); }, "33", false},
      {"replaced", [](auto& p) { (void)WriteTextFile(p, "[S]\r\nk=4\r\n", false); }, "4", false},
      {"removed", [](auto& p) { std::remove(p.c_str()); }, std::nullopt, false},
      {"back", [](auto& p) { (void)WriteTextFile(p, "[S]\r\nk=5\r\n", false); }, "5", false},
      {"unchanged", [](auto& p) { RewriteInPlace(p, "[S]\r\nk=5\r\n"); }, "5", false},
  };
  // Stamps from the past make the file settled at once: then only its
  // stamps, size and identity are compared, as for files written long ago,
  // and a change that keeps them goes unseen.
  for (const auto read : {ReadFileVersion, ReadWithFixedStamps<1>, ReadWithFixedStamps<-1>}) {
    const bool settles = read == ReadWithFixedStamps<-1>;
    Sandbox box;
    IniFileCache cache(read);
    const std::string path = box.Write("wf.ini", "[S]\r\nk=1\r\n");
    EXPECT_EQ(cache.Read(path, "S", "k"), "1");
    for (const auto& edit : edits) {
      if (edit.same_stamps && settles) continue;
      edit.apply(path);
      EXPECT_EQ(cache.Read(path, "s", "K"), edit.value) << edit.what;
    }
  }
}

TEST(IniFileCache, ThreadsShareOneCache) {
  Sandbox box;
  IniFileCache cache;
  const std::string path = box.Write("wf.ini", "[S]\r\nk=old\r\n");
  auto reader = [&] {
    for (int i = 0; i < 500; ++i) {
      const auto value = cache.Read(path, "S", "k");
      EXPECT_TRUE(value == "old" || value == "new") << value.value_or("(none)");
    }
  };
  std::thread worker(reader);
  for (int i = 0; i < 50; ++i) {
    (void)WriteTextFile(path, i % 2 ? "[S]\r\nk=old\r\n" : "[S]\r\nk=new\r\n", false);
  }
  reader();
  worker.join();
}

}  // namespace
}  // namespace wfdesk::core
