#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/file_cache.hpp"
#include "core/ini.hpp"

namespace wfdesk::core {

// INI files parsed once and reused while they are unchanged, as a file
// cache keeps them; the reads of a workflow run ask one file for thousands
// of keys. Safe to share between threads.
class IniFileCache {
 public:
  explicit IniFileCache(FileVersionReader read = ReadFileVersion) : read_(read) {}

  // What IniFile::ReadINISettings gives for the file at `path`.
  std::optional<std::string> Read(const std::string& path, std::string_view section,
                                  std::string_view key);

 private:
  struct Entry {
    CachedFile file;
    std::shared_ptr<const IniIndex> index;
  };

  std::optional<Entry> Refresh(const std::string& path, std::optional<Entry> known) const;
  std::optional<Entry> Lookup(const std::string& path);
  void Store(const std::string& path, const std::optional<Entry>& entry);

  FileVersionReader read_;
  std::mutex mutex_;
  std::unordered_map<std::string, Entry> files_;
};

}  // namespace wfdesk::core
