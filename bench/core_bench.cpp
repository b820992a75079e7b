// Reading one INI value, afresh and from the cache, against reading the
// whole file, the CPU the launcher spends while an outside program runs,
// and archiving files into a full archive against plain rename(2).
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "bench/ratio_reporter.hpp"
#include "core/files.hpp"
#include "core/ini.hpp"
#include "core/ini_cache.hpp"
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
    core::ReadFileContent(path, bytes);
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

// The same read as a workflow run makes it: the file parsed once, then
// only its version read while it is unchanged.
void BM_CachedINIValue_LastSection(benchmark::State& state) {
  core::IniFileCache cache;
  const std::string path = WorkflowFolder() + "/big.ini";
  for (auto _ : state) {
    auto value = cache.Read(path, "MOD1000", "mpKey9");
    if (!value) state.SkipWithError("value not found");
    benchmark::DoNotOptimize(value->data());
  }
}
BENCHMARK(BM_CachedINIValue_LastSection);

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

constexpr int kArchived = 10000;

// An input folder and an archive that holds kArchived files already.
struct ArchiveFolders {
  ArchiveFolders() {
    std::string pattern = (fs::temp_directory_path() / "wfdesk-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    root = pattern;
    fs::create_directory(root + "/in");
    fs::create_directory(root + "/archive");
    for (int i = 0; i < kArchived; ++i) {
      std::ofstream(root + "/archive/old" + std::to_string(i) + ".xml") << i;
      std::ofstream(root + "/in/f" + std::to_string(i) + ".xml") << i;
    }
  }
  ~ArchiveFolders() { fs::remove_all(root); }
  std::string In(int i) const { return root + "/in/f" + std::to_string(i) + ".xml"; }
  std::string Archived(int i) const { return root + "/archive/f" + std::to_string(i) + ".xml"; }
  // Puts the files of the last run back into the input folder.
  void Restore() const {
    for (int i = 0; i < kArchived; ++i) std::rename(Archived(i).c_str(), In(i).c_str());
  }
  std::string root;
};

const ArchiveFolders& Archive() {
  static const ArchiveFolders folders;
  return folders;
}

void BM_MoveFileNumbered10000IntoFullArchive(benchmark::State& state) {
  const ArchiveFolders& folders = Archive();
  for (auto _ : state) {
    for (int i = 0; i < kArchived; ++i) {
      if (!core::MoveFileNumbered(folders.In(i), folders.Archived(i)).moved) {
        state.SkipWithError("move failed");
      }
    }
    state.PauseTiming();
    folders.Restore();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_MoveFileNumbered10000IntoFullArchive)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_Rename10000IntoFullArchive(benchmark::State& state) {
  const ArchiveFolders& folders = Archive();
  for (auto _ : state) {
    for (int i = 0; i < kArchived; ++i) {
      if (std::rename(folders.In(i).c_str(), folders.Archived(i).c_str()) != 0) {
        state.SkipWithError("rename failed");
      }
    }
    state.PauseTiming();
    folders.Restore();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Rename10000IntoFullArchive)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bench::RatioReporter reporter({
      {"BM_ReadINIValue_FirstSection", "BM_ReadWholeFile", 3.0},
      {"BM_ReadINIValue_LastSection", "BM_ReadWholeFile", 3.0},
      {"BM_CachedINIValue_LastSection", "BM_ReadWholeFile", 0.2},
      {"BM_MoveFileNumbered10000IntoFullArchive/iterations:3/real_time",
       "BM_Rename10000IntoFullArchive/iterations:3/real_time", 0},
  });
  benchmark::RunSpecifiedBenchmarks(&reporter);
  fs::remove_all(WorkflowFolder());
  return 0;
}
