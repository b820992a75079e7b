#include "tools/ledgerconv/open_writers.hpp"

#if defined(_WIN32)
#include <windows.h>
#elif defined(__linux__)
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "core/files.hpp"
#endif

namespace wfdesk::tools {

#if defined(_WIN32)

bool HeldOpenForWriting(const std::string& path) {
  // Paths are in the ANSI code page, as the A functions take them.
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_SHARING_VIOLATION;
  ::CloseHandle(file);
  return false;
}

#elif defined(__linux__)

namespace {

namespace fs = std::filesystem;

enum class LeaseAnswer { kNoWriter, kWriter, kCannotTell };

LeaseAnswer AskForReadLease(const std::string& path) {
  // O_NONBLOCK: a lease someone else holds must not make the open wait.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return LeaseAnswer::kCannotTell;
  LeaseAnswer answer = LeaseAnswer::kCannotTell;
  if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
    answer = LeaseAnswer::kNoWriter;
    (void)::fcntl(fd, F_SETLEASE, F_UNLCK);
  } else if (errno == EAGAIN) {
    answer = LeaseAnswer::kWriter;
  }
  ::close(fd);
  return answer;
}

// Whether /proc/PID/fdinfo/FD says the descriptor was opened for writing.
bool OpenedForWriting(const fs::path& fdinfo) {
  std::ifstream info(fdinfo);
  std::string key;
  while (info >> key) {
    if (key != "flags:") continue;
    unsigned long flags = 0;
    info >> std::oct >> flags;
    return (flags & O_ACCMODE) != O_RDONLY;
  }
  return false;
}

bool ProcessWrites(const fs::path& process, const fs::path& file) {
  std::error_code error;
  for (fs::directory_iterator fd(process / "fd", error), end; !error && fd != end;
       fd.increment(error)) {
    std::error_code link_error;
    if (fs::read_symlink(fd->path(), link_error) != file || link_error) continue;
    if (OpenedForWriting(process / "fdinfo" / fd->path().filename())) return true;
  }
  return false;
}

bool AnyProcessWrites(const std::string& path) {
  const std::string file = core::CanonicalPath(path);
  if (file.empty()) return false;
  const std::string self = std::to_string(::getpid());
  std::error_code error;
  for (fs::directory_iterator entry("/proc", error), end; !error && entry != end;
       entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (name == self || name.find_first_not_of("0123456789") != std::string::npos) continue;
    if (ProcessWrites(entry->path(), file)) return true;
  }
  return false;
}

}  // namespace

bool HeldOpenForWriting(const std::string& path) {
  const LeaseAnswer answer = AskForReadLease(path);
  if (answer != LeaseAnswer::kCannotTell) return answer == LeaseAnswer::kWriter;
  return AnyProcessWrites(path);
}

#else

bool HeldOpenForWriting(const std::string&) {
  return false;
}

#endif

}  // namespace wfdesk::tools
