#include "tools/portalsend/curl_upload.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "core/platform.hpp"

extern char** environ;

namespace wfdesk::tools {

namespace {

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
         "silent\nshow-error\nmax-time = 120\n";
}

void WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t n = 0;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, std::size_t(n));
  return text;
}

}  // namespace

UploadResult PostWithCurl(const Upload& upload) {
  UploadResult result;
  int config_pipe[2], out_pipe[2];
  if (::pipe2(config_pipe, O_CLOEXEC) != 0) return result;
  if (::pipe2(out_pipe, O_CLOEXEC) != 0) {
    ::close(config_pipe[0]);
    ::close(config_pipe[1]);
    return result;
  }
  char error_template[] = "/tmp/portalsend-curl-XXXXXX";
  const int error_fd = ::mkostemp(error_template, O_CLOEXEC);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, config_pipe[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
  if (error_fd >= 0) posix_spawn_file_actions_adddup2(&actions, error_fd, 2);
  const char* argv[] = {upload.curl.c_str(), "--config", "-", nullptr};
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, upload.curl.c_str(), &actions, nullptr,
                                     const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(config_pipe[0]);
  ::close(out_pipe[1]);
  if (spawned == 0) {
    // curl may end before reading its config; a broken pipe must not end us.
    ::signal(SIGPIPE, SIG_IGN);
    WriteAll(config_pipe[1], Config(upload));
  }
  ::close(config_pipe[1]);
  const std::string out = ReadAll(out_pipe[0]);
  ::close(out_pipe[0]);
  if (spawned != 0) {
    result.error = "cannot start " + upload.curl;
  } else {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.ran = WIFEXITED(status);
    result.curl_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.http_status = std::atoi(out.c_str());
  }
  if (error_fd >= 0) {
    std::string said;
    (void)core::platform::ReadFileBytes(error_template, said);
    while (!said.empty() && (said.back() == '\n' || said.back() == '\r')) said.pop_back();
    if (result.error.empty()) result.error = said;
    ::close(error_fd);
    ::unlink(error_template);
  }
  return result;
}

}  // namespace wfdesk::tools
