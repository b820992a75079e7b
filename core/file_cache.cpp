#include "core/file_cache.hpp"

namespace wfdesk::core {

bool StampIsSettled(const FileVersion& version, std::int64_t checked_ns) {
  const std::int64_t changed = version.changed_ns;
  const bool fine = changed % 1'000'000 != 0;
  const auto lag = fine ? kFineStampLag : kCoarseStampLag;
  return changed < checked_ns - lag.count();
}

std::optional<CachedFile> RefreshCachedFile(FileVersionReader read, const std::string& path,
                                            std::optional<CachedFile> known, std::string* error) {
  const std::int64_t now = FileClockNow();
  bool bytes_read = false;
  const auto wants_bytes = [&](const FileVersion& version) {
    bytes_read =
        !known || known->version != version || !StampIsSettled(known->version, known->checked_ns);
    return bytes_read;
  };
  FileVersion version;
  std::string bytes;
  if (const FileResult result = read(path, version, wants_bytes, bytes); !result) {
    if (error) *error = result.error;
    return std::nullopt;
  }
  if (!bytes_read) return known;
  if (!known || known->bytes->view() != bytes) {
    known = CachedFile{{}, 0, std::make_shared<const FileBytes>(std::move(bytes))};
  }
  known->version = version;
  known->checked_ns = now;
  return known;
}

FileResult FileBytesCache::Read(const std::string& path, std::shared_ptr<const FileBytes>& bytes) {
  std::string error;
  const std::optional<CachedFile> file = RefreshCachedFile(read_, path, Take(path), &error);
  if (!file) return FileResult::Failed(error);
  Keep(path, *file);
  bytes = file->bytes;
  return FileResult::Ok();
}

std::optional<CachedFile> FileBytesCache::Take(const std::string& path) {
  const std::lock_guard lock(mutex_);
  for (auto entry = files_.begin(); entry != files_.end(); ++entry) {
    if (entry->path != path) continue;
    CachedFile file = std::move(entry->file);
    files_.erase(entry);
    return file;
  }
  return std::nullopt;
}

void FileBytesCache::Keep(const std::string& path, const CachedFile& file) {
  const std::lock_guard lock(mutex_);
  files_.remove_if([&path](const Entry& entry) { return entry.path == path; });
  files_.push_front({path, file});
  while (files_.size() > capacity_) files_.pop_back();
}

}  // namespace wfdesk::core
