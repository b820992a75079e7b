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

// The index is made again only when the file's bytes have changed.
std::optional<IniFileCache::Entry> IniFileCache::Refresh(const std::string& path,
                                                         std::optional<Entry> known) const {
  std::optional<CachedFile> file =
      RefreshCachedFile(read_, path, known ? std::optional(known->file) : std::nullopt);
  if (!file) return std::nullopt;
  if (!known || known->file.bytes != file->bytes) {
    known = Entry{
        {},
        std::make_shared<const IniIndex>(IniTextFromFileBytes(std::string(file->bytes->view())))};
  }
  known->file = std::move(*file);
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
