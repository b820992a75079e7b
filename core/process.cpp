#include "core/process.hpp"

#include "core/platform/platform.hpp"

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
