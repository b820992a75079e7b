#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/context.hpp"
#include "textdb/records.hpp"

namespace wfdesk::textdb {

inline constexpr const char* kRecordActionsEnabled = "dbelement";

// The WORKFLOW keys of a workflow file that concern its database.
struct WorkflowDatabase {
  std::string dbfile;      // as configured; "" means the textdb file
  std::string listaction;  // "dbelement" enables the record actions
  std::string path;        // the file the list is loaded from

  bool ActionsEnabled() const { return listaction == kRecordActionsEnabled; }
};

// Reads the keys afresh from data folder / workflow_name ("" before any
// selection: then every key reads as "").
WorkflowDatabase DatabaseOf(const core::Context& context, const std::string& workflow_name);

// A row of the list: element ID (20, never cut), record field 6 (10), the
// write mark ("W", or four blanks for the tag "0"), record field 4 (20) and
// record field 3 (100), three blanks between them.
std::string FormatRow(std::string_view record);

struct TransmissionRows {
  std::vector<std::string> rows;
  std::vector<std::string> element_ids;     // of each row
  LoadStatus status = LoadStatus::kLoaded;  // of the database the rows come from
};

// The rows of the records whose element ID contains the filter (ASCII case
// ignored; "" shows all); of consecutive records with equal IDs only the
// first is listed.
TransmissionRows FilterRows(const RecordList& records, std::string_view filter);

// Loads the workflow's database (which may tell the operator it is missing)
// and returns its rows under the filter; `loaded` receives the records.
TransmissionRows FillDBlist(const core::Context& context, const std::string& workflow_name,
                            std::string_view filter, RecordList* loaded = nullptr);

}  // namespace wfdesk::textdb
