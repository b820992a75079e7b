#pragma once

// Changing records in the text of the database so that everything else
// stays as it was, byte for byte: other lines, every line end, a missing
// final line end, and the fields of a record that are not changed.

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wfdesk::textdb {

inline constexpr int kElementIdField = 1;
inline constexpr int kField4 = 4;
inline constexpr int kField6 = 6;
inline constexpr int kWriteTagField = 13;

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

// The database text after a change: the old bytes around the changed
// records, which are not copied, and the changed records.
class RewrittenText {
 public:
  const std::vector<std::string_view>& pieces() const { return pieces_; }
  std::size_t size() const { return size_; }
  // Whether the text differs from the old one.
  bool changed() const { return changed_; }
  std::string Joined() const;

 private:
  friend std::optional<RewrittenText> RewriteRecordPieces(std::string_view text,
                                                          std::string_view id,
                                                          const RecordEdit* edit);
  void Add(std::string_view piece);

  std::deque<std::string> edited_;  // stays in place while pieces point into it
  std::vector<std::string_view> pieces_;
  std::size_t size_ = 0;
  bool changed_ = false;
};

// The database text with every record whose element ID is `id` edited, or
// removed with its line end when `edit` is null; nullopt when no record
// has the ID. The pieces point into `text`, which must outlive them.
std::optional<RewrittenText> RewriteRecordPieces(std::string_view text, std::string_view id,
                                                 const RecordEdit* edit);
// The same text joined.
std::optional<std::string> RewriteRecords(std::string_view text, std::string_view id,
                                          const RecordEdit* edit);

}  // namespace wfdesk::textdb
