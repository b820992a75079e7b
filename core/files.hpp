#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.hpp"

namespace wfdesk::core {

struct Context;

// Listing rules of the platform: the last component of a path may hold the
// wildcards * and ?, names match without regard to ASCII case, and only
// normal files are listed (no folders, no hidden files, whose names begin
// with "."). A path ending in "/" lists every normal file of that folder.

// True when the listing of path yields at least one file.
bool FileListed(const std::string& path);

// The files the listing of path yields, as paths, in file-name order.
std::vector<std::string> ListedFiles(const std::string& path);

// Names of the normal files of a folder in file-name order: ASCII letters
// compare as upper case, as the platform's file system orders them.
std::vector<std::string> FolderFileNames(const std::string& folder);

// FolderFileNames that fails when the folder cannot be listed.
FileResult ReadFolderFileNames(const std::string& folder, std::vector<std::string>& names);

// Whether name matches pattern (* and ?, ASCII case ignored, "*.*" = all).
bool MatchesFileMask(std::string_view name, std::string_view pattern);

// True for an existing regular file, hidden or read-only ones included.
bool IsPlainFile(const std::string& path);

// Whether another program still has the file open for writing, as far as
// this program can see: an accounting system that writes an export keeps it
// open until the export is complete. On Linux the kernel refuses a read
// lease on a file that any process has open for writing; that asks every
// process, but only for files this user owns. For other files the open
// files of this user's processes are looked through (/proc/PID/fd and their
// access modes). On Windows a read that denies others writing is refused
// while a writer has the file open.
bool HeldOpenForWriting(const std::string& path);

bool DirExists(const std::string& path);

// A text that changes whenever the file is written or replaced; "" for a
// missing file. Tells whether a program wrote a file.
std::string FileStamp(const std::string& path);

// Writes text as it stands. Append adds to the end (creating the file);
// otherwise the file is replaced atomically, so a failure leaves the old
// content whole. A read-only file is refused.
FileResult WriteTextFile(const std::string& path, std::string_view text, bool append);

// The whole file, or "" when it is missing; unless quiet, a missing file is
// reported to the operator as "The file PATH does not exist." in the
// language of the settings.
std::string ReadTextFile(const Context& context, const std::string& path, bool quiet);

// Deletes every file the listing of path yields; a path that names a file
// exactly deletes only that file, even when its name holds "*" or "?".
// Read-only files are not forced; they make the result a failure.
FileResult DeleteFileIfListed(const std::string& path);

// Highest number MoveFileNumbered appends to a taken target name.
inline constexpr int kMaxMoveNumber = 29999;

struct MoveResult {
  bool moved = false;
  std::string target;  // where the file went
  std::string error;   // why nothing was moved; "" when there was nothing to move
};

// Moves source to target, or to target.2, target.3, ... up to
// target.29999 when the name is taken (by any entry, hidden files and
// folders included; names differing only in case are different names).
// Never overwrites a file, and never leaves part of a file under a target
// name: across file systems the file is first copied to a hidden file
// beside the target, which a crash may leave behind.
MoveResult MoveFileNumbered(const std::string& source, const std::string& target);

// The absolute path of the file itself, links, "." and ".." resolved, so
// that every spelling of one file gives the same text; "" when it does not
// exist.
std::string CanonicalPath(const std::string& path);

// What tells one state of a file from another without reading it. The
// system sets `changed_ns` on every change of the file or its attributes;
// unlike `modified_ns`, no program can set it to a time of its choosing.
struct FileVersion {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modified_ns = 0;
  std::int64_t changed_ns = 0;

  bool operator==(const FileVersion&) const = default;
};

// The version of the file at `path` (on a network file system asked of the
// server) and, when `wants_bytes` asks for them for that version, its
// bytes; the version then describes the open file the bytes came from, even
// while the path is being replaced.
FileResult ReadFileVersion(const std::string& path, FileVersion& version,
                           const std::function<bool(const FileVersion&)>& wants_bytes,
                           std::string& bytes);

// The version of the file at `path` alone, without its bytes.
FileResult ReadFileVersion(const std::string& path, FileVersion& version);

// The real-time clock the file system stamps files with, in nanoseconds.
std::int64_t FileClockNow();

// The whole file as it stands, for callers that tell the operator
// themselves; the result says why it could not be read.
FileResult ReadFileContent(const std::string& path, std::string& bytes);

// A file as a reader that follows its growth sees it: `identity` stays the
// same while it is the same file, `stamp` changes whenever it is written.
struct FileGrowth {
  bool is_regular = false;
  std::size_t size = 0;
  std::string identity;
  std::string stamp;
};
FileGrowth InspectGrowth(const std::string& path);

// The bytes of the file from `offset` to its end.
FileResult ReadFileContentFrom(const std::string& path, std::size_t offset, std::string& bytes);

// Names of the hidden files of a folder (beginning with "."), in no order:
// the place of a program's temporary files, which listings pass over.
std::vector<std::string> HiddenFileNames(const std::string& folder);

// Creates a file that must not exist yet, with these bytes. Unlike
// WriteTextFile it does not wait for the disk: many files are written
// first and then flushed at once with FlushFileSystem.
FileResult WriteNewFile(const std::string& path, std::string_view bytes);

// Waits until everything written to the file system that holds the path
// (a file or a folder) is on the disk.
FileResult FlushFileSystem(const std::string& path);

// Deletes the one file the path names, hidden or not; no wildcards.
FileResult RemoveOneFile(const std::string& path);

// Renames a file to a name that must not exist yet (`target_taken` says
// it did). Within one file system the file appears whole under its new
// name or not at all.
FileResult RenameWithoutReplacing(const std::string& from, const std::string& to,
                                  bool& target_taken);

// Removes the temporary files that an atomic replace of `path` (WriteTextFile
// without append) left beside the file when its process was killed midway.
// Those of running processes stay: their replace may still be under way.
void RemoveStaleTemporaries(const std::string& path);

// Creates a folder and the folders above it that are missing. `created`
// receives each folder made, outermost first; folders already there are
// fine, a file in the way is not.
FileResult CreateFolders(const std::string& folder, std::vector<std::string>& created);

// A symbolic link at `path` to `target`, unless something (a file, a
// folder, a link, even one to nothing) already has the name: that entry is
// kept as it is and `taken` says so.
FileResult CreateLink(const std::string& target, const std::string& path, bool& taken);

// Whether anything has the name, a link to nothing included.
bool PathTaken(const std::string& path);

// An entry of a folder, hidden ones included.
struct FolderItem {
  std::string name;
  bool is_folder = false;  // links followed
};
// Every entry of a folder, in name order.
FileResult ReadFolderItems(const std::string& folder, std::vector<FolderItem>& items);

// The last component of a path: the file's name.
std::string FileNameOf(const std::string& path);
// The rest: the folder with its trailing separator, "" for a bare name.
std::string FolderOf(const std::string& path);

// Whether the path names its file without the current folder's help: on
// POSIX it begins with "/", on Windows with a drive ("C:") or a separator.
bool IsAbsolutePath(std::string_view path);

// The absolute form of a configured path: an absolute path stays as it is,
// anything else (the empty path included) is put behind the installation
// folder and "/".
std::string AbsolutePath(const std::string& path, const std::string& home);

// A file's bytes, read once and shared by whoever indexes them. They are a
// copy, not a mapping: another program that cuts the file short in place
// cannot pull the bytes away from under the reader.
class FileBytes {
 public:
  FileBytes() = default;
  explicit FileBytes(std::string bytes) : bytes_(std::move(bytes)) {}
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;

  std::string_view view() const { return bytes_; }

 private:
  std::string bytes_;
};

// Reads the file from its start in parts of whole lines through a buffer of
// about `buffer` bytes, so that a file of any size is read in little memory:
// the parts joined give the file, a line end is never split (CR LF
// included), and a line longer than the buffer comes whole.
FileResult ReadLineParts(const std::string& path, const std::function<void(std::string_view)>& part,
                         std::size_t buffer = std::size_t{1} << 20);

// A file's new content written in parts. The file changes only at Commit,
// at once, as WriteTextFile replaces it; without a Commit it stays as it was.
// After a failed Write, the further ones do nothing and Commit reports it.
class FileReplacement {
 public:
  explicit FileReplacement(const std::string& path);
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  void Write(std::string_view piece);
  FileResult Commit();
  std::size_t size() const { return size_; }

 private:
  struct Temporary;
  std::unique_ptr<Temporary> temporary_;
  FileResult state_;
  std::size_t size_ = 0;
};

}  // namespace wfdesk::core
