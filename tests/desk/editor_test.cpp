// The workflow editor on its own: the status line, Ctrl+S, and closing the
// window with changes not yet saved.
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QWindow>
#include <QtTest>
#include <memory>

#include "core/language.hpp"
#include "desk/editor_window.hpp"
#include "tests/support/installation.hpp"

using wfdesk::desk::FrmEditor;
using wfdesk::testing::TestInstallation;

namespace {

// Windows-1252 with CR LF line ends, as written on Windows.
const std::string kOriginal =
    "[DEF]\r\ntitle=Gr\xF6\xDF"
    "e\r\n";

}  // namespace

class EditorTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TestInstallation> inst;
  std::unique_ptr<FrmEditor> editor;
  std::string file;

  QPlainTextEdit* Text() { return editor->findChild<QPlainTextEdit*>("Text1"); }
  QString Status() { return editor->findChild<QLabel*>("lblFile")->text(); }
  void Type(const QString& typed) {
    Text()->moveCursor(QTextCursor::End);
    Text()->insertPlainText(typed);
  }
  void Open() {
    editor->show();
    editor->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(editor.get()));
  }

 private slots:
  void init() {
    inst = std::make_unique<TestInstallation>();
    inst->box().Write("data/w.ini", kOriginal);
    file = inst->Path("data/w.ini");
    editor = std::make_unique<FrmEditor>(inst->context(), [this] { return file; });
  }
  void cleanup() {
    editor.reset();
    inst.reset();
  }

  void theStatusLineNamesTheFileAndCtrlSSavesWithoutClosing() {
    Open();
    QCOMPARE(Text()->font(), QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QCOMPARE(Status(), QString::fromStdString(file) + "  ·  Windows-1252");
    Type("name=Bäcker");
    QVERIFY(Status().endsWith("changed"));
    QTest::keySequence(editor.get(), QKeySequence::Save);
    QCOMPARE(inst->box().Read("data/w.ini"), kOriginal +
                                                 "name=B\xE4"
                                                 "cker");
    QVERIFY(Status().endsWith("saved"));
    QVERIFY(editor->windowHandle()->close());  // saved: closes without a question
    QVERIFY(inst->person().asked.empty());
  }

  void theKeyboardReachesTheButtonsAndADeletedFileIsMadeAgainOnlyAfterAsking() {
    inst->context().settings.language = wfdesk::core::kGerman;
    Open();
    QTest::keyClick(Text(), Qt::Key_Tab, Qt::ControlModifier);  // out of the text
    QCOMPARE(QApplication::focusWidget()->objectName(), QString("Command1"));
    Type("中");  // the file's Windows-1252 cannot store it: said in German
    QTest::keySequence(editor.get(), QKeySequence::Save);
    QVERIFY(QString::fromStdString(inst->person().told.back()).startsWith("Der Text enthält"));
    Text()->setPlainText("x=1");
    QVERIFY(QFile::remove(QString::fromStdString(file)));
    for (const bool answer : {false, true}) {
      inst->person().answer = answer;
      QTest::keySequence(editor.get(), QKeySequence::Save);
      QCOMPARE(inst->person().asked.back(),
               "Die Datei " + file + " existiert nicht mehr. Neu anlegen?");
      QCOMPARE(inst->box().Exists("data/w.ini"), answer);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);  // Cancel
    QVERIFY(!editor->isVisible());
  }

  void closingWithUnsavedChangesAsksFirst_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("workflow");  // a file is loaded, not the data folder
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("written");
    QTest::newRow("unchanged") << "" << true << true << false << true << false;
    QTest::newRow("No drops the text") << "x=1" << false << true << true << true << false;
    QTest::newRow("Yes saves") << "x=1" << true << true << true << true << true;
    QTest::newRow("a failed save stays open") << "中" << true << true << true << false << false;
    QTest::newRow("no workflow") << "x=1" << true << false << false << true << false;
  }
  void closingWithUnsavedChangesAsksFirst() {
    QFETCH(QString, typed);
    QFETCH(bool, workflow);
    if (!workflow) file = inst->Path("data/");
    QFETCH(bool, answer);
    inst->person().answer = answer;
    Open();
    Type(typed);
    // Through the window system, as the title bar's close button does.
    const bool closed = editor->windowHandle()->close();
    QTEST(!inst->person().asked.empty(), "asked");
    QTEST(closed, "closed");
    QTEST(!editor->isVisible(), "closed");
    QTEST(inst->box().Read("data/w.ini") != kOriginal, "written");
    if (!workflow) QCOMPARE(Status(), QString("No workflow selected  ·  changed"));
  }
};

QTEST_MAIN(EditorTest)
#include "editor_test.moc"
