// The platform layer on Windows: the wide-character API throughout. The
// library's texts are bytes in the ANSI code page, as the files it reads
// and writes are; they become UTF-16 only at the system's door.
#include "core/platform/win32_common.hpp"
// After windows.h, which they need.
#include <io.h>
#include <objbase.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

#include "core/language.hpp"
#include "core/platform/platform.hpp"

namespace wfdesk::core::platform {

namespace {

using win32::Handle;
using win32::Narrow;
using win32::Why;
using win32::Wide;

// The platform has no settings at hand: its reasons are English.
std::string Reason(std::string_view key, std::initializer_list<std::string_view> values) {
  return FormatLanguageText(key, kEnglish, values);
}

FileResult Failed(std::string_view key, const std::string& path, DWORD error) {
  return FileResult::Failed(Reason(key, {path, Why(error)}));
}

FileResult Failed(std::string_view key, const std::string& from, const std::string& to,
                  DWORD error) {
  return FileResult::Failed(Reason(key, {from, to, Why(error)}));
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Whether a failure may come from a file being replaced right now: unlike
// a POSIX rename, a replace on Windows briefly bars other openers.
bool Transient(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
         error == ERROR_LOCK_VIOLATION;
}

bool Succeeded(HANDLE handle) {
  return handle != INVALID_HANDLE_VALUE;
}

bool Succeeded(BOOL done) {
  return done != FALSE;
}

// Tries again for about half a second while the failure is transient.
template <typename Attempt>
auto Retrying(Attempt attempt) {
  constexpr int kAttempts = 100;
  for (int i = 1;; ++i) {
    const auto result = attempt();
    const DWORD error = ::GetLastError();
    if (Succeeded(result) || i == kAttempts || !Transient(error)) {
      ::SetLastError(error);
      return result;
    }
    ::Sleep(5);
  }
}

HANDLE OpenForReading(const std::string& path) {
  const std::wstring wide = Wide(path);
  return Retrying([&] {
    return ::CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  });
}

// A handle that only asks about the file (or folder), links followed.
HANDLE OpenForQuery(const std::string& path) {
  const std::wstring wide = Wide(path);
  return Retrying([&] {
    return ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  });
}

bool WriteAll(HANDLE file, std::string_view bytes, DWORD& error) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) {
      error = ::GetLastError();
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

}  // namespace

std::string FolderOf(const std::string& path) {
  const auto slash = LastSeparator(path);
  if (slash == std::string::npos) return ".";
  if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const auto slash = LastSeparator(path);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string InFolder(const std::string& folder, std::string_view name) {
  const std::string text(name);
  return !folder.empty() && IsSeparator(folder.back()) ? folder + text : folder + "\\" + text;
}

namespace {

// Windows counts file times in 100 ns steps since 1601; the library in
// nanoseconds since 1970.
constexpr std::int64_t kEpochDifference = 116444736000000000LL;

std::int64_t Nanoseconds(std::int64_t file_time) {
  return (file_time - kEpochDifference) * 100;
}

std::int64_t Nanoseconds(const FILETIME& time) {
  return Nanoseconds(static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime));
}

struct HandleFacts {
  BY_HANDLE_FILE_INFORMATION info{};
  FILE_BASIC_INFO basic{};
};

bool FactsOf(HANDLE file, HandleFacts& facts) {
  if (!::GetFileInformationByHandle(file, &facts.info)) return false;
  if (!::GetFileInformationByHandleEx(file, FileBasicInfo, &facts.basic, sizeof facts.basic)) {
    // Without a change time the write time stands in for it.
    facts.basic.ChangeTime.QuadPart = static_cast<LONGLONG>(
        (static_cast<std::uint64_t>(facts.info.ftLastWriteTime.dwHighDateTime) << 32) |
        facts.info.ftLastWriteTime.dwLowDateTime);
  }
  return true;
}

std::uint64_t SizeOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

std::uint64_t IndexOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

FileVersion VersionOf(const HandleFacts& facts) {
  return {facts.info.dwVolumeSerialNumber, IndexOf(facts.info), SizeOf(facts.info),
          Nanoseconds(facts.info.ftLastWriteTime), Nanoseconds(facts.basic.ChangeTime.QuadPart)};
}

bool IsHiddenAttribute(DWORD attributes) {
  return (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

bool IsRegularAttribute(DWORD attributes) {
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

// Temporary files carry the hidden attribute, so that listings pass over them.
HANDLE OpenTemporaryBeside(const std::string& path, std::string& temp_path) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_path = NewTemporaryPath(path);
    HANDLE file = ::CreateFileW(Wide(temp_path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  ::SetLastError(ERROR_FILE_EXISTS);
  return INVALID_HANDLE_VALUE;
}

// Gives an open file these attributes (the hidden one of a temporary
// included) before it takes its real name.
bool SetAttributes(HANDLE file, DWORD attributes) {
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
  return ::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) != 0;
}

}  // namespace

std::uint32_t CurrentProcessId() {
  return ::GetCurrentProcessId();
}

// A process we may not open still runs.
bool ProcessRuns(std::uint32_t pid) {
  Handle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
  if (!process.valid()) return ::GetLastError() == ERROR_ACCESS_DENIED;
  return ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

// The path itself: a replacement on Windows does not follow links.
std::string ReplacedFile(const std::string& path) {
  return path;
}

namespace {

DWORD CopyBytes(HANDLE in, HANDLE out) {
  char buffer[65536];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(in, buffer, sizeof buffer, &n, nullptr)) return ::GetLastError();
    if (n == 0) return 0;
    DWORD error = 0;
    if (!WriteAll(out, {buffer, n}, error)) return error;
  }
}

// Reads to the end straight into `bytes`; `expected` is the size known.
bool ReadToEnd(HANDLE file, std::size_t expected, std::string& bytes, DWORD& error) {
  bytes.resize(expected + 1);  // the extra byte tells a file that grew meanwhile
  std::size_t filled = 0;
  for (;;) {
    if (filled == bytes.size()) bytes.resize(bytes.size() * 2);
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - filled, 1u << 30));
    DWORD n = 0;
    if (!::ReadFile(file, bytes.data() + filled, chunk, &n, nullptr)) {
      error = ::GetLastError();
      return false;
    }
    if (n == 0) break;
    filled += n;
  }
  bytes.resize(filled);
  return true;
}

}  // namespace

bool IsHiddenName(std::string_view) {
  return false;
}

std::size_t LastSeparator(std::string_view path) {
  return path.find_last_of("\\/");
}

// "C:..." with a drive letter, or "\\..." from the root of the current drive
// or a share.
bool IsAbsolutePath(std::string_view path) {
  return (path.size() >= 2 && path[1] == ':') || (!path.empty() && IsSeparator(path.front()));
}

PathInfo Inspect(const std::string& path) {
  PathInfo info;
  if (path.empty()) return info;
  Handle file(OpenForQuery(path));
  HandleFacts facts;
  if (!file.valid() || !FactsOf(file.get(), facts)) return info;
  const DWORD attributes = facts.info.dwFileAttributes;
  info.exists = true;
  info.is_folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info.is_regular = IsRegularAttribute(attributes);
  info.hidden = IsHiddenAttribute(attributes);
  info.read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  info.size = static_cast<std::size_t>(SizeOf(facts.info));
  const FileVersion version = VersionOf(facts);
  info.stamp = std::to_string(version.device) + ":" + std::to_string(version.inode) + ":" +
               std::to_string(version.size) + ":" + std::to_string(version.modified_ns) + ":" +
               std::to_string(version.changed_ns);
  return info;
}

std::string CanonicalPath(const std::string& path) {
  Handle file(OpenForQuery(path));
  if (!file.valid()) return "";
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetFinalPathNameByHandleW(file.get(), buffer.data(),
                                                static_cast<DWORD>(buffer.size()), 0);
    if (n == 0) return "";
    if (n < buffer.size()) {
      buffer.resize(n);
      break;
    }
    buffer.resize(n + 1);
  }
  // Drop the "\\?\" of the long form where the short one names the file.
  if (buffer.starts_with(L"\\\\?\\UNC\\")) return "\\" + Narrow(buffer.substr(7));
  if (buffer.starts_with(L"\\\\?\\")) return Narrow(buffer.substr(4));
  return Narrow(buffer);
}

FileResult ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) {
  WIN32_FIND_DATAW found{};
  Handle search(::FindFirstFileExW(Wide(InFolder(folder, "*")).c_str(), FindExInfoBasic, &found,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (!search.valid()) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return FileResult::Ok();  // an empty drive root
    return Failed("lg_mesg_sys003", folder, error);
  }
  do {
    const std::string name = Narrow(found.cFileName);
    if (name == "." || name == "..") continue;
    FolderEntry entry{name, IsRegularAttribute(found.dwFileAttributes),
                      IsHiddenAttribute(found.dwFileAttributes)};
    if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      entry.is_regular = Inspect(InFolder(folder, name)).is_regular;
    }
    entries.push_back(std::move(entry));
  } while (::FindNextFileW(search.get(), &found));
  ::FindClose(search.release());
  return FileResult::Ok();
}

FileResult ReadFileBytes(const std::string& path, std::string& bytes) {
  return ReadFileBytesFrom(path, 0, bytes);
}

FileResult ReadFileBytesFrom(const std::string& path, std::size_t offset, std::string& bytes) {
  bytes.clear();
  Handle file(OpenForReading(path));
  HandleFacts facts;
  if (!file.valid() || !FactsOf(file.get(), facts)) {
    return Failed("lg_mesg_sys004", path, ::GetLastError());
  }
  if (!IsRegularAttribute(facts.info.dwFileAttributes)) {
    return Failed("lg_mesg_sys004", path, ERROR_DIRECTORY);
  }
  LARGE_INTEGER start{};
  start.QuadPart = static_cast<LONGLONG>(offset);
  if (offset > 0 && !::SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) {
    return Failed("lg_mesg_sys004", path, ::GetLastError());
  }
  const std::uint64_t size = SizeOf(facts.info);
  DWORD error = 0;
  if (!ReadToEnd(file.get(), size > offset ? size - offset : 0, bytes, error)) {
    return Failed("lg_mesg_sys004", path, error);
  }
  return FileResult::Ok();
}

FileResult ReadFileVersion(const std::string& path, FileVersion& version,
                           const std::function<bool(const FileVersion&)>& wants_bytes,
                           std::string& bytes) {
  bytes.clear();
  HandleFacts facts;
  {
    Handle query(OpenForQuery(path));
    if (!query.valid() || !FactsOf(query.get(), facts)) {
      return Failed("lg_mesg_sys004", path, ::GetLastError());
    }
  }
  if (facts.info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    return Failed("lg_mesg_sys004", path, ERROR_DIRECTORY);
  }
  version = VersionOf(facts);
  if (!wants_bytes(version)) return FileResult::Ok();
  Handle file(OpenForReading(path));
  DWORD error = 0;
  if (!file.valid() || !FactsOf(file.get(), facts)) {
    return Failed("lg_mesg_sys004", path, ::GetLastError());
  }
  version = VersionOf(facts);
  if (!ReadToEnd(file.get(), static_cast<std::size_t>(version.size), bytes, error)) {
    return Failed("lg_mesg_sys004", path, error);
  }
  return FileResult::Ok();
}

std::int64_t FileClockNow() {
  FILETIME now{};
  ::GetSystemTimePreciseAsFileTime(&now);
  return Nanoseconds(now);
}

FileResult AppendFileBytes(const std::string& path, std::string_view bytes) {
  if (path.empty()) return FileResult::Failed(Reason("lg_mesg_sys006", {}));
  // Append-only access: every write lands at the end, even with other writers.
  Handle file(::CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, kShareAll,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return Failed("lg_mesg_sys005", path, ::GetLastError());
  LARGE_INTEGER size{};
  const bool sized = ::GetFileSizeEx(file.get(), &size) != 0;
  DWORD error = 0;
  if (WriteAll(file.get(), bytes, error)) return FileResult::Ok();
  file.reset();
  if (sized) {
    Handle again(::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (again.valid() && ::SetFilePointerEx(again.get(), size, nullptr, FILE_BEGIN)) {
      ::SetEndOfFile(again.get());
    }
  }
  return Failed("lg_mesg_sys005", path, error);
}

namespace {

// Puts the finished temporary file in the place of `target` with one
// rename, as POSIX does. (ReplaceFileW would keep the old file's security
// descriptor, but is no single step: it can fail halfway with the old file
// moved aside.) A reader that has the file open at that moment makes the
// rename fail for a moment.
DWORD PutInPlace(const std::string& temp, const std::string& target) {
  const std::wstring wide_target = Wide(target);
  const std::wstring wide_temp = Wide(temp);
  const BOOL moved = Retrying([&] {
    return ::MoveFileExW(wide_temp.c_str(), wide_target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  });
  return moved ? 0 : ::GetLastError();
}

}  // namespace

namespace {

HANDLE HandleOf(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

std::intptr_t NumberOf(HANDLE handle) {
  return reinterpret_cast<std::intptr_t>(handle);
}

}  // namespace

FileResult OpenForReading(const std::string& path, OpenFile& file) {
  CloseFile(file);
  file.path = path;
  Handle opened(OpenForReading(path));
  HandleFacts facts;
  if (!opened.valid() || !FactsOf(opened.get(), facts)) {
    return Failed("lg_mesg_sys004", path, ::GetLastError());
  }
  if (!IsRegularAttribute(facts.info.dwFileAttributes)) {
    return Failed("lg_mesg_sys004", path, ERROR_DIRECTORY);
  }
  file.handle = NumberOf(opened.release());
  return FileResult::Ok();
}

FileResult ReadSome(const OpenFile& file, char* into, std::size_t room, std::size_t& got) {
  DWORD n = 0;
  const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(room, 1u << 30));
  got = 0;
  if (!::ReadFile(HandleOf(file.handle), into, chunk, &n, nullptr)) {
    return Failed("lg_mesg_sys004", file.path, ::GetLastError());
  }
  got = n;
  return FileResult::Ok();
}

void CloseFile(OpenFile& file) {
  if (file.handle != -1) ::CloseHandle(HandleOf(std::exchange(file.handle, -1)));
}

FileResult OpenForAppending(const std::string& path, AppendingFile& file) {
  CloseAppending(file);
  if (path.empty()) return FileResult::Failed(Reason("lg_mesg_sys006", {}));
  // Append-only access, as AppendFileBytes; sharing everything lets others
  // read, append to, rename and delete the file while it is held.
  Handle held(::CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, kShareAll,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!held.valid()) {
    const DWORD error = ::GetLastError();
    const PathInfo info = Inspect(path);
    if (info.exists && info.read_only) {
      return FileResult::Failed(Reason("lg_mesg_file003", {path}));
    }
    return Failed("lg_mesg_sys005", path, error);
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(held.get(), &info)) {
    return Failed("lg_mesg_sys005", path, ::GetLastError());
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
    return FileResult::Failed(Reason("lg_mesg_file003", {path}));
  }
  file.handle = NumberOf(held.release());
  file.path = path;
  file.device = info.dwVolumeSerialNumber;
  file.index = IndexOf(info);
  return FileResult::Ok();
}

AppendingState CheckAppending(const AppendingFile& file) {
  // No retries: a file whose deletion waits for its last handle refuses
  // every opener, and ours may be that handle.
  Handle query(::CreateFileW(Wide(file.path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!query.valid() || !::GetFileInformationByHandle(query.get(), &info) ||
      info.dwVolumeSerialNumber != file.device || IndexOf(info) != file.index) {
    return AppendingState::kElsewhere;
  }
  return (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? AppendingState::kReadOnly
                                                                : AppendingState::kHeld;
}

FileResult AppendRecord(const AppendingFile& file, std::string_view record) {
  const HANDLE handle = HandleOf(file.handle);
  if (record.size() > MAXDWORD) return Failed("lg_mesg_sys005", file.path, ERROR_INVALID_PARAMETER);
  DWORD written = 0;
  const BOOL done =
      ::WriteFile(handle, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  if (done && written == record.size()) return FileResult::Ok();
  const DWORD error = done ? ERROR_DISK_FULL : ::GetLastError();
  LARGE_INTEGER end{};
  if (written > 0 && ::GetFileSizeEx(handle, &end)) {
    // The part would join the next writer's record: taken back through a
    // handle that may set the end, as the append-only one may not.
    Handle again(::CreateFileW(Wide(file.path).c_str(), GENERIC_WRITE, kShareAll, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    end.QuadPart -= written;
    if (again.valid() && ::SetFilePointerEx(again.get(), end, nullptr, FILE_BEGIN)) {
      ::SetEndOfFile(again.get());
    }
  }
  return Failed("lg_mesg_sys005", file.path, error);
}

void CloseAppending(AppendingFile& file) {
  if (file.handle != -1) ::CloseHandle(HandleOf(file.handle));
  file = {};
}

FileResult BeginReplacement(const std::string& path, Replacement& replacement) {
  AbandonReplacement(replacement);
  if (path.empty()) return FileResult::Failed(Reason("lg_mesg_sys006", {}));
  // Some file systems (Wine's among them) let a file replace a folder.
  if (Inspect(path).is_folder) return Failed("lg_mesg_sys005", path, ERROR_ACCESS_DENIED);
  replacement.path = path;
  replacement.target = path;
  HANDLE file = OpenTemporaryBeside(path, replacement.temp);
  if (file == INVALID_HANDLE_VALUE) return Failed("lg_mesg_sys005", path, ::GetLastError());
  replacement.handle = NumberOf(file);
  return FileResult::Ok();
}

FileResult WriteReplacement(Replacement& replacement, std::string_view piece) {
  DWORD error = 0;
  if (WriteAll(HandleOf(replacement.handle), piece, error)) return FileResult::Ok();
  return Failed("lg_mesg_sys005", replacement.path, error);
}

FileResult CommitReplacement(Replacement& replacement) {
  Handle file(HandleOf(std::exchange(replacement.handle, -1)));
  const DWORD old_attributes = ::GetFileAttributesW(Wide(replacement.target).c_str());
  const DWORD attributes = old_attributes == INVALID_FILE_ATTRIBUTES ? 0 : old_attributes;
  DWORD error = 0;
  if (!::FlushFileBuffers(file.get()) || !SetAttributes(file.get(), attributes)) {
    error = ::GetLastError();
  }
  file.reset();
  if (error == 0) error = PutInPlace(replacement.temp, replacement.target);
  if (error == 0) return FileResult::Ok();
  ::DeleteFileW(Wide(replacement.temp).c_str());
  return Failed("lg_mesg_sys005", replacement.path, error);
}

void AbandonReplacement(Replacement& replacement) {
  if (replacement.handle == -1) return;
  ::CloseHandle(HandleOf(std::exchange(replacement.handle, -1)));
  ::DeleteFileW(Wide(replacement.temp).c_str());
}

FileResult CreateFileBytes(const std::string& path, std::string_view bytes) {
  Handle file(::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return Failed("lg_mesg_sys002", path, ::GetLastError());
  DWORD error = 0;
  // Windows flushes a volume only for administrators, so each new file is
  // flushed on its own here and FlushFileSystem flushes the folder.
  bool ok = WriteAll(file.get(), bytes, error);
  if (ok && !::FlushFileBuffers(file.get())) {
    error = ::GetLastError();
    ok = false;
  }
  file.reset();
  if (!ok) {
    ::DeleteFileW(Wide(path).c_str());
    return Failed("lg_mesg_sys005", path, error);
  }
  return FileResult::Ok();
}

FileResult FlushFileSystem(const std::string& path) {
  Handle file(::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) {
    // A read-only file or folder has nothing of ours to flush.
    file.reset(OpenForQuery(path));
    if (!file.valid()) return Failed("lg_mesg_sys007", path, ::GetLastError());
    return FileResult::Ok();
  }
  if (!::FlushFileBuffers(file.get())) {
    const DWORD error = ::GetLastError();
    // Folders cannot be flushed on every file system; their files were.
    if (error != ERROR_ACCESS_DENIED && error != ERROR_INVALID_FUNCTION) {
      return Failed("lg_mesg_sys007", path, error);
    }
  }
  return FileResult::Ok();
}

FileResult RemoveFile(const std::string& path) {
  if (!::DeleteFileW(Wide(path).c_str())) return Failed("lg_mesg_sys008", path, ::GetLastError());
  return FileResult::Ok();
}

FileResult RenameWithoutReplacing(const std::string& from, const std::string& to,
                                  bool& target_taken, bool& needs_copy) {
  target_taken = needs_copy = false;
  // Without MOVEFILE_REPLACE_EXISTING a rename never replaces.
  if (::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), 0)) return FileResult::Ok();
  const DWORD error = ::GetLastError();
  target_taken = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
  needs_copy = error == ERROR_NOT_SAME_DEVICE;
  return Failed("lg_mesg_sys001", from, to, error);
}

FileResult CopyToHiddenFileBeside(const std::string& from, const std::string& beside,
                                  std::string& copy) {
  copy.clear();
  Handle in(OpenForReading(from));
  if (!in.valid()) return Failed("lg_mesg_sys004", from, ::GetLastError());
  FILETIME created{}, accessed{}, written{};
  if (!::GetFileTime(in.get(), &created, &accessed, &written)) {
    return Failed("lg_mesg_sys004", from, ::GetLastError());
  }
  std::string temp;
  Handle out(OpenTemporaryBeside(beside, temp));
  if (!out.valid()) return Failed("lg_mesg_sys009", beside, ::GetLastError());
  DWORD error = CopyBytes(in.get(), out.get());
  if (error == 0 && !::SetFileTime(out.get(), nullptr, &accessed, &written)) {
    error = ::GetLastError();
  }
  if (error == 0 && !::FlushFileBuffers(out.get())) error = ::GetLastError();
  out.reset();
  if (error != 0) {
    ::DeleteFileW(Wide(temp).c_str());
    return Failed("lg_mesg_sys010", from, temp, error);
  }
  copy = temp;
  return FileResult::Ok();
}

FileResult LinkWithoutReplacing(const std::string& from, const std::string& to,
                                bool& target_taken) {
  target_taken = false;
  // Attributes belong to the file, not to a name: the hidden copy becomes
  // a normal file before it gets its listed name.
  const std::wstring wide_from = Wide(from);
  const DWORD attributes = ::GetFileAttributesW(wide_from.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN)) {
    ::SetFileAttributesW(wide_from.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_HIDDEN});
  }
  if (::CreateHardLinkW(Wide(to).c_str(), wide_from.c_str(), nullptr)) return FileResult::Ok();
  DWORD error = ::GetLastError();
  if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) {
    // No hard links on this file system: a rename never replaces either.
    if (::MoveFileExW(wide_from.c_str(), Wide(to).c_str(), 0)) return FileResult::Ok();
    error = ::GetLastError();
  }
  target_taken = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
  return Failed("lg_mesg_sys001", from, to, error);
}

namespace {

// The lock covers one byte far past any end of file: Windows locks are
// mandatory, and a lock on the content would keep other programs from
// reading the file.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

}  // namespace

int TryLockFile(const std::string& path, bool /*inherited*/, bool& busy, std::string& error) {
  // Never inherited: a program started under the lock ends with this process
  // (SpawnAndWait puts it in a job that closes with us), so the lock need
  // not outlive us.
  busy = false;
  Handle file(::CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    error = Reason("lg_mesg_sys011", {path, Why(::GetLastError())});
    return -1;
  }
  OVERLAPPED where{};
  where.OffsetHigh = kLockOffsetHigh;
  if (!::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                    &where)) {
    const DWORD why = ::GetLastError();
    busy = why == ERROR_LOCK_VIOLATION || why == ERROR_IO_PENDING;
    error = Reason("lg_mesg_sys012", {path, Why(why)});
    return -1;
  }
  const int descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(file.get()), 0);
  if (descriptor < 0) {
    error = Reason("lg_mesg_sys011", {path, Why(ERROR_TOO_MANY_OPEN_FILES)});
    return -1;
  }
  file.release();  // the descriptor owns it now
  return descriptor;
}

void UnlockFile(int descriptor) {
  if (descriptor >= 0) ::_close(descriptor);
}

LocalTime LocalNow() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

GuidBytes RandomGuidBytes() {
  GUID guid{};
  GuidBytes bytes{};
  if (::CoCreateGuid(&guid) == S_OK) std::memcpy(bytes.data(), &guid, bytes.size());
  return bytes;
}

std::optional<std::string> GetEnvironment(const char* name) {
  const std::wstring wide_name = Wide(name);
  const DWORD n = ::GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
  if (n == 0) return std::nullopt;
  std::wstring value(n, L'\0');
  const DWORD got = ::GetEnvironmentVariableW(wide_name.c_str(), value.data(), n);
  value.resize(got);
  return Narrow(value);
}

std::string ExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return "";
    if (n < buffer.size()) {
      buffer.resize(n);
      return Narrow(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string ExecutableFolder() {
  const std::string program = ExecutablePath();
  return program.empty() ? CurrentFolder() : FolderOf(program);
}

FileResult MakeFolder(const std::string& folder, bool& existed) {
  existed = false;
  if (::CreateDirectoryW(Wide(folder).c_str(), nullptr)) return FileResult::Ok();
  const DWORD error = ::GetLastError();
  existed = error == ERROR_ALREADY_EXISTS && Inspect(folder).is_folder;
  return existed ? FileResult::Ok() : Failed("lg_mesg_sys002", folder, error);
}

// Symbolic links need a privilege on Windows: a hard link stands in, and a
// copy where the two lie on different volumes.
FileResult MakeLink(const std::string& target, const std::string& path, bool& taken) {
  taken = EntryExists(path);
  if (taken) return FileResult::Ok();
  const std::wstring wide_path = Wide(path);
  const std::wstring wide_target = Wide(target);
  if (::CreateHardLinkW(wide_path.c_str(), wide_target.c_str(), nullptr)) return FileResult::Ok();
  if (::CopyFileW(wide_target.c_str(), wide_path.c_str(), TRUE)) return FileResult::Ok();
  const DWORD error = ::GetLastError();
  taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
  return taken ? FileResult::Ok() : Failed("lg_mesg_sys002", path, error);
}

bool EntryExists(const std::string& path) {
  return !path.empty() && ::GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Windows has no execute permission: a regular file is a program to start.
bool IsExecutableFile(const std::string& path) {
  return Inspect(path).is_regular;
}

bool HeldOpenForWriting(const std::string& path) {
  HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_SHARING_VIOLATION;
  ::CloseHandle(file);
  return false;
}

std::string CurrentFolder() {
  const DWORD n = ::GetCurrentDirectoryW(0, nullptr);
  std::wstring buffer(n, L'\0');
  const DWORD got = ::GetCurrentDirectoryW(n, buffer.data());
  if (got == 0 || got >= n) return ".";
  buffer.resize(got);
  return Narrow(buffer);
}

FileResult ChangeFolder(const std::string& folder) {
  if (!::SetCurrentDirectoryW(Wide(folder).c_str())) {
    return Failed("lg_mesg_sys015", folder, ::GetLastError());
  }
  return FileResult::Ok();
}

}  // namespace wfdesk::core::platform
