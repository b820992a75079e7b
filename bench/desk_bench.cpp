// The window's start-up with 1000 workflow files, and a 100 MB log in the log
// view, each against reading the same files into memory; one keystroke in
// the filter of the transmission list over 1,000,000 records.
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "bench/ratio_reporter.hpp"
#include "core/platform.hpp"
#include "core/seams.hpp"
#include "core/settings.hpp"
#include "desk/main_window.hpp"

namespace {

namespace fs = std::filesystem;
using namespace wfdesk;

class QuietOperator : public core::Operator {
 public:
  void Tell(const std::string&) override {}
  bool Ask(const std::string&) override { return false; }
};

struct BenchInstallation {
  BenchInstallation() {
    std::string pattern = (fs::temp_directory_path() / "wfdesk-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    home = pattern;
    fs::create_directory(home + "/data");
    std::ofstream(home + "/settings.ini")
        << "[SETTINGS]\r\ndata_dir=data\r\nlogfile=big.log\r\ntextdb=million.csv\r\n";
    std::ofstream records(home + "/million.csv", std::ios::binary);
    char record[256];
    for (int i = 0; i < 1000000; ++i) {
      const int length = std::snprintf(
          record, sizeof record,
          "ID-%07d;2026-12-%02d;Invoice %07d to Alpenblick Hotel KG;ACK-%07d;EUR;%d.%02d;"
          "UBL;ebi40;portal;ok;;;%d\r\n",
          i, 1 + i % 28, i, i * 7 % 10000000, i % 5000, i % 100, i % 2);
      records.write(record, length);
    }
    for (int i = 0; i < 1000; ++i) {
      std::ofstream(home + "/data/wf" + std::to_string(i) + ".ini")
          << "[FILE]\r\ntype=qvworkflow\r\n[DEF]\r\nname=Workflow " << i << "\r\ntitle=Title " << i
          << "\r\ntype=genWorkflow\r\n[MOD001]\r\nmtype=XSLTproc\r\nmpFile=in\r\n";
    }
    std::ofstream log(home + "/big.log", std::ios::binary);
    std::string line;
    for (long bytes = 0; bytes < 100L * 1000 * 1000; bytes += long(line.size())) {
      line =
          "2026-12-06 09:00:00  [00112233-4455-6677-8899-AABBCCDDEEFF] MODULE MOD001 "
          "File transformed: [OK] /srv/in/invoice.xml\r\n";
      log << line;
    }
    (void)core::EnterHome(home);
  }
  ~BenchInstallation() { fs::remove_all(home); }
  std::string home;
};

BenchInstallation& Installation() {
  static BenchInstallation installation;
  return installation;
}

struct Window {
  QuietOperator person;
  core::SpawnLauncher launcher;
  core::SystemClock clock;
  core::SystemGuidSource guids;
  desk::FrmMain frm{{Installation().home, person, launcher, clock, guids}};
};

void BM_StartUpWith1000Workflows(benchmark::State& state) {
  for (auto _ : state) {
    Window window;
    window.frm.FormLoad({});
    window.frm.show();
    QApplication::processEvents();
  }
}
BENCHMARK(BM_StartUpWith1000Workflows)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Read1000WorkflowFiles(benchmark::State& state) {
  std::string bytes;
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) {
      (void)core::platform::ReadFileBytes(
          Installation().home + "/data/wf" + std::to_string(i) + ".ini", bytes);
    }
  }
}
BENCHMARK(BM_Read1000WorkflowFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LogView100MB(benchmark::State& state) {
  Window window;
  window.frm.FormLoad({});
  window.frm.show();
  for (auto _ : state) {
    window.frm.ShowLogFile("big.log");
    QApplication::processEvents();
  }
}
BENCHMARK(BM_LogView100MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_Read100MBLog(benchmark::State& state) {
  std::string bytes;
  for (auto _ : state) (void)core::platform::ReadFileBytes("big.log", bytes);
}
BENCHMARK(BM_Read100MBLog)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Typing toggles between the filter and the filter one character shorter;
// before any selection the list shows the settings' textdb file.
void Keystrokes(benchmark::State& state, const QString& filter) {
  Window window;
  window.frm.FormLoad({});
  window.frm.show();
  window.frm.findChild<QAction*>("mnu_records_show")->trigger();
  auto* box = window.frm.findChild<QLineEdit*>("text002");
  const QString typed[] = {filter.chopped(1), filter};
  std::size_t count = 0;
  for (auto _ : state) {
    box->setText(typed[count++ % 2]);
    QApplication::processEvents();
  }
}

void BM_FilterKeystrokeRare1M(benchmark::State& state) {
  Keystrokes(state, "ID-0123456");
}
BENCHMARK(BM_FilterKeystrokeRare1M)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);

void BM_FilterKeystrokeFrequent1M(benchmark::State& state) {
  Keystrokes(state, "id-0");
}
BENCHMARK(BM_FilterKeystrokeFrequent1M)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(8);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  bench::RatioReporter reporter({
      {"BM_StartUpWith1000Workflows/real_time", "BM_Read1000WorkflowFiles/real_time", 0},
      {"BM_LogView100MB/iterations:3/real_time", "BM_Read100MBLog/iterations:3/real_time", 0},
  });
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf(
      "Targets: start-up to a shown window at most 500 ms; the 100 MB log at most 1000 ms; a "
      "filter keystroke at 1M records under 100 ms.\n");
  return 0;
}
