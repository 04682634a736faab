// The separators a file names for its amounts: what a new file names, what
// the program reads a file with under every regional setting, how a file made
// before gets them, and how amounts written with the other separator read.

#include "errorof.h"
#include "testdb.h"

#include "data/backup.h"
#include "data/database.h"
#include "data/fileseparators.h"
#include "data/lineamount.h"
#include "data/migrations.h"
#include "data/newdatabase.h"
#include "data/sqlitedatabase.h"

#include <QTest>

Q_DECLARE_METATYPE(Separators)
Q_DECLARE_METATYPE(StoredNumber)

namespace {

const Separators Comma{QLatin1Char(','), QLatin1Char('.')};
const Separators Dot{QLatin1Char('.'), QLatin1Char(',')};
const QDate Today(2026, 3, 14);

// The regional settings the program meets; C is a script's.
Separators settingsOf(const char *locale)
{
    return Separators::ofLocale(QLocale(QString::fromLatin1(locale)));
}

void addLocaleRows()
{
    QTest::addColumn<Separators>("user");
    for (const char *locale : {"de_DE", "it_IT", "en_US", "C"})
        QTest::newRow(locale) << settingsOf(locale);
}

QString shown(const Separators &s) { return QString(s.decimal) + QString(s.thousands); }

// Anna's invoice 5: 4 × 2,50 and 1 × 10 in a file of decimal commas.
const QString CommaInvoice = QStringLiteral(
    "INSERT INTO kunde (id, name) VALUES (1, 'Anna');"
    "INSERT INTO rechnungsdaten2004 (id, nr, kundennummer) VALUES (1, '5', '1');"
    "INSERT INTO rechnung2004 (id, rechnungsnummer, anzahl, einzelpreis) VALUES (1, '5', '4', '2,50'), (2, '5', '1', '10');");

QString gross(InvoiceData &d)
{
    return formatMoney(invoiceTotals(totalsLines(d.invoiceLines)).gross, d.separators());
}

} // namespace

class TestFileSeparators : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void storedNumbers_data();
    void storedNumbers();
    void typedNumbersStayStrict();

    void newFileNamesTheGivenSeparators_data() { addLocaleRows(); }
    void newFileNamesTheGivenSeparators();
    void unusableRowNamesNothing_data();
    void unusableRowNamesNothing();

    void fileSeparatorsWinOverTheUsers_data() { addLocaleRows(); }
    void fileSeparatorsWinOverTheUsers();
    void fileWithoutSeparatorsFollowsTheUser_data() { addLocaleRows(); }
    void fileWithoutSeparatorsFollowsTheUser();
    void typingTakesTheFilesSeparator();

    void mixedFileReadsAndIsListed();

    void migrationStoresTheSeparatorsOfThePcThatOpens_data() { addLocaleRows(); }
    void migrationStoresTheSeparatorsOfThePcThatOpens();
    void declinedMigrationChangesNothing();
};

void TestFileSeparators::storedNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Separators>("file");
    QTest::addColumn<StoredNumber>("reading");
    QTest::addColumn<double>("value");

    const auto other = StoredNumber::ReadWithOtherSeparator;
    const auto none = StoredNumber::Unreadable;
    QTest::newRow("comma in a comma file") << "2,50" << Comma << StoredNumber::Read << 2.5;
    QTest::newRow("whole number") << "1100" << Comma << StoredNumber::Read << 1100.0;
    QTest::newRow("point, two digits") << "2.50" << Comma << other << 2.5;
    QTest::newRow("point, one digit") << "2.5" << Comma << other << 2.5;
    QTest::newRow("point, negative") << "-12.05" << Comma << other << -12.05;
    QTest::newRow("point, blanks around") << " 2.50 " << Comma << other << 2.5;
    QTest::newRow("point, nothing before") << ".5" << Comma << other << 0.5;
    // Three digits after the point may be thousands: never guessed.
    QTest::newRow("point, three digits") << "1.250" << Comma << none << 0.0;
    QTest::newRow("point and comma") << "1.234,50" << Comma << none << 0.0;
    QTest::newRow("two points") << "1.2.50" << Comma << none << 0.0;
    QTest::newRow("point, no digits after") << "2." << Comma << none << 0.0;
    QTest::newRow("point, exponent") << "2.5e1" << Comma << none << 0.0;
    QTest::newRow("point, letters") << "2.5x" << Comma << none << 0.0;
    QTest::newRow("word") << "zwei" << Comma << none << 0.0;
    // The mirror rule.
    QTest::newRow("point in a point file") << "2.50" << Dot << StoredNumber::Read << 2.5;
    QTest::newRow("comma in a point file") << "2,50" << Dot << other << 2.5;
    QTest::newRow("comma, three digits, point file") << "1,250" << Dot << none << 0.0;
    // A file of neither convention has no other separator to try.
    QTest::newRow("point, Arabic file") << "2.50" << Separators{QChar(0x066B), QChar(0x066C)} << none << 0.0;
}

void TestFileSeparators::storedNumbers()
{
    QFETCH(QString, text);
    QFETCH(Separators, file);
    QFETCH(StoredNumber, reading);
    QFETCH(double, value);
    long double read = 0;
    QCOMPARE(tryStoredNumber(text, read, file), reading);
    if (reading == StoredNumber::Unreadable) {
        QCOMPARE(errorOf([&] { storedNumber(text, file); }), QStringLiteral("'%1' ist kein gültiger Gleitkommawert").arg(text));
    } else {
        QCOMPARE(double(read), value);
        QCOMPARE(double(storedNumber(text, file)), value);
    }
}

void TestFileSeparators::typedNumbersStayStrict()
{
    // What is typed and converted otherwise keeps the plain conversion.
    QCOMPARE(errorOf([] { textToFloat(QStringLiteral("2.50"), Comma); }),
             QStringLiteral("'2.50' ist kein gültiger Gleitkommawert"));
    QCOMPARE(errorOf([] { textToFloat(QStringLiteral("2,50"), Dot); }),
             QStringLiteral("'2,50' ist kein gültiger Gleitkommawert"));
}

void TestFileSeparators::newFileNamesTheGivenSeparators()
{
    QFETCH(Separators, user);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("neu.mdb"));
    newdb::createEmpty(file, user);
    SqliteDatabase c;
    c.open(file);
    const std::optional<Separators> stored = storedSeparators(c);
    QVERIFY(stored);
    QCOMPARE(shown(*stored), shown(user));
    QVERIFY(pendingMigrations(c).empty());
    QCOMPARE(testdb::scalar(file, QStringLiteral("SELECT count(*) FROM zahlenformat")), QStringLiteral("1"));
}

void TestFileSeparators::unusableRowNamesNothing_data()
{
    QTest::addColumn<QString>("row"); // values for (dezimaltrennzeichen, tausendertrennzeichen)
    QTest::newRow("no row") << QString();
    QTest::newRow("empty decimal") << "'', '.'";
    QTest::newRow("two characters") << "',,', '.'";
    QTest::newRow("digit") << "'1', '.'";
    QTest::newRow("both the same") << "',', ','";
    QTest::newRow("NULL") << "NULL, NULL";
}

void TestFileSeparators::unusableRowNamesNothing()
{
    QFETCH(QString, row);
    testdb::Fixture db(row.isEmpty() ? QString() : QStringLiteral("INSERT INTO zahlenformat VALUES (1, %1)").arg(row));
    SqliteDatabase c;
    c.open(db.file());
    QVERIFY(!storedSeparators(c));
    InvoiceData d;
    d.setSeparators(Dot);
    d.open(db.file());
    QVERIFY(!d.fileNamesSeparators());
    QCOMPARE(shown(d.separators()), shown(Dot));
}

void TestFileSeparators::fileSeparatorsWinOverTheUsers()
{
    QFETCH(Separators, user);
    testdb::Fixture db(CommaInvoice + QStringLiteral("INSERT INTO zahlenformat VALUES (1, ',', '.');"
                                                     "INSERT INTO rechnung2004 (rechnungsnummer, anzahl, einzelpreis) "
                                                     "VALUES ('5', '1100', '1');"));
    InvoiceData d;
    d.setSeparators(user);
    d.open(db.file());
    QVERIFY(d.fileNamesSeparators());
    QCOMPARE(shown(d.separators()), QStringLiteral(",."));
    QCOMPARE(shown(d.invoiceLines.separators()), QStringLiteral(",."));
    QCOMPARE(d.invoiceLines.FieldByName(QStringLiteral("summerechn"))->DisplayText(), QStringLiteral("10,00"));
    d.invoiceLines.Last();
    QCOMPARE(d.invoiceLines.FieldByName(QStringLiteral("summerechn"))->DisplayText(), QStringLiteral("1.100,00"));
    // 4 × 2,50 + 10 + 1100, and 10 % on it.
    QCOMPARE(gross(d), QStringLiteral("1.232,00"));
    // Another change of the user's settings while the file is open changes nothing.
    d.setSeparators(settingsOf("en_US"));
    QCOMPARE(shown(d.separators()), QStringLiteral(",."));
    QCOMPARE(d.invoiceLines.FieldByName(QStringLiteral("summerechn"))->DisplayText(), QStringLiteral("1.100,00"));
}

void TestFileSeparators::fileWithoutSeparatorsFollowsTheUser()
{
    QFETCH(Separators, user);
    testdb::Fixture db(QStringLiteral("INSERT INTO kunde (id, name) VALUES (1, 'Anna');"
                                      "INSERT INTO rechnungsdaten2004 (nr, kundennummer) VALUES ('5', '1');"
                                      "INSERT INTO rechnung2004 (rechnungsnummer, anzahl, einzelpreis) VALUES ('5', '1100', '1');"));
    InvoiceData d;
    d.setSeparators(user);
    d.open(db.file());
    QVERIFY(!d.fileNamesSeparators());
    QCOMPARE(shown(d.separators()), shown(user));
    QCOMPARE(d.invoiceLines.FieldByName(QStringLiteral("summerechn"))->DisplayText(), formatAmount(1100, user));
}

void TestFileSeparators::typingTakesTheFilesSeparator()
{
    // A PC with English settings on a file of decimal commas.
    testdb::Fixture db(CommaInvoice + QStringLiteral("INSERT INTO zahlenformat VALUES (1, ',', '.');"));
    InvoiceData d;
    d.setSeparators(Dot);
    d.open(db.file());
    RecordSet &lines = d.invoiceLines;
    lines.First();
    lines.Edit();
    QCOMPARE(errorOf([&] { lines.FieldByName(QStringLiteral("einzelpreis"))->setAsString(QStringLiteral("3.75")); }),
             QStringLiteral("'3.75' ist kein gültiger Gleitkommawert"));
    QCOMPARE(errorOf([&] { lines.Post(); }), QStringLiteral("'3.75' ist kein gültiger Gleitkommawert"));
    lines.FieldByName(QStringLiteral("einzelpreis"))->setAsString(QStringLiteral("3,75"));
    lines.Post();
    QCOMPARE(db.scalar(QStringLiteral("SELECT einzelpreis FROM rechnung2004 WHERE id = 1")), QStringLiteral("3,75"));
    QCOMPARE(lines.FieldByName(QStringLiteral("summerechn"))->DisplayText(), QStringLiteral("15,00"));
    // A number given as a number is written with the file's separator.
    lines.Edit();
    lines.FieldByName(QStringLiteral("einzelpreis"))->setAsFloat(1.25);
    lines.Post();
    QCOMPARE(db.scalar(QStringLiteral("SELECT einzelpreis FROM rechnung2004 WHERE id = 1")), QStringLiteral("1,25"));
}

void TestFileSeparators::mixedFileReadsAndIsListed()
{
    // Typed on PCs of either setting before the file named its separators.
    testdb::Fixture db(CommaInvoice + QStringLiteral(
        "INSERT INTO zahlenformat VALUES (1, ',', '.');"
        "INSERT INTO rechnung2004 (id, rechnungsnummer, anzahl, einzelpreis) VALUES (3, '5', '2', '2.50'), (4, '5', '0.5', '3');"
        "INSERT INTO rechnungsdaten2003 (id, nr, kundennummer) VALUES (1, '9', '1');"
        "INSERT INTO rechnung2003 (id, rechnungsnummer, anzahl, einzelpreis) VALUES (7, '9', '1', '1.250'), (8, '9', '', 'x');"));
    InvoiceData d;
    d.setSeparators(Dot);
    d.open(db.file());
    // 4 × 2,50 + 10 + 2 × 2,50 + 0,5 × 3 = 26,50; 10 % on it.
    QCOMPARE(gross(d), QStringLiteral("29,15"));

    SqliteDatabase c;
    c.open(db.file());
    QStringList listed;
    for (const StoredAmountNote &n : storedAmountNotes(c, Comma))
        listed << QStringLiteral("%1 %2 %3 %4 %5").arg(n.table).arg(n.id).arg(n.column, n.text).arg(int(n.reading));
    const int other = int(StoredNumber::ReadWithOtherSeparator), unreadable = int(StoredNumber::Unreadable);
    // An empty quantity is no amount to read.
    QCOMPARE(listed, (QStringList{QStringLiteral("rechnung2004 3 einzelpreis 2.50 %1").arg(other),
                                  QStringLiteral("rechnung2004 4 anzahl 0.5 %1").arg(other),
                                  QStringLiteral("rechnung2003 7 einzelpreis 1.250 %1").arg(unreadable),
                                  QStringLiteral("rechnung2003 8 einzelpreis x %1").arg(unreadable)}));

    // Changing something else of such a line holds nothing up.
    QVERIFY(d.invoiceLines.Locate(QStringLiteral("id"), 3));
    d.invoiceLines.Edit();
    d.invoiceLines.FieldByName(QStringLiteral("beschreibung"))->setAsString(QStringLiteral("Rosen"));
    d.invoiceLines.Post();
    QCOMPARE(db.scalar(QStringLiteral("SELECT beschreibung || '|' || einzelpreis FROM rechnung2004 WHERE id = 3")),
             QStringLiteral("Rosen|2.50"));
    QCOMPARE(gross(d), QStringLiteral("29,15"));

    // The year whose amount cannot be read says where.
    d.setYear(2003);
    QCOMPARE(errorOf([&] { totalsLines(d.invoiceLines); }), QStringLiteral("Zeile 1: '1.250' ist kein gültiger Gleitkommawert"));
}

void TestFileSeparators::migrationStoresTheSeparatorsOfThePcThatOpens()
{
    QFETCH(Separators, user);
    testdb::Fixture db(QStringLiteral("DROP TABLE zahlenformat;"));
    SqliteDatabase c;
    c.open(db.file());
    QStringList asked;
    QCOMPARE(upgradeSchema(c, [&](const QString &q) { asked << q; return true; }, Today, programMigrations(), user),
             UpgradeResult::Upgraded);
    QCOMPARE(asked, QStringList{separatorsMigration().question});
    const std::optional<Separators> stored = storedSeparators(c);
    QVERIFY(stored);
    QCOMPARE(shown(*stored), shown(user));
    QCOMPARE(c.schemaVersion(), latestVersion(programMigrations()));
    QVERIFY(QFile::exists(db.dir() + QStringLiteral("/Sicherungen/")
                          + backup::beforeVersionFileName(latestVersion(programMigrations()), Today)));
    // Opened on a PC of other settings afterwards, the file keeps them.
    InvoiceData d;
    d.setSeparators(user == Comma ? Dot : Comma);
    d.open(db.file());
    QCOMPARE(shown(d.separators()), shown(user));
}

void TestFileSeparators::declinedMigrationChangesNothing()
{
    testdb::Fixture db(QStringLiteral("DROP TABLE zahlenformat;"));
    SqliteDatabase c;
    c.open(db.file());
    QCOMPARE(upgradeSchema(c, [](const QString &) { return false; }, Today, programMigrations(), Comma), UpgradeResult::Declined);
    QVERIFY(!c.hasTable(QStringLiteral("zahlenformat")));
    QCOMPARE(c.schemaVersion(), 0);
    InvoiceData d;
    d.setSeparators(Dot);
    d.open(db.file());
    QVERIFY(!d.fileNamesSeparators());
    QCOMPARE(shown(d.separators()), shown(Dot));
}

QTEST_GUILESS_MAIN(TestFileSeparators)
#include "tst_fileseparators.moc"
