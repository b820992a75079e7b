#pragma once

// Converting the exports of a folder into invoice files, each export whole
// or not at all, even across a crash (see commit_record.hpp).

#include <string>

#include "tools/common/switches.hpp"

namespace wfdesk::tools {

struct ConvertOptions {
  std::string folder;      // of the exports
  std::string mask;        // which of its files
  std::string out_folder;  // for the invoices
  std::string extension;   // of the invoice files
  std::string prefix;      // of their names
  std::string archive;     // for converted exports; "" deletes them
};

struct ConvertSummary {
  int invoices = 0;  // written, those of an interrupted earlier run included
  int exports = 0;   // converted
  int kept = 0;      // exports kept, or whose conversion could not be finished
};

// Finishes what an interrupted run left, then converts every export the
// mask lists. Only one run at a time works on an invoice folder: a second
// one converts nothing and counts as one kept export.
ConvertSummary ConvertExports(const ConvertOptions& options, const ToolLog& log);

}  // namespace wfdesk::tools
