// The engine seam on its SQLite implementation: statements put back when
// their handle goes, values in the storage class they went in, units of work
// that undo themselves, and the catalogue the years and the import read.

#include "errorof.h"
#include "testdb.h"

#include "data/errors.h"
#include "data/sqlitedatabase.h"

#include <QTest>

namespace {

const char *const Customers = "INSERT INTO kunde (id, name, adresse) VALUES (1, 'Anna', 'Weg 1'), (2, 'Bruno', NULL);";

} // namespace

class TestEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void valuesComeBackInTheirStorageClass_data();
    void valuesComeBackInTheirStorageClass();
    void aHandleLeavingScopeReleasesTheReadLock();
    void aStatementRunsAgainWithItsParameters();
    void aPreparedOnceStatementIsNotKept();
    void wholeRowsReadInOneCall();
    void transactionRolledBackUnlessCommitted_data();
    void transactionRolledBackUnlessCommitted();
    void nestedTransactionIsASavepoint();
    void catalogue();
    void schemaVersionIsKeptInTheFile();
    void insertOrReplaceReplacesByKey();
    void failuresAreSaidInGerman_data();
    void failuresAreSaidInGerman();
};

void TestEngine::valuesComeBackInTheirStorageClass_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("integer");
    QTest::addColumn<double>("real");
    QTest::newRow("null") << int(Value::Null) << QByteArray() << qint64(0) << 0.0;
    QTest::newRow("integer") << int(Value::Integer) << QByteArray() << qint64(-9007199254740993) << 0.0;
    QTest::newRow("real") << int(Value::Real) << QByteArray() << qint64(0) << 2.5;
    QTest::newRow("text") << int(Value::Text) << QByteArray("Grünwiesen") << qint64(0) << 0.0;
    // An empty text is no NULL, or a lost-update check would match the wrong row.
    QTest::newRow("empty text") << int(Value::Text) << QByteArray("") << qint64(0) << 0.0;
    QTest::newRow("text with a zero byte") << int(Value::Text) << QByteArray("a\0b", 3) << qint64(0) << 0.0;
    QTest::newRow("blob") << int(Value::Blob) << QByteArray("\x01\x00\xff", 3) << qint64(0) << 0.0;
    QTest::newRow("empty blob") << int(Value::Blob) << QByteArray("") << qint64(0) << 0.0;
}

void TestEngine::valuesComeBackInTheirStorageClass()
{
    QFETCH(int, type);
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, integer);
    QFETCH(double, real);
    Value v;
    v.type = Value::Type(type);
    v.bytes = bytes;
    v.integer = integer;
    v.real = real;

    // A column without a declared type keeps every storage class as it comes.
    testdb::Fixture db(QStringLiteral("CREATE TABLE beliebig (id INTEGER PRIMARY KEY, wert);"));
    SqliteDatabase c;
    c.open(db.file());
    {
        StatementHandle insert = c.prepare("INSERT INTO beliebig (wert) VALUES (?1)");
        insert->bind(1, v);
        insert->run();
    }
    StatementHandle read = c.prepare("SELECT wert, typeof(wert) FROM beliebig WHERE id = ?1");
    read->bindInteger(1, c.lastInsertId());
    QVERIFY(read->step());
    QCOMPARE(int(read->columnType(0)), type);
    QVERIFY(read->columnValue(0) == v);
    static const char *const names[] = {"null", "integer", "real", "text", "blob"};
    QCOMPARE(read->columnString(1), QString::fromLatin1(names[type]));
    QVERIFY(!read->step());
}

// A reader that stays open blocks every writer of another program; the
// handle going must end the read even when its rows were not all read.
void TestEngine::aHandleLeavingScopeReleasesTheReadLock()
{
    testdb::Fixture db(QString::fromUtf8(Customers));
    SqliteDatabase c;
    c.open(db.file());
    SqliteDatabase other;
    other.open(db.file(), 0);
    {
        StatementHandle st = c.prepare("SELECT name FROM kunde ORDER BY id");
        QVERIFY(st->step());
        QVERIFY(!errorOf<EngineError>([&] { other.exec("BEGIN EXCLUSIVE"); }).isEmpty());
    }
    QCOMPARE(errorOf<EngineError>([&] { other.exec("BEGIN EXCLUSIVE; COMMIT"); }), QString());
    // The cached statement starts from the first row again, without parameters.
    StatementHandle again = c.prepare("SELECT name FROM kunde ORDER BY id");
    QVERIFY(again->step());
    QCOMPARE(again->columnString(0), QStringLiteral("Anna"));
}

void TestEngine::aStatementRunsAgainWithItsParameters()
{
    testdb::Fixture db;
    SqliteDatabase c;
    c.open(db.file());
    StatementHandle insert = c.prepare("INSERT INTO kunde (name, adresse) VALUES (?1, ?2)");
    insert->bindText(2, QStringLiteral("Dorf"));
    for (const char *name : {"Anna", "Bruno", "Carla"}) {
        insert->bindText(1, name);
        insert->run();
        QCOMPARE(c.changes(), qint64(1));
    }
    QCOMPARE(db.scalar(QStringLiteral("SELECT group_concat(name || '@' || adresse, '|') FROM kunde")),
             QStringLiteral("Anna@Dorf|Bruno@Dorf|Carla@Dorf"));
}

void TestEngine::aPreparedOnceStatementIsNotKept()
{
    testdb::Fixture db(QString::fromUtf8(Customers));
    SqliteDatabase c;
    c.open(db.file());
    {
        StatementHandle outer = c.prepare("SELECT name FROM kunde ORDER BY id", Database::Reuse::Once);
        QVERIFY(outer->step());
        // The same text prepared again while the first is open is a statement of its own.
        StatementHandle inner = c.prepare("SELECT name FROM kunde ORDER BY id", Database::Reuse::Once);
        QVERIFY(inner->step() && inner->step());
        QCOMPARE(inner->columnString(0), QStringLiteral("Bruno"));
        QCOMPARE(outer->columnString(0), QStringLiteral("Anna"));
    }
    SqliteDatabase other;
    other.open(db.file(), 0);
    QCOMPARE(errorOf<EngineError>([&] { other.exec("BEGIN EXCLUSIVE; COMMIT"); }), QString());
}

void TestEngine::wholeRowsReadInOneCall()
{
    testdb::Fixture db(QString::fromUtf8(Customers));
    SqliteDatabase c;
    c.open(db.file());
    StatementHandle st = c.prepare("SELECT id, name, adresse FROM kunde ORDER BY id");
    QVERIFY(st->step());
    QVERIFY(st->step());
    const int columns[] = {2, -1, 1, 0};
    FieldView fields[4];
    st->readRow(columns, 4, fields);
    QCOMPARE(int(fields[0].type), int(Value::Null));
    QCOMPARE(int(fields[1].type), int(Value::Null));
    QCOMPARE(int(fields[2].type), int(Value::Text));
    QCOMPARE(QByteArray(static_cast<const char *>(fields[2].data), qsizetype(fields[2].size)), QByteArray("Bruno"));
    QCOMPARE(int(fields[3].type), int(Value::Integer));
    QCOMPARE(fields[3].integer, qint64(2));
}

void TestEngine::transactionRolledBackUnlessCommitted_data()
{
    QTest::addColumn<bool>("commit");
    QTest::addColumn<QString>("names");
    QTest::newRow("committed") << true << QStringLiteral("Anna|Bruno|Carla");
    QTest::newRow("left without commit") << false << QStringLiteral("Anna|Bruno");
}

void TestEngine::transactionRolledBackUnlessCommitted()
{
    QFETCH(bool, commit);
    QFETCH(QString, names);
    testdb::Fixture db(QString::fromUtf8(Customers));
    SqliteDatabase c;
    c.open(db.file());
    {
        Transaction transaction(c, true);
        QVERIFY(c.inTransaction());
        c.exec("INSERT INTO kunde (id, name) VALUES (3, 'Carla')");
        if (commit)
            transaction.commit();
    }
    QVERIFY(!c.inTransaction());
    QCOMPARE(db.scalar(QStringLiteral("SELECT group_concat(name, '|') FROM (SELECT name FROM kunde ORDER BY id)")), names);
}

void TestEngine::nestedTransactionIsASavepoint()
{
    testdb::Fixture db(QString::fromUtf8(Customers));
    SqliteDatabase c;
    c.open(db.file());
    {
        Transaction outer(c);
        c.exec("INSERT INTO kunde (id, name) VALUES (3, 'Carla')");
        {
            Transaction inner(c);
            c.exec("INSERT INTO kunde (id, name) VALUES (4, 'Dora')");
        }
        // Only the inner work is undone, and the outer one goes on.
        QVERIFY(c.inTransaction());
        {
            Transaction inner(c);
            c.exec("INSERT INTO kunde (id, name) VALUES (5, 'Emil')");
            inner.commit();
        }
        outer.commit();
    }
    QCOMPARE(db.scalar(QStringLiteral("SELECT group_concat(id, '|') FROM (SELECT id FROM kunde ORDER BY id)")),
             QStringLiteral("1|2|3|5"));
}

void TestEngine::catalogue()
{
    testdb::Fixture db(QStringLiteral("CREATE TABLE \"Mit \"\"Zeichen\"\"\" (id INTEGER PRIMARY KEY, x);"));
    SqliteDatabase c;
    c.open(db.file());
    QVERIFY(c.hasTable(QStringLiteral("KUNDE")));
    QVERIFY(!c.hasTable(QStringLiteral("kunden")));
    QVERIFY(c.tableNames().contains(QStringLiteral("Mit \"Zeichen\"")));
    QCOMPARE(c.quoteIdentifier("Mit \"Zeichen\""), QByteArray("\"Mit \"\"Zeichen\"\"\""));
    const std::vector<ColumnInfo> columns = c.columns(QStringLiteral("kunde"));
    QVERIFY(columns.size() > 2);
    QCOMPARE(columns[0].name, QByteArray("id"));
    QVERIFY(columns[0].primaryKey && columns[0].autoIncrement);
    QCOMPARE(columns[1].declType.toUpper(), QByteArray("VARCHAR(50)"));
    QVERIFY(!columns[1].primaryKey && !columns[1].autoIncrement);
    // A key without AUTOINCREMENT, and a column without a declared type.
    const std::vector<ColumnInfo> plain = c.columns(QStringLiteral("Mit \"Zeichen\""));
    QCOMPARE(plain.size(), size_t(2));
    QVERIFY(plain[0].primaryKey && !plain[0].autoIncrement);
    QCOMPARE(plain[1].declType, QByteArray());
    QVERIFY(c.columns(QStringLiteral("fehlt")).empty());
    QCOMPARE(c.rowCountEstimate(QStringLiteral("kunde")), qint64(0));
    c.exec("INSERT INTO kunde (id, name) VALUES (41, 'x')");
    QCOMPARE(c.rowCountEstimate(QStringLiteral("kunde")), qint64(41));
}

void TestEngine::schemaVersionIsKeptInTheFile()
{
    testdb::Fixture db;
    {
        SqliteDatabase c;
        c.open(db.file());
        QCOMPARE(c.schemaVersion(), 0);
        c.setSchemaVersion(3);
    }
    SqliteDatabase again;
    again.open(db.file());
    QCOMPARE(again.schemaVersion(), 3);
    QCOMPARE(db.scalar(QStringLiteral("PRAGMA user_version")), QStringLiteral("3"));
}

void TestEngine::insertOrReplaceReplacesByKey()
{
    testdb::Fixture db(QString::fromUtf8(Customers));
    SqliteDatabase c;
    c.open(db.file());
    StatementHandle st = c.prepare(c.insertOrReplace("kunde", {"id", "name"}, "VALUES (?1, ?2)"));
    st->bindInteger(1, 2);
    st->bindText(2, "Berta");
    st->run();
    st->bindInteger(1, 7);
    st->bindText(2, "Gustav");
    st->run();
    QCOMPARE(db.scalar(QStringLiteral("SELECT group_concat(id || name, '|') FROM (SELECT * FROM kunde ORDER BY id)")),
             QStringLiteral("1Anna|2Berta|7Gustav"));
}

void TestEngine::failuresAreSaidInGerman_data()
{
    QTest::addColumn<QByteArray>("sql");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing table") << QByteArray("SELECT * FROM fehlt")
                                   << QStringLiteral("Die Tabelle wurde in der Datenbank nicht gefunden (no such table: fehlt)");
    QTest::newRow("missing column") << QByteArray("SELECT fehlt FROM kunde")
                                    << QStringLiteral("Ein Feld wurde in der Datenbank nicht gefunden (no such column: fehlt)");
    QTest::newRow("two statements") << QByteArray("SELECT 1; SELECT 2")
                                    << QStringLiteral("Die Abfrage enthält mehr als eine Anweisung und wird nicht ausgeführt");
    QTest::newRow("empty") << QByteArray(" ;") << QStringLiteral("Die Abfrage ist leer");
    QTest::newRow("constraint") << QByteArray("INSERT INTO kunde (id) VALUES (1)")
                                << QStringLiteral("Die Datenbank hat den Wert abgelehnt (UNIQUE constraint failed: kunde.id)");
}

void TestEngine::failuresAreSaidInGerman()
{
    QFETCH(QByteArray, sql);
    QFETCH(QString, message);
    testdb::Fixture db(QString::fromUtf8(Customers));
    SqliteDatabase c;
    c.open(db.file());
    QCOMPARE(errorOf<EngineError>([&] { c.prepare(sql)->run(); }), message);
    // The same words with what was being done in front, from a script.
    if (!sql.contains(';'))
        QCOMPARE(errorOf<EngineError>([&] { c.exec(sql, QStringLiteral("Beim Test")); }), QStringLiteral("Beim Test: ") + message);
}

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
