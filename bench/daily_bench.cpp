// The example installation's daily workflow end to end over a day of 1000
// invoices: accounting exports converted, checked (schema and EN 16931
// rules), transformed and uploaded to the local portal by `wfdesk-cli run
// daily.ini`, with xsltproc as shipped and with the built-in XSLT engine.
// The peer does the same work the plain way in a shell script: the
// converter once, Saxon once over the folder (the rules only: the schema
// check is wfdesk's own addition), then xsltproc and curl per invoice
// against the same portal.
//
// Each module's time comes from running the chain's modules one after
// another as one-module workflows (copies of daily.ini's sections) on a
// fresh installation: the run log stamps whole seconds only, too coarse for
// the shorter modules. Each of those runs pays one start of wfdesk-cli
// more than the chain does, a few milliseconds.
//
// Then the transmission database at scale: the connector uploads 100
// invoices against a database of 100,000 records and against an empty one.
// Looking up an invoice before its upload must not grow with the database.
//
// Every measured run starts from a fresh copy of a prepared installation
// and a portal with an empty store; a run counts only when every invoice
// was acknowledged.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bench/programs.hpp"
#include "bench/ratio_reporter.hpp"
#include "bench/turns.hpp"
#include "core/environment.hpp"
#include "core/path_facts.hpp"

namespace {

namespace fs = std::filesystem;
using namespace wfdesk;
using Clock = std::chrono::steady_clock;

constexpr int kDailyInvoices = 1000;
constexpr int kDailyFirst = 10001;  // above the example database's numbers
constexpr int kLedgerInvoices = 100;
constexpr int kLedgerFirst = 20001;
constexpr int kLedgerRecords = 100000;
constexpr const char* kUser = "demo";
constexpr const char* kPassword = "demo-secret";
constexpr const char* kOperation = "UploadInvoice_ebi40";
constexpr const char* kModuleNames[] = {"convert", "check", "transform", "upload"};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteAll(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string Number(int n) {
  return "2026-" + std::to_string(n);
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// CPU seconds of the programs this process started and waited for.
double ChildCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// What is not installed of what the runs need: the invoice check needs
// Java and Saxon-HE, every run xsltproc and curl.
std::string MissingPrograms(bool check) {
  std::string missing;
  for (const char* program : {"xsltproc", "curl", "java"}) {
    if ((check || *program != 'j') && core::FindProgramOnPath(program).empty()) {
      missing += std::string(" ") + program;
    }
  }
  if (check && !fs::is_regular_file(std::string(core::kSystemSaxonJar))) {
    missing += " " + std::string(core::kSystemSaxonJar);
  }
  return missing;
}

// A day's accounting exports in the converter's format, without a header
// line: ten files, each invoice with two lines, the buyers taken in turn.
void WriteExports(const std::string& folder, int first, int count) {
  static const char* const kBuyers[] = {
      "Alpenblick Hotel KG;ATU87654321;Seestraße 4;Zell am See;5700;AT;",
      "Bäckerei Huber;ATU55554444;Marktplatz 3;Salzburg;5020;AT;",
      "Stadtwerke Linz;ATU11112222;Wiener Straße 151;Linz;4020;AT;",
      "Apotheke am Markt;ATU66667777;Am Markt 2;Graz;8010;AT;",
      "Gasthof Post;;Dorfplatz 1;Hallstatt;4830;AT;"};
  const std::string seller = "Muster Handel GmbH;ATU12345678;Hauptstraße 12;Wien;1010;AT;";
  const int files = count >= 10 ? 10 : 1;
  for (int file = 0; file < files; ++file) {
    const std::string day = std::to_string(file + 1 < 10 ? 0 : 1) + std::to_string((file + 1) % 10);
    std::string text;
    for (int i = file; i < count; i += files) {
      const std::string head =
          Number(first + i) + ";2026-12-" + day + ";2027-01-" + day + ";" + seller + kBuyers[i % 5];
      text += head + "Coffee beans 1 kg;" + std::to_string(1 + i % 20) + ";18,50;20\r\n";
      text += head + "Cookbook;2;24,90;10\r\n";
    }
    WriteAll(folder + "/export-2026-12-" + day + ".csv", text);
  }
}

// Replaces the value of the key's line in an INI file (the first line
// with that key).
void SetValue(const std::string& path, const std::string& key, const std::string& value) {
  std::string text = ReadAll(path);
  const std::size_t at = text.find("\n" + key + "=");
  if (at == std::string::npos) return;
  const std::size_t start = at + key.size() + 2;
  text.replace(start, text.find_first_of("\r\n", start) - start, value);
  WriteAll(path, text);
}

// Adds a line after the first line that begins with `after`, with the
// same line end.
void AddLineAfter(const std::string& path, const std::string& after, const std::string& line) {
  std::string text = ReadAll(path);
  const std::size_t at = text.find("\n" + after);
  if (at == std::string::npos) return;
  const std::size_t end = text.find('\n', at + 1);
  const bool crlf = text[end - 1] == '\r';
  text.insert(end + 1, line + (crlf ? "\r\n" : "\n"));
  WriteAll(path, text);
}

// One-module workflows mod1.ini ... mod4.ini: daily.ini's own sections
// before its first module, then its n-th module as MOD001.
bool SplitDaily(const std::string& data) {
  const std::string daily = ReadAll(data + "/daily.ini");
  const std::size_t first = daily.find("[MOD001]");
  if (first == std::string::npos) return false;
  for (int n = 1; n <= 4; ++n) {
    const std::size_t start = daily.find("[MOD00" + std::to_string(n) + "]");
    if (start == std::string::npos) return false;
    const std::size_t body = daily.find('\n', start);
    const std::size_t next = daily.find("[MOD", body);
    WriteAll(data + "/mod" + std::to_string(n) + ".ini",
             daily.substr(0, first) + "[MOD001]" + daily.substr(body, next - body));
  }
  return true;
}

// The local portal with an empty store, run through core's launcher on a
// thread of its own; a shell tells the process id and then becomes the
// portal, which is ended with TERM.
class Portal {
 public:
  Portal(const std::string& folder, const std::string& store) : pid_file_(folder + "/portal.pid") {
    fs::create_directories(store);
    const std::string port_file = folder + "/portal.port";
    fs::remove(port_file);
    fs::remove(pid_file_);
    const core::CommandLine command = bench::Command(
        {"/bin/sh", "-c", "echo $$ > \"$0\"; log=$1; shift; exec \"$@\" 2> \"$log\"", pid_file_,
         folder + "/portal.log", WFDESK_PORTAL, "--store", store, "--user", kUser, "--password",
         kPassword, "--port", "0", "--port-file", port_file});
    thread_ = std::thread([this, command] {
      (void)core::RunAndWait(command);
      ended_ = true;
    });
    for (int i = 0; i < 1000 && !ended_ && (pid_ <= 0 || port_.empty()); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      ReadPid();
      const std::string port = ReadAll(port_file);
      if (port.find('\n') != std::string::npos) port_ = port.substr(0, port.find_first_of("\r\n"));
    }
  }
  ~Portal() {
    // A portal that has not told its port in time is ended all the same.
    while (!ReadPid() && !ended_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (pid_ > 0) ::kill(pid_, SIGTERM);
    thread_.join();
  }
  Portal(const Portal&) = delete;
  Portal& operator=(const Portal&) = delete;

  bool up() const { return pid_ > 0 && !port_.empty(); }
  std::string url() const { return "http://127.0.0.1:" + port_ + "/ws"; }

 private:
  // echo writes the number and its line end at once.
  bool ReadPid() {
    const std::string pid = ReadAll(pid_file_);
    if (pid_ <= 0 && pid.ends_with('\n')) pid_ = std::stoi(pid);
    return pid_ > 0;
  }

  std::string pid_file_;
  std::atomic<bool> ended_{false};
  std::thread thread_;
  int pid_ = 0;
  std::string port_;
};

// The invoices of the run that the database records as accepted with an
// acknowledgement, and how many records it holds.
struct Ledger {
  int acknowledged = 0;
  int records = 0;
};

Ledger ReadLedger(const std::string& path, int first, int count) {
  Ledger ledger;
  std::set<std::string> wanted;
  for (int i = 0; i < count; ++i) wanted.insert(Number(first + i));
  std::istringstream lines(ReadAll(path));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    ++ledger.records;
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, ';');) fields.push_back(field);
    if (fields.size() >= 10 && !fields[3].empty() && fields[9] == "accepted" &&
        wanted.erase(fields[0])) {
      ++ledger.acknowledged;
    }
  }
  return ledger;
}

int FilesIn(const std::string& folder, const std::string& extension = "") {
  int files = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    files += entry.is_regular_file() && entry.path().filename().string()[0] != '.' &&
             (extension.empty() || entry.path().extension() == extension);
  }
  return files;
}

// The invoices the portal keeps, each with its acknowledgement.
int Stored(const std::string& store) {
  return FilesIn(store, ".ack");
}

std::string LastLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  const std::size_t end = text.find_last_of("\r\n");
  return end == std::string::npos ? text : text.substr(end + 1);
}

// What one measured run took.
struct Timing {
  bool ok = false;
  double seconds = 0;
  double cpu_seconds = 0;  // of every program it started, the portal's excluded
  std::string said;
};

Timing Measure(const std::vector<std::string>& argv, const std::string& expected = "") {
  Timing timing;
  const double cpu = ChildCpuSeconds();
  const Clock::time_point start = Clock::now();
  const core::ProcessResult result = core::RunAndWait(bench::Command(argv));
  timing.seconds = Seconds(start);
  timing.ok = result.started && result.exit_status == 0;
  timing.said = LastLine(result.output.empty() ? result.errors : result.output);
  timing.cpu_seconds = ChildCpuSeconds() - cpu;
  if (!expected.empty() && timing.said != expected) timing.ok = false;
  return timing;
}

Timing RunWorkflow(const std::string& home, const std::string& workflow) {
  return Measure({WFDESK_CLI, "--home", home, "run", workflow}, "OK");
}

// The scratch folder of the whole benchmark: prepared installations (made
// as scripts/demo makes one, with exports of their own) that every run
// copies, and the peer's exports and script.
class Scratch {
 public:
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "wfdesk-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    root_ = pattern;
    ready_ = Prepare();
  }
  ~Scratch() { fs::remove_all(root_); }

  bool ready() const { return ready_; }
  const std::string& root() const { return root_; }
  const std::string& ledger_records() const { return ledger_records_; }

  // A fresh installation at root/run from the prepared one.
  std::string Installation(const std::string& prepared) const {
    const std::string home = root_ + "/run";
    fs::remove_all(home);
    fs::copy(root_ + "/" + prepared, home,
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    return home;
  }

  // What a run's setup wrote goes to the disk before the run: the connector
  // flushes the file system once per batch, and the copy is not its work.
  static void Settle() { ::sync(); }

 private:
  bool Prepare() {
    if (!MakeInstallation("daily", kDailyFirst, kDailyInvoices)) return false;
    if (!MakeInstallation("ledger", kLedgerFirst, kLedgerInvoices)) return false;
    // The ledger's invoices wait in the outbox, converted and transformed.
    const std::string ledger = root_ + "/ledger";
    if (!RunWorkflow(ledger, "mod1.ini").ok || !RunWorkflow(ledger, "mod3.ini").ok ||
        FilesIn(ledger + "/exchange/outbox") != kLedgerInvoices) {
      return false;
    }
    for (int i = 0; i < kLedgerRecords; ++i) {
      const std::string n = std::to_string(100000 + i);
      ledger_records_ += "2025-" + n + ";INV_2025-" + n + ".xml;Invoice 2025-" + n +
                         " to Stadtwerke Linz;ACK-" + n + ";EUR;2025-06-01;87.40;UBL 2.1;ebi40;" +
                         "accepted;;;0\r\n";
    }
    return PreparePeer();
  }

  bool MakeInstallation(const std::string& name, int first, int count) {
    const std::string home = root_ + "/" + name;
    if (!bench::RunOnce({WFDESK_CLI, "init", home, "--example"})) return false;
    const std::string exports = home + "/exchange/exports";
    for (const auto& entry : fs::directory_iterator(exports)) fs::remove(entry.path());
    WriteExports(exports, first, count);
    return SplitDaily(home + "/data");
  }

  // The peer's envelope is the test template without its comment, the
  // operation and sender filled in; {{FILENAME}} is left for the script.
  bool PreparePeer() {
    const std::string peer = root_ + "/peer-template";
    fs::create_directories(peer);
    fs::copy(root_ + "/daily/exchange/exports", peer + "/exports");
    std::string envelope = ReadAll(root_ + "/daily/etc/oasis/upload-test.xml");
    const std::size_t comment = envelope.find("<!--");
    if (comment != std::string::npos) {
      envelope.erase(comment, envelope.find("-->", comment) + 4 - comment);
    }
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"{{OPERATION}}", kOperation},
                                   {"{{SENDER}}", "Muster Handel GmbH"}}) {
      for (std::size_t at = envelope.find(from); at != std::string::npos;
           at = envelope.find(from, at)) {
        envelope.replace(at, from.size(), to);
      }
    }
    const std::size_t invoice = envelope.find("{{INVOICE}}");
    if (invoice == std::string::npos) return false;
    WriteAll(peer + "/head.xml", envelope.substr(0, invoice));
    WriteAll(peer + "/tail.xml", envelope.substr(invoice + 11));
    WriteAll(peer + "/daily.sh", kPeerScript);
    return true;
  }

  // The same day's work done the plain way, in the peer's folder.
  static constexpr const char* kPeerScript = R"(set -euo pipefail
converter=$1 saxon=$2 rules=$3 stylesheet=$4 url=$5
mkdir -p ubl check svrl outbox requests responses
"$converter" -f exports -ifm '*.csv' -fp ubl -fe xml -px INV_ -lf convert.log
# Saxon takes every file of a folder, the converter's hidden lock too.
ln ubl/*.xml check/
java -XX:+UseSerialGC -Djavax.xml.accessExternalDTD= -Djavax.xml.accessExternalSchema= \
  -cp "$saxon" net.sf.saxon.Transform -s:check -xsl:"$rules" -o:svrl \
  -dtd:off -expand:off -ext:off -xi:off
if grep -l 'flag="fatal"' svrl/*.xml; then exit 1; fi
head=$(<head.xml) tail=$(<tail.xml)
for invoice in ubl/*.xml; do
  name=${invoice##*/}
  xsltproc -o "outbox/$name" "$stylesheet" "$invoice"
  { printf '%s' "${head//'{{FILENAME}}'/$name}"; sed 1d "outbox/$name"; printf '%s\n' "$tail"; } \
    > "requests/$name"
  curl -sS --fail -u "$USER_PASSWORD" -H 'Content-Type: text/xml; charset=utf-8' \
    -H "SOAPAction: \"$OPERATION\"" --data-binary "@requests/$name" -o "responses/$name" "$url"
done
)";

  std::string root_;
  std::string ledger_records_;
  bool ready_ = false;
};

Scratch& TheScratch() {
  static Scratch scratch;
  return scratch;
}

// Whether the benchmark can run; says why not when it cannot.
bool Ready(benchmark::State& state, bool check = true) {
  if (const std::string missing = MissingPrograms(check); !missing.empty()) {
    state.SkipWithError(("not installed:" + missing + " (make deps)").c_str());
    return false;
  }
  if (!TheScratch().ready()) {
    state.SkipWithError("the installations could not be prepared");
    return false;
  }
  return true;
}

// A fresh installation of the daily work with the engine chosen and a
// portal of its own.
struct DailyRun {
  explicit DailyRun(bool builtin)
      : home(TheScratch().Installation("daily")),
        portal(TheScratch().root(), home + "/portal-store") {
    for (const char* workflow : {"daily.ini", "mod3.ini"}) {
      if (builtin)
        AddLineAfter(home + "/data/" + workflow, "mtype=XSLTproc", "mpXSLTengine=builtin");
    }
    for (const char* workflow : {"daily.ini", "mod4.ini"}) {
      SetValue(home + "/data/" + workflow, "mpProxy", portal.url());
    }
    Scratch::Settle();
  }

  // Every invoice acknowledged by the portal and recorded as accepted.
  bool AllAcknowledged() const {
    return ReadLedger(home + "/db/transmissions.csv", kDailyFirst, kDailyInvoices).acknowledged ==
               kDailyInvoices &&
           Stored(home + "/portal-store") == kDailyInvoices;
  }

  std::string home;
  Portal portal;
};

// Every benchmark runs one run a turn, in turns taken in random order with
// the others (see main), and is compared by its median: a change in the
// machine's load during the benchmark falls on all of them alike.
constexpr int kTurns = 5;

void InTurns(benchmark::internal::Benchmark* b) {
  bench::MeasureInTurns(b, kTurns, bench::TurnTime::kManual);
}

// The name of the median of a benchmark measured in turns.
std::string Median(const std::string& name) {
  return bench::MedianOfTurns(name, kTurns, bench::TurnTime::kManual);
}

// The CPU seconds of the run's programs, invoices per second, and
// invoices per second of one core's time.
void CountInvoices(benchmark::State& state, const Timing& timing) {
  state.counters["cpu_s"] = timing.cpu_seconds;
  state.counters["invoices_per_s"] = kDailyInvoices / timing.seconds;
  state.counters["invoices_per_cpu_s"] = kDailyInvoices / timing.cpu_seconds;
}

void BM_Daily1000(benchmark::State& state, bool builtin) {
  if (!Ready(state)) return;
  for (auto _ : state) {
    const DailyRun run(builtin);
    if (!run.portal.up()) {
      state.SkipWithError("the portal did not start");
      return;
    }
    const Timing timing = RunWorkflow(run.home, "daily.ini");
    if (!timing.ok || !run.AllAcknowledged()) {
      state.SkipWithError(("not every invoice was acknowledged: " + timing.said).c_str());
      return;
    }
    state.SetIterationTime(timing.seconds);
    CountInvoices(state, timing);
  }
}
BENCHMARK_CAPTURE(BM_Daily1000, xsltproc, false)->Apply(InTurns);
BENCHMARK_CAPTURE(BM_Daily1000, builtin, true)->Apply(InTurns);

// The chain's modules one by one, each as its own workflow; the time
// reported is their sum, each module's in a counter of its own.
void BM_Daily1000ByModule(benchmark::State& state, bool builtin) {
  if (!Ready(state)) return;
  for (auto _ : state) {
    const DailyRun run(builtin);
    if (!run.portal.up()) {
      state.SkipWithError("the portal did not start");
      return;
    }
    double total = 0;
    for (int n = 1; n <= 4; ++n) {
      const Timing timing = RunWorkflow(run.home, "mod" + std::to_string(n) + ".ini");
      if (!timing.ok) {
        state.SkipWithError(("module " + std::to_string(n) + " failed: " + timing.said).c_str());
        return;
      }
      state.counters[std::string(kModuleNames[n - 1]) + "_s"] = timing.seconds;
      total += timing.seconds;
    }
    if (!run.AllAcknowledged()) {
      state.SkipWithError("not every invoice was acknowledged");
      return;
    }
    state.SetIterationTime(total);
  }
}
BENCHMARK_CAPTURE(BM_Daily1000ByModule, xsltproc, false)->Apply(InTurns);
BENCHMARK_CAPTURE(BM_Daily1000ByModule, builtin, true)->Apply(InTurns);

void BM_Daily1000ShellPeer(benchmark::State& state) {
  if (!Ready(state)) return;
  const std::string root = TheScratch().root();
  const std::string folder = root + "/peer";
  for (auto _ : state) {
    fs::remove_all(folder);
    fs::copy(root + "/peer-template", folder, fs::copy_options::recursive);
    const Portal portal(root, folder + "/portal-store");
    if (!portal.up()) {
      state.SkipWithError("the portal did not start");
      return;
    }
    Scratch::Settle();
    const std::string script = "cd \"$0\" && USER_PASSWORD=" + std::string(kUser) + ":" +
                               kPassword + " OPERATION=" + kOperation +
                               " exec bash daily.sh \"$@\"";
    const Timing timing = Measure({"/bin/bash", "-c", script, folder, WFDESK_CONVERTER,
                                   std::string(core::kSystemSaxonJar), WFDESK_RULES,
                                   root + "/daily/etc/ubl-to-upload.xsl", portal.url()});
    if (!timing.ok || Stored(folder + "/portal-store") != kDailyInvoices) {
      state.SkipWithError(("the peer did not upload every invoice: " + timing.said).c_str());
      return;
    }
    state.SetIterationTime(timing.seconds);
    CountInvoices(state, timing);
  }
}
BENCHMARK(BM_Daily1000ShellPeer)->Apply(InTurns);

// The connector (MOD004 alone) on 100 invoices waiting in the outbox, the
// transmission database holding `records` earlier uploads.
void BM_Upload100(benchmark::State& state) {
  if (!Ready(state, false)) return;
  const int records = static_cast<int>(state.range(0));
  for (auto _ : state) {
    const std::string home = TheScratch().Installation("ledger");
    const std::string database = home + "/db/transmissions.csv";
    WriteAll(database, records ? TheScratch().ledger_records() : "");
    const Portal portal(TheScratch().root(), home + "/portal-store");
    if (!portal.up()) {
      state.SkipWithError("the portal did not start");
      return;
    }
    SetValue(home + "/data/mod4.ini", "mpProxy", portal.url());
    Scratch::Settle();
    const Timing timing = RunWorkflow(home, "mod4.ini");
    const Ledger ledger = ReadLedger(database, kLedgerFirst, kLedgerInvoices);
    if (!timing.ok || ledger.acknowledged != kLedgerInvoices ||
        ledger.records != records + kLedgerInvoices) {
      state.SkipWithError(("not every invoice was acknowledged: " + timing.said).c_str());
      return;
    }
    state.SetIterationTime(timing.seconds);
    state.counters["cpu_s"] = timing.cpu_seconds;
  }
}
BENCHMARK(BM_Upload100)->Arg(0)->Arg(kLedgerRecords)->ArgName("records")->Apply(InTurns);

// Ratios only of runs that ended well: a failed run has no time. Then the
// same ratios of the CPU time of the runs' programs, which a busy machine
// changes less than the time on the clock.
class Reporter : public bench::RatioReporter {
 public:
  Reporter(std::vector<Pair> pairs, std::vector<Pair> cpu_pairs)
      : RatioReporter(std::move(pairs)), cpu_pairs_(std::move(cpu_pairs)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    std::vector<Run> good, failed;
    for (const Run& run : runs) (run.error_occurred ? failed : good).push_back(run);
    if (!failed.empty()) benchmark::ConsoleReporter::ReportRuns(failed);
    if (good.empty()) return;
    RatioReporter::ReportRuns(good);
    for (const Run& run : good) {
      if (const auto cpu = run.counters.find("cpu_s"); cpu != run.counters.end()) {
        cpu_seconds_[run.benchmark_name()] = cpu->second.value;
      }
    }
  }

  void Finalize() override {
    RatioReporter::Finalize();
    for (const auto& pair : cpu_pairs_) {
      if (!cpu_seconds_.count(pair.measured) || !cpu_seconds_.count(pair.peer)) continue;
      std::printf("CPU   %-40s / %-28s = %6.3f\n", pair.measured.c_str(), pair.peer.c_str(),
                  cpu_seconds_[pair.measured] / cpu_seconds_[pair.peer]);
    }
  }

 private:
  std::vector<Pair> cpu_pairs_;
  std::map<std::string, double> cpu_seconds_;
};

}  // namespace

int main(int argc, char** argv) {
  bench::InitializeInRandomTurns(argc, argv);
  std::string only;
  if (const std::string missing = MissingPrograms(true); !missing.empty()) {
    std::printf(
        "SKIP daily workflow and its peer: not installed:%s (make deps installs "
        "default-jre-headless, libsaxonhe-java, xsltproc and curl)\n",
        missing.c_str());
    if (!MissingPrograms(false).empty()) return 0;
    only = "BM_Upload100";
  }
  const std::string peer = Median("BM_Daily1000ShellPeer");
  const std::string xsltproc = Median("BM_Daily1000/xsltproc");
  const std::string builtin = Median("BM_Daily1000/builtin");
  Reporter reporter(
      {
          {xsltproc, peer, 0.4},
          {builtin, peer, 0.15},
          {Median("BM_Upload100/records:100000"), Median("BM_Upload100/records:0"), 1.2},
      },
      {{xsltproc, peer, 0},
       {builtin, peer, 0},
       {Median("BM_Upload100/records:100000"), Median("BM_Upload100/records:0"), 0}});
  if (only.empty()) {
    benchmark::RunSpecifiedBenchmarks(&reporter);
  } else {
    benchmark::RunSpecifiedBenchmarks(&reporter, only);
  }
  return 0;
}
