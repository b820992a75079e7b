#pragma once

#include <functional>
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

// The columns of a row, in characters, and the blanks between two of them.
inline constexpr std::size_t kIdColumn = 20;       // at least: a longer ID stays whole
inline constexpr std::size_t kDateColumn = 10;     // the invoice date
inline constexpr std::size_t kMarkColumn = 4;      // "W" (one character) or four blanks
inline constexpr std::size_t kReceiptColumn = 20;  // the acknowledgement ID
inline constexpr std::size_t kTextColumn = 100;    // the text
inline constexpr std::size_t kColumnGap = 3;

// A row of the list: element ID (20, never cut), invoice date (10), the
// write mark ("W", or four blanks for the tag "0"), acknowledgement ID (20)
// and text (100), three blanks between them; added to the end of `out`.
void AppendRow(std::string& out, std::string_view record);

// The rows of a list. Each row keeps only its place in the loaded records;
// its text is made when asked for, so a list of a million rows costs no
// more than their places.
class TransmissionRows {
 public:
  LoadStatus status = LoadStatus::kLoaded;  // of the database the rows come from

  std::size_t size() const { return shown_.size(); }
  bool empty() const { return shown_.size() == 0; }
  // The record row `row` shows.
  std::string_view Record(std::size_t row) const;
  std::string_view ElementId(std::size_t row) const;
  // The first of the rows with the longest element ID: the widest row, but
  // for the write mark, which may make another row three characters wider.
  std::size_t WidestRow() const { return widest_; }
  // The records the rows come from.
  const RecordList& records() const { return records_; }

 private:
  friend TransmissionRows FilterRows(const RecordList& records, std::string_view filter);
  void Add(std::string_view record, std::string_view id);

  RecordList records_;
  // Where each row's record begins in the records' text: a growing array
  // of numbers that a realloc may move without copying, as a list may have
  // a million rows and each keystroke makes it anew.
  class Offsets {
   public:
    Offsets() = default;
    Offsets(Offsets&& other) noexcept;
    Offsets& operator=(Offsets&& other) noexcept;
    ~Offsets();
    std::size_t size() const { return size_; }
    std::size_t operator[](std::size_t i) const { return data_[i]; }
    void push_back(std::size_t offset);

   private:
    std::size_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
  };

  Offsets shown_;
  std::size_t widest_ = 0;
  std::size_t widest_id_ = 0;
};

// The rows of the records whose element ID contains the filter (ASCII case
// ignored; "" shows all); of consecutive records with equal IDs only the
// first is listed. Only the element IDs are read to choose the rows.
TransmissionRows FilterRows(const RecordList& records, std::string_view filter);

// Called with each record a list shows and its element ID.
using ListedRecordVisit = std::function<void(std::string_view record, std::string_view id)>;
// The records FilterRows lists, in order, without keeping them.
void ForEachListedRecord(const RecordList& records, std::string_view filter,
                         const ListedRecordVisit& visit);

// ForEachListedRecord over the file at `path`, read in parts of whole lines
// through a buffer of about `buffer` bytes, so that a database of any size
// is listed in little memory.
core::FileResult ForEachListedRecordInFile(const std::string& path, std::string_view filter,
                                           const ListedRecordVisit& visit,
                                           std::size_t buffer = std::size_t{1} << 20);

// The records the workflow's list shows, read from its database part by
// part; the operator is told of a missing or unreadable database as
// LoadTextDatabase tells.
LoadStatus ListWorkflowRecords(const core::Context& context, const std::string& workflow_name,
                               std::string_view filter, const ListedRecordVisit& visit);

// Loads the workflow's database (which may tell the operator it is missing)
// and returns its rows under the filter.
TransmissionRows FillDBlist(const core::Context& context, const std::string& workflow_name,
                            std::string_view filter);

}  // namespace wfdesk::textdb
