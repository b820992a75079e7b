#include "textdb/record_actions.hpp"

#include <optional>

#include "core/file_lock.hpp"
#include "core/files.hpp"
#include "core/language.hpp"
#include "core/settings.hpp"
#include "textdb/record_rewrite.hpp"
#include "textdb/records.hpp"
#include "textdb/transmission_list.hpp"
#include "textdb/transmission_record.hpp"

namespace wfdesk::textdb {

namespace {

std::string Text(const core::Context& context, std::string_view key) {
  return core::GetLanguageText(key, context.settings.language);
}

ActionResult NotEnabled(const core::Context& context, const std::string& workflow_name) {
  return ActionResult::NotDone(core::FormatLanguageText("lg_mesg_rec006", context.settings.language,
                                                        {workflow_name, kRecordActionsEnabled}));
}

ActionResult Missing(const core::Context& context, const std::string& path) {
  return ActionResult::NotDone(Text(context, "lg_mesg_file001") + path +
                               Text(context, "lg_mesg_file002"));
}

ActionResult NotFound(const core::Context& context, const std::string& id,
                      const std::string& path) {
  return ActionResult::NotDone(Text(context, "lg_mesg_rec001") + id +
                               Text(context, "lg_mesg_rec002") + path +
                               Text(context, "lg_mesg_rec003"));
}

ActionResult Busy(const core::Context& context, const std::string& path) {
  ActionResult result = ActionResult::NotDone(Text(context, "lg_mesg_rec004") + path +
                                              Text(context, "lg_mesg_rec005"));
  result.busy = true;
  return result;
}

// Reads, changes and writes the database under its lock, part by part, so
// that the untouched bytes are copied through and never held whole; `edit`
// null deletes the records. Until the new content is whole the file stays
// as it was; an emptied database is removed.
ActionResult ChangeUnderLock(const core::Context& context, const std::string& path,
                             const std::string& id, const RecordEdit* edit) {
  core::FileLock lock(DatabaseLockPath(path), kLockPatience);
  if (lock.state() == core::FileLock::State::kBusy) return Busy(context, path);
  if (lock.state() == core::FileLock::State::kFailed) return ActionResult::NotDone(lock.error());
  core::RemoveStaleTemporaries(path);
  if (!core::IsPlainFile(path)) return Missing(context, path);
  core::FileReplacement replacement(path);
  RecordRewriter rewriter(id, edit);
  const auto write = [&replacement](std::string_view piece) { replacement.Write(piece); };
  const core::FileResult read =
      core::ReadLineParts(path, [&](std::string_view part) { rewriter.Rewrite(part, write); });
  if (!read) return ActionResult::NotDone(read.error);
  if (!rewriter.found()) return NotFound(context, id, path);
  if (!rewriter.changed()) return ActionResult::Done();
  const core::FileResult stored =
      replacement.size() == 0 ? core::DeleteFileIfListed(path) : replacement.Commit();
  return stored ? ActionResult::Done() : ActionResult::NotDone(stored.error);
}

ActionResult Change(const core::Context& context, const std::string& workflow_name,
                    const std::string& id, const RecordEdit* edit) {
  const WorkflowDatabase db = DatabaseOf(context, workflow_name);
  if (!db.ActionsEnabled()) return NotEnabled(context, workflow_name);
  // Checked before locking, so that a missing folder is not reported as a
  // lock file that cannot be created.
  if (!core::IsPlainFile(db.path)) return Missing(context, db.path);
  if (id.empty()) return ActionResult::NotDone(Text(context, "lg_mesg_rec007"));
  return ChangeUnderLock(context, db.path, id, edit);
}

}  // namespace

std::string DatabaseLockPath(const std::string& path) {
  std::string file = core::CanonicalPath(path);
  if (file.empty()) file = path;
  const std::string name = core::FileNameOf(file);
  return file.substr(0, file.size() - name.size()) + "." + name + ".lock";
}

std::string WhyNotStorable(std::string_view value, core::LanguageCode language) {
  std::string_view key;
  if (value.find("\";") != std::string_view::npos) {
    key = "lg_mesg_rec011";
  } else if (value.find("|||") != std::string_view::npos) {
    key = "lg_mesg_rec012";
  } else if (value.find_first_of("\r\n") != std::string_view::npos) {
    key = "lg_mesg_rec013";
  }
  return key.empty() ? "" : core::GetLanguageText(key, language);
}

ActionResult WriteChangesToDB(const core::Context& context, const std::string& workflow_name,
                              const std::string& element_id, const RecordChange& change) {
  const core::LanguageCode language = context.settings.language;
  // Checked in the order the CLI and the dialog name them.
  const std::pair<int, const std::optional<std::string>*> fields[] = {
      {kInvoiceDateField, &change.invoice_date},
      {kAcknowledgementField, &change.acknowledgement},
      {kWriteTagField, &change.write_tag}};
  std::vector<FieldValue> values;
  for (const auto& [field, value] : fields) {
    if (!*value) continue;
    if (const std::string why = WhyNotStorable(**value, language); !why.empty()) {
      return ActionResult::NotDone(
          core::FormatLanguageText("lg_mesg_rec010", language, {**value, why}));
    }
    values.push_back({field, **value});
  }
  const RecordEdit edit = [&values](std::string_view) { return values; };
  return Change(context, workflow_name, element_id, &edit);
}

ActionResult SwitchWriteTagInDB(const core::Context& context, const std::string& workflow_name,
                                const std::string& element_id) {
  const RecordEdit edit = [](std::string_view record) {
    const bool set = core::LeadingNumber(RecordFieldView(record, kWriteTagField)) == 1;
    return std::vector<FieldValue>{{kWriteTagField, set ? "0" : "1"}};
  };
  return Change(context, workflow_name, element_id, &edit);
}

ActionResult DeleteElementInDB(const core::Context& context, const std::string& workflow_name,
                               const std::string& element_id) {
  if (element_id.empty()) return ActionResult::NotDone(Text(context, "lg_mesg_rec008"));
  const std::string question =
      core::FormatLanguageText("lg_mesg_rec014", context.settings.language, {element_id});
  if (!context.person.Confirm(question)) {
    return ActionResult::NotDone(Text(context, "lg_mesg_rec009"));
  }
  return Change(context, workflow_name, element_id, nullptr);
}

}  // namespace wfdesk::textdb
