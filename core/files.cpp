#include "core/files.hpp"
#include "core/ascii.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/context.hpp"
#include "core/language.hpp"
#include "core/platform/platform.hpp"

namespace wfdesk::core {

namespace {

bool IsHiddenName(std::string_view name) {
  return platform::IsHiddenName(name);
}

bool HasWildcard(std::string_view name) {
  return name.find_first_of("*?") != std::string_view::npos;
}

struct SplitPath {
  std::string folder;  // as given, with its trailing "/"; "" for the current folder
  std::string name;    // the last component; "" when the path ends in "/"
};

SplitPath Split(const std::string& path) {
  const auto slash = platform::LastSeparator(path);
  if (slash == std::string::npos) return {"", path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

std::string ListableFolder(const std::string& folder) {
  return folder.empty() ? "." : folder;
}

// The file functions have no settings at hand: their reasons are English.
std::string Reason(std::string_view key, std::initializer_list<std::string_view> values) {
  return FormatLanguageText(key, kEnglish, values);
}

bool IsListedEntry(const platform::FolderEntry& entry) {
  return entry.is_regular && !entry.hidden;
}

bool FileOrderLess(const std::string& a, const std::string& b) {
  const std::string ua = UpperAscii(a);
  const std::string ub = UpperAscii(b);
  return ua != ub ? ua < ub : a < b;
}

// The names of the listing of path, in file-name order; stops after the
// first when `first_only`. A folder that cannot be listed lists nothing and
// says why in `listed`.
std::vector<std::string> ListedNames(const std::string& path, bool first_only,
                                     FileResult* listed = nullptr) {
  if (path.empty()) return {};
  const SplitPath split = Split(path);
  if (IsHiddenName(split.name)) return {};
  if (!split.name.empty() && !HasWildcard(split.name)) {
    // The common case: the name itself, spelt as given.
    const auto info = platform::Inspect(path);
    if (info.is_regular && !info.hidden) return {split.name};
    if (info.exists) return {};
  }
  std::vector<platform::FolderEntry> entries;
  if (FileResult result = platform::ListFolder(ListableFolder(split.folder), entries); !result) {
    if (listed) *listed = std::move(result);
    return {};
  }
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
  std::vector<std::string> names;
  (void)ReadFolderFileNames(folder, names);
  return names;
}

FileResult ReadFolderFileNames(const std::string& folder, std::vector<std::string>& names) {
  std::string listing = folder;
  if (listing.empty() || kPathSeparators.find(listing.back()) == std::string_view::npos) {
    listing += kPathSeparator;
  }
  FileResult listed = FileResult::Ok();
  names = ListedNames(listing, false, &listed);
  return listed;
}

bool IsPlainFile(const std::string& path) {
  return platform::Inspect(path).is_regular;
}

bool HeldOpenForWriting(const std::string& path) {
  return platform::HeldOpenForWriting(path);
}

bool DirExists(const std::string& path) {
  return platform::Inspect(path).is_folder;
}

std::string FileStamp(const std::string& path) {
  return platform::Inspect(path).stamp;
}

FileResult WriteTextFile(const std::string& path, std::string_view text, bool append) {
  const auto info = platform::Inspect(path);
  if (info.exists && info.read_only) return FileResult::Failed(Reason("lg_mesg_file003", {path}));
  if (append) return platform::AppendFileBytes(path, text);
  FileReplacement replacement(path);
  replacement.Write(text);
  return replacement.Commit();
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
  if (IsHiddenName(Split(path).name)) return false;
  const auto info = platform::Inspect(path);
  return info.is_regular && !info.hidden;
}

FileResult DeleteFileIfListed(const std::string& path) {
  const std::vector<std::string> files =
      NamesListedFileExactly(path) ? std::vector<std::string>{path} : ListedFiles(path);
  std::string failures;
  for (const auto& file : files) {
    FileResult result = platform::Inspect(file).read_only
                            ? FileResult::Failed(Reason("lg_mesg_file003", {file}))
                            : platform::RemoveFile(file);
    if (!result) failures += (failures.empty() ? "" : "; ") + result.error;
  }
  return failures.empty() ? FileResult::Ok() : FileResult::Failed(failures);
}

namespace {

// One file on its way to a free name. On one file system each name is a
// single rename that never replaces. Across file systems the file is copied
// once to a hidden file in the target folder and flushed, and each name is
// then a single link to that copy: a target name never holds part of a file,
// and a crash leaves at most the hidden copy (or, just after the link, the
// file in both places).
class FileMover {
 public:
  FileMover(std::string source, std::string target)
      : source_(std::move(source)), target_(std::move(target)) {}
  ~FileMover() {
    if (!copy_.empty()) (void)platform::RemoveFile(copy_);
  }
  FileMover(const FileMover&) = delete;
  FileMover& operator=(const FileMover&) = delete;

  // Moves the file to `name`; `taken` when the name exists already.
  FileResult MoveTo(const std::string& name, bool& taken) {
    if (copy_.empty()) {
      bool needs_copy = false;
      FileResult moved = platform::RenameWithoutReplacing(source_, name, taken, needs_copy);
      if (!needs_copy) return moved;
      if (auto copied = platform::CopyToHiddenFileBeside(source_, target_, copy_); !copied) {
        return copied;
      }
    }
    if (FileResult linked = platform::LinkWithoutReplacing(copy_, name, taken); !linked) {
      return linked;
    }
    // The copy is whole under its new name: the source may go.
    if (FileResult removed = platform::RemoveFile(source_); !removed) {
      (void)platform::RemoveFile(name);
      return removed;
    }
    return FileResult::Ok();
  }

 private:
  std::string source_, target_;
  std::string copy_;  // the hidden copy in the target folder, once made
};

}  // namespace

MoveResult MoveFileNumbered(const std::string& source, const std::string& target) {
  MoveResult result;
  if (HasWildcard(Split(source).name) && !NamesListedFileExactly(source)) {
    result.error = Reason("lg_mesg_file004", {source});
    return result;
  }
  if (!FileListed(source)) return result;

  // Each name is one attempt that never replaces, so the archive folder is
  // never listed: the cost of a move does not grow with the archive.
  FileMover mover(source, target);
  for (int number = 1; number <= kMaxMoveNumber; ++number) {
    const std::string candidate = number == 1 ? target : target + "." + std::to_string(number);
    bool taken = false;
    const FileResult moved = mover.MoveTo(candidate, taken);
    if (moved) {
      result.moved = true;
      result.target = candidate;
      return result;
    }
    // A file, hidden file or folder of that name: go on with the next number.
    if (!taken) {
      result.error = moved.error;
      return result;
    }
  }
  result.error = Reason("lg_mesg_file005", {source, target});
  return result;
}

std::string CanonicalPath(const std::string& path) {
  return platform::CanonicalPath(path);
}

FileResult ReadFileContent(const std::string& path, std::string& bytes) {
  return platform::ReadFileBytes(path, bytes);
}

FileGrowth InspectGrowth(const std::string& path) {
  const platform::PathInfo info = platform::Inspect(path);
  // The stamp begins with the file's device and inode.
  const std::size_t second = info.stamp.find(':', info.stamp.find(':') + 1);
  return {info.is_regular, info.size, info.stamp.substr(0, second), info.stamp};
}

FileResult ReadFileContentFrom(const std::string& path, std::size_t offset, std::string& bytes) {
  return platform::ReadFileBytesFrom(path, offset, bytes);
}

FileResult ReadFileVersion(const std::string& path, FileVersion& version,
                           const std::function<bool(const FileVersion&)>& wants_bytes,
                           std::string& bytes) {
  return platform::ReadFileVersion(path, version, wants_bytes, bytes);
}

FileResult ReadFileVersion(const std::string& path, FileVersion& version) {
  std::string none;
  return platform::ReadFileVersion(
      path, version, [](const FileVersion&) { return false; }, none);
}

std::int64_t FileClockNow() {
  return platform::FileClockNow();
}

std::vector<std::string> HiddenFileNames(const std::string& folder) {
  std::vector<platform::FolderEntry> entries;
  std::vector<std::string> names;
  if (!platform::ListFolder(ListableFolder(folder), entries)) return names;
  for (const auto& entry : entries) {
    if (entry.is_regular && entry.hidden) names.push_back(entry.name);
  }
  return names;
}

FileResult CreateFolders(const std::string& folder, std::vector<std::string>& created) {
  for (std::size_t end = folder.find(kPathSeparator, 1);;
       end = folder.find(kPathSeparator, end + 1)) {
    const std::string part = folder.substr(0, end);
    bool existed = false;
    if (!part.empty()) {
      if (FileResult made = platform::MakeFolder(part, existed); !made) return made;
      if (!existed) created.push_back(part);
    }
    if (end == std::string::npos) return FileResult::Ok();
  }
}

FileResult CreateLink(const std::string& target, const std::string& path, bool& taken) {
  return platform::MakeLink(target, path, taken);
}

bool PathTaken(const std::string& path) {
  return platform::EntryExists(path);
}

FileResult ReadFolderItems(const std::string& folder, std::vector<FolderItem>& items) {
  std::vector<platform::FolderEntry> entries;
  if (FileResult listed = platform::ListFolder(ListableFolder(folder), entries); !listed) {
    return listed;
  }
  items.clear();
  for (const auto& entry : entries) {
    const bool is_folder =
        !entry.is_regular && platform::Inspect(folder + kPathSeparator + entry.name).is_folder;
    items.push_back({entry.name, is_folder});
  }
  std::sort(items.begin(), items.end(),
            [](const FolderItem& a, const FolderItem& b) { return a.name < b.name; });
  return FileResult::Ok();
}

FileResult WriteNewFile(const std::string& path, std::string_view bytes) {
  return platform::CreateFileBytes(path, bytes);
}

FileResult FlushFileSystem(const std::string& path) {
  return platform::FlushFileSystem(path);
}

FileResult RemoveOneFile(const std::string& path) {
  return platform::RemoveFile(path);
}

FileResult RenameWithoutReplacing(const std::string& from, const std::string& to,
                                  bool& target_taken) {
  bool needs_copy = false;
  const FileResult renamed = platform::RenameWithoutReplacing(from, to, target_taken, needs_copy);
  if (renamed || !needs_copy) return renamed;
  // A file system without a rename that never replaces: a link never does either.
  const FileResult linked = platform::LinkWithoutReplacing(from, to, target_taken);
  if (linked) (void)platform::RemoveFile(from);
  return linked;
}

void RemoveStaleTemporaries(const std::string& path) {
  platform::RemoveStaleTemporaries(path);
}

std::string FileNameOf(const std::string& path) {
  return Split(path).name;
}

std::string FolderOf(const std::string& path) {
  return Split(path).folder;
}

bool IsAbsolutePath(std::string_view path) {
  return platform::IsAbsolutePath(path);
}

std::string AbsolutePath(const std::string& path, const std::string& home) {
  if (platform::IsAbsolutePath(path)) return path;
  return home + kPathSeparator + path;
}

namespace {

// Where the whole lines of `filled` end, past their line end; 0 when no line
// ends in it. At the end of the file everything is whole; before it, a CR
// at the very end may be the first half of a CR LF still to come.
std::size_t WholeLinesEnd(std::string_view filled, bool at_end) {
  if (at_end) return filled.size();
  std::size_t end = filled.size();
  if (end > 0 && filled[end - 1] == '\r') --end;
  const std::size_t last = filled.substr(0, end).find_last_of("\r\n");
  return last == std::string_view::npos ? 0 : last + 1;
}

// Closes the file however the reading ends.
struct ClosedAtEnd {
  platform::OpenFile& file;
  ~ClosedAtEnd() { platform::CloseFile(file); }
};

}  // namespace

FileResult ReadLineParts(const std::string& path, const std::function<void(std::string_view)>& part,
                         std::size_t buffer) {
  platform::OpenFile file;
  if (auto opened = platform::OpenForReading(path, file); !opened) return opened;
  const ClosedAtEnd closer{file};
  std::string bytes(std::max<std::size_t>(buffer, 2), '\0');
  std::size_t filled = 0;
  for (;;) {
    if (filled == bytes.size()) bytes.resize(2 * bytes.size());
    std::size_t got = 0;
    if (auto read = platform::ReadSome(file, bytes.data() + filled, bytes.size() - filled, got);
        !read) {
      return read;
    }
    filled += got;
    const std::size_t whole = WholeLinesEnd(std::string_view(bytes.data(), filled), got == 0);
    if (whole > 0) {
      part(std::string_view(bytes.data(), whole));
      std::memmove(bytes.data(), bytes.data() + whole, filled - whole);
      filled -= whole;
    }
    if (got == 0) return FileResult::Ok();
  }
}

struct FileReplacement::Temporary {
  platform::Replacement replacement;
};

FileReplacement::FileReplacement(const std::string& path)
    : temporary_(std::make_unique<Temporary>()) {
  const auto info = platform::Inspect(path);
  state_ = info.exists && info.read_only
               ? FileResult::Failed(Reason("lg_mesg_file003", {path}))
               : platform::BeginReplacement(path, temporary_->replacement);
}

FileReplacement::~FileReplacement() {
  platform::AbandonReplacement(temporary_->replacement);
}

void FileReplacement::Write(std::string_view piece) {
  if (!state_ || piece.empty()) return;
  state_ = platform::WriteReplacement(temporary_->replacement, piece);
  size_ += piece.size();
}

FileResult FileReplacement::Commit() {
  if (!state_) return state_;
  state_ = platform::CommitReplacement(temporary_->replacement);
  return state_;
}

}  // namespace wfdesk::core
