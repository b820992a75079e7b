// Loading and filtering a transmission database of 1,000,000 records (about
// 100 MB) against `grep -ci TEXT` on the same file, the memory that takes,
// and one filter keystroke at 100,000 records.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "bench/ratio_reporter.hpp"
#include "core/context.hpp"
#include "textdb/records.hpp"
#include "textdb/transmission_list.hpp"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace wfdesk;

constexpr const char* kFilter = "-0004";

class QuietOperator : public core::Operator {
 public:
  void Tell(const std::string&) override {}
  bool Ask(const std::string&) override { return false; }
};

// Records as the converter and the connector leave them: 13 fields.
void Generate(const std::string& path, int records) {
  std::ofstream out(path, std::ios::binary);
  char line[256];
  for (int i = 0; i < records; ++i) {
    const int length = std::snprintf(
        line, sizeof line,
        "ID-%07d;2026-12-%02d;Invoice %07d to Alpenblick Hotel KG;ACK-%07d;EUR;%d.%02d;"
        "UBL;ebi40;portal;ok;;;%d\r\n",
        i, 1 + i % 28, i, i * 7 % 10000000, i % 5000, i % 100, i % 2);
    out.write(line, length);
  }
}

struct Files {
  Files() {
    std::string pattern = (fs::temp_directory_path() / "wfdesk-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    folder = pattern;
    Generate(big(), 1000000);
    Generate(small(), 100000);
  }
  ~Files() { fs::remove_all(folder); }
  std::string big() const { return folder + "/million.csv"; }
  std::string small() const { return folder + "/hundred-thousand.csv"; }
  std::string folder;
};

Files& TheFiles() {
  static Files files;
  return files;
}

struct Desk {
  QuietOperator person;
  core::SpawnLauncher launcher;
  core::SystemClock clock;
  core::SystemGuidSource guids;
  core::Context context{"/", {}, person, launcher, clock, guids};
};

std::size_t LoadAndFilter(const std::string& path) {
  Desk desk;
  const textdb::RecordList records = textdb::LoadTextDatabase(desk.context, path);
  return textdb::FilterRows(records, kFilter).size();
}

void BM_LoadAndFilter1M(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(LoadAndFilter(TheFiles().big()));
}
BENCHMARK(BM_LoadAndFilter1M)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_GrepCount1M(benchmark::State& state) {
  const std::string path = TheFiles().big();
  const char* argv[] = {"grep", "-ci", "-e", kFilter, path.c_str(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // Not /dev/null: grep stops at the first match when its output goes nowhere.
  const std::string count = TheFiles().folder + "/count";
  posix_spawn_file_actions_addopen(&actions, 1, count.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  for (auto _ : state) {
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "grep", &actions, nullptr, const_cast<char**>(argv), environ) != 0) {
      state.SkipWithError("cannot start grep");
      break;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
  }
  posix_spawn_file_actions_destroy(&actions);
}
BENCHMARK(BM_GrepCount1M)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// One keystroke in the filter box: the list is loaded and filtered again.
void BM_FilterKeystroke100k(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(LoadAndFilter(TheFiles().small()));
}
BENCHMARK(BM_FilterKeystroke100k)->Unit(benchmark::kMillisecond)->UseRealTime();

long StatusKilobytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const std::string big = TheFiles().big();
  // Memory first, before anything else raises the peak.
  const long before = StatusKilobytes("VmRSS:");
  const std::size_t rows = LoadAndFilter(big);
  const long peak = StatusKilobytes("VmHWM:");
  const double file_kb = static_cast<double>(fs::file_size(big)) / 1024.0;
  std::printf(
      "MEMORY load and filter of %.0f MB (%zu rows shown): peak %.0f MB = %.2f x the file "
      "(limit 3.00) %s\n",
      file_kb / 1024, rows, static_cast<double>(peak - before) / 1024,
      static_cast<double>(peak - before) / file_kb,
      static_cast<double>(peak - before) / file_kb <= 3.0 ? "ok" : "OVER");
  bench::RatioReporter reporter({
      {"BM_LoadAndFilter1M/iterations:5/real_time", "BM_GrepCount1M/iterations:5/real_time", 3.0},
  });
  benchmark::RunSpecifiedBenchmarks(&reporter);
  return 0;
}
