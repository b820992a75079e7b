#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

#include "core/platform.hpp"

extern char** environ;

namespace wfdesk::core::platform {

namespace {

std::string Why(int error) {
  return std::strerror(error);
}

FileResult Failed(const std::string& what, const std::string& path, int error) {
  return FileResult::Failed(what + " " + path + ": " + Why(error));
}

// Closes a descriptor when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

bool WriteAll(int fd, std::string_view bytes, int& error) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a path names, links followed, so that replacing it keeps the link.
std::string ResolvedTarget(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return path;
  std::string result(real);
  std::free(real);
  return result;
}

// Temporary files beside `path` are named TemporaryPrefix + PID "-" N.
std::string TemporaryPrefix(const std::string& path) {
  return "." + NameOf(path) + ".tmp-";
}

int OpenTemporaryBeside(const std::string& path, std::string& temp_path) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_path = FolderOf(path) + "/" + TemporaryPrefix(path) + std::to_string(::getpid()) + "-" +
                std::to_string(counter++);
    const int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

bool AllDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The process id of a temporary file's name after its prefix ("PID-N"), or
// 0 when the name is not of that form.
pid_t TemporaryOwner(std::string_view rest) {
  const auto dash = rest.find('-');
  if (dash == std::string_view::npos || dash > 9) return 0;
  const std::string_view pid = rest.substr(0, dash);
  if (!AllDigits(pid) || !AllDigits(rest.substr(dash + 1))) return 0;
  return static_cast<pid_t>(std::stol(std::string(pid)));
}

// A process we may not signal still runs.
bool ProcessRuns(pid_t pid) {
  return ::kill(pid, 0) == 0 || errno == EPERM;
}

FileResult CopyToNewFile(const std::string& from, const std::string& to, bool& target_taken) {
  Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) return Failed("Cannot read", from, errno);
  struct stat st {};
  if (::fstat(in.get(), &st) != 0) return Failed("Cannot read", from, errno);
  Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777));
  if (out.get() < 0) {
    target_taken = errno == EEXIST;
    return Failed("Cannot create", to, errno);
  }
  char buffer[65536];
  int error = 0;
  for (;;) {
    const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n <= 0) break;
    if (!WriteAll(out.get(), {buffer, static_cast<std::size_t>(n)}, error)) break;
  }
  if (error == 0 && ::fsync(out.get()) != 0) error = errno;
  if (error == 0 && ::close(out.release()) != 0) error = errno;
  if (error != 0) {
    ::unlink(to.c_str());
    return Failed("Cannot move", from + " to " + to, error);
  }
  if (::unlink(from.c_str()) != 0) {
    const int unlink_error = errno;
    ::unlink(to.c_str());
    return Failed("Cannot remove", from, unlink_error);
  }
  return FileResult::Ok();
}

}  // namespace

PathInfo Inspect(const std::string& path) {
  PathInfo info;
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return info;
  info.exists = true;
  info.is_folder = S_ISDIR(st.st_mode);
  info.is_regular = S_ISREG(st.st_mode);
  info.read_only = (st.st_mode & S_IWUSR) == 0;
  info.size = static_cast<std::size_t>(st.st_size);
  info.stamp = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" +
               std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
               std::to_string(st.st_mtim.tv_nsec) + ":" + std::to_string(st.st_ctim.tv_sec) + "." +
               std::to_string(st.st_ctim.tv_nsec);
  return info;
}

FileResult ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return Failed("Cannot list", folder, errno);
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    bool regular = entry->d_type == DT_REG;
    if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      regular = Inspect(prefix + name).is_regular;
    }
    entries.push_back({name, regular});
  }
  ::closedir(dir);
  return FileResult::Ok();
}

FileResult ReadFileBytes(const std::string& path, std::string& bytes) {
  return ReadFileBytesFrom(path, 0, bytes);
}

FileResult ReadFileBytesFrom(const std::string& path, std::size_t offset, std::string& bytes) {
  bytes.clear();
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return Failed("Cannot read", path, errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return Failed("Cannot read", path, errno);
  if (S_ISDIR(st.st_mode)) return Failed("Cannot read", path, EISDIR);
  if (offset > 0 && ::lseek(fd.get(), static_cast<off_t>(offset), SEEK_SET) < 0) {
    return Failed("Cannot read", path, errno);
  }
  if (st.st_size > static_cast<off_t>(offset)) {
    bytes.reserve(static_cast<std::size_t>(st.st_size) - offset);
  }
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Failed("Cannot read", path, errno);
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  return FileResult::Ok();
}

FileResult AppendFileBytes(const std::string& path, std::string_view bytes) {
  if (path.empty()) return FileResult::Failed("Cannot write to a file without a name");
  Fd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
  if (fd.get() < 0) return Failed("Cannot write", path, errno);
  struct stat st {};
  const bool sized = ::fstat(fd.get(), &st) == 0;
  int error = 0;
  if (!WriteAll(fd.get(), bytes, error)) {
    if (sized) (void)!::ftruncate(fd.get(), st.st_size);
    return Failed("Cannot write", path, error);
  }
  if (::close(fd.release()) != 0) return Failed("Cannot write", path, errno);
  return FileResult::Ok();
}

FileResult ReplaceFileBytes(const std::string& path, std::string_view bytes) {
  if (path.empty()) return FileResult::Failed("Cannot write to a file without a name");
  const std::string target = ResolvedTarget(path);
  std::string temp;
  Fd fd(OpenTemporaryBeside(target, temp));
  if (fd.get() < 0) return Failed("Cannot write", path, errno);
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) (void)::fchmod(fd.get(), old.st_mode & 07777);
  int error = 0;
  if (!WriteAll(fd.get(), bytes, error) || ::fsync(fd.get()) != 0 || ::close(fd.release()) != 0) {
    if (error == 0) error = errno;
    ::unlink(temp.c_str());
    return Failed("Cannot write", path, error);
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    error = errno;
    ::unlink(temp.c_str());
    return Failed("Cannot write", path, error);
  }
  return FileResult::Ok();
}

FileResult RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return Failed("Cannot delete", path, errno);
  return FileResult::Ok();
}

std::string ResolvePath(const std::string& path) {
  return ResolvedTarget(path);
}

void RemoveStaleTemporaries(const std::string& path) {
  const std::string target = ResolvedTarget(path);
  const std::string folder = FolderOf(target);
  const std::string prefix = TemporaryPrefix(target);
  std::vector<FolderEntry> entries;
  if (!ListFolder(folder, entries)) return;
  for (const FolderEntry& entry : entries) {
    if (!entry.is_regular || !entry.name.starts_with(prefix)) continue;
    const pid_t owner = TemporaryOwner(std::string_view(entry.name).substr(prefix.size()));
    if (owner > 0 && !ProcessRuns(owner)) ::unlink((folder + "/" + entry.name).c_str());
  }
}

FileResult MoveWithoutReplacing(const std::string& from, const std::string& to,
                                bool& target_taken) {
  target_taken = false;
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return FileResult::Ok();
  }
  const int error = errno;
  if (error == EEXIST) {
    target_taken = true;
    return Failed("Cannot move", from + " to " + to, error);
  }
  if (error == EXDEV || error == EINVAL || error == ENOSYS) {
    return CopyToNewFile(from, to, target_taken);
  }
  return Failed("Cannot move", from + " to " + to, error);
}

int TryLockFile(const std::string& path, bool& busy, std::string& error) {
  busy = false;
  Fd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  if (fd.get() < 0) {
    error = "Cannot create the lock file " + path + ": " + Why(errno);
    return -1;
  }
  while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    busy = errno == EWOULDBLOCK;
    error = "Cannot lock " + path + ": " + Why(errno);
    return -1;
  }
  return fd.release();
}

void UnlockFile(int descriptor) {
  if (descriptor >= 0) ::close(descriptor);
}

LocalTime LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&now, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

GuidBytes RandomGuidBytes() {
  GuidBytes bytes{};
  std::size_t filled = 0;
  while (filled < bytes.size()) {
    const ssize_t n = ::getrandom(bytes.data() + filled, bytes.size() - filled, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    filled += static_cast<std::size_t>(n);
  }
  return bytes;
}

ProcessResult SpawnAndWait(const CommandLine& command) {
  ProcessResult result;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(command.program.c_str()));
  for (const auto& argument : command.arguments)
    argv.push_back(const_cast<char*>(argument.text.c_str()));
  argv.push_back(nullptr);

  // The program reads nothing from us, and what it prints goes to standard
  // error, so standard output stays free for the caller's own results.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, 2, 1);

  pid_t pid = 0;
  const int error =
      ::posix_spawn(&pid, command.program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    result.error = Why(error);
    return result;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      result.error = "lost track of the process: " + Why(errno);
      return result;
    }
  }
  result.started = true;
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.exit_status = 128 + WTERMSIG(status);
  return result;
}

std::optional<std::string> GetEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (!value) return std::nullopt;
  return std::string(value);
}

std::string ExecutableFolder() {
  std::string buffer(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return CurrentFolder();
  buffer.resize(static_cast<std::size_t>(n));
  return FolderOf(buffer);
}

std::string CurrentFolder() {
  char* cwd = ::getcwd(nullptr, 0);
  if (!cwd) return ".";
  std::string result(cwd);
  std::free(cwd);
  return result;
}

FileResult ChangeFolder(const std::string& folder) {
  if (::chdir(folder.c_str()) != 0) return Failed("Cannot enter the folder", folder, errno);
  return FileResult::Ok();
}

}  // namespace wfdesk::core::platform
