#include "core/ini.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

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
  std::ifstream in(WFDESK_TEST_DATA "/ini/reference_reads.tsv", std::ios::binary);
  std::vector<ReferenceRead> reads;
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::stringstream row(line);
    std::string cell;
    while (std::getline(row, cell, '\t')) cells.push_back(cell);
    if (line.ends_with('\t')) cells.push_back("");
    if (cells.size() != 5) continue;
    reads.push_back(
        {cells[0], Unescape(cells[1]), Unescape(cells[2]), Unescape(cells[3]), Unescape(cells[4])});
  }
  return reads;
}

// Each row is what the platform's reader gave for a small file; the files
// go through the whole read path, from bytes on disk to the value.
TEST(IniReader, AgreesWithTheMeasuredPlatformReader) {
  const auto reads = LoadReferenceReads();
  ASSERT_GT(reads.size(), 130u);
  Sandbox box;
  for (const auto& read : reads) {
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
    EXPECT_EQ(reader.ReadINISettings().value_or(""), expected)
        << read.name << " [" << read.section << "] " << read.key;
    EXPECT_EQ(FindIniValue(IniTextFromFileBytes(read.file), read.section, read.key).value_or(""),
              read.value)
        << read.name << " [" << read.section << "] " << read.key;
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
}

TEST(IniReader, Utf16FilesComeBackAsUtf8) {
  Sandbox box;
  // "[S]\r\nk=Größe" as UTF-16LE with byte-order mark.
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
    for (const char* section : {"", "S", "[S", "a"}) {
      const auto value = FindIniValue(text, section, "k");
      if (value) {
        EXPECT_LE(value->size(), kMaxIniValue);
      }
    }
  }
}

}  // namespace
}  // namespace wfdesk::core
