#include "desk/record_dialog.hpp"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

#include "desk/texts.hpp"

namespace wfdesk::desk {

namespace {

constexpr int kFieldWidth = 320;

QLineEdit* Field(const char* name, const std::string& value, QWidget* parent) {
  auto* edit = new QLineEdit(DecodeAuto(value), parent);
  edit->setObjectName(name);
  edit->setMinimumWidth(kFieldWidth);
  return edit;
}

}  // namespace

RecordDialog::RecordDialog(const QString& element_id, const textdb::RecordChange& current,
                           TextEncoding encoding, core::LanguageCode language,
                           core::Operator& person, QWidget* parent)
    : QDialog(parent), language_(language), encoding_(encoding), person_(person) {
  setObjectName("dlgRecord");
  setWindowTitle(LanguageText("lg_desk_record_title", language).arg(element_id));
  field6_ = Field("txtField6", current.field6, this);
  field4_ = Field("txtField4", current.field4, this);
  write_tag_ = Field("txtWriteTag", current.write_tag, this);
  auto* form = new QFormLayout(this);
  form->addRow(LanguageText("lg_desk_record_field6", language), field6_);
  form->addRow(LanguageText("lg_desk_record_field4", language), field4_);
  form->addRow(LanguageText("lg_desk_record_tag", language), write_tag_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->setObjectName("buttons");
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void RecordDialog::accept() {
  const QString refusal = Refusal();
  if (!refusal.isEmpty()) {
    person_.Tell(refusal.toStdString());
    return;
  }
  QDialog::accept();
}

QString RecordDialog::Refusal() {
  std::string* targets[] = {&change_.field6, &change_.field4, &change_.write_tag};
  const QLineEdit* edits[] = {field6_, field4_, write_tag_};
  for (std::size_t i = 0; i < std::size(edits); ++i) {
    const QString value = edits[i]->text();
    const auto bytes = Encode(value, encoding_);
    if (!bytes) return LanguageText("lg_desk_record_encoding", language_).arg(value);
    const std::string why = textdb::WhyNotStorable(*bytes);
    if (!why.empty()) {
      return LanguageText("lg_desk_record_refused", language_)
          .arg(value, QString::fromStdString(why));
    }
    *targets[i] = *bytes;
  }
  return {};
}

}  // namespace wfdesk::desk
