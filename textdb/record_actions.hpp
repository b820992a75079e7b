#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "core/context.hpp"
#include "core/language.hpp"

namespace wfdesk::textdb {

// New values of a record: the invoice date (field 6), the acknowledgement
// ID (field 4) and the write tag. A field without a value keeps what the
// file holds when the change is written, so that a change made meanwhile
// by a run (an acknowledgement) is not overwritten with an old value.
struct RecordChange {
  std::optional<std::string> invoice_date;
  std::optional<std::string> acknowledgement;
  std::optional<std::string> write_tag;

  bool empty() const { return !invoice_date && !acknowledgement && !write_tag; }
};

struct ActionResult {
  bool done = false;
  std::string message;  // why nothing was done
  bool busy = false;    // another writer held the database too long

  static ActionResult Done() { return {true, "", false}; }
  static ActionResult NotDone(std::string why) { return {false, std::move(why), false}; }
};

// The record actions of a workflow whose WORKFLOW listaction is "dbelement".
// Each works on the workflow's database (its dbfile, else the textdb file)
// under an advisory lock, the hidden file ".NAME.lock" beside the database
// file (links followed), held from reading the file to replacing it, so
// that writers at the same time do not lose each other's changes. A writer
// waits a few seconds for the lock, then gives up with a message. Under the
// lock the temporary files an interrupted replace left are removed first.
//
// The file is replaced atomically. Only the records with the element ID
// change; every other byte stays as it was. A changed field is stored with
// ";" or a leading double quote in double quotes. An ID no record has (or
// the ID "") changes nothing. Nothing is written when the action is refused.

// The time a record action waits for another writer's lock.
inline constexpr std::chrono::milliseconds kLockPatience{3000};

// The lock file that guards the database file `path`.
std::string DatabaseLockPath(const std::string& path);

// Sets field 6, field 4 and the write tag of every record with the ID.
ActionResult WriteChangesToDB(const core::Context& context, const std::string& workflow_name,
                              const std::string& element_id, const RecordChange& change);

// Toggles the write tag of every record with the ID: 1 becomes 0, any other
// number 1.
ActionResult SwitchWriteTagInDB(const core::Context& context, const std::string& workflow_name,
                                const std::string& element_id);

// Asks "Wollen Sie das Element ID aus der Datenbank löschen?" (before
// anything else is looked at; nothing is asked for the ID "") and on Yes
// removes every record with the ID. When no record remains the file is
// deleted.
ActionResult DeleteElementInDB(const core::Context& context, const std::string& workflow_name,
                               const std::string& element_id);

// Why a new field value cannot be stored so that it reads back the same, or
// "" when it can.
std::string WhyNotStorable(std::string_view value, core::LanguageCode language = core::kEnglish);

}  // namespace wfdesk::textdb
