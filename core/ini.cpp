#include "core/ini.hpp"
#include "core/ascii.hpp"

#include <cstring>
#include <unordered_set>

#include "core/files.hpp"
#include "core/settings.hpp"
#include "core/text_encoding.hpp"

namespace wfdesk::core {

namespace {

bool IsIniBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string_view TrimIni(std::string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && IsIniBlank(text[first])) ++first;
  while (last > first && IsIniBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

// A NUL ends a name or a value, as it would end a C string.
std::string_view CutAtNul(std::string_view text) {
  const auto nul = text.find('\0');
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

std::string_view Name(std::string_view raw) {
  return TrimIni(CutAtNul(raw));
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::size_t LineEnd(std::string_view content, std::size_t pos) {
  const char* begin = content.data() + pos;
  const std::size_t rest = content.size() - pos;
  const void* lf = std::memchr(begin, '\n', rest);
  const std::size_t lf_at = lf ? static_cast<const char*>(lf) - begin : rest;
  const void* cr = std::memchr(begin, '\r', lf_at);
  return pos + (cr ? static_cast<const char*>(cr) - begin : lf_at);
}

std::size_t NextLineStart(std::string_view content, std::size_t line_end) {
  if (line_end >= content.size()) return content.size();
  if (content[line_end] == '\r' && line_end + 1 < content.size() && content[line_end + 1] == '\n') {
    return line_end + 2;
  }
  return line_end + 1;
}

// A "[" that only blanks separate from the start of its line.
bool StartsLine(std::string_view content, std::size_t pos) {
  while (pos > 0 && IsIniBlank(content[pos - 1])) --pos;
  return pos == 0 || content[pos - 1] == '\n' || content[pos - 1] == '\r';
}

// The name of a header line "[name]", or nothing when the line is no header.
std::optional<std::string_view> HeaderName(std::string_view line) {
  const std::string_view trimmed = TrimIni(line);
  if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
  const auto close = trimmed.rfind(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Name(trimmed.substr(1, close - 1));
}

// Start of the body of the first section called `section`, or nothing. Keys
// above the first header form the section with the empty name, so a later
// "[]" is a repeat of it and ignored like any repeated section.
std::optional<std::size_t> FindSectionBody(std::string_view content, std::string_view section) {
  if (section.empty()) return 0;
  std::size_t pos = 0;
  while (pos < content.size()) {
    const void* hit = std::memchr(content.data() + pos, '[', content.size() - pos);
    if (!hit) return std::nullopt;
    const std::size_t bracket = static_cast<const char*>(hit) - content.data();
    const std::size_t end = LineEnd(content, bracket);
    if (StartsLine(content, bracket)) {
      if (auto name = HeaderName(content.substr(bracket, end - bracket))) {
        if (EqualsIgnoringAsciiCase(*name, section)) return NextLineStart(content, end);
      }
    }
    pos = NextLineStart(content, end);
  }
  return std::nullopt;
}

std::string_view ValueOf(std::string_view line, std::size_t equals) {
  return Unquote(TrimIni(CutAtNul(line.substr(equals + 1))));
}

std::optional<std::string> FindKeyInSection(std::string_view content, std::size_t pos,
                                            std::string_view key) {
  while (pos < content.size()) {
    const std::size_t end = LineEnd(content, pos);
    const std::string_view line = content.substr(pos, end - pos);
    pos = NextLineStart(content, end);
    if (HeaderName(line)) return std::nullopt;  // the section has ended
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (!EqualsIgnoringAsciiCase(Name(line.substr(0, equals)), key)) continue;
    const std::string_view value = ValueOf(line, equals);
    if (value.empty()) return std::nullopt;
    return std::string(value.substr(0, kMaxIniValue));
  }
  return std::nullopt;
}

std::string IndexKey(std::string_view section, std::string_view key) {
  std::string joined = LowerAscii(section);
  joined += '\0';
  joined += LowerAscii(key);
  return joined;
}

}  // namespace

std::optional<std::string> FindIniValue(std::string_view content, std::string_view section,
                                        std::string_view key) {
  const auto body = FindSectionBody(content, TrimIni(section));
  if (!body) return std::nullopt;
  return FindKeyInSection(content, *body, TrimIni(key));
}

// One pass over the lines, keeping what FindIniValue would find: keys above
// the first header belong to the section with the empty name, and a repeated
// section is never reached.
IniIndex::IniIndex(std::string text) : text_(std::move(text)) {
  const std::string_view content = text_;
  std::unordered_set<std::string> seen{""};
  std::string section;
  bool reachable = true;
  std::size_t pos = 0;
  while (pos < content.size()) {
    const std::size_t end = LineEnd(content, pos);
    const std::string_view line = content.substr(pos, end - pos);
    pos = NextLineStart(content, end);
    if (auto name = HeaderName(line)) {
      section = LowerAscii(*name);
      reachable = seen.insert(section).second;
      continue;
    }
    const auto equals = line.find('=');
    if (!reachable || equals == std::string_view::npos) continue;
    values_.emplace(IndexKey(section, Name(line.substr(0, equals))), ValueOf(line, equals));
  }
}

std::optional<std::string> IniIndex::Find(std::string_view section, std::string_view key) const {
  const auto found = values_.find(IndexKey(TrimIni(section), TrimIni(key)));
  if (found == values_.end() || found->second.empty()) return std::nullopt;
  return std::string(found->second.substr(0, kMaxIniValue));
}

std::optional<std::string> IniFile::ReadINISettings() const {
  std::string bytes;
  if (!ReadFileContent(ini_name_, bytes)) return std::nullopt;
  const std::string text = IniTextFromFileBytes(std::move(bytes));
  auto value = FindIniValue(text, section_, key_);
  if (!value) return std::nullopt;
  return std::string(TrimSpaces(*value));
}

std::string ReadINIValue(const std::string& file_name, const std::string& section,
                         const std::string& key, const std::string& folder) {
  IniFile reader;
  std::string path;
  if (!folder.empty()) {
    path = folder;
    if (path.back() != kPathSeparator) path += kPathSeparator;
  }
  reader.SetININame(path + file_name);
  reader.SetSection(section);
  reader.SetKey(key);
  return reader.ReadINISettings().value_or("");
}

}  // namespace wfdesk::core
