#include "textdb/transmission_list.hpp"
#include "core/ascii.hpp"

#include "core/workflow_file.hpp"

namespace wfdesk::textdb {

namespace {

bool ContainsIgnoringCase(std::string_view text, const std::string& lower_needle) {
  if (lower_needle.empty()) return true;
  if (text.size() < lower_needle.size()) return false;
  for (std::size_t start = 0; start + lower_needle.size() <= text.size(); ++start) {
    std::size_t i = 0;
    while (i < lower_needle.size() && core::LowerAscii(text[start + i]) == lower_needle[i]) ++i;
    if (i == lower_needle.size()) return true;
  }
  return false;
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

std::string FormatRow(std::string_view record) {
  const std::string_view tag = RecordFieldView(record, 13);
  std::string row = PadToWidth(RecordFieldView(record, 1), 20, true);
  row += kGap;
  row += PadToWidth(RecordFieldView(record, 6), 10, false);
  row += kGap;
  row += tag == "0" ? "    " : "W";
  row += kGap;
  row += PadToWidth(RecordFieldView(record, 4), 20, false);
  row += kGap;
  row += PadToWidth(RecordFieldView(record, 3), 100, false);
  return row;
}

TransmissionRows FilterRows(const RecordList& records, std::string_view filter) {
  TransmissionRows result;
  const std::string needle = core::LowerAscii(filter);
  // The previous ID starts as "", so a first record with an empty ID is not
  // listed.
  std::string_view previous_id;
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records.IsSkipped(i)) continue;
    const std::string_view record = records.Record(i);
    const std::string_view id = RecordFieldView(record, 1);
    const bool repeated = id == previous_id;
    previous_id = id;
    if (repeated || !ContainsIgnoringCase(id, needle)) continue;
    result.rows.push_back(FormatRow(record));
    result.element_ids.emplace_back(id);
  }
  return result;
}

TransmissionRows FillDBlist(const core::Context& context, const std::string& workflow_name,
                            std::string_view filter, RecordList* loaded) {
  const WorkflowDatabase db = DatabaseOf(context, workflow_name);
  LoadStatus status = LoadStatus::kLoaded;
  RecordList records = LoadTextDatabase(context, db.dbfile, &status);
  TransmissionRows rows = FilterRows(records, filter);
  rows.status = status;
  if (loaded) *loaded = std::move(records);
  return rows;
}

}  // namespace wfdesk::textdb
