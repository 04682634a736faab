// Bringing a file's tables up to the program's version: what is asked, what
// is added, and that a refusal, a failure or a failed copy leaves the file
// as it was.

#include "errorof.h"
#include "testdb.h"

#include "data/backup.h"
#include "data/database.h"
#include "data/errors.h"
#include "data/lineamount.h"
#include "data/migrations.h"
#include "data/newdatabase.h"
#include "data/sqlitedatabase.h"
#include "data/years.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTest>

namespace {

const QDate Today(2026, 3, 14);

const QString NoBusinessTables = QStringLiteral("DROP TABLE firma; DROP TABLE kunde_efattura;");
const QString BusinessQuestion = QStringLiteral("Die Datenbank hat noch keine Firmendaten. Jetzt anlegen?");

// A column for every year's lines, as a later version of the program would
// add it: one entry after the program's own.
Migration lineColumn(const QByteArray &definition = "VARCHAR(10) DEFAULT '22'")
{
    return {latestVersion(programMigrations()) + 1, Migration::Kind::AddLineColumn,
            QStringLiteral("den Rabatt jeder Zeile"), {}, QStringLiteral("rabatt"), definition};
}

std::vector<Migration> withLineColumn(const Migration &column = lineColumn())
{
    std::vector<Migration> list = programMigrations();
    list.push_back(column);
    return list;
}

QByteArray contentOf(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// Which of the year tables have the column: "rechnung2004 rechnung2003 ..." in `years`' order.
QString tablesWithColumn(const QString &file, const QStringList &tables, const QString &column)
{
    QStringList with;
    for (const QString &t : tables) {
        if (testdb::scalar(file, QStringLiteral("SELECT count(*) FROM pragma_table_info('%1') WHERE name = '%2'").arg(t, column))
            == QLatin1String("1"))
            with << t;
    }
    return with.join(QLatin1Char(' '));
}

const QStringList LineTables{QStringLiteral("rechnung2005"), QStringLiteral("rechnung2004"), QStringLiteral("rechnung2003"),
                             QStringLiteral("rechnung")};

// Every index on a year table, as "name: table(column)", sorted.
QString yearIndexes(const QString &file)
{
    return testdb::scalar(file, QStringLiteral("SELECT group_concat(i, ' ') FROM (SELECT m.name || ': ' || m.tbl_name || '(' "
                                               "|| c.name || ')' AS i FROM sqlite_master m, pragma_index_info(m.name) c "
                                               "WHERE m.type = 'index' AND m.tbl_name LIKE 'rechnung%' ORDER BY i)"));
}

// The indexes every year of `years` should have, as yearIndexes() lists them.
QString expectedIndexes(const QList<int> &years)
{
    QStringList expected;
    for (int year : years) {
        const QString suffix = year == FirstYear ? QString() : QString::number(year);
        expected << QStringLiteral("idx_rechnungsdaten%1_nr: rechnungsdaten%1(nr)").arg(suffix)
                 << QStringLiteral("idx_rechnungsdaten%1_kundennummer: rechnungsdaten%1(kundennummer)").arg(suffix)
                 << QStringLiteral("idx_rechnung%1_rechnungsnummer: rechnung%1(rechnungsnummer)").arg(suffix);
    }
    expected.sort();
    return expected.join(QLatin1Char(' '));
}

// A file from before lines had rates: its line tables lack both columns,
// and it says so by its version.
const QString NoLineRates = QStringLiteral(
    "ALTER TABLE rechnung DROP COLUMN steuersatz; ALTER TABLE rechnung DROP COLUMN natura;"
    "ALTER TABLE rechnung2003 DROP COLUMN steuersatz; ALTER TABLE rechnung2003 DROP COLUMN natura;"
    "ALTER TABLE rechnung2004 DROP COLUMN steuersatz; ALTER TABLE rechnung2004 DROP COLUMN natura;"
    "PRAGMA user_version = 3;"
    "INSERT INTO rechnungsdaten2004 (id, nr, kundennummer) VALUES (1, '5', '1');"
    "INSERT INTO kunde (id, name) VALUES (1, 'Anna');"
    "INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES ('5', 'Rosen', '3', '0,35');");

QString backupOf(const testdb::Fixture &db, int version)
{
    return db.dir() + QStringLiteral("/Sicherungen/") + backup::beforeVersionFileName(version, Today);
}

} // namespace

class TestMigrations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void whatIsAsked_data();
    void whatIsAsked();
    void yesAddsEverythingAfterACopy_data();
    void yesAddsEverythingAfterACopy();
    void aYearMadeLaterHasTheColumn_data();
    void aYearMadeLaterHasTheColumn();
    void failureInTheMiddleChangesNothing();
    void failedCopyChangesNothing();
    void declinedChangesNothing();
    void newDatabaseIsAtTheLatestVersion();
    void dailyCopiesLeaveTheCopyBeforeAVersion();
    void everyYearHasItsIndexes_data();
    void everyYearHasItsIndexes();
    void lineRatesForAnOlderFile_data();
    void lineRatesForAnOlderFile();
};

void TestMigrations::whatIsAsked_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("withColumn");
    // "" when nothing is asked.
    QTest::addColumn<QString>("question");

    QTest::newRow("version 0 without business tables") << NoBusinessTables << false << BusinessQuestion;
    // A file made before versions were kept, but after the tables.
    QTest::newRow("version 0 with business tables") << QString() << false << QString();
    QTest::newRow("without firma only") << QStringLiteral("DROP TABLE firma") << false << BusinessQuestion;
    QTest::newRow("a line column missing")
        << QString() << true
        << QStringLiteral("Diese Version des Programms ergänzt die Datenbank um:\n\n- den Rabatt jeder Zeile\n\n"
                          "Vorher wird die Datenbank in den Ordner „Sicherungen“ kopiert. Jetzt ergänzen?");
    // Two missing: one question lists both, the business tables' own question is not it.
    QTest::newRow("both missing")
        << NoBusinessTables << true
        << QStringLiteral("Diese Version des Programms ergänzt die Datenbank um:\n\n"
                          "- die Tabellen für die Firmendaten und für die Daten der Kunden für die elektronische Rechnung\n"
                          "- den Rabatt jeder Zeile\n\n"
                          "Vorher wird die Datenbank in den Ordner „Sicherungen“ kopiert. Jetzt ergänzen?");
    QTest::newRow("the column already in every year")
        << QStringLiteral("ALTER TABLE rechnung ADD COLUMN rabatt; ALTER TABLE rechnung2003 ADD COLUMN rabatt; "
                          "ALTER TABLE rechnung2004 ADD COLUMN rabatt;")
        << true << QString();
    QTest::newRow("the column in some years only")
        << QStringLiteral("ALTER TABLE rechnung2004 ADD COLUMN rabatt;") << true
        << QStringLiteral("Diese Version des Programms ergänzt die Datenbank um:\n\n- den Rabatt jeder Zeile\n\n"
                          "Vorher wird die Datenbank in den Ordner „Sicherungen“ kopiert. Jetzt ergänzen?");
    // The version counts, not what the file has: a later version knows better.
    QTest::newRow("at the latest version")
        << NoBusinessTables + QStringLiteral("PRAGMA user_version = %1").arg(lineColumn().version) << true << QString();
}

void TestMigrations::whatIsAsked()
{
    QFETCH(QString, sql);
    QFETCH(bool, withColumn);
    QFETCH(QString, question);
    testdb::Fixture db(sql);
    SqliteDatabase c;
    c.open(db.file());
    const std::vector<Migration> list = withColumn ? withLineColumn() : programMigrations();
    QStringList asked;
    const UpgradeResult result = upgradeSchema(c, [&](const QString &q) { asked << q; return false; }, Today, list);
    QCOMPARE(asked, question.isEmpty() ? QStringList() : QStringList{question});
    QCOMPARE(result, question.isEmpty() ? UpgradeResult::UpToDate : UpgradeResult::Declined);
}

void TestMigrations::yesAddsEverythingAfterACopy_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("withColumn");
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("withColumnAfter");

    const QString everyYear = LineTables.join(QLatin1Char(' '));
    // The version of the program's last migration, and of the column after it.
    const int latest = latestVersion(programMigrations());
    const int withColumn = lineColumn().version;
    QTest::newRow("business tables") << NoBusinessTables << false << latest << QString();
    QTest::newRow("a line column in four years") << QString() << true << withColumn << everyYear;
    QTest::newRow("both") << NoBusinessTables << true << withColumn << everyYear;
    // The year that has it keeps it as it is; the others get it.
    QTest::newRow("the column in one year already")
        << QStringLiteral("ALTER TABLE rechnung2004 ADD COLUMN rabatt VARCHAR(10) DEFAULT '22'") << true << withColumn
        << everyYear;
}

void TestMigrations::yesAddsEverythingAfterACopy()
{
    QFETCH(QString, sql);
    QFETCH(bool, withColumn);
    QFETCH(int, version);
    QFETCH(QString, withColumnAfter);
    testdb::Fixture db(sql + QStringLiteral(";INSERT INTO rechnung2003 (rechnungsnummer, beschreibung) VALUES ('1', 'Rosen')"));
    SqliteDatabase c;
    c.open(db.file());
    createYearTables(c, 2005);
    const QString before = tablesWithColumn(db.file(), LineTables, QStringLiteral("rabatt"));
    const std::vector<Migration> list = withColumn ? withLineColumn() : programMigrations();

    QCOMPARE(upgradeSchema(c, [](const QString &) { return true; }, Today, list), UpgradeResult::Upgraded);

    QCOMPARE(c.schemaVersion(), version);
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE name IN ('firma', 'kunde_efattura')")),
             QStringLiteral("2"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM firma")), QStringLiteral("1"));
    QCOMPARE(tablesWithColumn(db.file(), LineTables, QStringLiteral("rabatt")), withColumnAfter);
    // The rows there were get the column's default.
    if (withColumn)
        QCOMPARE(db.scalar(QStringLiteral("SELECT rabatt FROM rechnung2003")), QStringLiteral("22"));
    QVERIFY(pendingMigrations(c, list).empty());

    // The copy is the file as it was before.
    const QString copy = backupOf(db, version);
    QVERIFY2(QFile::exists(copy), qPrintable(copy));
    QCOMPARE(testdb::scalar(copy, QStringLiteral("PRAGMA user_version")), QStringLiteral("0"));
    QCOMPARE(tablesWithColumn(copy, LineTables, QStringLiteral("rabatt")), before);
    QCOMPARE(testdb::scalar(copy, QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE name = 'firma'")),
             sql.contains(QLatin1String("DROP TABLE firma")) ? QStringLiteral("0") : QStringLiteral("1"));
    QCOMPARE(testdb::scalar(copy, QStringLiteral("SELECT beschreibung FROM rechnung2003")), QStringLiteral("Rosen"));

    // Once there, nothing is asked again.
    QCOMPARE(upgradeSchema(c, [](const QString &) { return true; }, Today, list), UpgradeResult::UpToDate);
}

void TestMigrations::aYearMadeLaterHasTheColumn_data()
{
    QTest::addColumn<QByteArray>("definition");
    // The column as pragma_table_info reports it: type, then default.
    QTest::addColumn<QString>("column");
    QTest::newRow("text with a default") << QByteArray("VARCHAR(10) DEFAULT '22'") << QStringLiteral("VARCHAR(10) '22'");
    QTest::newRow("number") << QByteArray("INTEGER DEFAULT -1") << QStringLiteral("INTEGER -1");
    // SQLite reports an expression without its parentheses; written back without them it would not parse.
    QTest::newRow("expression") << QByteArray("INTEGER DEFAULT (2 * 11)") << QStringLiteral("INTEGER 2 * 11");
    QTest::newRow("no default") << QByteArray("VARCHAR(10)") << QStringLiteral("VARCHAR(10) -");
}

void TestMigrations::aYearMadeLaterHasTheColumn()
{
    QFETCH(QByteArray, definition);
    QFETCH(QString, column);
    testdb::Fixture db;
    SqliteDatabase c;
    c.open(db.file());
    const std::vector<Migration> list = withLineColumn(lineColumn(definition));
    QCOMPARE(upgradeSchema(c, [](const QString &) { return true; }, Today, list), UpgradeResult::Upgraded);
    createYearTables(c, 2007);
    QCOMPARE(db.scalar(QStringLiteral("SELECT type || ' ' || coalesce(dflt_value, '-') FROM pragma_table_info('rechnung2007') "
                                      "WHERE name = 'rabatt'")),
             column);
    QVERIFY(pendingMigrations(c, list).empty());
}

void TestMigrations::failureInTheMiddleChangesNothing()
{
    // The newest years are altered first; 2003 holds a row the column's check
    // refuses, so its ALTER fails after 2005's and 2004's went through.
    testdb::Fixture db(NoBusinessTables
                       + QStringLiteral("INSERT INTO rechnung2003 (rechnungsnummer) VALUES ('verweigert');"
                                        "INSERT INTO rechnung2004 (rechnungsnummer) VALUES ('1');"));
    SqliteDatabase c;
    c.open(db.file());
    createYearTables(c, 2005);
    const QByteArray before = contentOf(db.file());
    const std::vector<Migration> list = withLineColumn(lineColumn("VARCHAR(10) CHECK (rechnungsnummer <> 'verweigert')"));

    const QString error = errorOf([&] { upgradeSchema(c, [](const QString &) { return true; }, Today, list); });

    QVERIFY2(error.startsWith(QStringLiteral("Die Datenbank konnte nicht ergänzt werden: Tabelle 'rechnung2003'")), qPrintable(error));
    QVERIFY(!c.inTransaction());
    QCOMPARE(c.schemaVersion(), 0);
    QCOMPARE(tablesWithColumn(db.file(), LineTables, QStringLiteral("rabatt")), QString());
    // The business tables, made before in the same transaction, are gone again.
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE name IN ('firma', 'kunde_efattura')")),
             QStringLiteral("0"));
    QCOMPARE(contentOf(db.file()), before);
    // It is asked again next time.
    QCOMPARE(pendingMigrations(c, list).size(), size_t(2));
}

void TestMigrations::failedCopyChangesNothing()
{
    testdb::Fixture db(NoBusinessTables);
    {
        QFile blocker(db.dir() + QStringLiteral("/Sicherungen")); // a file where the folder belongs
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    SqliteDatabase c;
    c.open(db.file());
    const QByteArray before = contentOf(db.file());

    const QString error =
        errorOf([&] { upgradeSchema(c, [](const QString &) { return true; }, Today, withLineColumn()); });

    QVERIFY2(error.startsWith(QStringLiteral("Die Sicherung vor dem Ergänzen der Datenbank ist fehlgeschlagen.")), qPrintable(error));
    QVERIFY2(error.endsWith(QStringLiteral("Die Datenbank wurde nicht verändert")), qPrintable(error));
    QCOMPARE(contentOf(db.file()), before);
    QCOMPARE(c.schemaVersion(), 0);
    QCOMPARE(tablesWithColumn(db.file(), LineTables, QStringLiteral("rabatt")), QString());
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE name = 'firma'")), QStringLiteral("0"));
}

void TestMigrations::declinedChangesNothing()
{
    testdb::Fixture db(NoBusinessTables);
    SqliteDatabase c;
    c.open(db.file());
    const QByteArray before = contentOf(db.file());
    int asked = 0;
    QCOMPARE(upgradeSchema(c, [&](const QString &) { ++asked; return false; }, Today, withLineColumn()),
             UpgradeResult::Declined);
    QCOMPARE(asked, 1);
    QCOMPARE(contentOf(db.file()), before);
    QVERIFY(!QFileInfo::exists(db.dir() + QStringLiteral("/Sicherungen")));
    // The file works with what it has: a new year is made like the newest.
    createYearTables(c, 2005);
    QCOMPARE(tablesWithColumn(db.file(), LineTables, QStringLiteral("rabatt")), QString());
}

void TestMigrations::newDatabaseIsAtTheLatestVersion()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("neu.mdb"));
    newdb::createEmpty(file);
    SqliteDatabase c;
    c.open(file);
    QCOMPARE(c.schemaVersion(), latestVersion(programMigrations()));
    QVERIFY(latestVersion(programMigrations()) >= 1);
    QVERIFY(pendingMigrations(c).empty());
    for (const Migration &m : programMigrations())
        QVERIFY2(isInFile(c, m), qPrintable(m.description));
    QCOMPARE(testdb::scalar(file, QStringLiteral("SELECT count(*) FROM firma")), QStringLiteral("1"));
}

void TestMigrations::dailyCopiesLeaveTheCopyBeforeAVersion()
{
    testdb::Fixture db;
    SqliteDatabase c;
    c.open(db.file());
    const QString before = backup::copyBeforeVersion(c, db.file(), 2, Today.addDays(-40));
    QCOMPARE(QFileInfo(before).fileName(), QStringLiteral("rechungen-vor-Version-2-2026-02-02.mdb"));
    // More daily copies than are kept, all older than today's.
    for (int day = 1; day <= backup::KeptDailyCopies + 2; ++day)
        backup::makeDailyCopy(c, db.file(), Today.addDays(-day));
    const QStringList left = QDir(db.dir() + QStringLiteral("/Sicherungen")).entryList(QDir::Files);
    QCOMPARE(left.size(), backup::KeptDailyCopies + 1);
    QVERIFY(left.contains(QFileInfo(before).fileName()));
}

void TestMigrations::everyYearHasItsIndexes_data()
{
    QTest::addColumn<QString>("made"); // how the file or year came to be
    QTest::addColumn<QList<int>>("years");
    QTest::newRow("new file") << "new file" << QList<int>{2004, 2003, 2002};
    QTest::newRow("new year") << "new year" << QList<int>{2026, 2004, 2003, 2002};
    // A file of an earlier version, with a year made by it as well.
    QTest::newRow("old file brought up to date") << "old file" << QList<int>{2005, 2004, 2003, 2002};
}

void TestMigrations::everyYearHasItsIndexes()
{
    QFETCH(QString, made);
    QFETCH(QList<int>, years);
    testdb::Fixture db;
    QString file = db.file();
    QTemporaryDir dir;
    if (made == QLatin1String("new file")) {
        file = dir.filePath(QStringLiteral("neu.mdb"));
        newdb::createEmpty(file);
    } else if (made == QLatin1String("new year")) {
        SqliteDatabase c;
        c.open(file);
        createYearTables(c, 2026);
    } else {
        SqliteDatabase c;
        c.open(file);
        createYearTables(c, 2005);
        for (const QString &index : c.indexNames())
            c.exec("DROP INDEX " + c.quoteIdentifier(index.toUtf8()));
        c.setSchemaVersion(1);
        QCOMPARE(yearIndexes(file), QString());
        const std::vector<Migration> pending = pendingMigrations(c);
        QCOMPARE(pending.size(), size_t(1));
        QCOMPARE(pending.front().version, YearIndexesVersion);
        QString question;
        QCOMPARE(upgradeSchema(c, [&](const QString &q) { question = q; return true; }, Today), UpgradeResult::Upgraded);
        QVERIFY2(question.contains(QStringLiteral("- Indizes, mit denen Rechnungen und Rechnungszeilen jedes Jahres schneller "
                                                  "gefunden werden\n")),
                 qPrintable(question));
        QVERIFY(pendingMigrations(c).empty());
    }
    QCOMPARE(yearIndexes(file), expectedIndexes(years));
}

void TestMigrations::lineRatesForAnOlderFile_data()
{
    QTest::addColumn<bool>("consent");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void TestMigrations::lineRatesForAnOlderFile()
{
    QFETCH(bool, consent);
    testdb::Fixture db(NoLineRates);
    SqliteDatabase c;
    c.open(db.file());
    // Made like the newest year, without them.
    createYearTables(c, 2005);
    const QByteArray before = contentOf(db.file());
    QStringList asked;
    const UpgradeResult result = upgradeSchema(c, [&](const QString &q) { asked << q; return consent; }, Today);
    // Both in one question, and only they: the rest the file has.
    QCOMPARE(asked, QStringList{QStringLiteral("Diese Version des Programms ergänzt die Datenbank um:\n\n"
                                               "- den Steuersatz jeder Rechnungszeile (leer bedeutet wie bisher 10 %)\n"
                                               "- den Grund der Steuerbefreiung (Natura) für Zeilen mit 0 %\n\n"
                                               "Vorher wird die Datenbank in den Ordner „Sicherungen“ kopiert. Jetzt ergänzen?")});
    const QString everyYear = LineTables.join(QLatin1Char(' '));
    if (consent) {
        QCOMPARE(result, UpgradeResult::Upgraded);
        QCOMPARE(tablesWithColumn(db.file(), LineTables, QStringLiteral("steuersatz")), everyYear);
        QCOMPARE(tablesWithColumn(db.file(), LineTables, QStringLiteral("natura")), everyYear);
        QCOMPARE(c.schemaVersion(), latestVersion(programMigrations()));
        // The lines there were stay at 10 %: both columns empty.
        QCOMPARE(db.scalar(QStringLiteral("SELECT ifnull(steuersatz, 'NULL') || ifnull(natura, 'NULL') FROM rechnung2004")),
                 QStringLiteral("NULLNULL"));
    } else {
        QCOMPARE(result, UpgradeResult::Declined);
        QCOMPARE(contentOf(db.file()), before);
        QCOMPARE(tablesWithColumn(db.file(), LineTables, QStringLiteral("steuersatz")), QString());
    }
    // Either way the invoice reads as before: 3 × 0,35 = 1,05 at 10 %, tax 0,11.
    InvoiceData d;
    d.open(db.file());
    d.setYear(2004);
    const InvoiceTotals totals = invoiceTotals(totalsLines(d.invoiceLines));
    QVERIFY(totals.onlyStandardRate());
    QCOMPARE(moneyWithDot(totals.net), QStringLiteral("1.05"));
    QCOMPARE(moneyWithDot(totals.tax), QStringLiteral("0.11"));
    QCOMPARE(d.invoiceLines.FindField(QStringLiteral("steuersatz")) != nullptr, consent);
}

QTEST_GUILESS_MAIN(TestMigrations)
#include "tst_migrations.moc"
