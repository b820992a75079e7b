#include "tests/support/run_program.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/sandbox.hpp"

extern char** environ;

namespace wfdesk::testing {
namespace {

// Starts argv with standard input from /dev/null and the outputs into these files.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
            const std::string& out, const std::string& err) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> env_text(environment);
  for (char** e = environ; *e; ++e) env_text.push_back(*e);  // ours come first and win
  std::vector<char*> env;
  for (auto& e : env_text) env.push_back(e.data());
  env.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  if (::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

}  // namespace

ProgramOutput RunProgram(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment) {
  Sandbox capture;
  ProgramOutput result;
  const pid_t pid = Spawn(argv, environment, capture.Path("out"), capture.Path("err"));
  if (pid > 0) result.status = ExitStatusOf(pid);
  result.out = capture.Read("out");
  result.err = capture.Read("err");
  return result;
}

pid_t StartProgram(const std::vector<std::string>& argv,
                   const std::vector<std::string>& environment) {
  return Spawn(argv, environment, "/dev/null", "/dev/null");
}

int ExitStatusOf(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace wfdesk::testing
