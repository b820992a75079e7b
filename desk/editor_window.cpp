#include "desk/editor_window.hpp"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <algorithm>

#include "core/files.hpp"
#include "core/language.hpp"
#include "desk/geometry.hpp"
#include "desk/texts.hpp"

namespace wfdesk::desk {

namespace {

constexpr const char* kSaveQuestion = "Wollen Sie die Änderungen speichern?";

// The designed client area: the original layout plus one status line.
constexpr int kDesignWidth = 10995;
constexpr int kDesignHeight = 6960;
// Room for the title bar and borders a window manager adds.
const QMargins kFrameAllowance(8, 32, 8, 8);

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
  save_ = new QPushButton("&Speichern", this);
  save_->setObjectName("Command1");
  cancel_ = new QPushButton("&Abbrechen", this);
  cancel_->setObjectName("Command2");
  connect(save_, &QPushButton::clicked, this, &FrmEditor::Command1_Click);
  connect(cancel_, &QPushButton::clicked, this, &FrmEditor::Command2_Click);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  status_ = new QLabel(this);
  status_->setObjectName("lblFile");
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  connect(text_->document(), &QTextDocument::modificationChanged, this, [this] {
    saved_by_key_ = false;
    UpdateStatus();
  });
  auto* save_key = new QShortcut(QKeySequence::Save, this);
  connect(save_key, &QShortcut::activated, this, &FrmEditor::SaveKey);
  auto* cancel_key = new QShortcut(Qt::Key_Escape, this);
  connect(cancel_key, &QShortcut::activated, this, &FrmEditor::Command2_Click);
  // Tab types a tab into the text; Ctrl+Tab leaves it for the buttons.
  text_->installEventFilter(this);
  resize(Twips(kDesignWidth), Twips(kDesignHeight));
}

void FrmEditor::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const Growth grow = GrowthOver(size(), kDesignWidth, kDesignHeight);
  PlaceTwips(text_, 120, 120, 10695, 5895, grow.width, grow.height);
  PlaceTwips(save_, 3240, 6120, 2055, 375);
  PlaceTwips(cancel_, 5400, 6120, 2055, 375);
  PlaceTwips(status_, 120, 6600, 10755, 300, grow.width);
  save_->move(save_->x() + grow.width / 2, save_->y() + grow.height);
  cancel_->move(cancel_->x() + grow.width / 2, cancel_->y() + grow.height);
  status_->move(status_->x(), status_->y() + grow.height);
  UpdateStatus();
}

void FrmEditor::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) LoadFile();
}

bool FrmEditor::Unsaved() const {
  return isVisible() && text_->toPlainText() != loaded_text_;
}

// The first time over the main window, whole on its screen; later where
// the person left it.
void FrmEditor::PlaceOnScreen() {
  if (placed_ || !parentWidget()) return;
  placed_ = true;
  const QWidget* owner = parentWidget()->window();
  const QRect room = owner->screen()->availableGeometry();
  resize(size().boundedTo(room.marginsRemoved(kFrameAllowance).size()));
  QRect frame = QRect(QPoint(), size()).marginsAdded(kFrameAllowance);
  frame.moveCenter(owner->frameGeometry().center());
  frame.moveLeft(std::clamp(frame.left(), room.left(), room.right() + 1 - frame.width()));
  frame.moveTop(std::clamp(frame.top(), room.top(), room.bottom() + 1 - frame.height()));
  move(frame.topLeft());
}

void FrmEditor::ShowForCurrentFile() {
  if (!Unsaved()) {
    hide();
    PlaceOnScreen();
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
  saved_by_key_ = false;
  UpdateStatus();
}

void FrmEditor::UpdateStatus() {
  const core::LanguageCode language = context_.settings.language;
  QString status = LanguageText("lg_desk_editor_none", language);
  if (NamesAFile(loaded_path_)) {
    status = DecodeAuto(core::AbsolutePath(loaded_path_, context_.home));
    status += encoding_ == TextEncoding::kUtf8 ? "  ·  UTF-8" : "  ·  Windows-1252";
  }
  if (text_->document()->isModified()) {
    status += "  ·  " + LanguageText("lg_desk_editor_changed", language);
  } else if (saved_by_key_) {
    status += "  ·  " + LanguageText("lg_desk_editor_saved", language);
  }
  // The whole line stays in the tooltip when the window is too narrow.
  status_->setToolTip(status);
  status_->setText(status_->fontMetrics().elidedText(status, Qt::ElideMiddle, status_->width()));
}

std::optional<std::string> FrmEditor::BytesToSave() const {
  const QString text = text_->toPlainText();
  if (text == loaded_text_) return loaded_bytes_;
  QString with_line_ends = text;
  with_line_ends.replace(QChar('\n'), QString::fromStdString(line_end_));
  return Encode(with_line_ends, encoding_);
}

bool FrmEditor::eventFilter(QObject* watched, QEvent* event) {
  if (watched == text_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers().testFlag(Qt::ControlModifier) &&
        (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
      return focusNextPrevChild(key->key() == Qt::Key_Tab);
    }
  }
  return QWidget::eventFilter(watched, event);
}

QString FrmEditor::Text(const char* key) const {
  return LanguageText(key, context_.settings.language);
}

bool FrmEditor::SaveText() {
  if (!NamesAFile(loaded_path_)) {
    context_.person.Tell(Text("lg_desk_editor_no_file").toStdString());
    return false;
  }
  const QString path = DecodeAuto(core::AbsolutePath(loaded_path_, context_.home));
  const auto bytes = BytesToSave();
  if (!bytes) {
    context_.person.Tell(Text("lg_desk_editor_encoding").arg(path).toStdString());
    return false;
  }
  // Deleted or changed by another program meanwhile: written only when the
  // person says so.
  if (!core::IsPlainFile(loaded_path_)) {
    if (!context_.person.Ask(Text("lg_desk_editor_file_gone").arg(path).toStdString()))
      return false;
  } else if (std::string now;
             core::ReadFileContent(loaded_path_, now) && now != loaded_bytes_ &&
             !context_.person.Ask(Text("lg_desk_editor_changed_outside").arg(path).toStdString())) {
    return false;
  }
  if (const auto written = core::WriteTextFile(loaded_path_, *bytes, false); !written) {
    context_.person.Tell(
        Text("lg_desk_editor_not_saved").arg(DecodeAuto(written.error)).toStdString());
    return false;
  }
  // What is on disk now is what a later close compares against.
  loaded_bytes_ = *bytes;
  loaded_text_ = text_->toPlainText();
  text_->document()->setModified(false);
  return true;
}

void FrmEditor::Command1_Click() {
  // Without a file there is nothing to ask: SaveText tells so.
  if (NamesAFile(loaded_path_) && !context_.person.Ask(kSaveQuestion)) {
    hide();
    return;
  }
  if (SaveText()) hide();
}

void FrmEditor::Command2_Click() {
  hide();
}

void FrmEditor::SaveKey() {
  if (!SaveText()) return;
  saved_by_key_ = true;
  UpdateStatus();
}

void FrmEditor::closeEvent(QCloseEvent* event) {
  // Without a workflow file there is nothing the text could be saved to.
  if (!Unsaved() || !NamesAFile(loaded_path_)) {
    event->accept();
    return;
  }
  const QString question = Text("lg_desk_editor_close_ask")
                               .arg(DecodeAuto(core::AbsolutePath(loaded_path_, context_.home)));
  switch (context_.person.AskOrCancel(question.toStdString())) {
    case core::Operator::Answer::kYes:
      // A failed save keeps the window open: the text stays to be dealt with.
      event->setAccepted(SaveText());
      return;
    case core::Operator::Answer::kNo:
      event->accept();
      return;
    case core::Operator::Answer::kCancel:
      event->ignore();
      return;
  }
}

}  // namespace wfdesk::desk
