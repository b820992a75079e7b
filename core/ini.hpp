#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace wfdesk::core {

// Longest value a read gives back; longer values are cut.
inline constexpr std::size_t kMaxIniValue = 1022;

// One private-profile read: section, key and file, then ReadINISettings.
// Every read looks at the file as it is at that moment; nothing is cached.
class IniFile {
 public:
  void SetSection(std::string section) { section_ = std::move(section); }
  void SetKey(std::string key) { key_ = std::move(key); }
  void SetININame(std::string path) { ini_name_ = std::move(path); }

  // The value, or nothing when the file, section or key is missing or the
  // value is empty. Never fails towards the caller.
  std::optional<std::string> ReadINISettings() const;

 private:
  std::string section_;
  std::string key_;
  std::string ini_name_;
};

// Finds a value in INI text following the platform's private-profile rules:
// names match whole and without regard to ASCII case, the first occurrence of
// a section and of a key wins, ";" and "#" mean nothing, a value in matching
// quotes loses them once, values are cut to kMaxIniValue characters.
std::optional<std::string> FindIniValue(std::string_view content, std::string_view section,
                                        std::string_view key);

// INI text read once: FindIniValue for any section and key, each found
// without scanning the text again.
class IniIndex {
 public:
  explicit IniIndex(std::string text);
  IniIndex(const IniIndex&) = delete;
  IniIndex& operator=(const IniIndex&) = delete;

  // What FindIniValue gives for the same text.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;

 private:
  std::string text_;
  // Section and key names in lower case, joined by a NUL (which no name
  // holds), to the first value of the key in the first such section.
  std::unordered_map<std::string, std::string_view> values_;
};

// The trimmed value of key in section of folder/file_name, "" when missing.
// An empty folder means the current folder, which is the installation folder
// once the program has started.
std::string ReadINIValue(const std::string& file_name, const std::string& section,
                         const std::string& key, const std::string& folder);

}  // namespace wfdesk::core
