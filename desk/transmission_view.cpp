#include "desk/transmission_view.hpp"

#include <QAction>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <array>

#include "core/files.hpp"
#include "core/text_encoding.hpp"
#include "core/workflow_file.hpp"
#include "desk/lines_model.hpp"
#include "desk/lines_view.hpp"
#include "desk/record_dialog.hpp"
#include "desk/text_codec.hpp"
#include "desk/texts.hpp"
#include "engine/invalid_record.hpp"
#include "textdb/record_actions.hpp"
#include "textdb/transmission_list.hpp"
#include "textdb/transmission_record.hpp"

namespace wfdesk::desk {

namespace {

// The blanks between two columns of a row.
const QString kGap(static_cast<int>(textdb::kColumnGap), ' ');

// The text cut or padded with blanks to `width` characters; with
// `keep_long` a longer text stays whole.
QString Column(const QString& text, std::size_t width, bool keep_long = false) {
  const auto columns = static_cast<qsizetype>(width);
  if (keep_long || text.size() <= columns) return text.leftJustified(columns, ' ');
  // A character beyond the first 65536 is not cut in half.
  return text.first(text.at(columns - 1).isHighSurrogate() ? columns - 1 : columns)
      .leftJustified(columns, ' ');
}

// A row as the list shows it: the columns of textdb's rows (AppendRow),
// counted in characters rather than bytes, and the write mark's column as
// wide with "W" as with blanks, so that every row lines up under the
// heading. UTF-8, whatever the database's code page.
std::string ShownRow(std::string_view record) {
  std::array<std::string_view, textdb::kRecordFields> fields;
  textdb::RecordFieldViews(record, fields);
  const TextEncoding encoding = DetectEncoding(record);
  const auto field = [&](int number) { return Decode(fields[number - 1], encoding); };
  const bool untagged = fields[textdb::kWriteTagField - 1] == "0";
  const QString row = Column(field(textdb::kInvoiceNumberField), textdb::kIdColumn, true) + kGap +
                      Column(field(textdb::kInvoiceDateField), textdb::kDateColumn) + kGap +
                      Column(untagged ? "" : "W", textdb::kMarkColumn) + kGap +
                      Column(field(textdb::kAcknowledgementField), textdb::kReceiptColumn) + kGap +
                      Column(field(textdb::kDescriptionField), textdb::kTextColumn);
  return row.toStdString();
}

// The context with another person to tell and ask.
core::Context WithPerson(const core::Context& context, core::Operator& person) {
  return {context.home,  context.settings,  person,           context.launcher, context.clock,
          context.guids, context.ini_files, context.databases};
}

// Keeps what it is told; passes questions on.
class HeldMessages : public core::Operator {
 public:
  explicit HeldMessages(core::Operator& person) : person_(person) {}
  void Tell(const std::string& message) override { told = message; }
  bool Ask(const std::string& question) override { return person_.Ask(question); }
  bool Confirm(const std::string& question) override { return person_.Confirm(question); }
  std::string told;  // the last message

 private:
  core::Operator& person_;
};

}  // namespace

TransmissionView::TransmissionView(const core::Context& context, Controls controls, QObject* parent)
    : QObject(parent), context_(context), controls_(controls) {
  filter_ = new QLineEdit(controls.filter_parent);
  filter_->setObjectName("text002");
  filter_->setClearButtonEnabled(true);
  filter_->hide();
  connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
    filters_[workflow_] = text;
    if (!showing_) return;
    FillDBlist();
    if (chosen_.empty()) controls_.list->scrollToTop();
  });
  // Only a selected row is chosen: a current row without a selection shows
  // nothing, so no action may act on it.
  connect(controls.list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    if (!showing_) return;
    const QModelIndexList selected = controls_.list->selectionModel()->selectedIndexes();
    ChooseRow(selected.isEmpty() ? -1 : selected.front().row());
  });
  BuildMenu();
  UpdateActions();
}

void TransmissionView::BuildMenu() {
  menu_ = new QMenu(controls_.filter_parent);
  menu_->setObjectName("mnu_records");
  show_ = menu_->addAction(QString());
  show_->setObjectName("mnu_records_show");
  show_->setCheckable(true);
  menu_->addSeparator();
  edit_ = menu_->addAction(QString(), this, &TransmissionView::EditRecord);
  edit_->setObjectName("mnu_records_edit");
  toggle_ = menu_->addAction(QString(), this, &TransmissionView::ToggleRecordTag);
  toggle_->setObjectName("mnu_records_toggle");
  delete_ = menu_->addAction(QString(), this, &TransmissionView::DeleteRecord);
  delete_->setObjectName("mnu_records_delete");
  connect(show_, &QAction::triggered, this, &TransmissionView::Show);
}

void TransmissionView::ApplyTexts() {
  const core::LanguageCode language = context_.settings.language;
  menu_->setTitle(LanguageText("lg_desk_menu_records", language));
  show_->setText(LanguageText("lg_desk_menu_records_show", language));
  edit_->setText(LanguageText("lg_desk_menu_records_edit", language));
  toggle_->setText(LanguageText("lg_desk_menu_records_toggle", language));
  delete_->setText(LanguageText("lg_desk_menu_records_delete", language));
  filter_->setPlaceholderText(LanguageText("lg_desk_filter", language));
  if (showing_) controls_.list->SetHeading(ColumnHeading());
}

QString TransmissionView::ColumnHeading() const {
  const auto text = [this](const char* key, std::size_t width) {
    return LanguageText(key, context_.settings.language)
        .leftJustified(static_cast<int>(width), ' ', true);
  };
  return text("lg_desk_column_id", textdb::kIdColumn) + kGap +
         text("lg_desk_column_date", textdb::kDateColumn) + kGap +
         text("lg_desk_column_tag", textdb::kMarkColumn) + kGap +
         text("lg_desk_column_receipt", textdb::kReceiptColumn) + kGap +
         LanguageText("lg_desk_column_text", context_.settings.language);
}

// Each workflow keeps the filter last typed for its records.
void TransmissionView::SetWorkflow(const std::string& name) {
  workflow_ = name;
  Show(false);
  const QSignalBlocker quiet(filter_);
  filter_->setText(filters_[name]);
}

void TransmissionView::Show(bool show) {
  show_->setChecked(show);
  if (show == showing_) return;
  showing_ = show;
  filter_->setVisible(show);
  LinesView* list = controls_.list;
  // Fixed-width rows, so the columns line up under the heading.
  list->setFont(show ? QFontDatabase::systemFont(QFontDatabase::FixedFont)
                     : list->parentWidget()->font());
  list->SetHeading(show ? ColumnHeading() : QString());
  Choose("");
  rows_ = std::make_shared<const textdb::TransmissionRows>();
  if (show) {
    FillDBlist();
    list->scrollToTop();
    list->horizontalScrollBar()->setValue(0);
    filter_->setFocus();
  }
  emit ShowingChanged(show);
}

void TransmissionView::FillDBlist() {
  const std::string filter = filter_->text().toStdString();
  // The list is filled at each keystroke and after each run: what the
  // database's loader would tell in a box is said once, in the list.
  HeldMessages held(context_.person);
  // The model shares the rows, so a row it asks for is always of the rows it shows.
  const auto rows = std::make_shared<const textdb::TransmissionRows>(
      textdb::FillDBlist(WithPerson(context_, held), workflow_, filter));
  rows_ = rows;
  if (rows->status != textdb::LoadStatus::kLoaded) {
    controls_.rows->SetNotice(DatabaseProblem(rows->status, held.told).toStdString());
    Choose("");
    return;
  }
  const std::string chosen = chosen_;
  controls_.rows->SetRows(
      rows->size(), [rows](std::size_t row) { return ShownRow(rows->Record(row)); },
      rows->empty() ? -1 : static_cast<int>(rows->WidestRow()));
  // The chosen element stays chosen while a row shows it.
  const int row = chosen.empty() ? -1 : RowOf(chosen);
  if (row < 0) {
    Choose("");
    return;
  }
  controls_.list->setCurrentIndex(controls_.rows->index(row));
  Choose(chosen);
}

QString TransmissionView::DatabaseProblem(textdb::LoadStatus status,
                                          const std::string& reason) const {
  const core::LanguageCode language = context_.settings.language;
  const std::string path = textdb::DatabaseOf(context_, workflow_).path;
  if (path.empty()) return LanguageText("lg_desk_records_none", language);
  const QString database = DecodeAuto(core::AbsolutePath(path, context_.home));
  if (status == textdb::LoadStatus::kMissing) {
    return LanguageText("lg_desk_records_missing", language).arg(database);
  }
  return LanguageText("lg_desk_records_unreadable", language).arg(database, DecodeAuto(reason));
}

int TransmissionView::RowOf(const std::string& element) const {
  for (std::size_t row = 0; row < rows_->size(); ++row) {
    if (rows_->ElementId(row) == element) return static_cast<int>(row);
  }
  return -1;
}

void TransmissionView::ChooseRow(int row) {
  const bool valid = row >= 0 && std::size_t(row) < rows_->size();
  Choose(valid ? std::string(rows_->ElementId(std::size_t(row))) : std::string());
}

void TransmissionView::Choose(const std::string& element) {
  chosen_ = element;
  controls_.element->setText(DecodeAuto(element));
  UpdateActions();
}

void TransmissionView::UpdateActions() {
  const bool enabled =
      showing_ && !chosen_.empty() && textdb::DatabaseOf(context_, workflow_).ActionsEnabled();
  for (QAction* action : {edit_, toggle_, delete_}) action->setEnabled(enabled);
}

void TransmissionView::AfterRecordAction(const textdb::ActionResult& result) {
  if (!result.done && !result.message.empty()) context_.person.Tell(result.message);
  FillDBlist();
}

void TransmissionView::EditRecord() {
  const std::string element = chosen_;
  if (element.empty()) return;
  std::string_view current;
  const textdb::RecordList& records = rows_->records();
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records.IsSkipped(i)) continue;
    if (textdb::RecordFieldView(records.Record(i), textdb::kInvoiceNumberField) != element)
      continue;
    current = records.Record(i);
    break;
  }
  const std::string report =
      workflow_.empty()
          ? std::string()
          : engine::RejectionReport(context_, core::WorkflowPath(context_, workflow_),
                                    textdb::RecordFieldView(current, textdb::kFileNameField));
  auto* dialog =
      new RecordDialog(DecodeAuto(element), current, DetectEncoding(records.text()), report,
                       context_.settings.language, context_.person, controls_.list->window());
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::accepted, this, [this, dialog, element] {
    if (dialog->change().empty()) return;
    AfterRecordAction(textdb::WriteChangesToDB(context_, workflow_, element, dialog->change()));
  });
  dialog->open();
}

void TransmissionView::ToggleRecordTag() {
  AfterRecordAction(textdb::SwitchWriteTagInDB(context_, workflow_, chosen_));
}

namespace {

// Passes questions on and notes a No.
class NoteNo : public core::Operator {
 public:
  explicit NoteNo(core::Operator& person) : person_(person) {}
  void Tell(const std::string& message) override { person_.Tell(message); }
  bool Ask(const std::string& question) override { return Noted(person_.Ask(question)); }
  bool Confirm(const std::string& question) override { return Noted(person_.Confirm(question)); }
  bool said_no = false;

 private:
  bool Noted(bool yes) {
    said_no = said_no || !yes;
    return yes;
  }

  core::Operator& person_;
};

}  // namespace

void TransmissionView::DeleteRecord() {
  NoteNo person(context_.person);
  const textdb::ActionResult result =
      textdb::DeleteElementInDB(WithPerson(context_, person), workflow_, chosen_);
  // The person's No needs no second box saying that nothing was deleted.
  if (person.said_no) return;
  AfterRecordAction(result);
}

}  // namespace wfdesk::desk
