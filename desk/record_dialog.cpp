#include "desk/record_dialog.hpp"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

#include "core/language.hpp"
#include "desk/text_codec.hpp"

namespace wfdesk::desk {

namespace {

QLineEdit* Field(const char* name, const std::string& value, QWidget* parent) {
  auto* edit = new QLineEdit(DecodeAuto(value), parent);
  edit->setObjectName(name);
  return edit;
}

}  // namespace

RecordDialog::RecordDialog(const QString& element_id, const textdb::RecordChange& current,
                           int language, QWidget* parent)
    : QDialog(parent) {
  const bool german = language == core::kGerman;
  setObjectName("dlgRecord");
  setWindowTitle((german ? "Datensatz " : "Record ") + element_id);
  field6_ = Field("txtField6", current.field6, this);
  field4_ = Field("txtField4", current.field4, this);
  write_tag_ = Field("txtWriteTag", current.write_tag, this);
  auto* form = new QFormLayout(this);
  form->addRow(german ? "Feld 6" : "Field 6", field6_);
  form->addRow(german ? "Feld 4" : "Field 4", field4_);
  form->addRow(german ? "Schreibmarke" : "Write tag", write_tag_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->setObjectName("buttons");
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

std::optional<textdb::RecordChange> RecordDialog::Change(TextEncoding encoding) const {
  const auto field6 = Encode(field6_->text(), encoding);
  const auto field4 = Encode(field4_->text(), encoding);
  const auto write_tag = Encode(write_tag_->text(), encoding);
  if (!field6 || !field4 || !write_tag) return std::nullopt;
  return textdb::RecordChange{*field6, *field4, *write_tag};
}

}  // namespace wfdesk::desk
