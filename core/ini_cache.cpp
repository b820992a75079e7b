#include "core/ini_cache.hpp"

#include "core/ascii.hpp"
#include "core/text_encoding.hpp"

namespace wfdesk::core {

std::optional<std::string> IniFileCache::Read(const std::string& path, std::string_view section,
                                              std::string_view key) {
  const std::optional<Entry> current = Refresh(path, Lookup(path));
  Store(path, current);
  if (!current) return std::nullopt;
  const auto value = current->index->Find(section, key);
  if (!value) return std::nullopt;
  return std::string(TrimSpaces(*value));
}

// A change after checked_ns gets a change stamp of at least checked_ns
// less the lag; an older stamp therefore proves that none has happened.
bool IniFileCache::Settled(const Entry& entry) {
  const std::int64_t changed = entry.version.changed_ns;
  const bool fine = changed % 1'000'000 != 0;
  const auto lag = fine ? kFineStampLag : kCoarseStampLag;
  return changed < entry.checked_ns - lag.count();
}

std::optional<IniFileCache::Entry> IniFileCache::Refresh(const std::string& path,
                                                         std::optional<Entry> known) const {
  const std::int64_t now = FileClockNow();
  bool bytes_read = false;
  const auto wants_bytes = [&](const FileVersion& version) {
    bytes_read = !known || known->version != version || !Settled(*known);
    return bytes_read;
  };
  FileVersion version;
  std::string bytes;
  if (!read_(path, version, wants_bytes, bytes)) return std::nullopt;
  if (!bytes_read) return known;
  if (!known || *known->bytes != bytes) {
    auto index = std::make_shared<const IniIndex>(IniTextFromFileBytes(bytes));
    known = Entry{{}, 0, std::make_shared<const std::string>(std::move(bytes)), std::move(index)};
  }
  known->version = version;
  known->checked_ns = now;
  return known;
}

std::optional<IniFileCache::Entry> IniFileCache::Lookup(const std::string& path) {
  const std::lock_guard lock(mutex_);
  const auto found = files_.find(path);
  if (found == files_.end()) return std::nullopt;
  return found->second;
}

void IniFileCache::Store(const std::string& path, const std::optional<Entry>& entry) {
  const std::lock_guard lock(mutex_);
  if (entry) {
    files_.insert_or_assign(path, *entry);
  } else {
    files_.erase(path);
  }
}

}  // namespace wfdesk::core
