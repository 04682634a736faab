// "rechnung-db export-csv": the year's invoice list for the accountant, run
// as the accountant's script runs it, and read back by a CSV reader of its own.

#include "csvreader.h"
#include "testdb.h"
#include "tool.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The file names the decimal comma its amounts are written with, so every
// PC reads them alike. An invoice with a 22 % and a 10 % line, a paid one,
// and a credit note that corrects the first in part.
const QString Year = QStringLiteral(
    "INSERT INTO zahlenformat (id, dezimaltrennzeichen, tausendertrennzeichen) VALUES (1, ',', '.');"
    "INSERT INTO kunde (id, name, piva) VALUES (1, 'Gärtnerei \"Rosengarten\"; Bozen', 'IT00000000101'), (2, '@Hotel', NULL);"
    "INSERT INTO rechnungsdaten2004 (id, nr, datum, kundennummer, dokumentart, bezug_nr, bezug_datum, bezahlt_am) VALUES "
    "(1, '1', '15.01.2004', '1', NULL, NULL, NULL, NULL),"
    "(2, '2', '20.01.2004', '2', NULL, NULL, NULL, '03.02.2004'),"
    "(3, 'GS-2004-1', '01.02.2004', '1', 'TD04', '1', '15.01.2004', NULL);"
    "INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, anzahl, einzelpreis, steuersatz) VALUES "
    "('1', 'Olivenbaum', '1', '1250', '22'), ('1', 'Rosen', '4', '2,50', '10'),"
    "('2', 'Lavendel', '3', '1,20', NULL),"
    "('GS-2004-1', 'Rosen', '2', '2,50', '10');");

const QList<QStringList> YearRows{
    {"Nummer", "Datum", "Kunde", "USt-IdNr.", "Netto 22 %", "Netto 10 %", "Netto 5 %", "Netto 4 %", "Netto 0 %", "MwSt.",
     "Brutto", "Art", "Bezahlt am"},
    // 1.250,00 + 275,00 and 10,00 + 1,00.
    {"1", "15.01.2004", "Gärtnerei \"Rosengarten\"; Bozen", "IT00000000101", "1250,00", "10,00", "0,00", "0,00", "0,00",
     "276,00", "1536,00", "Rechnung", ""},
    {"2", "20.01.2004", "'@Hotel", "", "0,00", "3,60", "0,00", "0,00", "0,00", "0,36", "3,96", "Rechnung", "03.02.2004"},
    {"GS-2004-1", "01.02.2004", "Gärtnerei \"Rosengarten\"; Bozen", "IT00000000101", "0,00", "-5,00", "0,00", "0,00",
     "0,00", "-0,50", "-5,50", "Gutschrift", ""},
};

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool isOneLine(const QString &text)
{
    return text.endsWith(QLatin1Char('\n')) && text.count(QLatin1Char('\n')) == 1;
}

} // namespace

class TestExportCsv : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writesTheList_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::newRow("German settings") << QStringLiteral("de_DE.UTF-8");
        QTest::newRow("English settings") << QStringLiteral("en_US.UTF-8");
        QTest::newRow("C") << QStringLiteral("C.UTF-8");
    }

    void writesTheList()
    {
        QFETCH(QString, locale);
        const testdb::Fixture fixture(Year);
        const QString out = fixture.dir() + QStringLiteral("/liste.csv");
        const ToolResult r = runTool({QStringLiteral("export-csv"), fixture.file(), QStringLiteral("--year"),
                                      QStringLiteral("2004"), out},
                                     {.workDir = fixture.dir(), .locale = locale});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QStringLiteral("3 Belege des Jahres 2004 in %1 geschrieben.\n").arg(out));

        const QByteArray bytes = contents(out);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF" "Nummer;Datum;Kunde;USt-IdNr.;Netto 22 %;"));
        QVERIFY(bytes.endsWith("Gutschrift;\r\n"));
        QCOMPARE(bytes.count("\r\n"), 4);
        QCOMPARE(bytes.count("\n"), 4);
        const CsvReadBack read = readCsvWithPython(out);
        QVERIFY2(read.problem.isEmpty(), qPrintable(read.problem));
        QCOMPARE(read.rows, YearRows);
        QCOMPARE(entries(fixture.dir()), (QStringList{"liste.csv", "rechungen.mdb"}));
    }

    void replacesAnExistingList()
    {
        const testdb::Fixture fixture(Year);
        const QString out = fixture.dir() + QStringLiteral("/liste.csv");
        QFile old(out);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
        old.close();
        const ToolResult r = runTool({QStringLiteral("export-csv"), fixture.file(), QStringLiteral("--year=2004"), out});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(!contents(out).contains('x'));
        QCOMPARE(readCsvWithPython(out).rows, YearRows);
    }

    void refuses_data()
    {
        QTest::addColumn<QString>("setUp"); // SQL on the file
        QTest::addColumn<QString>("year");
        QTest::addColumn<QString>("target"); // in the folder; "DB" the database itself
        QTest::addColumn<QString>("err");
        QTest::newRow("year not in the file")
            << QString() << QStringLiteral("1999") << QStringLiteral("liste.csv")
            << QStringLiteral("rechnung-db: Für das Jahr 1999 gibt es keine Rechnungen in der Datenbank.\n");
        QTest::newRow("not a year") << QString() << QStringLiteral("04") << QStringLiteral("liste.csv")
                                    << QStringLiteral("rechnung-db: '04' ist keine Jahreszahl zwischen 1900 und 2999.\n");
        QTest::newRow("folder missing") << QString() << QStringLiteral("2004") << QStringLiteral("fehlt/liste.csv")
                                        << QStringLiteral("ließ sich nicht schreiben: ");
        QTest::newRow("target is a folder") << QStringLiteral("") << QStringLiteral("2004") << QStringLiteral("ordner")
                                            << QStringLiteral("ließ sich nicht schreiben: ");
        QTest::newRow("the database itself") << QString() << QStringLiteral("2004") << QStringLiteral("DB")
                                             << QStringLiteral("Die CSV-Datei kann nicht die Datenbank selbst sein");
        QTest::newRow("a line that cannot be computed")
            << QStringLiteral("UPDATE rechnung2004 SET anzahl = 'drei' WHERE beschreibung = 'Lavendel';")
            << QStringLiteral("2004") << QStringLiteral("liste.csv")
            << QStringLiteral("rechnung-db: Nicht jede Rechnung lässt sich berechnen: Rechnung Nr. 2 vom 20.01.2004 "
                              "(Zeile 1: ");
    }

    // Nothing is written, and a list that was there stays as it was.
    void refuses()
    {
        QFETCH(QString, setUp);
        QFETCH(QString, year);
        QFETCH(QString, target);
        QFETCH(QString, err);
        const testdb::Fixture fixture(Year + setUp);
        QVERIFY(QDir(fixture.dir()).mkdir(QStringLiteral("ordner")));
        QFile old(fixture.dir() + QStringLiteral("/liste.csv"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("die alte Liste");
        old.close();
        const QStringList before = entries(fixture.dir());
        const QByteArray database = contents(fixture.file());

        const QString out = target == QLatin1String("DB") ? fixture.file() : fixture.dir() + QLatin1Char('/') + target;
        const ToolResult r = runTool({QStringLiteral("export-csv"), fixture.file(), QStringLiteral("--year"), year, out},
                                     {.workDir = fixture.dir()});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(isOneLine(r.err) && r.err.startsWith(QLatin1String("rechnung-db: ")), qPrintable(r.err));
        QVERIFY2(r.err.contains(err), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QCOMPARE(entries(fixture.dir()), before);
        QVERIFY(entries(fixture.dir() + QStringLiteral("/ordner")).isEmpty());
        QCOMPARE(contents(fixture.dir() + QStringLiteral("/liste.csv")), QByteArray("die alte Liste"));
        QCOMPARE(contents(fixture.file()), database);
    }

    void missingFile()
    {
        QTemporaryDir dir;
        const ToolResult r = runTool({QStringLiteral("export-csv"), dir.filePath(QStringLiteral("fehlt.mdb")),
                                      QStringLiteral("--year"), QStringLiteral("2004"), dir.filePath(QStringLiteral("liste.csv"))});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(QLatin1String("wurde nicht gefunden")), qPrintable(r.err));
        QCOMPARE(entries(dir.path()), QStringList());
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("without --year") << QStringList{"export-csv", "r.mdb", "liste.csv"};
        QTest::newRow("without target") << QStringList{"export-csv", "r.mdb", "--year", "2004"};
        QTest::newRow("empty target") << QStringList{"export-csv", "r.mdb", "--year", "2004", ""};
        QTest::newRow("without file") << QStringList{"export-csv", "--year", "2004"};
        QTest::newRow("three files") << QStringList{"export-csv", "r.mdb", "--year", "2004", "a.csv", "b.csv"};
        QTest::newRow("--year without value") << QStringList{"export-csv", "r.mdb", "liste.csv", "--year"};
        QTest::newRow("unknown option") << QStringList{"export-csv", "r.mdb", "--year", "2004", "--nr", "1", "liste.csv"};
    }

    void usageErrors()
    {
        QFETCH(QStringList, args);
        QTemporaryDir dir;
        const ToolResult r = runTool(args, {.workDir = dir.path()});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(isOneLine(r.err) && r.err.contains(QLatin1String("Aufruf: rechnung-db")), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QCOMPARE(entries(dir.path()), QStringList());
    }

    void help()
    {
        const ToolResult r = runTool({QStringLiteral("export-csv"), QStringLiteral("--help")});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QString());
        QVERIFY2(r.out.startsWith(QLatin1String("Aufruf: rechnung-db export-csv DATEI --year JAHR ZIEL\n")), qPrintable(r.out));
        QVERIFY2(r.out.contains(QRegularExpression(QStringLiteral("\\n  --year JAHR +das Jahr der Rechnungen\\n"))),
                 qPrintable(r.out));
        const ToolResult all = runTool({QStringLiteral("--help")});
        QVERIFY2(all.out.contains(QLatin1String(" | rechnung-db export-csv DATEI --year JAHR ZIEL | ")), qPrintable(all.out));
    }
};

QTEST_GUILESS_MAIN(TestExportCsv)
#include "tst_export_csv.moc"
