// The connector uploading 1000 invoices to the local portal (acknowledged,
// recorded and archived), against a shell loop that starts curl for each of
// the same requests and does nothing else.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "bench/programs.hpp"
#include "bench/ratio_reporter.hpp"
#include "core/process.hpp"

namespace {

namespace fs = std::filesystem;
using namespace wfdesk;

constexpr int kCount = 1000;

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Invoice(int i) {
  const std::string number = "2026-" + std::to_string(10000 + i);
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<inv:Invoice xmlns:inv=\"urn:wfdesk:portal:invoice:1\" number=\"" +
         number +
         "\" issued=\"2026-01-07\" currency=\"EUR\"><inv:Recipient name=\"Stadtwerke Linz\"/>"
         "<inv:Totals net=\"72.83\" payable=\"87.40\"/></inv:Invoice>\n";
}

// The local portal, run through core's launcher on a thread of its own
// until the benchmark ends; a shell tells its process id, then becomes it.
class Portal {
 public:
  explicit Portal(const fs::path& home) {
    const fs::path port_file = home / "portal.port", pid_file = home / "portal.pid";
    thread_ = std::thread([=] {
      core::CommandLine command =
          bench::Command({"/bin/sh", "-c", "echo $$ > \"$0\"; exec \"$@\"", pid_file.string(),
                          WFDESK_PORTAL, "--store", (home / "store").string(), "--user", "demo",
                          "--password", "bench-secret", "--port-file", port_file.string()});
      core::RunAndWait(command);
    });
    for (int i = 0; i < 500 && (ReadFile(port_file).empty() || ReadFile(pid_file).empty()); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    port_ = std::atoi(ReadFile(port_file).c_str());
    pid_ = std::atoi(ReadFile(pid_file).c_str());
  }
  ~Portal() {
    if (pid_ > 0) ::kill(pid_, SIGTERM);
    thread_.join();
  }
  int port() const { return port_; }

 private:
  std::thread thread_;
  int port_ = 0;
  int pid_ = 0;
};

// A scratch folder with the connector's folders, its template and the
// portal; the invoices are put into the outbox for each run.
struct BenchInstallation {
  BenchInstallation() : home(MakeHome()), portal(home) {
    fs::copy_file(WFDESK_TEMPLATE, home / "template.xml");
    url = "http://127.0.0.1:" + std::to_string(portal.port()) + "/ws";
  }
  ~BenchInstallation() { fs::remove_all(home); }

  static fs::path MakeHome() {
    std::string pattern = (fs::temp_directory_path() / "wfdesk-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    for (const char* folder : {"store", "outbox", "requests", "responses", "acks", "sent", "db",
                               "loop-responses", "aside"}) {
      fs::create_directory(fs::path(pattern) / folder);
    }
    return pattern;
  }

  // A fresh start for a run: the invoices in the outbox, everything the
  // last run left elsewhere gone, the portal's store included, so that
  // the portal accepts each invoice anew. What is gone is only moved
  // aside until the end: a file system slows down the making of files
  // while it has just deleted many, which would weigh on the next run.
  void Reset(bool invoices) {
    std::vector<const char*> folders = {"store", "outbox", "responses",     "acks",
                                        "sent",  "db",     "loop-responses"};
    if (invoices) folders.push_back("requests");
    for (const char* folder : folders) {
      fs::rename(home / folder, home / "aside" / (folder + std::to_string(++moved_aside)));
      fs::create_directory(home / folder);
    }
    if (!invoices) return;
    for (int i = 0; i < kCount; ++i) {
      WriteFile(home / "outbox" / ("INV_" + std::to_string(i) + ".xml"), Invoice(i));
    }
  }

  fs::path home;
  Portal portal;
  std::string url;
  int moved_aside = 0;
};

BenchInstallation& Installation() {
  static BenchInstallation installation;
  return installation;
}

bool RunConnector(const BenchInstallation& inst) {
  const auto in = [&inst](const char* name) { return (inst.home / name).string(); };
  core::CommandLine command =
      bench::Command({WFDESK_CONNECTOR,   "-cp", inst.url,           "-cun", "demo",       "-cpw",
                      "bench-secret",     "-m",  "UploadInvoice",    "-f",   in("outbox"), "-coa",
                      in("template.xml"), "-fp", in("requests"),     "-fe",  "xml",        "-lp",
                      in("responses"),    "-kp", in("acks"),         "-kx",  "ACK_",       "-ap",
                      in("sent"),         "-lf", in("connector.log")});
  command.environment = {{"WFDESK_TRANSMISSION_DB", in("db/transmissions.csv")}};
  const core::ProcessResult result = core::RunAndWait(command);
  return result.started && result.exit_status == 0;
}

void BM_Connector1000Invoices(benchmark::State& state) {
  auto& inst = Installation();
  for (auto _ : state) {
    state.PauseTiming();
    inst.Reset(true);
    state.ResumeTiming();
    if (!RunConnector(inst)) state.SkipWithError("the connector did not send every invoice");
  }
  state.counters["sent"] = static_cast<double>(
      std::distance(fs::directory_iterator(inst.home / "sent"), fs::directory_iterator()));
}
BENCHMARK(BM_Connector1000Invoices)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The peer: curl started for each of the requests the connector sent, with
// the same headers, to the same portal, its answer kept in a file.
void BM_ShellLoopCurl1000Invoices(benchmark::State& state) {
  auto& inst = Installation();
  const std::string script = "cd '" + inst.home.string() +
                             "' && for f in requests/*.xml; do curl -s -u demo:bench-secret "
                             "-H 'Content-Type: text/xml; charset=utf-8' "
                             "-H 'SOAPAction: \"UploadInvoice\"' --data-binary @\"$f\" "
                             "-o \"loop-responses/${f#requests/}\" '" +
                             inst.url + "' || exit 1; done";
  if (fs::is_empty(inst.home / "requests")) {
    inst.Reset(true);
    if (!RunConnector(inst)) state.SkipWithError("the connector did not send every invoice");
  }
  for (auto _ : state) {
    state.PauseTiming();
    inst.Reset(false);
    state.ResumeTiming();
    if (!bench::RunOnce({"/bin/bash", "-c", script})) state.SkipWithError("a curl failed");
  }
  state.counters["answers"] = static_cast<double>(std::distance(
      fs::directory_iterator(inst.home / "loop-responses"), fs::directory_iterator()));
}
BENCHMARK(BM_ShellLoopCurl1000Invoices)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bench::RatioReporter reporter({
      {"BM_Connector1000Invoices/iterations:3/real_time",
       "BM_ShellLoopCurl1000Invoices/iterations:2/real_time", 0.2},
  });
  benchmark::RunSpecifiedBenchmarks(&reporter);
  return 0;
}
