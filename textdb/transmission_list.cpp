#include "textdb/transmission_list.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/ascii.hpp"
#include "core/line_index.hpp"

#include "core/workflow_file.hpp"
#include "textdb/transmission_record.hpp"

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

// Finds a lowered text in bytes without regard to ASCII case. Where the
// processor allows, sixteen places are tried at once by their first and
// last byte, and only those that match both are compared in full.
class FoldedSearch {
 public:
  explicit FoldedSearch(std::string_view lower_needle) : needle_(lower_needle) {}

  // The first match at or after `from`, or the text's size.
  std::size_t Find(std::string_view text, std::size_t from) const {
    const std::size_t m = needle_.size();
    if (m == 0 || text.size() < m) return text.size();
    const std::size_t last_start = text.size() - m;
    std::size_t at = from;
#if defined(__SSE2__)
    for (; at + 15 <= last_start; at += 16) {
      for (unsigned hits = Candidates(text.data() + at); hits != 0; hits &= hits - 1) {
        const std::size_t candidate = at + static_cast<std::size_t>(std::countr_zero(hits));
        if (MatchesAt(text, candidate)) return candidate;
      }
    }
#endif
    for (; at <= last_start; ++at) {
      if (MatchesAt(text, at)) return at;
    }
    return text.size();
  }

 private:
  bool MatchesAt(std::string_view text, std::size_t at) const {
    for (std::size_t k = 0; k < needle_.size(); ++k) {
      if (core::LowerAscii(text[at + k]) != needle_[k]) return false;
    }
    return true;
  }

#if defined(__SSE2__)
  // A letter matches either case: the lower case bit is set before comparing.
  static __m128i Equal(__m128i bytes, char lower) {
    const char fold = lower >= 'a' && lower <= 'z' ? 0x20 : 0;
    return _mm_cmpeq_epi8(_mm_or_si128(bytes, _mm_set1_epi8(fold)), _mm_set1_epi8(lower));
  }
  // The places among the sixteen at `p` whose first and last byte match.
  unsigned Candidates(const char* p) const {
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + needle_.size() - 1));
    const __m128i both = _mm_and_si128(Equal(first, needle_.front()), Equal(last, needle_.back()));
    return static_cast<unsigned>(_mm_movemask_epi8(both));
  }
#endif

  std::string_view needle_;
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

// Copies the text, cut to `width`, to the columns at `at`.
void PutColumn(char* at, std::string_view text, std::size_t width) {
  if (!text.empty()) std::memcpy(at, text.data(), std::min(text.size(), width));
}

}  // namespace

WorkflowDatabase DatabaseOf(const core::Context& context, const std::string& workflow_name) {
  const std::string workflow_file = core::WorkflowPath(context, workflow_name);
  WorkflowDatabase db;
  // Before any selection the path names the data folder and reads nothing.
  if (!workflow_name.empty()) {
    db.dbfile = core::ReadWorkflowValue(context, workflow_file, "WORKFLOW", "dbfile");
    db.listaction = core::ReadWorkflowValue(context, workflow_file, "WORKFLOW", "listaction");
  }
  db.path = workflow_name.empty() ? DatabasePath(context, "")
                                  : core::WorkflowDatabaseFile(context, workflow_file);
  return db;
}

void AppendRow(std::string& out, std::string_view record) {
  // Fields 1 to 13 in one walk.
  std::array<std::string_view, kRecordFields> fields;
  RecordFieldViews(record, fields);
  const std::string_view id = fields[kInvoiceNumberField - 1];
  const bool untagged = fields[kWriteTagField - 1] == "0";
  const std::size_t id_width = std::max(id.size(), kIdColumn);
  const std::size_t mark_width = untagged ? kMarkColumn : 1;
  // Blanks first, then each column copied to its place.
  const std::size_t start = out.size();
  out.resize(
      start + id_width + kDateColumn + mark_width + kReceiptColumn + kTextColumn + 4 * kColumnGap,
      ' ');
  char* column = out.data() + start;
  PutColumn(column, id, id_width);
  column += id_width + kColumnGap;
  PutColumn(column, fields[kInvoiceDateField - 1], kDateColumn);
  column += kDateColumn + kColumnGap;
  if (!untagged) *column = 'W';
  column += mark_width + kColumnGap;
  PutColumn(column, fields[kAcknowledgementField - 1], kReceiptColumn);
  column += kReceiptColumn + kColumnGap;
  PutColumn(column, fields[kDescriptionField - 1], kTextColumn);
}

TransmissionRows::Offsets::Offsets(Offsets&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

TransmissionRows::Offsets& TransmissionRows::Offsets::operator=(Offsets&& other) noexcept {
  std::swap(data_, other.data_);
  std::swap(size_, other.size_);
  std::swap(capacity_, other.capacity_);
  return *this;
}

TransmissionRows::Offsets::~Offsets() {
  std::free(data_);
}

void TransmissionRows::Offsets::push_back(std::size_t offset) {
  if (size_ == capacity_) {
    const std::size_t capacity = capacity_ == 0 ? 1024 : 2 * capacity_;
    void* grown = std::realloc(data_, capacity * sizeof(std::size_t));
    if (!grown) throw std::bad_alloc();
    data_ = static_cast<std::size_t*>(grown);
    capacity_ = capacity;
  }
  data_[size_++] = offset;
}

std::string_view TransmissionRows::Record(std::size_t row) const {
  const std::string_view text = records_.text();
  const std::size_t begin = shown_[row];
  return text.substr(begin, core::LineEndAt(text, begin) - begin);
}

std::string_view TransmissionRows::ElementId(std::size_t row) const {
  return RecordFieldView(Record(row), kInvoiceNumberField);
}

void TransmissionRows::Add(std::string_view record, std::string_view id) {
  if (id.size() > widest_id_) {
    widest_id_ = id.size();
    widest_ = shown_.size();
  }
  shown_.push_back(static_cast<std::size_t>(record.data() - records_.text().data()));
}

namespace {

// Chooses the records a list shows from the database's lines, given in
// consecutive parts of whole lines: a run of equal IDs goes on across parts.
class ListedRecordWalk {
 public:
  explicit ListedRecordWalk(std::string_view filter) : needle_(core::LowerAscii(filter)) {}

  template <typename Visit>
  void Walk(std::string_view part, Visit&& visit) {
    if (needle_.empty()) {
      WalkEvery(part, visit);
    } else {
      WalkFiltered(part, visit);
    }
  }

 private:
  using KnownId = std::optional<std::string_view>;

  // Every record in turn, for the empty filter, which shows nearly all.
  template <typename Visit>
  void WalkEvery(std::string_view text, Visit&& visit) {
    KnownId previous_id = Carried();
    core::ForEachLine(text, 0, [&](std::string_view record) {
      const std::string_view id = RecordFieldView(record, kInvoiceNumberField);
      if (previous_id != id) visit(record, id);
      previous_id = id;
    });
    Carry(previous_id);
  }

  // Only the records of the lines that hold the filter somewhere: the filter
  // is searched in the whole text, and the lines without it are never read.
  template <typename Visit>
  void WalkFiltered(std::string_view text, Visit&& visit) {
    if (needle_.find_first_of("\r\n") != std::string::npos) return;  // no ID holds a line end
    const FoldedSearch search(needle_);
    std::size_t next = 0;                  // a line start: the lines before it are done
    KnownId next_previous_id = Carried();  // the ID of the line before `next`
    for (std::size_t hit = search.Find(text, 0); hit < text.size(); hit = search.Find(text, next)) {
      const std::size_t begin = LineStart(text, next, hit);
      const std::size_t end = core::LineEndAt(text, hit);
      const std::string_view record = text.substr(begin, end - begin);
      const std::string_view id = RecordFieldView(record, kInvoiceNumberField);
      // A run of equal IDs is broken by any record, even a hidden one; a
      // record the search passed over does not hold the filter, so its ID
      // differs.
      const bool repeated = begin == next && next_previous_id == id;
      if (!repeated && ContainsIgnoringCase(id, needle_)) visit(record, id);
      next = core::AfterLineEnd(text, end);
      next_previous_id = id;
    }
    Carry(next == text.size() ? next_previous_id : std::nullopt);
  }

  KnownId Carried() const { return carried_ ? KnownId(previous_id_) : std::nullopt; }
  // Keeps the ID of a part's last line for the next part, when it is known.
  void Carry(KnownId id) {
    carried_ = id.has_value();
    if (id) previous_id_ = std::string(*id);
  }

  std::string needle_;
  // Before the first line the previous ID is "", so that a first record
  // with an empty ID is not listed.
  std::string previous_id_;
  bool carried_ = true;
};

}  // namespace

void ForEachListedRecord(const RecordList& records, std::string_view filter,
                         const ListedRecordVisit& visit) {
  ListedRecordWalk(filter).Walk(records.text(), visit);
}

core::FileResult ForEachListedRecordInFile(const std::string& path, std::string_view filter,
                                           const ListedRecordVisit& visit, std::size_t buffer) {
  ListedRecordWalk walk(filter);
  return core::ReadLineParts(
      path, [&](std::string_view part) { walk.Walk(part, visit); }, buffer);
}

TransmissionRows FilterRows(const RecordList& records, std::string_view filter) {
  TransmissionRows result;
  result.records_ = records;
  ListedRecordWalk(filter).Walk(
      records.text(),
      [&result](std::string_view record, std::string_view id) { result.Add(record, id); });
  return result;
}

LoadStatus ListWorkflowRecords(const core::Context& context, const std::string& workflow_name,
                               std::string_view filter, const ListedRecordVisit& visit) {
  const WorkflowDatabase db = DatabaseOf(context, workflow_name);
  LoadStatus status = LoadStatus::kMissing;
  std::string error;
  if (core::IsPlainFile(db.path)) {
    const core::FileResult read = ForEachListedRecordInFile(db.path, filter, visit);
    status = read ? LoadStatus::kLoaded : LoadStatus::kUnreadable;
    error = read.error;
  }
  TellLoadProblem(context, db.path, status, error);
  return status;
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
