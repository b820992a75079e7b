#pragma once

#include <QWidget>
#include <functional>
#include <string>

#include "core/context.hpp"
#include "desk/text_codec.hpp"

class QPlainTextEdit;
class QPushButton;

namespace wfdesk::desk {

// frmEditor, "QV Editor": the whole text of the selected workflow file.
// A save writes to the file that was loaded.
// It loads the file each time it is shown (never on a repaint, so typed text
// survives), and saves after a Yes, atomically and in the encoding it read.
class FrmEditor : public QWidget {
  Q_OBJECT

 public:
  // `current_file` gives the workflow file the main window has selected.
  FrmEditor(const core::Context& context, std::function<std::string()> current_file,
            QWidget* parent = nullptr);

  // Load: reads the current workflow file into Text1.
  void LoadFile();
  // Shows the editor, loading the current workflow file; an editor already
  // open with changes not yet saved only comes to the front, so typed text
  // is never thrown away.
  void ShowForCurrentFile();
  // Command1: save after confirmation, then hide.
  void Command1_Click();
  // Command2: hide without saving.
  void Command2_Click();

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The file's bytes for the text now in Text1, or nothing when its
  // encoding cannot store the text.
  std::optional<std::string> BytesToSave() const;

  const core::Context& context_;
  std::function<std::string()> current_file_;
  QPlainTextEdit* text_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* cancel_ = nullptr;

  // What was loaded, and from where: a save goes back to that file even when
  // the main window has selected another workflow meanwhile.
  std::string loaded_path_;
  std::string loaded_bytes_;
  QString loaded_text_;
  TextEncoding encoding_ = TextEncoding::kUtf8;
  std::string line_end_ = "\r\n";
};

}  // namespace wfdesk::desk
