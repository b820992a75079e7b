// What the platform layer does alike on every system, on top of the
// system's own functions: the names of the temporary files beside a file
// that is being replaced, and the clean-up of those a killed process left.
#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/platform.hpp"

namespace wfdesk::core::platform {

namespace {

// Temporary files beside a file are named TemporaryPrefix + PID "-" N.
std::string TemporaryPrefix(const std::string& path) {
  return "." + NameOf(path).substr(0, 200) + ".tmp-";
}

bool AllDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The process id of a temporary file's name after its prefix ("PID-N"), or
// 0 when the name is not of that form.
std::uint32_t TemporaryOwner(std::string_view rest) {
  const auto dash = rest.find('-');
  if (dash == std::string_view::npos || dash > 9) return 0;
  const std::string_view pid = rest.substr(0, dash);
  if (!AllDigits(pid) || !AllDigits(rest.substr(dash + 1))) return 0;
  return static_cast<std::uint32_t>(std::stoul(std::string(pid)));
}

}  // namespace

std::string NewTemporaryPath(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return InFolder(FolderOf(path), TemporaryPrefix(path) + std::to_string(CurrentProcessId()) + "-" +
                                      std::to_string(counter++));
}

void RemoveStaleTemporaries(const std::string& path) {
  const std::string target = ReplacedFile(path);
  const std::string folder = FolderOf(target);
  const std::string prefix = TemporaryPrefix(target);
  std::vector<FolderEntry> entries;
  if (!ListFolder(folder, entries)) return;
  for (const FolderEntry& entry : entries) {
    if (!entry.is_regular || !entry.name.starts_with(prefix)) continue;
    const std::uint32_t owner = TemporaryOwner(std::string_view(entry.name).substr(prefix.size()));
    if (owner > 0 && !ProcessRuns(owner)) RemoveFile(InFolder(folder, entry.name));
  }
}

}  // namespace wfdesk::core::platform
