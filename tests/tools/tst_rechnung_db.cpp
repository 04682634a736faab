// Runs the rechnung-db tool as a separate program, the way a user or a
// benchmark script would, and checks the files it leaves behind.

#include "errorof.h"
#include "testdb.h"
#include "tool.h"
#include "xmllint.h"

#include "data/amount.h"
#include "data/businesstexts.h"
#include "data/deliverynote.h"
#include "data/plantpassport.h"
#include "data/sqlitedatabase.h"
#include "data/errors.h"
#include "data/lineamount.h"
#include "einvoice/checks.h"
#include "einvoice/exportrecord.h"
#include "einvoice/store.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <QRandomGenerator>
#include <QRegularExpression>

#include <csignal>
#include <unistd.h>

namespace {

// One row for each file the tool made at the start: create, demo, generate.
void eachMadeFile()
{
    QTest::addColumn<int>("which");
    QTest::newRow("create") << 0;
    QTest::newRow("demo") << 1;
    QTest::newRow("generate") << 2;
}

bool isOneLine(const QString &text)
{
    return text.endsWith(QLatin1Char('\n')) && text.count(QLatin1Char('\n')) == 1;
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

long long count(const QString &file, const QString &sql)
{
    return testdb::scalar(file, sql).toLongLong();
}

// Every row of a table as text, to compare two databases by content.
QString dump(const QString &file, const QString &table)
{
    const QString columns = testdb::scalar(
        file, QStringLiteral("SELECT group_concat('quote(' || name || ')', ' || '','' || ') "
                             "FROM (SELECT name FROM pragma_table_info('%1') ORDER BY cid)")
                  .arg(table));
    return testdb::scalar(file, QStringLiteral("SELECT group_concat(r, char(10)) FROM "
                                               "(SELECT %1 AS r FROM %2 ORDER BY id)")
                                    .arg(columns, table));
}

struct Year
{
    const char *label;
    const char *headers;
    const char *lines;
    const char *deliveryNotes;
    const char *deliveryLines;
};

const Year years[] = {
    {"2004", "rechnungsdaten2004", "rechnung2004", "lieferscheine2004", "lieferschein2004"},
    {"2003", "rechnungsdaten2003", "rechnung2003", "lieferscheine2003", "lieferschein2003"},
    {"2002", "rechnungsdaten", "rechnung", "lieferscheine", "lieferschein"},
};

// The year a new user starts on: the demo makes its tables, with invoices in it.
QString thisYear() { return QString::number(QDate::currentDate().year()); }
bool thisYearIsClassic() { return QDate::currentDate().year() >= 2002 && QDate::currentDate().year() <= 2004; }

const char *const allTables[] = {"kunde", "rechnungsdaten2004", "rechnung2004", "rechnungsdaten2003",
                                 "rechnung2003", "rechnungsdaten", "rechnung", "lieferscheine2004", "lieferschein2004",
                                 "lieferscheine2003", "lieferschein2003", "lieferscheine", "lieferschein"};

const char *const firmaColumns =
    "id INTEGER pk, name VARCHAR(80), inhaber VARCHAR(80), strasse VARCHAR(60), cap VARCHAR(5), ort VARCHAR(60), "
    "provinz VARCHAR(2), land VARCHAR(2), ust_land VARCHAR(2), ust_nr VARCHAR(28), steuernummer VARCHAR(16), "
    "steuerregime VARCHAR(4), telefon VARCHAR(50), email VARCHAR(256), bank VARCHAR(80), iban VARCHAR(42), "
    "bic VARCHAR(11), zahlungszeile VARCHAR(100), naechste_uebertragung VARCHAR(5), logo BLOB, ruop_nr VARCHAR(20), "
    "standort VARCHAR(20)";
const char *const kundeEFatturaColumns =
    "kunde_id INTEGER pk, person INTEGER, vorname VARCHAR(60), nachname VARCHAR(60), ust_land VARCHAR(2), "
    "ust_nr VARCHAR(28), steuernummer VARCHAR(16), empfaengercode VARCHAR(7), pec VARCHAR(256), "
    "strasse VARCHAR(60), hausnummer VARCHAR(8), cap VARCHAR(5), ort VARCHAR(60), provinz VARCHAR(2), "
    "land VARCHAR(2), kundenart VARCHAR(10)";

const char *const headerColumns =
    "id INTEGER pk, nr VARCHAR(50), datum VARCHAR(50), bezahlung VARCHAR(50), "
    "kundennummer VARCHAR(50), bestimmungsort VARCHAR(50), dokumentart VARCHAR(4), bezug_nr VARCHAR(50), "
    "bezug_datum VARCHAR(50), faellig VARCHAR(50), bezahlt_am VARCHAR(50)";
const char *const lineColumns =
    "id INTEGER pk, rechnungsnummer VARCHAR(50), beschreibung VARCHAR(50), anzahl VARCHAR(50), "
    "einzelpreis VARCHAR(50), summe VARCHAR(50), steuersatz VARCHAR(2), natura VARCHAR(4), pos DOUBLE PRECISION, "
    "lieferschein_nr VARCHAR(50), lieferschein_datum VARCHAR(50)";
const char *const deliveryNoteColumns =
    "id INTEGER pk, nr VARCHAR(50), datum VARCHAR(50), kundennummer VARCHAR(50), bestimmungsort VARCHAR(50), "
    "transport VARCHAR(50), grund VARCHAR(50), colli VARCHAR(50), rechnung_nr VARCHAR(50)";
const char *const deliveryLineColumns =
    "id INTEGER pk, lieferscheinnummer VARCHAR(50), pos DOUBLE PRECISION, beschreibung VARCHAR(50), anzahl VARCHAR(50), "
    "einheit VARCHAR(50), einzelpreis VARCHAR(50), steuersatz VARCHAR(2), botanischer_name VARCHAR(100), "
    "rueckverfolgung VARCHAR(50), ursprung VARCHAR(50)";

// The regional settings of a user of the demo: decimal comma.
const QString GermanLocale = QStringLiteral("de_DE.UTF-8");

QString storedNumber(const QString &file)
{
    return testdb::scalar(file, QStringLiteral("SELECT naechste_uebertragung FROM firma"));
}

// The texts of the elements of that name, in document order.
QStringList elementTexts(const QString &file, const QString &name)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {QStringLiteral("not readable: ") + file};
    QXmlStreamReader r(&f);
    QStringList out;
    while (!r.atEnd()) {
        if (r.readNext() == QXmlStreamReader::StartElement && r.name() == name)
            out << r.readElementText();
    }
    return out;
}

// The printed invoice's three totals of a stored invoice, as its report sums
// them, with the dot the e-invoice writes.
QStringList printedTotals(const QString &file, const QString &lineTable, const QString &nr)
{
    const Separators typedIn{QLatin1Char(','), QLatin1Char('.')};
    const QString rows = testdb::scalar(file, QStringLiteral("SELECT group_concat(coalesce(einzelpreis, '') || '|' || "
                                                             "coalesce(anzahl, ''), char(10)) FROM (SELECT * FROM %1 "
                                                             "WHERE rechnungsnummer = '%2' ORDER BY id)")
                                                  .arg(lineTable, nr));
    QList<TotalsLine> lines;
    for (const QString &row : rows.split(QLatin1Char('\n')))
        lines.append({lineAmount(row.section(QLatin1Char('|'), 0, 0), row.section(QLatin1Char('|'), 1), typedIn).value_or(Money()),
                      StandardRate});
    const InvoiceTotals totals = invoiceTotals(lines);
    QStringList out;
    for (const Money value : {totals.net, totals.tax, totals.gross})
        out << moneyWithDot(value);
    return out;
}

// Rows whose unit price is not digits with at most one decimal comma and
// at most two decimals after it.
QString badPriceCondition()
{
    return QStringLiteral("einzelpreis IS NULL OR einzelpreis = '' OR einzelpreis GLOB '*[^0-9,]*' "
                          "OR einzelpreis GLOB '*,*,*' OR einzelpreis GLOB ',*' OR einzelpreis GLOB '*,' "
                          "OR einzelpreis GLOB '*,[0-9][0-9][0-9]*'");
}

} // namespace

class TstRechnungDb : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_created, m_demo, m_generated;
    ToolResult m_createRun, m_demoRun, m_generateRun;

    QString file(const QString &name) const { return m_dir.filePath(name); }
    // 0, 1, 2: the databases made by create, demo and generate at the start.
    const QString &made(int which) const { return which == 0 ? m_created : which == 1 ? m_demo : m_generated; }
    const ToolResult &run(int which) const { return which == 0 ? m_createRun : which == 1 ? m_demoRun : m_generateRun; }

private Q_SLOTS:
    void aUriLikeNameIsAFileName()
    {
        // SQLite reads "file:..." as a URI; the tool must make the file it was
        // named and never write into other.db.
        QTemporaryDir dir;
        const QString other = dir.filePath(QStringLiteral("other.db"));
        testdb::exec(other, QStringLiteral("CREATE TABLE notes (x)"));
        const ToolResult r = runTool({QStringLiteral("demo"), QStringLiteral("file:other.db")}, {.workDir = dir.path()});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(testdb::scalar(other, QStringLiteral("SELECT group_concat(name) FROM sqlite_master")), QStringLiteral("notes"));
        QVERIFY(count(dir.filePath(QStringLiteral("file:other.db")), QStringLiteral("SELECT count(*) FROM kunde")) >= 8);
    }

    void anInterruptedRunLeavesNothingBehind()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("gross.mdb"));
        QProcess p;
        p.start(QStringLiteral(RECHNUNG_DB_TOOL), {QStringLiteral("generate"), target, QStringLiteral("--customers"), QStringLiteral("1000"),
                                                   QStringLiteral("--headers"), QStringLiteral("10000"), QStringLiteral("--lines"),
                                                   QStringLiteral("50000000")});
        QVERIFY(p.waitForStarted());
        // The run is under way: its file is being built under a name of its own.
        QTRY_VERIFY_WITH_TIMEOUT(!entries(dir.path()).isEmpty(), 10000);
        QVERIFY(!QFile::exists(target));
        QTest::qWait(300);
        QCOMPARE(p.state(), QProcess::Running);
        p.terminate(); // SIGTERM, as a kill or a closed terminal sends
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(entries(dir.path()), QStringList());
        // So the next run can make the file.
        QCOMPARE(runTool({QStringLiteral("create"), target}).exitCode, 0);
    }

    // SIGKILL reaches no handler. Whenever it comes, the folder ends up
    // either empty or with the complete file, and a new run can make it.
    void killedRunLeavesNothingBehind()
    {
        const QStringList size{QStringLiteral("--customers"), QStringLiteral("2000"), QStringLiteral("--headers"),
                               QStringLiteral("20000"), QStringLiteral("--lines"), QStringLiteral("400000")};
        // How long a whole run takes here, so that the kills fall inside it.
        QTemporaryDir timing;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(runTool(QStringList{QStringLiteral("generate"), timing.filePath(QStringLiteral("t.mdb"))} + size).exitCode, 0);
        const int runMs = int(qMax<qint64>(clock.elapsed(), 50));

        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("kill moments from seed %u over a run of %d ms", seed, runMs);
        QRandomGenerator random(seed);
        int completed = 0;
        for (int round = 0; round < 10; ++round) {
            QTemporaryDir dir;
            const QString target = dir.filePath(QStringLiteral("gross.mdb"));
            QProcess p;
            p.start(QStringLiteral(RECHNUNG_DB_TOOL), QStringList{QStringLiteral("generate"), target} + size);
            QVERIFY(p.waitForStarted());
            QTest::qWait(int(random.bounded(runMs)));
            // Only while it runs: the number of a finished process is 0,
            // and kill(0) would hit this test's own process group.
            if (p.state() == QProcess::Running && p.processId() > 0)
                ::kill(pid_t(p.processId()), SIGKILL);
            // waitForFinished() is false for a process already seen to end
            // (it may have finished on its own during the wait above).
            QVERIFY(p.state() == QProcess::NotRunning || p.waitForFinished(20000));
            // The watcher that removes the half-made file outlives the tool
            // by a moment.
            QTRY_VERIFY_WITH_TIMEOUT(entries(dir.path()).isEmpty() || entries(dir.path()) == QStringList{QStringLiteral("gross.mdb")},
                                     10000);
            if (QFile::exists(target)) {
                // Killed after the file was in place: it is whole.
                ++completed;
                QCOMPARE(testdb::scalar(target, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
                QCOMPARE(count(target, QStringLiteral("SELECT count(*) FROM rechnung2004")), 400000LL);
                QVERIFY(QFile::remove(target));
            }
            const ToolResult again = runTool({QStringLiteral("create"), target});
            QCOMPARE(again.err, QString());
            QCOMPARE(again.exitCode, 0);
            QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("gross.mdb")});
        }
        qInfo("%d of 10 runs had finished when the kill came", completed);
    }

    void backupCopiesAndChecks()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("sicherung.mdb"));
        const ToolResult r = runTool({QStringLiteral("backup"), m_demo, target});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        QVERIFY(isOneLine(r.out));
        for (const char *table : allTables)
            QCOMPARE(dump(target, QLatin1String(table)), dump(m_demo, QLatin1String(table)));
        QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("sicherung.mdb")});

        const ToolResult check = runTool({QStringLiteral("check"), target});
        QCOMPARE(check.err, QString());
        QCOMPARE(check.exitCode, 0);
        QVERIFY(isOneLine(check.out));
    }

    void backupRefuses_data()
    {
        QTest::addColumn<QString>("source"); // "demo", "missing", "text"
        QTest::addColumn<QString>("target"); // "new", "existing", "missing folder"
        QTest::newRow("existing target") << QStringLiteral("demo") << QStringLiteral("existing");
        QTest::newRow("target in a missing folder") << QStringLiteral("demo") << QStringLiteral("missing folder");
        QTest::newRow("missing source") << QStringLiteral("missing") << QStringLiteral("new");
        QTest::newRow("source not a database") << QStringLiteral("text") << QStringLiteral("new");
    }

    void backupRefuses()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QTemporaryDir dir;
        QString from = m_demo;
        if (source == QLatin1String("missing")) {
            from = dir.filePath(QStringLiteral("fehlt.mdb"));
        } else if (source == QLatin1String("text")) {
            from = dir.filePath(QStringLiteral("text.mdb"));
            QFile f(from);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(2048, 'x'));
        }
        QString to = dir.filePath(QStringLiteral("sicherung.mdb"));
        if (target == QLatin1String("missing folder")) {
            to = dir.filePath(QStringLiteral("fehlt/sicherung.mdb"));
        } else if (target == QLatin1String("existing")) {
            QFile f(to);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("Wichtige Daten\n");
        }
        const QStringList before = entries(dir.path());
        const ToolResult r = runTool({QStringLiteral("backup"), from, to});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(isOneLine(r.err), qPrintable(r.err));
        QVERIFY2(r.err.startsWith(QLatin1String("rechnung-db: ")), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QCOMPARE(entries(dir.path()), before);
        if (target == QLatin1String("existing")) {
            QFile f(to);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("Wichtige Daten\n"));
        }
    }

    void checkFindsDamage_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("intact") << QStringLiteral("intact") << 0;
        QTest::newRow("damaged") << QStringLiteral("damaged") << 1;
        QTest::newRow("text file") << QStringLiteral("text") << 1;
        QTest::newRow("missing") << QStringLiteral("missing") << 1;
    }

    void checkFindsDamage()
    {
        QFETCH(QString, kind);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        const QString f = dir.filePath(QStringLiteral("pruefen.mdb"));
        if (kind == QLatin1String("intact") || kind == QLatin1String("damaged")) {
            QVERIFY(QFile::copy(m_demo, f));
            if (kind == QLatin1String("damaged")) {
                QFile file(f);
                QVERIFY(file.open(QIODevice::ReadWrite));
                // Past the file header, over the pages of the tables.
                file.seek(4096);
                file.write(QByteArray(int(file.size()) - 8192, '\x5a'));
            }
        } else if (kind == QLatin1String("text")) {
            QFile file(f);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(2048, 'x'));
        }
        const ToolResult r = runTool({QStringLiteral("check"), f});
        QCOMPARE(r.exitCode, exitCode);
        if (exitCode == 0) {
            QCOMPARE(r.err, QString());
            QVERIFY(isOneLine(r.out));
        } else {
            QCOMPARE(r.out, QString());
            QVERIFY2(isOneLine(r.err), qPrintable(r.err));
            QVERIFY2(r.err.startsWith(QLatin1String("rechnung-db: ")), qPrintable(r.err));
            QVERIFY2(r.err.contains(f), qPrintable(r.err));
        }
    }

    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_created = file(QStringLiteral("leer.mdb"));
        m_demo = file(QStringLiteral("rechungen.mdb"));
        m_generated = file(QStringLiteral("gross.mdb"));
        m_createRun = runTool({QStringLiteral("create"), m_created});
        m_demoRun = runTool({QStringLiteral("demo"), m_demo});
        m_generateRun = runTool({QStringLiteral("generate"), m_generated, QStringLiteral("--customers"),
                                 QStringLiteral("7"), QStringLiteral("--headers"), QStringLiteral("25"),
                                 QStringLiteral("--lines"), QStringLiteral("100")});
        QCOMPARE(m_createRun.err, QString());
        QCOMPARE(m_demoRun.err, QString());
        QCOMPARE(m_generateRun.err, QString());
    }

    void successReport_data() { eachMadeFile(); }

    void successReport()
    {
        QFETCH(int, which);
        const ToolResult &r = run(which);
        const QString &f = made(which);
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(isOneLine(r.out), qPrintable(r.out));
        QVERIFY2(r.out.contains(f), qPrintable(r.out));
        QCOMPARE(r.err, QString());
        // The rollback journal of a finished database is gone, and the
        // database is left in the default journal mode for the program.
        QVERIFY(!QFile::exists(f + QStringLiteral("-journal")));
        QCOMPARE(testdb::scalar(f, QStringLiteral("PRAGMA journal_mode")), QStringLiteral("delete"));
        QCOMPARE(testdb::scalar(f, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    }

    void tableColumns_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("columns");
        const QString customer = QStringLiteral(
            "id INTEGER pk, name VARCHAR(50), adresse TEXT, telefon VARCHAR(50), piva VARCHAR(50), "
            "ansprache VARCHAR(50), kundennr VARCHAR(50), name2 VARCHAR(50)");
        const char *const names[] = {"create", "demo", "generate"};
        for (int which = 0; which < 3; ++which) {
            QTest::addRow("%s kunde", names[which]) << which << QStringLiteral("kunde") << customer;
            for (const Year &y : years) {
                QTest::addRow("%s %s", names[which], y.headers)
                    << which << QString::fromLatin1(y.headers) << QString::fromLatin1(headerColumns);
                QTest::addRow("%s %s", names[which], y.lines)
                    << which << QString::fromLatin1(y.lines) << QString::fromLatin1(lineColumns);
                QTest::addRow("%s %s", names[which], y.deliveryNotes)
                    << which << QString::fromLatin1(y.deliveryNotes) << QString::fromLatin1(deliveryNoteColumns);
                QTest::addRow("%s %s", names[which], y.deliveryLines)
                    << which << QString::fromLatin1(y.deliveryLines) << QString::fromLatin1(deliveryLineColumns);
            }
            QTest::addRow("%s firma", names[which]) << which << QStringLiteral("firma") << QString::fromLatin1(firmaColumns);
            QTest::addRow("%s kunde_efattura", names[which])
                << which << QStringLiteral("kunde_efattura") << QString::fromLatin1(kundeEFatturaColumns);
        }
    }

    void tableColumns()
    {
        QFETCH(int, which);
        QFETCH(QString, table);
        QFETCH(QString, columns);
        const QString &f = made(which);
        const QString actual = testdb::scalar(
            f, QStringLiteral("SELECT group_concat(c, ', ') FROM (SELECT name || ' ' || type || "
                              "CASE WHEN pk THEN ' pk' ELSE '' END AS c FROM pragma_table_info('%1') ORDER BY cid)")
                   .arg(table));
        QCOMPARE(actual, columns);
    }

    void onlyTheSchemasTables_data() { eachMadeFile(); }

    void onlyTheSchemasTables()
    {
        QFETCH(int, which);
        const QString &f = made(which);
        // The classic tables with their delivery notes, the two of the
        // e-invoice, the number format and the record of exports; the demo
        // adds this year's four.
        const long long expected = which == 1 && !thisYearIsClassic() ? 21 : 17;
        QCOMPARE(count(f, QStringLiteral("SELECT count(*) FROM sqlite_master "
                                         "WHERE type = 'table' AND name NOT LIKE 'sqlite_%'")),
                 expected);
    }

    void createLeavesTablesEmpty()
    {
        for (const char *table : allTables)
            QCOMPARE(count(m_created, QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(table))), 0LL);
        QCOMPARE(count(m_created, QStringLiteral("SELECT count(*) FROM kunde_efattura")), 0LL);
        // The business row is there, empty, for the program to fill in.
        QCOMPARE(count(m_created, QStringLiteral("SELECT count(*) FROM firma")), 1LL);
        QCOMPARE(count(m_created, QStringLiteral("SELECT count(*) FROM firma WHERE name IS NULL AND ust_nr IS NULL "
                                                 "AND land = 'IT' AND steuerregime = 'RF01' "
                                                 "AND naechste_uebertragung = '00001'")),
                 1LL);
    }

    // ---- demo data ------------------------------------------------------

    void demoReportMatchesContent()
    {
        const long long customers = count(m_demo, QStringLiteral("SELECT count(*) FROM kunde"));
        long long headers = 0, lines = 0;
        QStringList headerTables, lineTables;
        for (const Year &y : years) {
            headerTables << QLatin1String(y.headers);
            lineTables << QLatin1String(y.lines);
        }
        if (!thisYearIsClassic()) {
            headerTables << QStringLiteral("rechnungsdaten") + thisYear();
            lineTables << QStringLiteral("rechnung") + thisYear();
        }
        for (const QString &t : headerTables)
            headers += count(m_demo, QStringLiteral("SELECT count(*) FROM %1").arg(t));
        for (const QString &t : lineTables)
            lines += count(m_demo, QStringLiteral("SELECT count(*) FROM %1").arg(t));
        QVERIFY2(customers >= 8, qPrintable(QString::number(customers)));
        const QString expected = QStringLiteral("%1 Kunden, %2 Rechnungen, %3 Positionen").arg(customers).arg(headers).arg(lines);
        QVERIFY2(m_demoRun.out.contains(expected), qPrintable(m_demoRun.out + QStringLiteral(" / ") + expected));
    }

    void demoExactlyOneCustomerWithoutInvoices()
    {
        const QString noInvoiceAtAll = QStringLiteral(
            "SELECT count(*) FROM kunde k WHERE "
            "NOT EXISTS (SELECT 1 FROM rechnungsdaten2004 h WHERE h.kundennummer = CAST(k.id AS TEXT)) AND "
            "NOT EXISTS (SELECT 1 FROM rechnungsdaten2003 h WHERE h.kundennummer = CAST(k.id AS TEXT)) AND "
            "NOT EXISTS (SELECT 1 FROM rechnungsdaten h WHERE h.kundennummer = CAST(k.id AS TEXT))%1")
            .arg(thisYearIsClassic() ? QString()
                                     : QStringLiteral(" AND NOT EXISTS (SELECT 1 FROM rechnungsdaten%1 h WHERE "
                                                      "h.kundennummer = CAST(k.id AS TEXT))")
                                           .arg(QDate::currentDate().year()));
        QCOMPARE(count(m_demo, noInvoiceAtAll), 1LL);
        const QString no2004Invoice = QStringLiteral(
            "SELECT count(*) FROM kunde k WHERE "
            "NOT EXISTS (SELECT 1 FROM rechnungsdaten2004 h WHERE h.kundennummer = CAST(k.id AS TEXT))");
        // That one, and the business abroad, which buys only this year.
        QCOMPARE(count(m_demo, no2004Invoice), 2LL);
    }

    void demoYear_data()
    {
        QTest::addColumn<QString>("headers");
        QTest::addColumn<QString>("lines");
        for (const Year &y : years)
            QTest::newRow(y.label) << QString::fromLatin1(y.headers) << QString::fromLatin1(y.lines);
        if (!thisYearIsClassic())
            QTest::newRow("this year") << QStringLiteral("rechnungsdaten") + thisYear() << QStringLiteral("rechnung") + thisYear();
    }

    void demoThisYearIsDatedInIt()
    {
        if (thisYearIsClassic())
            QSKIP("this year is one of the classic years");
        const QString headers = QStringLiteral("rechnungsdaten") + thisYear();
        QCOMPARE(count(m_demo, QStringLiteral("SELECT count(*) FROM %1 WHERE datum NOT LIKE '%.%.%2'").arg(headers, thisYear())), 0LL);
        // Made like the classic years' tables.
        const QString columns = QStringLiteral("SELECT group_concat(name || ' ' || type || ' ' || pk) FROM pragma_table_info('%1')");
        QCOMPARE(testdb::scalar(m_demo, columns.arg(headers)), testdb::scalar(m_demo, columns.arg(QStringLiteral("rechnungsdaten2004"))));
    }

    // Every year gets its indexes, whichever command made it; check --fix
    // adds them to a file made without them.
    void yearIndexes_data()
    {
        QTest::addColumn<QStringList>("command"); // after "create FILE", FILE standing for the file
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("indexedTables");
        const QString classic = QStringLiteral("rechnung rechnung2003 rechnung2004 rechnungsdaten rechnungsdaten2003 "
                                               "rechnungsdaten2004");
        QTest::newRow("create") << QStringList{} << QString() << classic;
        QTest::newRow("add-year") << QStringList{"add-year", "FILE", "2027"} << "Tabellen für das Jahr 2027"
                                  << classic + QStringLiteral(" rechnung2027 rechnungsdaten2027");
        QTest::newRow("check --fix") << QStringList{"check", "--fix", "FILE"}
                                     << "Indizes angelegt: idx_rechnungsdaten2004_nr, idx_rechnungsdaten2004_kundennummer, "
                                        "idx_rechnung2004_rechnungsnummer, idx_rechnungsdaten2003_nr" << classic;
        QTest::newRow("check --fix with nothing missing") << QStringList{"check", "FILE", "--fix"} << "Es fehlt kein Index."
                                                          << classic;
    }

    void yearIndexes()
    {
        QFETCH(QStringList, command);
        QFETCH(QString, said);
        QFETCH(QString, indexedTables);
        QTemporaryDir dir;
        const QString f = dir.filePath(QStringLiteral("r.mdb"));
        QCOMPARE(runTool({QStringLiteral("create"), f}).exitCode, 0);
        if (QTest::currentDataTag() == QLatin1String("check --fix"))
            testdb::exec(f, QStringLiteral("DROP INDEX idx_rechnungsdaten2004_nr; DROP INDEX idx_rechnungsdaten2004_kundennummer; "
                                           "DROP INDEX idx_rechnung2004_rechnungsnummer; DROP INDEX idx_rechnungsdaten2003_nr;"));
        if (!command.isEmpty()) {
            command.replace(command.indexOf(QStringLiteral("FILE")), f);
            const ToolResult r = runTool(command);
            QCOMPARE(r.err, QString());
            QCOMPARE(r.exitCode, 0);
            QVERIFY2(r.out.contains(said), qPrintable(r.out));
        }
        // Each invoice table has its indexes, on the columns they are named
        // after (the delivery note tables' are checked with the notes).
        const QString perTable = QStringLiteral(
            "SELECT group_concat(t, ' ') FROM (SELECT m.tbl_name || ':' || group_concat(c.name, ',') AS t FROM "
            "(SELECT * FROM sqlite_master WHERE type = 'index' AND tbl_name LIKE 'rechnung%' ORDER BY name) m, "
            "pragma_index_info(m.name) c "
            "WHERE m.name = 'idx_' || m.tbl_name || '_' || c.name GROUP BY m.tbl_name ORDER BY m.tbl_name)");
        QStringList tables = indexedTables.split(QLatin1Char(' '));
        tables.sort(); // as the query orders them
        QStringList expected;
        for (const QString &table : std::as_const(tables))
            expected << table + (table.startsWith(QLatin1String("rechnungsdaten")) ? QStringLiteral(":kundennummer,nr")
                                                                                    : QStringLiteral(":rechnungsnummer"));
        QCOMPARE(testdb::scalar(f, perTable), expected.join(QLatin1Char(' ')));
    }

    void addYear_data()
    {
        QTest::addColumn<QStringList>("args"); // after "add-year FILE"
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("err");
        QTest::newRow("2027") << QStringList{QStringLiteral("2027")} << false << 0 << QString();
        QTest::newRow("existing year") << QStringList{QStringLiteral("2003")} << false << 1
                                       << "rechnung-db: Für das Jahr 2003 gibt es schon Tabellen.\n";
        QTest::newRow("not a year") << QStringList{QStringLiteral("20x7")} << false << 1
                                    << "rechnung-db: '20x7' ist keine Jahreszahl zwischen 1900 und 2999.\n";
        QTest::newRow("1899") << QStringList{QStringLiteral("1899")} << false << 1
                              << "rechnung-db: '1899' ist keine Jahreszahl zwischen 1900 und 2999.\n";
        QTest::newRow("no year") << QStringList{} << false << 2 << "Beim Befehl add-year fehlt das Jahr";
        QTest::newRow("read-only file") << QStringList{QStringLiteral("2027")} << true << 1 << "schreibgeschützt";
    }

    void addYear()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, readOnly);
        QFETCH(int, exitCode);
        QFETCH(QString, err);
        QTemporaryDir dir;
        const QString f = dir.filePath(QStringLiteral("r.mdb"));
        QCOMPARE(runTool({QStringLiteral("create"), f}).exitCode, 0);
        const QString tablesBefore = testdb::scalar(f, QStringLiteral("SELECT group_concat(name) FROM sqlite_master"));
        QStringList command = QStringList{QStringLiteral("add-year"), f} + args;
        QString program = QStringLiteral(RECHNUNG_DB_TOOL);
        if (readOnly) {
            QFile::setPermissions(f, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
            // Root may write any file: the tool then runs as nobody, as a user would.
            if (::geteuid() == 0) {
                QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                                      | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup);
                command = QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups"),
                                      program} + command;
                program = QStringLiteral("setpriv");
            }
        }
        const ToolResult r = runTool(command, {.program = program});
        QCOMPARE(r.exitCode, exitCode);
        if (exitCode == 0) {
            QCOMPARE(r.err, QString());
            QVERIFY2(isOneLine(r.out), qPrintable(r.out));
            const QString columns = QStringLiteral("SELECT group_concat(name || ' ' || type || ' ' || pk) FROM pragma_table_info('%1')");
            QCOMPARE(testdb::scalar(f, columns.arg(QStringLiteral("rechnungsdaten2027"))),
                     testdb::scalar(f, columns.arg(QStringLiteral("rechnungsdaten2004"))));
            QCOMPARE(testdb::scalar(f, columns.arg(QStringLiteral("rechnung2027"))),
                     testdb::scalar(f, columns.arg(QStringLiteral("rechnung2004"))));
        } else {
            QVERIFY2(r.err.contains(err), qPrintable(r.err));
            QCOMPARE(testdb::scalar(f, QStringLiteral("SELECT group_concat(name) FROM sqlite_master")), tablesBefore);
        }
    }

    void demoYear()
    {
        QFETCH(QString, headers);
        QFETCH(QString, lines);
        QVERIFY(count(m_demo, QStringLiteral("SELECT count(*) FROM %1").arg(headers)) >= 2);
        // A header is found through its customer's id written as decimal text.
        QCOMPARE(count(m_demo, QStringLiteral("SELECT count(*) FROM %1 h WHERE NOT EXISTS "
                                              "(SELECT 1 FROM kunde k WHERE CAST(k.id AS TEXT) = h.kundennummer)")
                                   .arg(headers)),
                 0LL);
        QCOMPARE(count(m_demo, QStringLiteral("SELECT count(*) - count(DISTINCT nr) FROM %1").arg(headers)), 0LL);
        QCOMPARE(count(m_demo, QStringLiteral("SELECT count(*) FROM %1 l WHERE NOT EXISTS "
                                              "(SELECT 1 FROM %2 h WHERE h.nr = l.rechnungsnummer)")
                                   .arg(lines, headers)),
                 0LL);
        QCOMPARE(count(m_demo, QStringLiteral("SELECT count(*) FROM %1 h WHERE NOT EXISTS "
                                              "(SELECT 1 FROM %2 l WHERE h.nr = l.rechnungsnummer)")
                                   .arg(headers, lines)),
                 0LL);
        QCOMPARE(count(m_demo, QStringLiteral("SELECT count(*) FROM %1 WHERE %2").arg(lines, badPriceCondition())), 0LL);
        QCOMPARE(count(m_demo, QStringLiteral("SELECT count(*) FROM %1 WHERE summe IS NOT NULL").arg(lines)), 0LL);
        QCOMPARE(count(m_demo, QStringLiteral("SELECT count(*) FROM %1 WHERE beschreibung IS NULL OR beschreibung = ''")
                                   .arg(lines)),
                 0LL);
    }

    void demoPricesUseDecimalComma()
    {
        QVERIFY(count(m_demo, QStringLiteral("SELECT count(*) FROM rechnung2004 WHERE einzelpreis = '2,50'")) > 0);
        QVERIFY(count(m_demo, QStringLiteral("SELECT count(*) FROM rechnung2004 WHERE einzelpreis = '14,90'")) > 0);
        // Whole euros written without decimals occur too.
        QVERIFY(count(m_demo, QStringLiteral("SELECT count(*) FROM rechnung2004 WHERE einzelpreis NOT LIKE '%,%'")) > 0);
    }

    void demoInvoiceWithMoreThanThirtyLines()
    {
        QVERIFY(count(m_demo, QStringLiteral("SELECT max(n) FROM (SELECT count(*) AS n FROM rechnung2004 "
                                             "GROUP BY rechnungsnummer)"))
                > 30);
    }

    void demoLineWithoutQuantity()
    {
        QVERIFY(count(m_demo, QStringLiteral("SELECT count(*) FROM rechnung2004 WHERE anzahl IS NULL OR anzahl = ''")) >= 1);
        // All other quantities are plain whole numbers.
        for (const Year &y : years)
            QCOMPARE(count(m_demo, QStringLiteral("SELECT count(*) FROM %1 WHERE anzahl <> '' AND anzahl GLOB '*[^0-9]*'")
                                       .arg(QLatin1String(y.lines))),
                     0LL);
    }

    void demoDescriptionLongEnoughToWrap()
    {
        QVERIFY(count(m_demo, QStringLiteral("SELECT max(length(beschreibung)) FROM rechnung2004")) >= 40);
    }

    void demoTextsFitTheColumns_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("columns");
        QTest::newRow("kunde") << QStringLiteral("kunde")
                               << QStringLiteral("name,telefon,piva,ansprache,kundennr,name2");
        for (const Year &y : years) {
            QTest::newRow(y.headers) << QString::fromLatin1(y.headers)
                                     << QStringLiteral("nr,datum,bezahlung,kundennummer,bestimmungsort");
            QTest::newRow(y.lines) << QString::fromLatin1(y.lines)
                                   << QStringLiteral("rechnungsnummer,beschreibung,anzahl,einzelpreis");
        }
    }

    void demoTextsFitTheColumns()
    {
        QFETCH(QString, table);
        QFETCH(QString, columns);
        for (const QString &column : columns.split(QLatin1Char(','))) {
            const QString longest = testdb::scalar(
                m_demo, QStringLiteral("SELECT %1 FROM %2 ORDER BY length(%1) DESC LIMIT 1").arg(column, table));
            QVERIFY2(longest.size() <= 50, qPrintable(table + QLatin1Char('.') + column + QStringLiteral(": ") + longest));
        }
    }

    void demoNamesAndAddresses()
    {
        // Stored as UTF-8: the umlauts read back exactly.
        QCOMPARE(count(m_demo, QStringLiteral("SELECT count(*) FROM kunde WHERE name = 'Gärtnerei Müller & Söhne'")), 1LL);
        QCOMPARE(count(m_demo, QStringLiteral("SELECT count(*) FROM kunde WHERE name = 'Vivai Bernardi S.n.c.'")), 1LL);
        const QString lineBreaks = QStringLiteral(
            "(length(adresse) - length(replace(adresse, char(13) || char(10), ''))) / 2");
        QVERIFY(count(m_demo, QStringLiteral("SELECT count(*) FROM kunde WHERE %1 = 1").arg(lineBreaks)) > 0);
        QVERIFY(count(m_demo, QStringLiteral("SELECT count(*) FROM kunde WHERE %1 = 2").arg(lineBreaks)) > 0);
        // No bare line feed or carriage return outside a CRLF pair.
        QCOMPARE(count(m_demo, QStringLiteral("SELECT count(*) FROM kunde WHERE "
                                              "instr(replace(adresse, char(13) || char(10), ''), char(10)) > 0 OR "
                                              "instr(replace(adresse, char(13) || char(10), ''), char(13)) > 0")),
                 0LL);
        QCOMPARE(count(m_demo, QStringLiteral("SELECT count(*) FROM kunde WHERE name IS NULL OR name = '' "
                                              "OR adresse IS NULL OR ansprache IS NULL OR piva IS NULL")),
                 0LL);
    }

    void demo2004NumbersAreDistinct()
    {
        QCOMPARE(count(m_demo, QStringLiteral("SELECT count(DISTINCT nr) FROM rechnungsdaten2004")),
                 count(m_demo, QStringLiteral("SELECT count(*) FROM rechnungsdaten2004")));
    }

    void demoBusinessIsTheLetterhead()
    {
        SqliteDatabase c;
        c.open(m_demo);
        const einvoice::Seller seller = einvoice::loadSeller(c).value();
        QCOMPARE(errorOf([&] { einvoice::checkSeller(seller); }), QString());
        // What the printed invoice has always shown, from the stored data.
        QCOMPARE(seller.owner, texts::LetterheadOwner);
        QCOMPARE(seller.street, texts::LetterheadStreet);
        QCOMPARE(QStringLiteral("Tel. ") + seller.telephone, texts::LetterheadPhone);
        QCOMPARE(QStringLiteral("%1 %2 (%3)").arg(seller.cap, seller.town, seller.province), texts::LetterheadTown);
        QCOMPARE(QStringLiteral("P.IVA ") + seller.vatNumber, texts::LetterheadVat);
        QCOMPARE(seller.paymentLine, texts::PaymentLine);
        QCOMPARE(seller.businessName, QStringLiteral("Gärtnerei Trovanek"));
        QCOMPARE(seller.vatCountry, QStringLiteral("IT"));
        QCOMPARE(seller.taxRegime, QStringLiteral("RF01"));
        QCOMPARE(seller.nextTransmissionNumber, QStringLiteral("00001"));
        // checkSeller leaves these optional; the demo has them all.
        for (const QString &value : {seller.fiscalCode, seller.email, seller.bankName, seller.iban, seller.bic})
            QVERIFY(!value.isEmpty());
    }

    void demoCustomersHaveTheirEInvoiceData()
    {
        SqliteDatabase c;
        c.open(m_demo);
        const QString ids = testdb::scalar(m_demo, QStringLiteral("SELECT group_concat(id) FROM kunde"));
        QCOMPARE(count(m_demo, QStringLiteral("SELECT count(*) FROM kunde_efattura")),
                 count(m_demo, QStringLiteral("SELECT count(*) FROM kunde")));
        for (const QString &id : ids.split(QLatin1Char(','))) {
            const std::optional<einvoice::Buyer> buyer = einvoice::loadBuyer(c, id.toLongLong());
            QVERIFY2(buyer.has_value(), qPrintable(id));
            const QString error = errorOf([&] { einvoice::checkBuyer(*buyer); });
            QVERIFY2(error.isEmpty(), qPrintable(id + QStringLiteral(": ") + error));
            // Complete: nothing the format knows is left out. A customer
            // abroad has no Italian fiscal code and no province.
            const bool italian = buyer->kind == CustomerKind::ItalianBusiness || buyer->kind == CustomerKind::ItalianPerson;
            QVERIFY2(!buyer->houseNumber.isEmpty(), qPrintable(id));
            if (italian) {
                QVERIFY2(!buyer->fiscalCode.isEmpty(), qPrintable(id));
                QVERIFY2(!buyer->province.isEmpty(), qPrintable(id));
            }
        }
        // A customer reached by PEC instead of a code.
        QCOMPARE(count(m_demo, QStringLiteral("SELECT count(*) FROM kunde_efattura WHERE empfaengercode = '0000000' "
                                              "AND pec <> ''")),
                 1LL);
    }

    void demoBusinessHasItsPlantPassportRegistration()
    {
        QCOMPARE(testdb::scalar(m_demo, QStringLiteral("SELECT ruop_nr || '|' || standort FROM firma")),
                 QStringLiteral("IT-21-0190|001"));
    }

    // Last month's deliveries to a landscaper wait for their invoice, with
    // full plant passports; this month's to a private customer need none.
    void demoDeliveryNotes()
    {
        if (thisYearIsClassic())
            QSKIP("this year is one of the classic years");
        const QDate today = QDate::currentDate();
        const int year = today.year();
        QVERIFY2(m_demoRun.out.contains(QLatin1String(", 4 Lieferscheine.")), qPrintable(m_demoRun.out));
        SqliteDatabase c;
        c.open(m_demo);
        const QList<DeliveryNoteRecord> notes = DeliveryNoteRepository(c, {QLatin1Char(','), QLatin1Char('.')}).loadYear(year);
        QCOMPARE(notes.size(), 4);
        // Never before New Year, never after today.
        const QDate thisMonth(year, today.month(), 1);
        const auto demoDate = [&](const QDate &month, int day) {
            return std::clamp(month.addDays(day - 1), QDate(year, 1, 1), today).toString(QStringLiteral("dd.MM.yyyy"));
        };
        const QStringList expectedDates{demoDate(thisMonth.addMonths(-1), 6), demoDate(thisMonth.addMonths(-1), 14),
                                        demoDate(thisMonth.addMonths(-1), 23), demoDate(thisMonth, 2)};
        QStringList plants;
        for (qsizetype i = 0; i < notes.size(); ++i) {
            const DeliveryNoteRecord &record = notes.at(i);
            QCOMPARE(record.note.nr, QString::number(i + 1));
            QCOMPARE(record.note.datum, expectedDates.at(i));
            QVERIFY(!record.note.isInvoiced());
            QVERIFY(transportChoices().contains(record.note.transport));
            QVERIFY(reasonChoices().contains(record.note.grund));
            const CustomerKind kind = einvoice::customerKindOf(c, record.customer.id);
            const bool landscaper = i < 3;
            QCOMPARE(record.customer.name, landscaper ? QStringLiteral("Verdeluce Garten- und Landschaftsbau S.r.l.")
                                                      : QStringLiteral("Sabine Rainer"));
            QCOMPARE(kind, landscaper ? CustomerKind::ItalianBusiness : CustomerKind::ItalianPerson);
            QVERIFY(record.lines.size() >= 2);
            bool withoutBotanicalName = false;
            for (const DeliveryLine &line : record.lines) {
                QCOMPARE(passportProblem(line, kind), QString());
                withoutBotanicalName = withoutBotanicalName || !line.isPlant();
                if (line.isPlant() && landscaper)
                    plants << line.botanischer_name + QLatin1Char('|') + line.rueckverfolgung;
            }
            QVERIFY2(withoutBotanicalName, qPrintable(record.note.nr));
        }
        QVERIFY2(plants.contains(QLatin1String("Olea europaea|OL-2026-118")), qPrintable(plants.join(u',')));
        QVERIFY2(plants.contains(QLatin1String("Lavandula angustifolia|")), qPrintable(plants.join(u',')));
        // The lines of each note stay within the columns.
        QCOMPARE(count(m_demo, QStringLiteral("SELECT count(*) FROM lieferschein%1 WHERE length(beschreibung) > 50 "
                                              "OR lieferscheinnummer NOT IN (SELECT nr FROM lieferscheine%1)")
                                   .arg(year)),
                 0LL);
    }

    // ---- the electronic invoice -----------------------------------------

    void fatturapaWritesTheProgramsFile_data()
    {
        QTest::addColumn<QString>("year");
        QTest::addColumn<QString>("nr");
        QTest::addColumn<QString>("lineTable");
        QTest::newRow("2004 with 34 lines") << QStringLiteral("2004") << QStringLiteral("3") << QStringLiteral("rechnung2004");
        QTest::newRow("2004 with a flat fee without quantity")
            << QStringLiteral("2004") << QStringLiteral("4") << QStringLiteral("rechnung2004");
        QTest::newRow("2003 with an empty quantity")
            << QStringLiteral("2003") << QStringLiteral("2") << QStringLiteral("rechnung2003");
        QTest::newRow("2002, the year without its number in the names")
            << QStringLiteral("2002") << QStringLiteral("3") << QStringLiteral("rechnung");
        if (!thisYearIsClassic())
            QTest::newRow("this year") << thisYear() << thisYear() + QStringLiteral("-1")
                                       << QStringLiteral("rechnung") + thisYear();
    }

    void fatturapaWritesTheProgramsFile()
    {
        QFETCH(QString, year);
        QFETCH(QString, nr);
        QFETCH(QString, lineTable);
        QTemporaryDir dir;
        const QString f = dir.filePath(QStringLiteral("rechungen.mdb"));
        QVERIFY(QFile::copy(m_demo, f));
        const QString out = dir.filePath(QStringLiteral("an den Vermittler"));
        QVERIFY(QDir().mkdir(out));

        const qint64 clockBefore = einvoice::transmissionValue(einvoice::clockTransmissionNumber(QDateTime::currentDateTime())).value();
        const ToolResult r = runTool({QStringLiteral("fatturapa"), f, QStringLiteral("--year"), year, QStringLiteral("--nr"),
                                      nr, QStringLiteral("--out"), out},
                                     {.locale = GermanLocale});
        const qint64 clockAfter = einvoice::transmissionValue(einvoice::clockTransmissionNumber(QDateTime::currentDateTime())).value();
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        // The number the clock gave while it ran: the demo's stored 00001 lies far below.
        const QStringList files = QDir(out).entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        const QRegularExpressionMatch name =
            QRegularExpression(QStringLiteral("^IT00000000190_([0-9A-Z]{5})\\.xml$")).match(files.first());
        QVERIFY2(name.hasMatch(), qPrintable(files.first()));
        const qint64 number = einvoice::transmissionValue(name.captured(1)).value();
        QVERIFY(number >= clockBefore && number <= clockAfter);
        const QString written = QDir(out).filePath(files.first());
        QCOMPARE(r.out, written + QLatin1Char('\n'));
        QCOMPARE(xmllintError(written), QString());
        QCOMPARE(storedNumber(f), einvoice::transmissionNumberOf(number + 1).value());
        QCOMPARE(testdb::scalar(f, QStringLiteral("SELECT jahr || '|' || nr || '|' || datei FROM efattura_exporte")),
                 QStringList({year, nr, files.first()}).join(QLatin1Char('|')));

        QCOMPARE(elementTexts(written, QStringLiteral("Numero")), QStringList{nr});
        const QStringList totals = printedTotals(f, lineTable, nr);
        QCOMPARE(elementTexts(written, QStringLiteral("ImponibileImporto")), QStringList{totals.at(0)});
        QCOMPARE(elementTexts(written, QStringLiteral("Imposta")), QStringList{totals.at(1)});
        QCOMPARE(elementTexts(written, QStringLiteral("ImportoTotaleDocumento")), QStringList{totals.at(2)});
        QCOMPARE(elementTexts(written, QStringLiteral("NumeroLinea")).size(),
                 count(f, QStringLiteral("SELECT count(*) FROM %1 WHERE rechnungsnummer = '%2'").arg(lineTable, nr)));
    }

    void fatturapaCountsTheNumberUp()
    {
        QTemporaryDir dir;
        const QString f = dir.filePath(QStringLiteral("rechungen.mdb"));
        QVERIFY(QFile::copy(m_demo, f));
        // Without --out into the folder it runs in; the same invoice again
        // only with --again, and then as a new file with a number of its own.
        QStringList written;
        QList<qint64> numbers;
        const QStringList fatturapa{QStringLiteral("fatturapa"), QStringLiteral("rechungen.mdb"), QStringLiteral("--year=2004")};
        for (const char *nr : {"1", "2", "1"}) {
            QStringList args = fatturapa + QStringList{QStringLiteral("--nr=") + QLatin1String(nr)};
            if (written.size() == 2) {
                const ToolResult refused = runTool(args, {.workDir = dir.path(), .locale = GermanLocale});
                QCOMPARE(refused.exitCode, 1);
                QCOMPARE(refused.out, QString());
                QVERIFY2(refused.err.startsWith(QStringLiteral("rechnung-db: Diese Rechnung wurde am "))
                             && refused.err.contains(QStringLiteral(" als %1 exportiert. Mit --again ").arg(written.first())),
                         qPrintable(refused.err));
                QCOMPARE(entries(dir.path()).size(), 3);
                args << QStringLiteral("--again");
            }
            const ToolResult r = runTool(args, {.workDir = dir.path(), .locale = GermanLocale});
            QCOMPARE(r.exitCode, 0);
            QVERIFY2(isOneLine(r.out), qPrintable(r.out));
            written << QFileInfo(r.out.trimmed()).fileName();
            QCOMPARE(QFileInfo(r.out.trimmed()).absolutePath(), QFileInfo(dir.path()).canonicalFilePath());
            numbers << einvoice::transmissionValue(written.last().mid(14, 5)).value();
        }
        // One after the other: all within a minute or two, past what was handed out.
        QVERIFY(numbers.at(0) < numbers.at(1) && numbers.at(1) < numbers.at(2));
        QCOMPARE(storedNumber(f), einvoice::transmissionNumberOf(numbers.last() + 1).value());
        QCOMPARE(testdb::scalar(f, QStringLiteral("SELECT group_concat(nr, ',') FROM efattura_exporte")), QStringLiteral("1,2,1"));
        for (const QString &name : written)
            QCOMPARE(xmllintError(dir.filePath(name)), QString());
    }

    void fatturapaNamesTermsItCannotRead()
    {
        QTemporaryDir dir;
        const QString f = dir.filePath(QStringLiteral("rechungen.mdb"));
        QVERIFY(QFile::copy(m_demo, f));
        testdb::exec(f, QStringLiteral("UPDATE rechnungsdaten2004 SET bezahlung = 'nach Vereinbarung', faellig = NULL WHERE nr = '1'"));
        const ToolResult r = runTool({QStringLiteral("fatturapa"), f, QStringLiteral("--year"), QStringLiteral("2004"),
                                      QStringLiteral("--nr"), QStringLiteral("1"), QStringLiteral("--out"), dir.path()},
                                     {.locale = GermanLocale});
        // Written all the same: the path for a script, the note for the user.
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(isOneLine(r.out), qPrintable(r.out));
        QVERIFY2(isOneLine(r.err)
                     && r.err.startsWith(QStringLiteral("rechnung-db: Hinweis: Die Zahlungsbedingung „nach Vereinbarung“ "
                                                        "versteht das Programm nicht")),
                 qPrintable(r.err));
        QCOMPARE(xmllintError(r.out.trimmed()), QString());
        QFile written(r.out.trimmed());
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(!written.readAll().contains("DataScadenzaPagamento"));
    }

    void fatturapaRefuses_data()
    {
        QTest::addColumn<QString>("setUp");   // SQL on the copy of the demo
        QTest::addColumn<QStringList>("args"); // after "fatturapa FILE"
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("err");
        const QStringList invoice1{QStringLiteral("--year"), QStringLiteral("2004"), QStringLiteral("--nr"), QStringLiteral("1")};
        QTest::newRow("number not in the year")
            << QString() << QStringList{"--year", "2004", "--nr", "99"} << GermanLocale
            << QStringLiteral("rechnung-db: Die Rechnung Nr. 99 gibt es im Jahr 2004 nicht.\n");
        QTest::newRow("year without tables")
            << QString() << QStringList{"--year", "1999", "--nr", "1"} << GermanLocale
            << QStringLiteral("rechnung-db: Für das Jahr 1999 gibt es keine Rechnungen in der Datenbank.\n");
        QTest::newRow("not a year") << QString() << QStringList{"--year", "04", "--nr", "1"} << GermanLocale
                                    << QStringLiteral("rechnung-db: '04' ist keine Jahreszahl zwischen 1900 und 2999.\n");
        QTest::newRow("line without description")
            << QStringLiteral("UPDATE rechnung2004 SET beschreibung = '' WHERE id = (SELECT min(id) FROM rechnung2004)")
            << invoice1 << GermanLocale << QStringLiteral("Zeile 1: Die Beschreibung fehlt");
        QTest::newRow("business without VAT number") << QStringLiteral("UPDATE firma SET ust_nr = ''") << invoice1
                                                     << GermanLocale << QStringLiteral("Die MwSt.-Nummer (Partita IVA) fehlt");
        QTest::newRow("file without business data") << QStringLiteral("DROP TABLE firma") << invoice1 << GermanLocale
                                                    << einvoice::NoBusinessData;
        QTest::newRow("customer without VAT number and fiscal code")
            << QStringLiteral("UPDATE kunde_efattura SET ust_nr = '', steuernummer = ''") << invoice1 << GermanLocale
            << QStringLiteral("Kunde: Weder MwSt.-Nummer");
        QTest::newRow("customer's row alone without VAT number")
            << QStringLiteral("DELETE FROM kunde_efattura; UPDATE kunde SET piva = ''") << invoice1 << GermanLocale
            << QStringLiteral("Kunde: Weder MwSt.-Nummer");
        QTest::newRow("customer deleted")
            << QStringLiteral("DELETE FROM kunde_efattura; DELETE FROM kunde") << invoice1 << GermanLocale
            << QStringLiteral("gibt es in der Datenbank nicht");
        QTest::newRow("folder missing") << QString() << invoice1 + QStringList{"--out", "fehlt"} << GermanLocale
                                        << QStringLiteral("Der Ordner 'fehlt' existiert nicht.");
        QTest::newRow("exported before")
            << QStringLiteral("INSERT INTO efattura_exporte (jahr, nr, datei, uebertragung, zeit) VALUES "
                              "(2004, '1', 'IT00000000190_0X6SI.xml', '0X6SI', '2026-12-11T08:30:00')")
            << invoice1 << GermanLocale
            << QStringLiteral("Diese Rechnung wurde am 11.12.2026 um 08:30 Uhr als IT00000000190_0X6SI.xml exportiert. "
                              "Mit --again wird sie noch einmal exportiert");
    }

    void fatturapaRefuses()
    {
        QFETCH(QString, setUp);
        QFETCH(QStringList, args);
        QFETCH(QString, locale);
        QFETCH(QString, err);
        QTemporaryDir dir;
        const QString f = dir.filePath(QStringLiteral("rechungen.mdb"));
        QVERIFY(QFile::copy(m_demo, f));
        if (!setUp.isEmpty())
            testdb::exec(f, setUp);
        // Sent before: its number must not be used again.
        QFile sent(dir.filePath(QStringLiteral("IT00000000190_00042.xml")));
        QVERIFY(sent.open(QIODevice::WriteOnly));
        sent.close();
        const QStringList entriesBefore = entries(dir.path());
        const QString numberBefore = setUp.startsWith(QLatin1String("DROP")) ? QString() : storedNumber(f);

        const ToolResult r = runTool(QStringList{QStringLiteral("fatturapa"), f} + args,
                                     {.workDir = dir.path(), .locale = locale});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(isOneLine(r.err), qPrintable(r.err));
        QVERIFY2(r.err.startsWith(QLatin1String("rechnung-db: ")), qPrintable(r.err));
        QVERIFY2(r.err.contains(err), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QCOMPARE(entries(dir.path()), entriesBefore);
        if (!numberBefore.isEmpty())
            QCOMPARE(storedNumber(f), numberBefore);
    }

    void fatturapaNeverMakesTheFile()
    {
        QTemporaryDir dir;
        const QString f = dir.filePath(QStringLiteral("rechungen.mdb"));
        const ToolResult r = runTool({QStringLiteral("fatturapa"), f, QStringLiteral("--year"), QStringLiteral("2004"),
                                      QStringLiteral("--nr"), QStringLiteral("1")},
                                     {.workDir = dir.path(), .locale = GermanLocale});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(QStringLiteral("wurde nicht gefunden")), qPrintable(r.err));
        QCOMPARE(entries(dir.path()), QStringList());
    }

    // ---- generated data -------------------------------------------------

    void generate_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<long long>("customers");
        QTest::addColumn<long long>("headers");
        QTest::addColumn<long long>("lines");
        QTest::newRow("nothing") << QStringList{"--customers", "0", "--headers", "0", "--lines", "0"} << 0LL << 0LL << 0LL;
        QTest::newRow("customers only") << QStringList{"--customers", "5", "--headers", "0", "--lines", "0"} << 5LL << 0LL << 0LL;
        QTest::newRow("one of each") << QStringList{"--customers", "1", "--headers", "1", "--lines", "1"} << 1LL << 1LL << 1LL;
        QTest::newRow("fewer lines than headers") << QStringList{"--customers", "4", "--headers", "9", "--lines", "5"} << 4LL << 9LL << 5LL;
        QTest::newRow("more customers than headers") << QStringList{"--customers", "30", "--headers", "3", "--lines", "10"} << 30LL << 3LL << 10LL;
        QTest::newRow("uneven split") << QStringList{"--customers", "13", "--headers", "37", "--lines", "401"} << 13LL << 37LL << 401LL;
        QTest::newRow("round hundreds") << QStringList{"--customers", "100", "--headers", "200", "--lines", "1000"} << 100LL << 200LL << 1000LL;
        QTest::newRow("options reordered") << QStringList{"--lines", "60", "--customers", "3", "--headers", "12"} << 3LL << 12LL << 60LL;
        QTest::newRow("option=value") << QStringList{"--headers=8", "--lines=20", "--customers=2"} << 2LL << 8LL << 20LL;
    }

    void generate()
    {
        QFETCH(QStringList, options);
        QFETCH(long long, customers);
        QFETCH(long long, headers);
        QFETCH(long long, lines);
        QTemporaryDir dir;
        const QString f = dir.filePath(QStringLiteral("gen.mdb"));
        // The file name may also stand after the options.
        const ToolResult r = runTool(QStringList{QStringLiteral("generate")} + options + QStringList{f});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        QVERIFY(isOneLine(r.out));
        QVERIFY2(r.out.contains(QStringLiteral("%1 Kunden, %2 Rechnungen, %3 Positionen").arg(customers).arg(headers).arg(lines)),
                 qPrintable(r.out));

        QCOMPARE(count(f, QStringLiteral("SELECT count(*) FROM kunde")), customers);
        QCOMPARE(count(f, QStringLiteral("SELECT count(*) FROM rechnungsdaten2004")), headers);
        QCOMPARE(count(f, QStringLiteral("SELECT count(*) FROM rechnung2004")), lines);
        for (const char *table : {"rechnungsdaten2003", "rechnung2003", "rechnungsdaten", "rechnung"})
            QCOMPARE(count(f, QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(table))), 0LL);

        QCOMPARE(count(f, QStringLiteral("SELECT count(*) FROM rechnungsdaten2004 h WHERE NOT EXISTS "
                                         "(SELECT 1 FROM kunde k WHERE CAST(k.id AS TEXT) = h.kundennummer)")),
                 0LL);
        QCOMPARE(count(f, QStringLiteral("SELECT count(*) FROM rechnung2004 l WHERE NOT EXISTS "
                                         "(SELECT 1 FROM rechnungsdaten2004 h WHERE h.nr = l.rechnungsnummer)")),
                 0LL);
        QCOMPARE(count(f, QStringLiteral("SELECT count(DISTINCT nr) FROM rechnungsdaten2004")), headers);
        // Lines are shared out over the headers, not piled on a few.
        const long long headersWithLines =
            count(f, QStringLiteral("SELECT count(DISTINCT rechnungsnummer) FROM rechnung2004"));
        QCOMPARE(headersWithLines, qMin(headers, lines));
        if (headers > 0 && lines >= headers) {
            const long long most = count(f, QStringLiteral("SELECT max(n) FROM (SELECT count(*) AS n FROM rechnung2004 GROUP BY rechnungsnummer)"));
            QVERIFY(most <= lines / headers + 1);
        }
        if (headers >= 2 * customers && customers > 1)
            QVERIFY(count(f, QStringLiteral("SELECT count(DISTINCT kundennummer) FROM rechnungsdaten2004")) > customers / 2);

        QCOMPARE(count(f, QStringLiteral("SELECT count(*) FROM rechnung2004 WHERE %1").arg(badPriceCondition())), 0LL);
        QCOMPARE(count(f, QStringLiteral("SELECT count(*) FROM rechnung2004 WHERE anzahl GLOB '*[^0-9]*' "
                                         "OR CAST(anzahl AS INTEGER) NOT BETWEEN 1 AND 50")),
                 0LL);
        QCOMPARE(count(f, QStringLiteral("SELECT count(*) FROM rechnung2004 WHERE length(beschreibung) NOT BETWEEN 10 AND 30")),
                 0LL);
        QCOMPARE(count(f, QStringLiteral("SELECT count(*) FROM rechnung2004 WHERE summe IS NOT NULL")), 0LL);
        QCOMPARE(count(f, QStringLiteral("SELECT count(*) FROM kunde WHERE name IS NULL OR length(name) > 50 "
                                         "OR length(name2) > 50 OR instr(adresse, char(13) || char(10)) = 0")),
                 0LL);
        QCOMPARE(count(f, QStringLiteral("SELECT count(*) FROM rechnungsdaten2004 WHERE datum NOT GLOB '[0-3][0-9].[01][0-9].2004'")),
                 0LL);
        QCOMPARE(testdb::scalar(f, QStringLiteral("PRAGMA journal_mode")), QStringLiteral("delete"));
    }

    void generateIsRepeatable()
    {
        QTemporaryDir dir;
        const QStringList options{QStringLiteral("--customers"), QStringLiteral("6"), QStringLiteral("--headers"),
                                  QStringLiteral("20"), QStringLiteral("--lines"), QStringLiteral("90")};
        const QString a = dir.filePath(QStringLiteral("a.mdb"));
        const QString b = dir.filePath(QStringLiteral("b.mdb"));
        QCOMPARE(runTool(QStringList{QStringLiteral("generate"), a} + options).exitCode, 0);
        QCOMPARE(runTool(QStringList{QStringLiteral("generate"), b} + options).exitCode, 0);
        for (const char *table : {"kunde", "rechnungsdaten2004", "rechnung2004"}) {
            const QString contentA = dump(a, QLatin1String(table));
            QVERIFY(!contentA.isEmpty());
            QCOMPARE(contentA, dump(b, QLatin1String(table)));
        }
    }

    // ---- refusals and errors --------------------------------------------

    void refusesToOverwrite_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QString>("existing");
        const QStringList commands[] = {
            {QStringLiteral("create")},
            {QStringLiteral("demo")},
            {QStringLiteral("generate"), QStringLiteral("--customers"), QStringLiteral("2"), QStringLiteral("--headers"),
             QStringLiteral("2"), QStringLiteral("--lines"), QStringLiteral("2")},
        };
        for (const QStringList &c : commands) {
            QTest::addRow("%s over text file", qPrintable(c.first())) << c << QStringLiteral("text");
            QTest::addRow("%s over database", qPrintable(c.first())) << c << QStringLiteral("database");
            QTest::addRow("%s over empty file", qPrintable(c.first())) << c << QStringLiteral("empty");
            QTest::addRow("%s over folder", qPrintable(c.first())) << c << QStringLiteral("folder");
        }
    }

    void refusesToOverwrite()
    {
        QFETCH(QStringList, command);
        QFETCH(QString, existing);
        QTemporaryDir dir;
        const QString f = dir.filePath(QStringLiteral("rechungen.mdb"));
        if (existing == QLatin1String("folder")) {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("rechungen.mdb")));
        } else if (existing == QLatin1String("database")) {
            testdb::exec(f, testdb::schemaText());
            testdb::exec(f, QStringLiteral("INSERT INTO kunde (name) VALUES ('Baumschule Beispiel')"));
        } else {
            QFile out(f);
            QVERIFY(out.open(QIODevice::WriteOnly));
            if (existing == QLatin1String("text"))
                out.write("Wichtige Daten, bitte nicht überschreiben\n");
        }
        QByteArray before;
        if (existing != QLatin1String("folder")) {
            QFile in(f);
            QVERIFY(in.open(QIODevice::ReadOnly));
            before = in.readAll();
        }
        const QStringList entriesBefore = entries(dir.path());

        QStringList args = command;
        args.insert(1, f);
        const ToolResult r = runTool(args);

        QCOMPARE(r.exitCode, 1);
        QVERIFY2(isOneLine(r.err), qPrintable(r.err));
        QVERIFY2(r.err.startsWith(QLatin1String("rechnung-db: ")), qPrintable(r.err));
        QVERIFY2(r.err.contains(f), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QCOMPARE(entries(dir.path()), entriesBefore);
        if (existing == QLatin1String("folder")) {
            QVERIFY(QFileInfo(f).isDir());
            QVERIFY(entries(f).isEmpty());
        } else {
            QFile in(f);
            QVERIFY(in.open(QIODevice::ReadOnly));
            QCOMPARE(in.readAll(), before);
        }
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("unknown command") << QStringList{"erzeugen", "neu.mdb"};
        QTest::newRow("command in capitals") << QStringList{"CREATE", "neu.mdb"};
        QTest::newRow("create without file") << QStringList{"create"};
        QTest::newRow("demo without file") << QStringList{"demo"};
        QTest::newRow("create with empty file name") << QStringList{"create", ""};
        QTest::newRow("create with two files") << QStringList{"create", "neu.mdb", "noch.mdb"};
        QTest::newRow("demo with an option") << QStringList{"demo", "neu.mdb", "--customers", "3"};
        QTest::newRow("generate without file") << QStringList{"generate", "--customers", "1", "--headers", "1", "--lines", "1"};
        QTest::newRow("generate with two files") << QStringList{"generate", "neu.mdb", "noch.mdb", "--customers", "1", "--headers", "1", "--lines", "1"};
        QTest::newRow("generate without options") << QStringList{"generate", "neu.mdb"};
        QTest::newRow("generate without --lines") << QStringList{"generate", "neu.mdb", "--customers", "1", "--headers", "1"};
        QTest::newRow("generate without --customers") << QStringList{"generate", "neu.mdb", "--headers", "1", "--lines", "1"};
        QTest::newRow("letters as number") << QStringList{"generate", "neu.mdb", "--customers", "abc", "--headers", "1", "--lines", "1"};
        QTest::newRow("negative number") << QStringList{"generate", "neu.mdb", "--customers", "-3", "--headers", "1", "--lines", "1"};
        QTest::newRow("decimal number") << QStringList{"generate", "neu.mdb", "--customers", "2,5", "--headers", "1", "--lines", "1"};
        QTest::newRow("number with sign") << QStringList{"generate", "neu.mdb", "--customers", "+2", "--headers", "1", "--lines", "1"};
        QTest::newRow("number with space") << QStringList{"generate", "neu.mdb", "--customers", " 2", "--headers", "1", "--lines", "1"};
        QTest::newRow("empty number") << QStringList{"generate", "neu.mdb", "--customers=", "--headers", "1", "--lines", "1"};
        QTest::newRow("number too large") << QStringList{"generate", "neu.mdb", "--customers", "99999999999999999999999", "--headers", "1", "--lines", "1"};
        QTest::newRow("number above the limit") << QStringList{"generate", "neu.mdb", "--customers", "1", "--headers", "1", "--lines", "1000000000000"};
        QTest::newRow("value missing at end") << QStringList{"generate", "neu.mdb", "--customers", "1", "--headers", "1", "--lines"};
        QTest::newRow("unknown option") << QStringList{"generate", "neu.mdb", "--kunden", "1", "--customers", "1", "--headers", "1", "--lines", "1"};
        QTest::newRow("option given twice") << QStringList{"generate", "neu.mdb", "--customers", "1", "--customers", "2", "--headers", "1", "--lines", "1"};
        QTest::newRow("headers without customers") << QStringList{"generate", "neu.mdb", "--customers", "0", "--headers", "3", "--lines", "0"};
        QTest::newRow("lines without headers") << QStringList{"generate", "neu.mdb", "--customers", "2", "--headers", "0", "--lines", "4"};
        QTest::newRow("fatturapa without file") << QStringList{"fatturapa", "--year", "2004", "--nr", "1"};
        QTest::newRow("fatturapa without --year") << QStringList{"fatturapa", "r.mdb", "--nr", "1"};
        QTest::newRow("fatturapa without --nr") << QStringList{"fatturapa", "r.mdb", "--year", "2004"};
        QTest::newRow("fatturapa with empty --nr") << QStringList{"fatturapa", "r.mdb", "--year", "2004", "--nr="};
        QTest::newRow("fatturapa with empty --out") << QStringList{"fatturapa", "r.mdb", "--year", "2004", "--nr", "1", "--out", ""};
        QTest::newRow("fatturapa --nr without value") << QStringList{"fatturapa", "r.mdb", "--year", "2004", "--nr"};
        QTest::newRow("fatturapa --year twice") << QStringList{"fatturapa", "r.mdb", "--year", "2004", "--year", "2003", "--nr", "1"};
        QTest::newRow("fatturapa with a generate option") << QStringList{"fatturapa", "r.mdb", "--year", "2004", "--nr", "1", "--lines", "3"};
        QTest::newRow("fatturapa with two files") << QStringList{"fatturapa", "r.mdb", "s.mdb", "--year", "2004", "--nr", "1"};
        QTest::newRow("backup without target") << QStringList{"backup", "r.mdb"};
        QTest::newRow("backup with empty target") << QStringList{"backup", "r.mdb", ""};
        QTest::newRow("backup with three files") << QStringList{"backup", "r.mdb", "s.mdb", "t.mdb"};
        QTest::newRow("backup with an option") << QStringList{"backup", "r.mdb", "s.mdb", "--lines", "3"};
        QTest::newRow("check without file") << QStringList{"check"};
        QTest::newRow("check with two files") << QStringList{"check", "r.mdb", "s.mdb"};
        QTest::newRow("generate with a fatturapa option") << QStringList{"generate", "neu.mdb", "--customers", "1", "--headers", "1", "--lines", "1", "--year", "2004"};
    }

    void usageErrors()
    {
        QFETCH(QStringList, args);
        QTemporaryDir dir;
        const ToolResult r = runTool(args, {.workDir = dir.path()});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(isOneLine(r.err), qPrintable(r.err));
        QVERIFY2(r.err.startsWith(QLatin1String("rechnung-db: ")), qPrintable(r.err));
        QVERIFY2(r.err.contains(QLatin1String("Aufruf: rechnung-db")), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QCOMPARE(entries(dir.path()), QStringList());
    }

    void helpGoesToStandardOutput()
    {
        const ToolResult r = runTool({QStringLiteral("--help")});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(isOneLine(r.out));
        QVERIFY(r.out.contains(QLatin1String("generate DATEI --customers N --headers N --lines N")));
        QVERIFY(r.out.contains(QLatin1String("fatturapa DATEI --year JAHR --nr NR [--out ORDNER]")));
        QVERIFY(r.out.contains(QLatin1String("backup QUELLE ZIEL")));
        QVERIFY(r.out.contains(QLatin1String("check DATEI")));
        QCOMPARE(r.err, QString());
    }

    void commandHelp_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("usage");
        QTest::newRow("create") << QStringList{"create", "--help"} << "Aufruf: rechnung-db create DATEI";
        QTest::newRow("demo, short") << QStringList{"demo", "-h"} << "Aufruf: rechnung-db demo DATEI";
        QTest::newRow("generate") << QStringList{"generate", "--help"}
                                  << "Aufruf: rechnung-db generate DATEI --customers N --headers N --lines N";
        QTest::newRow("add-year") << QStringList{"add-year", "--help"} << "Aufruf: rechnung-db add-year DATEI JAHR";
        QTest::newRow("fatturapa") << QStringList{"fatturapa", "--help"}
                                   << "Aufruf: rechnung-db fatturapa DATEI --year JAHR --nr NR [--out ORDNER] [--again]";
        QTest::newRow("backup") << QStringList{"backup", "--help"} << "Aufruf: rechnung-db backup QUELLE ZIEL";
        QTest::newRow("check") << QStringList{"check", "--help"} << "Aufruf: rechnung-db check DATEI";
        QTest::newRow("import-access") << QStringList{"import-access", "--help"}
                                       << "Aufruf: rechnung-db import-access ACCESSDATEI ZIEL";
        // Help wins over what else is on the line: nothing is made.
        QTest::newRow("help beside a file") << QStringList{"create", "neu.mdb", "--help"} << "Aufruf: rechnung-db create DATEI";
    }

    // A command's own help is German, on standard output, and does nothing else.
    void commandHelp()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, usage);
        QTemporaryDir dir;
        const ToolResult r = runTool(args, {.workDir = dir.path()});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QString());
        QVERIFY2(r.out.startsWith(usage), qPrintable(r.out));
        QVERIFY2(r.out.contains(QRegularExpression(QStringLiteral("\\n  -h, --help +zeigt diese Hilfe\\n"))), qPrintable(r.out));
        QVERIFY2(!r.out.contains(QLatin1String("Usage")) && !r.out.contains(QLatin1String("Displays")), qPrintable(r.out));
        QCOMPARE(entries(dir.path()), QStringList());
    }

    void missingFolder_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::newRow("create") << QStringList{"create"};
        QTest::newRow("demo") << QStringList{"demo"};
        QTest::newRow("generate") << QStringList{"generate", "--customers", "3", "--headers", "3", "--lines", "3"};
    }

    void missingFolder()
    {
        QFETCH(QStringList, command);
        QTemporaryDir dir;
        const QString f = dir.filePath(QStringLiteral("fehlt/rechungen.mdb"));
        QStringList args = command;
        args.insert(1, f);
        const ToolResult r = runTool(args);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(isOneLine(r.err), qPrintable(r.err));
        QVERIFY2(r.err.startsWith(QLatin1String("rechnung-db: ")), qPrintable(r.err));
        QVERIFY2(r.err.contains(f), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QCOMPARE(entries(dir.path()), QStringList());
    }

    // A file size limit makes SQLite's writes fail after the file has been
    // created, the way a full disk would.
    void failureAfterCreationLeavesNothing_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::newRow("create") << QStringList{"create"};
        QTest::newRow("demo") << QStringList{"demo"};
        QTest::newRow("generate") << QStringList{"generate", "--customers", "500", "--headers", "2000", "--lines", "20000"};
    }

    void failureAfterCreationLeavesNothing()
    {
        QFETCH(QStringList, command);
        QTemporaryDir dir;
        QStringList args = command;
        args.insert(1, QStringLiteral("rechungen.mdb"));
        const QStringList shell{QStringLiteral("-c"), QStringLiteral("ulimit -f 16 && exec \"$0\" \"$@\""),
                                QStringLiteral(RECHNUNG_DB_TOOL)};
        const ToolResult r = runTool(shell + args, {.workDir = dir.path(), .program = QStringLiteral("/bin/sh")});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(isOneLine(r.err), qPrintable(r.err));
        QVERIFY2(r.err.startsWith(QLatin1String("rechnung-db: ")), qPrintable(r.err));
        // Said in German, not in SQLite's English.
        QVERIFY2(r.err.contains(QStringLiteral("kein Platz mehr frei")), qPrintable(r.err));
        QVERIFY2(r.err.contains(QLatin1String("rechungen.mdb")), qPrintable(r.err));
        QVERIFY2(!r.err.contains(QLatin1String("disk")), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QCOMPARE(entries(dir.path()), QStringList());
    }

    void relativeFileNameInWorkingFolder()
    {
        QTemporaryDir dir;
        const ToolResult r = runTool({QStringLiteral("create"), QStringLiteral("rechungen.mdb")}, {.workDir = dir.path()});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("rechungen.mdb")});
    }
};

QTEST_GUILESS_MAIN(TstRechnungDb)
#include "tst_rechnung_db.moc"
