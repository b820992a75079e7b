#include "textdb/record_rewrite.hpp"

#include <algorithm>

#include "core/line_index.hpp"
#include "textdb/records.hpp"
#include "textdb/transmission_record.hpp"

namespace wfdesk::textdb {

namespace {

constexpr char kQuote = '"';
constexpr std::string_view kClosingQuote = "\";";

// A last field in an open quote, closed so that it reads as before when
// further fields follow: the reader took its last character for the quote.
std::string Closed(std::string_view last) {
  if (last.empty() || last.front() != kQuote) return std::string(last);
  const std::string_view value = last.size() >= 2 ? last.substr(1, last.size() - 2) : "";
  return kQuote + std::string(value) + kQuote;
}

// Whether the record may have the ID, judged by its first byte: most
// records are passed over without reading a field.
bool MayHaveId(std::string_view record, std::string_view id) {
  if (id.empty()) return true;
  return !record.empty() && (record.front() == id.front() || record.front() == kQuote);
}

}  // namespace

std::vector<std::string_view> StoredFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    // A quoted field ends at the first quote that a separator follows.
    const bool quoted = start < line.size() && line[start] == kQuote;
    const std::size_t end =
        quoted ? line.find(kClosingQuote, start + 1) : line.find(kSeparator, start);
    if (end == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    const std::size_t stop = quoted ? end + 1 : end;
    fields.push_back(line.substr(start, stop - start));
    start = stop + 1;
  }
}

std::string StoredValue(std::string_view value) {
  const bool needs_quotes = value.find(kSeparator) != std::string_view::npos ||
                            (!value.empty() && value.front() == kQuote);
  return needs_quotes ? kQuote + std::string(value) + kQuote : std::string(value);
}

std::string EditRecord(std::string_view record, const std::vector<FieldValue>& values) {
  const std::vector<std::string_view> stored = StoredFields(record);
  std::vector<std::string> fields(stored.begin(), stored.end());
  std::size_t wanted = 0;
  for (const FieldValue& value : values) wanted = std::max(wanted, std::size_t(value.field));
  if (fields.size() < wanted) {
    fields.back() = Closed(fields.back());
    fields.resize(wanted);
  }
  for (const FieldValue& value : values) {
    if (value.field >= 1) fields[std::size_t(value.field - 1)] = StoredValue(value.value);
  }
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += kSeparator;
    line += fields[i];
  }
  return line;
}

void RecordRewriter::Rewrite(std::string_view text, const Output& out) {
  std::size_t copied = 0;  // text before this offset has gone out
  const auto offset = [text](std::string_view part) {
    return static_cast<std::size_t>(part.data() - text.data());
  };
  const auto put = [&out](std::string_view piece) {
    if (!piece.empty()) out(piece);
  };
  core::ForEachLine(text, 0, [&](std::string_view record) {
    if (!MayHaveId(record, id_) || RecordFieldView(record, kInvoiceNumberField) != id_) return;
    found_ = true;
    put(text.substr(copied, offset(record) - copied));
    copied = offset(record) + record.size();  // the line end goes with the rest
    if (!edit_) {
      copied = core::AfterLineEnd(text, copied);  // unless the record goes
      changed_ = true;
      return;
    }
    const std::string line = EditRecord(record, (*edit_)(record));
    changed_ = changed_ || line != record;
    put(line);
  });
  put(text.substr(copied));
}

}  // namespace wfdesk::textdb
