#include "textdb/records.hpp"

#include <mutex>

#include "core/files.hpp"
#include "core/language.hpp"
#include "core/settings.hpp"

namespace wfdesk::textdb {

struct RecordList::Loaded {
  std::shared_ptr<const core::FileBytes> bytes;
  std::once_flag indexed;
  std::vector<core::LineSpan> lines;
};

RecordList RecordList::FromFileContent(std::string content) {
  return FromFileBytes(std::make_shared<const core::FileBytes>(std::move(content)));
}

RecordList RecordList::FromFileBytes(std::shared_ptr<const core::FileBytes> bytes) {
  RecordList list;
  list.loaded_ = std::make_shared<Loaded>();
  list.loaded_->bytes = std::move(bytes);
  return list;
}

const std::vector<core::LineSpan>& RecordList::Lines() const {
  std::call_once(loaded_->indexed, [this] { core::IndexLines(text(), 0, loaded_->lines); });
  return loaded_->lines;
}

std::string_view RecordList::text() const {
  return loaded_ ? loaded_->bytes->view() : std::string_view();
}

std::size_t RecordList::size() const {
  if (!loaded_) return 1;
  return Lines().empty() ? 0 : Lines().size() + 1;
}

std::string RecordList::Entry(std::size_t i) const {
  if (!loaded_) return " ";
  if (i >= Lines().size()) return "";
  return std::to_string(i) + kSeparator + std::string(Record(i));
}

bool RecordList::IsSkipped(std::size_t i) const {
  return !loaded_ || i >= Lines().size();
}

std::string_view RecordList::Record(std::size_t i) const {
  if (IsSkipped(i)) return {};
  return text().substr(Lines()[i].begin, Lines()[i].length);
}

LoadStatus ReadTextDatabase(const std::string& path, RecordList& records, std::string& error) {
  if (!core::IsPlainFile(path)) {
    records = RecordList();
    return LoadStatus::kMissing;
  }
  std::shared_ptr<const core::FileBytes> content;
  if (const auto read = core::MapFileContent(path, content); !read) {
    records = RecordList();
    error = read.error;
    return LoadStatus::kUnreadable;
  }
  records = RecordList::FromFileBytes(std::move(content));
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
  // First position of `c` at or after `from`, or 0. Fields are short: a
  // loop beats a library search here.
  long Find(long from, char c) const {
    for (long pos = from < 1 ? 1 : from; pos <= length(); ++pos) {
      if (line[std::size_t(pos - 1)] == c) return pos;
    }
    return 0;
  }
  // First position of a double quote that `c` follows, at or after `from`, or 0.
  long FindClosing(long from, char c) const {
    for (long pos = from < 1 ? 1 : from; pos < length(); ++pos) {
      if (line[std::size_t(pos - 1)] == '"' && line[std::size_t(pos)] == c) return pos;
    }
    return 0;
  }
  std::string_view Mid(long pos, long count) const {
    if (count <= 0 || pos > length()) return {};
    return line.substr(std::size_t(pos - 1), std::size_t(count));
  }
};

// The fields of a line one after the other, split as the field reader
// splits them.
class FieldWalk {
 public:
  FieldWalk(std::string_view line, char separator) : text_{line}, separator_(separator) {}

  // Steps to the next field; false when the line has no further field.
  bool Next() {
    if (started_) {
      if (s_ >= text_.length()) return false;
      const long next = text_.Find(e_, separator_);
      if (next == 0) return false;
      s_ = next + 1;
    }
    started_ = true;
    quoted_ = text_.At(s_) == '"';
    if (quoted_) {
      e_ = text_.FindClosing(s_ + 1, separator_);
      if (e_ == 0) e_ = text_.length();
    } else if (text_.At(s_) == separator_) {
      e_ = s_;
    } else {
      e_ = text_.Find(s_ + 1, separator_);
      if (e_ == 0) e_ = text_.length() + 1;
    }
    return true;
  }

  std::string_view Field() const {
    return quoted_ ? text_.Mid(s_ + 1, e_ - s_ - 1) : text_.Mid(s_, e_ - s_);
  }

 private:
  Positions text_;
  char separator_;
  long s_ = 1, e_ = 0;
  bool quoted_ = false;
  bool started_ = false;
};

}  // namespace

std::string_view RecordFieldView(std::string_view line, int n, char separator) {
  if (n < 1) return {};
  FieldWalk walk(line, separator);
  for (int i = 1; i <= n; ++i) {
    if (!walk.Next()) return {};
  }
  return walk.Field();
}

void RecordFieldViews(std::string_view line, std::span<std::string_view> fields, char separator) {
  FieldWalk walk(line, separator);
  std::size_t i = 0;
  for (; i < fields.size() && walk.Next(); ++i) fields[i] = walk.Field();
  for (; i < fields.size(); ++i) fields[i] = {};
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
