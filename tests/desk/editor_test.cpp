// The desk's windows beside the main one: the workflow editor (its save
// button, the status line, Ctrl+S, closing it with changes not yet saved),
// the boxes that ask the person, and the offer of a new installation.
#include <memory>
#include <thread>

#include "core/language.hpp"
#include "desk/editor_window.hpp"
#include "desk/new_installation_dialog.hpp"
#include "desk/operators.hpp"
#include "tests/desk/desk_testing.hpp"
#include "tests/support/installation.hpp"

using wfdesk::desk::FrmEditor;
using wfdesk::testing::TestInstallation;
using Answer = wfdesk::core::Operator::Answer;

namespace {

// Windows-1252 (\366 is ö, \337 ß) with CR LF line ends, as written on Windows.
const std::string kOriginal = "[DEF]\r\ntitle=Gr\366\337e\r\n";

}  // namespace

class EditorTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TestInstallation> inst;
  std::unique_ptr<FrmEditor> editor;
  std::string file;

  QPlainTextEdit* Text() { return editor->findChild<QPlainTextEdit*>("Text1"); }
  // The whole status line: on screen it is cut in the middle when the
  // window is narrower than the path is long.
  QString Status() { return editor->findChild<QLabel*>("lblFile")->toolTip(); }
  void Type(const QString& typed) {
    Text()->moveCursor(QTextCursor::End);
    Text()->insertPlainText(typed);
  }
  void Open() { QVERIFY(wfdesk::testing::Activate(editor.get())); }

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

  // The save button asks first; a No closes without saving. Typing stays
  // while the editor is asked for again, and goes when it is shown anew.
  void theSaveButtonAsksAndSavesInTheFilesEncoding() {
    editor->ShowForCurrentFile();
    QCOMPARE(Text()->toPlainText(), QString("[DEF]\ntitle=Größe\n"));
    Text()->moveCursor(QTextCursor::End);
    QTest::keyClicks(Text(), "name=typed");
    editor->repaint();
    QCoreApplication::processEvents();
    editor->ShowForCurrentFile();
    QVERIFY(Text()->toPlainText().endsWith("name=typed"));
    inst->person().answer = false;
    QTest::mouseClick(editor->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(!editor->isVisible());
    QCOMPARE(inst->box().Read("data/w.ini"), kOriginal);
    editor->ShowForCurrentFile();
    QVERIFY(!Text()->toPlainText().contains("typed"));
    Type("name=Bäcker €");
    inst->person().answer = true;
    QTest::mouseClick(editor->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QCOMPARE(inst->person().asked.back(), std::string("Wollen Sie die Änderungen speichern?"));
    QCOMPARE(inst->box().Read("data/w.ini"), kOriginal + "name=B\344cker \200");  // ä, €
  }

  void theStatusLineNamesTheFileAndCtrlSSavesWithoutClosing() {
    Open();
    QCOMPARE(Text()->font(), QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QCOMPARE(Status(), QString::fromStdString(file) + "  ·  Windows-1252");
    Type("name=x");
    QVERIFY(Status().endsWith("changed"));
    QTest::keySequence(editor.get(), QKeySequence::Save);
    QCOMPARE(inst->box().Read("data/w.ini"), kOriginal + "name=x");
    QVERIFY(Status().endsWith("saved"));
    QVERIFY(editor->windowHandle()->close());  // saved: closes without a question
    QVERIFY(inst->person().asked.empty());
  }

  // Another program changed the file since it was loaded: a save replaces
  // that only after a Yes; the editor's own saves ask nothing.
  void aSaveOverAnotherProgramsChangeAsksFirst() {
    Open();
    Type("name=mine");
    inst->box().Write("data/w.ini", "[DEF]\r\nname=theirs\r\n");
    for (const bool answer : {false, true}) {
      inst->person().answer = answer;
      QTest::keySequence(editor.get(), QKeySequence::Save);
      QCOMPARE(inst->person().asked.size(), std::size_t{answer ? 2u : 1u});
      QCOMPARE(inst->person().asked.back(),
               "The file " + file +
                   " was changed by another program since it was opened here. Replace its "
                   "changes with this text?");
      QCOMPARE(inst->box().Read("data/w.ini").ends_with("name=mine"), answer);
    }
    Type("\nmore");
    const std::size_t asked = inst->person().asked.size();
    QTest::keySequence(editor.get(), QKeySequence::Save);
    QCOMPARE(inst->person().asked.size(), asked);
    QVERIFY(inst->box().Read("data/w.ini").ends_with("more"));
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
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("asked");  // "" for no question
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("written");
    const int yes = int(Answer::kYes), no = int(Answer::kNo), cancel = int(Answer::kCancel);
    const QString save = "Save the changes to %1?";
    QTest::newRow("unchanged") << "" << yes << true << 0 << "" << true << false;
    QTest::newRow("No drops the text") << "x=1" << no << true << 0 << save << true << false;
    QTest::newRow("Yes saves") << "x=1" << yes << true << 0 << save << true << true;
    QTest::newRow("Cancel stays with the text")
        << "x=1" << cancel << true << 0 << save << false << false;
    QTest::newRow("asked in German")
        << "x=1" << cancel << true << 1 << "Die Änderungen an %1 speichern?" << false << false;
    QTest::newRow("a failed save stays open") << "中" << yes << true << 0 << save << false << false;
    QTest::newRow("no workflow") << "x=1" << yes << false << 0 << "" << true << false;
  }
  void closingWithUnsavedChangesAsksFirst() {
    QFETCH(QString, typed);
    QFETCH(bool, workflow);
    if (!workflow) file = inst->Path("data/");
    QFETCH(int, answer);
    inst->person().three_way = Answer(answer);
    QFETCH(int, language);
    inst->context().settings.language = static_cast<wfdesk::core::LanguageCode>(language);
    Open();
    Type(typed);
    // Through the window system, as the title bar's close button does.
    const bool closed = editor->windowHandle()->close();
    QFETCH(QString, asked);
    std::vector<std::string> questions;
    if (!asked.isEmpty())
      questions.push_back(asked.arg(QString::fromStdString(file)).toStdString());
    QCOMPARE(inst->person().asked, questions);
    QTEST(closed, "closed");
    QTEST(!editor->isVisible(), "closed");
    QTEST(inst->box().Read("data/w.ini") != kOriginal, "written");
    if (!closed) QVERIFY(Text()->toPlainText().endsWith(typed));  // nothing typed is lost
    if (!workflow) QCOMPARE(Status(), QString("No workflow selected  ·  changed"));
  }

  // The real box, answered by a key as the person would. It belongs to the
  // window the person works in, not to the one the operator was made for.
  void aBoxBelongsToTheActiveWindowAndEnterAnswersAsAsked_data() {
    QTest::addColumn<QString>("question");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("answer");
    const int yes = int(Answer::kYes), no = int(Answer::kNo);
    QTest::newRow("Escape cancels") << "AskOrCancel" << int(Qt::Key_Escape) << int(Answer::kCancel);
    QTest::newRow("Enter keeps the changes") << "AskOrCancel" << int(Qt::Key_Return) << yes;
    QTest::newRow("Enter answers a question Yes") << "Ask" << int(Qt::Key_Return) << yes;
    QTest::newRow("Enter confirms no deletion") << "Confirm" << int(Qt::Key_Return) << no;
  }
  void aBoxBelongsToTheActiveWindowAndEnterAnswersAsAsked() {
    QFETCH(QString, question);
    QFETCH(int, key);
    QWidget main_window;
    wfdesk::desk::MessageBoxOperator person;
    person.set_parent(&main_window);
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
    const auto yes_no = [](bool yes) { return yes ? Answer::kYes : Answer::kNo; };
    const Answer answer = question == "Ask"       ? yes_no(person.Ask("Save?"))
                          : question == "Confirm" ? yes_no(person.Confirm("Delete?"))
                                                  : person.AskOrCancel("Save?");
    QTEST(int(answer), "answer");
    QCOMPARE(owner, static_cast<QWidget*>(editor.get()));
    QCOMPARE(buttons,
             QMessageBox::Yes | QMessageBox::No |
                 (question == "AskOrCancel" ? QMessageBox::Cancel : QMessageBox::NoButton));
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

  // Made in the language chosen, or told in it why not, with the system's
  // reason below the sentence.
  void aNewInstallationIsOfferedInTheLanguageChosen_data() {
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("where");  // a file named "taken" is in the way
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("said");
    using wfdesk::desk::NewInstallation;
    const int declined = int(NewInstallation::kDeclined), made = int(NewInstallation::kMade),
              failed = int(NewInstallation::kFailed);
    QTest::newRow("declined") << false << 0 << "new/home" << declined << "";
    QTest::newRow("made in German") << true << 1 << "new/home" << made << "";
    QTest::newRow("failed") << true << 0 << "taken/home" << failed
                            << "The installation in %1 could not be created.\n\n";
    QTest::newRow("failed in German") << true << 1 << "taken/home" << failed
                                      << "Die Installation in %1 konnte nicht angelegt werden.\n\n";
  }
  void aNewInstallationIsOfferedInTheLanguageChosen() {
    QFETCH(bool, accepted);
    QFETCH(int, language);
    QFETCH(QString, where);
    inst->box().Write("taken", "a file, not a folder");
    const std::string home = inst->Path(where.toStdString());
    QString title;
    const auto choose = [&](wfdesk::desk::NewInstallationDialog& dialog) {
      dialog.findChild<QComboBox*>("cboLanguage")->setCurrentIndex(language);
      title = dialog.windowTitle();
      return accepted;
    };
    QTEST(int(wfdesk::desk::OfferNewInstallation(home, inst->person(), choose)), "result");
    QCOMPARE(title, QString(language == 1 ? "Neue Installation" : "New installation"));
    const bool made = where == "new/home" && accepted;
    QCOMPARE(inst->box().Exists("new"), made);
    if (made) {  // whole or not, as the package's programs are found
      QVERIFY(inst->box().Read("new/home/settings.ini").find("language=1\r\n") !=
              std::string::npos);
      QVERIFY(inst->box().Exists("new/home/data"));
      return;
    }
    QFETCH(QString, said);
    QCOMPARE(inst->person().told.size(), std::size_t(said.isEmpty() ? 0 : 1));
    if (said.isEmpty()) return;
    const QString own = said.arg(QString::fromStdString(home));
    const QString told = QString::fromStdString(inst->person().told[0]);
    QVERIFY2(told.startsWith(own), qPrintable(told));
    // The detail names what could not be made.
    QVERIFY(told.mid(own.size()).contains(QString::fromStdString(inst->Path("taken"))));
  }

  // The German question, longer than the English one, is shown whole.
  void theNewInstallationsQuestionIsShownWholeInEitherLanguage() {
    wfdesk::desk::NewInstallationDialog dialog("/tmp/new/home");  // breaks between words
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.findChild<QComboBox*>("cboLanguage")->setCurrentIndex(1);
    QCoreApplication::processEvents();
    auto* question = dialog.findChild<QLabel*>("lblQuestion");
    QVERIFY(question->height() >= question->heightForWidth(question->width()));
  }
};

QTEST_MAIN(EditorTest)
#include "editor_test.moc"
