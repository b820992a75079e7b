#include "core/files.hpp"
#include "core/ascii.hpp"

#include <algorithm>
#include <unordered_set>

#include "core/context.hpp"
#include "core/language.hpp"
#include "core/platform.hpp"

namespace wfdesk::core {

namespace {

bool IsHiddenName(std::string_view name) {
  return !name.empty() && name.front() == '.';
}

bool HasWildcard(std::string_view name) {
  return name.find_first_of("*?") != std::string_view::npos;
}

struct SplitPath {
  std::string folder;  // as given, with its trailing "/"; "" for the current folder
  std::string name;    // the last component; "" when the path ends in "/"
};

SplitPath Split(const std::string& path) {
  const auto slash = path.rfind(kPathSeparator);
  if (slash == std::string::npos) return {"", path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

std::string ListableFolder(const std::string& folder) {
  return folder.empty() ? "." : folder;
}

bool IsListedEntry(const platform::FolderEntry& entry) {
  return entry.is_regular && !IsHiddenName(entry.name);
}

bool FileOrderLess(const std::string& a, const std::string& b) {
  const std::string ua = UpperAscii(a);
  const std::string ub = UpperAscii(b);
  return ua != ub ? ua < ub : a < b;
}

// The names of the listing of path, in file-name order; stops after the
// first when `first_only`.
std::vector<std::string> ListedNames(const std::string& path, bool first_only) {
  if (path.empty()) return {};
  const SplitPath split = Split(path);
  if (IsHiddenName(split.name)) return {};
  if (!split.name.empty() && !HasWildcard(split.name)) {
    // The common case: the name itself, spelt as given.
    const auto info = platform::Inspect(path);
    if (info.is_regular) return {split.name};
    if (info.exists) return {};
  }
  std::vector<platform::FolderEntry> entries;
  if (!platform::ListFolder(ListableFolder(split.folder), entries)) return {};
  std::vector<std::string> names;
  for (const auto& entry : entries) {
    if (!IsListedEntry(entry)) continue;
    if (!split.name.empty() && !MatchesFileMask(entry.name, split.name)) continue;
    names.push_back(entry.name);
    if (first_only) break;
  }
  std::sort(names.begin(), names.end(), FileOrderLess);
  return names;
}

}  // namespace

bool MatchesFileMask(std::string_view name, std::string_view pattern) {
  if (pattern == "*.*") pattern = "*";
  // Iterative glob with one backtracking point for the last "*".
  std::size_t n = 0, p = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || UpperAscii(pattern[p]) == UpperAscii(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool FileListed(const std::string& path) {
  return !ListedNames(path, true).empty();
}

std::vector<std::string> ListedFiles(const std::string& path) {
  const std::string folder = Split(path).folder;
  std::vector<std::string> paths;
  for (const auto& name : ListedNames(path, false)) paths.push_back(folder + name);
  return paths;
}

std::vector<std::string> FolderFileNames(const std::string& folder) {
  std::string listing = folder;
  if (listing.empty() || listing.back() != kPathSeparator) listing += kPathSeparator;
  return ListedNames(listing, false);
}

bool IsPlainFile(const std::string& path) {
  return platform::Inspect(path).is_regular;
}

bool DirExists(const std::string& path) {
  return platform::Inspect(path).is_folder;
}

std::string FileStamp(const std::string& path) {
  return platform::Inspect(path).stamp;
}

FileResult WriteTextFile(const std::string& path, std::string_view text, bool append) {
  const auto info = platform::Inspect(path);
  if (info.exists && info.read_only)
    return FileResult::Failed("The file " + path + " is read-only");
  return append ? platform::AppendFileBytes(path, text) : platform::ReplaceFileBytes(path, text);
}

FileResult WriteTextLine(const std::string& path, std::string_view text, bool append) {
  std::string line(text);
  line += "\r\n";
  return WriteTextFile(path, line, append);
}

std::string ReadTextFile(const Context& context, const std::string& path, bool quiet) {
  if (!IsPlainFile(path)) {
    if (!quiet) {
      const auto language = context.settings.language;
      context.person.Tell(GetLanguageText("lg_mesg_file001", language) + path +
                          GetLanguageText("lg_mesg_file002", language));
    }
    return "";
  }
  std::string text;
  if (const auto read = platform::ReadFileBytes(path, text); !read) {
    if (!quiet) context.person.Tell(read.error);
    return "";
  }
  return text;
}

// A listed file that the path names exactly, so that a name holding "*" or
// "?" deletes or moves that one file and not every file it would match.
bool NamesListedFileExactly(const std::string& path) {
  return !IsHiddenName(Split(path).name) && platform::Inspect(path).is_regular;
}

FileResult DeleteFileIfListed(const std::string& path) {
  const std::vector<std::string> files =
      NamesListedFileExactly(path) ? std::vector<std::string>{path} : ListedFiles(path);
  std::string failures;
  for (const auto& file : files) {
    FileResult result = platform::Inspect(file).read_only
                            ? FileResult::Failed("The file " + file + " is read-only")
                            : platform::RemoveFile(file);
    if (!result) failures += (failures.empty() ? "" : "; ") + result.error;
  }
  return failures.empty() ? FileResult::Ok() : FileResult::Failed(failures);
}

MoveResult MoveFileNumbered(const std::string& source, const std::string& target) {
  MoveResult result;
  if (HasWildcard(Split(source).name) && !NamesListedFileExactly(source)) {
    result.error = "Cannot move " + source + ": a name pattern names no single file";
    return result;
  }
  if (!FileListed(source)) return result;

  // Names taken in the target folder, compared as the listing compares them.
  std::unordered_set<std::string> taken;
  for (const auto& name : FolderFileNames(ListableFolder(Split(target).folder))) {
    taken.insert(UpperAscii(name));
  }
  const std::string target_name = UpperAscii(Split(target).name);
  for (int number = 1; number <= kMaxMoveNumber; ++number) {
    std::string suffix;
    if (number > 1) suffix.append(".").append(std::to_string(number));
    if (taken.count(target_name + suffix)) continue;
    const std::string candidate = target + suffix;
    bool target_taken = false;
    const FileResult moved = platform::MoveWithoutReplacing(source, candidate, target_taken);
    if (moved) {
      result.moved = true;
      result.target = candidate;
      return result;
    }
    // A hidden file or a folder of that name: go on with the next number.
    if (!target_taken) {
      result.error = moved.error;
      return result;
    }
  }
  result.error = "Cannot move " + source + ": " + target + " and all its numbered names are taken";
  return result;
}

std::string ResolvedPath(const std::string& path) {
  return platform::ResolvePath(path);
}

void RemoveStaleTemporaries(const std::string& path) {
  platform::RemoveStaleTemporaries(path);
}

std::string FileNameOf(const std::string& path) {
  return Split(path).name;
}

std::string AbsolutePath(const std::string& path, const std::string& home) {
  if (!path.empty() && path.front() == kPathSeparator) return path;
  return home + kPathSeparator + path;
}

}  // namespace wfdesk::core
