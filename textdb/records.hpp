#pragma once

// The transmission database: a text file with one record per line and the
// fields of a record separated by ";".

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/context.hpp"
#include "core/files.hpp"
#include "core/line_index.hpp"

namespace wfdesk::textdb {

inline constexpr char kSeparator = ';';
inline constexpr int kRecordFields = 13;

// The numbered lines of the database last loaded. Entry i of a loaded file
// is "i;" and line i; after the lines comes one empty entry. A missing file
// (and the start) gives one entry holding a single blank; an empty file no
// entries. Consumers skip "" and " ". The file's bytes are kept once, shared
// by the copies of a list; its lines are indexed only when first numbered.
class RecordList {
 public:
  // One entry holding a single blank.
  RecordList() = default;
  // The entries of a file's content.
  static RecordList FromFileContent(std::string content);
  static RecordList FromFileBytes(std::shared_ptr<const core::FileBytes> bytes);

  std::size_t size() const;
  // The entry as text, line number first.
  std::string Entry(std::size_t i) const;
  // Whether consumers pass the entry over: "" or a single blank.
  bool IsSkipped(std::size_t i) const;
  // The line of a record entry, without its number.
  std::string_view Record(std::size_t i) const;
  // The whole file as loaded; "" for the one-blank list.
  std::string_view text() const;
  // Calls visit(record) for the line of each record entry in order, without
  // numbering them.
  template <typename Visit>
  void ForEachRecord(Visit&& visit) const {
    if (loaded_) core::ForEachLine(text(), 0, visit);
  }

 private:
  struct Loaded;
  const std::vector<core::LineSpan>& Lines() const;

  std::shared_ptr<Loaded> loaded_;  // null for the one-blank list
};

enum class LoadStatus { kLoaded, kMissing, kUnreadable };

// Loads `path`, or the textdb file of the settings when it is "", through
// the context's cache of databases: while the file is unchanged the same
// bytes are listed again. A line ends at CR LF, a lone CR or a lone LF. A missing
// file gives the one-blank list and, unless silentmode is a non-zero number,
// the message "The file PATH does not exist." in the settings' language; an
// unreadable one tells why. `status` receives how the file was found.
RecordList LoadTextDatabase(const core::Context& context, const std::string& path,
                            LoadStatus* status = nullptr);

// Tells the operator of a missing database (unless silentmode is a
// non-zero number) or of an unreadable one, as LoadTextDatabase does.
void TellLoadProblem(const core::Context& context, const std::string& path, LoadStatus status,
                     const std::string& error);

// The path LoadTextDatabase reads for `path`.
std::string DatabasePath(const core::Context& context, const std::string& path);

// Field n (from 1) of a line. A field in double quotes ends at the first
// double quote followed by the separator and loses its quotes; without that
// pair it runs to the end of the line, whose last character is taken for the
// closing quote. "" for n below 1 and for a field the line does not have.
std::string_view RecordFieldView(std::string_view line, int n, char separator = kSeparator);
// Fields 1 to fields.size() of a line in one walk, as RecordFieldView reads
// them; "" for those the line does not have.
void RecordFieldViews(std::string_view line, std::span<std::string_view> fields,
                      char separator = kSeparator);
std::string GetRecordField(std::string_view line, int n, char separator = kSeparator);

}  // namespace wfdesk::textdb
