#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/files.hpp"
#include "core/ini.hpp"

namespace wfdesk::core {

// INI files parsed once and reused while they are unchanged; the reads of a
// workflow run ask one file for thousands of keys. Every read still sees
// the file as it is at that moment: the file is opened each time, and its
// bytes are compared with the parsed ones unless the system's own stamps
// prove that it has not been written since they were read. Safe to share
// between threads.
class IniFileCache {
 public:
  // How far a file's change stamp may lag behind the clock: the coarsest
  // stamps (FAT, two seconds) and the clock tick the system stamps with.
  static constexpr std::chrono::nanoseconds kStampLag = std::chrono::seconds(3);

  // How a file's version and bytes are read; tests give the file system
  // other stamps.
  using FileVersionReader = FileResult (*)(const std::string&, FileVersion&,
                                           const std::function<bool(const FileVersion&)>&,
                                           std::string&);

  explicit IniFileCache(FileVersionReader read = ReadFileVersion,
                        std::chrono::nanoseconds stamp_lag = kStampLag)
      : read_(read), stamp_lag_(stamp_lag) {}

  // What IniFile::ReadINISettings gives for the file at `path`.
  std::optional<std::string> Read(const std::string& path, std::string_view section,
                                  std::string_view key);

 private:
  struct Entry {
    FileVersion version;
    std::int64_t checked_ns = 0;  // the clock before the bytes were last found unchanged
    std::shared_ptr<const std::string> bytes;
    std::shared_ptr<const IniIndex> index;
  };

  std::optional<Entry> Refresh(const std::string& path, std::optional<Entry> known) const;
  bool Settled(const Entry& entry) const;
  std::optional<Entry> Lookup(const std::string& path);
  void Store(const std::string& path, const std::optional<Entry>& entry);

  FileVersionReader read_;
  std::chrono::nanoseconds stamp_lag_;
  std::mutex mutex_;
  std::unordered_map<std::string, Entry> files_;
};

}  // namespace wfdesk::core
