// The desk's windows beside the main one: the workflow editor (the status
// line, Ctrl+S, closing it with changes not yet saved), the box that asks
// its three-way question, and the offer of a new installation.
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QWindow>
#include <QtTest>
#include <memory>
#include <thread>

#include "core/language.hpp"
#include "desk/editor_window.hpp"
#include "desk/new_installation_dialog.hpp"
#include "desk/operators.hpp"
#include "tests/support/installation.hpp"

using wfdesk::desk::FrmEditor;
using wfdesk::testing::TestInstallation;
using Answer = wfdesk::core::Operator::Answer;

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
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("workflow");  // a file is loaded, not the data folder
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("written");
    const int yes = int(Answer::kYes), no = int(Answer::kNo), cancel = int(Answer::kCancel);
    QTest::newRow("unchanged") << "" << yes << true << false << true << false;
    QTest::newRow("No drops the text") << "x=1" << no << true << true << true << false;
    QTest::newRow("Yes saves") << "x=1" << yes << true << true << true << true;
    QTest::newRow("Cancel stays with the text")
        << "x=1" << cancel << true << true << false << false;
    QTest::newRow("a failed save stays open") << "中" << yes << true << true << false << false;
    QTest::newRow("no workflow") << "x=1" << yes << false << false << true << false;
  }
  void closingWithUnsavedChangesAsksFirst() {
    QFETCH(QString, typed);
    QFETCH(bool, workflow);
    if (!workflow) file = inst->Path("data/");
    QFETCH(int, answer);
    inst->person().three_way = Answer(answer);
    Open();
    Type(typed);
    // Through the window system, as the title bar's close button does.
    const bool closed = editor->windowHandle()->close();
    QTEST(!inst->person().asked.empty(), "asked");
    if (!inst->person().asked.empty()) {
      QCOMPARE(inst->person().asked.back(), "Save the changes to " + file + "?");
    }
    QTEST(closed, "closed");
    QTEST(!editor->isVisible(), "closed");
    QTEST(inst->box().Read("data/w.ini") != kOriginal, "written");
    if (!closed) QVERIFY(Text()->toPlainText().endsWith(typed));  // nothing typed is lost
    if (!workflow) QCOMPARE(Status(), QString("No workflow selected  ·  changed"));
  }

  void theCloseQuestionNamesTheFileInGerman() {
    inst->context().settings.language = wfdesk::core::kGerman;
    inst->person().three_way = Answer::kCancel;
    Open();
    Type("x=1");
    QVERIFY(!editor->windowHandle()->close());
    QCOMPARE(inst->person().asked,
             std::vector<std::string>{"Die Änderungen an " + file + " speichern?"});
  }

  // The real box, answered by a key as the person would.
  void theThreeWayBoxBelongsToTheAskingWindowAndEscapeCancels_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("answer");
    QTest::newRow("Escape cancels") << int(Qt::Key_Escape) << int(Answer::kCancel);
    QTest::newRow("Enter keeps the changes") << int(Qt::Key_Return) << int(Answer::kYes);
  }
  void theThreeWayBoxBelongsToTheAskingWindowAndEscapeCancels() {
    QFETCH(int, key);
    wfdesk::desk::MessageBoxOperator person;
    Open();
    QWidget* owner = nullptr;
    QMessageBox::StandardButtons buttons;
    QTimer::singleShot(0, [&owner, &buttons, key] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      owner = box->parentWidget();
      buttons = box->standardButtons();
      QTest::keyClick(box, Qt::Key(key));
    });
    QTEST(int(person.AskOrCancel("Save?")), "answer");
    QCOMPARE(owner, static_cast<QWidget*>(editor.get()));
    QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  }

  // A run asks from its worker thread; the answer comes from the UI thread,
  // and a window going away answers Cancel without asking.
  void aThreeWayQuestionFromAnotherThreadGetsThePersonsAnswer() {
    wfdesk::testing::RecordingOperator inner;
    wfdesk::desk::UiThreadOperator person(inner);
    for (const Answer given : {Answer::kCancel, Answer::kNo}) {
      inner.three_way = given;
      Answer got = Answer::kYes;
      std::thread worker([&person, &got] { got = person.AskOrCancel("Save?"); });
      QTRY_COMPARE(inner.asked.size(), std::size_t(given == Answer::kCancel ? 1 : 2));
      worker.join();
      QCOMPARE(got, given);
    }
    person.Silence();
    Answer got = Answer::kYes;
    std::thread([&person, &got] { got = person.AskOrCancel("Save?"); }).join();
    QCOMPARE(got, Answer::kCancel);
    QCOMPARE(inner.asked.size(), std::size_t{2});
  }

  // A folder that cannot be made: the sentence in the language chosen, the
  // system's reason below it.
  void aNewInstallationThatCannotBeMadeIsSaidInTheLanguageChosen_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("sentence");
    QTest::newRow("English") << 0 << "The installation in %1 could not be created.\n\n";
    QTest::newRow("German") << 1 << "Die Installation in %1 konnte nicht angelegt werden.\n\n";
  }
  void aNewInstallationThatCannotBeMadeIsSaidInTheLanguageChosen() {
    QFETCH(int, language);
    inst->box().Write("taken", "a file, not a folder");
    const std::string home = inst->Path("taken/home");
    const auto choose = [language](wfdesk::desk::NewInstallationDialog& dialog) {
      dialog.findChild<QComboBox*>("cboLanguage")->setCurrentIndex(language);
      return true;
    };
    QCOMPARE(wfdesk::desk::OfferNewInstallation(home, inst->person(), choose),
             wfdesk::desk::NewInstallation::kFailed);
    QCOMPARE(inst->person().told.size(), std::size_t{1});
    const QString told = QString::fromStdString(inst->person().told[0]);
    QFETCH(QString, sentence);
    const QString own = sentence.arg(QString::fromStdString(home));
    QVERIFY2(told.startsWith(own), qPrintable(told));
    QVERIFY2(told.mid(own.size()).contains(QString::fromStdString(inst->Path("taken"))),
             qPrintable(told));  // the detail names what could not be made
  }
};

QTEST_MAIN(EditorTest)
#include "editor_test.moc"
