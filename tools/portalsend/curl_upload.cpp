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

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "core/ascii.hpp"
#include "core/files.hpp"

extern char** environ;

namespace wfdesk::tools {

namespace {

// How long curl may outlive its own total time-out before it is killed.
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

std::string Config(const Upload& upload) {
  return "url = " + Quoted(upload.url) + "\n" +
         "user = " + Quoted(upload.user + ":" + upload.password) + "\n" +
         "data-binary = " + Quoted("@" + upload.request_file) + "\n" +
         "header = " + Quoted("Content-Type: text/xml; charset=utf-8") + "\n" +
         "header = " + Quoted("SOAPAction: \"" + upload.soap_action + "\"") + "\n" +
         "output = " + Quoted(upload.response_file) + "\n" +
         "write-out = \"%{http_code}\"\n"
         "connect-timeout = " +
         std::to_string(upload.connect_seconds) + "\n" +
         "max-time = " + std::to_string(upload.total_seconds) + "\n" + "silent\nshow-error\n";
}

void WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
}

using Deadline = std::chrono::steady_clock::time_point;

// Reads until the writer closes its end; false when the deadline came first.
bool ReadUntil(int fd, Deadline deadline, std::string& text) {
  char buffer[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd wanted{fd, POLLIN, 0};
    const int ready = ::poll(&wanted, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return false;
    if (ready == 0) continue;
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return true;
    text.append(buffer, static_cast<std::size_t>(n));
  }
}

int WaitForEnd(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// curl's exit codes for a proxy or host that cannot be found, a connection
// that cannot be made, and a time-out.
bool Unreachable(int curl_status) {
  return curl_status == 5 || curl_status == 6 || curl_status == 7 || curl_status == 28;
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
[[noreturn]] void BecomeCurl(const Arguments& argv, const Pipes& pipes, int error_fd, pid_t parent,
                             int report_fd) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(127);  // we ended before prctl took hold
  ::signal(SIGPIPE, SIG_DFL);
  ::dup2(pipes.config[0], 0);
  ::dup2(pipes.out[1], 1);
  if (error_fd >= 0) ::dup2(error_fd, 2);
  ::execvp(argv[0], const_cast<char**>(argv.data()));
  const int error = errno;
  (void)!::write(report_fd, &error, sizeof error);
  ::_exit(127);
}

// Starts curl reading its config from the pipe, writing the HTTP status to
// the other pipe and its complaints to error_fd. curl stays in our process
// group, so that whoever ends the group ends curl too.
bool StartCurl(const Upload& upload, const Pipes& pipes, int error_fd, pid_t& pid) {
  const Arguments argv = {upload.curl.c_str(), "--config", "-", nullptr};
  int report[2];  // tells why exec failed; closed by a successful exec
  if (::pipe2(report, O_CLOEXEC) != 0) return false;
  const pid_t parent = ::getpid();
  pid = ::fork();
  if (pid == 0) BecomeCurl(argv, pipes, error_fd, parent, report[1]);
  ::close(report[1]);
  int error = 0;
  const bool failed = pid < 0 || ::read(report[0], &error, sizeof error) > 0;
  ::close(report[0]);
  if (failed && pid > 0) WaitForEnd(pid);
  return !failed;
}
#else
bool StartCurl(const Upload& upload, const Pipes& pipes, int error_fd, pid_t& pid) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipes.config[0], 0);
  posix_spawn_file_actions_adddup2(&actions, pipes.out[1], 1);
  if (error_fd >= 0) posix_spawn_file_actions_adddup2(&actions, error_fd, 2);
  const Arguments argv = {upload.curl.c_str(), "--config", "-", nullptr};
  const int spawned = ::posix_spawnp(&pid, upload.curl.c_str(), &actions, nullptr,
                                     const_cast<char**>(argv.data()), environ);
  posix_spawn_file_actions_destroy(&actions);
  return spawned == 0;
}
#endif

// Hands curl its config and waits for its end, killing it when it outlives
// the total time-out by the grace period.
void Converse(const Upload& upload, Pipes& pipes, pid_t pid, UploadResult& result) {
  // curl may end before reading its config; a broken pipe must not end us.
  ::signal(SIGPIPE, SIG_IGN);
  WriteAll(pipes.config[1], Config(upload));
  ::close(pipes.config[1]);
  pipes.config[1] = -1;
  const Deadline deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(upload.total_seconds + kGraceSeconds);
  std::string out;
  const bool ended = ReadUntil(pipes.out[0], deadline, out);
  if (!ended) ::kill(pid, SIGKILL);
  result.status = WaitForEnd(pid);
  result.ran = ended && result.status < 128;
  result.http_status = std::atoi(out.c_str());
  result.unreachable = !ended || Unreachable(result.status);
  if (!ended) {
    result.error = "curl did not end within " +
                   std::to_string(upload.total_seconds + kGraceSeconds) + " s and was stopped";
  }
}

std::string Complaint(int error_fd) {
  std::string said;
  char buffer[4096];
  ::lseek(error_fd, 0, SEEK_SET);
  for (ssize_t n; (n = ::read(error_fd, buffer, sizeof buffer)) > 0;) {
    said.append(buffer, static_cast<std::size_t>(n));
  }
  return std::string(core::StripLineEnd(said));
}

// A file for curl's complaints that has no name: removed as soon as it is
// made, so that it goes with its last descriptor, even when we are killed.
int NamelessFile() {
  const char* folder = std::getenv("TMPDIR");
  std::string path = std::string(folder && *folder ? folder : "/tmp") + "/portalsend-curl-XXXXXX";
  const int fd = ::mkostemp(path.data(), O_CLOEXEC);
  if (fd >= 0) ::unlink(path.c_str());
  return fd;
}

}  // namespace

UploadResult PostUpload(const Upload& upload) {
  UploadResult result;
  Pipes pipes;
  if (!pipes.Open()) {
    pipes.CloseAll();
    result.error = "cannot make a pipe for curl";
    return result;
  }
  const int error_fd = NamelessFile();
  pid_t pid = 0;
  const bool started = StartCurl(upload, pipes, error_fd, pid);
  ::close(pipes.config[0]);
  ::close(pipes.out[1]);
  pipes.config[0] = pipes.out[1] = -1;
  if (started) {
    Converse(upload, pipes, pid, result);
  } else {
    result.error = "cannot start " + upload.curl;
  }
  pipes.CloseAll();
  if (error_fd >= 0) {
    if (result.error.empty()) result.error = Complaint(error_fd);
    ::close(error_fd);
  }
  return result;
}

}  // namespace wfdesk::tools
