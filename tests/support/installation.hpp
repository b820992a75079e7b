#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/settings.hpp"
#include "tests/support/fakes.hpp"
#include "tests/support/sandbox.hpp"

namespace wfdesk::testing {

// A workflow file of the data folder as the logs show it: "data/NAME".
inline std::string InData(const std::string& name) {
  return std::string("data") + core::kPathSeparator + name;
}

// An installation in a fresh temporary folder: settings.ini, the folders
// data, modules, etc, in, out, archive, and a context over it with
// recording seams and the real launcher. The test process works inside it
// while the object lives, as the programs do.
class TestInstallation {
 public:
  explicit TestInstallation(std::string extra_settings = "");
  ~TestInstallation();

  const Sandbox& box() const { return box_; }
  std::string Path(std::string_view relative) const { return box_.Path(relative); }
  const core::Context& context() const { return test_.context; }
  core::Context& context() { return test_.context; }
  RecordingOperator& person() { return test_.person; }

  // Rewrites settings.ini with these SETTINGS lines added and reloads them.
  void Settings(const std::string& extra_settings);

  // data/NAME: a genWorkflow file with the given module sections.
  void Workflow(const std::string& name, const std::string& modules,
                const std::string& def_extra = "");

#ifndef _WIN32
  // modules/NAME: a shell script with this body.
  void Script(const std::string& name, const std::string& body);
#endif
  // modules/NAME (NAME.exe on Windows): a program that records its arguments, one call after
  // another, and exits with `status`.
  void FakeProgram(const std::string& name, int status = 0);
#ifndef _WIN32
  // modules/systemctl: a stand-in that records its calls as FakeProgram
  // does, says the user manager is `state` ("running", "offline", ...) and
  // every timer "active".
  void SystemctlDouble(const std::string& state);
  // modules/schtasks: a stand-in that records its calls as FakeProgram
  // does and keeps the definition file of each /Create as schtasks.xml.
  // /Query prints schtasks.csv; without that file /Query and /Delete find
  // no task. A file schtasks.refuses makes /Create fail.
  void SchtasksDouble();
#endif
  // The path of a program of the modules folder, as the engine starts it.
  std::string ProgramPath(const std::string& name) const {
    return Path("modules/" + name) + std::string(core::kProgramSuffix);
  }
  // The argument lists of every call of a fake program.
  std::vector<std::vector<std::string>> Calls(const std::string& name) const;

  // The lines of a file, without their line ends.
  std::vector<std::string> LogLines(std::string_view relative) const;
  // The messages of a log: its lines without the time stamp and its two blanks.
  std::vector<std::string> LogMessages(std::string_view relative) const;
  // The lines of MOD001 of the fixed run id, without time stamp and prefix.
  std::vector<std::string> FirstModuleLines(std::string_view relative) const;

 private:
#ifndef _WIN32
  std::string RecordCall(const std::string& name) const;
#endif

  Sandbox box_;
  TestContext test_;
  std::string previous_folder_;
};

}  // namespace wfdesk::testing
