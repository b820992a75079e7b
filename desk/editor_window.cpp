#include "desk/editor_window.hpp"

#include <QPlainTextEdit>
#include <QPushButton>

#include "core/files.hpp"
#include "desk/geometry.hpp"

namespace wfdesk::desk {

namespace {

constexpr const char* kSaveQuestion = "Wollen Sie die Änderungen speichern?";

// The text box shows "\n" line ends; the file keeps the ones it had.
std::string DominantLineEnd(std::string_view bytes) {
  if (bytes.find("\r\n") != std::string_view::npos) return "\r\n";
  if (bytes.find('\n') != std::string_view::npos) return "\n";
  if (bytes.find('\r') != std::string_view::npos) return "\r";
  return "\r\n";
}

QString WithNewlines(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QChar('\r'), QChar('\n'));
  return text;
}

// A path that can name a workflow file: not empty and not a folder.
bool NamesAFile(const std::string& path) {
  return !path.empty() && path.back() != core::kPathSeparator && !core::DirExists(path);
}

}  // namespace

FrmEditor::FrmEditor(const core::Context& context, std::function<std::string()> current_file,
                     QWidget* parent)
    : QWidget(parent, Qt::Window), context_(context), current_file_(std::move(current_file)) {
  setObjectName("frmEditor");
  setWindowTitle("QV Editor");
  text_ = new QPlainTextEdit(this);
  text_->setObjectName("Text1");
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  save_ = new QPushButton("Speichern", this);
  save_->setObjectName("Command1");
  cancel_ = new QPushButton("Abbrechen", this);
  cancel_->setObjectName("Command2");
  connect(save_, &QPushButton::clicked, this, &FrmEditor::Command1_Click);
  connect(cancel_, &QPushButton::clicked, this, &FrmEditor::Command2_Click);
  resize(Twips(10995), Twips(6600));
}

void FrmEditor::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const Growth grow = GrowthOver(size(), 10995, 6600);
  PlaceTwips(text_, 120, 120, 10695, 5895, grow.width, grow.height);
  PlaceTwips(save_, 3240, 6120, 2055, 375);
  PlaceTwips(cancel_, 5400, 6120, 2055, 375);
  save_->move(save_->x() + grow.width / 2, save_->y() + grow.height);
  cancel_->move(cancel_->x() + grow.width / 2, cancel_->y() + grow.height);
}

void FrmEditor::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) LoadFile();
}

void FrmEditor::ShowForCurrentFile() {
  const bool unsaved = isVisible() && text_->toPlainText() != loaded_text_;
  if (!unsaved) {
    hide();
    show();  // shown anew: loads the file
  }
  raise();
  activateWindow();
}

void FrmEditor::LoadFile() {
  loaded_path_ = current_file_();
  loaded_bytes_ = core::ReadTextFile(context_, loaded_path_, false);
  encoding_ = DetectEncoding(loaded_bytes_);
  line_end_ = DominantLineEnd(loaded_bytes_);
  loaded_text_ = WithNewlines(Decode(loaded_bytes_, encoding_));
  text_->setPlainText(loaded_text_);
}

std::optional<std::string> FrmEditor::BytesToSave() const {
  const QString text = text_->toPlainText();
  if (text == loaded_text_) return loaded_bytes_;
  QString with_line_ends = text;
  with_line_ends.replace(QChar('\n'), QString::fromStdString(line_end_));
  return Encode(with_line_ends, encoding_);
}

void FrmEditor::Command1_Click() {
  const std::string path = loaded_path_;
  if (!NamesAFile(path)) {
    context_.person.Tell("No workflow is selected, so there is no file to save to.");
    return;
  }
  if (!context_.person.Ask(kSaveQuestion)) {
    hide();
    return;
  }
  const auto bytes = BytesToSave();
  if (!bytes) {
    context_.person.Tell("The text holds characters that Windows-1252, the encoding of " + path +
                         ", cannot store. Nothing was saved.");
    return;
  }
  if (const auto written = core::WriteTextFile(path, *bytes, false); !written) {
    context_.person.Tell(written.error + ". Nothing was saved.");
    return;
  }
  hide();
}

void FrmEditor::Command2_Click() {
  hide();
}

}  // namespace wfdesk::desk
