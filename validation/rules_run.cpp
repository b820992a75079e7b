#include "validation/rules_run.hpp"

#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "core/environment.hpp"
#include "core/files.hpp"
#include "core/path_facts.hpp"
#include "core/settings.hpp"
#include "validation/svrl_report.hpp"

namespace wfdesk::validation {

namespace {

namespace fs = std::filesystem;

// Without packages that put Java and Saxon-HE in known places, settings.ini
// names both.
constexpr bool kSystemPackages = !core::kSystemSaxonJar.empty();

// The java program, or why there is none.
bool FindJava(const std::string& configured, std::string& java, std::string& failure) {
  java = configured.empty() && kSystemPackages ? core::FindProgramOnPath("java") : configured;
  if (java.empty()) {
    failure = kSystemPackages
                  ? "Java was not found (java); install the Debian package default-jre-headless"
                  : "Java is not set up: name java.exe in java_program of settings.ini (a Java "
                    "runtime, 11 or later, is needed for the rules)";
  } else if (!core::IsPlainFile(java)) {
    failure = "Java was not found at " + java +
              "; install a Java runtime (Debian: default-jre-headless) or correct java_program "
              "in settings.ini";
  }
  return failure.empty();
}

bool FindSaxon(const std::string& configured, std::string& saxon, std::string& failure) {
  saxon = configured.empty() ? std::string(core::kSystemSaxonJar) : configured;
  if (saxon.empty()) {
    failure =
        "Saxon-HE is not set up: name its jar in saxon_jar of settings.ini (Saxon-HE 9.9 or later "
        "is needed for the rules)";
  } else if (!core::IsPlainFile(saxon)) {
    failure = "Saxon-HE was not found at " + saxon +
              "; install the Debian package libsaxonhe-java or correct saxon_jar in settings.ini";
  }
  return failure.empty();
}

// A folder of its own for one run, removed with everything in it at the end.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& parent) {
    std::error_code error;
    const fs::path base = parent.empty() ? fs::temp_directory_path(error) : fs::path(parent);
    std::random_device random;
    for (int attempt = 0; attempt < 20 && path_.empty() && !error; ++attempt) {
      const fs::path candidate = base / ("wfdesk-check-" + std::to_string(random()));
      if (fs::create_directory(candidate, error)) path_ = candidate;
    }
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// The name of the n-th file in the scratch folders.
std::string ScratchName(std::size_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "%06zu.xml", index + 1);
  return name;
}

// A hard link where the file system allows one, else a copy.
bool PlaceFile(const std::string& from, const fs::path& to) {
  std::error_code error;
  fs::create_hard_link(fs::path(from), to, error);
  if (!error) return true;
  std::string bytes;
  return core::ReadFileContent(from, bytes) && core::WriteNewFile(to.string(), bytes);
}

bool PlaceFiles(const std::vector<std::string>& files, const fs::path& folder,
                std::string& failure) {
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!PlaceFile(files[i], folder / ScratchName(i))) {
      failure =
          "The rules could not be run: " + files[i] + " could not be copied to " + folder.string();
      return false;
    }
  }
  return true;
}

core::CommandLine SaxonCommand(const std::string& java, const std::string& saxon,
                               const RulesSetup& setup, const fs::path& scratch) {
  core::CommandLine command{java, {}, setup.time_limit_seconds, true};
  // One thread transforms the files one after another: the serial collector
  // keeps the heap small and flat over thousands of files, and is faster
  // here than the default one.
  command.Add("-XX:+UseSerialGC");
  // No DTD, schema or stylesheet of the inputs is fetched from anywhere.
  command.Add("-Djavax.xml.accessExternalDTD=").Add("-Djavax.xml.accessExternalSchema=");
  command.Add("-cp").AddQuoted(saxon).Add("net.sf.saxon.Transform");
  command.AddQuoted("-s:" + (scratch / "in").string());
  command.AddQuoted("-xsl:" + setup.rules);
  command.AddQuoted("-o:" + (scratch / "out").string());
  command.Add("-dtd:off").Add("-expand:off").Add("-ext:off").Add("-xi:off");
  return command;
}

// The first line of what Saxon said about its failure.
std::string FirstLine(const std::string& text) {
  const std::size_t start = text.find_first_not_of("\r\n \t");
  if (start == std::string::npos) return "";
  return text.substr(start, text.find_first_of("\r\n", start) - start);
}

std::string FailureOf(const core::ProcessResult& result, const RulesSetup& setup,
                      const std::string& java) {
  if (!result.started) return "Java could not be started (" + java + "): " + result.error;
  if (result.ending == core::Ending::kTimedOut) {
    return "The rules did not finish within " + std::to_string(setup.time_limit_seconds) + " s";
  }
  if (result.ending == core::Ending::kStopped) return "The rules were stopped";
  const std::string said = FirstLine(result.errors);
  return "The rules " + setup.rules + " could not run (Saxon ended with status " +
         std::to_string(result.exit_status) + ")" + (said.empty() ? "" : ": " + said);
}

void ReadReports(const std::vector<std::string>& files, const fs::path& folder,
                 RulesOutcome& outcome) {
  outcome.findings.resize(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!ReadSvrlReport((folder / ScratchName(i)).string(), outcome.findings[i])) {
      outcome.failure = "The rules wrote no report for " + files[i];
      outcome.findings.clear();
      return;
    }
  }
  outcome.ran = true;
}

}  // namespace

RulesOutcome RunRules(const RulesSetup& setup, const std::vector<std::string>& files,
                      core::ProcessLauncher& launcher) {
  RulesOutcome outcome;
  std::string java, saxon;
  if (!FindJava(setup.java, java, outcome.failure) ||
      !FindSaxon(setup.saxon, saxon, outcome.failure)) {
    return outcome;
  }
  if (!core::IsPlainFile(setup.rules)) {
    outcome.failure = "The rules file " + setup.rules + " was not found";
    return outcome;
  }
  const ScratchFolder scratch(setup.scratch_folder);
  std::error_code error;
  if (scratch.path().empty() || !fs::create_directory(scratch.path() / "in", error) ||
      !fs::create_directory(scratch.path() / "out", error)) {
    outcome.failure = "The rules could not be run: no scratch folder could be made";
    return outcome;
  }
  if (!PlaceFiles(files, scratch.path() / "in", outcome.failure)) return outcome;
  const core::ProcessResult result =
      launcher.RunAndWait(SaxonCommand(java, saxon, setup, scratch.path()));
  if (!result.started || result.ending != core::Ending::kExited || result.exit_status != 0) {
    outcome.failure = FailureOf(result, setup, java);
    return outcome;
  }
  ReadReports(files, scratch.path() / "out", outcome);
  return outcome;
}

}  // namespace wfdesk::validation
