#include "textdb/transmission_list.hpp"

#include <array>
#include <cstring>

#include "core/ascii.hpp"

#include "core/workflow_file.hpp"

namespace wfdesk::textdb {

namespace {

bool ContainsIgnoringCase(std::string_view text, std::string_view lower_needle) {
  if (lower_needle.empty()) return true;
  if (text.size() < lower_needle.size()) return false;
  const char first = lower_needle.front();
  for (std::size_t start = 0; start + lower_needle.size() <= text.size(); ++start) {
    if (core::LowerAscii(text[start]) != first) continue;
    std::size_t i = 1;
    while (i < lower_needle.size() && core::LowerAscii(text[start + i]) == lower_needle[i]) ++i;
    if (i == lower_needle.size()) return true;
  }
  return false;
}

// Finds a lowered text in bytes without regard to ASCII case: the
// Boyer-Moore-Horspool search over case-folded bytes, which looks at only a
// fraction of the bytes, as grep does.
class FoldedSearch {
 public:
  explicit FoldedSearch(std::string_view lower_needle) : needle_(lower_needle) {
    const std::size_t m = needle_.size();
    shift_.fill(m);
    for (std::size_t i = 0; i + 1 < m; ++i) {
      shift_[Byte(needle_[i])] = m - 1 - i;
      shift_[Byte(core::UpperAscii(needle_[i]))] = m - 1 - i;
    }
  }

  // The first match at or after `from`, or the text's size.
  std::size_t Find(std::string_view text, std::size_t from) const {
    const std::size_t m = needle_.size();
    for (std::size_t i = from + m - 1; i < text.size(); i += shift_[Byte(text[i])]) {
      if (core::LowerAscii(text[i]) == needle_.back() && MatchesBefore(text, i + 1 - m)) {
        return i + 1 - m;
      }
    }
    return text.size();
  }

 private:
  static unsigned char Byte(char c) { return static_cast<unsigned char>(c); }
  // Whether the needle but its last byte is at `at`.
  bool MatchesBefore(std::string_view text, std::size_t at) const {
    for (std::size_t k = 0; k + 1 < needle_.size(); ++k) {
      if (core::LowerAscii(text[at + k]) != needle_[k]) return false;
    }
    return true;
  }

  std::string_view needle_;
  std::array<std::size_t, 256> shift_{};
};

bool IsLineEnd(char c) {
  return c == '\n' || c == '\r';
}

// The start of the line that holds `pos`, no earlier than `floor`, which
// starts a line.
std::size_t LineStart(std::string_view text, std::size_t floor, std::size_t pos) {
  while (pos > floor && !IsLineEnd(text[pos - 1])) --pos;
  return pos;
}

// The end of the line that holds `pos`: its first CR or LF, else the text's end.
std::size_t LineEnd(std::string_view text, std::size_t pos) {
  const char* from = text.data() + pos;
  const void* lf = std::memchr(from, '\n', text.size() - pos);
  const std::size_t limit =
      lf ? std::size_t(static_cast<const char*>(lf) - from) : text.size() - pos;
  const void* cr = std::memchr(from, '\r', limit);
  return pos + (cr ? std::size_t(static_cast<const char*>(cr) - from) : limit);
}

// Where the next line starts after the line end at `end`.
std::size_t NextLineStart(std::string_view text, std::size_t end) {
  if (end >= text.size()) return text.size();
  const bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
  return end + (crlf ? 2 : 1);
}

void AppendPadded(std::string& out, std::string_view text, std::size_t width, bool keep_long) {
  if (text.size() >= width) {
    out.append(keep_long ? text : text.substr(0, width));
  } else {
    out.append(text);
    out.append(width - text.size(), ' ');
  }
}

constexpr const char* kGap = "   ";

}  // namespace

WorkflowDatabase DatabaseOf(const core::Context& context, const std::string& workflow_name) {
  const std::string workflow_file = core::WorkflowPath(context, workflow_name);
  WorkflowDatabase db;
  // Before any selection the path names the data folder and reads nothing.
  if (!workflow_name.empty()) {
    db.dbfile = core::ReadWorkflowValue(context, workflow_file, "WORKFLOW", "dbfile");
    db.listaction = core::ReadWorkflowValue(context, workflow_file, "WORKFLOW", "listaction");
  }
  db.path = DatabasePath(context, db.dbfile);
  return db;
}

void AppendRow(std::string& out, std::string_view record) {
  // Fields 1 to 13 in one walk.
  std::array<std::string_view, kRecordFields> fields;
  RecordFieldViews(record, fields);
  AppendPadded(out, fields[0], 20, true);
  out += kGap;
  AppendPadded(out, fields[5], 10, false);
  out += kGap;
  out += fields[12] == "0" ? "    " : "W";
  out += kGap;
  AppendPadded(out, fields[3], 20, false);
  out += kGap;
  AppendPadded(out, fields[2], 100, false);
}

std::string FormatRow(std::string_view record) {
  std::string row;
  row.reserve(176);
  AppendRow(row, record);
  return row;
}

std::string_view TransmissionRows::ElementId(std::size_t row) const {
  return RecordFieldView(shown_[row], 1);
}

void TransmissionRows::Add(std::string_view record, std::string_view id) {
  if (id.size() > widest_id_) {
    widest_id_ = id.size();
    widest_ = shown_.size();
  }
  shown_.push_back(record);
}

namespace {

// Every record in turn, for the empty filter, which shows nearly all.
void AddEveryRecord(const RecordList& records, TransmissionRows& rows) {
  // The previous ID starts as "", so a first record with an empty ID is not
  // listed.
  std::string_view previous_id;
  records.ForEachRecord([&](std::string_view record) {
    const std::string_view id = RecordFieldView(record, 1);
    if (id != previous_id) rows.Add(record, id);
    previous_id = id;
  });
}

// Only the records of the lines that hold the filter somewhere: the filter
// is searched in the whole text, and the lines without it are never read.
void AddFilteredRecords(std::string_view text, const std::string& needle, TransmissionRows& rows) {
  if (needle.find_first_of("\r\n") != std::string::npos) return;  // no ID holds a line end
  const FoldedSearch search(needle);
  std::size_t next = 0;               // a line start: the lines before it are done
  std::string_view next_previous_id;  // the ID of the line before `next`
  for (std::size_t hit = search.Find(text, 0); hit < text.size(); hit = search.Find(text, next)) {
    const std::size_t begin = LineStart(text, next, hit);
    const std::size_t end = LineEnd(text, hit);
    const std::string_view record = text.substr(begin, end - begin);
    const std::string_view id = RecordFieldView(record, 1);
    // A run of equal IDs is broken by any record, even a hidden one; a
    // record the search passed over does not hold the filter, so its ID
    // differs.
    const bool repeated = begin == next && id == next_previous_id;
    if (!repeated && ContainsIgnoringCase(id, needle)) rows.Add(record, id);
    next = NextLineStart(text, end);
    next_previous_id = id;
  }
}

}  // namespace

TransmissionRows FilterRows(const RecordList& records, std::string_view filter) {
  TransmissionRows result;
  result.records_ = records;
  if (filter.empty()) {
    AddEveryRecord(records, result);
  } else {
    AddFilteredRecords(records.text(), core::LowerAscii(filter), result);
  }
  return result;
}

TransmissionRows FillDBlist(const core::Context& context, const std::string& workflow_name,
                            std::string_view filter) {
  const WorkflowDatabase db = DatabaseOf(context, workflow_name);
  LoadStatus status = LoadStatus::kLoaded;
  TransmissionRows rows = FilterRows(LoadTextDatabase(context, db.dbfile, &status), filter);
  rows.status = status;
  return rows;
}

}  // namespace wfdesk::textdb
