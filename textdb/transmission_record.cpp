#include "textdb/transmission_record.hpp"

#include <array>
#include <functional>
#include <set>

#include "core/file_cache.hpp"
#include "core/file_lock.hpp"
#include "core/files.hpp"
#include "core/line_index.hpp"
#include "core/text_encoding.hpp"
#include "textdb/record_actions.hpp"
#include "textdb/record_rewrite.hpp"
#include "textdb/records.hpp"

namespace wfdesk::textdb {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr int kWrittenFields = kStateField;  // 11 and 12 stay empty

// One line of text that the loader reads back as it was written: no
// control character, no quote that would end a quoted field early, no
// "|||", which the loader takes for the start of another entry.
std::string Storable(std::string_view value, bool windows_1252) {
  std::string text;
  text.reserve(value.size());
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    text += byte < 0x20 || byte == 0x7F ? ' ' : c;
  }
  for (auto at = text.find("\";"); at != std::string::npos; at = text.find("\";", at)) {
    text[at] = '\'';
  }
  for (auto at = text.find("|||"); at != std::string::npos; at = text.find("|||", at)) {
    text[at + 1] = '/';
  }
  return windows_1252 ? core::Utf8ToWindows1252(text) : text;
}

// Fields 1 to 10 in their order.
std::array<const std::string*, kWrittenFields> Fields(const TransmissionRecord& r) {
  return {&r.number, &r.file_name, &r.description,   &r.acknowledgement, &r.currency,
          &r.date,   &r.amount,    &r.source_format, &r.target_format,   &r.state};
}

// The stored form of each record's number, in UTF-8 and in Windows-1252:
// which one the file uses is known only once it has been read.
struct Keys {
  std::set<std::string, std::less<>> utf8, windows_1252;

  explicit Keys(const std::vector<TransmissionRecord>& records) {
    for (const TransmissionRecord& record : records) {
      utf8.insert(Storable(record.number, false));
      windows_1252.insert(Storable(record.number, true));
    }
  }
};

// What an update must know of the file before it writes: its code page,
// its last line end and whether any of the numbers has a record.
struct FileShape {
  bool exists = false;
  bool utf8 = true;
  bool ends_with_line_end = true;
  bool utf8_number_found = false;
  bool windows_1252_number_found = false;

  bool NumberFound() const { return utf8 ? utf8_number_found : windows_1252_number_found; }
};

core::FileResult Inspect(const std::string& path, const Keys& keys, FileShape& shape) {
  shape.exists = core::IsPlainFile(path);
  if (!shape.exists) return core::FileResult::Ok();
  // Parts are whole lines, so no character is split between two of them.
  return core::ReadLineParts(path, [&](std::string_view part) {
    if (part.empty()) return;
    shape.utf8 = shape.utf8 && core::IsValidUtf8(part);
    shape.ends_with_line_end = part.back() == '\n' || part.back() == '\r';
    core::ForEachLine(part, 0, [&](std::string_view line) {
      const std::string_view number = RecordFieldView(line, kInvoiceNumberField);
      shape.utf8_number_found = shape.utf8_number_found || keys.utf8.contains(number);
      shape.windows_1252_number_found =
          shape.windows_1252_number_found || keys.windows_1252.contains(number);
    });
  });
}

UpsertResult Failed(std::string why) {
  return {UpsertResult::Status::kFailed, std::move(why)};
}

// The records to write, each number once with the values given last, in
// the order in which the numbers first came; by stored number, fields 2
// to 10 as a record takes them.
class Update {
 public:
  Update(const std::vector<TransmissionRecord>& records, bool windows_1252) {
    for (const TransmissionRecord& record : records) {
      const std::string number = Storable(record.number, windows_1252);
      const auto [at, added] = edits_.try_emplace(number);
      if (added) order_.push_back(number);
      at->second = {&record, Values(record, windows_1252), false};
    }
  }

  // The database text given in consecutive parts of whole lines, with the
  // records of the numbers edited; the bytes around them go out as they are.
  void Rewrite(std::string_view text, const std::function<void(std::string_view)>& out) {
    std::size_t copied = 0;  // text before this offset has gone out
    core::ForEachLine(text, 0, [&](std::string_view record) {
      const auto found = edits_.find(RecordFieldView(record, kInvoiceNumberField));
      if (found == edits_.end()) return;
      found->second.has_record = true;
      const auto at = static_cast<std::size_t>(record.data() - text.data());
      out(text.substr(copied, at - copied));
      copied = at + record.size();  // the line end goes with the rest
      const std::string line = EditRecord(record, found->second.values);
      changed_ = changed_ || line != record;
      out(line);
    });
    out(text.substr(copied));
  }

  // The lines of the numbers without a record, each with its line end.
  std::string NewLines(bool windows_1252) const {
    std::string lines;
    for (const std::string& number : order_) {
      const Edit& edit = edits_.at(number);
      if (edit.has_record) continue;
      lines += TransmissionLine(*edit.record, windows_1252);
      lines += kLineEnd;
    }
    return lines;
  }

  bool changed() const { return changed_; }

 private:
  struct Edit {
    const TransmissionRecord* record = nullptr;
    std::vector<FieldValue> values;
    bool has_record = false;
  };

  static std::vector<FieldValue> Values(const TransmissionRecord& record, bool windows_1252) {
    std::vector<FieldValue> values;
    const auto fields = Fields(record);
    for (int field = kFileNameField; field <= kWrittenFields; ++field) {
      values.push_back({field, Storable(*fields[std::size_t(field - 1)], windows_1252)});
    }
    return values;
  }

  std::map<std::string, Edit, std::less<>> edits_;
  std::vector<std::string> order_;
  bool changed_ = false;
};

// The new lines added at the end of the file, which is not rewritten.
core::FileResult Append(const std::string& path, const FileShape& shape, const Update& update) {
  std::string text = shape.exists && !shape.ends_with_line_end ? std::string(kLineEnd) : "";
  text += update.NewLines(!shape.utf8);
  return core::WriteTextFile(path, text, true);
}

UpsertResult Replace(const std::string& path, const FileShape& shape, Update& update) {
  core::FileReplacement replacement(path);
  const auto write = [&replacement](std::string_view piece) {
    if (!piece.empty()) replacement.Write(piece);
  };
  if (shape.exists) {
    const core::FileResult read =
        core::ReadLineParts(path, [&](std::string_view part) { update.Rewrite(part, write); });
    if (!read) return Failed(read.error);
  }
  const std::string new_lines = update.NewLines(!shape.utf8);
  if (new_lines.empty() && !update.changed()) return {};
  if (!new_lines.empty() && !shape.ends_with_line_end) replacement.Write(kLineEnd);
  replacement.Write(new_lines);
  const core::FileResult stored = replacement.Commit();
  return stored ? UpsertResult{} : Failed(stored.error);
}

}  // namespace

std::string RecordDescription(bool credit_note, const std::string& number,
                              const std::string& buyer) {
  const std::string text = (credit_note ? "Credit note " : "Invoice ") + number;
  return buyer.empty() ? text : text + " to " + buyer;
}

std::string TransmissionLine(const TransmissionRecord& record, bool windows_1252) {
  std::string line;
  for (const std::string* value : Fields(record)) {
    line += StoredValue(Storable(*value, windows_1252));
    line += kSeparator;
  }
  return line + ";;0";  // fields 11 and 12 empty, the write tag unset
}

core::FileResult TransmissionIndex::Load(const std::string& path, TransmissionIndex& index) {
  index = TransmissionIndex();
  if (!core::IsPlainFile(path)) {
    index.file_.current = true;
    return core::FileResult::Ok();
  }
  const auto all = [](const core::FileVersion&) { return true; };
  const std::int64_t checked_ns = core::FileClockNow();
  core::FileVersion version;
  if (const core::FileResult read = core::ReadFileVersion(path, version, all, index.content_);
      !read) {
    return read;
  }
  const std::string_view content = index.content_;
  TransmissionIndex::FileState& file = index.file_;
  file.current = file.exists = true;
  file.version = version;
  file.checked_ns = checked_ns;
  file.utf8 = core::IsValidUtf8(content);
  file.ends_with_line_end = content.empty() || content.back() == '\n' || content.back() == '\r';
  // Most records are 60 to 120 bytes long.
  index.line_starts_.reserve(content.size() / 64 + 1);
  core::ForEachLine(content, 0, [&](std::string_view line) {
    std::string number = core::AsUtf8(RecordFieldView(line, kInvoiceNumberField));
    if (number.empty()) return;
    index.line_starts_.insert_or_assign(std::move(number),
                                        static_cast<std::size_t>(line.data() - content.data()));
  });
  return core::FileResult::Ok();
}

const EarlierUpload* TransmissionIndex::Find(const std::string& number) const {
  if (const auto known = uploads_.find(number); known != uploads_.end()) return &known->second;
  const auto place = line_starts_.find(number);
  if (place == line_starts_.end()) return nullptr;
  const std::string_view content = content_;
  const std::size_t start = place->second;
  std::array<std::string_view, kStateField> fields;
  RecordFieldViews(content.substr(start, core::LineEndAt(content, start) - start), fields);
  const auto field = [&fields](int n) { return core::AsUtf8(fields[std::size_t(n - 1)]); };
  return &uploads_
              .emplace(number, EarlierUpload{field(kStateField), field(kAcknowledgementField),
                                             field(kCurrencyField), field(kInvoiceDateField),
                                             field(kAmountField)})
              .first->second;
}

void TransmissionIndex::Remember(const TransmissionRecord& record) {
  uploads_[record.number] = {record.state, record.acknowledgement, record.currency, record.date,
                             record.amount};
}

// What an update may take from an index instead of reading the file.
class KnownDatabase {
 public:
  // The file's shape from the index, when the file is as the index last saw
  // it and each number is plain ASCII that the index can vouch for.
  static bool Describe(const TransmissionIndex& index, const std::string& path,
                       const std::vector<TransmissionRecord>& records, FileShape& shape) {
    const TransmissionIndex::FileState& file = index.file_;
    if (!file.current || !Unchanged(file, path)) return false;
    for (const TransmissionRecord& record : records) {
      if (!PlainNumber(record.number)) return false;
      if (index.line_starts_.contains(record.number) || file.appended.contains(record.number)) {
        shape.utf8_number_found = shape.windows_1252_number_found = true;
      }
    }
    shape.exists = file.exists;
    shape.utf8 = file.utf8;
    shape.ends_with_line_end = file.ends_with_line_end;
    return true;
  }

  // After the records were appended: the file as it is now.
  static void Appended(TransmissionIndex& index, const std::string& path,
                       const std::vector<TransmissionRecord>& records) {
    TransmissionIndex::FileState& file = index.file_;
    file.current = file.current && core::ReadFileVersion(path, file.version);
    file.appended_to = true;
    file.exists = true;
    file.ends_with_line_end = true;
    for (const TransmissionRecord& record : records) file.appended.insert(record.number);
  }

  static void Lost(TransmissionIndex& index) { index.file_.current = false; }

 private:
  static bool Unchanged(const TransmissionIndex::FileState& file, const std::string& path) {
    if (!file.exists) return !core::PathTaken(path);
    core::FileVersion now;
    return core::ReadFileVersion(path, now) && now == file.version &&
           (file.appended_to || core::StampIsSettled(file.version, file.checked_ns));
  }

  // A number stored as it is, the same in either code page.
  static bool PlainNumber(const std::string& number) {
    if (number.empty()) return false;
    for (const char c : number) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x20 || byte >= 0x7F || c == '"' || c == '|' || c == kSeparator) return false;
    }
    return true;
  }
};

UpsertResult UpsertTransmissionRecords(const std::string& path,
                                       const std::vector<TransmissionRecord>& records,
                                       TransmissionIndex* index) {
  if (records.empty()) return {};
  core::FileLock lock(DatabaseLockPath(path), kLockPatience);
  if (lock.state() == core::FileLock::State::kBusy) {
    return {UpsertResult::Status::kBusy, "another program kept " + path + " locked too long"};
  }
  if (lock.state() == core::FileLock::State::kFailed) return Failed(lock.error());
  core::RemoveStaleTemporaries(path);
  FileShape shape;
  if (!index || !KnownDatabase::Describe(*index, path, records, shape)) {
    if (index) KnownDatabase::Lost(*index);
    shape = FileShape();
    if (const core::FileResult inspected = Inspect(path, Keys(records), shape); !inspected) {
      return Failed(inspected.error);
    }
  }
  Update update(records, !shape.utf8);
  // Where appending fails (a read-only file, say), the rewrite may not; an
  // append that failed took back what it wrote.
  if (shape.NumberFound() || !Append(path, shape, update)) {
    if (index) KnownDatabase::Lost(*index);
    return Replace(path, shape, update);
  }
  if (index) KnownDatabase::Appended(*index, path, records);
  const core::FileResult flushed = core::FlushFileSystem(path);
  return flushed ? UpsertResult{} : Failed(flushed.error);
}

UpsertResult UpsertTransmissionRecord(const std::string& path, const TransmissionRecord& record) {
  return UpsertTransmissionRecords(path, {record});
}

}  // namespace wfdesk::textdb
