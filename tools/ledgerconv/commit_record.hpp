#pragma once

// The record that makes an export's conversion survive a crash.
//
// The invoices of an export are first written under hidden temporary names
// in the invoice folder and flushed. Then this record is written (atomically,
// hidden as well): from that moment on the export counts as converted. Then
// each temporary file is renamed to its invoice name, the export is archived
// or deleted, and the record is removed last. A run that finds a record
// finishes that work before anything else; temporary files without a record
// are what a crashed run left before its decision and are removed, and the
// export, still in place, is converted again.
//
// An invoice name already taken by a file with the same content counts as
// placed (a rename that did happen); one with other content stops the
// record from being finished, so that nothing is overwritten and nothing is
// written twice: the record stays until someone clears the name.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wfdesk::tools {

inline constexpr std::string_view kTemporarySuffix = ".ledgerconv-part";
inline constexpr std::string_view kRecordPrefix = ".ledgerconv-commit-";
inline constexpr std::string_view kLockName = ".ledgerconv-lock";

struct CommitRecord {
  std::string export_path;
  std::string export_digest;         // of its bytes; tells it from a new file of the same name
  std::string archive;               // where it goes; "" deletes it
  std::vector<std::string> outputs;  // invoice file names in the invoice folder
};

std::string RecordText(const CommitRecord& record);
std::optional<CommitRecord> ParseRecord(std::string_view text);

// The hidden name an invoice file is written under first.
std::string TemporaryName(const std::string& output_name);
// The record's file name for an export.
std::string RecordName(const std::string& export_path);
// Whether a hidden file of the invoice folder is a leftover of this
// program: a temporary invoice or a record's own unfinished write.
bool IsLeftoverName(std::string_view name);

// A digest of an export's bytes (64-bit FNV-1a, in hex).
std::string Digest(std::string_view bytes);

}  // namespace wfdesk::tools
