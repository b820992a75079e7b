// The record field reader and the record actions: a field view lies inside
// its line; unquoted values joined with ";" read back exactly; a list row
// has its columns' widths and starts with the whole element ID; a record changed with storable
// values reads back with the new values and every other field as before, and every line of another
// record stays byte for byte.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "fuzz/check.hpp"
#include "textdb/record_actions.hpp"
#include "textdb/records.hpp"
#include "textdb/transmission_list.hpp"
#include "textdb/transmission_record.hpp"

namespace {

using namespace std::literals;
using wfdesk::fuzz::Check;
namespace textdb = wfdesk::textdb;

void CheckAnyLine(FuzzedDataProvider& in) {
  const std::string line = in.ConsumeRandomLengthString(200);
  const int n = in.ConsumeIntegralInRange(-1, 16);
  const std::string_view field = textdb::RecordFieldView(line, n);
  Check(field.empty() || (field.data() >= line.data() &&
                          field.data() + field.size() <= line.data() + line.size()),
        "a field is part of its line");
  Check(textdb::GetRecordField(line, n) == field, "GetRecordField copies RecordFieldView");

  std::string row = "before";
  textdb::AppendRow(row, line);
  const std::string_view id = textdb::RecordFieldView(line, textdb::kInvoiceNumberField);
  const bool untagged = textdb::RecordFieldView(line, textdb::kWriteTagField) == "0";
  const std::size_t width = std::max(id.size(), textdb::kIdColumn) + textdb::kDateColumn +
                            (untagged ? textdb::kMarkColumn : 1) + textdb::kReceiptColumn +
                            textdb::kTextColumn + 4 * textdb::kColumnGap;
  Check(row.size() == 6 + width, "a row is as wide as its columns, added after what was there");
  Check(row.compare(0, 6, "before") == 0 && row.compare(6, id.size(), id) == 0,
        "a row starts with the whole element ID");
}

void CheckJoinedValues(FuzzedDataProvider& in) {
  std::vector<std::string> values(std::size_t(in.ConsumeIntegralInRange(1, 15)));
  std::string line;
  for (auto& value : values) {
    value = wfdesk::fuzz::Without(in.ConsumeRandomLengthString(20), ";\"\r\n");
    if (&value != &values.front()) line += ';';
    line += value;
  }
  for (std::size_t i = 0; i < values.size(); ++i) {
    Check(textdb::GetRecordField(line, int(i) + 1) == values[i], "a joined value reads back");
  }
  Check(textdb::GetRecordField(line, int(values.size()) + 1).empty(), "no field past the last");
}

class SilentOperator : public wfdesk::core::Operator {
 public:
  void Tell(const std::string&) override {}
  bool Ask(const std::string&) override { return true; }
};

std::vector<std::vector<std::string>> FieldsOfFile(const std::string& path) {
  const auto records = textdb::RecordList::FromFileContent(wfdesk::fuzz::ReadFile(path));
  std::vector<std::vector<std::string>> all;
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records.IsSkipped(i)) continue;
    all.emplace_back();
    for (int n = 1; n <= textdb::kRecordFields; ++n)
      all.back().push_back(textdb::GetRecordField(records.Record(i), n));
  }
  return all;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; start < text.size(); start = end + 2) {
    end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

// Called with the rest of the input: lines of a database, an element ID and
// the new values.
void CheckChangedRecords(FuzzedDataProvider& in) {
  const std::string& home = wfdesk::fuzz::ScratchFolder();
  // Absolute, since the current folder is libFuzzer's.
  wfdesk::fuzz::WriteFile(home + "/wf.ini",
                          "[WORKFLOW]\r\ndbfile=" + home + "/db.csv\r\nlistaction=dbelement\r\n");
  std::string db;
  for (int n = in.ConsumeIntegralInRange(1, 6); n > 0; --n)
    db += wfdesk::fuzz::Without(in.ConsumeRandomLengthString(120), "\r\n") + "\r\n";
  wfdesk::fuzz::WriteFile(home + "/db.csv", db);
  const auto before = FieldsOfFile(home + "/db.csv");
  const std::string id =
      in.ConsumeBool() && !before.empty()
          ? before[in.ConsumeIntegralInRange<std::size_t>(0, before.size() - 1)][0]
          : in.ConsumeRandomLengthString(10);
  // Each field changed or left as the file has it.
  const auto maybe = [&in](std::size_t length) -> std::optional<std::string> {
    if (!in.ConsumeBool()) return std::nullopt;
    return in.ConsumeRandomLengthString(length);
  };
  textdb::RecordChange change;
  change.invoice_date = maybe(20);
  change.acknowledgement = maybe(20);
  change.write_tag = maybe(4);
  const auto storable_or_kept = [](const std::optional<std::string>& value) {
    return !value || textdb::WhyNotStorable(*value).empty();
  };
  const bool storable = storable_or_kept(change.invoice_date) &&
                        storable_or_kept(change.acknowledgement) &&
                        storable_or_kept(change.write_tag);

  SilentOperator person;
  wfdesk::core::SpawnLauncher launcher;
  wfdesk::core::SystemClock clock;
  wfdesk::core::SystemGuidSource guids;
  wfdesk::core::AppSettings settings;
  settings.data_dir = home;
  const wfdesk::core::Context context{home, settings, person, launcher, clock, guids};
  const bool done = textdb::WriteChangesToDB(context, "wf.ini", id, change).done;
  const bool known = !id.empty() && std::any_of(before.begin(), before.end(),
                                                [&](const auto& f) { return f[0] == id; });
  Check(done == (storable && known), "a change is done exactly for a known ID and storable values");
  const std::string after = wfdesk::fuzz::ReadFile(home + "/db.csv");
  if (!done) {
    Check(after == db, "a refused change writes nothing");
    return;
  }
  auto expected = before;
  for (auto& fields : expected) {
    if (fields[0] != id) continue;
    fields[3] = change.acknowledgement.value_or(fields[3]);
    fields[5] = change.invoice_date.value_or(fields[5]);
    fields[12] = change.write_tag.value_or(fields[12]);
  }
  Check(FieldsOfFile(home + "/db.csv") == expected, "changed records read back as changed");
  const auto old_lines = Lines(db), new_lines = Lines(after);
  Check(old_lines.size() == new_lines.size(), "a change keeps the number of lines");
  for (std::size_t i = 0; i < old_lines.size() && i < new_lines.size(); ++i) {
    if (textdb::GetRecordField(old_lines[i], 1) != id) {
      Check(old_lines[i] == new_lines[i], "a line of another record stays byte for byte");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  CheckAnyLine(in);
  CheckJoinedValues(in);
  CheckChangedRecords(in);
  return 0;
}
