// "rechnung-db passport-report": the traceability list as the plant
// protection service asks for it, run as a script runs it, and read back by a
// CSV reader of its own.

#include "csvreader.h"
#include "plantdeliveries.h"
#include "testdb.h"
#include "tool.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QStringList Heading{"Datum", "Lieferschein", "Kunde", "MwSt.-Nr.", "Botanischer Name (A)",
                          "Rückverfolgbarkeitscode (C)", "Ursprung (D)", "Menge", "Einheit", "Rechnung"};
const QStringList AnnaOlive{"02.01.2004", "9", "Giardini Anna S.r.l.", "00000000109", "Olea europaea", "OL-2004-118",
                            "IT", "1", "Stk", ""};
const QStringList EdelweissOlive{"15.01.2004", "3", "Edelweiß GmbH", "ATU12345675", "Olea europaea", "OL-2004-118",
                                 "IT", "4", "Stk", ""};
const QStringList AnnaOlive2003{"30.12.2003", "40", "Giardini Anna S.r.l.", "00000000109", "Olea europaea 'Leccino'",
                                "OL-2003-7", "IT", "2", "Stk", "2003-12"};

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

class TestPassportReportTool : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writesTheList_data()
    {
        QTest::addColumn<QStringList>("search"); // the options besides --from and --to
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<QString>("said");
        // Anna's and Edelweiß's olives of the lot; Paul, a private customer,
        // and Garden Ltd outside the EU got some too, without a passport.
        QTest::newRow("a lot's code") << QStringList{"--code", "ol-2004-118"} << "01.01.2004" << "31.12.2004"
                                      << "de_DE.UTF-8" << QList<QStringList>{Heading, AnnaOlive, EdelweissOlive}
                                      << "2 Pflanzen-Positionen vom 01.01.2004 bis 31.12.2004";
        QTest::newRow("a species over New Year")
            << QStringList{"--name", "Olea  europaea"} << "01.12.2003" << "02.01.2004" << "en_US.UTF-8"
            << QList<QStringList>{Heading, AnnaOlive2003, AnnaOlive} << "2 Pflanzen-Positionen vom 01.12.2003 bis 02.01.2004";
        // The code that reads like a formula is guarded, the decimal comma kept.
        QTest::newRow("every plant of a day")
            << QStringList{} << "02.01.2004" << "02.01.2004" << "C.UTF-8"
            << QList<QStringList>{Heading, AnnaOlive,
                                  {"02.01.2004", "9", "Giardini Anna S.r.l.", "00000000109", "Lavandula angustifolia", "",
                                   "IT", "2,5", "Kiste", ""},
                                  {"02.01.2004", "10", "Giardini Anna S.r.l.", "00000000109", "Citrus limon", "'=1+1", "ES",
                                   "1", "Stk", ""}}
            << "3 Pflanzen-Positionen vom 02.01.2004 bis 02.01.2004";
        QTest::newRow("nothing found") << QStringList{"--code", "XX-1"} << "01.01.2004" << "31.12.2004" << "de_DE.UTF-8"
                                       << QList<QStringList>{Heading} << "0 Pflanzen-Positionen vom 01.01.2004 bis 31.12.2004";
    }

    void writesTheList()
    {
        QFETCH(QStringList, search);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, locale);
        QFETCH(QList<QStringList>, rows);
        QFETCH(QString, said);
        const testdb::Fixture fixture(QString::fromUtf8(deliveries::PlantDeliveries));
        const QString out = fixture.dir() + QStringLiteral("/nachweis.csv");
        const ToolResult r = runTool(QStringList{QStringLiteral("passport-report"), fixture.file(), QStringLiteral("--from"),
                                                 from, QStringLiteral("--to"), to}
                                         + search + QStringList{out},
                                     {.workDir = fixture.dir(), .locale = locale});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QStringLiteral("%1 in %2 geschrieben.\n").arg(said, out));
        const QByteArray bytes = contents(out);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF" "Datum;Lieferschein;Kunde;MwSt.-Nr.;Botanischer Name (A);"));
        QCOMPARE(bytes.count("\r\n"), rows.size());
        QCOMPARE(bytes.count("\n"), rows.size());
        const CsvReadBack read = readCsvWithPython(out);
        QVERIFY2(read.problem.isEmpty(), qPrintable(read.problem));
        QCOMPARE(read.rows, rows);
        QCOMPARE(entries(fixture.dir()), (QStringList{"nachweis.csv", "rechungen.mdb"}));
    }

    void refuses_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("target"); // in the folder; "DB" the database itself
        QTest::addColumn<QString>("err");
        QTest::newRow("no such day") << "30.02.2004" << "31.12.2004" << "nachweis.csv"
                                     << "rechnung-db: „30.02.2004“ ist als Beginn des Zeitraums kein gültiges Datum. "
                                        "Bitte im Format TT.MM.JJJJ eingeben, z. B. „01.03.2026“.\n";
        QTest::newRow("the end before the start")
            << "31.12.2004" << "01.01.2004" << "nachweis.csv"
            << "rechnung-db: Der Zeitraum endet am 01.01.2004 vor seinem Beginn am 31.12.2004. Bitte das Ende auf den "
               "Beginn oder einen späteren Tag legen.\n";
        QTest::newRow("folder missing") << "01.01.2004" << "31.12.2004" << "fehlt/nachweis.csv"
                                        << "ließ sich nicht schreiben: ";
        QTest::newRow("the database itself") << "01.01.2004" << "31.12.2004" << "DB"
                                             << "Die CSV-Datei kann nicht die Datenbank selbst sein";
    }

    // Nothing is written, and a list that was there stays as it was.
    void refuses()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, target);
        QFETCH(QString, err);
        const testdb::Fixture fixture(QString::fromUtf8(deliveries::PlantDeliveries));
        QFile old(fixture.dir() + QStringLiteral("/nachweis.csv"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("der alte Nachweis");
        old.close();
        const QStringList before = entries(fixture.dir());
        const QByteArray database = contents(fixture.file());

        const QString out = target == QLatin1String("DB") ? fixture.file() : fixture.dir() + QLatin1Char('/') + target;
        const ToolResult r = runTool({QStringLiteral("passport-report"), fixture.file(), QStringLiteral("--from"), from,
                                      QStringLiteral("--to"), to, out},
                                     {.workDir = fixture.dir()});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(isOneLine(r.err) && r.err.contains(err), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QCOMPARE(entries(fixture.dir()), before);
        QCOMPARE(contents(fixture.dir() + QStringLiteral("/nachweis.csv")), QByteArray("der alte Nachweis"));
        QCOMPARE(contents(fixture.file()), database);
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("err");
        QTest::newRow("without --from") << QStringList{"passport-report", "r.mdb", "--to", "31.12.2004", "n.csv"}
                                        << "Beim Befehl passport-report fehlt --from";
        QTest::newRow("without --to") << QStringList{"passport-report", "r.mdb", "--from", "01.01.2004", "n.csv"}
                                      << "Beim Befehl passport-report fehlt --to";
        QTest::newRow("name and code") << QStringList{"passport-report", "r.mdb", "--from", "01.01.2004", "--to",
                                                      "31.12.2004", "--name", "Olea", "--code", "OL-1", "n.csv"}
                                       << "entweder --name oder --code, nicht beide";
        QTest::newRow("without target") << QStringList{"passport-report", "r.mdb", "--from", "01.01.2004", "--to", "31.12.2004"}
                                        << "fehlt die Zieldatei";
        QTest::newRow("--code without value") << QStringList{"passport-report", "r.mdb", "--from", "01.01.2004", "--to",
                                                             "31.12.2004", "n.csv", "--code"}
                                              << "Aufruf: rechnung-db";
    }

    void usageErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, err);
        QTemporaryDir dir;
        const ToolResult r = runTool(args, {.workDir = dir.path()});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(isOneLine(r.err) && r.err.contains(err) && r.err.contains(QLatin1String("Aufruf: rechnung-db")),
                 qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QCOMPARE(entries(dir.path()), QStringList());
    }

    void help()
    {
        const QString synopsis = QStringLiteral("rechnung-db passport-report DATEI --from DATUM --to DATUM "
                                                "[--name TEXT | --code TEXT] ZIEL");
        const ToolResult r = runTool({QStringLiteral("passport-report"), QStringLiteral("--help")});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QString());
        QVERIFY2(r.out.startsWith(QStringLiteral("Aufruf: ") + synopsis + QLatin1Char('\n')), qPrintable(r.out));
        const ToolResult all = runTool({QStringLiteral("--help")});
        QVERIFY2(all.out.contains(QStringLiteral(" | ") + synopsis + QStringLiteral(" | ")), qPrintable(all.out));
    }
};

QTEST_GUILESS_MAIN(TestPassportReportTool)
#include "tst_passport_report.moc"
