#pragma once

#include <QDialog>
#include <array>

#include "core/language.hpp"
#include "core/seams.hpp"
#include "desk/text_codec.hpp"
#include "textdb/record_actions.hpp"

class QLineEdit;

namespace wfdesk::desk {

// Edit record...: the new invoice date (record field 6), acknowledgement
// (field 4) and write tag (0 or 1) of the chosen element, prefilled from its
// record, below its file, text, amount, currency, formats and state. OK
// sends only the fields whose text differs from what was shown; a value the
// database cannot store, or a changed write tag other than 0 or 1, is told
// to the operator and keeps the dialog open with the input as typed. For an invoice the check
// rejected (state "invalid") whose report is at `report`, "Show report" (cmdReport) shows the
// report, read-only, in a dialog of its own (dlgReport).
class RecordDialog : public QDialog {
  Q_OBJECT

 public:
  RecordDialog(const QString& element_id, std::string_view record, TextEncoding encoding,
               const std::string& report, core::LanguageCode language, core::Operator& person,
               QWidget* parent);

  // The values the person changed, in the database's encoding, once the
  // dialog is accepted; a field left as shown has no value.
  const textdb::RecordChange& change() const { return change_; }

  void accept() override;

 private:
  void ShowReport();

  // Why the input cannot be stored, "" when it can; fills change_.
  QString Refusal();

  core::LanguageCode language_;
  TextEncoding encoding_;
  core::Operator& person_;
  std::string report_;
  QLineEdit* field6_ = nullptr;
  QLineEdit* field4_ = nullptr;
  QLineEdit* write_tag_ = nullptr;
  std::array<QString, 3> shown_;  // the three fields' texts as the dialog opened
  textdb::RecordChange change_;
};

}  // namespace wfdesk::desk
