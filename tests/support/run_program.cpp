#include "tests/support/run_program.hpp"

namespace wfdesk::testing {

core::CommandLine CapturingCommand(const std::vector<std::string>& argv,
                                   const std::vector<std::string>& environment) {
  core::CommandLine command{argv.at(0), {}};
  for (std::size_t i = 1; i < argv.size(); ++i) command.Add(argv[i]);
  for (const std::string& entry : environment) {
    const std::size_t equals = entry.find('=');
    command.environment.emplace_back(entry.substr(0, equals), entry.substr(equals + 1));
  }
  command.capture_output = true;
  return command;
}

namespace {

std::string WithoutCarriageReturns(const std::string& text) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' || i + 1 >= text.size() || text[i + 1] != '\n') result += text[i];
  }
  return result;
}

}  // namespace

ProgramOutput RunProgram(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment) {
  const core::ProcessResult result = core::RunAndWait(CapturingCommand(argv, environment));
  return {result.started ? result.exit_status : -1, WithoutCarriageReturns(result.output),
          WithoutCarriageReturns(result.errors)};
}

}  // namespace wfdesk::testing
