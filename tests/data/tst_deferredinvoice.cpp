// The month's invoice from delivery notes: the date the law allows, the notes
// a customer's month gives, the one invoice they become, and a note another
// PC invoiced meanwhile stopping it all.

#include "deliverymonth.h"
#include "errorof.h"
#include "testdb.h"

#include "data/deferredinvoice.h"
#include "data/errors.h"
#include "data/invoicelist.h"
#include "data/invoicerepository.h"
#include "data/sqlitedatabase.h"

#include <QTest>

using sample::CommaSeparators;

Q_DECLARE_METATYPE(DeferredInvoiceRequest)
Q_DECLARE_METATYPE(CustomerKind)

namespace {

const QDate November(2026, 11, 1);

QDate day(const char *text) { return QDate::fromString(QString::fromLatin1(text), QStringLiteral("dd.MM.yyyy")); }

QStringList numbersOf(const QList<DeliveryNoteRecord> &notes)
{
    QStringList numbers;
    for (const DeliveryNoteRecord &r : notes)
        numbers << r.note.nr;
    return numbers;
}

QStringList shownLines(const QList<InvoiceLine> &lines)
{
    QStringList rows;
    for (const InvoiceLine &l : lines)
        rows << QStringList{l.beschreibung, l.anzahl, l.einzelpreis, l.steuersatz, l.natura, l.lieferschein_nr,
                            l.lieferschein_datum}
                    .join(QLatin1Char('|'));
    return rows;
}

// Each note's number with the invoice it went into, by number.
QString marks(const testdb::Fixture &db)
{
    return db.scalar(QStringLiteral("SELECT group_concat(nr || '=' || coalesce(rechnung_nr, ''), ' ') FROM "
                                    "(SELECT nr, rechnung_nr FROM lieferscheine2026 ORDER BY CAST(nr AS INTEGER))"));
}

} // namespace

class TestDeferredInvoice : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void dateRule_data();
    void dateRule();
    void month_data();
    void month();
    void notesOfTheMonth();
    void monthBecomesOneInvoice();
    void zeroRateTakesTheCustomersReason_data();
    void zeroRateTakesTheCustomersReason();
    void noteInvoicedMeanwhileStopsEverything();
    void refusalsStoreNothing_data();
    void refusalsStoreNothing();
};

void TestDeferredInvoice::dateRule_data()
{
    QTest::addColumn<QDate>("month");
    QTest::addColumn<QDate>("invoiceDate");
    QTest::addColumn<QDate>("lastDelivery");
    QTest::addColumn<QString>("error");

    const QString late = QStringLiteral("Eine Sammelrechnung für die Lieferungen im %1 muss spätestens am %2 ausgestellt werden "
                                        "(Art. 21 Abs. 4 DPR 633/1972). Das Rechnungsdatum %3 liegt danach; es wurde nichts "
                                        "gespeichert.");
    QTest::newRow("on the 15th of the month after") << November << day("15.12.2026") << day("20.11.2026") << QString();
    QTest::newRow("on the 16th") << November << day("16.12.2026") << day("20.11.2026")
                                 << late.arg(QStringLiteral("November 2026"), QStringLiteral("15.12.2026"),
                                             QStringLiteral("16.12.2026"));
    QTest::newRow("at the month's end") << November << day("30.11.2026") << day("20.11.2026") << QString();
    // The month after December is January of the next year.
    QTest::newRow("December on 15 January") << QDate(2026, 12, 1) << day("15.01.2027") << day("23.12.2026") << QString();
    QTest::newRow("December on 16 January") << QDate(2026, 12, 1) << day("16.01.2027") << day("23.12.2026")
                                            << late.arg(QStringLiteral("Dezember 2026"), QStringLiteral("15.01.2027"),
                                                        QStringLiteral("16.01.2027"));
    QTest::newRow("March, named in German") << QDate(2027, 3, 1) << day("16.04.2027") << day("01.03.2027")
                                            << late.arg(QStringLiteral("März 2027"), QStringLiteral("15.04.2027"),
                                                        QStringLiteral("16.04.2027"));
    QTest::newRow("on the day of the last note") << November << day("20.11.2026") << day("20.11.2026") << QString();
    QTest::newRow("before the last note")
        << November << day("19.11.2026") << day("20.11.2026")
        << QStringLiteral("Das Rechnungsdatum 19.11.2026 liegt vor dem letzten Lieferschein vom 20.11.2026; eine Rechnung "
                          "kann nicht vor der Lieferung ausgestellt werden. Bitte ein Datum ab dem 20.11.2026 wählen; es "
                          "wurde nichts gespeichert.");
}

void TestDeferredInvoice::dateRule()
{
    QFETCH(QDate, month);
    QFETCH(QDate, invoiceDate);
    QFETCH(QDate, lastDelivery);
    QFETCH(QString, error);
    QCOMPARE(errorOf<ConversionError>([&] { checkDeferredInvoiceDate(month, invoiceDate, lastDelivery); }), error);
}

void TestDeferredInvoice::month_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QDate>("month");
    QTest::newRow("year and month") << "2026-11" << November;
    QTest::newRow("blanks around") << " 2027-01 " << QDate(2027, 1, 1);
    QTest::newRow("no month 13") << "2026-13" << QDate();
    QTest::newRow("German order") << "11.2026" << QDate();
    QTest::newRow("one digit") << "2026-1" << QDate();
    QTest::newRow("empty") << "" << QDate();
}

void TestDeferredInvoice::month()
{
    QFETCH(QString, typed);
    QFETCH(QDate, month);
    QDate read;
    const QString error = errorOf<ConversionError>([&] { read = deliveryMonthOf(typed); });
    QCOMPARE(read, month);
    QCOMPARE(error.isEmpty(), month.isValid());
}

void TestDeferredInvoice::notesOfTheMonth()
{
    testdb::Fixture db;
    SqliteDatabase c;
    c.open(db.file());
    sample::addDeliveryMonth(c);
    // By date, then by number counted: 9 before 12 on the same day.
    const QList<DeliveryNoteRecord> notes = notesToInvoice(c, CommaSeparators, 1, QDate(2026, 11, 17));
    QCOMPARE(numbersOf(notes), (QStringList{QStringLiteral("9"), QStringLiteral("12"), QStringLiteral("14")}));
    QCOMPARE(notes.at(0).lines.size(), 2);
    QCOMPARE(formatMoney(deliveryNoteNet(notes.at(0), CommaSeparators), CommaSeparators), QStringLiteral("179,00"));
    QCOMPARE(formatMoney(deliveryNoteNet(notes.at(2), CommaSeparators), CommaSeparators), QStringLiteral("61,00"));
    QCOMPARE(numbersOf(notesToInvoice(c, CommaSeparators, 2, November)), QStringList{QStringLiteral("13")});
    QCOMPARE(numbersOf(notesToInvoice(c, CommaSeparators, 1, QDate(2026, 10, 1))), QStringList{QStringLiteral("8")});
    // A year without delivery tables has none to invoice.
    QVERIFY(notesToInvoice(c, CommaSeparators, 1, QDate(2019, 11, 1)).isEmpty());
}

void TestDeferredInvoice::monthBecomesOneInvoice()
{
    testdb::Fixture db;
    SqliteDatabase c;
    c.open(db.file());
    sample::addDeliveryMonth(c);
    Money notesNet;
    for (const DeliveryNoteRecord &r : notesToInvoice(c, CommaSeparators, 1, November))
        notesNet += deliveryNoteNet(r, CommaSeparators);

    const Invoice made = makeDeferredInvoice(c, CommaSeparators, {.customerId = 1, .month = November, .date = day("30.11.2026")});
    QCOMPARE(made.header.nr, QStringLiteral("2026-1"));
    QVERIFY(made.header.id > 0);

    const Invoice read = InvoiceRepository(c, CommaSeparators).loadById(2026, made.header.id);
    QCOMPARE(read.header.datum, QStringLiteral("30.11.2026"));
    QCOMPARE(read.header.dokumentart, DeferredInvoiceKind);
    QCOMPARE(read.header.kundennummer, QStringLiteral("1"));
    QCOMPARE(read.customer.name, QStringLiteral("Gartenbau Anna"));
    // The terms are the user's to give: no due date follows yet.
    QCOMPARE(read.header.bezahlung, QString());
    QCOMPARE(read.header.faellig, QString());
    QCOMPARE(read.header.bestimmungsort, QStringLiteral("Baustelle Meran"));
    QCOMPARE(shownLines(read.lines), (QStringList{
                                         QStringLiteral("Olivenbaum 120 cm|2|89,50|||9|03.11.2026"),
                                         // Without a price on the note, listed at 0.
                                         QStringLiteral("Pflanztopf|1|0|||9|03.11.2026"),
                                         QStringLiteral("Buchsbaum-Kugel|5|12,90|||12|03.11.2026"),
                                         QStringLiteral("Lavendel|10|4,50|||14|20.11.2026"),
                                         QStringLiteral("Blumenerde 50 l|2|8|22||14|20.11.2026"),
                                     }));
    const InvoiceTotals totals = totalsOfLines(read.lines, CommaSeparators);
    QCOMPARE(totals.net, notesNet);
    // 288,50 at 10 % gives 28,85, 16,00 at 22 % 3,52.
    QCOMPARE(formatMoney(totals.net, CommaSeparators), QStringLiteral("304,50"));
    QCOMPARE(formatMoney(totals.gross, CommaSeparators), QStringLiteral("336,87"));
    // Anna's November is invoiced; Bruno's, her October and the note invoiced before are not.
    QCOMPARE(marks(db), QStringLiteral("8= 9=2026-1 10=2026-3 12=2026-1 13= 14=2026-1"));

    // Nothing is left of her November.
    QCOMPARE(errorOf<ConversionError>([&] {
                 makeDeferredInvoice(c, CommaSeparators, {.customerId = 1, .month = November, .date = day("30.11.2026")});
             }),
             QStringLiteral("Für Gartenbau Anna gibt es im November 2026 keine Lieferscheine, die noch nicht verrechnet "
                            "sind; es wurde keine Sammelrechnung erstellt. Bitte einen anderen Monat oder Kunden wählen."));
    // The next one counts on from it, in the year of its date.
    const Invoice october = makeDeferredInvoice(c, CommaSeparators,
                                                {.customerId = 1, .month = QDate(2026, 10, 1), .date = day("15.11.2026")});
    QCOMPARE(october.header.nr, QStringLiteral("2026-2"));
    QCOMPARE(shownLines(october.lines), QStringList{QStringLiteral("Thuja|30|6|||8|28.10.2026")});
}

void TestDeferredInvoice::zeroRateTakesTheCustomersReason_data()
{
    QTest::addColumn<CustomerKind>("kind");
    QTest::addColumn<QString>("rate");
    QTest::addColumn<QString>("nature");
    QTest::newRow("EU business at 0 %") << CustomerKind::EuBusiness << "0" << "N3.2";
    QTest::newRow("San Marino at 0 %") << CustomerKind::SanMarino << "0" << "N3.3";
    // The user picks the reason in the editor: none fits an Italian business.
    QTest::newRow("Italian business at 0 %") << CustomerKind::ItalianBusiness << "0" << "";
    QTest::newRow("EU business at 10 %") << CustomerKind::EuBusiness << "10" << "";
}

void TestDeferredInvoice::zeroRateTakesTheCustomersReason()
{
    QFETCH(CustomerKind, kind);
    QFETCH(QString, rate);
    QFETCH(QString, nature);
    DeliveryNoteRecord note = sample::deliveryNote(QStringLiteral("3"), QStringLiteral("02.11.2026"), 1,
                                                   {sample::deliveryLine(QStringLiteral("Rosen"), QStringLiteral("4"),
                                                                         QStringLiteral("3"), rate)});
    const QList<InvoiceLine> lines = invoiceLinesOf(note, kind);
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.at(0).steuersatz, rate);
    QCOMPARE(lines.at(0).natura, nature);
}

void TestDeferredInvoice::noteInvoicedMeanwhileStopsEverything()
{
    testdb::Fixture db;
    SqliteDatabase c;
    c.open(db.file());
    sample::addDeliveryMonth(c);
    // The notes as the dialog lists them ...
    QList<qint64> listed;
    for (const DeliveryNoteRecord &r : notesToInvoice(c, CommaSeparators, 1, November))
        listed << r.note.id;
    // ... and another PC invoices note 12 before OK is pressed.
    db.exec(QStringLiteral("UPDATE lieferscheine2026 SET rechnung_nr = '2026-7' WHERE nr = '12'"));
    QCOMPARE(errorOf<EngineError>([&] {
                 makeDeferredInvoice(c, CommaSeparators,
                                     {.customerId = 1, .month = November, .date = day("30.11.2026"), .noteIds = listed});
             }),
             QStringLiteral("Die Lieferscheine können nicht als verrechnet vermerkt werden: Der Lieferschein Nr. 12 wurde "
                            "inzwischen mit der Rechnung 2026-7 verrechnet; die Sammelrechnung wird nicht gespeichert."));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnungsdaten2026")), QStringLiteral("0"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnung2026")), QStringLiteral("0"));
    QCOMPARE(marks(db), QStringLiteral("8= 9= 10=2026-3 12=2026-7 13= 14="));

    // One deleted meanwhile stops it too.
    db.exec(QStringLiteral("DELETE FROM lieferscheine2026 WHERE nr = '14'"));
    listed.removeAt(1);
    QVERIFY(errorOf<EngineError>([&] {
                makeDeferredInvoice(c, CommaSeparators,
                                    {.customerId = 1, .month = November, .date = day("30.11.2026"), .noteIds = listed});
            }).contains(QStringLiteral("gelöscht oder geändert")));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnungsdaten2026")), QStringLiteral("0"));

    // The chosen ones that are left go into one invoice; Bruno's note is never among them.
    const qint64 brunos = db.scalar(QStringLiteral("SELECT id FROM lieferscheine2026 WHERE nr = '13'")).toLongLong();
    QVERIFY(!errorOf<EngineError>([&] {
                 makeDeferredInvoice(c, CommaSeparators, {.customerId = 1, .month = November, .date = day("30.11.2026"),
                                                          .noteIds = {listed.at(0), brunos}});
             }).isEmpty());
    const Invoice made = makeDeferredInvoice(
        c, CommaSeparators, {.customerId = 1, .month = November, .date = day("30.11.2026"), .noteIds = {listed.at(0)}});
    QCOMPARE(made.lines.size(), 2);
    QCOMPARE(marks(db), QStringLiteral("8= 9=2026-1 10=2026-3 12=2026-7 13="));
}

void TestDeferredInvoice::refusalsStoreNothing_data()
{
    QTest::addColumn<DeferredInvoiceRequest>("request");
    QTest::addColumn<QString>("error");
    const DeferredInvoiceRequest november{.customerId = 1, .month = November, .date = day("30.11.2026")};
    DeferredInvoiceRequest late = november;
    late.date = day("16.12.2026");
    QTest::newRow("too late") << late << QStringLiteral("Eine Sammelrechnung für die Lieferungen im November 2026");
    DeferredInvoiceRequest early = november;
    early.date = day("19.11.2026");
    QTest::newRow("before the last note") << early << QStringLiteral("liegt vor dem letzten Lieferschein vom 20.11.2026");
    DeferredInvoiceRequest taken = november;
    taken.number = QStringLiteral("2026-9");
    QTest::newRow("number taken") << taken << QStringLiteral("Die Nummer \"2026-9\" gibt es im Jahr 2026 schon.");
    DeferredInvoiceRequest nobody = november;
    nobody.customerId = 77;
    QTest::newRow("no such customer") << nobody << QStringLiteral("Den gewählten Kunden gibt es nicht in der Datenbank.");
    DeferredInvoiceRequest undated = november;
    undated.date = QDate();
    QTest::newRow("no date") << undated << QStringLiteral("Bitte ein Rechnungsdatum angeben");
}

void TestDeferredInvoice::refusalsStoreNothing()
{
    QFETCH(DeferredInvoiceRequest, request);
    QFETCH(QString, error);
    testdb::Fixture db;
    SqliteDatabase c;
    c.open(db.file());
    sample::addDeliveryMonth(c);
    db.exec(QStringLiteral("INSERT INTO rechnungsdaten2026 (nr, datum, kundennummer) VALUES ('2026-9', '02.11.2026', '2')"));
    const QString refusal = errorOf<ConversionError>([&] { makeDeferredInvoice(c, CommaSeparators, request); });
    QVERIFY2(refusal.contains(error), qPrintable(refusal));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnungsdaten2026")), QStringLiteral("1"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnung2026")), QStringLiteral("0"));
    QCOMPARE(marks(db), QStringLiteral("8= 9= 10=2026-3 12= 13= 14="));
}

QTEST_GUILESS_MAIN(TestDeferredInvoice)
#include "tst_deferredinvoice.moc"
