#include "tools/portalsend/upload.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string_view>
#include <utility>

#include "core/ascii.hpp"

extern char** environ;

namespace wfdesk::tools {

namespace {

// How long curl may go without reporting an upload beyond the total
// time-out of one before it is killed.
constexpr int kGraceSeconds = 5;

// A value in curl's config syntax: in double quotes, with backslash,
// double quote and the control characters curl knows escaped, so that no
// value (a file name with a line break, say) can start a line of its own.
std::string Quoted(const std::string& value) {
  std::string quoted = "\"";
  for (char c : value) {
    switch (c) {
      case '\\':
        quoted += "\\\\";
        break;
      case '"':
        quoted += "\\\"";
        break;
      case '\n':
        quoted += "\\n";
        break;
      case '\r':
        quoted += "\\r";
        break;
      case '\t':
        quoted += "\\t";
        break;
      case '\v':
        quoted += "\\v";
        break;
      default:
        quoted += c;
    }
  }
  return quoted + "\"";
}

// One upload's block of the config. curl reports the upload in a line of
// its own, "INDEX HTTP-STATUS EXIT-STATUS MESSAGE" on its standard error,
// which it writes at once; a curl that cannot tell the exit status and the
// message writes "INDEX HTTP-STATUS" on its standard output. No globbing,
// so that braces or brackets in the address never make one block two
// uploads.
std::string Block(const Upload& upload, const Transfer& transfer, std::size_t index,
                  bool reports_each) {
  const std::string report =
      reports_each ? "%{stderr}" + std::to_string(index) + " %{http_code} %{exitcode} %{errormsg}"
                   : std::to_string(index) + " %{http_code}";
  return "url = " + Quoted(upload.url) + "\ngloboff\n" +
         "user = " + Quoted(upload.user + ":" + upload.password) + "\n" +
         "data-binary = " + Quoted("@" + transfer.request_file) + "\n" +
         "header = " + Quoted("Content-Type: text/xml; charset=utf-8") + "\n" +
         "header = " + Quoted("SOAPAction: \"" + upload.soap_action + "\"") + "\n" +
         "output = " + Quoted(transfer.response_file) + "\n" + "write-out = \"" + report +
         "\\n\"\n" + "connect-timeout = " + std::to_string(upload.connect_seconds) + "\n" +
         "max-time = " + std::to_string(upload.total_seconds) + "\n";
}

std::string Config(const Upload& upload, const std::vector<Transfer>& transfers,
                   bool reports_each) {
  // curl ends at the first upload that fails, so that none is made after
  // the portal has dropped the connection.
  std::string config = "silent\nshow-error\nfail-early\n";
  for (std::size_t i = 0; i < transfers.size(); ++i) {
    if (i > 0) config += "next\n";
    config += Block(upload, transfers[i], i, reports_each);
  }
  return config;
}

// curl's exit statuses for a proxy or host that cannot be found, a
// connection that cannot be made, a time-out, and a connection the portal
// dropped (no answer at all, or one broken off while sending or receiving).
bool Unreachable(int curl_status) {
  switch (curl_status) {
    case 5:
    case 6:
    case 7:
    case 28:
    case 52:
    case 55:
    case 56:
      return true;
    default:
      return false;
  }
}

// The upload's exit status and what curl said of a failure.
void Complete(UploadResult& result, int status, const std::string& message) {
  result.status = status;
  result.unreachable = Unreachable(status);
  if (status != 0) result.error = "curl: (" + std::to_string(status) + ") " + message;
}

// A number of one to `digits` digits at the start of `text`, taken off it
// with the blank after it; false when there is none.
bool TakeNumber(std::string_view& text, std::size_t digits, int& number) {
  std::size_t length = 0;
  while (length < text.size() && text[length] >= '0' && text[length] <= '9') ++length;
  if (length == 0 || length > digits) return false;
  number = std::stoi(std::string(text.substr(0, length)));
  text.remove_prefix(std::min(length + 1, text.size()));
  return true;
}

// One upload as curl reported it.
struct UploadReport {
  std::size_t index = 0;
  UploadResult result;
};

// A report line, or false for a line that is none. Without
// `with_status`, the report has no exit status yet.
bool ReadReport(std::string_view line, bool with_status, UploadReport& report) {
  int index = 0, http_status = 0, status = 0;
  if (!TakeNumber(line, 9, index) || !TakeNumber(line, 3, http_status) ||
      (with_status && !TakeNumber(line, 4, status))) {
    return false;
  }
  report.index = static_cast<std::size_t>(index);
  report.result.ran = true;
  report.result.http_status = http_status;
  if (with_status) Complete(report.result, status, std::string(line));
  return true;
}

int WaitForEnd(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

struct Pipes {
  int config[2] = {-1, -1};
  int out[2] = {-1, -1};
  bool Open() { return ::pipe2(config, O_CLOEXEC) == 0 && ::pipe2(out, O_CLOEXEC) == 0; }
  void CloseAll() {
    for (int fd : {config[0], config[1], out[0], out[1]}) {
      if (fd >= 0) ::close(fd);
    }
  }
};

using Arguments = std::array<const char*, 4>;

#ifdef __linux__
// Runs in the child between fork and exec: only async-signal-safe calls.
// curl is killed when this process ends, however it ends (kill -9
// included), so that no upload goes on after the run said it stopped.
[[noreturn]] void BecomeCurl(const Arguments& argv, const Pipes& pipes, pid_t parent,
                             int report_fd) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(127);  // we ended before prctl took hold
  ::signal(SIGPIPE, SIG_DFL);
  ::dup2(pipes.config[0], 0);
  ::dup2(pipes.out[1], 1);
  ::dup2(pipes.out[1], 2);
  ::execvp(argv[0], const_cast<char**>(argv.data()));
  const int error = errno;
  (void)!::write(report_fd, &error, sizeof error);
  ::_exit(127);
}

// Starts curl reading the one pipe and writing everything it says, its
// reports and its complaints, to the other. curl stays in our process
// group, so that whoever ends the group ends curl too.
bool StartCurl(const Arguments& argv, const Pipes& pipes, pid_t& pid) {
  int report[2];  // tells why exec failed; closed by a successful exec
  if (::pipe2(report, O_CLOEXEC) != 0) return false;
  const pid_t parent = ::getpid();
  pid = ::fork();
  if (pid == 0) BecomeCurl(argv, pipes, parent, report[1]);
  ::close(report[1]);
  int error = 0;
  const bool failed = pid < 0 || ::read(report[0], &error, sizeof error) > 0;
  ::close(report[0]);
  if (failed && pid > 0) WaitForEnd(pid);
  return !failed;
}
#else
bool StartCurl(const Arguments& argv, const Pipes& pipes, pid_t& pid) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipes.config[0], 0);
  posix_spawn_file_actions_adddup2(&actions, pipes.out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipes.out[1], 2);
  const int spawned =
      ::posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char**>(argv.data()), environ);
  posix_spawn_file_actions_destroy(&actions);
  return spawned == 0;
}
#endif

using Clock = std::chrono::steady_clock;

// A running curl: the pipes to it and its process.
class RunningCurl {
 public:
  RunningCurl(const std::string& curl, const char* option, const char* value) {
    const Arguments argv = {curl.c_str(), option, value, nullptr};
    if (!pipes_.Open()) return;
    started_ = StartCurl(argv, pipes_, pid_);
    ::close(std::exchange(pipes_.config[0], -1));
    ::close(std::exchange(pipes_.out[1], -1));
  }
  ~RunningCurl() { pipes_.CloseAll(); }
  RunningCurl(const RunningCurl&) = delete;
  RunningCurl& operator=(const RunningCurl&) = delete;

  bool started() const { return started_; }
  pid_t pid() const { return pid_; }
  int TakeConfigEnd() { return std::exchange(pipes_.config[1], -1); }
  int out() const { return pipes_.out[0]; }

 private:
  Pipes pipes_;
  pid_t pid_ = 0;
  bool started_ = false;
};

// The conversation with a running curl: its config handed over, its
// reports passed on as they come, and curl killed when it keeps silent too
// long or the caller stops the batch.
class Conversation {
 public:
  Conversation(const Upload& upload, std::size_t count, bool reports_each, const UploadEnded& ended)
      : ended_(ended),
        patience_(upload.total_seconds + kGraceSeconds),
        reports_each_(reports_each),
        reported_(count, false) {}

  // Talks with curl until it ends or is killed; returns its exit status.
  int Run(const std::string& config, RunningCurl& curl);

  bool stopped() const { return stopped_; }
  bool silent() const { return silent_; }
  bool all_reported() const { return reports_ == reported_.size(); }
  bool last_failed() const { return last_failed_; }
  int patience() const { return patience_; }
  const std::string& complaint() const { return complaint_; }

 private:
  bool Wait(pollfd* fds, nfds_t count);
  bool Read(int out_fd);
  void Take(std::string_view line);
  void Pass(const UploadReport& report);

  const UploadEnded& ended_;
  int patience_;  // seconds curl may take for one report
  bool reports_each_;
  Clock::time_point deadline_;
  std::string unread_;
  std::string complaint_;  // the last line that was no report
  std::vector<bool> reported_;
  std::optional<UploadReport> unfinished_;  // waiting for curl's exit status
  std::size_t reports_ = 0;
  bool stopped_ = false;  // by the caller
  bool silent_ = false;   // curl reported nothing in time
  bool last_failed_ = false;
};

int Conversation::Run(const std::string& config, RunningCurl& curl) {
  // curl may end before reading its config; a broken pipe must not end us.
  ::signal(SIGPIPE, SIG_IGN);
  int config_fd = curl.TakeConfigEnd();
  ::fcntl(config_fd, F_SETFL, O_NONBLOCK);
  deadline_ = Clock::now() + std::chrono::seconds(patience_);
  std::size_t written = 0;
  // curl reads its whole config before its first upload: the config's end
  // lets it begin.
  const auto close_config = [&config_fd] {
    if (config_fd >= 0) ::close(std::exchange(config_fd, -1));
  };
  while (!stopped_) {
    pollfd fds[2] = {{curl.out(), POLLIN, 0}, {config_fd, POLLOUT, 0}};
    if (!Wait(fds, config_fd >= 0 ? 2 : 1)) break;
    if (config_fd >= 0 && fds[1].revents != 0) {
      const ssize_t n = ::write(config_fd, config.data() + written, config.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      if (written == config.size() || (n < 0 && errno != EAGAIN && errno != EINTR)) close_config();
    }
    if (fds[0].revents != 0 && !Read(curl.out())) break;
  }
  close_config();
  if (stopped_ || silent_) ::kill(curl.pid(), SIGKILL);
  const int status = WaitForEnd(curl.pid());
  if (unfinished_ && !stopped_ && !silent_) {
    Complete(unfinished_->result, status, "");
    if (status != 0 && !complaint_.empty()) unfinished_->result.error = complaint_;
    Pass(*unfinished_);
  }
  return status;
}

// Waits for curl's next step; false when it kept silent past the deadline.
bool Conversation::Wait(pollfd* fds, nfds_t count) {
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
    const int ready = left > 0 ? ::poll(fds, count, static_cast<int>(left)) : 0;
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR) {
      silent_ = true;
      return false;
    }
  }
}

// Reads what curl wrote and takes its reports; false at its end.
bool Conversation::Read(int out_fd) {
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(out_fd, buffer, sizeof buffer)) < 0 && errno == EINTR) {
  }
  if (n <= 0) return false;
  unread_.append(buffer, static_cast<std::size_t>(n));
  std::size_t end;
  while (!stopped_ && (end = unread_.find('\n')) != std::string::npos) {
    const std::string line = unread_.substr(0, end);
    unread_.erase(0, end + 1);
    Take(line);
  }
  return true;
}

// A report is passed on once for each upload; any other line is kept as
// what curl complains of.
void Conversation::Take(std::string_view line) {
  UploadReport report;
  if (!ReadReport(line, reports_each_, report)) {
    if (!core::StripLineEnd(line).empty()) complaint_ = std::string(core::StripLineEnd(line));
    return;
  }
  if (report.index >= reported_.size() || reported_[report.index]) return;
  if (reports_each_) return Pass(report);
  unfinished_ = report;
}

void Conversation::Pass(const UploadReport& report) {
  reported_[report.index] = true;
  ++reports_;
  last_failed_ = !report.result.ran || report.result.status != 0;
  deadline_ = Clock::now() + std::chrono::seconds(patience_);
  if (!ended_(report.index, report.result)) stopped_ = true;
}

// Why curl left uploads without a report, once it has ended.
BatchEnd Ending(const Conversation& conversation, int status) {
  BatchEnd end;
  if (conversation.stopped() || conversation.all_reported() || conversation.last_failed()) {
    return end;
  }
  if (conversation.silent()) {
    end.error = "curl reported no upload for " + std::to_string(conversation.patience()) +
                " s and was stopped";
    end.unreachable = true;
    return end;
  }
  end.error = conversation.complaint();
  if (end.error.empty()) end.error = "curl exit " + std::to_string(status);
  return end;
}

// Makes the uploads through one curl.
BatchEnd PostBatch(const Upload& upload, const std::vector<Transfer>& transfers, bool reports_each,
                   const UploadEnded& ended) {
  RunningCurl curl(upload.curl, "--config", "-");
  if (!curl.started()) return {"cannot start " + upload.curl, false};
  Conversation conversation(upload, transfers.size(), reports_each, ended);
  const int status = conversation.Run(Config(upload, transfers, reports_each), curl);
  return Ending(conversation, status);
}

// Whether the curl reports each upload of a batch on its own, with its
// exit status and message, on its standard error (7.75 and later); asked
// of `curl --version`.
bool ReportsEachUpload(const Upload& upload) {
  RunningCurl curl(upload.curl, "--version", nullptr);
  if (!curl.started()) return false;
  ::close(curl.TakeConfigEnd());
  std::string said;
  char buffer[4096];
  pollfd wanted{curl.out(), POLLIN, 0};
  const auto deadline = Clock::now() + std::chrono::seconds(kGraceSeconds);
  for (ssize_t n = 1; n > 0 && Clock::now() < deadline;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (::poll(&wanted, 1, static_cast<int>(std::max<long long>(left, 1))) <= 0) continue;
    if ((n = ::read(curl.out(), buffer, sizeof buffer)) > 0) said.append(buffer, std::size_t(n));
  }
  ::kill(curl.pid(), SIGKILL);
  WaitForEnd(curl.pid());
  int major = 0, minor = 0;
  return std::sscanf(said.c_str(), "curl %d.%d", &major, &minor) == 2 &&
         (major > 7 || (major == 7 && minor >= 75));
}

}  // namespace

// A curl that cannot report each upload makes one upload, and ends: its
// exit status is the upload's.
BatchEnd Uploader::Post(const std::vector<Transfer>& transfers, const UploadEnded& ended) {
  if (transfers.empty()) return {};
  if (!reports_each_) reports_each_ = ReportsEachUpload(upload_);
  if (*reports_each_) return PostBatch(upload_, transfers, true, ended);
  for (std::size_t i = 0; i < transfers.size(); ++i) {
    bool go_on = true;
    const BatchEnd end =
        PostBatch(upload_, {transfers[i]}, false, [&](std::size_t, const UploadResult& result) {
          go_on = ended(i, result) && result.ran && result.status == 0;
          return go_on;
        });
    if (!end.error.empty() || !go_on) return end;
  }
  return {};
}

}  // namespace wfdesk::tools
