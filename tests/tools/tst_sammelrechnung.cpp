// "rechnung-db sammelrechnung": a customer's month of delivery notes made
// into one invoice from a terminal, its number on stdout, and every refusal
// a German message with a non-zero exit status and nothing stored.

#include "deliverymonth.h"
#include "testdb.h"
#include "tool.h"

#include "data/sqlitedatabase.h"

#include <QTest>

namespace {

// The file names the decimal comma its notes are written with.
void makeMonth(const testdb::Fixture &fixture)
{
    fixture.exec(QStringLiteral("INSERT INTO zahlenformat (id, dezimaltrennzeichen, tausendertrennzeichen) VALUES (1, ',', '.')"));
    SqliteDatabase c;
    c.open(fixture.file());
    sample::addDeliveryMonth(c);
}

QStringList call(const testdb::Fixture &fixture, const QStringList &options)
{
    return QStringList{QStringLiteral("sammelrechnung"), fixture.file()} + options;
}

} // namespace

class TestSammelrechnung : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void makesTheInvoice()
    {
        const testdb::Fixture fixture;
        makeMonth(fixture);
        // Under English settings too: the file's own separators count.
        const ToolResult r = runTool(call(fixture, {QStringLiteral("--customer"), QStringLiteral("1"), QStringLiteral("--month"),
                                                    QStringLiteral("2026-11"), QStringLiteral("--date"),
                                                    QStringLiteral("30.11.2026")}),
                                     {.locale = QStringLiteral("en_US.UTF-8")});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QStringLiteral("2026-1\n"));
        QCOMPARE(fixture.scalar(QStringLiteral("SELECT nr || ' ' || datum || ' ' || kundennummer || ' ' || dokumentart "
                                               "FROM rechnungsdaten2026")),
                 QStringLiteral("2026-1 30.11.2026 1 TD24"));
        QCOMPARE(fixture.scalar(QStringLiteral("SELECT group_concat(lieferschein_nr || ':' || einzelpreis, ' ') FROM "
                                               "(SELECT lieferschein_nr, einzelpreis FROM rechnung2026 ORDER BY id)")),
                 QStringLiteral("9:89,50 9:0 12:12,90 14:4,50 14:8"));
        QCOMPARE(fixture.scalar(QStringLiteral("SELECT group_concat(nr, ' ') FROM (SELECT nr FROM lieferscheine2026 "
                                               "WHERE rechnung_nr = '2026-1' ORDER BY id)")),
                 QStringLiteral("14 12 9"));
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("error");
        const QString customer = QStringLiteral("--customer");
        const QString month = QStringLiteral("--month");
        const QString date = QStringLiteral("--date");
        QTest::newRow("after the 15th")
            << QStringList{customer, "1", month, "2026-11", date, "16.12.2026"} << 1
            << QStringLiteral("rechnung-db: Eine Sammelrechnung für die Lieferungen im November 2026 muss spätestens am "
                              "15.12.2026 ausgestellt werden (Art. 21 Abs. 4 DPR 633/1972). Das Rechnungsdatum 16.12.2026 "
                              "liegt danach; es wurde nichts gespeichert.\n");
        QTest::newRow("nothing left in the month")
            << QStringList{customer, "1", month, "2026-09", date, "30.09.2026"} << 1
            << QStringLiteral("rechnung-db: Für Gartenbau Anna gibt es im September 2026 keine Lieferscheine, die noch nicht "
                              "verrechnet sind; es wurde keine Sammelrechnung erstellt. Bitte einen anderen Monat oder Kunden "
                              "wählen.\n");
        QTest::newRow("no such customer")
            << QStringList{customer, "77", month, "2026-11", date, "30.11.2026"} << 1
            << QStringLiteral("rechnung-db: Den Kunden mit der Nummer 77 gibt es in der Datenbank nicht.\n");
        QTest::newRow("month written the German way")
            << QStringList{customer, "1", month, "11.2026", date, "30.11.2026"} << 1
            << QStringLiteral("rechnung-db: '11.2026' ist kein Monat. Bitte den Monat der Lieferungen als JJJJ-MM angeben, "
                              "zum Beispiel 2026-11.\n");
        QTest::newRow("no month") << QStringList{customer, "1"} << 2
                                  << QStringLiteral("rechnung-db: Beim Befehl sammelrechnung fehlt --month. Aufruf: ");
        QTest::newRow("customer no number")
            << QStringList{customer, "Anna", month, "2026-11"} << 2
            << QStringLiteral("rechnung-db: Die Kundennummer bei --customer muss eine ganze Zahl größer als 0 sein, nicht "
                              "'Anna'. Aufruf: ");
        QTest::newRow("date not German")
            << QStringList{customer, "1", month, "2026-11", date, "2026-11-30"} << 2
            << QStringLiteral("rechnung-db: Das Datum bei --date muss die Form TT.MM.JJJJ haben, nicht '2026-11-30'. Aufruf: ");
    }

    void refusals()
    {
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QString, error);
        const testdb::Fixture fixture;
        makeMonth(fixture);
        const ToolResult r = runTool(call(fixture, options));
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(r.out, QString());
        // A wrong call is followed by the usage.
        if (exitCode == 2)
            QVERIFY2(r.err.startsWith(error), qPrintable(r.err));
        else
            QCOMPARE(r.err, error);
        QCOMPARE(fixture.scalar(QStringLiteral("SELECT count(*) FROM rechnungsdaten2026")), QStringLiteral("0"));
        QCOMPARE(fixture.scalar(QStringLiteral("SELECT count(*) FROM lieferscheine2026 WHERE rechnung_nr IS NOT NULL "
                                               "AND rechnung_nr <> ''")),
                 QStringLiteral("1"));
    }

    void help()
    {
        const ToolResult r = runTool({QStringLiteral("sammelrechnung"), QStringLiteral("--help")});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.startsWith(QStringLiteral("Aufruf: rechnung-db sammelrechnung DATEI --customer ID --month JJJJ-MM "
                                                 "[--date TT.MM.JJJJ]")),
                 qPrintable(r.out));
        const ToolResult all = runTool({QStringLiteral("--help")});
        QVERIFY2(all.out.contains(QStringLiteral("rechnung-db sammelrechnung DATEI")), qPrintable(all.out));
    }
};

QTEST_GUILESS_MAIN(TestSammelrechnung)
#include "tst_sammelrechnung.moc"
