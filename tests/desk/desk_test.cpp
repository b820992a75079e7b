// The window driven by objectName: start-up, selection and results, runs on
// the worker thread, closing during a run, the editor opened on a workflow,
// the log view and the switch to the transmission view, the window's timer
// and the system schedule in the panel, and the mark of a workflow that
// starts by itself.
#include <memory>

#include "desk/editor_window.hpp"
#include "desk/lines_model.hpp"
#include "desk/main_window.hpp"
#include "desk/window_timers.hpp"
#include "tests/desk/desk_testing.hpp"
#include "tests/support/installation.hpp"

using wfdesk::desk::DeskServices;
using wfdesk::desk::FrmMain;
using wfdesk::testing::Activate;
using wfdesk::testing::FrameColour;
using wfdesk::testing::TestInstallation;

namespace {

constexpr const char* kGood =
    "[MOD001]\r\nmtype=BMD5INVOICE\r\nmpFile=in\r\nmpFileOutPath=out\r\nmpFileOutExtension=xml\r\n";

// The system's scheduler as the window sees it, without systemd.
class FakeScheduler : public wfdesk::schedule::SystemScheduler {
 public:
  using Change = wfdesk::schedule::ScheduleChange;
  explicit FakeScheduler(std::vector<std::string>& log) : calls(log) {}
  Change Set(const std::string& workflow, const std::string& calendar) override {
    calls.push_back("set " + workflow + " " + calendar);
    return {true, "set"};
  }
  Change Remove(const std::string& workflow) override {
    calls.push_back("remove " + workflow);
    return {true, "removed"};
  }
  // a.ini alone has a schedule.
  std::vector<wfdesk::schedule::Schedule> List() override {
    return {{"a.ini", "daily", "Mon 2026-03-09 00:00:00 UTC", true}};
  }
  std::optional<wfdesk::schedule::Schedule> Find(const std::string& workflow) override {
    return workflow == "a.ini" ? std::optional(List().front()) : std::nullopt;
  }
  std::vector<std::string>& calls;
};

// Answers as a message box does: the window's events go on while it is open.
class ModalOperator : public wfdesk::testing::RecordingOperator {
 public:
  std::function<void()> while_open = [] {};
  bool Ask(const std::string& question) override {
    while_open();
    return RecordingOperator::Ask(question);
  }
};

// Whether anything is drawn: a pixel not wholly clear.
bool Inked(const QPixmap& pixmap) {
  QImage clear(pixmap.size(), QImage::Format_ARGB32);
  clear.fill(Qt::transparent);
  return pixmap.toImage().convertToFormat(QImage::Format_ARGB32) != clear;
}

}  // namespace

class DeskTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TestInstallation> inst;
  std::unique_ptr<FrmMain> window;
  std::vector<std::string> scheduled;  // what the window asked the system's scheduler

  FrmMain& Open(const QStringList& arguments = {}, wfdesk::core::Operator* person = nullptr) {
    window = std::make_unique<FrmMain>(
        DeskServices{inst->context().home, person ? *person : inst->person(),
                     inst->context().launcher, inst->context().clock, inst->context().guids});
    window->FormLoad(arguments);
    return *window;
  }
  void OpenWithScheduler() {
    Open().SetSchedulerFactory([this] { return std::make_unique<FakeScheduler>(scheduled); });
  }
  template <typename T>
  T* Child(const char* name) {
    return wfdesk::testing::Child<T>(window.get(), name);
  }
  QString Text(const char* label) { return Child<QLabel>(label)->text(); }
  QListWidget* Workflows() { return Child<QListWidget>("ListWF"); }
  QStringList LogRows() { return wfdesk::testing::RowsOf(Child<QListView>("logList")->model()); }
  QStringList Menus() {
    QStringList titles;
    for (QAction* action : window->menuBar()->actions()) titles << action->text();
    return titles;
  }
  void Select(int row) {
    QListWidget* list = Workflows();
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  }
  // The module program notes each start in calls/started and runs until the
  // test writes the file "release", or half a minute, so that a test that
  // fails midway leaves no program behind.
  void HoldRuns() {
    inst->box().Write(
        "modules/mod_ledgerconv001_x86_32",
        "#!/bin/sh\necho started >> calls/started\ni=0\n"
        "while [ ! -f release ] && [ $i -lt 1500 ]; do sleep 0.02; i=$((i+1)); done\n");
  }
  // a.ini runs, with its timer on, until the test writes "release".
  void HoldARun(wfdesk::core::Operator* person = nullptr) {
    HoldRuns();
    Open({}, person);
    window->show();
    Select(0);
    Child<QCheckBox>("lblWFtimer")->setChecked(true);
    QTest::mouseClick(Child<QPushButton>("cmd001"), Qt::LeftButton);
  }

 private slots:
  void init() {
    inst = std::make_unique<TestInstallation>();
    scheduled.clear();
    // The person's own settings and units stay in the test's folder.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromStdString(inst->Path("personal")));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(inst->Path("personal")));
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
    QCOMPARE(Workflows()->count(), 2);
    QCOMPARE(Workflows()->item(0)->text(), QString("Title of a.ini  ->  a.ini"));
    QCOMPARE(Workflows()->currentRow(), -1);
    // The rest are looked up by the other tests.
    for (const char* name : {"Line1", "frame001", "lblWFname", "lblPName"}) Child<QWidget>(name);
    QVERIFY(!Child<QWidget>("text002")->isVisibleTo(window.get()));
    QCOMPARE(window->centralWidget()->size(), QSize(961, 633));
    QCOMPARE(window->centralWidget()->minimumSize(), QSize(961, 633));
    QCOMPARE(Menus(), QStringList({"&File", "&Transmissions", "&?"}));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&No"), QString("&No"));

    inst->box().Write("settings.ini", "[SETTINGS]\r\nlanguage=1\r\ndata_dir=data\r\n");
    Open();
    QCOMPARE(Child<QPushButton>("cmd001")->text(), QString("Workflow ausführen"));
    QCOMPARE(Menus(), QStringList({"&Datei", "Ü&bertragungen", "&?"}));
    // Qt's own buttons speak the same language.
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&No"), QString("&Nein"));
  }

  void aNamedWorkflowRunsBeforeTheWindowIsShown() {
    inst->box().Write("settings.ini",
                      "[SETTINGS]\r\nmodule_dir=modules\r\ndata_dir=data\r\n"
                      "logfile=system.log\r\nsilentmode=0\r\n");
    Open({"--home", "/elsewhere", "/f", "a.ini"});
    QVERIFY(!window->isVisible());
    QCOMPARE(Text("lblMessage"), QString("OK"));
    QCOMPARE(Text("lblStatus"), QString("a.ini ended: OK"));
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

  void nothingIsCurrentUntilTheOperatorPicksAWorkflow() {
    Open({"/f", "a.ini"});
    QCOMPARE(Text("lblMessage"), QString("OK"));
    QVERIFY(Activate(window.get()));
    QListWidget* list = Workflows();
    QPushButton* execute = Child<QPushButton>("cmd001");
    const auto nothing_picked = [&](const char* after) {
      QVERIFY2(list->currentRow() == -1 && list->selectedItems().isEmpty(), after);
      QVERIFY2(Text("lblWFfile").isEmpty(), after);
      QVERIFY2(Text("lblMessage") == "OK", after);  // the start-up run's result stays
      QVERIFY2(!execute->isEnabled(), after);
      QVERIFY2(!Child<QAction>("mnu_file101")->isEnabled(), after);
    };
    nothing_picked("activation");
    QTest::keyClick(window.get(), Qt::Key_Tab);
    QTest::keyClick(window.get(), Qt::Key_Tab);
    Child<QWidget>("logList")->setFocus(Qt::TabFocusReason);
    const QColor focus_colour = list->palette().color(QPalette::Highlight);
    QVERIFY(FrameColour(list) != focus_colour);
    list->setFocus(Qt::TabFocusReason);
    nothing_picked("focus by Tab");
    // No row shows the focus: the list's frame does.
    QCOMPARE(FrameColour(list), focus_colour);
    QTest::keyClick(list, Qt::Key_Return);
    window->cmd001_Click();
    QVERIFY(!window->running());
    QCOMPARE(inst->Calls("mod_ledgerconv001_x86_32").size(), std::size_t{1});

    QTest::keyClick(list, Qt::Key_Down);  // an arrow key picks the first row visibly
    QVERIFY(list->item(0)->isSelected());
    QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);  // the list's menu
    QTRY_VERIFY(Child<QMenu>("mnu_list")->isVisible());
    Child<QMenu>("mnu_list")->close();
    QCOMPARE(Text("lblWFfile"), QString("a.ini"));
    QCOMPARE(Text("lblMessage"), QString("OK"));  // a.ini's own result
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(Text("lblMessage"), QString());
    QTest::keyClick(list, Qt::Key_Return);  // Enter runs the selected workflow
    QVERIFY(window->running());
    QTRY_COMPARE(Text("lblMessage"), QString("OK"));
  }

  void closingDuringARunEndsTheProgramOnceTheRunHasEnded() {
    inst->Settings("silentmode=0\r\n");  // a run ends with a box, unless closing
    HoldARun();
    inst->person().answer = true;
    window->close();
    QVERIFY(!window->timers().Armed("a.ini"));  // the hidden window starts nothing
    QCOMPARE(inst->person().asked.back(),
             std::string("The workflow a.ini is still running. Close wfdesk as soon as it has "
                         "finished?"));
    QVERIFY(!window->isVisible());
    inst->box().Write("release", "");
    // The application's event loop ends by itself; the time-out fails it.
    QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!window->running());
    QVERIFY(inst->LogMessages("system.log").back().starts_with("-----"));
    QVERIFY(inst->person().told.empty());
  }

  void aRunEndingWhileTheCloseQuestionIsOpenLetsTheWindowCloseAndStopsItsTimers() {
    ModalOperator person;
    HoldARun(&person);
    person.while_open = [this] {
      inst->box().Write("release", "");
      QTRY_VERIFY(!window->running());
      window->timers().Due("a.ini");  // no new run while the person decides
    };
    person.answer = true;
    QVERIFY(window->close());
    QVERIFY(!window->running());
    QVERIFY(!window->timers().Armed("a.ini"));
  }

  void aRunGoesOnAWorkerAndItsResultBelongsToTheWorkflowThatRan() {
    WFDESK_NEEDS_SHELL_SCRIPTS();
    HoldRuns();
    Open().show();
    Select(1);
    QCOMPARE(Text("lblWFfile"), QString("b.ini"));
    QVERIFY(LogRows().isEmpty());  // b.log does not exist yet
    QListWidget* list = Workflows();
    const QPoint b = list->visualItemRect(list->item(1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, b);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, b);  // runs b
    QVERIFY(window->running());
    QPushButton* execute = Child<QPushButton>("cmd001");
    QVERIFY(!execute->isEnabled());
    QLabel* status = Child<QLabel>("lblStatus");
    QTRY_VERIFY(status->text().contains("MOD001"));
    QVERIFY(status->text().contains("b.ini"));
    window->statusBar()->showMessage("a menu's hint");  // as hovering a menu does
    QVERIFY(status->isVisible());
    QVERIFY(status->text().contains("MOD001"));
    // The window stays live, and a second double click starts nothing.
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, b);
    QTRY_VERIFY(LogRows().size() >= 2);  // the view follows the run's log
    inst->person().answer = false;       // closing during a run asks first
    window->close();
    QVERIFY(QString::fromStdString(inst->person().asked.back()).contains("still running"));
    QVERIFY(window->running());
    Select(0);  // another workflow is on show when the run ends
    QCOMPARE(Text("lblWFfile"), QString("a.ini"));
    QCOMPARE(Text("lblWFnameOut"), QString("Daily invoices"));
    QCOMPARE(window->CurrentWorkflowFile(), std::string("data/a.ini"));
    inst->box().Write("release", "");
    QTRY_VERIFY(!window->running());
    QCOMPARE(Text("lblMessage"), QString());
    QVERIFY(execute->isEnabled());
    QCOMPARE(status->text(), QString("b.ini ended: OK"));
    for (int again = 0; again < 2; ++again) {  // a click on it again keeps its result
      Select(1);
      QCOMPARE(Text("lblMessage"), QString("OK"));
    }
    QVERIFY(!Child<QLabel>("lblMessage")->styleSheet().contains("red"));  // no alarm
    QVERIFY(LogRows().last().endsWith("WORKFLOW RESULT: OK"));            // b.log to its end
    QCOMPARE(Child<QListView>("logList")->currentIndex().row(), LogRows().size() - 1);
    QCOMPARE(inst->LogLines("calls/started").size(), std::size_t{1});
    inst->box().Write("modules/mod_ledgerconv001_x86_32", "#!/bin/sh\nexit 1\n");
    QTest::mouseClick(execute, Qt::LeftButton);  // a new run clears the old result
    QCOMPARE(Text("lblMessage"), QString());
    QTRY_VERIFY(!window->running());
    QVERIFY(!Text("lblMessage").isEmpty() && Text("lblMessage") != "OK");
    QVERIFY(Child<QLabel>("lblMessage")->styleSheet().contains("red"));
    Child<QAction>("mnu_file_exit")->trigger();  // File > Exit
    QVERIFY(!window->isVisible());
  }

  void aRightClickOpensTheEditorOnTheSelectedWorkflowAndItSavesToThatFile() {
    const std::string mixed = "[FILE]\ntype=qvworkflow\r\n[DEF]\rname=Daily";
    inst->box().Write("data/a.ini", mixed);
    Open();
    window->show();
    window->move(window->screen()->availableGeometry().bottomRight() - QPoint(300, 200));
    auto* editor = window->findChild<wfdesk::desk::FrmEditor*>("frmEditor");
    window->ShowEditor();  // nothing selected yet: no editor, nothing said
    QVERIFY(!editor->isVisible());
    QVERIFY(inst->person().told.empty());
    Select(0);
    QListWidget* list = Workflows();
    QTest::mousePress(list->viewport(), Qt::RightButton, {},
                      list->visualItemRect(list->item(1)).center());
    QCOMPARE(list->currentRow(), 0);
    QVERIFY(editor->isVisible());
    QVERIFY(editor->findChild<QPlainTextEdit*>("Text1")->toPlainText().contains("name=Daily"));
    // Over the main window and whole on the screen, though the main window
    // is mostly off it.
    QVERIFY(window->screen()->availableGeometry().contains(editor->frameGeometry()));
    QVERIFY(editor->frameGeometry().intersects(window->frameGeometry()));
    // Another selection meanwhile: the save still goes to a.ini, unchanged
    // byte for byte, line ends and all.
    Select(1);
    const std::string b = inst->box().Read("data/b.ini");
    inst->person().answer = true;
    QTest::mouseClick(editor->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QCOMPARE(inst->box().Read("data/a.ini"), mixed);
    QCOMPARE(inst->box().Read("data/b.ini"), b);
  }

  void destroyingTheWindowReleasesARunWaitingForTheOperatorAndJoinsIt() {
    inst->Settings("silentmode=0\r\n");  // the run ends by telling its result
    Open();
    Select(0);
    QTest::mouseClick(Child<QPushButton>("cmd001"), Qt::LeftButton);
    QVERIFY(window->running());
    // No events run here, so the worker's box waits for this thread.
    window.reset();
    QVERIFY(inst->LogMessages("system.log").back().starts_with("-----"));
    QVERIFY(inst->person().told.empty());
  }

  void theLogViewSplitsAtCrLfCrAndLfAndFollowsAGrowingFile() {
    inst->box().Write("system.log", "one\r\ntwo\rthree\nfour\r\n\r\nsix");
    Open();
    window->ShowLogFile("system.log");
    QCOMPARE(LogRows(), QStringList({"one", "two", "three", "four", "", "six"}));
    QListView* log = Child<QListView>("logList");
    QCOMPARE(log->currentIndex().row(), 5);
    const QPoint two = log->visualRect(log->model()->index(1, 0)).center();
    QTest::mouseClick(log->viewport(), Qt::LeftButton, {}, two);
    QTest::mouseDClick(log->viewport(), Qt::LeftButton, {}, two);
    QCOMPARE(inst->person().told.back(), std::string("two"));
    Child<QAction>("mnu_help103")->trigger();
    QCOMPARE(inst->person().told.back(), std::string("wfdesk v." WFDESK_TEST_VERSION));
    window->ShowLogFile(inst->Path("data"));  // a folder: an empty view
    QVERIFY(LogRows().isEmpty());

    // A long line is never cut: the view scrolls sideways to its end.
    const std::string longest = "start " + std::string(400, 'x') + " end";
    inst->box().Write("system.log", "short\r\n" + longest + "\r\nshort\r\n");
    window->ShowLogFile("system.log");
    window->show();
    const QRect row = log->visualRect(log->model()->index(1, 0));
    QVERIFY(row.width() >= log->fontMetrics().horizontalAdvance(QString::fromStdString(longest)));
    QVERIFY(log->horizontalScrollBar()->maximum() > 0);
    QCOMPARE(log->horizontalScrollBar()->value(), 0);
    QCOMPARE(log->textElideMode(), Qt::ElideNone);

    // A line end cut in two, or a line still being written, waits for the rest.
    wfdesk::desk::LinesModel model;
    inst->box().Write("grow.log", "first\r");
    model.LoadFile(inst->Path("grow.log"));
    QCOMPARE(model.rowCount(), 1);
    for (const char* grown : {"first\r\nsecond li", "first\r\nsecond line\r\nthird\r\n"}) {
      inst->box().Write("grow.log", grown);
      QVERIFY(model.FollowFile());
    }
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.LineBytes(1), std::string("second line"));
    QVERIFY(!model.FollowFile());
  }

  void newWorkflowFilesAppearWithoutARestartAndTheSelectionStays() {
    Open({"/f", "b.ini"});
    Select(1);
    inst->Workflow("c.ini", kGood);
    Child<QAction>("mnu_file_refresh")->trigger();  // F5
    QCOMPARE(Workflows()->count(), 3);
    inst->Workflow("d.ini", kGood);  // the data folder is watched
    QTRY_COMPARE(Workflows()->count(), 4);
    QCOMPARE(Workflows()->selectedItems().size(), 1);
    QCOMPARE(Text("lblWFfile"), QString("b.ini"));
    QCOMPARE(Text("lblMessage"), QString("OK"));
    // A file gone before the list has noticed: said as such, and its
    // window timer starts nothing.
    QVERIFY(QFile::remove(QString::fromStdString(inst->Path("data/b.ini"))));
    window->timers().Due("b.ini");
    QVERIFY(!window->running());
    window->cmd001_Click();
    QCOMPARE(inst->person().told.back(), std::string("The workflow file b.ini no longer exists."));
    QCOMPARE(Workflows()->count(), 3);
    QCOMPARE(Text("lblWFfile"), QString());
    QVERIFY(!Child<QPushButton>("cmd001")->isEnabled());
    // The data folder deleted, then made again: F5 lists it and watches it again.
    Select(0);
    QVERIFY(QDir(QString::fromStdString(inst->Path("data"))).removeRecursively());
    // Windows keeps a watched folder, delete-pending, until the watcher lets go.
#ifndef _WIN32
    window->cmd001_Click();
    QVERIFY2(QString::fromStdString(inst->person().told.back())
                 .startsWith("The data folder " + QString::fromStdString(inst->Path("data"))),
             inst->person().told.back().c_str());
#endif
    QTRY_COMPARE(Workflows()->count(), 0);
    inst->Workflow("e.ini", kGood);
    Child<QAction>("mnu_file_refresh")->trigger();
    QCOMPARE(Workflows()->count(), 1);
    inst->Workflow("f.ini", kGood);
    QTRY_COMPARE(Workflows()->count(), 2);
  }

  // The Transmissions menu turns the bottom list into the selected
  // workflow's records, which show what a run adds as soon as it ends, and
  // back into its log.
  void theTransmissionsMenuSwitchesTheBottomListBetweenRecordsAndLog() {
    WFDESK_NEEDS_SHELL_SCRIPTS();
    const std::string record = ";f2;f3;f4;f5;f6;f7;f8;f9;f10;f11;f12;0";
    inst->box().Write("trans.csv", "OLD" + record + "\r\n");
    inst->box().Write(
        "modules/mod_ledgerconv001_x86_32",
        "#!/bin/sh\nprintf 'NEW" + record + "\\r\\n' >> '" + inst->Path("trans.csv") + "'\n");
    inst->Workflow(
        "t.ini", "[WORKFLOW]\r\ndbfile=trans.csv\r\nlistaction=dbelement\r\n" + std::string(kGood));
    Open();
    Select(2);
    QAction* show = Child<QAction>("mnu_records_show");
    show->trigger();
    auto* filter = Child<QLineEdit>("text002");
    QVERIFY(filter->isVisibleTo(window.get()));
    QCOMPARE(Text("lbl001"), QString("Transmissions"));
    QCOMPARE(LogRows().size(), 1);
    // Shift+Tab from the filter focuses the rows: no row is chosen by that.
    QVERIFY(Activate(window.get()));
    QCOMPARE(QApplication::focusWidget(), filter);
    QTest::keyClick(filter, Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), Child<QListView>("logList"));
    QCOMPARE(Text("lblEID"), QString());
    window->timers().Due("t.ini");  // the one shown: the view stays
    QTRY_VERIFY(!window->running());
    QCOMPARE(LogRows().size(), 2);
    QVERIFY(LogRows()[1].startsWith("NEW "));

    show->trigger();
    QVERIFY(!filter->isVisibleTo(window.get()));
    QCOMPARE(Text("lbl001"), QString("Log"));
    QVERIFY(!Child<QWidget>("logHeadingBox")->isVisible());
  }

  void theWindowTimerRunsItsWorkflowAndSkipsARunThatWouldOverlap() {
    WFDESK_NEEDS_SHELL_SCRIPTS();
    HoldRuns();
    const std::string workflow_file = inst->box().Read("data/a.ini");
    OpenWithScheduler();
    Select(1);
    QCOMPARE(Text("lblWFschedule"), QString("No schedule"));
    Select(0);
    // The line shows as much as fits; its tooltip holds it whole.
    const auto schedule = [this] { return Child<QLabel>("lblWFschedule")->toolTip(); };
    QCOMPARE(schedule(), QString("System schedule: daily, next run Mon 2026-03-09 00:00:00 UTC"));
    QVERIFY(schedule().startsWith(Text("lblWFschedule").chopped(1)));
    Child<QSpinBox>("txtWFtimerinterval")->setValue(90);
    Child<QCheckBox>("lblWFtimer")->setChecked(true);
    QVERIFY(window->timers().Armed("a.ini"));
    QVERIFY(schedule().startsWith("Window timer: every 90 s; System schedule: daily"));
    window->timers().Due("a.ini");  // its interval has passed
    QVERIFY(window->running());
    // Again while it runs: left out, not queued, and logged once per run.
    for (const char* due : {"a.ini", "b.ini", "a.ini"}) window->timers().Due(due);
    const QString skipped = "Window timer: a.ini was not started, a run is still going.";
    QCOMPARE(Child<QLabel>("lblStatus")->text(), "Running a.ini  ·  " + skipped);
    const auto log = inst->LogMessages("system.log");
    QCOMPARE(std::count(log.begin(), log.end(), skipped.toStdString()), 1);
    inst->box().Write("release", "");
    QTRY_VERIFY(!window->running());
    QCOMPARE(inst->LogLines("calls/started").size(), std::size_t{1});

    // Kept for this installation and workflow, outside the workflow file.
    window.reset();
    OpenWithScheduler();
    QVERIFY(window->timers().Armed("a.ini") && !window->timers().Armed("b.ini"));
    Select(0);
    QVERIFY(Child<QCheckBox>("lblWFtimer")->isChecked());
    QCOMPARE(Child<QSpinBox>("txtWFtimerinterval")->value(), 90);
    QCOMPARE(inst->box().Read("data/a.ini"), workflow_file);
    Child<QCheckBox>("lblWFtimer")->setChecked(false);
    QVERIFY(!window->timers().Armed("a.ini"));
    // A schedule starts wfdesk-cli: without one beside the window or on PATH it is refused.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(inst->Path("modules")));
    window->ApplySchedule("a.ini", "");
    window->ApplySchedule("a.ini", "hourly");
    inst->FakeProgram("wfdesk-cli");
    window->ApplySchedule("a.ini", "hourly");
    qputenv("PATH", path);
    QCOMPARE(scheduled, (std::vector<std::string>{"remove a.ini", "set a.ini hourly"}));
    QCOMPARE(inst->person().told.size(), std::size_t{3});
    QVERIFY(inst->person().told[1].starts_with("A schedule starts wfdesk-cli, which is neither"));
    QCOMPARE(inst->person().told[2], std::string("set"));
  }

  // A workflow that starts by itself carries a clock in its row and in the
  // panel, with what starts it in the tooltip; the row's words, which the
  // selection reads its file name from, stay as they are.
  void aWorkflowThatStartsByItselfIsMarkedInTheListAndThePanel() {
    OpenWithScheduler();
    const QString timer = "Starts by itself: window timer";
    const QString system = "Starts by itself: system schedule";
    const QString both = "Starts by itself: window timer, system schedule";
    const struct {
      int row;  // a.ini has a system schedule, b.ini none
      bool timer;
      QString said;
      QString other;  // the other row's tooltip
    } cases[] = {{1, false, "", system},
                 {1, true, timer, system},
                 {0, false, system, timer},
                 {0, true, both, timer},
                 {1, false, "", both}};
    for (const auto& c : cases) {
      Select(c.row);
      Child<QCheckBox>("lblWFtimer")->setChecked(c.timer);
      const QListWidgetItem* item = Workflows()->item(c.row);
      const QString file = c.row == 0 ? "a.ini" : "b.ini";
      QCOMPARE(item->text(), "Title of " + file + "  ->  " + file);
      QCOMPARE(Text("lblWFfile"), file);
      QCOMPARE(item->toolTip(), c.said);
      QCOMPARE(Inked(item->icon().pixmap(16)), !c.said.isEmpty());
      QCOMPARE(Workflows()->item(1 - c.row)->toolTip(), c.other);
      QCOMPARE(Child<QLabel>("lblWFmark")->isVisibleTo(window.get()), !c.said.isEmpty());
      QCOMPARE(Child<QLabel>("lblWFmark")->toolTip(), c.said);
      QCOMPARE(Inked(Child<QLabel>("lblWFmarkIcon")->pixmap()), !c.said.isEmpty());
    }
    // A new window marks its list from the start, in its language.
    inst->box().Write("settings.ini", "[SETTINGS]\r\nlanguage=1\r\ndata_dir=data\r\n");
    Open();
    QCOMPARE(Workflows()->item(0)->toolTip(), QString("Startet von selbst: Fenster-Timer"));
    QCOMPARE(Workflows()->item(1)->toolTip(), QString());
    Select(0);
    QCOMPARE(Text("lblWFmark"), QString("Geplant"));
  }
};

QTEST_MAIN(DeskTest)
#include "desk_test.moc"
