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
// the file as it is at that moment: the file's version is read each time
// (on network file systems from the server), and its bytes are compared
// with the parsed ones unless its change stamp proves that it has not been
// written since they were read. Safe to share between threads.
class IniFileCache {
 public:
  // How far a file's change stamp may lag behind the clock: a few ticks of
  // the coarse clock the system stamps with, or, where the stamps show no
  // digits below a millisecond, their own granularity (FAT keeps two
  // seconds, older file systems whole seconds).
  static constexpr std::chrono::nanoseconds kFineStampLag = std::chrono::milliseconds(100);
  static constexpr std::chrono::nanoseconds kCoarseStampLag = std::chrono::seconds(3);

  // How a file's version and bytes are read; tests give the file system
  // other stamps.
  using FileVersionReader = FileResult (*)(const std::string&, FileVersion&,
                                           const std::function<bool(const FileVersion&)>&,
                                           std::string&);

  explicit IniFileCache(FileVersionReader read = ReadFileVersion) : read_(read) {}

  // What IniFile::ReadINISettings gives for the file at `path`.
  std::optional<std::string> Read(const std::string& path, std::string_view section,
                                  std::string_view key);

 private:
  struct Entry {
    FileVersion version;
    std::int64_t checked_ns = 0;  // the clock before version and bytes were last read
    std::shared_ptr<const std::string> bytes;
    std::shared_ptr<const IniIndex> index;
  };

  std::optional<Entry> Refresh(const std::string& path, std::optional<Entry> known) const;
  static bool Settled(const Entry& entry);
  std::optional<Entry> Lookup(const std::string& path);
  void Store(const std::string& path, const std::optional<Entry>& entry);

  FileVersionReader read_;
  std::mutex mutex_;
  std::unordered_map<std::string, Entry> files_;
};

}  // namespace wfdesk::core
