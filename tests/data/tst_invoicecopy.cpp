// Credit notes and copies of a stored invoice: the numbers proposed for them,
// what they take over from the invoice, and the refusals that store nothing.

#include "errorof.h"
#include "testdb.h"

#include "data/errors.h"
#include "data/invoicecopy.h"
#include "data/invoicerepository.h"
#include "data/sqlitedatabase.h"

#include <QTest>

namespace {

const Separators Comma{QLatin1Char(','), QLatin1Char('.')};
const QDate Today(2026, 3, 9);

// Invoice 2004-17 of Anna, a line out of id order and one at 0 %; a credit
// note already made to it; an invoice of Bruno paid in cash.
const char *const Data = R"(
INSERT INTO kunde (id, name, adresse) VALUES (1, 'Anna', 'Weg 1'), (2, 'Bruno', 'Via 2');
INSERT INTO rechnungsdaten2004 (id, nr, datum, bezahlung, kundennummer, bestimmungsort, dokumentart, bezug_nr, bezug_datum, faellig, bezahlt_am) VALUES
  (1, '2004-17', '08.01.2004', '30 Tage', '1', 'Meran', NULL, NULL, NULL, '07.02.2004', '01.02.2004'),
  (2, 'GS-2004-1', '09.01.2004', '30 Tage', '1', 'Meran', 'TD04', '2004-17', '08.01.2004', NULL, NULL),
  (3, '2004-18', '10.01.2004', 'bezahlt', '2', 'Bozen', NULL, NULL, NULL, NULL, NULL);
INSERT INTO rechnung2004 (id, rechnungsnummer, beschreibung, anzahl, einzelpreis, steuersatz, natura, pos) VALUES
  (7, '2004-17', 'Erde', '1', '10', '22', NULL, 2),
  (3, '2004-17', 'Rosen', '4', '2,5', NULL, NULL, 1),
  (9, '2004-17', 'Rabatt', '1', '-1,50', '0', 'N3.2', 3),
  (4, 'GS-2004-1', 'Rosen', '4', '2,5', NULL, NULL, 1),
  (5, '2004-18', 'Töpfe', '2', '3', NULL, NULL, 1);
)";

QStringList shownLines(const Invoice &invoice)
{
    QStringList rows;
    for (const InvoiceLine &l : invoice.lines)
        rows << QStringList{l.beschreibung, l.anzahl, l.einzelpreis, l.steuersatz, l.natura}.join(QLatin1Char('|'));
    return rows;
}

const QStringList SourceLines = {QStringLiteral("Rosen|4|2,5||"), QStringLiteral("Erde|1|10|22|"),
                                 QStringLiteral("Rabatt|1|-1,50|0|N3.2")};

} // namespace

class TestInvoiceCopy : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void seriesNumber_data();
    void seriesNumber();
    void invoiceNumber_data();
    void invoiceNumber();
    void proposalsReadTheYear();
    void creditNoteIsStoredWithItsReference();
    void copyTakesTheLinesForAnotherCustomer();
    void copyForTheSameCustomerKeepsTermsAndDestination();
    void refusalsStoreNothing_data();
    void refusalsStoreNothing();
    void yearWithoutTheColumnsRefusesACreditNote();
};

void TestInvoiceCopy::seriesNumber_data()
{
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("expected");
    const QString gs = QStringLiteral("GS-2026-");
    QTest::newRow("first of the year") << QStringList{QStringLiteral("2026-1")} << gs << QStringLiteral("GS-2026-1");
    QTest::newRow("after the highest") << QStringList{QStringLiteral("GS-2026-2"), QStringLiteral("GS-2026-1")} << gs
                                       << QStringLiteral("GS-2026-3");
    // A gap is left: a number once given out may be on paper somewhere.
    QTest::newRow("gap stays") << QStringList{QStringLiteral("GS-2026-1"), QStringLiteral("GS-2026-4")} << gs
                               << QStringLiteral("GS-2026-5");
    QTest::newRow("ten after nine") << QStringList{QStringLiteral("GS-2026-9")} << gs << QStringLiteral("GS-2026-10");
    QTest::newRow("case and blanks") << QStringList{QStringLiteral(" gs-2026-7 ")} << gs << QStringLiteral("GS-2026-8");
    // Numbers that only start like the series are none of it.
    QTest::newRow("foreign numbers") << QStringList{QStringLiteral("GS-2026-3a"), QStringLiteral("GS-2026-"),
                                                    QStringLiteral("GS-2025-9"), QStringLiteral("XGS-2026-8")}
                                     << gs << QStringLiteral("GS-2026-1");
    QTest::newRow("own prefix") << QStringList{QStringLiteral("GS-2026-4"), QStringLiteral("NC/12")}
                                << QStringLiteral("NC/") << QStringLiteral("NC/13");
    // The next of the series is taken in another case: the one after it.
    QTest::newRow("next is taken") << QStringList{QStringLiteral("GS-2026-1"), QStringLiteral("gs-2026-02"),
                                                  QStringLiteral("GS-2026-3 ")}
                                   << gs << QStringLiteral("GS-2026-4");
    QTest::newRow("width kept") << QStringList{QStringLiteral("GS-2026-009")} << gs << QStringLiteral("GS-2026-010");
}

void TestInvoiceCopy::seriesNumber()
{
    QFETCH(QStringList, taken);
    QFETCH(QString, prefix);
    QFETCH(QString, expected);
    QCOMPARE(nextInSeries(taken, prefix), expected);
    QVERIFY(!isNumberTaken(taken, expected));
}

void TestInvoiceCopy::invoiceNumber_data()
{
    QTest::addColumn<QStringList>("invoices");
    QTest::addColumn<QStringList>("others");
    QTest::addColumn<QString>("expected");
    QTest::newRow("none yet") << QStringList() << QStringList() << QStringLiteral("2026-1");
    QTest::newRow("year prefix") << QStringList{QStringLiteral("2026-4"), QStringLiteral("2026-5")} << QStringList()
                                 << QStringLiteral("2026-6");
    QTest::newRow("plain number") << QStringList{QStringLiteral("7")} << QStringList() << QStringLiteral("8");
    QTest::newRow("highest, not last") << QStringList{QStringLiteral("2026-12"), QStringLiteral("2026-3")} << QStringList()
                                       << QStringLiteral("2026-13");
    QTest::newRow("width kept") << QStringList{QStringLiteral("2026-09")} << QStringList() << QStringLiteral("2026-10");
    // Credit notes are passed as others: their series does not count.
    QTest::newRow("credit notes left out") << QStringList{QStringLiteral("2026-2")} << QStringList{QStringLiteral("GS-2026-40")}
                                           << QStringLiteral("2026-3");
    QTest::newRow("without digits only") << QStringList{QStringLiteral("Probe")} << QStringList() << QStringLiteral("2026-1");
    QTest::newRow("proposal taken") << QStringList() << QStringList{QStringLiteral(" 2026-1")} << QStringLiteral("2026-2");
    QTest::newRow("next taken in other case") << QStringList{QStringLiteral("a-1")} << QStringList{QStringLiteral("A-2")}
                                              << QStringLiteral("a-3");
}

void TestInvoiceCopy::invoiceNumber()
{
    QFETCH(QStringList, invoices);
    QFETCH(QStringList, others);
    QFETCH(QString, expected);
    QCOMPARE(nextInvoiceNumberAfter(invoices, invoices + others, 2026), expected);
}

void TestInvoiceCopy::proposalsReadTheYear()
{
    testdb::Fixture db(QString::fromUtf8(Data));
    SqliteDatabase connection;
    connection.open(db.file());
    QCOMPARE(nextCreditNoteNumber(connection, 2004, creditNotePrefix(2004)), QStringLiteral("GS-2004-2"));
    // The credit note's number is no invoice number to count on from.
    QCOMPARE(nextInvoiceNumber(connection, 2004), QStringLiteral("2004-19"));
    // A year without tables yet starts both series.
    QCOMPARE(nextCreditNoteNumber(connection, 2026, creditNotePrefix(2026)), QStringLiteral("GS-2026-1"));
    QCOMPARE(nextInvoiceNumber(connection, 2026), QStringLiteral("2026-1"));
}

void TestInvoiceCopy::creditNoteIsStoredWithItsReference()
{
    testdb::Fixture db(QString::fromUtf8(Data));
    SqliteDatabase connection;
    connection.open(db.file());
    const Invoice made = makeCreditNote(connection, Comma, 2004, 1, QStringLiteral(" GS-2026-1 "), Today);
    QVERIFY(made.header.id > 0);

    const Invoice read = InvoiceRepository(connection, Comma).loadById(2026, made.header.id);
    QCOMPARE(read.header.nr, QStringLiteral("GS-2026-1"));
    QCOMPARE(read.header.datum, QStringLiteral("09.03.2026"));
    QCOMPARE(read.header.kundennummer, QStringLiteral("1"));
    QCOMPARE(read.header.bezahlung, QStringLiteral("30 Tage"));
    QCOMPARE(read.header.bestimmungsort, QStringLiteral("Meran"));
    QVERIFY(read.header.isCreditNote());
    QCOMPARE(read.header.dokumentart, CreditNoteKind);
    QCOMPARE(read.header.bezug_nr, QStringLiteral("2004-17"));
    QCOMPARE(read.header.bezug_datum, QStringLiteral("08.01.2004"));
    // Not the invoice's due and paid dates: due as its own terms say from its own date.
    QCOMPARE(read.header.faellig, QStringLiteral("08.04.2026"));
    QCOMPARE(read.header.bezahlt_am, QString());
    QCOMPARE(read.customer.name, QStringLiteral("Anna"));
    // In the invoice's order, amounts as they were (a deduction stays one).
    QCOMPARE(shownLines(read), SourceLines);
    // The year was made for it, and the invoice itself is untouched.
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnung2026")), QStringLiteral("3"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnung2004 WHERE rechnungsnummer = '2004-17'")),
             QStringLiteral("3"));
    QCOMPARE(nextCreditNoteNumber(connection, 2026, creditNotePrefix(2026)), QStringLiteral("GS-2026-2"));
}

void TestInvoiceCopy::copyTakesTheLinesForAnotherCustomer()
{
    testdb::Fixture db(QString::fromUtf8(Data));
    SqliteDatabase connection;
    connection.open(db.file());
    const QString number = nextInvoiceNumber(connection, 2026);
    const Invoice made = copyInvoice(connection, Comma, 2004, 1, 2, number, Today);

    const Invoice read = InvoiceRepository(connection, Comma).loadByNumber(2026, QStringLiteral("2026-1"));
    QCOMPARE(read.header.id, made.header.id);
    QCOMPARE(read.header.datum, QStringLiteral("09.03.2026"));
    QCOMPARE(read.header.kundennummer, QStringLiteral("2"));
    QCOMPARE(read.customer.name, QStringLiteral("Bruno"));
    QVERIFY(!read.header.isCreditNote());
    QCOMPARE(read.header.dokumentart, QString());
    QCOMPARE(read.header.bezug_nr + read.header.bezug_datum + read.header.bezahlt_am, QString());
    QCOMPARE(read.header.faellig, QStringLiteral("08.04.2026"));
    QCOMPARE(read.header.bezahlung, QStringLiteral("30 Tage"));
    // Anna's destination is not Bruno's.
    QCOMPARE(read.header.bestimmungsort, QString());
    // Rates included: Bruno's own default does not change them.
    QCOMPARE(shownLines(read), SourceLines);
    QCOMPARE(nextInvoiceNumber(connection, 2026), QStringLiteral("2026-2"));
}

void TestInvoiceCopy::copyForTheSameCustomerKeepsTermsAndDestination()
{
    testdb::Fixture db(QString::fromUtf8(Data));
    SqliteDatabase connection;
    connection.open(db.file());
    const Invoice same = copyInvoice(connection, Comma, 2004, 1, 1, QStringLiteral("2026-1"), Today);
    QCOMPARE(same.header.bestimmungsort, QStringLiteral("Meran"));
    QCOMPARE(same.header.bezahlung, QStringLiteral("30 Tage"));
    // A new invoice is not paid because its model was.
    const Invoice paid = copyInvoice(connection, Comma, 2004, 3, 2, QStringLiteral("2026-2"), Today);
    const Invoice read = InvoiceRepository(connection, Comma).loadById(2026, paid.header.id);
    QCOMPARE(read.header.bezahlung, QString());
    QCOMPARE(read.header.bestimmungsort, QStringLiteral("Bozen"));
    QCOMPARE(shownLines(read), QStringList{QStringLiteral("Töpfe|2|3||")});
}

void TestInvoiceCopy::refusalsStoreNothing_data()
{
    QTest::addColumn<bool>("creditNote");
    QTest::addColumn<qint64>("sourceId");
    QTest::addColumn<qint64>("customerId");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("message");
    const QString taken = QStringLiteral("Die Nummer \"gs-2026-1\" gibt es im Jahr 2026 schon. Bitte eine andere Nummer "
                                         "eingeben; es wurde nichts gespeichert.");
    QTest::newRow("credit note, number taken") << true << qint64(1) << qint64(0) << QStringLiteral(" gs-2026-1") << taken;
    QTest::newRow("copy, number taken") << false << qint64(1) << qint64(1) << QStringLiteral("gs-2026-1") << taken;
    QTest::newRow("empty number") << true << qint64(1) << qint64(0) << QStringLiteral("  ")
                                  << QStringLiteral("Bitte eine Nummer für das neue Dokument eingeben.");
    QTest::newRow("too long") << false << qint64(1) << qint64(1) << QString(51, QLatin1Char('9'))
                              << QStringLiteral("Die Nummer \"%1\" ist länger als 50 Zeichen. Bitte eine kürzere Nummer "
                                                "eingeben.")
                                     .arg(QString(51, QLatin1Char('9')));
    const QString gone = QStringLiteral("Diese Rechnung gibt es im Jahr 2004 nicht mehr in der Datenbank.");
    QTest::newRow("credit note, invoice gone") << true << qint64(99) << qint64(0) << QStringLiteral("GS-2026-9") << gone;
    QTest::newRow("copy, invoice gone") << false << qint64(99) << qint64(1) << QStringLiteral("2026-9") << gone;
    QTest::newRow("credit note of a credit note")
        << true << qint64(2) << qint64(0) << QStringLiteral("GS-2026-9")
        << QStringLiteral("Die gewählte Rechnung GS-2004-1 ist selbst eine Gutschrift; zu ihr kann keine Gutschrift "
                          "erstellt werden. Bitte die Rechnung wählen, die gutgeschrieben wird.");
    QTest::newRow("copy of a credit note") << false << qint64(2) << qint64(1) << QStringLiteral("2026-9")
                                           << QStringLiteral("Die gewählte Rechnung GS-2004-1 ist eine Gutschrift und kann "
                                                             "nicht als Rechnung kopiert werden. Bitte eine Rechnung wählen.");
    QTest::newRow("customer gone") << false << qint64(1) << qint64(42) << QStringLiteral("2026-9")
                                   << QStringLiteral("Den gewählten Kunden gibt es nicht mehr in der Datenbank. Bitte einen "
                                                     "anderen Kunden wählen; es wurde nichts gespeichert.");
}

void TestInvoiceCopy::refusalsStoreNothing()
{
    QFETCH(bool, creditNote);
    QFETCH(qint64, sourceId);
    QFETCH(qint64, customerId);
    QFETCH(QString, number);
    QFETCH(QString, message);
    testdb::Fixture db(QString::fromUtf8(Data));
    SqliteDatabase connection;
    connection.open(db.file());
    makeCreditNote(connection, Comma, 2004, 1, QStringLiteral("GS-2026-1"), Today);
    const QString before = db.scalar(QStringLiteral("SELECT count(*) FROM rechnung2026"));

    QCOMPARE(errorOf([&] {
                 if (creditNote)
                     makeCreditNote(connection, Comma, 2004, sourceId, number, Today);
                 else
                     copyInvoice(connection, Comma, 2004, sourceId, customerId, number, Today);
             }),
             message);
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnungsdaten2026")), QStringLiteral("1"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnung2026")), before);
}

void TestInvoiceCopy::yearWithoutTheColumnsRefusesACreditNote()
{
    // A year made before credit notes, as an older program left it.
    testdb::Fixture db(QString::fromUtf8(Data)
                       + QStringLiteral("CREATE TABLE rechnungsdaten2005 (id INTEGER PRIMARY KEY AUTOINCREMENT, nr VARCHAR(50), "
                                        "datum VARCHAR(50), bezahlung VARCHAR(50), kundennummer VARCHAR(50), "
                                        "bestimmungsort VARCHAR(50));"
                                        "CREATE TABLE rechnung2005 (id INTEGER PRIMARY KEY AUTOINCREMENT, rechnungsnummer "
                                        "VARCHAR(50), beschreibung VARCHAR(50), anzahl VARCHAR(50), einzelpreis VARCHAR(50), "
                                        "summe VARCHAR(50), steuersatz VARCHAR(2), natura VARCHAR(4), pos DOUBLE PRECISION);"));
    SqliteDatabase connection;
    connection.open(db.file());
    QCOMPARE(errorOf([&] { makeCreditNote(connection, Comma, 2004, 1, QStringLiteral("GS-2005-1"), QDate(2005, 6, 1)); }),
             QStringLiteral("Die Tabelle 'rechnungsdaten2005' kann noch keine Gutschriften aufnehmen (es fehlt die Spalte "
                            "'dokumentart'). Bitte das Programm neu starten und die Ergänzung der Datenbank bestätigen; es "
                            "wurde nichts gespeichert."));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnungsdaten2005")), QStringLiteral("0"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnung2005")), QStringLiteral("0"));
    // An invoice needs none of them: its copy goes in.
    copyInvoice(connection, Comma, 2004, 1, 1, QStringLiteral("2005-1"), QDate(2005, 6, 1));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnung2005")), QStringLiteral("3"));
}

QTEST_GUILESS_MAIN(TestInvoiceCopy)
#include "tst_invoicecopy.moc"
