// The transmission view of the bottom list on its own: rows under the
// heading, the records the connector and the invoice check write, the
// filter and the record actions on the chosen element, a missing database,
// the list's focus, and a rejected invoice's report.
#include <memory>

#include "core/language.hpp"
#include "desk/lines_model.hpp"
#include "desk/lines_view.hpp"
#include "desk/transmission_view.hpp"
#include "engine/invalid_record.hpp"
#include "tests/desk/desk_testing.hpp"
#include "tests/support/installation.hpp"
#include "textdb/transmission_record.hpp"

using wfdesk::desk::LinesModel;
using wfdesk::desk::LinesView;
using wfdesk::desk::TransmissionView;
using wfdesk::testing::TestInstallation;

namespace {

// A check module whose rejects go to rejected/, after a module with a
// folder of the same key that is not a check's.
const std::string kModules =
    "[WORKFLOW]\r\ndbfile=trans.csv\r\nlistaction=dbelement\r\n"
    "[MOD001]\r\nmtype=XSLTproc\r\nmpRejectPath=elsewhere\r\n"
    "[MOD002]\r\nmtype=XMLvalidate\r\nmpRejectPath=rejected\r\n";

// A record as the connector writes it after an upload, as a line of the database.
std::string Uploaded(const std::string& state, bool windows_1252 = false) {
  return wfdesk::textdb::TransmissionLine(
      {.number = "2026-0001",
       .file_name = "INV_2026-0001.xml",
       .description = wfdesk::textdb::RecordDescription(false, "2026-0001", "Bäckerei Huber"),
       .acknowledgement = state == "accepted" ? "ACK-1767225600-1" : "",
       .currency = "EUR",
       .date = "2026-01-04",
       .amount = "49.90",
       .state = state},
      windows_1252);
}

// The texts of a dialog's labels.
QStringList Labels(const QWidget* dialog) {
  QStringList labels;
  for (auto* label : dialog->findChildren<QLabel*>()) labels << label->text();
  return labels;
}

}  // namespace

class TransmissionViewTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TestInstallation> inst;
  std::unique_ptr<QWidget> window;  // as the main window holds the list
  LinesView* list = nullptr;
  LinesModel* rows = nullptr;
  QLabel* element = nullptr;
  TransmissionView* view = nullptr;

  QStringList Rows() const { return wfdesk::testing::RowsOf(rows); }
  // The first row cut where the heading names its columns (ID, date, write
  // tag, receipt, text), each without the blanks after it.
  QStringList Cells() const {
    const QString heading = list->heading(), row = Rows().value(0);
    const qsizetype at[] = {0,
                            heading.indexOf("Date"),
                            heading.indexOf(" W ") + 1,
                            heading.indexOf("Receipt"),
                            heading.indexOf("Description"),
                            row.size()};
    QStringList cells;
    for (int i = 0; i < 5; ++i)
      cells << row.mid(at[i], at[i + 1] - at[i]).remove(QRegularExpression(" +$"));
    return cells;
  }
  QAction* Action(const char* name) const { return view->menu()->findChild<QAction*>(name); }
  void ChooseFirstRow() {
    list->selectionModel()->select(rows->index(0), QItemSelectionModel::ClearAndSelect);
  }
  QDialog* OpenRecord() {
    ChooseFirstRow();
    Action("mnu_records_edit")->trigger();
    return window->findChild<QDialog*>("dlgRecord");
  }

 private slots:
  void init() {
    inst = std::make_unique<TestInstallation>();
    inst->context().settings.silentmode = "0";  // the loader would tell of a missing file
    inst->Workflow("t.ini", kModules);
    window = std::make_unique<QWidget>();
    window->resize(900, 400);
    list = new LinesView(window.get());
    list->setObjectName("logList");
    list->setGeometry(0, 40, 900, 360);
    rows = new LinesModel(list);
    list->SetLinesModel(rows);
    element = new QLabel(window.get());
    view = new TransmissionView(inst->context(), {list, rows, element, window.get()}, window.get());
    view->filter()->setGeometry(0, 0, 300, 30);
    view->ApplyTexts();
    view->SetWorkflow("t.ini");
  }
  void cleanup() {
    window.reset();
    inst.reset();
  }

  // Each column of a row begins where the heading names it: tagged or not,
  // in either code page, with a receipt longer than its column.
  void everyRowLinesUpUnderTheHeading_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QStringList>("cells");
    const auto row = [](const char* name, const std::string& line, const QString& id,
                        const QString& tag, const QString& receipt, const QString& text) {
      QTest::newRow(name) << QByteArray::fromStdString(line)
                          << QStringList{id, "2026-01-04", tag, receipt, text};
    };
    const std::string plain =
        "A-1;a.xml;Invoice A-1 to X;ACK-1;EUR;2026-01-04;1.00;UBL 2.1;ebi40;;;;";
    const QString uploaded = "Invoice 2026-0001 to Bäckerei Huber";
    row("untagged", plain + "0", "A-1", "", "ACK-1", "Invoice A-1 to X");
    row("tagged", plain + "1", "A-1", "W", "ACK-1", "Invoice A-1 to X");
    row("UTF-8", "Ä-1;a.xml;Rechnung an Bäcker;Ä;EUR;2026-01-04;;;;;;;1", "Ä-1", "W", "Ä",
        "Rechnung an Bäcker");
    row("Windows-1252", "\304-1;a.xml;Rechnung an B\344cker;\304;EUR;2026-01-04;;;;;;;1", "Ä-1",
        "W", "Ä", "Rechnung an Bäcker");
    row("a receipt cut to its column",
        "A-1;a.xml;T;0123456789abcdefghijKLMNO;EUR;2026-01-04;;;;;;;1", "A-1", "W",
        "0123456789abcdefghij", "T");
    row("uploaded, UTF-8", Uploaded("accepted"), "2026-0001", "", "ACK-1767225600-1", uploaded);
    row("uploaded, Windows-1252", Uploaded("accepted", true), "2026-0001", "", "ACK-1767225600-1",
        uploaded);
    row("refused by the portal", Uploaded("refused"), "2026-0001", "", "", uploaded);
  }
  void everyRowLinesUpUnderTheHeading() {
    QFETCH(QByteArray, line);
    inst->box().Write("trans.csv", line.toStdString() + "\r\n");
    view->Show(true);
    QCOMPARE(Rows().size(), 1);
    QTEST(Cells(), "cells");
  }

  // The record the invoice check writes for an invoice it put aside: its
  // date and a text that says it was not sent, no receipt; its report is
  // one step away, wrapped to the dialog's width.
  void aRejectedInvoiceIsListedAndItsReportIsOneStepAway() {
    // An invoice of 2026-12-03 to Apotheke am Markt.
    inst->box().Write("rejected/INV_2026-2001.xml",
                      wfdesk::testing::ReadFile(WFDESK_VALIDATION_TEST_DATA "/invoice.xml"));
    inst->box().Write("rejected/INV_2026-2001.xml.report.txt", "BR-CO-15 [fatal] totals\n");
    QCOMPARE(wfdesk::engine::RecordInvalidInvoice(inst->Path("trans.csv"),
                                                  inst->Path("rejected/INV_2026-2001.xml")),
             std::string());
    view->Show(true);
    const QStringList cells = Cells();
    QCOMPARE(cells[1], QString("2026-12-03"));
    QCOMPARE(cells[3], QString());
    QCOMPARE(cells[4], QString("Invalid, not sent: Invoice 2026-2001 to Apotheke am Markt"));

    QDialog* record = OpenRecord();
    QVERIFY(record);
    const QStringList labels = Labels(record);
    QVERIFY2(labels.contains("State") && labels.contains("invalid"), qPrintable(labels.join('|')));
    auto* show_report = record->findChild<QPushButton*>("cmdReport");
    QVERIFY(show_report);
    show_report->click();
    auto* report = record->findChild<QDialog*>("dlgReport");
    QVERIFY(report && report->isVisible());
    QCOMPARE(report->windowTitle(), QString("Report INV_2026-2001.xml.report.txt"));
    auto* text = report->findChild<QPlainTextEdit*>("txtReport");
    QVERIFY(text->isReadOnly());
    QCOMPARE(text->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QCOMPARE(text->toPlainText(), QString("BR-CO-15 [fatal] totals\n"));
    QVERIFY(inst->person().told.empty());
  }

  void theReportButtonOnlyForARejectedInvoiceWithItsReport_data() {
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("report");  // where the report is written, "" for none
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("button");  // "" for none
    QTest::newRow("rejected") << "invalid"
                              << "rejected" << 0 << "Show &report";
    QTest::newRow("German") << "invalid"
                            << "rejected" << 1 << "&Bericht anzeigen";
    QTest::newRow("report gone") << "invalid"
                                 << "" << 0 << "";
    QTest::newRow("not a check's folder") << "invalid"
                                          << "elsewhere" << 0 << "";
    QTest::newRow("accepted") << "accepted"
                              << "rejected" << 0 << "";
  }
  void theReportButtonOnlyForARejectedInvoiceWithItsReport() {
    QFETCH(QString, state);
    QFETCH(QString, report);
    QFETCH(int, language);
    inst->context().settings.language = static_cast<wfdesk::core::LanguageCode>(language);
    inst->box().Write("trans.csv", Uploaded(state.toStdString()));
    if (!report.isEmpty())
      inst->box().Write(report.toStdString() + "/INV_2026-0001.xml.report.txt", "why");
    view->Show(true);
    QDialog* record = OpenRecord();
    QVERIFY(record);
    auto* show_report = record->findChild<QPushButton*>("cmdReport");
    QTEST(show_report ? show_report->text() : QString(), "button");
  }

  // The actions act on the element chosen from the rows; it goes when a
  // filter hides its row, and the actions with it. Each workflow keeps its
  // own filter.
  void theRecordActionsActOnTheChosenElementWhileARowShowsIt() {
    const auto record = [](const std::string& id, const std::string& tag) {
      return id + ";f2;f3;f4;f5;f6;f7;f8;f9;f10;f11;f12;" + tag + "\r\n";
    };
    std::string many;
    for (int i = 0; i < 100; ++i) many += record("Z" + std::to_string(i), "0");
    inst->box().Write("trans.csv",
                      record("INV-1", "0") + record("INV-2", "0") + record("X", "1") + many);
    view->Show(true);
    list->verticalScrollBar()->setValue(5);
    list->horizontalScrollBar()->setValue(5);
    view->Show(false);
    view->Show(true);  // at the top and at the left
    QCOMPARE(list->verticalScrollBar()->value(), 0);
    QCOMPARE(list->horizontalScrollBar()->value(), 0);
    list->verticalScrollBar()->setValue(5);
    view->filter()->setText("Z");  // a new filter shows its rows from the top
    QCOMPARE(list->verticalScrollBar()->value(), 0);
    view->filter()->clear();
    QVERIFY(Rows()[0].startsWith("INV-1 "));
    QAction* toggle = Action("mnu_records_toggle");
    const struct {
      const char* filter;
      int rows;
      QString chosen;
    } filters[] = {{"", 103, "INV-2"}, {"inv-", 2, "INV-2"}, {"inv-1", 1, ""}, {"", 103, ""}};
    list->setCurrentIndex(rows->index(1));
    for (const auto& f : filters) {
      view->filter()->setText(f.filter);
      QCOMPARE(Rows().size(), f.rows);
      QCOMPARE(element->text(), f.chosen);
      QCOMPARE(toggle->isEnabled(), !f.chosen.isEmpty());
      QCOMPARE(Action("mnu_records_delete")->isEnabled(), !f.chosen.isEmpty());
    }
    list->setCurrentIndex(rows->index(1));
    toggle->trigger();
    QVERIFY(inst->box().Read("trans.csv").find("INV-2;f2;f3;f4;f5;f6;f7;f8;f9;f10;f11;f12;1") !=
            std::string::npos);
    QVERIFY(Rows()[1].contains(" W "));  // filled again after the action
    QCOMPARE(element->text(), QString("INV-2"));

    Action("mnu_records_edit")->trigger();
    auto* dialog = window->findChild<QDialog*>("dlgRecord");
    QVERIFY(dialog);
    QStringList labels = Labels(dialog);  // every field by its meaning, the state included
    labels.sort();
    QCOMPARE(
        labels.join('|'),
        QString("Acknowledgement (field 4)|Amount payable|Currency|File|Invoice date (field 6)|"
                "Sent from / as|State|Text|Write tag (0 or 1)|f10|f2|f3|f5|f7|f8 / f9"));
    auto* tag = dialog->findChild<QLineEdit*>("txtWriteTag");
    QCOMPARE(tag->text(), QString("1"));
    auto* six = dialog->findChild<QLineEdit*>("txtField6");
    const auto type = [](QLineEdit* edit, const char* typed) {  // over what it shows
      edit->selectAll();
      QTest::keyClicks(edit, typed);
    };
    // Refused, the dialog keeps the input: a write tag other than 0 or 1, a
    // value the database cannot store.
    const struct {
      QLineEdit* edit;
      const char* typed;
      const char* told;
    } refused[] = {{tag, "2", "The write tag 2 was refused"},
                   {six, "a|||b", "The value a|||b was"}};
    for (const auto& r : refused) {
      type(r.edit, r.typed);
      dialog->accept();
      QVERIFY(dialog->isVisible());
      QCOMPARE(r.edit->text(), QString(r.typed));
      QVERIFY(QString::fromStdString(inst->person().told.back()).startsWith(r.told));
      tag->setText("1");
    }
    type(six, "new;six");
    // A run writes the acknowledgement while the dialog is open: OK writes
    // only what was typed.
    std::string db = inst->box().Read("trans.csv");
    db.replace(db.find("INV-2;f2;f3;f4"), 14, "INV-2;f2;f3;ACK-9");
    inst->box().Write("trans.csv", db);
    dialog->accept();
    QVERIFY(inst->box().Read("trans.csv").find("INV-2;f2;f3;ACK-9;f5;\"new;six\";f7") !=
            std::string::npos);
    // A field typed back to what it showed is not sent; a typed write tag is.
    QTRY_VERIFY(!window->findChild<QDialog*>("dlgRecord"));
    Action("mnu_records_edit")->trigger();
    dialog = window->findChild<QDialog*>("dlgRecord");
    db = inst->box().Read("trans.csv");
    db.replace(db.find("\"new;six\""), 9, "their-date");
    inst->box().Write("trans.csv", db);
    type(dialog->findChild<QLineEdit*>("txtField6"), "new;six");
    type(dialog->findChild<QLineEdit*>("txtWriteTag"), "0");
    dialog->accept();
    QVERIFY(inst->box()
                .Read("trans.csv")
                .find("INV-2;f2;f3;ACK-9;f5;their-date;f7;f8;f9;f10;f11;"
                      "f12;0\r\n") != std::string::npos);

    inst->person().answer = false;  // No deletes nothing, and says no more
    const std::size_t told = inst->person().told.size();
    Action("mnu_records_delete")->trigger();
    QCOMPARE(inst->person().told.size(), told);
    QCOMPARE(Rows().size(), 103);
    inst->person().answer = true;
    Action("mnu_records_delete")->trigger();
    QCOMPARE(Rows().size(), 102);
    QCOMPARE(element->text(), QString());
    // Focus back on the rows after the question: still none chosen.
    QVERIFY(wfdesk::testing::Activate(window.get()));
    list->setFocus(Qt::ActiveWindowFocusReason);
    QVERIFY(list->hasFocus());
    QCOMPARE(element->text(), QString());
    QVERIFY(!toggle->isEnabled());
    // Another writer removed the chosen record meanwhile: said so, and listed anew.
    list->setCurrentIndex(rows->index(0));
    inst->box().Write("trans.csv", record("X", "1"));
    toggle->trigger();
    QCOMPARE(inst->person().told.back(),
             std::string("The element ID INV-1 was not found in trans.csv. Nothing was changed."));
    QCOMPARE(Rows().size(), 1);

    inst->Workflow("ro.ini", "[WORKFLOW]\r\ndbfile=trans.csv\r\n");  // records not to be changed
    view->SetWorkflow("ro.ini");
    view->Show(true);
    list->setCurrentIndex(rows->index(0));
    QCOMPARE(element->text(), QString("X"));
    QVERIFY(!toggle->isEnabled());
    view->filter()->setText("Z1");
    view->SetWorkflow("t.ini");
    QCOMPARE(view->filter()->text(), QString());
    view->SetWorkflow("ro.ini");
    QCOMPARE(view->filter()->text(), QString("Z1"));
  }

  // Said in the list, not by a box at every refresh, and no row to choose.
  void aMissingDatabaseIsOneLineInTheList_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("configured");
    QTest::addColumn<QString>("said");
    QTest::newRow("English") << 0 << true << "The database %1 does not exist.";
    QTest::newRow("German") << 1 << true << "Die Datenbank %1 existiert nicht.";
    QTest::newRow("none set") << 0 << false
                              << "No database is set: neither the workflow's dbfile nor the "
                                 "settings' textdb.";
  }
  void aMissingDatabaseIsOneLineInTheList() {
    QFETCH(int, language);
    QFETCH(bool, configured);
    inst->context().settings.language = static_cast<wfdesk::core::LanguageCode>(language);
    if (!configured) {
      inst->context().settings.textdb.clear();
      inst->Workflow("t.ini", "[WORKFLOW]\r\nlistaction=dbelement\r\n");
    }
    view->Show(true);
    for (const char* typed : {"2026", ""}) view->filter()->setText(typed);  // a refill each
    view->FillDBlist();
    QFETCH(QString, said);
    if (said.contains("%1")) said = said.arg(QString::fromStdString(inst->Path("trans.csv")));
    QCOMPARE(Rows(), QStringList{said});
    QVERIFY(inst->person().told.empty());
    ChooseFirstRow();
    QVERIFY(!list->selectionModel()->hasSelection());
    QCOMPARE(element->text(), QString());
    QVERIFY(!Action("mnu_records_edit")->isEnabled());

    if (!configured) return;
    inst->box().Write("trans.csv", Uploaded("accepted"));
    view->FillDBlist();  // the file made meanwhile is listed
    QCOMPARE(Rows().size(), 1);
    QVERIFY(Rows()[0].startsWith("2026-0001 "));
    ChooseFirstRow();
    QCOMPARE(element->text(), QString("2026-0001"));
  }

  // Focused without a selected row, the list's frame shows the focus; the
  // log and the transmission view are the same list.
  void theListShowsItsFocusWithoutASelection_data() {
    QTest::addColumn<bool>("transmissions");
    QTest::newRow("log") << false;
    QTest::newRow("transmissions") << true;
  }
  void theListShowsItsFocusWithoutASelection() {
    inst->box().Write("trans.csv", Uploaded("accepted"));
    QFETCH(bool, transmissions);
    QVERIFY(wfdesk::testing::Activate(window.get()));
    view->Show(transmissions);
    view->filter()->setVisible(true);
    view->filter()->setFocus();
    const QColor unfocused = wfdesk::testing::FrameColour(list);
    list->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(list));
    QVERIFY(!list->selectionModel()->hasSelection());
    const QColor focused = wfdesk::testing::FrameColour(list);
    QCOMPARE(focused, list->palette().color(QPalette::Highlight));
    QVERIFY(focused != unfocused);
  }
};

QTEST_MAIN(TransmissionViewTest)
#include "transmission_view_test.moc"
