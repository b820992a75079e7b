#include "core/environment.hpp"

#include "core/platform/platform.hpp"
#include "core/settings.hpp"

namespace wfdesk::core {

std::optional<std::string> EnvironmentValue(const char* name) {
  return platform::GetEnvironment(name);
}

std::string RunningProgramPath() {
  return platform::ExecutablePath();
}

std::string FindProgramOnPath(std::string_view name) {
  if (name.empty()) return "";
  if (name.find_first_of(kPathSeparators) != std::string_view::npos) {
    return platform::IsExecutableFile(std::string(name)) ? std::string(name) : "";
  }
  const std::string program = std::string(name) + std::string(kProgramSuffix);
  const std::string path = platform::GetEnvironment("PATH").value_or("/usr/bin:/bin");
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = path.find(kPathListSeparator, start);
    std::string folder = path.substr(start, end == std::string::npos ? end : end - start);
    // An empty entry is the current folder, as the shell reads it.
    if (folder.empty()) folder = ".";
    const std::string candidate = folder + kPathSeparator + program;
    if (platform::IsExecutableFile(candidate)) return candidate;
    if (end == std::string::npos) return "";
    start = end + 1;
  }
}

}  // namespace wfdesk::core
