#pragma once

#include <QDialog>

#include <optional>

#include "desk/text_codec.hpp"
#include "textdb/record_actions.hpp"

class QLineEdit;

namespace wfdesk::desk {

// Edit record...: the new record field 6, field 4 and write tag of the
// chosen element, prefilled from its record.
class RecordDialog : public QDialog {
  Q_OBJECT

 public:
  RecordDialog(const QString& element_id, const textdb::RecordChange& current, int language,
               QWidget* parent);

  // The values in the database's encoding; nothing when it cannot store them.
  std::optional<textdb::RecordChange> Change(TextEncoding encoding) const;

 private:
  QLineEdit* field6_ = nullptr;
  QLineEdit* field4_ = nullptr;
  QLineEdit* write_tag_ = nullptr;
};

}  // namespace wfdesk::desk
