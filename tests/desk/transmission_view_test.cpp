// The transmission view of the bottom list on its own: rows under the
// heading, the records the connector and the invoice check write, a missing
// database, the list's focus, and a rejected invoice's report.
#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "core/language.hpp"
#include "desk/lines_model.hpp"
#include "desk/lines_view.hpp"
#include "desk/transmission_view.hpp"
#include "engine/invalid_record.hpp"
#include "tests/support/installation.hpp"
#include "textdb/transmission_record.hpp"

using wfdesk::desk::LinesModel;
using wfdesk::desk::LinesView;
using wfdesk::desk::TransmissionView;
using wfdesk::testing::TestInstallation;
using wfdesk::textdb::TransmissionRecord;

namespace {

// A check module whose rejects go to rejected/, after a module with a
// folder of the same key that is not a check's.
const std::string kModules =
    "[WORKFLOW]\r\ndbfile=trans.csv\r\nlistaction=dbelement\r\n"
    "[MOD001]\r\nmtype=XSLTproc\r\nmpRejectPath=elsewhere\r\n"
    "[MOD002]\r\nmtype=XMLvalidate\r\nmpRejectPath=rejected\r\n";

// A record as the connector writes it after an upload.
TransmissionRecord Uploaded(const std::string& state) {
  TransmissionRecord record;
  record.number = "2026-0001";
  record.file_name = "INV_2026-0001.xml";
  record.description = wfdesk::textdb::RecordDescription(false, "2026-0001", "Bäckerei Huber");
  record.acknowledgement = state == "accepted" ? "ACK-1767225600-1" : "";
  record.currency = "EUR";
  record.date = "2026-01-04";
  record.amount = "49.90";
  record.state = state;
  return record;
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

  QStringList Rows() const {
    QStringList shown;
    for (int row = 0; row < rows->rowCount(); ++row) shown << rows->index(row).data().toString();
    return shown;
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
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("mark");
    QTest::addColumn<QString>("receipt");
    QTest::addColumn<QString>("text");
    const QByteArray plain =
        "A-1;a.xml;Invoice A-1 to X;ACK-1;EUR;2026-01-04;1.00;UBL 2.1;ebi40;;;;";
    QTest::newRow("untagged") << plain + "0"
                              << "A-1"
                              << "2026-01-04"
                              << " "
                              << "ACK-1"
                              << "Invoice A-1 to X";
    QTest::newRow("tagged") << plain + "1"
                            << "A-1"
                            << "2026-01-04"
                            << "W"
                            << "ACK-1"
                            << "Invoice A-1 to X";
    QTest::newRow("UTF-8") << QByteArray("Ä-1;a.xml;Rechnung an Bäcker;Ä;EUR;2026-01-04;;;;;;;1")
                           << "Ä-1"
                           << "2026-01-04"
                           << "W"
                           << "Ä"
                           << "Rechnung an Bäcker";
    QTest::newRow("Windows-1252") << QByteArray(
                                         "\xC4-1;a.xml;Rechnung an B\xE4"
                                         "cker;\xC4;EUR;2026-01-04;;;;;;;1")
                                  << "Ä-1"
                                  << "2026-01-04"
                                  << "W"
                                  << "Ä"
                                  << "Rechnung an Bäcker";
    QTest::newRow("a receipt cut to its column")
        << QByteArray("A-1;a.xml;T;0123456789abcdefghijKLMNO;EUR;2026-01-04;;;;;;;1") << "A-1"
        << "2026-01-04"
        << "W"
        << "0123456789abcdefghij"
        << "T";
    const auto written = [](const TransmissionRecord& record, bool windows_1252) {
      return QByteArray::fromStdString(wfdesk::textdb::TransmissionLine(record, windows_1252));
    };
    for (const bool windows_1252 : {false, true}) {
      QTest::addRow("uploaded, %s", windows_1252 ? "Windows-1252" : "UTF-8")
          << written(Uploaded("accepted"), windows_1252) << "2026-0001"
          << "2026-01-04"
          << " "
          << "ACK-1767225600-1"
          << "Invoice 2026-0001 to Bäckerei Huber";
    }
    QTest::newRow("refused by the portal") << written(Uploaded("refused"), false) << "2026-0001"
                                           << "2026-01-04"
                                           << " "
                                           << ""
                                           << "Invoice 2026-0001 to Bäckerei Huber";
  }
  void everyRowLinesUpUnderTheHeading() {
    QFETCH(QByteArray, line);
    inst->box().Write("trans.csv", line.toStdString() + "\r\n");
    view->Show(true);
    const QString heading = list->heading();
    QCOMPARE(Rows().size(), 1);
    const QString row = Rows()[0];
    // A column holds its text, then blanks up to the next column.
    const auto column = [&row](qsizetype from, qsizetype to) {
      return row.mid(from, to < 0 ? -1 : to - from).trimmed();
    };
    const qsizetype date = heading.indexOf("Date");
    const qsizetype mark = heading.indexOf(" W ") + 1;
    const qsizetype receipt = heading.indexOf("Receipt");
    const qsizetype text = heading.indexOf("Description");
    QTEST(column(0, date), "id");
    QTEST(column(date, mark), "date");
    QTEST(row.mid(mark, 1), "mark");
    QCOMPARE(column(mark, receipt), row.mid(mark, 1).trimmed());
    QTEST(column(receipt, text), "receipt");
    QTEST(column(text, -1), "text");
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
    const QString heading = list->heading();
    const QString row = Rows().value(0);
    QCOMPARE(row.mid(heading.indexOf("Date"), 10), QString("2026-12-03"));
    QCOMPARE(row.mid(heading.indexOf("Receipt"), 20).trimmed(), QString());
    QCOMPARE(row.mid(heading.indexOf("Description")).trimmed(),
             QString("Invalid, not sent: Invoice 2026-2001 to Apotheke am Markt"));

    QDialog* record = OpenRecord();
    QVERIFY(record);
    QStringList labels;
    for (auto* label : record->findChildren<QLabel*>()) labels << label->text();
    QVERIFY2(labels.contains("State") && labels.contains("invalid"), qPrintable(labels.join('|')));
    auto* show_report = record->findChild<QPushButton*>("cmdReport");
    QVERIFY(show_report);
    QCOMPARE(show_report->text(), QString("Show &report"));
    show_report->click();
    auto* report = record->findChild<QDialog*>("dlgReport");
    QVERIFY(report);
    QVERIFY(report->isVisible());
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
    inst->box().Write("trans.csv",
                      wfdesk::textdb::TransmissionLine(Uploaded(state.toStdString()), false));
    if (!report.isEmpty()) {
      inst->box().Write(report.toStdString() + "/INV_2026-0001.xml.report.txt", "why");
    }
    view->Show(true);
    QDialog* record = OpenRecord();
    QVERIFY(record);
    auto* show_report = record->findChild<QPushButton*>("cmdReport");
    QFETCH(QString, button);
    QCOMPARE(show_report ? show_report->text() : QString(), button);
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
    inst->box().Write("trans.csv", wfdesk::textdb::TransmissionLine(Uploaded("accepted"), false));
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
    inst->box().Write("trans.csv", wfdesk::textdb::TransmissionLine(Uploaded("accepted"), false));
    QFETCH(bool, transmissions);
    window->show();
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    view->Show(transmissions);
    view->filter()->setVisible(true);
    view->filter()->setFocus();
    const auto left_edge = [this] {
      return list->grab().toImage().pixelColor(0, list->height() / 2);
    };
    const QColor unfocused = left_edge();
    list->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(list));
    QVERIFY(!list->selectionModel()->hasSelection());
    const QColor focused = left_edge();
    QCOMPARE(focused, list->palette().color(QPalette::Highlight));
    QVERIFY(focused != unfocused);
  }
};

QTEST_MAIN(TransmissionViewTest)
#include "transmission_view_test.moc"
