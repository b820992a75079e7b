#include "tools/portalsend/upload.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

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

// Starts curl reading its config from the pipe, writing the HTTP status to
// the other pipe and its complaints to error_fd.
bool StartCurl(const Upload& upload, const Pipes& pipes, int error_fd, pid_t& pid) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipes.config[0], 0);
  posix_spawn_file_actions_adddup2(&actions, pipes.out[1], 1);
  if (error_fd >= 0) posix_spawn_file_actions_adddup2(&actions, error_fd, 2);
  // A group of its own, so that stopping it stops whatever it started too.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  const char* argv[] = {upload.curl.c_str(), "--config", "-", nullptr};
  const int spawned = ::posix_spawnp(&pid, upload.curl.c_str(), &actions, &attributes,
                                     const_cast<char**>(argv), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return spawned == 0;
}

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
  if (!ended) ::kill(-pid, SIGKILL);
  result.status = WaitForEnd(pid);
  result.ran = ended && result.status < 128;
  result.http_status = std::atoi(out.c_str());
  result.unreachable = !ended || Unreachable(result.status);
  if (!ended) {
    result.error = "curl did not end within " +
                   std::to_string(upload.total_seconds + kGraceSeconds) + " s and was stopped";
  }
}

std::string Complaint(const std::string& error_file) {
  std::string said;
  (void)core::ReadFileContent(error_file, said);
  while (!said.empty() && (said.back() == '\n' || said.back() == '\r')) said.pop_back();
  return said;
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
  char error_template[] = "/tmp/portalsend-curl-XXXXXX";
  const int error_fd = ::mkostemp(error_template, O_CLOEXEC);
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
    if (result.error.empty()) result.error = Complaint(error_template);
    ::close(error_fd);
    ::unlink(error_template);
  }
  return result;
}

}  // namespace wfdesk::tools
