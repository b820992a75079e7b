#pragma once

// Checking invoices before they leave: each file against the UBL 2.1
// schema of its root element (Invoice or CreditNote), in this process with
// libxml2, then the files that passed against business rules (the EN 16931
// rules, Schematron compiled to XSLT 2.0) in one start of Saxon for all of
// them. A file is valid only when both checks ran and found no fatal
// failure; when the rules are configured but cannot run, no file is valid.

#include <string>
#include <vector>

#include "core/seams.hpp"

namespace wfdesk::validation {

// The value of a rules setting that checks the schema only.
inline constexpr const char* kNoRules = "none";

// What a check uses. Empty paths take the shipped files (see
// LocateValidationData).
struct CheckSetup {
  std::string schema = "";     // one schema for every file; "" chooses by the root element
  std::string rules = "";      // the rules (XSLT 2.0); "" the shipped EN 16931 rules; kNoRules none
  std::string java = "";       // the java program; "" java on PATH
  std::string saxon = "";      // the Saxon-HE jar; "" the system's (/usr/share/java/Saxon-HE.jar)
  int time_limit_seconds = 0;  // for the one rules run; 0 no limit
  // Where the rules run keeps its copies of the files for the time of the
  // run; "" the system's temporary folder.
  std::string scratch_folder = "";
};

// One failed rule or schema error, or a warning.
struct Finding {
  std::string id;        // the rule's id ("BR-CO-15"), "XSD" for the schema, "XML" for the parser
  std::string flag;      // "fatal" makes the file invalid; "warning" and others do not
  std::string text;      // what it says, one line
  std::string location;  // where: the rule's XPath, or "line N"
};

struct FileVerdict {
  std::string path;
  bool valid = false;
  std::vector<Finding> findings;  // in the order of the document
};

struct CheckOutcome {
  // False when the check could not be made (the rules could not run, a
  // schema or rules file is missing or broken): then no file is valid and
  // `failure` says what is missing and how to get it.
  bool checked = false;
  std::string failure;
  std::vector<FileVerdict> files;  // in the order given
  std::string rules_used;          // the rules file, or kNoRules
};

// Checks the files. The launcher starts Saxon, once for all files that
// passed the schema.
CheckOutcome CheckInvoices(const CheckSetup& setup, const std::vector<std::string>& files,
                           core::ProcessLauncher& launcher);

// A finding on one line: "ID [flag] text (location)".
std::string FindingText(const Finding& finding);

// The report of a file: its verdict, then for each finding its id, flag,
// text and location, one finding a line: "FILE: valid" or "FILE: invalid",
// then a FindingText line for each finding. Lines end in CR LF.
std::string ReportText(const FileVerdict& verdict);

}  // namespace wfdesk::validation
