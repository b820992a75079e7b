#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "core/language.hpp"
#include "core/seams.hpp"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;

namespace wfdesk::desk {

// Asks, where there is no installation yet, whether to make one there, in
// which language and with or without the example workflows. Its texts
// follow the language chosen.
class NewInstallationDialog : public QDialog {
 public:
  explicit NewInstallationDialog(const std::string& home, QWidget* parent = nullptr);

  core::LanguageCode language() const;
  bool example() const;

 private:
  void ApplyTexts();

  std::string home_;
  QLabel* question_;
  QLabel* language_label_;
  QComboBox* language_;
  QCheckBox* example_;
  QDialogButtonBox* buttons_;
};

// Shows the dialog and gives whether the operator accepted it; the tests
// put their own answer in its place.
using AskNewInstallation = std::function<bool(NewInstallationDialog&)>;
bool ExecDialog(NewInstallationDialog& dialog);

enum class NewInstallation { kDeclined, kMade, kFailed };

// Offers to make an installation in `home` and makes it as the operator
// chose, telling them in the installation's language when something could
// not be made, with the reasons below. kMade when `home` holds an
// installation afterwards, even one with parts missing.
NewInstallation OfferNewInstallation(const std::string& home, core::Operator& person,
                                     const AskNewInstallation& ask = ExecDialog);

}  // namespace wfdesk::desk
