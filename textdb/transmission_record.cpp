#include "textdb/transmission_record.hpp"

#include <array>

#include "core/file_lock.hpp"
#include "core/files.hpp"
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

// What an upsert must know of the file before it rewrites it.
struct FileShape {
  bool exists = false;
  bool utf8 = true;
  bool ends_with_line_end = true;
};

core::FileResult Inspect(const std::string& path, FileShape& shape) {
  shape.exists = core::IsPlainFile(path);
  if (!shape.exists) return core::FileResult::Ok();
  // Parts are whole lines, so no character is split between two of them.
  return core::ReadLineParts(path, [&shape](std::string_view part) {
    if (part.empty()) return;
    shape.utf8 = shape.utf8 && core::IsValidUtf8(part);
    shape.ends_with_line_end = part.back() == '\n' || part.back() == '\r';
  });
}

UpsertResult Failed(std::string why) {
  return {UpsertResult::Status::kFailed, std::move(why)};
}

UpsertResult Replace(const std::string& path, const TransmissionRecord& record,
                     const FileShape& shape) {
  const bool windows_1252 = !shape.utf8;
  const RecordEdit edit = [&](std::string_view) {
    std::vector<FieldValue> values;
    const auto fields = Fields(record);
    for (int field = kFileNameField; field <= kWrittenFields; ++field) {
      values.push_back({field, Storable(*fields[std::size_t(field - 1)], windows_1252)});
    }
    return values;
  };
  const std::string number = Storable(record.number, windows_1252);
  core::FileReplacement replacement(path);
  RecordRewriter rewriter(number, &edit);
  const auto write = [&replacement](std::string_view piece) { replacement.Write(piece); };
  if (shape.exists) {
    const core::FileResult read =
        core::ReadLineParts(path, [&](std::string_view part) { rewriter.Rewrite(part, write); });
    if (!read) return Failed(read.error);
  }
  if (!rewriter.found()) {
    if (!shape.ends_with_line_end) replacement.Write(kLineEnd);
    replacement.Write(TransmissionLine(record, windows_1252));
    replacement.Write(kLineEnd);
  } else if (!rewriter.changed()) {
    return {};
  }
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
  index.uploads_.clear();
  if (!core::IsPlainFile(path)) return core::FileResult::Ok();
  return core::ReadLineParts(path, [&index](std::string_view part) {
    core::ForEachLine(part, 0, [&index](std::string_view line) {
      const std::string number = core::AsUtf8(RecordFieldView(line, kInvoiceNumberField));
      if (number.empty()) return;
      const auto field = [line](int n) { return core::AsUtf8(RecordFieldView(line, n)); };
      index.uploads_[number] = {field(kStateField), field(kAcknowledgementField),
                                field(kCurrencyField), field(kInvoiceDateField),
                                field(kAmountField)};
    });
  });
}

const EarlierUpload* TransmissionIndex::Find(const std::string& number) const {
  const auto found = uploads_.find(number);
  return found == uploads_.end() ? nullptr : &found->second;
}

void TransmissionIndex::Remember(const TransmissionRecord& record) {
  uploads_[record.number] = {record.state, record.acknowledgement, record.currency, record.date,
                             record.amount};
}

UpsertResult UpsertTransmissionRecord(const std::string& path, const TransmissionRecord& record) {
  core::FileLock lock(DatabaseLockPath(path), kLockPatience);
  if (lock.state() == core::FileLock::State::kBusy) {
    return {UpsertResult::Status::kBusy, "another program kept " + path + " locked too long"};
  }
  if (lock.state() == core::FileLock::State::kFailed) return Failed(lock.error());
  core::RemoveStaleTemporaries(path);
  FileShape shape;
  if (const core::FileResult inspected = Inspect(path, shape); !inspected) {
    return Failed(inspected.error);
  }
  return Replace(path, record, shape);
}

}  // namespace wfdesk::textdb
