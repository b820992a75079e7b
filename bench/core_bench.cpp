// Reading one INI value against reading the whole file, and the CPU the
// launcher spends while an outside program runs.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "bench/ratio_reporter.hpp"
#include "core/ini.hpp"
#include "core/platform.hpp"
#include "core/process.hpp"

namespace {

namespace fs = std::filesystem;
using namespace wfdesk;

// A workflow file with 1000 module sections of 10 keys each.
std::string WorkflowFolder() {
  static const std::string folder = [] {
    std::string pattern = (fs::temp_directory_path() / "wfdesk-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    std::ofstream out(pattern + "/big.ini", std::ios::binary);
    out << "[FILE]\r\ntype=qvworkflow\r\n[DEF]\r\nname=big\r\ntype=genWorkflow\r\n";
    for (int section = 1; section <= 1000; ++section) {
      char name[16];
      std::snprintf(name, sizeof name, "MOD%03d", section);
      out << "[" << name << "]\r\nmtype=BMD5INVOICE\r\n";
      for (int key = 1; key < 10; ++key) {
        out << "mpKey" << key << "=C:\\exports\\" << name << "\\value " << key << "\r\n";
      }
    }
    return pattern;
  }();
  return folder;
}

void BM_ReadWholeFile(benchmark::State& state) {
  const std::string path = WorkflowFolder() + "/big.ini";
  std::string bytes;
  for (auto _ : state) {
    core::platform::ReadFileBytes(path, bytes);
    benchmark::DoNotOptimize(bytes.data());
  }
}
BENCHMARK(BM_ReadWholeFile);

void BM_ReadINIValue_FirstSection(benchmark::State& state) {
  for (auto _ : state) {
    auto value = core::ReadINIValue("big.ini", "MOD001", "mpKey9", WorkflowFolder());
    benchmark::DoNotOptimize(value.data());
  }
}
BENCHMARK(BM_ReadINIValue_FirstSection);

void BM_ReadINIValue_LastSection(benchmark::State& state) {
  for (auto _ : state) {
    auto value = core::ReadINIValue("big.ini", "MOD1000", "mpKey9", WorkflowFolder());
    if (value.empty()) state.SkipWithError("value not found");
    benchmark::DoNotOptimize(value.data());
  }
}
BENCHMARK(BM_ReadINIValue_LastSection);

double CpuMilliseconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// CPU of this process while the launcher waits 2 s for `sleep 2`.
void BM_LauncherWaitCpu(benchmark::State& state) {
  double cpu = 0;
  for (auto _ : state) {
    const double before = CpuMilliseconds();
    core::RunAndWait(core::CommandLine{"/bin/sleep", {}}.Add("2"));
    cpu += CpuMilliseconds() - before;
  }
  state.counters["cpu_ms"] = cpu / static_cast<double>(state.iterations());
  state.counters["limit_ms"] = 20;
}
BENCHMARK(BM_LauncherWaitCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bench::RatioReporter reporter({
      {"BM_ReadINIValue_FirstSection", "BM_ReadWholeFile", 3.0},
      {"BM_ReadINIValue_LastSection", "BM_ReadWholeFile", 3.0},
  });
  benchmark::RunSpecifiedBenchmarks(&reporter);
  fs::remove_all(WorkflowFolder());
  return 0;
}
