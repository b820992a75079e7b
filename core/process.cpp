#include "core/process.hpp"

#include "core/platform.hpp"

namespace wfdesk::core {

std::string CommandLine::Render() const {
  std::string text = "\"" + program + "\"";
  for (const auto& argument : arguments) {
    text += ' ';
    if (argument.quoted) {
      text += '"' + argument.text + '"';
    } else {
      text += argument.text;
    }
  }
  return text;
}

ProcessResult RunAndWait(const CommandLine& command) {
  return platform::SpawnAndWait(command);
}

std::string FindProgramOnPath(const std::string& name) {
  const std::string path = platform::GetEnvironment("PATH").value_or("/usr/bin:/bin");
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    // An empty entry means the current folder.
    const std::string folder = end == start ? "." : path.substr(start, end - start);
    const std::string candidate = folder + "/" + name;
    if (platform::IsExecutableFile(candidate)) return candidate;
    start = end + 1;
  }
  return "";
}

void StopRunsOnSignals() {
  platform::CatchStopSignals();
}

bool StopRequested() {
  return platform::CaughtStopSignal() != 0;
}

int StopSignal() {
  return platform::CaughtStopSignal();
}

}  // namespace wfdesk::core
