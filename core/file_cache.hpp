#pragma once

// Files read once and reused while they are unchanged. Every read still
// sees the file as it is at that moment: the file's version is read each
// time (on network file systems from the server), and its bytes are read
// again unless its change stamp proves that it has not been written since
// they were read.

#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/files.hpp"

namespace wfdesk::core {

// How a file's version and bytes are read; tests give the file system
// other stamps.
using FileVersionReader = FileResult (*)(const std::string&, FileVersion&,
                                         const std::function<bool(const FileVersion&)>&,
                                         std::string&);

// How far a file's change stamp may lag behind the clock: a few ticks of
// the coarse clock the system stamps with, or, where the stamps show no
// digits below a millisecond, their own granularity (FAT keeps two seconds,
// older file systems whole seconds).
inline constexpr std::chrono::nanoseconds kFineStampLag = std::chrono::milliseconds(100);
inline constexpr std::chrono::nanoseconds kCoarseStampLag = std::chrono::seconds(3);

// Whether a file's `version`, read after the clock showed `checked_ns`,
// proves that the file has not been written since: a write after
// checked_ns gets a change stamp of at least checked_ns less the lag, so an
// older stamp shows that none has happened.
bool StampIsSettled(const FileVersion& version, std::int64_t checked_ns);

// A file's bytes as last read, and what proves them current.
struct CachedFile {
  FileVersion version;
  std::int64_t checked_ns = 0;  // the clock before version and bytes were last read
  std::shared_ptr<const FileBytes> bytes;
};

// The file as it is now: `known`'s bytes (the same object) while the file
// is unchanged, new bytes when it has changed; nullopt when it cannot be
// read, with the reason in `error`.
std::optional<CachedFile> RefreshCachedFile(FileVersionReader read, const std::string& path,
                                            std::optional<CachedFile> known,
                                            std::string* error = nullptr);

// The bytes of the files read last, the `capacity` most recent ones kept,
// for a list that is read again at every keystroke. Safe to share between
// threads.
class FileBytesCache {
 public:
  explicit FileBytesCache(std::size_t capacity = 1, FileVersionReader read = ReadFileVersion)
      : capacity_(capacity), read_(read) {}

  // The file's bytes as they are now; the same object while it is unchanged.
  FileResult Read(const std::string& path, std::shared_ptr<const FileBytes>& bytes);

 private:
  struct Entry {
    std::string path;
    CachedFile file;
  };

  std::optional<CachedFile> Take(const std::string& path);
  void Keep(const std::string& path, const CachedFile& file);

  std::size_t capacity_;
  FileVersionReader read_;
  std::mutex mutex_;
  std::list<Entry> files_;  // the most recent first
};

}  // namespace wfdesk::core
