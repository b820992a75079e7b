#pragma once

#include <QWidget>
#include <functional>
#include <string>

#include "core/context.hpp"
#include "desk/text_codec.hpp"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace wfdesk::desk {

// frmEditor, "QV Editor": the whole text of the selected workflow file, in a
// fixed-width font, with the file's path, encoding and state below it.
// A save writes to the file that was loaded.
// It loads the file each time it is shown (never on a repaint, so typed text
// survives), and saves atomically and in the encoding it read: Command1 after
// a Yes, then hides; Ctrl+S at once, and stays open. Closing the window with
// changes not yet saved asks, naming the file, whether to save them first
// (Yes), drop them (No) or keep the window open (Cancel).
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
  // Ctrl+S: save without asking and keep editing.
  void SaveKey();

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QString Text(const char* key) const;
  void PlaceOnScreen();
  // Shown, with text that differs from what was loaded or last saved.
  bool Unsaved() const;
  // Writes the text to the loaded file; tells the person why when it cannot.
  bool SaveText();
  // lblFile: path, encoding, and whether the text is changed or was saved.
  void UpdateStatus();

  // The file's bytes for the text now in Text1, or nothing when its
  // encoding cannot store the text.
  std::optional<std::string> BytesToSave() const;

  const core::Context& context_;
  std::function<std::string()> current_file_;
  QPlainTextEdit* text_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QLabel* status_ = nullptr;
  bool saved_by_key_ = false;
  bool placed_ = false;

  // What was loaded, and from where: a save goes back to that file even when
  // the main window has selected another workflow meanwhile.
  std::string loaded_path_;
  std::string loaded_bytes_;
  QString loaded_text_;
  TextEncoding encoding_ = TextEncoding::kUtf8;
  std::string line_end_ = "\r\n";
};

}  // namespace wfdesk::desk
