#pragma once

#include <string>
#include <string_view>

#include "core/context.hpp"

namespace wfdesk::textdb {

// New values of a record: record field 6, record field 4 and the write tag.
struct RecordChange {
  std::string field6;
  std::string field4;
  std::string write_tag;
};

struct ActionResult {
  bool done = false;
  std::string message;  // why nothing was done

  static ActionResult Done() { return {true, ""}; }
  static ActionResult NotDone(std::string why) { return {false, std::move(why)}; }
};

// The record actions of a workflow whose WORKFLOW listaction is "dbelement".
// Each reloads the workflow's database first (its dbfile, else the textdb
// file) and writes back to that file, atomically; every record goes back as
// its fields 1 to 13 joined with ";", a field with ";" or a leading double
// quote in double quotes. Nothing is written when the action is refused.

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
std::string WhyNotStorable(std::string_view value);

}  // namespace wfdesk::textdb
