#include "textdb/records.hpp"

#include <bit>
#include <mutex>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

namespace {

LoadStatus ReadTextDatabase(core::FileBytesCache& cache, const std::string& path,
                            RecordList& records, std::string& error) {
  if (!core::IsPlainFile(path)) {
    records = RecordList();
    return LoadStatus::kMissing;
  }
  std::shared_ptr<const core::FileBytes> content;
  if (const auto read = cache.Read(path, content); !read) {
    records = RecordList();
    error = read.error;
    return LoadStatus::kUnreadable;
  }
  records = RecordList::FromFileBytes(std::move(content));
  return LoadStatus::kLoaded;
}

}  // namespace

std::string DatabasePath(const core::Context& context, const std::string& path) {
  return path.empty() ? context.settings.textdb : path;
}

void TellLoadProblem(const core::Context& context, const std::string& path, LoadStatus status,
                     const std::string& error) {
  const bool silent = core::LeadingNumber(context.settings.silentmode) != 0;
  if (status == LoadStatus::kMissing && !silent) {
    const auto language = context.settings.language;
    context.person.Tell(core::GetLanguageText("lg_mesg_file001", language) + path +
                        core::GetLanguageText("lg_mesg_file002", language));
  }
  if (status == LoadStatus::kUnreadable) context.person.Tell(error);
}

RecordList LoadTextDatabase(const core::Context& context, const std::string& path,
                            LoadStatus* status_out) {
  const std::string file = DatabasePath(context, path);
  RecordList records;
  std::string error;
  const LoadStatus status = ReadTextDatabase(*context.databases, file, records, error);
  if (status_out) *status_out = status;
  TellLoadProblem(context, file, status, error);
  return records;
}

namespace {

// The fields of a line one after the other. A field in double quotes ends
// at the first double quote that the separator follows (else the line's
// last character is taken for its closing quote); any other field ends at
// the next separator.
class FieldWalk {
 public:
  FieldWalk(std::string_view line, char separator) : line_(line), separator_(separator) {}

  // Steps to the next field; false when the line has no further field.
  bool Next() {
    if (started_) {
      // Past the last character, or with no separator after the field's
      // end, there is no further field.
      if (begin_ + 1 >= line_.size()) return false;
      const std::size_t separator = FindSeparator(resume_);
      if (separator == line_.size()) return false;
      begin_ = separator + 1;
    }
    started_ = true;
    const char first = begin_ < line_.size() ? line_[begin_] : '\0';
    if (first == '"') {
      const std::size_t quote = FindClosingQuote(begin_ + 1);
      field_ = quote > begin_ + 1 ? line_.substr(begin_ + 1, quote - begin_ - 1) : "";
      resume_ = quote;
    } else if (first == separator_) {
      field_ = "";
      resume_ = begin_;
    } else {
      resume_ = begin_ < line_.size() ? FindSeparator(begin_ + 1) : line_.size();
      field_ = begin_ < line_.size() ? line_.substr(begin_, resume_ - begin_) : "";
    }
    return true;
  }

  std::string_view Field() const { return field_; }

 private:
  // The first separator at or after `from`, else the line's size. Fields
  // are short: a loop beats a library search here.
  std::size_t FindSeparator(std::size_t from) const {
    while (from < line_.size() && line_[from] != separator_) ++from;
    return from;
  }
  // The first double quote at or after `from` that the separator follows,
  // else the line's last character.
  std::size_t FindClosingQuote(std::size_t from) const {
    for (; from + 1 < line_.size(); ++from) {
      if (line_[from] == '"' && line_[from + 1] == separator_) return from;
    }
    return line_.size() - 1;
  }

  std::string_view line_;
  char separator_;
  std::size_t begin_ = 0;   // where the field starts
  std::size_t resume_ = 0;  // where the search for the next separator starts
  std::string_view field_;
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

namespace {

#if defined(__SSE2__)
// The fields of a line without double quotes, which split at every
// separator, sixteen bytes looked at a time; false when a double quote
// comes before the last field wanted.
bool SplitUnquoted(std::string_view line, std::span<std::string_view> fields, char separator) {
  std::size_t field = 0;
  std::size_t start = 0;
  const auto take = [&](std::size_t end) {
    fields[field++] = line.substr(start, end - start);
    start = end + 1;
  };
  std::size_t at = 0;
  for (; at + 16 <= line.size() && field < fields.size(); at += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + at));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('"'))) != 0) return false;
    auto ends =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(separator))));
    for (; ends != 0 && field < fields.size(); ends &= ends - 1) {
      take(at + static_cast<std::size_t>(std::countr_zero(ends)));
    }
  }
  for (; at < line.size() && field < fields.size(); ++at) {
    if (line[at] == '"') return false;
    if (line[at] == separator) take(at);
  }
  if (field < fields.size()) fields[field++] = line.substr(start);
  for (; field < fields.size(); ++field) fields[field] = {};
  return true;
}
#endif

}  // namespace

void RecordFieldViews(std::string_view line, std::span<std::string_view> fields, char separator) {
#if defined(__SSE2__)
  if (SplitUnquoted(line, fields, separator)) return;
#endif
  FieldWalk walk(line, separator);
  std::size_t i = 0;
  for (; i < fields.size() && walk.Next(); ++i) fields[i] = walk.Field();
  for (; i < fields.size(); ++i) fields[i] = {};
}

std::string GetRecordField(std::string_view line, int n, char separator) {
  return std::string(RecordFieldView(line, n, separator));
}

}  // namespace wfdesk::textdb
