#include "tests/support/installation.hpp"

#include <filesystem>

#include "core/settings.hpp"

namespace wfdesk::testing {

TestInstallation::TestInstallation(std::string extra_settings)
    : test_(box_.root()), previous_folder_(std::filesystem::current_path().string()) {
  for (const char* folder : {"data", "modules", "etc", "in", "out", "archive", "calls"}) {
    box_.MakeFolder(folder);
  }
  Settings(extra_settings);
  (void)core::EnterHome(box_.root());
}

TestInstallation::~TestInstallation() {
  (void)core::EnterHome(previous_folder_);
}

void TestInstallation::Settings(const std::string& extra_settings) {
  box_.Write("settings.ini",
             "[SETTINGS]\r\nlanguage=0\r\nmodule_dir=modules\r\ndata_dir=data\r\netc_dir=etc\r\n"
             "tmp_dir=tmp\r\nlogfile=system.log\r\ntextdb=trans.csv\r\nsilentmode=1\r\n" +
                 extra_settings);
  test_.context.settings = core::LoadAppSettings(box_.root());
}

void TestInstallation::Workflow(const std::string& name, const std::string& modules,
                                const std::string& def_extra) {
  // The first occurrence of a key wins, so def_extra overrides the defaults.
  box_.Write("data/" + name, "[FILE]\r\ntype=qvworkflow\r\n[DEF]\r\n" + def_extra + "name=" + name +
                                 "\r\ntitle=Title of " + name + "\r\ntype=genWorkflow\r\n" +
                                 modules);
}

#ifdef _WIN32
void TestInstallation::FakeProgram(const std::string& name, int status) {
  const std::string program = Path("modules/" + name + ".exe");
  std::filesystem::copy_file(WFDESK_FAKE_MODULE, program,
                             std::filesystem::copy_options::overwrite_existing);
  box_.Write("modules/" + name + ".fake",
             box_.Path("calls/" + name) + "\n" + std::to_string(status) + "\n");
}
#else
void TestInstallation::Script(const std::string& name, const std::string& body) {
  const std::string path = box_.Write("modules/" + name, "#!/bin/sh\n" + body + "\n");
  std::filesystem::permissions(path, std::filesystem::perms(0755));
}

// The shell line that records a call of the program `name`: "CALL" and
// then every argument, one per line.
std::string TestInstallation::RecordCall(const std::string& name) const {
  return "{ printf 'CALL\\n'; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } >> '" +
         box_.Path("calls/" + name) + "'\n";
}

void TestInstallation::FakeProgram(const std::string& name, int status) {
  Script(name, RecordCall(name) + "exit " + std::to_string(status));
}

void TestInstallation::SystemctlDouble(const std::string& state) {
  Script("systemctl", RecordCall("systemctl") + "case \"$2\" in\n  is-system-running) echo " +
                          state + "; [ " + state +
                          " = running ];;\n  is-active) echo active;;\nesac");
}

void TestInstallation::SchtasksDouble() {
  const auto at = [this](std::string_view name) { return "'" + box_.Path(name) + "'"; };
  const std::string missing =
      "{ echo 'ERROR: The system cannot find the file specified.' >&2; exit 1; }";
  Script("schtasks",
         RecordCall("schtasks") + "case \"$1\" in\n  /Create) cp \"$3\" " + at("schtasks.xml") +
             " || exit 1\n    [ -f " + at("schtasks.refuses") +
             " ] && { echo 'ERROR: Access is denied.' >&2; exit 1; };;\n  /Query|/Delete) [ -f " +
             at("schtasks.csv") + " ] || " + missing + "\n    [ \"$1\" = /Query ] && cat " +
             at("schtasks.csv") + ";;\nesac\nexit 0");
}
#endif

std::vector<std::vector<std::string>> TestInstallation::Calls(const std::string& name) const {
  std::vector<std::vector<std::string>> calls;
  for (const std::string& line : LogLines("calls/" + name)) {
    if (line == "CALL") {
      calls.emplace_back();
    } else if (!calls.empty()) {
      calls.back().push_back(line);
    }
  }
  return calls;
}

std::vector<std::string> TestInstallation::LogLines(std::string_view relative) const {
  return Lines(box_.Read(relative));
}

std::vector<std::string> TestInstallation::LogMessages(std::string_view relative) const {
  constexpr std::size_t kStampAndBlanks = 21;  // "yyyy-mm-dd hh:nn:ss  "
  std::vector<std::string> messages;
  for (const std::string& line : LogLines(relative)) {
    messages.push_back(line.size() >= kStampAndBlanks ? line.substr(kStampAndBlanks) : line);
  }
  return messages;
}

std::vector<std::string> TestInstallation::FirstModuleLines(std::string_view relative) const {
  const std::string prefix = "[00112233-4455-6677-8899-AABBCCDDEEFF] MODULE MOD001";
  std::vector<std::string> lines;
  for (const auto& line : LogMessages(relative)) {
    if (line.starts_with(prefix)) lines.push_back(line.substr(prefix.size()));
  }
  return lines;
}

}  // namespace wfdesk::testing
