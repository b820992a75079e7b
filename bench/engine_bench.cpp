// A workflow run against a shell loop that starts the same programs:
// a chain of 1000 converter modules whose program does nothing (and the
// same 1000 starts through core's launcher alone), and the XSLT
// module over 1000 small files, also archiving them into an archive that
// holds 10000 files already, with xsltproc and with the built-in engine.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/programs.hpp"
#include "bench/ratio_reporter.hpp"
#include "bench/turns.hpp"
#include "core/context.hpp"
#include "core/settings.hpp"
#include "engine/workflow.hpp"

namespace {

namespace fs = std::filesystem;
using namespace wfdesk;

constexpr int kCount = 1000;

class QuietOperator : public core::Operator {
 public:
  void Tell(const std::string&) override {}
  bool Ask(const std::string&) override { return false; }
};

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A scratch installation with a do-nothing converter and xsltproc.
struct BenchInstallation {
  BenchInstallation() {
    std::string pattern = (fs::temp_directory_path() / "wfdesk-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    home = pattern;
    for (const char* folder : {"data", "modules", "etc", "in", "out", "log", "archive"}) {
      fs::create_directory(home + "/" + folder);
    }
    WriteFile(home + "/settings.ini",
              "[SETTINGS]\r\nmodule_dir=modules\r\ndata_dir=data\r\netc_dir=etc\r\n"
              "logfile=log/system.log\r\nsilentmode=1\r\n");
    fs::create_symlink("/bin/true", home + "/modules/mod_ledgerconv001_x86_32");
    fs::create_symlink("/usr/bin/xsltproc", home + "/modules/xsltproc");
    WriteFile(home + "/etc/t.xsl",
              "<xsl:stylesheet version=\"1.0\" "
              "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"><xsl:output method=\"text\"/>"
              "<xsl:template match=\"/\"><xsl:value-of select=\"/a\"/></xsl:template>"
              "</xsl:stylesheet>");
    std::string chain = "[FILE]\r\ntype=qvworkflow\r\n[DEF]\r\ntype=genWorkflow\r\n";
    for (int i = 1; i <= kCount; ++i) {
      char section[16];
      std::snprintf(section, sizeof section, "MOD%03d", i);
      chain += std::string("[") + section +
               "]\r\nmtype=BMD5INVOICE\r\nmpFile=in\r\nmpFileOutPath=out\r\n"
               "mpFileOutExtension=xml\r\n";
    }
    WriteFile(home + "/data/chain.ini", chain);
    WriteFile(home + "/data/xslt.ini",
              "[FILE]\r\ntype=qvworkflow\r\n[DEF]\r\ntype=genWorkflow\r\n[MOD001]\r\n"
              "mtype=XSLTproc\r\nmpFile=in\r\nmpFileOutPath=out\r\nmpFileOutExtension=txt\r\n"
              "mpXSLTfile=t.xsl\r\n");
    WriteFile(home + "/data/xslt_archive.ini",
              "[FILE]\r\ntype=qvworkflow\r\n[DEF]\r\ntype=genWorkflow\r\n[MOD001]\r\n"
              "mtype=XSLTproc\r\nmpFile=in\r\nmpFileOutPath=out\r\nmpFileOutExtension=txt\r\n"
              "mpXSLTfile=t.xsl\r\nmpArchivePath=archive\r\n");
    WriteFile(home + "/data/xslt_builtin.ini",
              "[FILE]\r\ntype=qvworkflow\r\n[DEF]\r\ntype=genWorkflow\r\n[MOD001]\r\n"
              "mtype=XSLTproc\r\nmpFile=in\r\nmpFileOutPath=out\r\nmpFileOutExtension=txt\r\n"
              "mpXSLTfile=t.xsl\r\nmpArchivePath=archive\r\nmpXSLTengine=builtin\r\n");
    for (int i = 0; i < 10 * kCount; ++i) WriteFile(home + "/archive/old" + std::to_string(i), "");
    (void)core::EnterHome(home);
    settings = core::LoadAppSettings(home);
  }
  ~BenchInstallation() { fs::remove_all(home); }

  // The inputs of a run, and an empty output folder: the module does not
  // replace the outputs of the run before, which are put aside, not deleted
  // (a file system that has just freed many files is slower to make new
  // ones, which would weigh on the next run).
  void MakeInputs() {
    fs::rename(home + "/out", home + "/out-" + std::to_string(++runs));
    fs::create_directory(home + "/out");
    for (int i = 0; i < kCount; ++i) {
      WriteFile(home + "/in/f" + std::to_string(i) + ".xml", "<a>" + std::to_string(i) + "</a>");
    }
  }

  std::string home;
  core::AppSettings settings;
  int runs = 0;
};

BenchInstallation& Installation() {
  static BenchInstallation installation;
  return installation;
}

// Starts nothing and reports success: what the engine spends on its own.
class NoProgramLauncher : public core::ProcessLauncher {
 public:
  core::ProcessResult RunAndWait(const core::CommandLine&) override {
    core::ProcessResult result;
    result.started = true;
    return result;
  }
};

template <typename Launcher = core::SpawnLauncher>
void RunWorkflow(benchmark::State& state, const std::string& name) {
  auto& inst = Installation();
  QuietOperator person;
  Launcher launcher;
  core::SystemClock clock;
  core::SystemGuidSource guids;
  const core::Context context{inst.home, inst.settings, person, launcher, clock, guids};
  engine::WorkflowRunner runner;
  if (const engine::RunOutcome outcome = runner.RunWorkflow(context, name); !outcome.ok()) {
    state.SkipWithError(("the run of " + name + " failed: " + outcome.result).c_str());
  }
}

void Shell(benchmark::State& state, const std::string& script) {
  if (!core::RunAndWait(bench::Command({"/bin/bash", "-c", script})).started) {
    state.SkipWithError("cannot start bash");
  }
}

// The chain, the shell loop and the launcher alone are measured in turns
// (see main), one run per turn, and compared by their medians: a change in
// the machine's load during the benchmark falls on all of them alike.
constexpr int kTurns = 7;

void InTurns(benchmark::internal::Benchmark* b) {
  bench::MeasureInTurns(b, kTurns, bench::TurnTime::kReal);
}

void BM_Chain1000Converters(benchmark::State& state) {
  for (auto _ : state) RunWorkflow(state, "chain.ini");
}
BENCHMARK(BM_Chain1000Converters)->Apply(InTurns);

void BM_Chain1000ConvertersNoProgram(benchmark::State& state) {
  for (auto _ : state) RunWorkflow<NoProgramLauncher>(state, "chain.ini");
}
BENCHMARK(BM_Chain1000ConvertersNoProgram)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// What `wfdesk-cli check` does for the chain: every module's parameters.
void BM_CheckChain1000Converters(benchmark::State& state) {
  auto& inst = Installation();
  QuietOperator person;
  NoProgramLauncher launcher;
  core::SystemClock clock;
  core::SystemGuidSource guids;
  const core::Context context{inst.home, inst.settings, person, launcher, clock, guids};
  for (auto _ : state) {
    if (!engine::CheckWorkflow(context, "chain.ini").empty()) state.SkipWithError("problems");
  }
  state.counters["limit_ms"] = 200;
}
BENCHMARK(BM_CheckChain1000Converters)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_ShellLoop1000Converters(benchmark::State& state) {
  const std::string home = Installation().home;
  const std::string script = "for i in $(seq " + std::to_string(kCount) + "); do '" + home +
                             "/modules/mod_ledgerconv001_x86_32' -f '" + home +
                             "/in' -ifm '*' -fp '" + home + "/out' -fe xml -lf '" + home +
                             "/log/system.log'; done";
  for (auto _ : state) Shell(state, script);
}
BENCHMARK(BM_ShellLoop1000Converters)->Apply(InTurns);

// The converter started by core's launcher alone, with the command line the
// chain gives it: what the chain costs beyond its programs is the
// difference.
void BM_Launch1000Converters(benchmark::State& state) {
  const std::string home = Installation().home;
  core::CommandLine command{home + "/modules/mod_ledgerconv001_x86_32", {}};
  command.Add("-f").Add(home + "/in").Add("-ifm").Add("*").Add("-fp").Add(home + "/out");
  command.Add("-fe").Add("xml").Add("-lf").Add(home + "/log/system.log");
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) {
      if (!core::RunAndWait(command).started) state.SkipWithError("cannot start the converter");
    }
  }
}
BENCHMARK(BM_Launch1000Converters)->Apply(InTurns);

void BM_Xslt1000Files(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    Installation().MakeInputs();
    state.ResumeTiming();
    RunWorkflow(state, "xslt.ini");
  }
}
BENCHMARK(BM_Xslt1000Files)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_Xslt1000FilesIntoFullArchive(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    Installation().MakeInputs();
    state.ResumeTiming();
    RunWorkflow(state, "xslt_archive.ini");
  }
}
BENCHMARK(BM_Xslt1000FilesIntoFullArchive)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

void BM_ShellLoop1000Xsltproc(benchmark::State& state) {
  const std::string home = Installation().home;
  const std::string script =
      "cd '" + home +
      "/in' && for f in *.xml; do xsltproc -o \"../out/${f%%.*}.txt\" ../etc/t.xsl \"$f\"; done";
  for (auto _ : state) {
    state.PauseTiming();
    Installation().MakeInputs();
    state.ResumeTiming();
    Shell(state, script);
  }
}
BENCHMARK(BM_ShellLoop1000Xsltproc)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_Xslt1000FilesBuiltinIntoFullArchive(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    Installation().MakeInputs();
    state.ResumeTiming();
    RunWorkflow(state, "xslt_builtin.ini");
  }
}
BENCHMARK(BM_Xslt1000FilesBuiltinIntoFullArchive)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// The peer of the built-in engine: what a script would do.
void BM_ShellLoop1000XsltprocAndMv(benchmark::State& state) {
  const std::string home = Installation().home;
  const std::string script = "cd '" + home +
                             "/in' && for f in *.xml; do xsltproc -o \"../out/${f%%.*}.txt\" "
                             "../etc/t.xsl \"$f\" && mv \"$f\" ../archive/; done";
  for (auto _ : state) {
    state.PauseTiming();
    Installation().MakeInputs();
    state.ResumeTiming();
    Shell(state, script);
  }
}
BENCHMARK(BM_ShellLoop1000XsltprocAndMv)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// The name of the median of a benchmark measured in turns.
std::string Turns(const std::string& name) {
  return bench::MedianOfTurns(name, kTurns, bench::TurnTime::kReal);
}

}  // namespace

int main(int argc, char** argv) {
  bench::InitializeInRandomTurns(argc, argv);
  bench::RatioReporter reporter({
      {Turns("BM_Chain1000Converters"), Turns("BM_ShellLoop1000Converters"), 1.1},
      {"BM_Chain1000ConvertersNoProgram/iterations:5/real_time",
       Turns("BM_ShellLoop1000Converters"), 0},
      {Turns("BM_Launch1000Converters"), Turns("BM_ShellLoop1000Converters"), 0},
      {Turns("BM_Chain1000Converters"), Turns("BM_Launch1000Converters"), 0},
      {"BM_Xslt1000Files/iterations:3/real_time", "BM_ShellLoop1000Xsltproc/iterations:3/real_time",
       1.2},
      {"BM_Xslt1000FilesIntoFullArchive/iterations:3/real_time",
       "BM_Xslt1000Files/iterations:3/real_time", 1.5},
      {"BM_Xslt1000FilesBuiltinIntoFullArchive/iterations:5/real_time",
       "BM_ShellLoop1000XsltprocAndMv/iterations:3/real_time", 0.033},
  });
  benchmark::RunSpecifiedBenchmarks(&reporter);
  return 0;
}
