#pragma once

// The operating system as the core library uses it. Every platform call of
// the library sits behind these functions: in posix.cpp or win32*.cpp, one
// per system, and what every system does alike in common.cpp. Private to
// core: its callers outside go through core's own headers.
#ifndef WFDESK_BUILDING_CORE
#error "core/platform/ is private to wfdesk_core; include core's public headers instead"
#endif

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/files.hpp"
#include "core/process.hpp"
#include "core/result.hpp"
#include "core/seams.hpp"

namespace wfdesk::core::platform {

struct PathInfo {
  bool exists = false;
  bool is_folder = false;
  bool is_regular = false;  // a regular file, links followed
  bool read_only = false;   // the owner may not write it
  bool hidden = false;      // listings pass over it
  std::size_t size = 0;
  // Changes whenever the file is written or replaced.
  std::string stamp;
};

struct FolderEntry {
  std::string name;
  bool is_regular = false;  // links followed
  bool hidden = false;      // listings pass over it
};

// Whether a name alone makes a file hidden: on POSIX a leading ".", on
// Windows never (there the file's attributes say it).
bool IsHiddenName(std::string_view name);

// The position of the last separator between folder and name, npos for none.
std::size_t LastSeparator(std::string_view path);

// Whether the path names its file without the current folder's help.
bool IsAbsolutePath(std::string_view path);

PathInfo Inspect(const std::string& path);

// The absolute path with links, "." and ".." resolved; "" when the path
// names nothing.
std::string CanonicalPath(const std::string& path);

FileResult ListFolder(const std::string& folder, std::vector<FolderEntry>& entries);

FileResult ReadFileBytes(const std::string& path, std::string& bytes);
// See core::ReadFileVersion.
FileResult ReadFileVersion(const std::string& path, FileVersion& version,
                           const std::function<bool(const FileVersion&)>& wants_bytes,
                           std::string& bytes);
std::int64_t FileClockNow();
// The bytes from `offset` to the end of the file.
FileResult ReadFileBytesFrom(const std::string& path, std::size_t offset, std::string& bytes);

// A file open for reading from its start, read in parts into the caller's
// buffer, so that a file larger than memory can be read through.
struct OpenFile {
  std::intptr_t handle = -1;
  std::string path;
};
FileResult OpenForReading(const std::string& path, OpenFile& file);
// Reads up to `room` bytes; `got` is 0 at the end of the file.
FileResult ReadSome(const OpenFile& file, char* into, std::size_t room, std::size_t& got);
void CloseFile(OpenFile& file);

// A new content for a file, written in parts to a temporary file beside it;
// CommitReplacement then replaces the file atomically: the temporary file is
// flushed and renamed over the old one, which keeps its permissions; and
// AbandonReplacement leaves the file as it was.
struct Replacement {
  std::intptr_t handle = -1;
  std::string path, target, temp;
};
FileResult BeginReplacement(const std::string& path, Replacement& replacement);
FileResult WriteReplacement(Replacement& replacement, std::string_view piece);
FileResult CommitReplacement(Replacement& replacement);
void AbandonReplacement(Replacement& replacement);

// Appends to the file, creating it when missing. A write that fails midway
// is taken back, so the file keeps its earlier content.
FileResult AppendFileBytes(const std::string& path, std::string_view bytes);

// A file held open for appending records (log lines) to its end, for a
// writer that adds many: each record is one write at the end of the file,
// so other writers of the file interleave whole records only. While it is
// held, others may read, append to, rename and delete the file.
struct AppendingFile {
  std::intptr_t handle = -1;
  std::string path;
  std::uint64_t device = 0;  // which file the handle holds
  std::uint64_t index = 0;
};
// Opens the file for appending, creating it when missing. A read-only file
// is refused, as WriteTextFile refuses it.
FileResult OpenForAppending(const std::string& path, AppendingFile& file);
// What the path names now, with one status call: the held file, the held
// file made read-only, or something else (nothing, or a new file after the
// held one was deleted or moved away).
enum class AppendingState { kHeld, kReadOnly, kElsewhere };
AppendingState CheckAppending(const AppendingFile& file);
// Appends the record with a single write. A write that lands only in part
// is taken back, so the file never keeps part of a record.
FileResult AppendRecord(const AppendingFile& file, std::string_view record);
void CloseAppending(AppendingFile& file);

FileResult RemoveFile(const std::string& path);

// Creates a file that must not exist yet and writes it, without waiting for
// the disk; a failed write removes the file again.
FileResult CreateFileBytes(const std::string& path, std::string_view bytes);

// Waits until everything written to the file system that holds the path
// is on the disk.
FileResult FlushFileSystem(const std::string& path);

// Renames a file to a name that must not exist yet. `target_taken` tells
// the caller to try another name; `needs_copy` that the name lies on another
// file system (or one that cannot rename without replacing), so the file
// must be copied there with CopyToHiddenFileBeside and LinkWithoutReplacing.
FileResult RenameWithoutReplacing(const std::string& from, const std::string& to,
                                  bool& target_taken, bool& needs_copy);

// Copies a file, with its permissions and modification time, to a new
// hidden file in the folder of `beside` and flushes it to disk; `copy`
// receives its path. A failed copy leaves nothing behind.
FileResult CopyToHiddenFileBeside(const std::string& from, const std::string& beside,
                                  std::string& copy);

// Gives the file `from` the further name `to`, which must not exist yet;
// `target_taken` as above. Where the file system has no hard links, `from`
// is renamed instead.
FileResult LinkWithoutReplacing(const std::string& from, const std::string& to, bool& target_taken);

// The folder of a path ("." for a bare name), the name in it, and a name
// joined to a folder, as the system writes paths.
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);
std::string InFolder(const std::string& folder, std::string_view name);

// The file that a replacement of `path` replaces: on POSIX with links
// followed, so that the link stays.
std::string ReplacedFile(const std::string& path);

// A new name for a temporary file beside `path`, hidden in listings; it
// carries this process's id, so that RemoveStaleTemporaries knows its owner.
std::string NewTemporaryPath(const std::string& path);

std::uint32_t CurrentProcessId();
// Whether the process still runs; one we may not ask about counts as running.
bool ProcessRuns(std::uint32_t pid);

// Removes the temporary files a replacement of `path` left beside the
// file when its process was killed midway: those of processes that no
// longer run. A file that cannot be removed is passed over.
void RemoveStaleTemporaries(const std::string& path);

// Takes an exclusive advisory lock on a file (created when missing) without
// waiting. The lock lasts while the returned descriptor is open and ends
// with the process, however it ends; `inherited` lets the programs the
// process starts hold it as well. Returns -1 with `busy` set when another
// holder has it.
int TryLockFile(const std::string& path, bool inherited, bool& busy, std::string& error);
void UnlockFile(int descriptor);

LocalTime LocalNow();
GuidBytes RandomGuidBytes();
ProcessResult SpawnAndWait(const CommandLine& command);

// TERM, INT and HUP set the stop signal instead of ending the process; a
// SpawnAndWait under way ends its program then.
void CatchStopSignals();
// The signal that requested a stop, 0 for none.
int CaughtStopSignal();

// Creates a folder; `existed` tells that a folder of that name was there.
FileResult MakeFolder(const std::string& folder, bool& existed);

// Creates a symbolic link at `path` to `target`; an entry already at `path`
// is left alone and reported through `taken`.
FileResult MakeLink(const std::string& target, const std::string& path, bool& taken);

// Whether anything has the name, a link to nothing included.
bool EntryExists(const std::string& path);

// Whether the path names a regular file this process may execute.
bool IsExecutableFile(const std::string& path);

// See core::HeldOpenForWriting.
bool HeldOpenForWriting(const std::string& path);

std::optional<std::string> GetEnvironment(const char* name);
std::string ExecutableFolder();
// The absolute path of the running program; "" when the system cannot say.
std::string ExecutablePath();
std::string CurrentFolder();
FileResult ChangeFolder(const std::string& folder);

}  // namespace wfdesk::core::platform
