// The connector's batches: many invoices through one curl over one
// connection, each answer judged on its own as it comes, and whatever a
// refusal, a dropped connection, a silent curl or a kill leaves undone kept
// for the next run, which sends each invoice once.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include "core/ascii.hpp"
#include "core/files.hpp"
#include "core/process.hpp"
#include "tests/support/run_program.hpp"
#include "tests/support/sandbox.hpp"
#include "tests/support/wait_for.hpp"
#include "tests/tools/connector_testing.hpp"
#include "textdb/records.hpp"
#include "textdb/transmission_record.hpp"

namespace wfdesk {
namespace {

using testing::Envelope;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::ProgramOutput;
using testing::Sandbox;
using testing::With;

// As many as the connector sends through one curl.
constexpr int kBatchSize = 100;

std::string Number(int i) {
  char number[16];
  std::snprintf(number, sizeof number, "2026-%04d", i);
  return number;
}

std::string InvoiceName(int i) {
  return "INV_" + Number(i) + ".xml";
}

std::string Invoice(int i) {
  return "<?xml version=\"1.0\"?>\n<inv:Invoice xmlns:inv=\"urn:wfdesk:portal:invoice:1\" "
         "number=\"" +
         Number(i) +
         "\" issued=\"2026-01-07\" currency=\"EUR\"><inv:Recipient name=\"Stadtwerke Linz\"/>"
         "<inv:Totals net=\"10.00\" payable=\"12.00\"/></inv:Invoice>\n";
}

// A portal on 127.0.0.1 on bare sockets, to do what no HTTP library lets a
// server do: drop a connection with a request unanswered. It keeps each
// connection open for further requests and serves one at a time, as curl
// sends them; it acknowledges every upload under the invoice's number but
// refuses the numbers it is given, and once it has answered `answered`
// uploads it drops the connection at every further one.
class ScriptedPortal {
 public:
  explicit ScriptedPortal(int answered, std::set<std::string> refused = {})
      : answered_(answered), refused_(std::move(refused)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
    ::listen(listener_, 8);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~ScriptedPortal() {
    stopping_ = true;
    thread_.join();
    ::close(listener_);
  }
  int port() const { return port_; }
  int connections() const { return connections_; }
  int requests() const { return requests_; }

 private:
  // Whether the descriptor has something to read within a short while.
  bool Readable(int fd) const {
    pollfd wanted{fd, POLLIN, 0};
    return ::poll(&wanted, 1, 20) > 0;
  }

  void Serve() {
    while (!stopping_) {
      if (!Readable(listener_)) continue;
      const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      ++connections_;
      std::string unread, body;
      while (ReadRequest(fd, unread, body) && Answer(fd, body)) {
      }
      ::close(fd);
    }
  }

  // The next request's body; false when the client closed the connection.
  bool ReadRequest(int fd, std::string& unread, std::string& body) {
    std::size_t head_end;
    while ((head_end = unread.find("\r\n\r\n")) == std::string::npos) {
      if (!Receive(fd, unread)) return false;
    }
    const std::string head = core::LowerAscii(unread.substr(0, head_end));
    const std::size_t length_at = head.find("content-length:");
    const std::size_t length =
        length_at == std::string::npos ? 0 : std::stoul(head.substr(length_at + 15));
    if (head.find("expect: 100-continue") != std::string::npos)
      Send(fd, "HTTP/1.1 100 Continue\r\n\r\n");
    while (unread.size() < head_end + 4 + length) {
      if (!Receive(fd, unread)) return false;
    }
    body = unread.substr(head_end + 4, length);
    unread.erase(0, head_end + 4 + length);
    return true;
  }

  bool Receive(int fd, std::string& unread) {
    while (!stopping_ && !Readable(fd)) {
    }
    char buffer[4096];
    const ssize_t n = stopping_ ? 0 : ::read(fd, buffer, sizeof buffer);
    if (n > 0) unread.append(buffer, static_cast<std::size_t>(n));
    return n > 0;
  }

  static void Send(int fd, const std::string& text) {
    (void)!::write(fd, text.data(), text.size());
  }

  // Answers the upload; false when it drops the connection instead.
  bool Answer(int fd, const std::string& body) {
    if (++requests_ > answered_) return false;
    const std::size_t at = body.find("number=\"") + 8;
    const std::string number = body.substr(at, body.find('"', at) - at);
    const bool refused = refused_.contains(number);
    const std::string answer =
        refused ? Envelope("<s:Fault><faultstring>no such buyer</faultstring></s:Fault>")
                : Envelope("<ws:InvoiceNumber>" + number +
                           "</ws:InvoiceNumber><ws:AcknowledgementId>ACK-" + number +
                           "</ws:AcknowledgementId>");
    Send(fd, std::string(refused ? "HTTP/1.1 500 Internal Server Error" : "HTTP/1.1 200 OK") +
                 "\r\nContent-Type: text/xml\r\nContent-Length: " + std::to_string(answer.size()) +
                 "\r\n\r\n" + answer);
    return true;
  }

  const int answered_;
  const std::set<std::string> refused_;
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0}, requests_{0};
};

// The connector's folders with `count` invoices, run through one curl or
// another against a portal without credentials in its address.
struct BatchBox : testing::ConnectorBox {
  explicit BatchBox(int count) {
    for (int i = 1; i <= count; ++i) Write("outbox/" + InvoiceName(i), Invoice(i));
  }

  std::vector<std::string> Arguments(int port, const std::string& curl = "curl") const {
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/ws";
    return With(With(With(ConnectorBox::Arguments(port), "-cp", url), "-tto", "10"), "-exp", curl);
  }

  ProgramOutput Run(int port, const std::string& curl = "curl") const {
    return testing::RunProgram(Arguments(port, curl), Environment());
  }

  // A shell script of the box to run as curl.
  std::string Curl(const std::string& name, const std::string& body) const {
    const std::string path = Write(name, "#!/bin/sh\n" + body);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
  }

  // The states each invoice number's records give, in their order.
  std::map<std::string, std::vector<std::string>> Records() const {
    std::map<std::string, std::vector<std::string>> states;
    for (const std::string& line : testing::Lines(Read("db/transmissions.csv"))) {
      states[textdb::GetRecordField(line, textdb::kInvoiceNumberField)].push_back(
          textdb::GetRecordField(line, textdb::kStateField));
    }
    return states;
  }
};

std::set<std::string> InvoiceNames(int from, int to) {
  std::set<std::string> names;
  for (int i = from; i <= to; ++i) names.insert(InvoiceName(i));
  return names;
}

// Numbers `from` to `to`, each with one record in `state`.
std::map<std::string, std::vector<std::string>> Recorded(int from, int to, std::string_view state) {
  std::map<std::string, std::vector<std::string>> records;
  for (int i = from; i <= to; ++i) records[Number(i)] = {std::string(state)};
  return records;
}

TEST(BatchUpload, ARefusedInvoiceInABatchStaysAndTheOthersGoOnOverTheSameConnection) {
  BatchBox box(5);
  ScriptedPortal portal(1000, {Number(3)});
  const ProgramOutput run = box.Run(portal.port());
  const std::string log = box.Read("connector.log");
  EXPECT_EQ(run.status, core::kExitKeptForNextRun) << log;
  EXPECT_EQ(box.Files("outbox"), InvoiceNames(3, 3));
  std::set<std::string> sent = InvoiceNames(1, 5);
  sent.erase(InvoiceName(3));
  EXPECT_EQ(box.Files("sent"), sent);
  EXPECT_EQ(box.Files("acks").size(), 4u);
  auto records = Recorded(1, 5, textdb::kStateAccepted);
  records[Number(3)] = {std::string(textdb::kStateRefused)};
  EXPECT_EQ(box.Records(), records);
  EXPECT_THAT(log, HasSubstr("REFUSED " + box.Path("outbox/" + InvoiceName(3)) +
                             ": HTTP 500, no such buyer; kept for the next run"));
  EXPECT_THAT(log, HasSubstr("uploaded 4 invoice(s); 1 kept for the next run"));
  EXPECT_EQ(portal.requests(), 5);
  EXPECT_EQ(portal.connections(), 1);
}

TEST(BatchUpload, AnInvoiceNumberTwiceInOneRunIsSentOnceAndChangedOnesWait) {
  BatchBox box(2);
  // A copy of invoice 1 under another name, and invoice 2 changed.
  box.Write("outbox/INV_2026-0001_again.xml", Invoice(1));
  std::string changed = Invoice(2);
  changed.replace(changed.find("12.00"), 5, "99.00");
  box.Write("outbox/INV_2026-0002_changed.xml", changed);
  // This portal never refuses a number it has seen: only the connector's
  // records keep the copy from being sent.
  ScriptedPortal portal(1000);
  EXPECT_EQ(box.Run(portal.port()).status, core::kExitKeptForNextRun);
  EXPECT_EQ(portal.requests(), 2);
  EXPECT_EQ(box.Files("outbox"), std::set<std::string>{"INV_2026-0002_changed.xml"});
  EXPECT_EQ(box.Records(), Recorded(1, 2, textdb::kStateAccepted));
  EXPECT_THAT(box.Read("connector.log"), HasSubstr("now it reads 99.00 EUR"));
}

TEST(BatchUpload, APortalThatDropsTheConnectionMidBatchEndsTheRunWithTheRestKept) {
  BatchBox box(6);
  ScriptedPortal portal(3);
  const ProgramOutput run = box.Run(portal.port());
  const std::string log = box.Read("connector.log");
  EXPECT_EQ(run.status, core::kExitKeptForNextRun) << log;
  EXPECT_EQ(box.Files("sent"), InvoiceNames(1, 3));
  EXPECT_EQ(box.Files("outbox"), InvoiceNames(4, 6));
  EXPECT_EQ(box.Files("acks").size(), 3u);
  EXPECT_EQ(box.Records(), Recorded(1, 3, textdb::kStateAccepted));
  EXPECT_TRUE(box.Files("requests").size() == 3u && box.Files("responses").size() == 3u);
  // curl tries a dropped request once more, on a new connection.
  EXPECT_THAT(log, HasSubstr("FAILED " + box.Path("outbox/" + InvoiceName(4)) +
                             ": the upload to http://127.0.0.1:" + std::to_string(portal.port()) +
                             "/ws failed (curl: (52)"));
  EXPECT_THAT(log, HasSubstr("2 more invoice(s) kept for the next run without trying"));
  EXPECT_THAT(log, HasSubstr("uploaded 3 invoice(s); 3 kept for the next run"));
  EXPECT_LE(portal.requests(), 5);
}

TEST(BatchUpload, MoreInvoicesThanABatchGoThroughOneCurlAndOneConnectionPerBatch) {
  const int count = 2 * kBatchSize + 50;
  BatchBox box(count);
  // curl through a script that counts its starts.
  const std::string curl = box.Curl(
      "curl-counting", "[ \"$1\" = --config ] && echo >> \"$0.starts\"\nexec curl \"$@\"\n");
  ScriptedPortal portal(count);
  const ProgramOutput run = box.Run(portal.port(), curl);
  EXPECT_EQ(run.status, 0) << box.Read("connector.log");
  EXPECT_EQ(box.Files("sent"), InvoiceNames(1, count));
  EXPECT_TRUE(box.Files("outbox").empty());
  EXPECT_EQ(box.Records(), Recorded(1, count, textdb::kStateAccepted));
  EXPECT_EQ(box.Read("curl-counting.starts"), "\n\n\n");
  EXPECT_EQ(portal.connections(), 3);
  EXPECT_EQ(portal.requests(), count);
}

TEST(BatchUpload, ACurlBefore775SendsEachInvoiceThroughACurlOfItsOwn) {
  struct Case {
    const char* name;
    std::optional<std::set<std::string>> refused;  // nullopt: no portal
    int status;
    std::size_t sent;
    std::string starts;
    std::string logged;
  };
  const std::vector<Case> cases = {
      {"all accepted", std::set<std::string>{}, 0, 3, "\n\n\n", "uploaded 3 invoice(s); 0 kept"},
      {"one refused", std::set<std::string>{Number(2)}, core::kExitKeptForNextRun, 2, "\n\n\n",
       "INV_2026-0002.xml: HTTP 500, no such buyer; kept for the next run"},
      {"portal down", std::nullopt, core::kExitKeptForNextRun, 0, "\n",
       "failed (curl: (7) Failed to connect to 127.0.0.1 port 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BatchBox box(3);
    // It cannot report the exit status of each of many uploads.
    const std::string curl =
        box.Curl("curl-7.74",
                 "if [ \"$1\" = --version ]; then echo 'curl 7.74.0 (x86_64)'; exit; fi\n"
                 "echo >> \"$0.starts\"\nexec curl \"$@\"\n");
    std::optional<ScriptedPortal> portal;
    if (c.refused) portal.emplace(1000, *c.refused);
    const ProgramOutput run = box.Run(portal ? portal->port() : 1, curl);
    EXPECT_EQ(run.status, c.status) << box.Read("connector.log");
    EXPECT_EQ(box.Files("sent").size(), c.sent);
    EXPECT_EQ(box.Read("curl-7.74.starts"), c.starts);
    EXPECT_THAT(box.Read("connector.log"), HasSubstr(c.logged));
  }
}

TEST(BatchUpload, ACurlThatKeepsSilentIsStoppedAndEveryInvoiceKept) {
  BatchBox box(2);
  const std::string curl = box.Curl("curl-silent", "cat >/dev/null\nexec sleep 60\n");
  const auto argv = With(box.Arguments(1, curl), "-tto", "1");
  const auto started = std::chrono::steady_clock::now();
  const ProgramOutput run = testing::RunProgram(argv, box.Environment());
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
  const std::string log = box.Read("connector.log");
  EXPECT_EQ(run.status, core::kExitKeptForNextRun) << log;
  EXPECT_EQ(box.Files("outbox"), InvoiceNames(1, 2));
  EXPECT_THAT(log, HasSubstr("failed (curl reported no upload for 6 s and was stopped)"));
  EXPECT_THAT(log, HasSubstr("1 more invoice(s) kept for the next run without trying"));
  EXPECT_TRUE(box.Files("requests").empty());
}

TEST(BatchUpload, ABatchLongerThanOneUploadsTimeOutGoesOnWhileUploadsKeepEnding) {
  // Each upload ends within its 2 s; the eight of them take longer than
  // curl may keep silent (2 s and 5 s of grace) without reporting one.
  BatchBox box(8);
  const testing::LocalPortal slow(box.Path("store"), "cpw-secret", 1000);
  const auto argv = With(box.Arguments(slow.port()), "-tto", "2");
  const ProgramOutput run = testing::RunProgram(argv, box.Environment());
  EXPECT_EQ(run.status, 0) << box.Read("connector.log");
  EXPECT_EQ(box.Files("sent"), InvoiceNames(1, 8));
}

std::size_t Stored(const Sandbox& box) {
  return std::ranges::count_if(core::FolderFileNames(box.Path("store")),
                               [](const std::string& name) { return name.ends_with(".ack"); });
}

TEST(BatchUpload, AConnectorKilledBetweenUploadsLeavesTheNextRunToSendEachInvoiceOnce) {
  const int count = kBatchSize + 50;
  BatchBox box(count);
  {
    const testing::LocalPortal slow(box.Path("store"), "cpw-secret", 20);
    testing::BackgroundProgram connector(box.Arguments(slow.port()), box.Environment());
    ASSERT_GT(connector.pid(), 0);
    // Past the first batch, which is recorded and put away, into the second.
    ASSERT_TRUE(
        testing::WaitFor([&] { return Stored(box) >= kBatchSize + 20; }, std::chrono::seconds(60)));
    const std::vector<pid_t> curl = testing::ChildrenOf(connector.pid());
    ::kill(connector.pid(), SIGKILL);
    EXPECT_EQ(connector.Wait(), 128 + SIGKILL);
    ASSERT_EQ(curl.size(), 1u);
    EXPECT_TRUE(testing::WaitFor([&] { return !testing::Running(curl[0]); }));
  }
  const std::size_t left = box.Files("outbox").size();
  EXPECT_GT(left, 0u);
  EXPECT_LE(left, static_cast<std::size_t>(count - kBatchSize));
  const testing::LocalPortal portal(box.Path("store"), "cpw-secret");
  const ProgramOutput run = box.Run(portal.port());
  EXPECT_EQ(run.status, 0) << box.Read("connector.log");
  EXPECT_TRUE(box.Files("outbox").empty());
  EXPECT_EQ(box.Files("sent"), InvoiceNames(1, count));
  EXPECT_EQ(Stored(box), static_cast<std::size_t>(count));
  EXPECT_EQ(box.Records(), Recorded(1, count, textdb::kStateAccepted));
  // Each record names the acknowledgement the portal gave its one upload.
  const std::string records = box.Read("db/transmissions.csv");
  for (int i = 1; i <= count; ++i) {
    std::string ack = box.Read("store/" + Number(i) + ".ack");
    ack = std::string(core::StripLineEnd(ack));
    EXPECT_THAT(records, HasSubstr(";" + ack + ";")) << Number(i);
  }
  EXPECT_THAT(box.Read("connector.log"), Not(HasSubstr("FAILED")));
}

}  // namespace
}  // namespace wfdesk
