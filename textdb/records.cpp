#include "textdb/records.hpp"

#include "core/files.hpp"
#include "core/language.hpp"
#include "core/settings.hpp"

namespace wfdesk::textdb {

RecordList RecordList::FromFileContent(std::string content) {
  RecordList list;
  list.blank_ = false;
  list.text_ = std::move(content);
  core::IndexLines(list.text_, 0, list.lines_);
  return list;
}

std::size_t RecordList::size() const {
  if (blank_) return 1;
  return lines_.empty() ? 0 : lines_.size() + 1;
}

std::string RecordList::Entry(std::size_t i) const {
  if (blank_) return " ";
  if (i >= lines_.size()) return "";
  return std::to_string(i) + kSeparator + std::string(Record(i));
}

bool RecordList::IsSkipped(std::size_t i) const {
  return blank_ || i >= lines_.size();
}

std::string_view RecordList::Record(std::size_t i) const {
  if (IsSkipped(i)) return {};
  return std::string_view(text_).substr(lines_[i].begin, lines_[i].length);
}

LoadStatus ReadTextDatabase(const std::string& path, RecordList& records, std::string& error) {
  if (!core::IsPlainFile(path)) {
    records = RecordList();
    return LoadStatus::kMissing;
  }
  std::string content;
  if (const auto read = core::ReadFileContent(path, content); !read) {
    records = RecordList();
    error = read.error;
    return LoadStatus::kUnreadable;
  }
  records = RecordList::FromFileContent(std::move(content));
  return LoadStatus::kLoaded;
}

std::string DatabasePath(const core::Context& context, const std::string& path) {
  return path.empty() ? context.settings.textdb : path;
}

RecordList LoadTextDatabase(const core::Context& context, const std::string& path,
                            LoadStatus* status_out) {
  const std::string file = DatabasePath(context, path);
  RecordList records;
  std::string error;
  const LoadStatus status = ReadTextDatabase(file, records, error);
  if (status_out) *status_out = status;
  const bool silent = core::LeadingNumber(context.settings.silentmode) != 0;
  if (status == LoadStatus::kMissing && !silent) {
    const auto language = context.settings.language;
    context.person.Tell(core::GetLanguageText("lg_mesg_file001", language) + file +
                        core::GetLanguageText("lg_mesg_file002", language));
  }
  if (status == LoadStatus::kUnreadable) context.person.Tell(error);
  return records;
}

namespace {

// The line with positions counted from 1, as the field walk counts them.
struct Positions {
  std::string_view line;
  long length() const { return static_cast<long>(line.size()); }
  char At(long pos) const {
    return pos >= 1 && pos <= length() ? line[std::size_t(pos - 1)] : '\0';
  }
  // First position of `what` at or after `from`, or 0.
  long Find(long from, std::string_view what) const {
    if (from < 1) from = 1;
    if (from > length()) return 0;
    const auto hit = line.find(what, std::size_t(from - 1));
    return hit == std::string_view::npos ? 0 : static_cast<long>(hit) + 1;
  }
  std::string_view Mid(long pos, long count) const {
    if (count <= 0 || pos > length()) return {};
    return line.substr(std::size_t(pos - 1), std::size_t(count));
  }
};

}  // namespace

std::string_view RecordFieldView(std::string_view line, int n, char separator) {
  if (n < 1) return {};
  const Positions text{line};
  const std::string_view sep(&separator, 1);
  const std::string closing = std::string("\"") + separator;
  long s = 1, e = 0;
  bool quoted = false;
  for (int i = 1; i <= n; ++i) {
    if (i > 1) {
      if (s >= text.length()) return {};  // the line has no field i
      const long next = text.Find(e, sep);
      if (next == 0) return {};
      s = next + 1;
    }
    quoted = text.At(s) == '"';
    if (quoted) {
      e = text.Find(s + 1, closing);
      if (e == 0) e = text.length();
    } else if (text.At(s) == separator) {
      e = s;
    } else {
      e = text.Find(s + 1, sep);
      if (e == 0) e = text.length() + 1;
    }
  }
  return quoted ? text.Mid(s + 1, e - s - 1) : text.Mid(s, e - s);
}

std::string GetRecordField(std::string_view line, int n, char separator) {
  return std::string(RecordFieldView(line, n, separator));
}

std::string PadToWidth(std::string_view text, int width, bool keep_long) {
  std::size_t keep = text.size();
  const std::size_t wanted = width > 0 ? std::size_t(width) : 0;
  if (keep > wanted && !keep_long) keep = wanted;
  std::string result(text.substr(0, keep));
  if (result.size() < wanted) result.append(wanted - result.size(), ' ');
  return result;
}

}  // namespace wfdesk::textdb
