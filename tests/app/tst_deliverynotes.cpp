// The delivery notes' tab and editor over the main window: a note written
// through the windows, the plant passport asked of a business customer, an
// invoiced note left as it is, the list following customer and year, and a
// year without delivery tables.

#include "app/mainwindow.h"
#include "controls/dbedit.h"
#include "controls/dbgrid.h"
#include "controls/dbnavigator.h"
#include "controls/dbtext.h"
#include "data/deliverynote.h"
#include "editor/deliverynoteeditor.h"
#include "framework/flatbutton.h"
#include "report/deliverynotereport.h"
#include "running.h"
#include "errorof.h"
#include "uitest.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using uitest::Boxes;
using uitest::whileModal;

namespace {

// Anna (1) is an Italian business, Bruno (2) a private person. Anna's note 1
// went into invoice 5; her note 2 is open; Bruno's 3 is open. In 2002 (whose
// tables carry no year) Bruno has note 9.
const char *const Data = R"(
INSERT INTO kunde (id, name) VALUES (1, 'Anna Blumen'), (2, 'Bruno Baum');
INSERT INTO kunde_efattura (kunde_id, ust_land, ust_nr, kundenart) VALUES (1, 'IT', '00000000109', 'it_firma');
INSERT INTO kunde_efattura (kunde_id, kundenart) VALUES (2, 'it_privat');
INSERT INTO rechnungsdaten2004 (id, nr, datum, kundennummer) VALUES (1, '5', '01.02.2004', '1');
INSERT INTO lieferscheine2004 (id, nr, datum, kundennummer, bestimmungsort, colli, rechnung_nr) VALUES
  (1, '1', '03.01.2004', '1', 'Meran', '2', '5'),
  (2, '2', '05.02.2004', '1', 'Bozen', '1', NULL),
  (3, '3', '06.02.2004', '2', 'Trient', '4', NULL);
INSERT INTO lieferschein2004 (lieferscheinnummer, pos, beschreibung, anzahl, einheit, einzelpreis, botanischer_name,
                              rueckverfolgung, ursprung) VALUES
  ('1', 1, 'Olivenbaum', '2', 'Stk', '40', 'Olea europaea', 'L-17', 'IT'),
  ('2', 1, 'Erde', '1', 'Sack', '5', NULL, NULL, NULL),
  ('3', 1, 'Rosen', '4', 'Topf', '2,5', NULL, NULL, NULL);
INSERT INTO lieferscheine (id, nr, datum, kundennummer) VALUES (1, '9', '10.10.2002', '2');
)";

QStringList numbersIn(const DBGrid *grid)
{
    QStringList numbers;
    for (int row = 0; row < grid->model()->rowCount(); ++row)
        numbers << grid->model()->index(row, 0).data().toString();
    return numbers;
}

struct Notes : Running
{
    explicit Notes(const QString &extra = QString()) : Running(QString::fromUtf8(Data) + extra)
    {
        w().setFixedToday(QDate(2004, 3, 1));
        w().data().setSeparators({QLatin1Char(','), QLatin1Char('.')});
        w().invoiceTabs->setCurrentWidget(w().deliveryNotesPage);
    }
    DeliveryNoteEditor *e() { return program.deliveryNoteEditor.get(); }
    void chooseCustomer(qint64 id) { QVERIFY(w().customers().Locate(QStringLiteral("id"), id)); }
    void chooseNote(const QString &nr) { QVERIFY(w().deliveryNotes().Locate(QStringLiteral("nr"), nr)); }
    uitest::ModalRun byButton(FlatButton *button, const std::function<void()> &inside)
    {
        return whileModal(e(), [&] { QTest::mouseClick(button, Qt::LeftButton); }, inside);
    }
    // Types into a cell of the editor's line grid as a user does.
    void typeCell(int column, const QString &text)
    {
        DBGrid *grid = e()->lineGrid;
        grid->setCurrentColumn(column);
        QTest::keyClick(grid, text.at(0).toLatin1());
        QVERIFY(grid->cellEditor());
        QTest::keyClicks(grid->cellEditor(), text.mid(1));
        QTest::keyClick(grid->cellEditor(), Qt::Key_Return);
    }
    void typeInto(DBEdit *edit, const QString &text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        edit->handOverText();
    }
    void click(DBNavigator::Button button) { QTest::mouseClick(e()->lineNavigator->button(button), Qt::LeftButton); }
};

} // namespace

class TestDeliveryNotes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { prepareApplication(*qobject_cast<QApplication *>(QCoreApplication::instance())); }
    void init() { setUserSeparators({QLatin1Char(','), QLatin1Char('.')}); }

    void everyNewControlHasItsNameAndAnAccessibleName();
    void noteWrittenThroughTheWindows();
    void passportAskedOfABusinessOnly_data();
    void passportAskedOfABusinessOnly();
    void noteNeedsANumberOfItsOwnAndADate_data();
    void noteNeedsANumberOfItsOwnAndADate();
    void invoicedNoteIsRefusedForChange();
    void openNoteIsDeletedWithItsLines();
    void listFollowsCustomerAndYear();
    void yearWithoutDeliveryTablesShowsTheTabDisabled();
    void printShowsTheNoteAsStored();
};

void TestDeliveryNotes::everyNewControlHasItsNameAndAnAccessibleName()
{
    Notes r;
    QVERIFY(r.shown);
    QCOMPARE(r.w().invoiceTabs->count(), 2);
    QCOMPARE(r.w().invoiceTabs->tabText(1).trimmed(), QStringLiteral("Lieferscheine"));
    QVERIFY(r.w().invoiceTabs->isTabEnabled(1));
    for (const char *name : {"TabSheet3", "Label13", "DBNavigator4", "SpeedButton6", "SpeedButton7", "SpeedButton8",
                             "SpeedButton9", "DBGrid5"}) {
        auto *c = r.w().findChild<QWidget *>(QString::fromLatin1(name));
        QVERIFY2(c, name);
        QVERIFY2(name == QByteArrayLiteral("TabSheet3") || !c->accessibleName().isEmpty(), name);
    }
    QStringList titles;
    for (const GridColumn &c : r.w().deliveryNoteList->columns())
        titles << c.title;
    QCOMPARE(titles, (QStringList{"Nr.", "Datum", "Bestimmungsort", "Colli", "Rechnung"}));
    for (const char *name : {"GroupBox1", "GroupBox2", "DBText1", "nr", "datum", "colli", "bestimmungsort", "transport",
                             "transportText", "grund", "grundText", "Label8", "DBNavigator1", "DBGrid1", "Label9", "Button1",
                             "Button2"}) {
        auto *c = r.e()->findChild<QWidget *>(QString::fromLatin1(name));
        QVERIFY2(c, name);
        QVERIFY2(!c->accessibleName().isEmpty(), name);
    }
}

void TestDeliveryNotes::noteWrittenThroughTheWindows()
{
    Notes r;
    QVERIFY(r.shown);
    Boxes boxes;
    QString hintAfterThePlant = QStringLiteral("not read");
    const auto run = r.byButton(r.w().newDeliveryNoteButton, [&] {
        DeliveryNoteEditor *e = r.e();
        // The next number of the year, today, and the first entry of each pick list.
        QCOMPARE(e->noteNumber->text(), QStringLiteral("4"));
        QCOMPARE(e->noteDate->text(), QStringLiteral("01.03.2004"));
        QCOMPARE(e->destination->text(), QString());
        QCOMPARE(e->transport->currentText(), transportChoices().at(0));
        QCOMPARE(e->reason->currentText(), reasonChoices().at(0));
        QCOMPARE(e->customerName->text(), QStringLiteral("Anna Blumen"));
        r.typeInto(e->destination, QStringLiteral("Lana"));
        r.typeInto(e->packages, QStringLiteral("3"));
        e->transport->setFocus();
        QTest::keyClick(e->transport, Qt::Key_Down);
        QCOMPARE(e->transport->currentText(), transportChoices().at(1));

        e->lineGrid->setFocus();
        QTest::keyClick(e->lineGrid, Qt::Key_Insert);
        r.typeCell(0, QStringLiteral("Erde"));
        r.typeCell(1, QStringLiteral("2"));
        r.typeCell(2, QStringLiteral("Sack"));
        r.typeCell(3, QStringLiteral("5,50"));
        r.click(DBNavigator::nbPost);
        QCOMPARE(e->passportHint->text(), QString());
        r.click(DBNavigator::nbInsert);
        r.typeCell(0, QStringLiteral("Olivenbaum"));
        r.typeCell(1, QStringLiteral("1"));
        r.typeCell(2, QStringLiteral("Stk"));
        r.typeCell(3, QStringLiteral("40"));
        r.typeCell(5, QStringLiteral("Olea europaea"));
        // Still without C and D: the hint says what the passport lacks.
        QVERIFY2(e->passportHint->text().contains(QStringLiteral("(D)")), qPrintable(e->passportHint->text()));
        r.typeCell(6, QStringLiteral("L-2004-7"));
        r.typeCell(7, QStringLiteral("IT"));
        r.click(DBNavigator::nbPost);
        hintAfterThePlant = e->passportHint->text();
        QTest::mouseClick(e->closeButton, Qt::LeftButton);
    });
    QVERIFY(run.wasModal);
    QVERIFY(!run.stayedOpen);
    QCOMPARE(boxes.asked, QStringList());
    QCOMPARE(hintAfterThePlant, QString());
    QCOMPARE(r.scalar(QStringLiteral("SELECT nr || '|' || datum || '|' || kundennummer || '|' || bestimmungsort || '|' || transport "
                                     "|| '|' || grund || '|' || colli || '|' || ifnull(rechnung_nr, '') FROM lieferscheine2004 "
                                     "WHERE id > 3")),
             QStringLiteral("4|01.03.2004|1|Lana|%1|%2|3|").arg(transportChoices().at(1), reasonChoices().at(0)));
    QCOMPARE(r.scalar(QStringLiteral("SELECT count(*) FROM lieferscheine2004")), QStringLiteral("4"));
    QCOMPARE(r.scalar(QStringLiteral("SELECT group_concat(line, ';') FROM (SELECT beschreibung || '|' || anzahl || '|' || "
                                     "einheit || '|' || einzelpreis || '|' || ifnull(botanischer_name, '') || '|' || "
                                     "ifnull(rueckverfolgung, '') || '|' || ifnull(ursprung, '') AS line FROM lieferschein2004 "
                                     "WHERE lieferscheinnummer = '4' ORDER BY pos)")),
             QStringLiteral("Olivenbaum|1|Stk|40|Olea europaea|L-2004-7|IT;Erde|2|Sack|5,50|||")); // inserted before
    // The list shows it among Anna's notes, as the current one.
    QCOMPARE(numbersIn(r.w().deliveryNoteList), (QStringList{"1", "2", "4"}));
    QCOMPARE(r.w().deliveryNotes().FieldByName(QStringLiteral("nr"))->AsString(), QStringLiteral("4"));
}

void TestDeliveryNotes::passportAskedOfABusinessOnly_data()
{
    QTest::addColumn<qint64>("customer");
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("refusal"); // empty: the line is stored
    QTest::newRow("Italian business: C is a must for Olea europaea")
        << qint64(1) << QStringLiteral("2")
        << QStringLiteral("Für Olea europaea fehlt im Pflanzenpass der Rückverfolgbarkeitscode (C). Diese Art muss ihn immer "
                          "tragen; bitte den Code der Partie eintragen.");
    QTest::newRow("private person: no passport") << qint64(2) << QStringLiteral("3") << QString();
}

void TestDeliveryNotes::passportAskedOfABusinessOnly()
{
    QFETCH(qint64, customer);
    QFETCH(QString, note);
    QFETCH(QString, refusal);
    Notes r;
    QVERIFY(r.shown);
    r.chooseCustomer(customer);
    r.chooseNote(note);
    Boxes boxes;
    QString hint;
    DataSetState stateAfterPost = DataSetState::Inactive;
    QString nameKept;
    r.byButton(r.w().editDeliveryNoteButton, [&] {
        DeliveryNoteEditor *e = r.e();
        e->lineGrid->setFocus();
        r.click(DBNavigator::nbInsert);
        r.typeCell(0, QStringLiteral("Olivenbaum"));
        r.typeCell(1, QStringLiteral("1"));
        r.typeCell(5, QStringLiteral("Olea europaea"));
        r.typeCell(7, QStringLiteral("IT"));
        hint = e->passportHint->text();
        r.click(DBNavigator::nbPost);
        stateAfterPost = r.w().deliveryLines().State();
        nameKept = r.w().deliveryLines().FieldByName(QStringLiteral("botanischer_name"))->AsString();
        if (stateAfterPost != DataSetState::Browse)
            r.click(DBNavigator::nbCancel);
    });
    QCOMPARE(hint, refusal);
    const QString stored = r.scalar(QStringLiteral("SELECT count(*) FROM lieferschein2004 WHERE botanischer_name = 'Olea europaea' "
                                                   "AND lieferscheinnummer = '%1'")
                                        .arg(note));
    if (refusal.isEmpty()) {
        QCOMPARE(boxes.asked, QStringList());
        QCOMPARE(stateAfterPost, DataSetState::Browse);
        QCOMPARE(stored, QStringLiteral("1"));
    } else {
        // Refused with the reason; what was typed waits to be completed.
        QCOMPARE(boxes.asked.size(), 1);
        QVERIFY2(boxes.asked.at(0).endsWith(refusal), qPrintable(boxes.asked.at(0)));
        QCOMPARE(stateAfterPost, DataSetState::Insert);
        QCOMPARE(nameKept, QStringLiteral("Olea europaea"));
        QCOMPARE(stored, QStringLiteral("0"));
    }
}

void TestDeliveryNotes::noteNeedsANumberOfItsOwnAndADate_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("number of another note") << QStringLiteral("nr") << QStringLiteral("3")
                                            << QStringLiteral("Im Jahr 2004 gibt es schon einen Lieferschein Nr. 3. Bitte eine "
                                                              "andere Nummer eingeben.");
    QTest::newRow("number of a note with lines") << QStringLiteral("nr") << QStringLiteral("12")
                                                 << QStringLiteral("Der Lieferschein Nr. 2 hat schon Positionen; seine Nummer "
                                                                   "kann deshalb nicht mehr geändert werden. Bitte wieder die "
                                                                   "Nummer 2 eintragen.");
    QTest::newRow("no number") << QStringLiteral("nr") << QStringLiteral(" ")
                               << QStringLiteral("Der Lieferschein braucht eine Nummer und ein Datum. Bitte beide eintragen.");
    QTest::newRow("date without the year's digits") << QStringLiteral("datum") << QStringLiteral("5.2.04")
                                                    << QStringLiteral("„5.2.04“ ist kein gültiges Datum. Bitte das Datum des "
                                                                      "Lieferscheins als TT.MM.JJJJ eingeben (zum Beispiel "
                                                                      "31.01.2026).");
    QTest::newRow("a day that is not") << QStringLiteral("datum") << QStringLiteral("30.02.2004")
                                       << QStringLiteral("„30.02.2004“ ist kein gültiges Datum. Bitte das Datum des "
                                                         "Lieferscheins als TT.MM.JJJJ eingeben (zum Beispiel 31.01.2026).");
    QTest::newRow("a date as it should be") << QStringLiteral("datum") << QStringLiteral("07.02.2004") << QString();
}

void TestDeliveryNotes::noteNeedsANumberOfItsOwnAndADate()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, refusal);
    Notes r;
    QVERIFY(r.shown);
    r.chooseNote(QStringLiteral("2"));
    RecordSet &notes = r.w().deliveryNotes();
    notes.Edit();
    notes.FieldByName(field)->setAsString(typed);
    const QString error = errorOf<ConversionError>([&] { notes.Post(); });
    QVERIFY2(error.endsWith(refusal), qPrintable(error));
    if (refusal.isEmpty()) {
        QCOMPARE(r.scalar(QStringLiteral("SELECT %1 FROM lieferscheine2004 WHERE id = 2").arg(field)), typed);
        return;
    }
    // Nothing typed is lost; nothing is stored.
    QCOMPARE(notes.State(), DataSetState::Edit);
    QCOMPARE(notes.FieldByName(field)->AsString(), typed);
    QCOMPARE(r.scalar(QStringLiteral("SELECT nr || '|' || datum FROM lieferscheine2004 WHERE id = 2")),
             QStringLiteral("2|05.02.2004"));
    notes.Cancel();
}

void TestDeliveryNotes::invoicedNoteIsRefusedForChange()
{
    Notes r;
    QVERIFY(r.shown);
    r.chooseNote(QStringLiteral("1"));
    Boxes boxes;
    bool headerEnabled = true;
    bool gridReadOnly = false;
    bool insertShown = true;
    QString invoiced;
    r.byButton(r.w().editDeliveryNoteButton, [&] {
        DeliveryNoteEditor *e = r.e();
        headerEnabled = e->destination->isEnabled() || e->transport->isEnabled() || e->noteNumber->isEnabled();
        gridReadOnly = e->lineGrid->gridReadOnly();
        insertShown = e->lineNavigator->button(DBNavigator::nbInsert)->isVisibleTo(e->lineNavigator);
        invoiced = e->invoicedHint->text();
    });
    QVERIFY(!headerEnabled);
    QVERIFY(gridReadOnly);
    QVERIFY(!insertShown);
    QVERIFY2(invoiced.contains(QStringLiteral("Rechnung Nr. 5")), qPrintable(invoiced));

    // Neither the note nor its lines can be stored changed, nor can it be deleted.
    const QString refusal = QStringLiteral("Der Lieferschein Nr. 1 ist schon mit der Rechnung Nr. 5 abgerechnet und kann deshalb "
                                           "nicht mehr geändert oder gelöscht werden. Bitte die Änderung verwerfen (Abbrechen).");
    RecordSet &notes = r.w().deliveryNotes();
    notes.Edit();
    notes.FieldByName(QStringLiteral("bestimmungsort"))->setAsString(QStringLiteral("Lana"));
    QVERIFY(errorOf<ConversionError>([&] { notes.Post(); }).endsWith(refusal));
    QCOMPARE(notes.State(), DataSetState::Edit);
    notes.Cancel();
    RecordSet &lines = r.w().deliveryLines();
    lines.Edit();
    lines.FieldByName(QStringLiteral("anzahl"))->setAsString(QStringLiteral("3"));
    QVERIFY(errorOf<ConversionError>([&] { lines.Post(); }).endsWith(refusal));
    lines.Cancel();
    QTest::mouseClick(r.w().deleteDeliveryNoteButton, Qt::LeftButton);
    QCOMPARE(boxes.asked.size(), 1);
    QVERIFY2(boxes.asked.at(0).endsWith(refusal), qPrintable(boxes.asked.at(0)));
    QCOMPARE(r.scalar(QStringLiteral("SELECT bestimmungsort || '|' || count(*) FROM lieferscheine2004 WHERE nr = '1'")),
             QStringLiteral("Meran|1"));
    QCOMPARE(r.scalar(QStringLiteral("SELECT anzahl FROM lieferschein2004 WHERE lieferscheinnummer = '1'")), QStringLiteral("2"));

    // Invoiced by another program while it is shown: it is not deleted either.
    r.chooseNote(QStringLiteral("2"));
    r.db.exec(QStringLiteral("UPDATE lieferscheine2004 SET rechnung_nr = '6' WHERE id = 2"));
    QVERIFY(!errorOf<ConversionError>([&] { r.w().data().deleteDeliveryNote(); }).isEmpty());
    QCOMPARE(r.scalar(QStringLiteral("SELECT count(*) FROM lieferschein2004 WHERE lieferscheinnummer = '2'")), QStringLiteral("1"));
}

void TestDeliveryNotes::openNoteIsDeletedWithItsLines()
{
    Notes r;
    QVERIFY(r.shown);
    r.chooseNote(QStringLiteral("2"));
    Boxes boxes;
    QTest::mouseClick(r.w().deleteDeliveryNoteButton, Qt::LeftButton);
    QCOMPARE(boxes.asked.size(), 1);
    QVERIFY2(boxes.asked.at(0).endsWith(QStringLiteral("Den Lieferschein Nr. 2 mit allen Positionen wirklich löschen?")),
             qPrintable(boxes.asked.at(0)));
    QCOMPARE(r.scalar(QStringLiteral("SELECT count(*) FROM lieferscheine2004 WHERE nr = '2'")), QStringLiteral("0"));
    // Its lines go with it: a later note of that number must not find them.
    QCOMPARE(r.scalar(QStringLiteral("SELECT count(*) FROM lieferschein2004 WHERE lieferscheinnummer = '2'")), QStringLiteral("0"));
    QCOMPARE(numbersIn(r.w().deliveryNoteList), QStringList{"1"});
}

void TestDeliveryNotes::listFollowsCustomerAndYear()
{
    Notes r;
    QVERIFY(r.shown);
    MainWindow &w = r.w();
    QCOMPARE(numbersIn(w.deliveryNoteList), (QStringList{"1", "2"}));
    QCOMPARE(w.deliveryNoteList->model()->index(0, 4).data().toString(), QStringLiteral("5"));
    QCOMPARE(w.deliveryNoteList->model()->index(1, 2).data().toString(), QStringLiteral("Bozen"));
    QTest::mouseClick(w.customerNavigator->button(DBNavigator::nbNext), Qt::LeftButton);
    QCOMPARE(w.invoiceTabs->currentWidget(), w.deliveryNotesPage); // the notes stay in front
    QCOMPARE(numbersIn(w.deliveryNoteList), QStringList{"3"});
    QCOMPARE(w.deliveryLines().FieldByName(QStringLiteral("beschreibung"))->AsString(), QStringLiteral("Rosen"));
    w.yearAction(2002)->trigger();
    QCOMPARE(numbersIn(w.deliveryNoteList), QStringList{"9"});
    QVERIFY(w.deliveryLines().Active() && w.deliveryLines().IsEmpty());
    QTest::mouseClick(w.customerNavigator->button(DBNavigator::nbPrior), Qt::LeftButton);
    QCOMPARE(numbersIn(w.deliveryNoteList), QStringList());
    w.yearAction(2004)->trigger();
    QCOMPARE(numbersIn(w.deliveryNoteList), (QStringList{"1", "2"}));
    QCOMPARE(w.deliveryLines().FieldByName(QStringLiteral("beschreibung"))->AsString(), QStringLiteral("Olivenbaum"));
}

void TestDeliveryNotes::yearWithoutDeliveryTablesShowsTheTabDisabled()
{
    Boxes boxes({false}); // "no" to the tables the file lacks
    Notes r(QStringLiteral("DROP TABLE lieferscheine2003; DROP TABLE lieferschein2003;"));
    QVERIFY(r.shown);
    MainWindow &w = r.w();
    QTRY_VERIFY(!boxes.asked.isEmpty()); // the question was asked, and declined
    QVERIFY(w.invoiceTabs->isTabEnabled(1));
    w.yearAction(2003)->trigger();
    const QString problem = QStringLiteral("Für das Jahr 2003 gibt es noch keine Tabellen für Lieferscheine. Das Programm bietet "
                                           "sie beim nächsten Start an; bitte die Frage dann mit „Ja“ beantworten.");
    QCOMPARE(w.data().year(), 2003);
    QVERIFY(!w.invoiceTabs->isTabEnabled(1));
    QCOMPARE(w.invoiceTabs->tabToolTip(1), problem);
    QCOMPARE(w.deliveryNoteHint->text(), problem);
    for (QWidget *c : std::initializer_list<QWidget *>{w.newDeliveryNoteButton, w.editDeliveryNoteButton,
                                                       w.printDeliveryNoteButton, w.deleteDeliveryNoteButton, w.deliveryNoteList})
        QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));
    QVERIFY(!w.deliveryNotes().Active() && !w.deliveryLines().Active());
    // The year's invoices are there to work with.
    QVERIFY(w.invoiceHeaders().Active());
    boxes.asked.clear();
    QVERIFY(!guarded([&] { w.newDeliveryNote(); }));
    QCOMPARE(boxes.asked.size(), 1);
    QVERIFY2(boxes.asked.at(0).endsWith(problem), qPrintable(boxes.asked.at(0)));
    w.yearAction(2004)->trigger();
    QVERIFY(w.invoiceTabs->isTabEnabled(1));
    QVERIFY(w.newDeliveryNoteButton->isEnabled());
    w.invoiceTabs->setCurrentWidget(w.deliveryNotesPage);
    QCOMPARE(numbersIn(w.deliveryNoteList), (QStringList{"1", "2"}));
}

void TestDeliveryNotes::printShowsTheNoteAsStored()
{
    Notes r;
    QVERIFY(r.shown);
    Boxes boxes;
    DeliveryNoteReport &report = *r.program.deliveryNoteReport;
    // Each preview that opens: the note's number as printed; closed once its run has ended.
    QStringList printed;
    const auto opened = QObject::connect(&report.runner, &rpt::ReportRunner::previewOpened, [&](QWidget *window) {
        printed << report.number->caption;
        auto *poll = new QTimer(window);
        QObject::connect(poll, &QTimer::timeout, window, [&report, window, poll] {
            if (report.layout.busy())
                return;
            poll->stop();
            window->close();
        });
        poll->start(5);
    });
    r.chooseNote(QStringLiteral("2"));
    QTest::mouseClick(r.w().printDeliveryNoteButton, Qt::LeftButton);
    r.byButton(r.w().editDeliveryNoteButton, [&] { QTest::mouseClick(r.e()->printButton, Qt::LeftButton); });
    QCOMPARE(printed.size(), 2);
    QVERIFY2(printed.at(0).contains(QLatin1Char('2')) && printed.at(0) == printed.at(1), qPrintable(printed.join(u'|')));
    QCOMPARE(boxes.asked, QStringList());

    // Note 1 has an olive for a business: without the business's RUOP number
    // there is no passport to print, and the user is told where to enter it.
    r.chooseNote(QStringLiteral("1"));
    QTest::mouseClick(r.w().printDeliveryNoteButton, Qt::LeftButton);
    QCOMPARE(printed.size(), 2);
    QCOMPARE(boxes.asked.size(), 1);
    QVERIFY2(boxes.asked.at(0).contains(QStringLiteral("Registriernummer (RUOP)")), qPrintable(boxes.asked.at(0)));

    // Anna has no note in 2002: nothing to print, and the user is told.
    r.w().yearAction(2002)->trigger();
    boxes.asked.clear();
    QTest::mouseClick(r.w().printDeliveryNoteButton, Qt::LeftButton);
    QCOMPARE(printed.size(), 2);
    QCOMPARE(boxes.asked.size(), 1);
    QVERIFY2(boxes.asked.at(0).contains(QStringLiteral("Es ist kein Lieferschein gewählt")), qPrintable(boxes.asked.at(0)));
    QObject::disconnect(opened);
}

QTEST_MAIN(TestDeliveryNotes)
#include "tst_deliverynotes.moc"
