// The transmission view of frmMain: the bottom list shows the records of the
// selected workflow's database under the filter in text002, and the record
// actions work on the element whose row is selected.
#include <QAction>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>

#include "core/language.hpp"
#include "desk/lines_model.hpp"
#include "desk/main_window.hpp"
#include "desk/record_dialog.hpp"
#include "desk/text_codec.hpp"
#include "textdb/record_actions.hpp"
#include "textdb/transmission_list.hpp"

namespace wfdesk::desk {

namespace {

QString InLanguage(int language, const char* english, const char* german) {
  return QString::fromUtf8(language == core::kGerman ? german : english);
}

}  // namespace

void FrmMain::BuildRecordControls() {
  mnu_records_ = menuBar()->addMenu(QString());
  mnu_records_->setObjectName("mnu_records");
  mnu_records_show_ = mnu_records_->addAction(QString());
  mnu_records_show_->setObjectName("mnu_records_show");
  mnu_records_show_->setCheckable(true);
  mnu_records_->addSeparator();
  mnu_records_edit_ = mnu_records_->addAction(QString(), this, &FrmMain::EditRecord);
  mnu_records_edit_->setObjectName("mnu_records_edit");
  mnu_records_toggle_ = mnu_records_->addAction(QString(), this, &FrmMain::ToggleRecordTag);
  mnu_records_toggle_->setObjectName("mnu_records_toggle");
  mnu_records_delete_ = mnu_records_->addAction(QString(), this, &FrmMain::DeleteRecord);
  mnu_records_delete_->setObjectName("mnu_records_delete");
  connect(mnu_records_show_, &QAction::toggled, this, &FrmMain::ShowTransmissions);
  connect(text002_, &QLineEdit::textChanged, this, [this] {
    if (showing_transmissions_) FillDBlist();
  });
  connect(log_list_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (!showing_transmissions_) return;
            const int row = current.row();
            const bool valid = row >= 0 && row < static_cast<int>(row_ids_.size());
            lbl_eid_->setText(valid ? DecodeAuto(row_ids_[std::size_t(row)]) : QString());
            UpdateRecordActions();
          });
  UpdateRecordActions();
}

void FrmMain::ApplyRecordTexts() {
  const int language = context_.settings.language;
  mnu_records_->setTitle(InLanguage(language, "&Transmissions", "Ü&bertragungen"));
  mnu_records_show_->setText(
      InLanguage(language, "Show &transmission list", "Übertragungsliste &anzeigen"));
  mnu_records_edit_->setText(InLanguage(language, "&Edit record...", "Datensatz &bearbeiten..."));
  mnu_records_toggle_->setText(
      InLanguage(language, "Toggle &write tag", "&Schreibmarke umschalten"));
  mnu_records_delete_->setText(InLanguage(language, "&Delete record", "Datensatz &löschen"));
  text002_->setPlaceholderText(InLanguage(language, "Filter by element ID", "Filter nach ID"));
}

void FrmMain::ShowTransmissions(bool show) {
  if (show == showing_transmissions_) return;
  SetTransmissionView(show);
  if (show) {
    FillDBlist();
    text002_->setFocus();
  } else {
    ShowLogFile(LogFileOf(current_workflow_file_));
  }
}

void FrmMain::SetTransmissionView(bool show) {
  showing_transmissions_ = show;
  mnu_records_show_->setChecked(show);
  text002_->setVisible(show);
  // Fixed-width rows, so the columns line up.
  log_list_->setFont(show ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : font());
  lbl_eid_->clear();
  row_ids_.clear();
  UpdateRecordActions();
}

void FrmMain::FillDBlist() {
  const std::string filter = text002_->text().toStdString();
  const textdb::TransmissionRows rows = textdb::FillDBlist(context_, wf_file_, filter, &records_);
  row_ids_ = rows.element_ids;
  log_model_->SetRows(rows.rows);
}

void FrmMain::UpdateRecordActions() {
  const bool enabled = showing_transmissions_ && !lbl_eid_->text().isEmpty() &&
                       textdb::DatabaseOf(context_, wf_file_).ActionsEnabled();
  for (QAction* action : {mnu_records_edit_, mnu_records_toggle_, mnu_records_delete_}) {
    action->setEnabled(enabled);
  }
}

std::string FrmMain::ChosenElement() const {
  const int row = log_list_->currentIndex().row();
  return row >= 0 && row < static_cast<int>(row_ids_.size()) ? row_ids_[std::size_t(row)] : "";
}

void FrmMain::AfterRecordAction(const textdb::ActionResult& result, const std::string& element) {
  if (!result.done && !result.message.empty()) person_.Tell(result.message);
  FillDBlist();
  // Keep the element chosen when it is still listed.
  for (std::size_t row = 0; row < row_ids_.size(); ++row) {
    if (row_ids_[row] == element) {
      log_list_->setCurrentIndex(log_model_->index(static_cast<int>(row)));
      return;
    }
  }
  lbl_eid_->clear();
  UpdateRecordActions();
}

void FrmMain::EditRecord() {
  const std::string element = ChosenElement();
  if (element.empty()) return;
  textdb::RecordChange current;
  for (std::size_t i = 0; i < records_.size(); ++i) {
    if (records_.IsSkipped(i)) continue;
    const std::string_view record = records_.Record(i);
    if (textdb::RecordFieldView(record, 1) != element) continue;
    current = {textdb::GetRecordField(record, 6), textdb::GetRecordField(record, 4),
               textdb::GetRecordField(record, 13)};
    break;
  }
  auto* dialog = new RecordDialog(DecodeAuto(element), current, context_.settings.language, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  const TextEncoding encoding = DetectEncoding(records_.text());
  connect(dialog, &QDialog::accepted, this, [this, dialog, element, encoding] {
    const auto change = dialog->Change(encoding);
    if (!change) {
      person_.Tell(
          "The new values hold characters the database's encoding cannot store. "
          "Nothing was changed.");
      return;
    }
    AfterRecordAction(textdb::WriteChangesToDB(context_, wf_file_, element, *change), element);
  });
  dialog->open();
}

void FrmMain::ToggleRecordTag() {
  const std::string element = ChosenElement();
  if (element.empty()) return;
  AfterRecordAction(textdb::SwitchWriteTagInDB(context_, wf_file_, element), element);
}

void FrmMain::DeleteRecord() {
  const std::string element = ChosenElement();
  if (element.empty()) return;
  AfterRecordAction(textdb::DeleteElementInDB(context_, wf_file_, element), element);
}

}  // namespace wfdesk::desk
