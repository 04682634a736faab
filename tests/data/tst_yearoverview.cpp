// The year's revenue per month and per customer, and the CSV files for the
// accountant: figures worked out by hand for a small year, and the files read
// back by a CSV reader of their own.

#include "csvreader.h"
#include "errorof.h"
#include "testdb.h"

#include "data/csvexport.h"
#include "data/invoicelist.h"
#include "data/sqlitedatabase.h"
#include "data/yearoverview.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(Revenue)

namespace {

const Separators Comma{QLatin1Char(','), QLatin1Char('.')};

// Invoices in January, March and June, a credit note in June for half of
// invoice 4, an invoice dated "Mitte Juli", one whose quantity is no number
// and one of a customer that is gone from `kunde`.
const QString SmallYear = QStringLiteral(
    "INSERT INTO kunde (id, name, piva) VALUES (1, 'Anna', 'IT00000000101'), (2, 'Bruno', NULL), (3, 'Carla', '');"
    "INSERT INTO rechnungsdaten2004 (id, nr, datum, kundennummer, dokumentart, bezug_nr, bezug_datum, bezahlt_am) VALUES "
    "(1, '1', '15.01.2004', '1', NULL, NULL, NULL, '01.02.2004'),"
    "(2, '2', '20.01.2004', '2', '', NULL, NULL, NULL),"
    "(3, '3', '05.03.2004', '2', NULL, NULL, NULL, NULL),"
    "(4, '4', '10.06.2004', '1', NULL, NULL, NULL, NULL),"
    "(5, 'GS-2004-1', '20.06.2004', '1', 'TD04', '4', '10.06.2004', NULL),"
    "(6, '6', 'Mitte Juli', '3', NULL, NULL, NULL, NULL),"
    "(7, '7', '12.03.2004', '3', NULL, NULL, NULL, NULL),"
    "(8, '8', '30.03.2004', '9', NULL, NULL, NULL, NULL);"
    "INSERT INTO rechnung2004 (id, rechnungsnummer, beschreibung, anzahl, einzelpreis, steuersatz) VALUES "
    "(1, '1', 'Rosen', '4', '2,50', ''), (2, '1', 'Vase', '1', '20', '22'),"
    "(3, '2', 'Lavendel', '3', '1,20', NULL),"
    "(4, '3', 'Erde', '2', '7,45', '10'),"
    "(5, '4', 'Baum', '1', '100', '10'),"
    "(6, 'GS-2004-1', 'Baum', '0,5', '100', '10'),"
    "(7, '6', 'Kies', '2', '5', '10'),"
    "(8, '7', 'Dünger', 'zwei', '3', '10'),"
    "(9, '8', 'Topf', '1', '5', '22');");

Revenue revenue(qint64 net, qint64 tax, qint64 gross, int documents)
{
    return {Money::fromCents(net), Money::fromCents(tax), Money::fromCents(gross), documents};
}

QString shown(const Revenue &r)
{
    return QStringLiteral("%1 / %2 / %3 (%4)")
        .arg(moneyWithDot(r.net), moneyWithDot(r.tax), moneyWithDot(r.gross))
        .arg(r.documents);
}

QList<InvoiceSummary> summariesOf(const testdb::Fixture &fixture, int year)
{
    SqliteDatabase db;
    testdb::openOther(db, fixture.file());
    return summariesOfYear(db, year, Comma);
}

QByteArray writtenAndRead(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

} // namespace

class TestYearOverview : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void months_data()
    {
        QTest::addColumn<int>("month");
        QTest::addColumn<Revenue>("expected");
        // 4 × 2,50 at 10 % and 20,00 at 22 %: 30,00 + 1,00 + 4,40; 3 × 1,20 at 10 %: 3,60 + 0,36.
        QTest::newRow("January, two invoices") << 1 << revenue(3360, 576, 3936, 2);
        QTest::newRow("February, none") << 2 << revenue(0, 0, 0, 0);
        // 2 × 7,45 = 14,90 + 1,49 and 5,00 + 1,10 at 22 %; invoice 7 cannot be computed and is not counted.
        QTest::newRow("March, the bad invoice left out") << 3 << revenue(1990, 259, 2249, 2);
        // 100,00 + 10,00 less the credit note's 50,00 + 5,00.
        QTest::newRow("June, credit note subtracted") << 6 << revenue(5000, 500, 5500, 2);
        QTest::newRow("July, the undated invoice is not here") << 7 << revenue(0, 0, 0, 0);
        QTest::newRow("December") << 12 << revenue(0, 0, 0, 0);
    }

    void months()
    {
        QFETCH(int, month);
        QFETCH(Revenue, expected);
        const testdb::Fixture fixture(SmallYear);
        const YearOverview overview = yearOverview(2004, summariesOf(fixture, 2004));
        QCOMPARE(overview.months.size(), 12);
        QCOMPARE(shown(overview.months.at(month - 1)), shown(expected));
    }

    void undatedTotalAndUncomputed()
    {
        const testdb::Fixture fixture(SmallYear);
        const YearOverview overview = yearOverview(2004, summariesOf(fixture, 2004));
        QCOMPARE(overview.year, 2004);
        // "Mitte Juli": 2 × 5,00 at 10 %.
        QCOMPARE(shown(overview.undated), shown(revenue(1000, 100, 1100, 1)));
        // 33,60 + 19,90 + 50,00 + 10,00 net; 5,76 + 2,59 + 5,00 + 1,00 tax.
        QCOMPARE(shown(overview.total), shown(revenue(11350, 1435, 12785, 7)));
        QCOMPARE(overview.uncomputed.size(), 1);
        const UncomputedInvoice &bad = overview.uncomputed.constFirst();
        QCOMPARE(bad.nr, QStringLiteral("7"));
        QCOMPARE(bad.datum, QStringLiteral("12.03.2004"));
        QCOMPARE(bad.customer, QStringLiteral("Carla"));
        QVERIFY(!bad.creditNote);
        QVERIFY2(bad.problem.startsWith(QLatin1String("Zeile 1: ")) && bad.problem.contains(QLatin1String("zwei")),
                 qPrintable(bad.problem));
    }

    void customersByGrossDescending()
    {
        const testdb::Fixture fixture(SmallYear);
        const YearOverview overview = yearOverview(2004, summariesOf(fixture, 2004));
        QStringList rows;
        for (const CustomerRevenue &c : overview.customers)
            rows << QStringLiteral("%1 %2: %3").arg(c.customerId).arg(c.name, shown(c.revenue));
        const QStringList expected{
            // 35,40 + 110,00 - 55,00.
            QStringLiteral("1 Anna: 80.00 / 10.40 / 90.40 (3)"),
            // 3,96 + 16,39.
            QStringLiteral("2 Bruno: 18.50 / 1.85 / 20.35 (2)"),
            // Invoice 7 is not counted, the undated one is.
            QStringLiteral("3 Carla: 10.00 / 1.00 / 11.00 (1)"),
            QStringLiteral("0 Kunde '9' (nicht in der Kundenliste): 5.00 / 1.10 / 6.10 (1)"),
        };
        QCOMPARE(rows, expected);
    }

    // A customer whose credit notes outweigh the invoices ends below zero, last.
    void creditNotesCanMakeACustomerNegative()
    {
        const testdb::Fixture fixture(QStringLiteral(
            "INSERT INTO kunde (id, name) VALUES (1, 'Anna'), (2, 'Bruno');"
            "INSERT INTO rechnungsdaten2004 (id, nr, datum, kundennummer, dokumentart) VALUES "
            "(1, 'GS-1', '02.02.2004', '1', 'TD04'), (2, '2', '03.02.2004', '2', NULL);"
            "INSERT INTO rechnung2004 (id, rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES "
            "(1, 'GS-1', 'Rosen', '1', '10'), (2, '2', 'Erde', '1', '1');"));
        const YearOverview overview = yearOverview(2004, summariesOf(fixture, 2004));
        QCOMPARE(overview.customers.size(), 2);
        QCOMPARE(overview.customers.at(0).name, QStringLiteral("Bruno"));
        QCOMPARE(shown(overview.customers.at(1).revenue), shown(revenue(-1000, -100, -1100, 1)));
        QCOMPARE(shown(overview.months.at(1)), shown(revenue(-900, -90, -990, 2)));
    }

    void yearWithoutTables()
    {
        const testdb::Fixture fixture;
        SqliteDatabase db;
        testdb::openOther(db, fixture.file());
        QCOMPARE(errorOf<ConversionError>([&] { yearOverview(db, 1999, Comma); }),
                 QStringLiteral("Für das Jahr 1999 gibt es keine Rechnungen in der Datenbank."));
    }

    // ---- CSV ----------------------------------------------------------------

    void field_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::newRow("plain") << QStringLiteral("Rosen") << QStringLiteral("Rosen");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("umlauts") << QStringLiteral("Gärtnerei Müller") << QStringLiteral("Gärtnerei Müller");
        QTest::newRow("semicolon") << QStringLiteral("Rosen; rot") << QStringLiteral("\"Rosen; rot\"");
        QTest::newRow("quotes doubled") << QStringLiteral("Hotel \"Alpenrose\"") << QStringLiteral("\"Hotel \"\"Alpenrose\"\"\"");
        QTest::newRow("line break") << QStringLiteral("Weg 1\nBozen") << QStringLiteral("\"Weg 1\nBozen\"");
        QTest::newRow("carriage return") << QStringLiteral("Weg 1\r\nBozen") << QStringLiteral("\"Weg 1\r\nBozen\"");
        QTest::newRow("comma alone needs no quotes") << QStringLiteral("Müller, Anna") << QStringLiteral("Müller, Anna");
        QTest::newRow("formula") << QStringLiteral("=HYPERLINK(\"x\")") << QStringLiteral("\"'=HYPERLINK(\"\"x\"\")\"");
        QTest::newRow("plus") << QStringLiteral("+39 0471") << QStringLiteral("'+39 0471");
        QTest::newRow("minus text") << QStringLiteral("-Rabatt") << QStringLiteral("'-Rabatt");
        QTest::newRow("at") << QStringLiteral("@SUM(A1)") << QStringLiteral("'@SUM(A1)");
        QTest::newRow("tab first") << QStringLiteral("\t=1+1") << QStringLiteral("'\t=1+1");
        QTest::newRow("formula with semicolon") << QStringLiteral("=A1;B1") << QStringLiteral("\"'=A1;B1\"");
        QTest::newRow("equals inside is harmless") << QStringLiteral("a=b") << QStringLiteral("a=b");
        QTest::newRow("negative amount stays a number") << QStringLiteral("-12,50") << QStringLiteral("-12,50");
        QTest::newRow("signed whole number") << QStringLiteral("+3") << QStringLiteral("+3");
        QTest::newRow("minus alone") << QStringLiteral("-") << QStringLiteral("'-");
        QTest::newRow("minus and a formula after a number") << QStringLiteral("-1+A1") << QStringLiteral("'-1+A1");
    }

    void field()
    {
        QFETCH(QString, text);
        QFETCH(QString, field);
        QCOMPARE(csvField(text), field);
    }

    void amount_data()
    {
        QTest::addColumn<qint64>("cents");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << QStringLiteral("0,00");
        QTest::newRow("cents only") << qint64(5) << QStringLiteral("0,05");
        QTest::newRow("no thousands separator") << qint64(123456789) << QStringLiteral("1234567,89");
        QTest::newRow("negative") << qint64(-1250) << QStringLiteral("-12,50");
        QTest::newRow("negative cents") << qint64(-7) << QStringLiteral("-0,07");
    }

    void amount()
    {
        QFETCH(qint64, cents);
        QFETCH(QString, text);
        QCOMPARE(csvAmount(Money::fromCents(cents)), text);
    }

    void documentBytes()
    {
        const QByteArray bytes = csvDocument({{QStringLiteral("a"), QStringLiteral("ä")}, {QStringLiteral("b;c")}});
        QCOMPARE(bytes, QByteArray("\xEF\xBB\xBF" "a;\xC3\xA4\r\n\"b;c\"\r\n"));
    }

    // Every text that could break a row or run as a formula, through a reader of its own.
    void overviewReadBack()
    {
        const testdb::Fixture fixture(SmallYear + QStringLiteral(
            "UPDATE kunde SET name = '=2+3; \"Ltd\"' WHERE id = 2;"
            "UPDATE kunde SET name = 'Carla' || char(10) || 'Bozen' WHERE id = 3;"));
        const YearOverview overview = yearOverview(2004, summariesOf(fixture, 2004));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("übersicht.csv"));
        saveCsvFile(path, csvDocument(overviewCsvRows(overview)));

        const QByteArray bytes = writtenAndRead(path);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        // Only the line break inside Carla's name, which stands twice, is no line end.
        QCOMPARE(bytes.count("\r\n"), bytes.count("\n") - 2);
        const CsvReadBack read = readCsvWithPython(path);
        QVERIFY2(read.problem.isEmpty(), qPrintable(read.problem));
        const QList<QStringList> expected{
            {"Bereich", "Bezeichnung", "Anzahl", "Netto", "MwSt.", "Brutto"},
            {"Monat", "Januar", "2", "33,60", "5,76", "39,36"},
            {"Monat", "Februar", "0", "0,00", "0,00", "0,00"},
            {"Monat", "März", "2", "19,90", "2,59", "22,49"},
            {"Monat", "April", "0", "0,00", "0,00", "0,00"},
            {"Monat", "Mai", "0", "0,00", "0,00", "0,00"},
            {"Monat", "Juni", "2", "50,00", "5,00", "55,00"},
            {"Monat", "Juli", "0", "0,00", "0,00", "0,00"},
            {"Monat", "August", "0", "0,00", "0,00", "0,00"},
            {"Monat", "September", "0", "0,00", "0,00", "0,00"},
            {"Monat", "Oktober", "0", "0,00", "0,00", "0,00"},
            {"Monat", "November", "0", "0,00", "0,00", "0,00"},
            {"Monat", "Dezember", "0", "0,00", "0,00", "0,00"},
            {"Monat", "ohne gültiges Datum", "1", "10,00", "1,00", "11,00"},
            {"Summe", "Jahr 2004", "7", "113,50", "14,35", "127,85"},
            {"Kunde", "Anna", "3", "80,00", "10,40", "90,40"},
            {"Kunde", "'=2+3; \"Ltd\"", "2", "18,50", "1,85", "20,35"},
            {"Kunde", "Carla\nBozen", "1", "10,00", "1,00", "11,00"},
            {"Kunde", "Kunde '9' (nicht in der Kundenliste)", "1", "5,00", "1,10", "6,10"},
            {"Nicht berechnet", "Rechnung Nr. 7 vom 12.03.2004, Carla\nBozen: " + overview.uncomputed.at(0).problem, "",
             "", "", ""},
        };
        QCOMPARE(read.rows, expected);
    }

    void invoiceList()
    {
        const testdb::Fixture fixture(SmallYear + QStringLiteral("DELETE FROM rechnung2004 WHERE id = 8;"
                                                                 "UPDATE kunde SET name = '-Hotel' WHERE id = 3;"
                                                                 "INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, "
                                                                 "anzahl, einzelpreis, steuersatz, natura) VALUES "
                                                                 "('7', 'Versand', '1', '4', '5', NULL),"
                                                                 "('7', 'Export', '1', '6', '0', 'N3.1'),"
                                                                 "('7', 'Schale', '1', '8', '4', NULL);"));
        const QList<QStringList> rows = invoiceListCsvRows(summariesOf(fixture, 2004));
        const QList<QStringList> expected{
            {"Nummer", "Datum", "Kunde", "USt-IdNr.", "Netto 22 %", "Netto 10 %", "Netto 5 %", "Netto 4 %", "Netto 0 %",
             "MwSt.", "Brutto", "Art", "Bezahlt am"},
            {"1", "15.01.2004", "Anna", "IT00000000101", "20,00", "10,00", "0,00", "0,00", "0,00", "5,40", "35,40",
             "Rechnung", "01.02.2004"},
            {"2", "20.01.2004", "Bruno", "", "0,00", "3,60", "0,00", "0,00", "0,00", "0,36", "3,96", "Rechnung", ""},
            {"3", "05.03.2004", "Bruno", "", "0,00", "14,90", "0,00", "0,00", "0,00", "1,49", "16,39", "Rechnung", ""},
            {"4", "10.06.2004", "Anna", "IT00000000101", "0,00", "100,00", "0,00", "0,00", "0,00", "10,00", "110,00",
             "Rechnung", ""},
            {"GS-2004-1", "20.06.2004", "Anna", "IT00000000101", "0,00", "-50,00", "0,00", "0,00", "0,00", "-5,00",
             "-55,00", "Gutschrift", ""},
            {"6", "Mitte Juli", "-Hotel", "", "0,00", "10,00", "0,00", "0,00", "0,00", "1,00", "11,00", "Rechnung", ""},
            // 4,00 at 5 % (0,20), 8,00 at 4 % (0,32), 6,00 free of VAT.
            {"7", "12.03.2004", "-Hotel", "", "0,00", "0,00", "4,00", "8,00", "6,00", "0,52", "18,52", "Rechnung", ""},
            {"8", "30.03.2004", "Kunde '9' (nicht in der Kundenliste)", "", "5,00", "0,00", "0,00", "0,00", "0,00",
             "1,10", "6,10", "Rechnung", ""},
        };
        QCOMPARE(rows, expected);
        // The guard is the file's, not the rows'.
        QVERIFY(csvDocument(rows).contains("\r\n6;Mitte Juli;'-Hotel;;"));
    }

    void invoiceListNamesEveryUncomputedInvoice()
    {
        const testdb::Fixture fixture(SmallYear + QStringLiteral("UPDATE rechnung2004 SET einzelpreis = 'x' WHERE id = 6;"));
        const QString error = errorOf<ConversionError>([&] { invoiceListCsvRows(summariesOf(fixture, 2004)); });
        QVERIFY2(error.startsWith(QStringLiteral("Nicht jede Rechnung lässt sich berechnen: "
                                                 "Gutschrift Nr. GS-2004-1 vom 20.06.2004 (Zeile 1: ")),
                 qPrintable(error));
        QVERIFY2(error.contains(QLatin1String("; Rechnung Nr. 7 vom 12.03.2004 (Zeile 1: ")), qPrintable(error));
        QVERIFY2(error.endsWith(QLatin1String("Die CSV-Datei wurde nicht geschrieben; bitte diese Zeilen im Programm berichtigen")),
                 qPrintable(error));
    }

    void saveReplacesWholeOrNotAtAll()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("liste.csv"));
        saveCsvFile(path, "alt");
        saveCsvFile(path, "neu");
        QCOMPARE(writtenAndRead(path), QByteArray("neu"));
        const QString missing = dir.filePath(QStringLiteral("fehlt/liste.csv"));
        const QString error = errorOf<ConversionError>([&] { saveCsvFile(missing, "x"); });
        QVERIFY2(error.startsWith(QStringLiteral("Die Datei '%1' ließ sich nicht schreiben: ").arg(missing)), qPrintable(error));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("liste.csv")});
    }
};

QTEST_GUILESS_MAIN(TestYearOverview)
#include "tst_yearoverview.moc"
