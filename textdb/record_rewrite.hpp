#pragma once

// Changing records in the text of the database so that everything else
// stays as it was, byte for byte: other lines, every line end, a missing
// final line end, and the fields of a record that are not changed.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace wfdesk::textdb {

// A new value for field `field` (from 1) of a record.
struct FieldValue {
  int field = 0;
  std::string value;
};

// The new values of a record, chosen from its current line.
using RecordEdit = std::function<std::vector<FieldValue>(std::string_view record)>;

// The fields of a line as it stores them, quotes included, split where the
// field reader splits: joined with ";" they give the line back.
std::vector<std::string_view> StoredFields(std::string_view line);

// A field value as a line stores it, so that it reads back the same.
std::string StoredValue(std::string_view value);

// The record with the new values in place. A record with fewer fields gets
// empty ones up to the highest field changed; should its last field be in
// an open quote (which the reader closes at the line's end), that quote is
// closed so that the field keeps its value. Every other field keeps its
// bytes, fields after the 13th included.
std::string EditRecord(std::string_view record, const std::vector<FieldValue>& values);

// Rewrites the database text, given in consecutive parts of whole lines:
// every record whose element ID is `id` is edited, or removed with its line
// end when `edit` is null. The output goes to `out` in pieces: the old
// bytes around the changed records as they are, and the changed records.
class RecordRewriter {
 public:
  using Output = std::function<void(std::string_view piece)>;
  RecordRewriter(std::string_view id, const RecordEdit* edit) : id_(id), edit_(edit) {}

  void Rewrite(std::string_view part, const Output& out);
  // Whether a record had the ID.
  bool found() const { return found_; }
  // Whether the output differs from the text.
  bool changed() const { return changed_; }

 private:
  std::string_view id_;
  const RecordEdit* edit_;
  bool found_ = false;
  bool changed_ = false;
};

}  // namespace wfdesk::textdb
