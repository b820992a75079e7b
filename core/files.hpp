#pragma once

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

// Whether name matches pattern (* and ?, ASCII case ignored, "*.*" = all).
bool MatchesFileMask(std::string_view name, std::string_view pattern);

// True for an existing regular file, hidden or read-only ones included.
bool IsPlainFile(const std::string& path);

bool DirExists(const std::string& path);

// A text that changes whenever the file is written or replaced; "" for a
// missing file. Tells whether a program wrote a file.
std::string FileStamp(const std::string& path);

// Writes text as it stands. Append adds to the end (creating the file);
// otherwise the file is replaced atomically, so a failure leaves the old
// content whole. A read-only file is refused.
FileResult WriteTextFile(const std::string& path, std::string_view text, bool append);

// WriteTextFile with CR LF after the text.
FileResult WriteTextLine(const std::string& path, std::string_view text, bool append);

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
// target.29999 when the name is taken. Never overwrites a file.
MoveResult MoveFileNumbered(const std::string& source, const std::string& target);

// The file a path names, links followed, so that every name of one file
// gives the same path; the path as given when it names nothing.
std::string ResolvedPath(const std::string& path);

// Removes the temporary files that an atomic replace of `path` (WriteTextFile
// without append) left beside the file when its process was killed midway.
// Those of running processes stay: their replace may still be under way.
void RemoveStaleTemporaries(const std::string& path);

// The last component of a path: the file's name.
std::string FileNameOf(const std::string& path);

// The absolute form of a configured path: an absolute path stays as it is,
// anything else (the empty path included) is put behind the installation
// folder and "/".
std::string AbsolutePath(const std::string& path, const std::string& home);

}  // namespace wfdesk::core
