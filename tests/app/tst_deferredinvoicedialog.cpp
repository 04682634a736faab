// "&Sammelrechnung aus Lieferscheinen ..." in the main window: the customer,
// month and date proposed, the month's notes listed with their sums, the
// chosen ones made into one invoice that then opens in the editor, and a
// refusal or another PC's invoice keeping the dialog open.

#include "app/mainwindow.h"
#include "app/program.h"
#include "dialogs/deferredinvoicedialog.h"
#include "editor/invoiceeditor.h"
#include "running.h"
#include "testdb.h"
#include "uitest.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

using uitest::Boxes;
using uitest::whileModal;

namespace {

// Bruno's November: note 3 (12,00) and note 7 (25,00 + 16,00); his October
// and Anna's November stay out.
const char *const Data = R"(
INSERT INTO zahlenformat (id, dezimaltrennzeichen, tausendertrennzeichen) VALUES (1, ',', '.');
INSERT INTO kunde (id, name, adresse) VALUES (1, 'Anna Blumen', 'Weg 1'), (2, 'Bruno Baum', 'Via 2');
INSERT INTO lieferscheine2004 (id, nr, datum, kundennummer, bestimmungsort) VALUES
  (1, '7', '12.11.2004', '2', 'Meran'), (2, '3', '04.11.2004', '2', 'Meran'),
  (3, '5', '20.11.2004', '1', 'Bozen'), (4, '2', '28.10.2004', '2', 'Meran');
INSERT INTO lieferschein2004 (lieferscheinnummer, pos, beschreibung, anzahl, einzelpreis, steuersatz) VALUES
  ('7', 1, 'Rosen', '10', '2,5', NULL), ('7', 2, 'Erde', '2', '8', '22'), ('3', 1, 'Lavendel', '4', '3', NULL),
  ('5', 1, 'Thuja', '1', '9', NULL), ('2', 1, 'Buchs', '1', '5', NULL);
)";

const QDate Today(2004, 12, 3);

// What the editor showed when it opened on the new invoice.
struct Shown
{
    bool opened = false;
    QString number;
    QStringList lines;
};

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
        shown.number = r.w().invoiceHeaders().FieldByName(QStringLiteral("nr"))->AsString();
        RecordSet &lines = r.w().invoiceLines();
        for (lines.First(); !lines.Eof(); lines.Next())
            shown.lines << lines.FieldByName(QStringLiteral("beschreibung"))->AsString();
        editor->reject();
    });
    poll->start(5);
}

// The list as the user sees it: a row per note, "x" for a chosen one.
QStringList rows(const QTableWidget *list)
{
    QStringList out;
    for (int row = 0; row < list->rowCount(); ++row) {
        QStringList cells{list->item(row, 0)->checkState() == Qt::Checked ? QStringLiteral("x") : QStringLiteral(" ")};
        for (int column = 0; column < list->columnCount(); ++column)
            cells << list->item(row, column)->text();
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

// Starts on Bruno, the day fixed.
void startOnBruno(Running &r)
{
    r.w().setFixedToday(Today);
    QVERIFY(r.w().customers().Locate(QStringLiteral("id"), QVariant(2)));
    r.w().customerMoved();
}

void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

} // namespace

class TestDeferredInvoiceDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { prepareApplication(*qobject_cast<QApplication *>(QCoreApplication::instance())); }
    void chosenNotesBecomeTheOpenInvoice();
    void lateDateKeepsTheDialogOpen();
    void noteInvoicedMeanwhileIsListedNoMore();
    void controlsHaveNames();
};

void TestDeferredInvoiceDialog::chosenNotesBecomeTheOpenInvoice()
{
    Running r(QString::fromLatin1(Data));
    QVERIFY(r.shown);
    startOnBruno(r);
    Boxes boxes;
    Shown shown;
    noteEditor(r, shown);
    QString customer, deadline, total, octoberTotal, chosenTotal;
    QDate month, date;
    QStringList listed, october;
    DeferredInvoiceDialog *d = r.w().deferredInvoiceDialog;
    const auto run = whileModal(d, [&] { r.w().deferredInvoiceAction->trigger(); }, [&] {
        customer = d->customer->currentText();
        month = d->month->date();
        date = d->invoiceDate->date();
        deadline = d->deadline->text();
        listed = rows(d->noteList);
        total = d->totalText->text();
        d->month->setDate(QDate(2004, 10, 1));
        october = rows(d->noteList);
        octoberTotal = d->totalText->text();
        d->month->setDate(QDate(2004, 11, 1));
        // Note 3 stays for another invoice.
        d->noteList->item(0, 0)->setCheckState(Qt::Unchecked);
        chosenTotal = d->totalText->text();
        click(d->okButton);
    });
    QVERIFY(run.wasModal);
    QVERIFY(!run.stayedOpen);
    QCOMPARE(boxes.asked, QStringList());
    QCOMPARE(customer, QStringLiteral("Bruno Baum"));
    // Last month, invoiced today.
    QCOMPARE(month, QDate(2004, 11, 1));
    QCOMPARE(date, Today);
    QCOMPARE(deadline, QStringLiteral("Auszustellen bis spätestens 15.12.2004"));
    QCOMPARE(listed, (QStringList{QStringLiteral("x|04.11.2004|3|1|12,00"), QStringLiteral("x|12.11.2004|7|2|41,00")}));
    QCOMPARE(total, QStringLiteral("2 von 2 Lieferscheinen gewählt, netto 53,00 €"));
    QCOMPARE(october, QStringList{QStringLiteral("x|28.10.2004|2|1|5,00")});
    QCOMPARE(octoberTotal, QStringLiteral("1 von 1 Lieferscheinen gewählt, netto 5,00 €"));
    QCOMPARE(chosenTotal, QStringLiteral("1 von 2 Lieferscheinen gewählt, netto 41,00 €"));

    QVERIFY(shown.opened);
    QCOMPARE(shown.number, QStringLiteral("2004-1"));
    QCOMPARE(shown.lines, (QStringList{QStringLiteral("Rosen"), QStringLiteral("Erde")}));
    QCOMPARE(r.scalar(QStringLiteral("SELECT dokumentart || '|' || datum || '|' || kundennummer FROM rechnungsdaten2004")),
             QStringLiteral("TD24|03.12.2004|2"));
    QCOMPARE(r.scalar(QStringLiteral("SELECT group_concat(nr || '=' || coalesce(rechnung_nr, ''), ' ') FROM "
                                     "(SELECT nr, rechnung_nr FROM lieferscheine2004 ORDER BY id)")),
             QStringLiteral("7=2004-1 3= 5= 2="));
}

void TestDeferredInvoiceDialog::lateDateKeepsTheDialogOpen()
{
    Running r(QString::fromLatin1(Data));
    QVERIFY(r.shown);
    startOnBruno(r);
    Boxes boxes;
    DeferredInvoiceDialog *d = r.w().deferredInvoiceDialog;
    bool okEnabled = false;
    const auto run = whileModal(d, [&] { r.w().deferredInvoiceAction->trigger(); }, [&] {
        d->invoiceDate->setDate(QDate(2004, 12, 16));
        click(d->okButton);
        // Nothing chosen, nothing to make.
        for (int row = 0; row < d->noteList->rowCount(); ++row)
            d->noteList->item(row, 0)->setCheckState(Qt::Unchecked);
        okEnabled = d->okButton->isEnabled();
    });
    QVERIFY(run.stayedOpen);
    QVERIFY(!okEnabled);
    QCOMPARE(boxes.kinds, QList<BoxRequest::Kind>{BoxRequest::Error});
    QVERIFY2(boxes.asked.front().contains(QStringLiteral("Eine Sammelrechnung für die Lieferungen im November 2004 muss "
                                                         "spätestens am 15.12.2004 ausgestellt werden")),
             qPrintable(boxes.asked.front()));
    QCOMPARE(r.scalar(QStringLiteral("SELECT count(*) FROM rechnungsdaten2004")), QStringLiteral("0"));
    QCOMPARE(r.scalar(QStringLiteral("SELECT count(*) FROM lieferscheine2004 WHERE rechnung_nr IS NOT NULL")),
             QStringLiteral("0"));
}

void TestDeferredInvoiceDialog::noteInvoicedMeanwhileIsListedNoMore()
{
    Running r(QString::fromLatin1(Data));
    QVERIFY(r.shown);
    startOnBruno(r);
    Boxes boxes;
    DeferredInvoiceDialog *d = r.w().deferredInvoiceDialog;
    QStringList after;
    const auto run = whileModal(d, [&] { r.w().deferredInvoiceAction->trigger(); }, [&] {
        // Another PC invoices note 7 while the dialog shows it.
        r.db.exec(QStringLiteral("UPDATE lieferscheine2004 SET rechnung_nr = '2004-9' WHERE nr = '7'"));
        click(d->okButton);
        after = rows(d->noteList);
    });
    QVERIFY(run.stayedOpen);
    QCOMPARE(boxes.asked.size(), 1);
    QVERIFY2(boxes.asked.front().contains(
                 QStringLiteral("Der Lieferschein Nr. 7 wurde inzwischen mit der Rechnung 2004-9 verrechnet")),
             qPrintable(boxes.asked.front()));
    QCOMPARE(after, QStringList{QStringLiteral("x|04.11.2004|3|1|12,00")});
    QCOMPARE(r.scalar(QStringLiteral("SELECT count(*) FROM rechnungsdaten2004")), QStringLiteral("0"));
    QCOMPARE(r.scalar(QStringLiteral("SELECT count(*) FROM rechnung2004")), QStringLiteral("0"));
}

void TestDeferredInvoiceDialog::controlsHaveNames()
{
    Running r(QString::fromLatin1(Data));
    QCOMPARE(r.w().deferredInvoiceAction->objectName(), QStringLiteral("Sammelrechnung1"));
    QCOMPARE(r.w().deferredInvoiceAction->text(), QStringLiteral("&Sammelrechnung aus Lieferscheinen ..."));
    DeferredInvoiceDialog *d = r.w().deferredInvoiceDialog;
    QCOMPARE(d->objectName(), QStringLiteral("sammelrechnung"));
    const QList<QWidget *> controls{d->customer, d->month,   d->invoiceDate, d->deadline,    d->noteList,
                                    d->totalText, d->okButton, d->cancelButton};
    for (QWidget *c : controls)
        QVERIFY2(!c->objectName().isEmpty(), qPrintable(c->metaObject()->className()));
    for (QWidget *c : {static_cast<QWidget *>(d->customer), static_cast<QWidget *>(d->month),
                       static_cast<QWidget *>(d->invoiceDate), static_cast<QWidget *>(d->noteList)})
        QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(c->objectName()));
}

QTEST_MAIN(TestDeferredInvoiceDialog)
#include "tst_deferredinvoicedialog.moc"
