#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <optional>
#include <utility>

#include "core/language.hpp"
#include "core/platform/platform.hpp"

extern char** environ;

namespace wfdesk::core::platform {

namespace {

std::string Why(int error) {
  return std::strerror(error);
}

// The platform has no settings at hand: its reasons are English.
std::string Reason(std::string_view key, std::initializer_list<std::string_view> values) {
  return FormatLanguageText(key, kEnglish, values);
}

FileResult Failed(std::string_view key, const std::string& path, int error) {
  return FileResult::Failed(Reason(key, {path, Why(error)}));
}

FileResult Failed(std::string_view key, const std::string& from, const std::string& to, int error) {
  return FileResult::Failed(Reason(key, {from, to, Why(error)}));
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

}  // namespace

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

std::string InFolder(const std::string& folder, std::string_view name) {
  return folder.ends_with('/') ? folder + std::string(name) : folder + "/" + std::string(name);
}

std::uint32_t CurrentProcessId() {
  return static_cast<std::uint32_t>(::getpid());
}

// A process we may not signal still runs.
bool ProcessRuns(std::uint32_t pid) {
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

namespace {

int OpenTemporaryBeside(const std::string& path, std::string& temp_path) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_path = NewTemporaryPath(path);
    const int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Copies the bytes of one descriptor to another; 0 or the error.
int CopyBytes(int in, int out) {
  char buffer[65536];
  int error = 0;
  for (;;) {
    const ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return 0;
    if (!WriteAll(out, {buffer, static_cast<std::size_t>(n)}, error)) return error;
  }
}

// Gives `to` the file `from` holds when link(2) is missing on the file
// system: a rename that never replaces, else the name reserved as an empty
// file and then replaced.
FileResult RenameInPlaceOfLink(const std::string& from, const std::string& to, bool& target_taken) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return FileResult::Ok();
  }
  if (const int error = errno; error != EINVAL && error != ENOSYS) {
    target_taken = error == EEXIST;
    return Failed("lg_mesg_sys001", from, to, error);
  }
  Fd reserved(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (reserved.get() < 0) {
    target_taken = errno == EEXIST;
    return Failed("lg_mesg_sys002", to, errno);
  }
  if (::rename(from.c_str(), to.c_str()) != 0) {
    const int error = errno;
    ::unlink(to.c_str());
    return Failed("lg_mesg_sys001", from, to, error);
  }
  return FileResult::Ok();
}

}  // namespace

// Links followed, so that replacing the file keeps the link.
std::string ReplacedFile(const std::string& path) {
  const std::string real = CanonicalPath(path);
  return real.empty() ? path : real;
}

bool IsHiddenName(std::string_view name) {
  return !name.empty() && name.front() == '.';
}

std::size_t LastSeparator(std::string_view path) {
  return path.rfind('/');
}

bool IsAbsolutePath(std::string_view path) {
  return !path.empty() && path.front() == '/';
}

PathInfo Inspect(const std::string& path) {
  PathInfo info;
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return info;
  info.exists = true;
  info.hidden = IsHiddenName(NameOf(path));
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

std::string CanonicalPath(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return "";
  std::string result(real);
  std::free(real);
  return result;
}

FileResult ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return Failed("lg_mesg_sys003", folder, errno);
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    bool regular = entry->d_type == DT_REG;
    if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      regular = Inspect(prefix + name).is_regular;
    }
    entries.push_back({name, regular, IsHiddenName(name)});
  }
  ::closedir(dir);
  return FileResult::Ok();
}

namespace {

// Reads the rest of the file straight into place: the size expected and one
// byte more, so that the end shows without growing the buffer; a file that
// grew meanwhile grows it.
bool ReadToEnd(int fd, std::size_t expected, std::string& bytes, int& error) {
  bytes.resize(expected + 1);  // the extra byte tells a file that grew meanwhile
  std::size_t filled = 0;
  for (;;) {
    if (filled == bytes.size()) bytes.resize(bytes.size() * 2);
    const ssize_t n = ::read(fd, bytes.data() + filled, bytes.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = errno;
      return false;
    }
    if (n == 0) break;
    filled += static_cast<std::size_t>(n);
  }
  bytes.resize(filled);
  return true;
}

}  // namespace

FileResult ReadFileBytes(const std::string& path, std::string& bytes) {
  return ReadFileBytesFrom(path, 0, bytes);
}

FileResult ReadFileBytesFrom(const std::string& path, std::size_t offset, std::string& bytes) {
  bytes.clear();
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return Failed("lg_mesg_sys004", path, errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return Failed("lg_mesg_sys004", path, errno);
  if (S_ISDIR(st.st_mode)) return Failed("lg_mesg_sys004", path, EISDIR);
  if (offset > 0 && ::lseek(fd.get(), static_cast<off_t>(offset), SEEK_SET) < 0) {
    return Failed("lg_mesg_sys004", path, errno);
  }
  int error = 0;
  const std::size_t size = static_cast<std::size_t>(st.st_size);
  if (!ReadToEnd(fd.get(), size > offset ? size - offset : 0, bytes, error)) {
    bytes.clear();
    return Failed("lg_mesg_sys004", path, error);
  }
  return FileResult::Ok();
}

namespace {

std::int64_t Nanoseconds(const timespec& time) {
  return std::int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec;
}

std::int64_t Nanoseconds(const struct statx_timestamp& time) {
  return time.tv_sec * 1'000'000'000 + time.tv_nsec;
}

// The version of the file `path` names, or of the open file `fd` with
// AT_EMPTY_PATH. The forced sync makes network file systems ask the server,
// as an open would; local ones know already.
bool StatVersion(int fd, const char* path, int flags, FileVersion& version, int& error) {
  struct statx st {};
  if (::statx(fd, path, flags | AT_STATX_FORCE_SYNC, STATX_BASIC_STATS, &st) != 0) {
    error = errno;
    return false;
  }
  if (S_ISDIR(st.stx_mode)) {
    error = EISDIR;
    return false;
  }
  version = {makedev(st.stx_dev_major, st.stx_dev_minor), st.stx_ino, st.stx_size,
             Nanoseconds(st.stx_mtime), Nanoseconds(st.stx_ctime)};
  return true;
}

// Reads to the end straight into `bytes`; `expected` is the size fstat gave.

}  // namespace

FileResult ReadFileVersion(const std::string& path, FileVersion& version,
                           const std::function<bool(const FileVersion&)>& wants_bytes,
                           std::string& bytes) {
  bytes.clear();
  int error = 0;
  if (!StatVersion(AT_FDCWD, path.c_str(), 0, version, error)) {
    return Failed("lg_mesg_sys004", path, error);
  }
  if (!wants_bytes(version)) return FileResult::Ok();
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return Failed("lg_mesg_sys004", path, errno);
  if (!StatVersion(fd.get(), "", AT_EMPTY_PATH, version, error) ||
      !ReadToEnd(fd.get(), static_cast<std::size_t>(version.size), bytes, error)) {
    return Failed("lg_mesg_sys004", path, error);
  }
  return FileResult::Ok();
}

std::int64_t FileClockNow() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return Nanoseconds(now);
}

FileResult AppendFileBytes(const std::string& path, std::string_view bytes) {
  if (path.empty()) return FileResult::Failed(Reason("lg_mesg_sys006", {}));
  Fd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
  if (fd.get() < 0) return Failed("lg_mesg_sys005", path, errno);
  struct stat st {};
  const bool sized = ::fstat(fd.get(), &st) == 0;
  int error = 0;
  if (!WriteAll(fd.get(), bytes, error)) {
    if (sized) (void)!::ftruncate(fd.get(), st.st_size);
    return Failed("lg_mesg_sys005", path, error);
  }
  if (::close(fd.release()) != 0) return Failed("lg_mesg_sys005", path, errno);
  return FileResult::Ok();
}

FileResult OpenForAppending(const std::string& path, AppendingFile& file) {
  CloseAppending(file);
  if (path.empty()) return FileResult::Failed(Reason("lg_mesg_sys006", {}));
  Fd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
  struct stat st {};
  if (fd.get() < 0) {
    const int error = errno;
    const bool read_only = ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
    if (read_only) return FileResult::Failed(Reason("lg_mesg_file003", {path}));
    return Failed("lg_mesg_sys005", path, error);
  }
  if (::fstat(fd.get(), &st) != 0) return Failed("lg_mesg_sys005", path, errno);
  // Open to its owner or not, as WriteTextFile sees it.
  if ((st.st_mode & S_IWUSR) == 0) return FileResult::Failed(Reason("lg_mesg_file003", {path}));
  file.handle = fd.release();
  file.path = path;
  file.device = st.st_dev;
  file.index = st.st_ino;
  return FileResult::Ok();
}

AppendingState CheckAppending(const AppendingFile& file) {
  struct stat st {};
  if (::stat(file.path.c_str(), &st) != 0 || st.st_dev != file.device || st.st_ino != file.index) {
    return AppendingState::kElsewhere;
  }
  return (st.st_mode & S_IWUSR) == 0 ? AppendingState::kReadOnly : AppendingState::kHeld;
}

FileResult AppendRecord(const AppendingFile& file, std::string_view record) {
  const int fd = static_cast<int>(file.handle);
  ssize_t n = 0;
  do {
    n = ::write(fd, record.data(), record.size());
  } while (n < 0 && errno == EINTR);
  if (n == static_cast<ssize_t>(record.size())) return FileResult::Ok();
  if (n < 0) return Failed("lg_mesg_sys005", file.path, errno);
  // A regular file takes part of a write only when it is full. O_APPEND
  // left the offset behind the part, which the next writer's record would
  // otherwise continue.
  const off_t end = ::lseek(fd, 0, SEEK_CUR);
  if (end >= n) (void)!::ftruncate(fd, end - n);
  return Failed("lg_mesg_sys005", file.path, ENOSPC);
}

void CloseAppending(AppendingFile& file) {
  if (file.handle >= 0) ::close(static_cast<int>(file.handle));
  file = {};
}

FileResult OpenForReading(const std::string& path, OpenFile& file) {
  CloseFile(file);
  file.path = path;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Failed("lg_mesg_sys004", path, errno);
  file.handle = fd;
  struct stat st {};
  const int error = ::fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
  if (error != 0) {
    CloseFile(file);
    return Failed("lg_mesg_sys004", path, error);
  }
  return FileResult::Ok();
}

FileResult ReadSome(const OpenFile& file, char* into, std::size_t room, std::size_t& got) {
  got = 0;
  for (;;) {
    const ssize_t n = ::read(static_cast<int>(file.handle), into, room);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Failed("lg_mesg_sys004", file.path, errno);
    got = static_cast<std::size_t>(n);
    return FileResult::Ok();
  }
}

void CloseFile(OpenFile& file) {
  if (file.handle >= 0) ::close(static_cast<int>(std::exchange(file.handle, -1)));
}

FileResult BeginReplacement(const std::string& path, Replacement& replacement) {
  AbandonReplacement(replacement);
  if (path.empty()) return FileResult::Failed(Reason("lg_mesg_sys006", {}));
  replacement.path = path;
  replacement.target = ReplacedFile(path);
  const int fd = OpenTemporaryBeside(replacement.target, replacement.temp);
  if (fd < 0) return Failed("lg_mesg_sys005", path, errno);
  replacement.handle = fd;
  struct stat old {};
  if (::stat(replacement.target.c_str(), &old) == 0) (void)::fchmod(fd, old.st_mode & 07777);
  return FileResult::Ok();
}

FileResult WriteReplacement(Replacement& replacement, std::string_view piece) {
  int error = 0;
  if (WriteAll(static_cast<int>(replacement.handle), piece, error)) return FileResult::Ok();
  return Failed("lg_mesg_sys005", replacement.path, error);
}

FileResult CommitReplacement(Replacement& replacement) {
  const int fd = static_cast<int>(std::exchange(replacement.handle, -1));
  int error = 0;
  if (::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(replacement.temp.c_str(), replacement.target.c_str()) != 0) {
    error = errno;
  }
  if (error == 0) return FileResult::Ok();
  ::unlink(replacement.temp.c_str());
  return Failed("lg_mesg_sys005", replacement.path, error);
}

void AbandonReplacement(Replacement& replacement) {
  if (replacement.handle < 0) return;
  ::close(static_cast<int>(std::exchange(replacement.handle, -1)));
  ::unlink(replacement.temp.c_str());
}

FileResult CreateFileBytes(const std::string& path, std::string_view bytes) {
  Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (fd.get() < 0) return Failed("lg_mesg_sys002", path, errno);
  int error = 0;
  if (!WriteAll(fd.get(), bytes, error) || ::close(fd.release()) != 0) {
    if (error == 0) error = errno;
    ::unlink(path.c_str());
    return Failed("lg_mesg_sys005", path, error);
  }
  return FileResult::Ok();
}

FileResult FlushFileSystem(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0 || ::syncfs(fd.get()) != 0) return Failed("lg_mesg_sys007", path, errno);
  return FileResult::Ok();
}

FileResult RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return Failed("lg_mesg_sys008", path, errno);
  return FileResult::Ok();
}

FileResult RenameWithoutReplacing(const std::string& from, const std::string& to,
                                  bool& target_taken, bool& needs_copy) {
  target_taken = needs_copy = false;
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return FileResult::Ok();
  }
  const int error = errno;
  target_taken = error == EEXIST;
  needs_copy = error == EXDEV || error == EINVAL || error == ENOSYS;
  return Failed("lg_mesg_sys001", from, to, error);
}

FileResult CopyToHiddenFileBeside(const std::string& from, const std::string& beside,
                                  std::string& copy) {
  copy.clear();
  Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) return Failed("lg_mesg_sys004", from, errno);
  struct stat st {};
  if (::fstat(in.get(), &st) != 0) return Failed("lg_mesg_sys004", from, errno);
  std::string temp;
  Fd out(OpenTemporaryBeside(beside, temp));
  if (out.get() < 0) return Failed("lg_mesg_sys009", beside, errno);
  int error = CopyBytes(in.get(), out.get());
  const timespec times[2] = {st.st_atim, st.st_mtim};
  if (error == 0 && ::fchmod(out.get(), st.st_mode & 07777) != 0) error = errno;
  if (error == 0 && ::futimens(out.get(), times) != 0) error = errno;
  if (error == 0 && ::fsync(out.get()) != 0) error = errno;
  if (error == 0 && ::close(out.release()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    return Failed("lg_mesg_sys010", from, temp, error);
  }
  copy = temp;
  return FileResult::Ok();
}

FileResult LinkWithoutReplacing(const std::string& from, const std::string& to,
                                bool& target_taken) {
  target_taken = false;
  if (::link(from.c_str(), to.c_str()) == 0) return FileResult::Ok();
  const int error = errno;
  if (error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EMLINK) {
    return RenameInPlaceOfLink(from, to, target_taken);
  }
  target_taken = error == EEXIST;
  return Failed("lg_mesg_sys001", from, to, error);
}

int TryLockFile(const std::string& path, bool inherited, bool& busy, std::string& error) {
  busy = false;
  Fd fd(::open(path.c_str(), O_RDWR | O_CREAT | (inherited ? 0 : O_CLOEXEC), 0666));
  if (fd.get() < 0) {
    error = Reason("lg_mesg_sys011", {path, Why(errno)});
    return -1;
  }
  while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    busy = errno == EWOULDBLOCK;
    error = Reason("lg_mesg_sys012", {path, Why(errno)});
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

namespace {

// The stop request of this process. Signal handlers can reach nothing else,
// so these two are the one piece of global state: the first stop signal,
// and a pipe that becomes readable for good once a stop is requested.
std::atomic<int> stop_signal{0};
int stop_pipe[2] = {-1, -1};

void OnStopSignal(int signal) {
  const int saved_errno = errno;
  int none = 0;
  stop_signal.compare_exchange_strong(none, signal);
  const char byte = 1;
  (void)!::write(stop_pipe[1], &byte, 1);
  errno = saved_errno;
}

using SteadyClock = std::chrono::steady_clock;

enum class Woken { kEnded, kStop, kDeadline };

// Blocks until the process of `pidfd` ends, a stop is requested (when
// `watch_stop`) or the deadline passes. No polling: one poll(2) per event.
Woken WaitForProcess(int pidfd, std::optional<SteadyClock::time_point> deadline, bool watch_stop) {
  for (;;) {
    int timeout_ms = -1;
    if (deadline) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - SteadyClock::now());
      if (left.count() <= 0) return Woken::kDeadline;
      timeout_ms = static_cast<int>(std::min<long long>(left.count() + 1, 1 << 30));
    }
    pollfd fds[2] = {{pidfd, POLLIN, 0}, {stop_pipe[0], POLLIN, 0}};
    const nfds_t count = watch_stop && stop_pipe[0] >= 0 ? 2 : 1;
    const int n = ::poll(fds, count, timeout_ms);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || fds[0].revents != 0) return Woken::kEnded;
    if (count == 2 && fds[1].revents != 0) return Woken::kStop;
  }
}

// Ends the program's process group: TERM, then KILL after the grace period.
// Whatever of the group outlives the program is killed before the program is
// reaped, while its group id cannot have been reused.
void EndProcessGroup(pid_t pid, int pidfd) {
  ::kill(-pid, SIGTERM);
  const auto grace = SteadyClock::now() + std::chrono::seconds(kEndGraceSeconds);
  if (WaitForProcess(pidfd, grace, false) != Woken::kEnded) {
    ::kill(-pid, SIGKILL);
    WaitForProcess(pidfd, std::nullopt, false);
  }
  ::kill(-pid, SIGKILL);
}

// Whether the process /proc/ENTRY is a live member of the group (not a
// zombie waiting to be reaped).
bool LiveMemberOf(const char* entry, pid_t group) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%s/stat", entry);
  Fd fd(::open(path, O_RDONLY | O_CLOEXEC));
  char stat[512];
  const ssize_t n = fd.get() < 0 ? -1 : ::read(fd.get(), stat, sizeof stat - 1);
  if (n <= 0) return false;
  stat[n] = '\0';
  // "PID (NAME) STATE PPID PGRP ...": the name may hold anything but ends
  // at the last ")".
  const char* after_name = std::strrchr(stat, ')');
  char state = 0;
  int parent = 0, pgrp = 0;
  if (!after_name || std::sscanf(after_name + 1, " %c %d %d", &state, &parent, &pgrp) != 3) {
    return false;
  }
  return pgrp == group && state != 'Z' && state != 'X';
}

// Whether a process of the group still runs. Zombies do not count: where
// nothing reaps orphans at once, they stay listed for a while.
bool GroupAlive(pid_t group) {
  if (::kill(-group, 0) != 0 && errno == ESRCH) return false;
  DIR* proc = ::opendir("/proc");
  if (!proc) return true;
  bool alive = false;
  while (const dirent* entry = ::readdir(proc)) {
    if (entry->d_name[0] >= '1' && entry->d_name[0] <= '9' && LiveMemberOf(entry->d_name, group)) {
      alive = true;
      break;
    }
  }
  ::closedir(proc);
  return alive;
}

// Ends what a program that has ended by itself left in its group: TERM
// first, KILL for what is still there after the grace period. Called once
// the program is reaped; its group id is not reused while the group has a
// member. True when something was left.
bool EndLeftovers(pid_t group) {
  if (!GroupAlive(group)) return false;
  ::kill(-group, SIGTERM);
  const auto grace = SteadyClock::now() + std::chrono::seconds(kEndGraceSeconds);
  while (GroupAlive(group) && SteadyClock::now() < grace) {
    ::usleep(20000);
  }
  ::kill(-group, SIGKILL);
  return true;
}

// Waits for the program, ending it at its time limit or on a stop request.
Ending AwaitEnd(pid_t pid, int time_limit_seconds) {
  Fd pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
  if (pidfd.get() < 0) return Ending::kExited;  // the blocking wait below still works
  std::optional<SteadyClock::time_point> deadline;
  if (time_limit_seconds > 0)
    deadline = SteadyClock::now() + std::chrono::seconds(time_limit_seconds);
  switch (WaitForProcess(pidfd.get(), deadline, true)) {
    case Woken::kEnded:
      return Ending::kExited;
    case Woken::kStop:
      EndProcessGroup(pid, pidfd.get());
      return Ending::kStopped;
    case Woken::kDeadline:
      EndProcessGroup(pid, pidfd.get());
      return Ending::kTimedOut;
  }
  return Ending::kExited;
}

// Where a program's output goes: our standard error, or, when it is
// captured, two anonymous files read after the program has ended (a pipe
// would need reading while we wait).
struct OutputTargets {
  int out = 2;
  int err = 2;
};

// Reads an anonymous file from its start.
std::string ReadCaptured(int fd) {
  std::string bytes;
  if (fd < 0 || ::lseek(fd, 0, SEEK_SET) != 0) return bytes;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  return bytes;
}

// Our environment with the command's variables set over it.
std::vector<std::string> ProgramEnvironment(const CommandLine& command) {
  std::vector<std::string> entries;
  const auto overridden = [&](std::string_view entry) {
    for (const auto& [name, value] : command.environment) {
      if (entry.size() > name.size() && entry.starts_with(name) && entry[name.size()] == '=') {
        return true;
      }
    }
    return false;
  };
  for (char** entry = environ; *entry; ++entry) {
    if (!overridden(*entry)) entries.emplace_back(*entry);
  }
  for (const auto& [name, value] : command.environment) entries.push_back(name + "=" + value);
  return entries;
}

// Starts the program in a process group of its own, with the default
// handling of the stop signals and nothing blocked.
int Spawn(const CommandLine& command, pid_t& pid, OutputTargets targets) {
  std::vector<std::string> environment;
  std::vector<char*> envp;
  if (!command.environment.empty()) {
    environment = ProgramEnvironment(command);
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
  }
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
  posix_spawn_file_actions_adddup2(&actions, targets.out, 1);
  if (targets.err != 2) posix_spawn_file_actions_adddup2(&actions, targets.err, 2);

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults, none;
  sigemptyset(&defaults);
  for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) sigaddset(&defaults, signal);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  const int error = ::posix_spawn(&pid, command.program.c_str(), &actions, &attributes, argv.data(),
                                  envp.empty() ? environ : envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return error;
}

}  // namespace

ProcessResult SpawnAndWait(const CommandLine& command) {
  ProcessResult result;
  if (CaughtStopSignal() != 0) {
    result.error = Reason("lg_mesg_sys013", {});
    result.ending = Ending::kStopped;
    return result;
  }
  Fd out(command.capture_output ? ::memfd_create("wfdesk-output", MFD_CLOEXEC) : -1);
  Fd err(command.capture_output ? ::memfd_create("wfdesk-errors", MFD_CLOEXEC) : -1);
  if (command.capture_output && (out.get() < 0 || err.get() < 0)) {
    result.error = Why(errno);
    return result;
  }
  const OutputTargets targets =
      command.capture_output ? OutputTargets{out.get(), err.get()} : OutputTargets{};
  pid_t pid = 0;
  if (const int error = Spawn(command, pid, targets); error != 0) {
    result.error = Why(error);
    return result;
  }
  result.ending = AwaitEnd(pid, command.time_limit_seconds);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      result.error = Reason("lg_mesg_sys014", {Why(errno)});
      return result;
    }
  }
  result.started = true;
  if (result.ending == Ending::kExited) result.ended_leftovers = EndLeftovers(pid);
  result.output = ReadCaptured(out.get());
  result.errors = ReadCaptured(err.get());
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.exit_status = 128 + WTERMSIG(status);
  return result;
}

void CatchStopSignals() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (::pipe2(stop_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // A second signal ends the process at once, for a run that hangs
    // outside a program.
    action.sa_flags = SA_RESETHAND;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
  });
}

int CaughtStopSignal() {
  return stop_signal.load();
}

FileResult MakeFolder(const std::string& folder, bool& existed) {
  existed = false;
  if (::mkdir(folder.c_str(), 0777) == 0) return FileResult::Ok();
  const int error = errno;
  existed = error == EEXIST && Inspect(folder).is_folder;
  return existed ? FileResult::Ok() : Failed("lg_mesg_sys002", folder, error);
}

FileResult MakeLink(const std::string& target, const std::string& path, bool& taken) {
  taken = false;
  if (::symlink(target.c_str(), path.c_str()) == 0) return FileResult::Ok();
  taken = errno == EEXIST;
  return taken ? FileResult::Ok() : Failed("lg_mesg_sys002", path, errno);
}

bool EntryExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

namespace {

enum class LeaseAnswer { kNoWriter, kWriter, kCannotTell };

LeaseAnswer AskForReadLease(const std::string& path) {
  // O_NONBLOCK: a lease someone else holds must not make the open wait.
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return LeaseAnswer::kCannotTell;
  if (::fcntl(fd.get(), F_SETLEASE, F_RDLCK) == 0) {
    (void)::fcntl(fd.get(), F_SETLEASE, F_UNLCK);
    return LeaseAnswer::kNoWriter;
  }
  return errno == EAGAIN ? LeaseAnswer::kWriter : LeaseAnswer::kCannotTell;
}

// Whether /proc/PID/fdinfo/FD says the descriptor was opened for writing.
bool OpenedForWriting(const std::string& fdinfo) {
  Fd fd(::open(fdinfo.c_str(), O_RDONLY | O_CLOEXEC));
  char info[512];
  const ssize_t n = fd.get() < 0 ? -1 : ::read(fd.get(), info, sizeof info - 1);
  if (n <= 0) return false;
  info[n] = '\0';
  const char* flags = std::strstr(info, "flags:");
  if (!flags) return false;
  const unsigned long mode = std::strtoul(flags + 6, nullptr, 8) & O_ACCMODE;
  return mode != O_RDONLY;
}

bool ProcessWrites(const std::string& process, const std::string& file) {
  DIR* descriptors = ::opendir((process + "/fd").c_str());
  if (!descriptors) return false;
  bool writes = false;
  while (const dirent* entry = ::readdir(descriptors)) {
    if (entry->d_name[0] == '.') continue;
    char target[4096];
    const std::string link = process + "/fd/" + entry->d_name;
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
    if (n <= 0 || std::string_view(target, static_cast<std::size_t>(n)) != file) continue;
    if (OpenedForWriting(process + "/fdinfo/" + entry->d_name)) {
      writes = true;
      break;
    }
  }
  ::closedir(descriptors);
  return writes;
}

bool AnyProcessWrites(const std::string& path) {
  const std::string file = CanonicalPath(path);
  DIR* proc = file.empty() ? nullptr : ::opendir("/proc");
  if (!proc) return false;
  const std::string self = std::to_string(::getpid());
  bool writes = false;
  while (const dirent* entry = ::readdir(proc)) {
    const std::string_view name = entry->d_name;
    if (name == self || name.find_first_not_of("0123456789") != std::string_view::npos) continue;
    if (ProcessWrites("/proc/" + std::string(name), file)) {
      writes = true;
      break;
    }
  }
  ::closedir(proc);
  return writes;
}

}  // namespace

bool HeldOpenForWriting(const std::string& path) {
  const LeaseAnswer answer = AskForReadLease(path);
  if (answer != LeaseAnswer::kCannotTell) return answer == LeaseAnswer::kWriter;
  return AnyProcessWrites(path);
}

bool IsExecutableFile(const std::string& path) {
  return Inspect(path).is_regular && ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> GetEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (!value) return std::nullopt;
  return std::string(value);
}

std::string ExecutablePath() {
  std::string buffer(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return "";
  buffer.resize(static_cast<std::size_t>(n));
  return buffer;
}

std::string ExecutableFolder() {
  const std::string program = ExecutablePath();
  return program.empty() ? CurrentFolder() : FolderOf(program);
}

std::string CurrentFolder() {
  char* cwd = ::getcwd(nullptr, 0);
  if (!cwd) return ".";
  std::string result(cwd);
  std::free(cwd);
  return result;
}

FileResult ChangeFolder(const std::string& folder) {
  if (::chdir(folder.c_str()) != 0) return Failed("lg_mesg_sys015", folder, errno);
  return FileResult::Ok();
}

}  // namespace wfdesk::core::platform
