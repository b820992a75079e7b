// The INI reader: a value written into a generated file is found under its
// section and key in any ASCII case, whatever follows the section; any text
// reads the same twice and never gives an empty, overlong or untrimmed value.
#include <fuzzer/FuzzedDataProvider.h>

#include "core/ascii.hpp"
#include "core/ini.hpp"
#include "fuzz/check.hpp"

namespace {

using namespace std::literals;
using wfdesk::core::EqualsIgnoringAsciiCase;
using wfdesk::core::FindIniValue;
using wfdesk::core::IniIndex;
using wfdesk::core::kMaxIniValue;
using wfdesk::core::ReadINIValue;
using wfdesk::fuzz::Check;

constexpr std::string_view kBlanks = " \t\v\f\x1a";

std::string TrimBlanks(const std::string& text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// A name or value of one line: no line break, no NUL, none of `banned`.
std::string LinePart(FuzzedDataProvider& in, std::string_view banned) {
  return TrimBlanks(wfdesk::fuzz::Without(in.ConsumeRandomLengthString(40),
                                          std::string("\r\n\0"sv) + std::string(banned)));
}

std::string FlipCase(std::string text, FuzzedDataProvider& in) {
  for (char& c : text) {
    if (in.ConsumeBool()) c = wfdesk::core::UpperAscii(c);
  }
  return wfdesk::core::LowerAscii(text) == text ? wfdesk::core::UpperAscii(text) : text;
}

// Lines that are no header and set no key called `key`.
std::string FillerLines(FuzzedDataProvider& in, const std::string& key, std::string_view eol) {
  std::string lines;
  for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n) {
    const std::string line = wfdesk::fuzz::Without(in.ConsumeRandomLengthString(30), "\r\n[\0"sv);
    const auto equals = line.find('=');
    if (equals != std::string::npos &&
        EqualsIgnoringAsciiCase(TrimBlanks(line.substr(0, equals)), key))
      continue;
    lines += line + std::string(eol);
  }
  return lines;
}

struct Written {
  std::string text;
  std::string section;
  std::string key;
  std::string value;
};

// A file whose first section `section` sets `key` to `value`; other sections
// before it, other keys around it, anything after it.
bool Generate(FuzzedDataProvider& in, Written& w) {
  w.section = LinePart(in, "]");
  w.key = LinePart(in, "=[");
  w.value = LinePart(in, "");
  if (w.section.empty() || w.key.empty() || w.value.empty()) return false;
  if (w.value.front() == '"' || w.value.front() == '\'' || w.value.size() > kMaxIniValue)
    return false;
  const std::string_view eol = in.PickValueInArray({"\r\n"sv, "\n"sv, "\r"sv});
  const std::string other = LinePart(in, "]");
  if (in.ConsumeBool()) w.text += "\xEF\xBB\xBF";
  w.text += " " + FillerLines(in, "", eol);
  if (!EqualsIgnoringAsciiCase(other, w.section)) w.text += "[" + other + "]" + std::string(eol);
  w.text += FillerLines(in, w.key, eol) + "[ " + w.section + "\t]" + std::string(eol);
  w.text += FillerLines(in, w.key, eol);
  const std::string quote = in.PickValueInArray({""s, "\""s, "'"s});
  w.text += w.key + " = " + quote + w.value + quote + std::string(eol);
  w.text += in.ConsumeRemainingBytesAsString();
  return true;
}

void CheckWrittenValueIsFound(FuzzedDataProvider& in) {
  Written w;
  if (!Generate(in, w)) return;
  const std::string section = FlipCase(w.section, in);
  const std::string key = FlipCase(w.key, in);
  const std::string path = wfdesk::fuzz::ScratchFolder() + "/written.ini";
  wfdesk::fuzz::WriteFile(path, w.text);
  Check(ReadINIValue("written.ini", section, key, wfdesk::fuzz::ScratchFolder()) == w.value,
        "a written value is read back under its section and key");
}

void CheckAnyText(const std::string& text, const std::string& section, const std::string& key) {
  const auto first = FindIniValue(text, section, key);
  Check(first == FindIniValue(text, section, key), "two reads of one text agree");
  Check(first == IniIndex(text).Find(section, key), "the index finds what the scan finds");
  Check(!first || (!first->empty() && first->size() <= kMaxIniValue),
        "a value found is neither empty nor overlong");
  const std::string path = wfdesk::fuzz::ScratchFolder() + "/any.ini";
  wfdesk::fuzz::WriteFile(path, text);
  const std::string read = ReadINIValue("any.ini", section, key, wfdesk::fuzz::ScratchFolder());
  Check(read == ReadINIValue("any.ini", section, key, wfdesk::fuzz::ScratchFolder()),
        "two reads of one file agree");
  Check(read.empty() || (read.front() != ' ' && read.back() != ' '), "a value read is trimmed");
  Check(read.find_first_of("\r\n\0"sv) == std::string::npos, "a value read is one line");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  {
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(20);
    const std::string key = in.ConsumeRandomLengthString(20);
    CheckAnyText(in.ConsumeRemainingBytesAsString(), section, key);
  }
  FuzzedDataProvider in(data, size);
  CheckWrittenValueIsFound(in);
  return 0;
}
