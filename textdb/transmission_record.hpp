#pragma once

// The transmission record: one line of the transmission database per
// invoice, written by the connector after each upload and by the invoice
// check for an invoice it put aside, read by the transmission list and
// changed by the record actions. The fields by meaning, numbered from 1:
//
//   1 invoice number (the element ID)   6 invoice date
//   2 file name                         7 amount payable
//   3 text ("Invoice N to BUYER")       8 source format ("UBL 2.1")
//   4 acknowledgement ID                9 target format ("ebi40")
//   5 currency                         10 state (accepted, refused, kept,
//                                         invalid)
//  11, 12 empty                        13 write tag ("0")

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/files.hpp"
#include "core/result.hpp"

namespace wfdesk::textdb {

inline constexpr int kInvoiceNumberField = 1;
inline constexpr int kFileNameField = 2;
inline constexpr int kDescriptionField = 3;
inline constexpr int kAcknowledgementField = 4;
inline constexpr int kCurrencyField = 5;
inline constexpr int kInvoiceDateField = 6;
inline constexpr int kAmountField = 7;
inline constexpr int kSourceFormatField = 8;
inline constexpr int kTargetFormatField = 9;
inline constexpr int kStateField = 10;
inline constexpr int kWriteTagField = 13;

// The states of an upload. "kept": the portal accepted the invoice but its
// acknowledgement could not be kept, so the invoice waits for the next run.
inline constexpr std::string_view kStateAccepted = "accepted";
inline constexpr std::string_view kStateRefused = "refused";
inline constexpr std::string_view kStateKept = "kept";
// Written by the invoice check, not the connector: the invoice failed the
// schema or a rule and was put aside unsent.
inline constexpr std::string_view kStateInvalid = "invalid";

inline constexpr std::string_view kSourceFormat = "UBL 2.1";
inline constexpr std::string_view kTargetFormat = "ebi40";

// Fields 1 to 10 as UTF-8 text; fields 11 and 12 stay empty and a new
// record gets the write tag "0".
struct TransmissionRecord {
  std::string number;
  std::string file_name;
  std::string description;
  std::string acknowledgement;
  std::string currency;
  std::string date;
  std::string amount;
  std::string source_format{kSourceFormat};
  std::string target_format{kTargetFormat};
  std::string state;
};

// The text of a record: "Invoice N to BUYER" or "Credit note N to BUYER",
// without " to BUYER" when the buyer is not known.
std::string RecordDescription(bool credit_note, const std::string& number,
                              const std::string& buyer);

// The record as a line of the database, without line end. Each value is
// made one line of storable text (control characters become blanks) and
// stored as the field reader reads it back; with `windows_1252` the text is
// converted to that code page ("?" for what it cannot hold).
std::string TransmissionLine(const TransmissionRecord& record, bool windows_1252);

// What an earlier upload of an invoice number came to, and what the
// invoice said, to tell a repeated invoice from a changed one.
struct EarlierUpload {
  std::string state;
  std::string acknowledgement;
  std::string currency;
  std::string date;
  std::string amount;
};

// The last record of each invoice number in a database, read once. Numbers
// are looked up as UTF-8, whatever the file's code page. The index keeps
// the file's bytes and the place of each number's last line; a record's
// fields are read when its number is first looked up. For one thread.
class TransmissionIndex {
 public:
  // A missing database is an empty index.
  static core::FileResult Load(const std::string& path, TransmissionIndex& index);

  // Valid until the next Load.
  const EarlierUpload* Find(const std::string& number) const;
  void Remember(const TransmissionRecord& record);

  // Whether updates given this index still take the file's shape from it.
  bool KnowsTheFile() const { return file_.current; }

 private:
  friend class KnownDatabase;

  std::string content_;
  std::unordered_map<std::string, std::size_t> line_starts_;
  // The records looked up or remembered so far.
  mutable std::unordered_map<std::string, EarlierUpload> uploads_;

  // The file as it was loaded and then appended to by updates given this
  // index; `current` is false once anything else may have changed it.
  struct FileState {
    bool current = false;
    bool exists = false;
    core::FileVersion version;
    std::int64_t checked_ns = 0;  // the clock before the version was read
    bool appended_to = false;     // by an update given this index, last
    bool utf8 = true;
    bool ends_with_line_end = true;
    std::unordered_set<std::string> appended;  // numbers added since the load
  } file_;
};

struct UpsertResult {
  enum class Status { kWritten, kBusy, kFailed };
  Status status = Status::kWritten;
  std::string error;  // why it was not written

  explicit operator bool() const { return status == Status::kWritten; }
};

// Writes the records into the database at `path` as one update, as if each
// were written in turn: a number given twice keeps the values given last.
// The update holds the record actions' lock, waiting for it as long as they
// do (busy after that). Records with a number get fields 2 to 10 in place,
// every other byte staying as it was; without one the record is added at
// the end with CR LF (after a line end of its own where the file lacks its
// last one), a missing file is created. A database that is not valid UTF-8
// is taken for Windows-1252, and the records are written in that code page.
// The records are on the disk when the update returns.
//
// When no number has a record yet, the new lines are appended: the file is
// read once to learn that and never written whole, so a large database
// costs no more to add to than a small one. A crash in the middle of
// appending can leave the last new line cut short: a record whose last
// fields are missing (or whose number is), which a later update of its
// number fills in; a state that reads whole follows whole fields. Otherwise the
// file is rewritten and replaced atomically: a crash leaves it old or new.
//
// Given the index loaded from the same path, an update that finds the file
// as the index last saw it takes what it must know from the index instead
// of reading the file, and tells the index what it appended; anything else
// reads the file and leaves the index to look-ups only. A run's updates
// then cost the same however large the database. "As the index saw it":
// the same file, size and change stamps, and, after the load, a change
// stamp old enough to prove that no write came later; after an update
// given the index, which held the lock that every writer of the database
// takes, the same stamps suffice (only an editor that ignores the lock and
// rewrote a line in place within the same clock tick would go unseen).
UpsertResult UpsertTransmissionRecords(const std::string& path,
                                       const std::vector<TransmissionRecord>& records,
                                       TransmissionIndex* index = nullptr);

// UpsertTransmissionRecords for one record.
UpsertResult UpsertTransmissionRecord(const std::string& path, const TransmissionRecord& record);

}  // namespace wfdesk::textdb
