// "&Gutschrift zu dieser Rechnung ..." and "&Rechnung kopieren ..." in the
// main window: the number proposed and asked for, the new document stored in
// this year's tables, and then current and open in the editor.

#include "app/mainwindow.h"
#include "app/program.h"
#include "dialogs/newdocumentdialogs.h"
#include "editor/invoiceeditor.h"
#include "running.h"
#include "testdb.h"
#include "uitest.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using uitest::Boxes;
using uitest::whileModal;

namespace {

// Anna's invoice 5 with two lines, and a credit note already made to it.
const char *const Data = R"(
INSERT INTO kunde (id, name, adresse) VALUES (1, 'Anna Blumen', 'Weg 1'), (2, 'Bruno Baum', 'Via 2');
INSERT INTO rechnungsdaten2004 (id, nr, datum, bezahlung, kundennummer, bestimmungsort, dokumentart, bezug_nr, bezug_datum) VALUES
  (1, '5', '01.02.2004', '30 Tage', '1', 'Meran', NULL, NULL, NULL),
  (2, 'GS-2004-1', '02.02.2004', '30 Tage', '1', 'Meran', 'TD04', '5', '01.02.2004');
INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, anzahl, einzelpreis, steuersatz, pos) VALUES
  ('5', 'Rosen', '4', '2,5', NULL, 1), ('5', 'Erde', '1', '10', '22', 2), ('GS-2004-1', 'Rosen', '4', '2,5', NULL, 1);
)";

int thisYear() { return QDate::currentDate().year(); }

// This year's tables as the program makes them, with a credit note in them.
QString thisYearSql()
{
    return QStringLiteral(
               "CREATE TABLE rechnungsdaten%1 (id INTEGER PRIMARY KEY AUTOINCREMENT, nr VARCHAR(50), datum VARCHAR(50), "
               "bezahlung VARCHAR(50), kundennummer VARCHAR(50), bestimmungsort VARCHAR(50), dokumentart VARCHAR(4), "
               "bezug_nr VARCHAR(50), bezug_datum VARCHAR(50), faellig VARCHAR(50), bezahlt_am VARCHAR(50));"
               "CREATE TABLE rechnung%1 (id INTEGER PRIMARY KEY AUTOINCREMENT, rechnungsnummer VARCHAR(50), "
               "beschreibung VARCHAR(50), anzahl VARCHAR(50), einzelpreis VARCHAR(50), summe VARCHAR(50), "
               "steuersatz VARCHAR(2), natura VARCHAR(4), pos DOUBLE PRECISION);"
               "INSERT INTO rechnungsdaten%1 (nr, datum, kundennummer, dokumentart) VALUES ('GS-%1-1', '01.01.%1', '2', 'TD04');")
               .arg(thisYear())
        + testdb::yearAdditionsSql(thisYear());
}

// What the editor showed when it opened on the new document.
struct Shown
{
    bool opened = false;
    int year = 0;
    qint64 customer = 0;
    QString number;
    QStringList lines;
};

// Closes the editor once it shows, after noting what the main window has current.
void noteEditor(Running &r, Shown &shown)
{
    auto *poll = new QTimer(&r.w());
    QObject::connect(poll, &QTimer::timeout, poll, [&r, &shown, poll] {
        InvoiceEditor *editor = r.program.invoiceEditor.get();
        if (!editor->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        shown.opened = QApplication::activeModalWidget() == editor;
        shown.year = r.w().data().year();
        shown.customer = r.w().customers().FieldByName(QStringLiteral("id"))->AsInteger();
        shown.number = r.w().invoiceHeaders().FieldByName(QStringLiteral("nr"))->AsString();
        RecordSet &lines = r.w().invoiceLines();
        for (lines.First(); !lines.Eof(); lines.Next())
            shown.lines << lines.FieldByName(QStringLiteral("beschreibung"))->AsString();
        editor->reject();
    });
    poll->start(5);
}

void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

} // namespace

class TestNewDocuments : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { prepareApplication(*qobject_cast<QApplication *>(QCoreApplication::instance())); }
    void creditNoteFromTheMenu();
    void takenNumberKeepsTheDialogOpen();
    void creditNoteOfACreditNoteIsRefused();
    void copyForAnotherCustomer();
    void yearAnotherProgramMadeMeanwhile();
    void newControlsHaveNames();
};

void TestNewDocuments::creditNoteFromTheMenu()
{
    Running r(QString::fromLatin1(Data));
    QVERIFY(r.shown);
    // This year has no tables yet: the program asks before making them.
    Boxes boxes({true});
    const QString year = QString::number(thisYear());
    Shown shown;
    QString proposed, prefix, reproposed, invoice;
    noteEditor(r, shown);
    const auto run = whileModal(r.w().creditNoteDialog, [&] { r.w().creditNoteAction->trigger(); }, [&] {
        CreditNoteDialog *d = r.w().creditNoteDialog;
        invoice = d->invoiceLabel->text();
        prefix = d->prefix->text();
        proposed = d->number->text();
        // Another series proposes its own first number.
        d->prefix->selectAll();
        QTest::keyClicks(d->prefix, QStringLiteral("NC/"));
        reproposed = d->number->text();
        click(d->okButton());
    });
    QVERIFY(run.wasModal);
    QVERIFY(!run.stayedOpen);
    QCOMPARE(boxes.asked.size(), 1);
    QVERIFY2(boxes.asked.front().contains(QStringLiteral("Tabellen für das Jahr %1 jetzt anlegen?").arg(year)),
             qPrintable(boxes.asked.front()));
    QCOMPARE(invoice, QStringLiteral("Nr. 5 vom 01.02.2004, Anna Blumen"));
    QCOMPARE(prefix, QStringLiteral("GS-%1-").arg(year));
    QCOMPARE(proposed, QStringLiteral("GS-%1-1").arg(year));
    QCOMPARE(reproposed, QStringLiteral("NC/1"));

    QVERIFY(shown.opened);
    QCOMPARE(shown.year, thisYear());
    QCOMPARE(shown.customer, qint64(1));
    QCOMPARE(shown.number, QStringLiteral("NC/1"));
    QCOMPARE(shown.lines, (QStringList{QStringLiteral("Rosen"), QStringLiteral("Erde")}));
    QVERIFY(r.w().yearAction(thisYear())->isChecked());
    QCOMPARE(r.scalar(QStringLiteral("SELECT dokumentart || '|' || bezug_nr || '|' || bezug_datum || '|' || datum FROM "
                                     "rechnungsdaten%1 WHERE nr = 'NC/1'")
                          .arg(year)),
             QStringLiteral("TD04|5|01.02.2004|%1").arg(QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"))));
}

void TestNewDocuments::takenNumberKeepsTheDialogOpen()
{
    Running r(QString::fromLatin1(Data) + thisYearSql());
    QVERIFY(r.shown);
    // The program starts on this year; the invoice is of 2004.
    r.w().yearAction(2004)->trigger();
    Boxes boxes({true});
    const QString year = QString::number(thisYear());
    QString proposed;
    const auto run = whileModal(r.w().creditNoteDialog, [&] { r.w().creditNoteAction->trigger(); }, [&] {
        CreditNoteDialog *d = r.w().creditNoteDialog;
        proposed = d->number->text();
        d->number->selectAll();
        QTest::keyClicks(d->number, QStringLiteral("gs-%1-1").arg(year));
        click(d->okButton());
    });
    QCOMPARE(proposed, QStringLiteral("GS-%1-2").arg(year));
    // The user keeps what was typed and can choose another number.
    QVERIFY(run.stayedOpen);
    QCOMPARE(boxes.asked.size(), 1);
    QVERIFY2(boxes.asked.front().endsWith(QStringLiteral("|Die Nummer \"gs-%1-1\" gibt es im Jahr %1 schon. Bitte eine andere "
                                                         "Nummer eingeben; es wurde nichts gespeichert.")
                                              .arg(year)),
             qPrintable(boxes.asked.front()));
    QCOMPARE(r.scalar(QStringLiteral("SELECT count(*) FROM rechnungsdaten%1").arg(year)), QStringLiteral("1"));
    QCOMPARE(r.scalar(QStringLiteral("SELECT count(*) FROM rechnung%1").arg(year)), QStringLiteral("0"));
    // Cancelled: the invoice stays current.
    QCOMPARE(r.w().invoiceHeaders().FieldByName(QStringLiteral("nr"))->AsString(), QStringLiteral("5"));
}

void TestNewDocuments::creditNoteOfACreditNoteIsRefused()
{
    Running r(QString::fromLatin1(Data) + thisYearSql());
    QVERIFY(r.shown);
    // The program starts on this year; the invoice is of 2004.
    r.w().yearAction(2004)->trigger();
    QVERIFY(r.w().invoiceHeaders().Locate(QStringLiteral("id"), QVariant(2)));
    Boxes boxes({true});
    r.w().creditNoteAction->trigger();
    QCOMPARE(boxes.kinds, QList<BoxRequest::Kind>{BoxRequest::Error});
    QVERIFY2(boxes.asked.front().contains(QStringLiteral("Die gewählte Rechnung GS-2004-1 ist selbst eine Gutschrift")),
             qPrintable(boxes.asked.front()));
    QVERIFY(!r.w().creditNoteDialog->isVisible());
    QCOMPARE(r.scalar(QStringLiteral("SELECT count(*) FROM rechnungsdaten%1").arg(thisYear())), QStringLiteral("1"));
}

void TestNewDocuments::copyForAnotherCustomer()
{
    Running r(QString::fromLatin1(Data) + thisYearSql());
    QVERIFY(r.shown);
    // The program starts on this year; the invoice is of 2004.
    r.w().yearAction(2004)->trigger();
    Boxes boxes({true});
    const QString year = QString::number(thisYear());
    Shown shown;
    QString preselected, proposed;
    QStringList customers;
    noteEditor(r, shown);
    const auto run = whileModal(r.w().copyInvoiceDialog, [&] { r.w().copyInvoiceAction->trigger(); }, [&] {
        CopyInvoiceDialog *d = r.w().copyInvoiceDialog;
        preselected = d->customer->currentText();
        for (int i = 0; i < d->customer->count(); ++i)
            customers << d->customer->itemText(i);
        proposed = d->number->text();
        d->customer->setCurrentIndex(d->customer->findData(qint64(2)));
        click(d->okButton());
    });
    QVERIFY(!run.stayedOpen);
    QCOMPARE(boxes.asked, QStringList());
    QCOMPARE(customers, (QStringList{QStringLiteral("Anna Blumen"), QStringLiteral("Bruno Baum")}));
    QCOMPARE(preselected, QStringLiteral("Anna Blumen"));
    // The year's credit note does not count as an invoice number.
    QCOMPARE(proposed, QStringLiteral("%1-1").arg(year));

    QVERIFY(shown.opened);
    QCOMPARE(shown.year, thisYear());
    QCOMPARE(shown.customer, qint64(2));
    QCOMPARE(shown.number, QStringLiteral("%1-1").arg(year));
    QCOMPARE(shown.lines, (QStringList{QStringLiteral("Rosen"), QStringLiteral("Erde")}));
    QCOMPARE(r.scalar(QStringLiteral("SELECT kundennummer || '|' || coalesce(dokumentart, '') || '|' || coalesce(bezug_nr, '') "
                                     "FROM rechnungsdaten%1 WHERE nr = '%1-1'")
                          .arg(year)),
             QStringLiteral("2||"));
    QCOMPARE(r.scalar(QStringLiteral("SELECT group_concat(coalesce(steuersatz, '-'), ',') FROM (SELECT steuersatz FROM "
                                     "rechnung%1 WHERE rechnungsnummer = '%1-1' ORDER BY pos)")
                          .arg(year)),
             QStringLiteral("-,22"));
}

// This year's tables appear while the program runs: the credit note goes
// there without asking, and the year is offered and shown.
void TestNewDocuments::yearAnotherProgramMadeMeanwhile()
{
    Running r(QString::fromLatin1(Data));
    QVERIFY(r.shown);
    QVERIFY(!r.w().yearAction(thisYear()));
    r.db.exec(thisYearSql());
    Boxes boxes(QList<bool>{});
    Shown shown;
    QString proposed;
    noteEditor(r, shown);
    const auto run = whileModal(r.w().creditNoteDialog, [&] { r.w().creditNoteAction->trigger(); }, [&] {
        proposed = r.w().creditNoteDialog->number->text();
        click(r.w().creditNoteDialog->okButton());
    });
    QVERIFY(!run.stayedOpen);
    QCOMPARE(boxes.asked, QStringList());
    QCOMPARE(proposed, QStringLiteral("GS-%1-2").arg(thisYear()));
    QVERIFY(shown.opened);
    QCOMPARE(shown.year, thisYear());
    QCOMPARE(shown.number, proposed);
    QVERIFY(r.w().yearAction(thisYear()) && r.w().yearAction(thisYear())->isChecked());
}

void TestNewDocuments::newControlsHaveNames()
{
    Running r(QString::fromLatin1(Data));
    QCOMPARE(r.w().creditNoteAction->objectName(), QStringLiteral("Gutschrift1"));
    QCOMPARE(r.w().creditNoteAction->text(), QStringLiteral("&Gutschrift zu dieser Rechnung ..."));
    QCOMPARE(r.w().copyInvoiceAction->objectName(), QStringLiteral("Kopieren1"));
    QCOMPARE(r.w().copyInvoiceAction->text(), QStringLiteral("&Rechnung kopieren ..."));
    for (QDialog *dialog : {static_cast<QDialog *>(r.w().creditNoteDialog), static_cast<QDialog *>(r.w().copyInvoiceDialog)}) {
        QVERIFY(!dialog->objectName().isEmpty());
        for (QWidget *c : dialog->findChildren<QWidget *>()) {
            if (!qobject_cast<QLineEdit *>(c) && !qobject_cast<QComboBox *>(c) && !qobject_cast<QPushButton *>(c))
                continue;
            QVERIFY2(!c->objectName().isEmpty() || qobject_cast<QPushButton *>(c), qPrintable(c->metaObject()->className()));
            QVERIFY2(!c->accessibleName().isEmpty() || qobject_cast<QPushButton *>(c), qPrintable(c->objectName()));
        }
    }
}

QTEST_MAIN(TestNewDocuments)
#include "tst_newdocuments.moc"
