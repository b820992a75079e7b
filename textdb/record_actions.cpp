#include "textdb/record_actions.hpp"

#include <functional>
#include <optional>

#include "core/files.hpp"
#include "core/settings.hpp"
#include "textdb/records.hpp"
#include "textdb/transmission_list.hpp"

namespace wfdesk::textdb {

namespace {

using Fields = std::vector<std::string>;  // record fields 1 to 13

Fields FieldsOf(std::string_view record) {
  Fields fields;
  for (int n = 1; n <= kRecordFields; ++n) fields.push_back(GetRecordField(record, n));
  return fields;
}

// A field as the line stores it, so that it reads back as the same field.
std::string Stored(const std::string& value) {
  const bool needs_quotes =
      value.find(kSeparator) != std::string::npos || (!value.empty() && value.front() == '"');
  return needs_quotes ? "\"" + value + "\"" : value;
}

std::string LineOf(const Fields& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += kSeparator;
    line += Stored(fields[i]);
  }
  return line + "\r\n";
}

// The loaded database of the selected workflow, or why there is none.
struct LoadedDatabase {
  WorkflowDatabase db;
  RecordList records;
};

std::optional<ActionResult> Load(const core::Context& context, const std::string& workflow_name,
                                 LoadedDatabase& loaded) {
  loaded.db = DatabaseOf(context, workflow_name);
  if (!loaded.db.ActionsEnabled()) {
    return ActionResult::NotDone("Record actions are not enabled for the workflow " +
                                 workflow_name + " (its WORKFLOW listaction is not \"" +
                                 kRecordActionsEnabled + "\"). Nothing was changed.");
  }
  std::string error;
  switch (ReadTextDatabase(loaded.db.path, loaded.records, error)) {
    case LoadStatus::kLoaded:
      return std::nullopt;
    case LoadStatus::kMissing:
      return ActionResult::NotDone("The file " + loaded.db.path + " does not exist.");
    case LoadStatus::kUnreadable:
      return ActionResult::NotDone(error);
  }
  return std::nullopt;
}

// Rewrites the database with every record that `rewrite` keeps, changed as
// it says. With no record left, a deletion removes the file; a change
// leaves it as it was.
ActionResult Rewrite(const LoadedDatabase& loaded, const std::string& element_id,
                     const std::function<bool(Fields&)>& rewrite, bool deleting) {
  std::string content;
  for (std::size_t i = 0; i < loaded.records.size(); ++i) {
    if (loaded.records.IsSkipped(i)) continue;
    Fields fields = FieldsOf(loaded.records.Record(i));
    const bool keep = fields[0] == element_id ? rewrite(fields) : true;
    if (keep) content += LineOf(fields);
  }
  if (content.empty()) {
    if (!deleting) return ActionResult::Done();
    const core::FileResult deleted = core::DeleteFileIfListed(loaded.db.path);
    return deleted ? ActionResult::Done() : ActionResult::NotDone(deleted.error);
  }
  const core::FileResult written = core::WriteTextFile(loaded.db.path, content, false);
  return written ? ActionResult::Done() : ActionResult::NotDone(written.error);
}

}  // namespace

std::string WhyNotStorable(std::string_view value) {
  if (value.find("\";") != std::string_view::npos) {
    return "a double quote followed by \";\" cannot be stored in a field";
  }
  if (value.find("|||") != std::string_view::npos) return "\"|||\" cannot be stored in a field";
  if (value.find_first_of("\r\n") != std::string_view::npos) {
    return "a line break cannot be stored in a field";
  }
  return "";
}

ActionResult WriteChangesToDB(const core::Context& context, const std::string& workflow_name,
                              const std::string& element_id, const RecordChange& change) {
  for (const std::string* value : {&change.field6, &change.field4, &change.write_tag}) {
    if (const std::string why = WhyNotStorable(*value); !why.empty()) {
      return ActionResult::NotDone("The value " + *value + " was refused: " + why +
                                   ". Nothing was changed.");
    }
  }
  LoadedDatabase loaded;
  if (auto refused = Load(context, workflow_name, loaded)) return *refused;
  return Rewrite(
      loaded, element_id,
      [&](Fields& fields) {
        fields[3] = change.field4;
        fields[5] = change.field6;
        fields[12] = change.write_tag;
        return true;
      },
      false);
}

ActionResult SwitchWriteTagInDB(const core::Context& context, const std::string& workflow_name,
                                const std::string& element_id) {
  LoadedDatabase loaded;
  if (auto refused = Load(context, workflow_name, loaded)) return *refused;
  return Rewrite(
      loaded, element_id,
      [](Fields& fields) {
        fields[12] = core::LeadingNumber(fields[12]) == 1 ? "0" : "1";
        return true;
      },
      false);
}

ActionResult DeleteElementInDB(const core::Context& context, const std::string& workflow_name,
                               const std::string& element_id) {
  if (element_id.empty())
    return ActionResult::NotDone("No element is chosen. Nothing was deleted.");
  if (!context.person.Ask("Wollen Sie das Element " + element_id + " aus der Datenbank löschen?")) {
    return ActionResult::NotDone("Not confirmed. Nothing was deleted.");
  }
  LoadedDatabase loaded;
  if (auto refused = Load(context, workflow_name, loaded)) return *refused;
  return Rewrite(
      loaded, element_id, [](Fields&) { return false; }, true);
}

}  // namespace wfdesk::textdb
