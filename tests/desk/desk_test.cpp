// The window driven by objectName: start-up, selection and results, runs on
// the worker thread, the editor, and the log view.
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>
#include <chrono>
#include <memory>
#include <thread>

#include "core/line_index.hpp"
#include "desk/editor_window.hpp"
#include "desk/lines_model.hpp"
#include "desk/main_window.hpp"
#include "tests/support/installation.hpp"

using wfdesk::desk::DeskServices;
using wfdesk::desk::FrmMain;
using wfdesk::testing::TestInstallation;

namespace {

constexpr const char* kGood =
    "[MOD001]\r\nmtype=BMD5INVOICE\r\nmpFile=in\r\nmpFileOutPath=out\r\nmpFileOutExtension=xml\r\n";

}  // namespace

class DeskTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TestInstallation> inst;
  std::unique_ptr<FrmMain> window;

  FrmMain& Open(const QStringList& arguments = {}) {
    window = std::make_unique<FrmMain>(DeskServices{inst->context().home, inst->person(),
                                                    inst->context().launcher, inst->context().clock,
                                                    inst->context().guids});
    window->FormLoad(arguments);
    return *window;
  }
  template <typename T>
  T* Child(const char* name) {
    T* child = window->findChild<T*>(name);
    if (!child) qFatal("no control %s", name);
    return child;
  }
  QString Text(const char* label) { return Child<QLabel>(label)->text(); }
  QListWidget* Workflows() { return Child<QListWidget>("ListWF"); }
  QStringList LogRows() {
    QStringList rows;
    auto* model = Child<QListView>("logList")->model();
    for (int row = 0; row < model->rowCount(); ++row) {
      rows << model->index(row, 0).data().toString();
    }
    return rows;
  }
  void Select(int row) {
    QListWidget* list = Workflows();
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  }

 private slots:
  void init() {
    inst = std::make_unique<TestInstallation>();
    inst->FakeProgram("mod_ledgerconv001_x86_32");
    inst->Workflow("a.ini", kGood, "name=Daily invoices\r\n");
    inst->Workflow("b.ini", kGood, "logfile=b.log\r\n");
  }
  void cleanup() {
    if (window) QTRY_VERIFY_WITH_TIMEOUT(!window->running(), 10000);
    window.reset();
    inst.reset();
  }

  void startUpPutsTextsCaptionAndCatalogueOnTheWindow() {
    inst->box().Write("data/readme.txt", "no workflow");
    Open();
    QCOMPARE(window->windowTitle(), QString("wfdesk / v." WFDESK_TEST_VERSION));
    QCOMPARE(Child<QPushButton>("cmd001")->text(), QString("Execute Workflow"));
    QCOMPARE(Child<QMenu>("mnu_file001")->title(), QString("&File"));
    QCOMPARE(Text("lbl002"), QString("Workflows"));
    QCOMPARE(Workflows()->count(), 2);
    QCOMPARE(Workflows()->item(0)->text(), QString("Title of a.ini  ->  a.ini"));
    QCOMPARE(Workflows()->currentRow(), -1);
    for (const char* name : {"Line1", "frame001", "lblWFfile", "lblWFname", "lblWFnameOut",
                             "lblMessage", "lblEID", "lblPName", "lbl001", "text002"}) {
      QVERIFY2(window->findChild<QWidget*>(name), name);
    }
    QVERIFY(!Child<QWidget>("text002")->isVisibleTo(window.get()));
    QCOMPARE(window->centralWidget()->size(), QSize(961, 633));

    inst->Settings("");
    inst->box().Write("settings.ini", "[SETTINGS]\r\nlanguage=1\r\ndata_dir=data\r\n");
    Open();
    QCOMPARE(Child<QPushButton>("cmd001")->text(), QString("Workflow ausführen"));
    QCOMPARE(Child<QMenu>("mnu_help001")->actions().at(0)->text(), QString("I&nfo"));
  }

  void aNamedWorkflowRunsBeforeTheWindowIsShown() {
    inst->Settings("");
    inst->box().Write("settings.ini",
                      "[SETTINGS]\r\nmodule_dir=modules\r\ndata_dir=data\r\n"
                      "logfile=system.log\r\nsilentmode=0\r\n");
    Open({"--home", "/elsewhere", "/f", "a.ini"});
    QVERIFY(!window->isVisible());
    QCOMPARE(Text("lblMessage"), QString("OK"));
    QCOMPARE(inst->Calls("mod_ledgerconv001_x86_32").size(), std::size_t{1});
    QCOMPARE(inst->person().told, std::vector<std::string>{"OK"});  // not silent

    Open({"/x", "1"});
    QCOMPARE(Text("lblMessage"), QString());
    QCOMPARE(inst->Calls("mod_ledgerconv001_x86_32").size(), std::size_t{1});
  }

  void aMissingDataFolderIsReportedOnceAndNothingIsListedOrRun() {
    // A workflow in the installation folder, which an empty data folder lists.
    inst->box().Write("a.ini", "[FILE]\r\ntype=qvworkflow\r\n[DEF]\r\ntype=genWorkflow\r\n");
    using namespace std::string_literals;
    const struct {
      std::string settings;
      QStringList arguments;
      QString told;
    } cases[] = {{"[SETTINGS]\r\ndata_dir=nowhere\r\n",
                  {},
                  QString::fromStdString("The data folder " + inst->Path("nowhere"))},
                 {"[SETTINGS]\r\ndata_dir=\r\n", {"/f", "a.ini"}, "ERROR: no data folder set!"},
                 {"\x01\xff\x00[SETTINGS\r\r\x80"s, {"/f", "a.ini"}, "ERROR: no data folder set!"}};
    for (const auto& c : cases) {
      inst->box().Write("settings.ini", c.settings);
      inst->person().told.clear();
      Open(c.arguments);
      QCOMPARE(Workflows()->count(), 0);
      QCOMPARE(inst->person().told.size(), std::size_t{1});
      QVERIFY2(QString::fromStdString(inst->person().told[0]).startsWith(c.told),
               inst->person().told[0].c_str());
    }
    QVERIFY(Text("lblMessage").startsWith("ERROR: no data folder set!"));
    QCOMPARE(inst->Calls("mod_ledgerconv001_x86_32").size(), std::size_t{0});
  }

  void selectingShowsTheWorkflowAndRunningShowsItsResult() {
    Open();
    Select(0);
    QCOMPARE(Text("lblWFfile"), QString("a.ini"));
    QCOMPARE(Text("lblWFnameOut"), QString("Daily invoices"));
    QCOMPARE(window->CurrentWorkflowFile(), std::string("data/a.ini"));
    QTest::mouseClick(Child<QPushButton>("cmd001"), Qt::LeftButton);
    QTRY_COMPARE(Text("lblMessage"), QString("OK"));
    QVERIFY(LogRows().last().endsWith("---------------------------------------------------------"));
    QCOMPARE(Child<QListView>("logList")->currentIndex().row(), LogRows().size() - 1);
    Select(0);  // the same workflow again keeps its result
    QCOMPARE(Text("lblMessage"), QString("OK"));
    Select(1);
    QCOMPARE(Text("lblMessage"), QString());
    QCOMPARE(Text("lblWFfile"), QString("b.ini"));
    QVERIFY(LogRows().isEmpty());  // b.log does not exist yet
  }

  void aRunGoesOnAWorkerWhileTheExecuteActionsAreDisabled() {
    inst->box().Write("modules/mod_ledgerconv001_x86_32",
                      "#!/bin/sh\necho started >> calls/started\n"
                      "while [ ! -f release ]; do sleep 0.02; done\n");
    Open();
    Select(1);
    QListWidget* list = Workflows();
    const QPoint b = list->visualItemRect(list->item(1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, b);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, b);  // runs b
    QVERIFY(window->running());
    QPushButton* execute = Child<QPushButton>("cmd001");
    QVERIFY(!execute->isEnabled());
    QTRY_VERIFY(window->statusBar()->currentMessage().contains("MOD001"));
    QVERIFY(window->statusBar()->currentMessage().contains("b.ini"));
    // The window stays live, and a second double click starts nothing.
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, b);
    QTRY_VERIFY(LogRows().size() >= 2);  // the view follows the run's log
    inst->person().answer = false;       // closing during a run asks first
    window->close();
    QVERIFY(QString::fromStdString(inst->person().asked.back()).contains("still running"));
    QVERIFY(window->running());
    inst->box().Write("release", "");
    QTRY_COMPARE(Text("lblMessage"), QString("OK"));
    QVERIFY(execute->isEnabled());
    QCOMPARE(inst->LogLines("calls/started").size(), std::size_t{1});
  }

  void aRightClickOpensTheEditorOnTheSelectedWorkflow() {
    Open();
    Select(0);
    QListWidget* list = Workflows();
    QTest::mousePress(list->viewport(), Qt::RightButton, {},
                      list->visualItemRect(list->item(1)).center());
    QCOMPARE(list->currentRow(), 0);
    auto* editor = window->findChild<wfdesk::desk::FrmEditor*>("frmEditor");
    QVERIFY(editor->isVisible());
    QVERIFY(editor->findChild<QPlainTextEdit*>("Text1")->toPlainText().contains("name=Daily"));
  }

  void theEditorKeepsTypedTextAndSavesInTheFilesEncoding() {
    // Windows-1252 bytes with CR LF line ends, as written on Windows.
    const std::string original =
        "[FILE]\r\ntype=qvworkflow\r\n[DEF]\r\ntitle=Gr\xF6\xDF"
        "e\r\n";
    inst->box().Write("data/w.ini", original);
    Open();
    Select(2);
    window->ShowEditor();
    auto* editor = window->findChild<wfdesk::desk::FrmEditor*>("frmEditor");
    auto* text = editor->findChild<QPlainTextEdit*>("Text1");
    QCOMPARE(text->toPlainText(), QString("[FILE]\ntype=qvworkflow\n[DEF]\ntitle=Größe\n"));
    text->moveCursor(QTextCursor::End);
    QTest::keyClicks(text, "name=typed");
    editor->repaint();
    QCoreApplication::processEvents();
    QVERIFY(text->toPlainText().endsWith("name=typed"));
    window->ShowEditor();  // asked for again while open: the typing stays
    QVERIFY(text->toPlainText().endsWith("name=typed"));

    inst->person().answer = false;
    QTest::mouseClick(editor->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(!editor->isVisible());
    QCOMPARE(inst->box().Read("data/w.ini"), original);

    window->ShowEditor();  // shown again: the file's text, the typing gone
    QVERIFY(!text->toPlainText().contains("typed"));
    text->moveCursor(QTextCursor::End);
    text->insertPlainText("name=Bäcker €");
    inst->person().answer = true;
    QTest::mouseClick(editor->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QCOMPARE(inst->person().asked.back(), std::string("Wollen Sie die Änderungen speichern?"));
    const std::string saved = original +
                              "name=B\xE4"
                              "cker \x80";
    QCOMPARE(inst->box().Read("data/w.ini"), saved);

    // A character Windows-1252 cannot store is refused; nothing is written.
    window->ShowEditor();
    text->moveCursor(QTextCursor::End);
    text->insertPlainText("中");
    QTest::mouseClick(editor->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(editor->isVisible());
    QCOMPARE(inst->box().Read("data/w.ini"), saved);
    QVERIFY(QString::fromStdString(inst->person().told.back()).contains("Windows-1252"));
  }

  void theEditorSavesAnUnchangedFileByteForByteAndRefusesWithoutAWorkflow() {
    const std::string mixed = "[FILE]\ntype=qvworkflow\r\n[DEF]\rtitle=x";
    inst->box().Write("data/m.ini", mixed);
    Open();
    window->ShowEditor();  // nothing selected yet: the missing file, told once
    QCOMPARE(inst->person().told.size(), std::size_t{1});
    auto* editor = window->findChild<wfdesk::desk::FrmEditor*>("frmEditor");
    QTest::mouseClick(editor->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(inst->person().asked.empty());
    QVERIFY(QString::fromStdString(inst->person().told.back()).contains("No workflow"));

    Select(2);
    window->ShowEditor();
    Select(0);  // another selection meanwhile: the save still goes to m.ini
    const std::string a = inst->box().Read("data/a.ini");
    inst->person().answer = true;
    QTest::mouseClick(editor->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QCOMPARE(inst->box().Read("data/m.ini"), mixed);
    QCOMPARE(inst->box().Read("data/a.ini"), a);
  }

  void destroyingTheWindowDuringARunWaitsForTheRunToEnd() {
    inst->box().Write("modules/mod_ledgerconv001_x86_32",
                      "#!/bin/sh\nwhile [ ! -f release ]; do sleep 0.02; done\n");
    Open();
    Select(0);
    QTest::mouseClick(Child<QPushButton>("cmd001"), Qt::LeftButton);
    QVERIFY(window->running());
    std::thread releaser([this] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      inst->box().Write("release", "");
    });
    window.reset();  // returns once the run has ended
    releaser.join();
    QVERIFY(inst->LogMessages("system.log").back().starts_with("-----"));
  }

  void theLogViewSplitsAtCrLfCrAndLf() {
    inst->box().Write("system.log", "one\r\ntwo\rthree\nfour\r\n");
    Open();
    window->ShowLogFile("system.log");
    QCOMPARE(LogRows(), QStringList({"one", "two", "three", "four"}));
    QListView* log = Child<QListView>("logList");
    QCOMPARE(log->currentIndex().row(), 3);
    const QPoint two = log->visualRect(log->model()->index(1, 0)).center();
    QTest::mouseClick(log->viewport(), Qt::LeftButton, {}, two);
    QTest::mouseDClick(log->viewport(), Qt::LeftButton, {}, two);
    QCOMPARE(inst->person().told.back(), std::string("two"));
    window->findChild<QAction*>("mnu_help103")->trigger();
    QCOMPARE(inst->person().told.back(), std::string("wfdesk v." WFDESK_TEST_VERSION));
    window->ShowLogFile(inst->Path("data"));  // a folder: an empty view
    QVERIFY(LogRows().isEmpty());
  }

  void theTransmissionViewListsFiltersAndActsOnTheChosenRecord() {
    inst->Workflow("t.ini", "[WORKFLOW]\r\ndbfile=trans.csv\r\nlistaction=dbelement\r\n");
    const auto record = [](const std::string& id, const std::string& tag) {
      return id + ";f2;f3;f4;f5;f6;f7;f8;f9;f10;f11;f12;" + tag + "\r\n";
    };
    inst->box().Write("trans.csv", record("INV-1", "0") + record("INV-2", "0") + record("X", "1"));
    Open();
    Select(2);
    auto* show = window->findChild<QAction*>("mnu_records_show");
    auto* toggle = window->findChild<QAction*>("mnu_records_toggle");
    show->trigger();
    auto* filter = Child<QLineEdit>("text002");
    QVERIFY(filter->isVisibleTo(window.get()));
    QCOMPARE(LogRows().size(), 3);
    QVERIFY(LogRows()[0].startsWith("INV-1 "));
    QCOMPARE(LogRows()[0].mid(23, 2), QString("f6"));
    QVERIFY(!toggle->isEnabled());  // no element chosen yet

    QTest::keyClicks(filter, "inv-2");
    QCOMPARE(LogRows().size(), 1);
    filter->clear();
    QListView* list = Child<QListView>("logList");
    list->setCurrentIndex(list->model()->index(1, 0));
    QCOMPARE(Text("lblEID"), QString("INV-2"));
    QVERIFY(toggle->isEnabled());
    toggle->trigger();
    QVERIFY(inst->box().Read("trans.csv").find("INV-2;f2;f3;f4;f5;f6;f7;f8;f9;f10;f11;f12;1") !=
            std::string::npos);
    QVERIFY(LogRows()[1].contains(" W "));  // filled again after the action
    QCOMPARE(Text("lblEID"), QString("INV-2"));

    window->findChild<QAction*>("mnu_records_edit")->trigger();
    auto* dialog = window->findChild<QDialog*>("dlgRecord");
    QVERIFY(dialog);
    QCOMPARE(dialog->findChild<QLineEdit*>("txtWriteTag")->text(), QString("1"));
    dialog->findChild<QLineEdit*>("txtField6")->setText("new;six");
    dialog->accept();
    QVERIFY(inst->box().Read("trans.csv").find("INV-2;f2;f3;f4;f5;\"new;six\";f7") !=
            std::string::npos);

    inst->person().answer = true;
    window->findChild<QAction*>("mnu_records_delete")->trigger();
    QCOMPARE(LogRows().size(), 2);
    QCOMPARE(Text("lblEID"), QString());
    // Another writer removed the chosen record meanwhile: the window says so.
    list->setCurrentIndex(list->model()->index(0, 0));
    inst->box().Write("trans.csv", record("X", "1"));
    toggle->trigger();
    QCOMPARE(inst->person().told.back(),
             std::string("The element ID INV-1 was not found in trans.csv. Nothing was changed."));
    QCOMPARE(LogRows().size(), 1);

    show->trigger();  // back to the log
    QVERIFY(!filter->isVisibleTo(window.get()));
    Select(0);  // a workflow whose records may not be changed
    show->trigger();
    list->setCurrentIndex(list->model()->index(0, 0));
    QVERIFY(!toggle->isEnabled());
  }

  void lineIndexAndFollowingAGrowingFile() {
    std::vector<wfdesk::core::LineSpan> lines;
    wfdesk::core::IndexLines("a\r\n\r\nb\rc", 0, lines);
    QCOMPARE(lines.size(), std::size_t{4});
    QCOMPARE(lines[1].length, std::size_t{0});
    QCOMPARE(lines[3].begin, std::size_t{7});

    wfdesk::desk::LinesModel model;
    inst->box().Write("grow.log", "first\r");
    model.LoadFile(inst->Path("grow.log"));
    QCOMPARE(model.rowCount(), 1);
    inst->box().Write("grow.log", "first\r\nsecond par");
    QVERIFY(model.FollowFile());
    inst->box().Write("grow.log", "first\r\nsecond part\r\nthird\r\n");
    QVERIFY(model.FollowFile());
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.LineBytes(1), std::string("second part"));
    QVERIFY(!model.FollowFile());
  }
};

QTEST_MAIN(DeskTest)
#include "desk_test.moc"
