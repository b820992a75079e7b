#include "desk/record_dialog.hpp"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/files.hpp"
#include "desk/texts.hpp"
#include "textdb/records.hpp"
#include "textdb/transmission_record.hpp"

namespace wfdesk::desk {

namespace {

constexpr int kFieldWidth = 320;
// A report's lines are up to about 100 characters wide.
constexpr QSize kReportSize(760, 420);

// The fields of the record shown for what they are, not changed here; a
// second field joins the first after " / ".
struct ShownField {
  const char* key;
  int field;
  int second = 0;
};
constexpr ShownField kShownFields[] = {
    {"lg_desk_record_file", textdb::kFileNameField},
    {"lg_desk_record_text", textdb::kDescriptionField},
    {"lg_desk_record_amount", textdb::kAmountField},
    {"lg_desk_record_currency", textdb::kCurrencyField},
    {"lg_desk_record_formats", textdb::kSourceFormatField, textdb::kTargetFormatField},
    {"lg_desk_record_state", textdb::kStateField},
};

QString ShownValue(std::string_view record, const ShownField& shown) {
  QString value = DecodeAuto(textdb::GetRecordField(record, shown.field));
  if (shown.second != 0) value += " / " + DecodeAuto(textdb::GetRecordField(record, shown.second));
  return value;
}

QLineEdit* Field(const char* name, const std::string& value, QWidget* parent) {
  auto* edit = new QLineEdit(DecodeAuto(value), parent);
  edit->setObjectName(name);
  edit->setMinimumWidth(kFieldWidth);
  return edit;
}

}  // namespace

RecordDialog::RecordDialog(const QString& element_id, std::string_view record,
                           TextEncoding encoding, const std::string& report,
                           core::LanguageCode language, core::Operator& person, QWidget* parent)
    : QDialog(parent), language_(language), encoding_(encoding), person_(person), report_(report) {
  setObjectName("dlgRecord");
  setWindowTitle(LanguageText("lg_desk_record_title", language).arg(element_id));
  auto* form = new QFormLayout(this);
  for (const ShownField& shown : kShownFields) {
    auto* value = new QLabel(ShownValue(record, shown), this);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(LanguageText(shown.key, language), value);
  }
  field6_ = Field("txtField6", textdb::GetRecordField(record, textdb::kInvoiceDateField), this);
  field4_ = Field("txtField4", textdb::GetRecordField(record, textdb::kAcknowledgementField), this);
  write_tag_ = Field("txtWriteTag", textdb::GetRecordField(record, textdb::kWriteTagField), this);
  form->addRow(LanguageText("lg_desk_record_field6", language), field6_);
  form->addRow(LanguageText("lg_desk_record_field4", language), field4_);
  form->addRow(LanguageText("lg_desk_record_tag", language), write_tag_);
  shown_ = {field6_->text(), field4_->text(), write_tag_->text()};
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->setObjectName("buttons");
  if (textdb::GetRecordField(record, textdb::kStateField) == textdb::kStateInvalid &&
      !report_.empty() && core::IsPlainFile(report_)) {
    QPushButton* show_report = buttons->addButton(LanguageText("lg_desk_record_report", language),
                                                  QDialogButtonBox::ActionRole);
    show_report->setObjectName("cmdReport");
    connect(show_report, &QPushButton::clicked, this, &RecordDialog::ShowReport);
  }
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void RecordDialog::ShowReport() {
  std::string bytes;
  if (const core::FileResult read = core::ReadFileContent(report_, bytes); !read) {
    person_.Tell(read.error);
    return;
  }
  auto* dialog = new QDialog(this);
  dialog->setObjectName("dlgReport");
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(
      LanguageText("lg_desk_report_title", language_).arg(DecodeAuto(core::FileNameOf(report_))));
  auto* text = new QPlainTextEdit(DecodeAuto(bytes), dialog);
  text->setObjectName("txtReport");
  text->setReadOnly(true);
  // A rule's text is a sentence: wrapped, it is read without scrolling.
  text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
  connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(dialog);
  layout->addWidget(text);
  layout->addWidget(buttons);
  dialog->resize(kReportSize);
  dialog->open();
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
  std::optional<std::string>* targets[] = {&change_.invoice_date, &change_.acknowledgement,
                                           &change_.write_tag};
  const QLineEdit* edits[] = {field6_, field4_, write_tag_};
  for (std::size_t i = 0; i < std::size(edits); ++i) {
    const QString value = edits[i]->text();
    // A field left as it was shown keeps what the file holds by then.
    if (value == shown_[i]) {
      targets[i]->reset();
      continue;
    }
    if (edits[i] == write_tag_ && value != "0" && value != "1")
      return LanguageText("lg_desk_record_tag_refused", language_).arg(value);
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
