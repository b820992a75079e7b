// The invoice check over a month-end batch: 1000 invoices checked by
// `wfdesk-cli validate DIR` (schema and rules) against Saxon alone running
// the rules over the same folder in one start (with wfdesk-cli's Java
// options, and for comparison without), and against a loop that
// starts Java once per invoice (measured on 50, scaled to 1000); then the
// peak memory of wfdesk-cli for 100 and 1000 invoices.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/programs.hpp"
#include "bench/ratio_reporter.hpp"
#include "core/environment.hpp"
#include "core/path_facts.hpp"

namespace {

namespace fs = std::filesystem;
using namespace wfdesk;

const std::string kSaxon(core::kSystemSaxonJar);

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// `count` valid invoices made from the converter's invoice, each with a
// number of its own, in a folder of their own.
void Generate(const std::string& folder, int count) {
  const std::string invoice = ReadAll(WFDESK_INVOICE_TEMPLATE);
  const std::string number = "2026-2001";
  fs::create_directories(folder);
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "INV_%05d", i + 1);
    std::string xml = invoice;
    for (std::size_t at = xml.find(number); at != std::string::npos; at = xml.find(number, at)) {
      xml.replace(at, number.size(), name + 4);
    }
    std::ofstream(folder + "/" + name + ".xml", std::ios::binary) << xml;
  }
}

struct Files {
  Files() {
    std::string pattern = (fs::temp_directory_path() / "wfdesk-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    folder = pattern;
    Generate(folder + "/in1000", 1000);
    Generate(folder + "/in100", 100);
    fs::create_directory(folder + "/home");
  }
  ~Files() { fs::remove_all(folder); }
  std::string folder;
};

Files& TheFiles() {
  static Files files;
  return files;
}

std::vector<std::string> Validate(const std::string& folder, const std::string& rules = "") {
  std::vector<std::string> arguments = {WFDESK_CLI, "--home", TheFiles().folder + "/home",
                                        "validate", folder};
  if (!rules.empty()) arguments.insert(arguments.end(), {"--rules", rules});
  return arguments;
}

// Saxon as the rules' publishers run it; `tuned` with the Java collector
// that wfdesk-cli chooses, so that the difference is wfdesk-cli's own work.
std::vector<std::string> Saxon(const std::string& in, const std::string& out, bool tuned) {
  std::vector<std::string> arguments = {core::FindProgramOnPath("java")};
  if (tuned) arguments.push_back("-XX:+UseSerialGC");
  arguments.insert(arguments.end(), {"-cp", kSaxon, "net.sf.saxon.Transform", "-s:" + in,
                                     "-xsl:" + std::string(WFDESK_RULES), "-o:" + out});
  return arguments;
}

void RunEach(benchmark::State& state, const std::vector<std::string>& arguments) {
  for (auto _ : state) {
    if (!bench::RunOnce(arguments)) {
      state.SkipWithError(("failed: " + arguments[0]).c_str());
      break;
    }
  }
}

void BM_Validate1000(benchmark::State& state) {
  RunEach(state, Validate(TheFiles().folder + "/in1000"));
}
BENCHMARK(BM_Validate1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_SaxonAlone1000(benchmark::State& state) {
  fs::create_directories(TheFiles().folder + "/svrl");
  RunEach(state, Saxon(TheFiles().folder + "/in1000", TheFiles().folder + "/svrl", true));
}
BENCHMARK(BM_SaxonAlone1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_SaxonPlain1000(benchmark::State& state) {
  fs::create_directories(TheFiles().folder + "/svrl");
  RunEach(state, Saxon(TheFiles().folder + "/in1000", TheFiles().folder + "/svrl", false));
}
BENCHMARK(BM_SaxonPlain1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Java started for each invoice, over 50 of them; the time is reported
// scaled to 1000.
void BM_JavaPerInvoiceScaledTo1000(benchmark::State& state) {
  const std::string in = TheFiles().folder + "/in1000/";
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 1; i <= 50; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "INV_%05d.xml", i);
      if (!bench::RunOnce(Saxon(in + name, TheFiles().folder + "/one.svrl", true))) {
        state.SkipWithError("failed: java");
        return;
      }
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(took.count() * 1000 / 50);
  }
}
BENCHMARK(BM_JavaPerInvoiceScaledTo1000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

// wfdesk-cli's own memory is that of the schema check (--rules none); with
// the rules, Java's is counted too.
void ReportMemory() {
  const std::string folder = TheFiles().folder;
  for (const char* rules : {"none", ""}) {
    const long small = bench::PeakKb(Validate(folder + "/in100", rules));
    const long large = bench::PeakKb(Validate(folder + "/in1000", rules));
    const double ratio = static_cast<double>(large) / static_cast<double>(small);
    std::printf(
        "MEMORY validate %-22s 100 files: peak %6.1f MB, 1000 files: %6.1f MB = %.2f x "
        "(limit 1.20) %s\n",
        *rules ? "--rules none (schema)" : "(schema and rules)",
        static_cast<double>(small) / 1024.0, static_cast<double>(large) / 1024.0, ratio,
        small > 0 && ratio <= 1.2 ? "ok" : "OVER");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (bench::IsPeakRun(argc, argv)) return bench::PrintPeak(argc, argv);
  benchmark::Initialize(&argc, argv);
  ReportMemory();
  bench::RatioReporter reporter({
      {"BM_Validate1000/iterations:3/real_time", "BM_SaxonAlone1000/iterations:3/real_time", 1.5},
      {"BM_Validate1000/iterations:3/real_time", "BM_SaxonPlain1000/iterations:3/real_time", 0},
      {"BM_Validate1000/iterations:3/real_time",
       "BM_JavaPerInvoiceScaledTo1000/iterations:1/manual_time", 0.05},
  });
  benchmark::RunSpecifiedBenchmarks(&reporter);
  return 0;
}
