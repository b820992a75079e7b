#include "desk/new_installation_dialog.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/settings.hpp"
#include "desk/texts.hpp"
#include "engine/new_installation.hpp"

namespace wfdesk::desk {

NewInstallationDialog::NewInstallationDialog(const std::string& home, QWidget* parent)
    : QDialog(parent), home_(home) {
  setObjectName("frmNewInstallation");
  question_ = new QLabel(this);
  question_->setObjectName("lblQuestion");
  question_->setWordWrap(true);
  language_label_ = new QLabel(this);
  language_ = new QComboBox(this);
  language_->setObjectName("cboLanguage");
  // Each language in its own words, whichever is shown.
  language_->addItem("English", int(core::kEnglish));
  language_->addItem("Deutsch", int(core::kGerman));
  if (QLocale::system().language() == QLocale::German) language_->setCurrentIndex(1);
  example_ = new QCheckBox(this);
  example_->setObjectName("chkExample");
  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(language_, &QComboBox::currentIndexChanged, this, [this] { ApplyTexts(); });

  auto* form = new QFormLayout;
  form->addRow(language_label_, language_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(question_);
  layout->addLayout(form);
  layout->addWidget(example_);
  layout->addWidget(buttons_);
  ApplyTexts();
}

core::LanguageCode NewInstallationDialog::language() const {
  return static_cast<core::LanguageCode>(language_->currentData().toInt());
}

bool NewInstallationDialog::example() const {
  return example_->isChecked();
}

void NewInstallationDialog::ApplyTexts() {
  const core::LanguageCode code = language();
  setWindowTitle(LanguageText("lg_desk_init_title", code));
  question_->setText(
      QString::fromStdString(core::FormatLanguageText("lg_desk_init_ask", code, {home_})));
  language_label_->setText(LanguageText("lg_desk_init_language", code));
  example_->setText(LanguageText("lg_desk_init_example", code));
  // Qt's own translation of the button follows the installation's language
  // only once there is one.
  buttons_->button(QDialogButtonBox::Cancel)->setText(LanguageText("lg_desk_init_cancel", code));
  // A longer question takes more lines: the dialog grows to show them all.
  adjustSize();
}

bool ExecDialog(NewInstallationDialog& dialog) {
  return dialog.exec() == QDialog::Accepted;
}

NewInstallation OfferNewInstallation(const std::string& home, core::Operator& person,
                                     const AskNewInstallation& ask) {
  NewInstallationDialog dialog(home);
  if (!ask(dialog)) return NewInstallation::kDeclined;
  const engine::NewInstallationOutcome outcome =
      engine::CreateInstallation({home, dialog.language(), dialog.example(),
                                  engine::LocatePackageFiles(core::ExecutableFolder())});
  const bool made = engine::HoldsInstallation(home);
  if (!outcome.ok()) {
    // The window's own sentence in the language chosen; below it, as the
    // detail, what the system said, which may be in its own words.
    std::string message = core::FormatLanguageText(made ? "lg_mesg_init007" : "lg_desk_init_failed",
                                                   outcome.language, {home});
    message += "\n";
    for (const std::string& error : outcome.errors) message += "\n" + error;
    person.Tell(message);
  }
  return made ? NewInstallation::kMade : NewInstallation::kFailed;
}

}  // namespace wfdesk::desk
