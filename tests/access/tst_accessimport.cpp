// Bringing the tables of an Access file of this program into a new
// database, with tables made in the test (no free program writes Access
// files), and once with a fixture whose table was renamed into kunde.

#include "errorof.h"
#include "fixtures.h"
#include "testdb.h"

#include "access/import.h"
#include "data/amount.h"
#include "data/errors.h"
#include "data/years.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <sys/resource.h>
#include <csignal>

using namespace accessdb;
// The data layer has a Value of its own.
using accessdb::Value;

Q_DECLARE_METATYPE(accessdb::Value)

namespace {

class MemorySource : public Source
{
public:
    explicit MemorySource(std::vector<Table> tables) : m_tables(std::move(tables)) {}
    QString name() const override { return QStringLiteral("alt.mdb"); }
    const std::vector<Table> &tables() const override { return m_tables; }

private:
    std::vector<Table> m_tables;
};

Column column(const QString &name, int type = Text, int size = 50)
{
    Column c;
    c.name = name;
    c.type = type;
    c.size = size;
    return c;
}

Column idColumn()
{
    Column c = column(QStringLiteral("id"), LongInteger, 4);
    c.autoNumber = true;
    return c;
}

Table table(const QString &name, std::vector<Column> columns, std::vector<Row> rows)
{
    Table t;
    t.name = name;
    t.columns = std::move(columns);
    t.declaredRows = qint64(rows.size());
    t.rows = std::move(rows);
    return t;
}

Table customers(std::vector<Row> rows)
{
    return table(QStringLiteral("kunde"),
                 {idColumn(), column("name"), column("adresse", Memo, 0), column("telefon"), column("piva"), column("ansprache"),
                  column("kundennr"), column("name2")},
                 std::move(rows));
}

Table headers(const QString &name, std::vector<Row> rows)
{
    return table(name, {idColumn(), column("nr"), column("datum"), column("bezahlung"), column("kundennummer"), column("bestimmungsort")},
                 std::move(rows));
}

Table lines(const QString &name, std::vector<Row> rows, int priceType = Text)
{
    return table(name,
                 {idColumn(), column("rechnungsnummer"), column("beschreibung"), column("anzahl"), column("einzelpreis", priceType, 8),
                  column("summe")},
                 std::move(rows));
}

const Value null;

QString query(const QString &file, const QString &sql)
{
    return testdb::scalar(file, sql);
}

const TableReport &reportOf(const ImportReport &r, const QString &table)
{
    for (const TableReport &t : r.tables) {
        if (t.table == table)
            return t;
    }
    qFatal("no report for %s", qPrintable(table));
}

} // namespace

class TestAccessImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        // German regional settings unless a test says otherwise.
        m_separators = Separators{QLatin1Char(','), QLatin1Char('.')};
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_target = m_dir->filePath(QStringLiteral("neu.mdb"));
    }

    void idsKeptAndCountersPastTheHighest()
    {
        const MemorySource source({
            customers({{qint64(3), QStringLiteral("Gärtnerei A")}, {qint64(42), QStringLiteral("Hotel B")}, {qint64(7), QStringLiteral("C")}}),
            headers(QStringLiteral("rechnungsdaten2004"), {{qint64(9), QStringLiteral("5"), null, null, QStringLiteral("42")}, {qint64(5), QStringLiteral("4")}}),
            lines(QStringLiteral("rechnung2004"), {{qint64(100), QStringLiteral("5")}, {qint64(1), QStringLiteral("4")}}),
            headers(QStringLiteral("rechnungsdaten"), {{qint64(2), QStringLiteral("1")}}),
        });
        const ImportReport report = importTables(source, m_target, m_separators);
        QVERIFY(report.complete());
        QCOMPARE(query(m_target, "SELECT group_concat(id) FROM (SELECT id FROM kunde ORDER BY id)"), QStringLiteral("3,7,42"));
        QCOMPARE(query(m_target, "SELECT name FROM kunde WHERE id = 42"), QStringLiteral("Hotel B"));
        QCOMPARE(query(m_target, "SELECT group_concat(id) FROM (SELECT id FROM rechnungsdaten2004 ORDER BY id)"), QStringLiteral("5,9"));
        QCOMPARE(query(m_target, "SELECT group_concat(name || '=' || seq) FROM (SELECT * FROM sqlite_sequence ORDER BY name)"),
                 QStringLiteral("kunde=42,rechnung2004=100,rechnungsdaten=2,rechnungsdaten2004=9"));
        // The program's next rows follow the highest ids.
        testdb::exec(m_target, QStringLiteral("INSERT INTO kunde (name) VALUES ('neu'); INSERT INTO rechnung2004 (beschreibung) VALUES ('x')"));
        QCOMPARE(query(m_target, "SELECT id FROM kunde WHERE name = 'neu'"), QStringLiteral("43"));
        QCOMPARE(query(m_target, "SELECT max(id) FROM rechnung2004"), QStringLiteral("101"));
        QCOMPARE(reportOf(report, "kunde").read, 3);
        QCOMPARE(reportOf(report, "kunde").written, 3);
        QCOMPARE(query(m_target, "PRAGMA integrity_check"), QStringLiteral("ok"));
    }

    // The file is the one "rechnung-db create" makes, with the rows added.
    void sameSchemaAsCreate()
    {
        const MemorySource source({customers({{qint64(1), QStringLiteral("A")}})});
        importTables(source, m_target, m_separators);
        const QString empty = m_dir->filePath(QStringLiteral("leer.mdb"));
        testdb::exec(empty, testdb::schemaText());
        const QString schema = QStringLiteral("SELECT group_concat(type || name || sql, ';') FROM (SELECT * FROM sqlite_master ORDER BY name)");
        QCOMPARE(query(m_target, schema), query(empty, schema));
        QCOMPARE(query(m_target, "SELECT count(*) FROM firma"), QStringLiteral("1"));
    }

    void valuesBecomeText_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<Value>("value");
        QTest::addColumn<QChar>("decimal");
        QTest::addColumn<QString>("expected"); // as quote() shows it
        const QChar comma(QLatin1Char(',')), point(QLatin1Char('.'));
        QTest::newRow("double") << int(Double) << Value(12.5) << comma << "'12,5'";
        QTest::newRow("double, point") << int(Double) << Value(12.5) << point << "'12.5'";
        QTest::newRow("double as typed") << int(Double) << Value(0.1) << comma << "'0,1'";
        QTest::newRow("double of the fixtures") << int(Double) << Value(444.555) << comma << "'444,555'";
        QTest::newRow("large double") << int(Double) << Value(1e20) << comma << "'100000000000000000000'";
        QTest::newRow("negative double") << int(Double) << Value(-3.25) << comma << "'-3,25'";
        QTest::newRow("currency") << int(Currency) << Value(Decimal{"3.5000"}) << comma << "'3,50'";
        QTest::newRow("currency, all places") << int(Currency) << Value(Decimal{"12.3456"}) << comma << "'12,3456'";
        QTest::newRow("currency below zero") << int(Currency) << Value(Decimal{"-0.0100"}) << comma << "'-0,01'";
        QTest::newRow("currency zero") << int(Currency) << Value(Decimal{"0.0000"}) << point << "'0.00'";
        QTest::newRow("numeric") << int(Numeric) << Value(Decimal{"-1"}) << comma << "'-1'";
        QTest::newRow("integer") << int(LongInteger) << Value(qint64(17)) << comma << "'17'";
        QTest::newRow("yes") << int(Boolean) << Value(true) << comma << "'Ja'";
        QTest::newRow("no") << int(Boolean) << Value(false) << comma << "'Nein'";
        QTest::newRow("date") << int(DateTime) << Value(QDateTime(QDate(1974, 9, 21), QTime(0, 0), QTimeZone::utc())) << comma
                              << "'21.09.1974'";
        QTest::newRow("date and time") << int(DateTime) << Value(QDateTime(QDate(2004, 1, 8), QTime(10, 30, 5), QTimeZone::utc()))
                                       << comma << "'08.01.2004 10:30:05'";
        QTest::newRow("time") << int(DateTime) << Value(QDateTime(QDate(1899, 12, 30), QTime(8, 15), QTimeZone::utc())) << comma
                              << "'08:15:00'";
        QTest::newRow("text") << int(Text) << Value(QStringLiteral("3,80")) << point << "'3,80'";
        QTest::newRow("empty text") << int(Text) << Value(QString()) << comma << "''";
        QTest::newRow("null") << int(Text) << null << comma << "NULL";
        QTest::newRow("replication id") << int(ReplicationId) << Value(QStringLiteral("{0A1B2C3D-0000-0000-0000-000000000001}")) << comma
                                        << "'{0A1B2C3D-0000-0000-0000-000000000001}'";
    }

    void valuesBecomeText()
    {
        QFETCH(int, type);
        QFETCH(Value, value);
        QFETCH(QChar, decimal);
        QFETCH(QString, expected);
        m_separators = Separators{decimal, decimal == QLatin1Char(',') ? QLatin1Char('.') : QLatin1Char(',')};
        const MemorySource source({lines(QStringLiteral("rechnung2004"), {{qint64(1), QStringLiteral("1"), null, null, value}}, type)});
        importTables(source, m_target, m_separators);
        QCOMPARE(query(m_target, "SELECT quote(einzelpreis) FROM rechnung2004"), expected);
    }

    // Binary values go in byte for byte, zero bytes too.
    void bytesKept()
    {
        const QByteArray bytes("\x01\x00\xff" "abc", 6);
        Table t = customers({{qint64(1), QStringLiteral("A"), bytes}});
        t.columns[2].type = OleObject;
        importTables(MemorySource({t}), m_target, m_separators);
        QCOMPARE(query(m_target, "SELECT hex(adresse) FROM kunde"), QString::fromLatin1(bytes.toHex().toUpper()));
    }

    // What does not fit the program is copied as it is and named in the report.
    void reported_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("type");
        QTest::addColumn<Value>("value");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("note"); // "" for none
        const QString sixty(60, QLatin1Char('x'));
        const QString address = QStringLiteral("Lindenstraße 12\r\n39990 Blumenau\r\n") + QString(80, QLatin1Char('a'));
        QTest::newRow("long name") << "kunde" << 1 << int(Text) << Value(sixty) << sixty
                                   << "id 1, name: 60 Zeichen (mehr als 50); unverändert übernommen";
        QTest::newRow("fifty characters") << "kunde" << 1 << int(Text) << Value(QString(50, QChar(0xfc))) << QString(50, QChar(0xfc))
                                          << "";
        QTest::newRow("long address") << "kunde" << 2 << int(Memo) << Value(address) << address << "";
        QTest::newRow("long description") << "rechnung2004" << 2 << int(Text) << Value(sixty) << sixty
                                          << "id 1, beschreibung: 60 Zeichen (mehr als 50); unverändert übernommen";
        QTest::newRow("text as price") << "rechnung2004" << 4 << int(Text) << Value(QStringLiteral("ca. 5")) << "ca. 5"
                                       << "id 1, einzelpreis: 'ca. 5' ist keine Zahl; unverändert übernommen";
        QTest::newRow("text as quantity") << "rechnung2004" << 3 << int(Text) << Value(QStringLiteral("2 Stk.")) << "2 Stk."
                                          << "id 1, anzahl: '2 Stk.' ist keine Zahl; unverändert übernommen";
        QTest::newRow("price") << "rechnung2004" << 4 << int(Text) << Value(QStringLiteral("3,80")) << "3,80" << "";
        QTest::newRow("price with point") << "rechnung2004" << 4 << int(Text) << Value(QStringLiteral("3.80")) << "3.80"
                                          << "id 1, einzelpreis: '3.80' ist keine Zahl; unverändert übernommen";
        QTest::newRow("customer reference") << "rechnungsdaten2004" << 4 << int(Text) << Value(QStringLiteral("K17")) << "K17"
                                            << "id 1, kundennummer: 'K17' ist keine Kundennummer; unverändert übernommen";
        QTest::newRow("customer number") << "rechnungsdaten2004" << 4 << int(Text) << Value(QStringLiteral("17")) << "17" << "";
        QTest::newRow("number column") << "rechnung2004" << 4 << int(Double) << Value(12.5) << "12,5"
                                       << "Spalte einzelpreis (Double) als Text übernommen, z. B. 12,5";
        QTest::newRow("date column") << "rechnungsdaten2004" << 2 << int(DateTime)
                                     << Value(QDateTime(QDate(2004, 3, 2), QTime(0, 0), QTimeZone::utc())) << "02.03.2004"
                                     << "Spalte datum (DateTime) als Text übernommen, z. B. 02.03.2004";
    }

    void reported()
    {
        QFETCH(QString, table);
        QFETCH(int, column);
        QFETCH(int, type);
        QFETCH(Value, value);
        QFETCH(QString, stored);
        QFETCH(QString, note);
        Row row(6, null);
        row[0] = qint64(1);
        row[std::size_t(column)] = value;
        Table t = table == QLatin1String("kunde") ? customers({row})
                  : table.startsWith(QLatin1String("rechnungsdaten")) ? headers(table, {row})
                                                                      : lines(table, {row});
        t.columns[std::size_t(column)].type = type;
        const ImportReport report = importTables(MemorySource({t}), m_target, m_separators);
        QCOMPARE(query(m_target, QStringLiteral("SELECT \"%1\" FROM %2").arg(t.columns[std::size_t(column)].name, table)), stored);
        QCOMPARE(reportOf(report, table).notes, note.isEmpty() ? QStringList() : QStringList{note});
        QVERIFY(report.complete());
    }

    void otherYearsGetTheirTables()
    {
        const MemorySource source({
            headers(QStringLiteral("rechnungsdaten2007"), {{qint64(4), QStringLiteral("7-1")}}),
            lines(QStringLiteral("rechnung2007"), {{qint64(8), QStringLiteral("7-1"), QStringLiteral("Rosen")}}),
            // Half a pair: the year is made whole, the missing half named.
            headers(QStringLiteral("rechnungsdaten2001"), {{qint64(1), QStringLiteral("1-1")}}),
        });
        const ImportReport report = importTables(source, m_target, m_separators);
        QCOMPARE(report.createdYears, (std::vector<int>{2001, 2007}));
        QCOMPARE(query(m_target, "SELECT beschreibung FROM rechnung2007 WHERE id = 8"), QStringLiteral("Rosen"));
        QCOMPARE(query(m_target, "SELECT nr FROM rechnungsdaten2001"), QStringLiteral("1-1"));
        QVERIFY(reportOf(report, "rechnung2001").missing());
        SqliteDatabase db;
        testdb::openOther(db, m_target);
        std::vector<int> years;
        for (const YearTables &y : findYears(db))
            years.push_back(y.year);
        db.close();
        QCOMPARE(years, (std::vector<int>{2007, 2004, 2003, 2002, 2001}));
        const QString columns = QStringLiteral("SELECT group_concat(name || ' ' || type) FROM pragma_table_info('%1')");
        QCOMPARE(query(m_target, columns.arg("rechnung2007")), query(m_target, columns.arg("rechnung2004")));
        QCOMPARE(query(m_target, columns.arg("rechnungsdaten2001")), query(m_target, columns.arg("rechnungsdaten2004")));
        QCOMPARE(query(m_target, "SELECT seq FROM sqlite_sequence WHERE name = 'rechnung2007'"), QStringLiteral("8"));
    }

    void missingTablesNamed()
    {
        const MemorySource source({customers({{qint64(1), QStringLiteral("A")}}), table(QStringLiteral("Notizen"), {column("x")}, {})});
        const ImportReport report = importTables(source, m_target, m_separators);
        QStringList missing;
        for (const TableReport &t : report.tables) {
            if (t.missing())
                missing << t.table;
        }
        QCOMPARE(missing, (QStringList{"rechnungsdaten2004", "rechnung2004", "rechnungsdaten2003", "rechnung2003", "rechnungsdaten", "rechnung"}));
        QCOMPARE(report.otherTables, QStringList{QStringLiteral("Notizen")});
        QCOMPARE(query(m_target, "SELECT count(*) FROM rechnung2003"), QStringLiteral("0"));
        QCOMPARE(query(m_target, "SELECT count(*) FROM sqlite_master WHERE name = 'Notizen'"), QStringLiteral("0"));
        QVERIFY(report.complete());
    }

    void namesInAnyCase()
    {
        const MemorySource source({table(QStringLiteral("Kunde"), {column("ID", LongInteger), column("Name")}, {{qint64(5), QStringLiteral("A")}})});
        const ImportReport report = importTables(source, m_target, m_separators);
        QCOMPARE(query(m_target, "SELECT id || name FROM kunde"), QStringLiteral("5A"));
        QCOMPARE(reportOf(report, "kunde").sourceTable, QStringLiteral("Kunde"));
    }

    void unknownColumnsKept()
    {
        Table t = customers({{qint64(1), QStringLiteral("A"), null, null, null, null, null, null, QStringLiteral("a@b.example")}});
        t.columns.push_back(column("email"));
        t.columns.erase(t.columns.begin() + 3); // no telefon
        for (Row &r : t.rows)
            r.erase(r.begin() + 3);
        const ImportReport report = importTables(MemorySource({t}), m_target, m_separators);
        QCOMPARE(query(m_target, "SELECT email FROM kunde"), QStringLiteral("a@b.example"));
        QCOMPARE(reportOf(report, "kunde").notes,
                 (QStringList{"Spalte email (Text(50)) kennt das Programm nicht; sie wurde angelegt und übernommen",
                              "Spalte telefon fehlt in der Access-Tabelle; sie bleibt leer"}));
    }

    void rowsWithoutUsableIdGetNewOnes()
    {
        const MemorySource source({customers({{qint64(5), QStringLiteral("erste")},
                                              {qint64(5), QStringLiteral("doppelt")},
                                              {null, QStringLiteral("ohne")},
                                              {QStringLiteral("12"), QStringLiteral("als Text")},
                                              {QStringLiteral("x"), QStringLiteral("unbrauchbar")}})});
        const ImportReport report = importTables(source, m_target, m_separators);
        QCOMPARE(query(m_target, "SELECT group_concat(id || '=' || name) FROM (SELECT * FROM kunde ORDER BY id)"),
                 QStringLiteral("5=erste,12=als Text,13=doppelt,14=ohne,15=unbrauchbar"));
        QCOMPARE(reportOf(report, "kunde").notes,
                 (QStringList{"Zeile 2: id '5' ist doppelt; die Zeile bekam die id 13",
                              "Zeile 3: id leer ist keine ganze Zahl; die Zeile bekam die id 14",
                              "Zeile 5: id 'x' ist keine ganze Zahl; die Zeile bekam die id 15"}));
        QCOMPARE(reportOf(report, "kunde").written, 5);
    }

    void tableWithoutIdNumbered()
    {
        const MemorySource source({table(QStringLiteral("kunde"), {column("name")}, {{QStringLiteral("A")}, {QStringLiteral("B")}})});
        const ImportReport report = importTables(source, m_target, m_separators);
        QCOMPARE(query(m_target, "SELECT group_concat(id || name) FROM kunde"), QStringLiteral("1A,2B"));
        QVERIFY(reportOf(report, "kunde").notes.contains(QStringLiteral("Spalte id fehlt in der Access-Tabelle; die Zeilen wurden neu nummeriert")));
    }

    // ---- nothing written -------------------------------------------------------

    void refused_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<QString>("message");
        QTest::newRow("no table of the program")
            << 0
            << "'alt.mdb' ist keine Datenbank dieses Programms: Sie enthält keine der Tabellen kunde, rechnungsdaten und rechnung (auch "
               "nicht mit Jahreszahl); es wurde nichts angelegt";
        QTest::newRow("no table at all") << 1
                                         << "'alt.mdb' ist keine Datenbank dieses Programms: Sie enthält keine der Tabellen kunde, "
                                            "rechnungsdaten und rechnung (auch nicht mit Jahreszahl); es wurde nichts angelegt";
        QTest::newRow("rows unreadable") << 2
                                         << "Die Tabelle rechnung in 'alt.mdb' meldet 3 Zeilen, lesbar sind nur 2; die Datei ist wohl "
                                            "beschädigt. Es wurde nichts angelegt";
        QTest::newRow("a table of the program unreadable")
            << 3
            << "Die Access-Datei 'alt.mdb' ist beschädigt und kann nicht gelesen werden: die Tabelle 'Rechnung2004' kann nicht gelesen "
               "werden, ihre Zeile 7 ist beschädigt. Es wurde nichts angelegt";
    }

    void refused()
    {
        QFETCH(int, source);
        QFETCH(QString, message);
        std::vector<Table> tables;
        if (source == 0)
            tables = {table(QStringLiteral("Table1"), {column("A")}, {{QStringLiteral("a")}}),
                      table(QStringLiteral("rechnung2002"), {column("A")}, {})};
        if (source == 2) {
            tables = {customers({}), lines(QStringLiteral("rechnung"), {{qint64(1)}, {qint64(2)}})};
            tables.back().declaredRows = 3;
        }
        if (source == 3) {
            tables = {customers({{qint64(1)}}), lines(QStringLiteral("Rechnung2004"), {})};
            tables.back().unreadable = QStringLiteral("ihre Zeile 7 ist beschädigt");
        }
        QCOMPARE(errorOf<EngineError>([&] { importTables(MemorySource(tables), m_target, m_separators); }), message);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

    void existingTargetKept()
    {
        fixtures::write(m_target, "meins");
        QCOMPARE(errorOf<EngineError>([&] { importTables(MemorySource({customers({})}), m_target, m_separators); }),
                 QStringLiteral("Die Datei '%1' existiert bereits; sie wird nicht überschrieben.").arg(m_target));
        QFile f(m_target);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("meins"));
    }

    // A failure half way (here the file size limit) leaves no file behind.
    void failureRemovesTarget()
    {
        std::vector<Row> rows;
        for (int i = 1; i <= 3000; ++i)
            rows.push_back({qint64(i), QStringLiteral("Kunde %1").arg(i), QString(300, QLatin1Char('a'))});
        const MemorySource source({customers(rows)});
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 256 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const QString message = errorOf<EngineError>([&] { importTables(source, m_target, m_separators); });
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(message.startsWith(QStringLiteral("SQLite-Fehler in '%1'").arg(m_target)) || message.contains(QStringLiteral("kein Platz")));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

    // ---- the report ------------------------------------------------------------

    void reportLines()
    {
        const MemorySource source({customers({{qint64(1), QString(51, QLatin1Char('n'))},
                                              {qint64(2), QString(52, QLatin1Char('n'))},
                                              {qint64(3), QString(53, QLatin1Char('n'))}}),
                                   headers(QStringLiteral("RechnungsDaten2004"), {}), table(QStringLiteral("Notizen"), {column("x")}, {}),
                                   lines(QStringLiteral("rechnung2005"), {})});
        const ImportReport report = importTables(source, m_target, m_separators);
        const QStringList expected{
            "Übernommen aus alt.mdb nach " + m_target + ":",
            "kunde: 3 Zeilen gelesen, 3 geschrieben",
            "  id 1, name: 51 Zeichen (mehr als 50); unverändert übernommen",
            "  … und 2 weitere Hinweise",
            "rechnungsdaten2005: fehlt in der Access-Datei; die Tabelle bleibt leer",
            "rechnung2005: 0 Zeilen gelesen, 0 geschrieben",
            "rechnungsdaten2004: 0 Zeilen gelesen, 0 geschrieben (aus RechnungsDaten2004)",
            "rechnung2004: fehlt in der Access-Datei; die Tabelle bleibt leer",
            "rechnungsdaten2003: fehlt in der Access-Datei; die Tabelle bleibt leer",
            "rechnung2003: fehlt in der Access-Datei; die Tabelle bleibt leer",
            "rechnungsdaten: fehlt in der Access-Datei; die Tabelle bleibt leer",
            "rechnung: fehlt in der Access-Datei; die Tabelle bleibt leer",
            "Jahr 2005: Tabellen neu angelegt",
            "Nicht übernommen, da keine Tabellen dieses Programms: Notizen",
        };
        QCOMPARE(accessdb::reportLines(report, 1), expected);
        QCOMPARE(accessdb::reportLines(report, 2).at(4), QStringLiteral("  … und 1 weiterer Hinweis"));
        const QStringList all = accessdb::reportLines(report);
        QCOMPARE(all.size(), expected.size() + 1);
        QCOMPARE(all.mid(2, 3), (QStringList{"  id 1, name: 51 Zeichen (mehr als 50); unverändert übernommen",
                                             "  id 2, name: 52 Zeichen (mehr als 50); unverändert übernommen",
                                             "  id 3, name: 53 Zeichen (mehr als 50); unverändert übernommen"}));
    }

    // Access's count of a table's rows can lag behind its rows; all of them
    // are brought over, and the report says so.
    void moreRowsThanAnnounced()
    {
        Table t = customers({{qint64(1), QStringLiteral("A")}, {qint64(2), QStringLiteral("B")}, {qint64(3), QStringLiteral("C")}});
        t.declaredRows = 1;
        const ImportReport report = importTables(MemorySource({t}), m_target, m_separators);
        QVERIFY(report.complete());
        QCOMPARE(query(m_target, "SELECT count(*) FROM kunde"), QStringLiteral("3"));
        const QStringList lines = accessdb::reportLines(report);
        QCOMPARE(lines.at(1), QStringLiteral("kunde: 3 Zeilen gelesen, 3 geschrieben"));
        QVERIFY(lines.contains(QStringLiteral("  Die Access-Tabelle meldet 1 Zeilen, gelesen wurden 3; alle wurden übernommen")));
    }

    // A table the program does not need is skipped when it cannot be read.
    void unreadableOtherTableSkipped()
    {
        Table notes = table(QStringLiteral("Notizen"), {column("x")}, {});
        notes.unreadable = QStringLiteral("ihre Beschreibung ist beschädigt");
        const ImportReport report =
            importTables(MemorySource({customers({{qint64(1), QStringLiteral("A")}}), notes, table(QStringLiteral("Preise"), {column("x")}, {})}),
                         m_target, m_separators);
        QVERIFY(report.complete());
        QCOMPARE(report.otherTables, QStringList{QStringLiteral("Preise")});
        const QStringList lines = accessdb::reportLines(report);
        QCOMPARE(lines.mid(lines.size() - 2),
                 (QStringList{"Nicht übernommen, da keine Tabellen dieses Programms: Preise",
                              "Nicht übernommen, da keine Tabelle dieses Programms und nicht lesbar: Notizen (ihre Beschreibung ist beschädigt)"}));
        QCOMPARE(query(m_target, "SELECT name FROM kunde"), QStringLiteral("A"));
    }

    // A calculated column comes over with the values Access stored; one
    // whose values cannot be read is left out, and both are said.
    void calculatedColumns()
    {
        Table t = customers({{qint64(1), QStringLiteral("A"), null, null, null, null, null, null, QStringLiteral("A Gärtnerei"), null}});
        Column full = column(QStringLiteral("vollname"));
        full.calculated = true;
        Column picture = column(QStringLiteral("bild"), Binary, 10);
        picture.calculated = picture.unread = true;
        t.columns.push_back(full);
        t.columns.push_back(picture);
        const ImportReport report = importTables(MemorySource({t}), m_target, m_separators);
        QVERIFY(report.complete());
        QCOMPARE(query(m_target, "SELECT vollname FROM kunde"), QStringLiteral("A Gärtnerei"));
        QCOMPARE(query(m_target, "SELECT count(*) FROM pragma_table_info('kunde') WHERE name = 'bild'"), QStringLiteral("0"));
        const QStringList notes = reportOf(report, "kunde").notes;
        QVERIFY(notes.contains(QStringLiteral("Spalte vollname (Text(50)) wird in Access berechnet; übernommen wurden die gespeicherten Werte")));
        QVERIFY(notes.contains(QStringLiteral("Spalte bild (Binary(10)) wird in Access berechnet; ihre gespeicherten Werte sind nicht lesbar, "
                                              "sie wurde nicht übernommen")));
    }

    void incompleteReport()
    {
        ImportReport report;
        report.tables.resize(1);
        report.tables[0].table = report.tables[0].sourceTable = QStringLiteral("kunde");
        report.tables[0].read = 3;
        report.tables[0].written = 2;
        QVERIFY(!report.complete());
        QCOMPARE(accessdb::reportLines(report).at(1), QStringLiteral("kunde: 3 Zeilen gelesen, 2 geschrieben – UNVOLLSTÄNDIG"));
        report.tables[0].written = 3;
        QVERIFY(report.complete());
    }

    // ---- from an Access file ------------------------------------------------------

    // jet4-test.mdb with Table1 renamed into kunde and Table3 into rechnung.
    void fromAccessFile()
    {
        QByteArray bytes = fixtures::bytes(QStringLiteral("jet4-test.mdb"));
        bytes = fixtures::renamedTable(bytes, QStringLiteral("Table1"), "kunde");
        bytes = fixtures::renamedTable(bytes, QStringLiteral("Table3"), "rechnung");
        const QString source = m_dir->filePath(QStringLiteral("alt.mdb"));
        fixtures::write(source, bytes);
        const ImportReport report = importAccessFile(source, m_target, m_separators);
        QVERIFY(report.complete());
        QCOMPARE(query(m_target, "SELECT group_concat(id || ':' || A || ':' || B || ':' || C || ':' || D || ':' || E || ':' || F || ':' || G || ':' "
                                 "|| H || ':' || I, ' ') FROM (SELECT * FROM kunde ORDER BY A)"),
                 QStringLiteral("2:a:b:0:0:0:0:12.12.1981:0,00:Nein 1:abcdefg:hijklmnop:2:222:333333333:444,555:21.09.1974:3,50:Ja"));
        QCOMPARE(query(m_target, "SELECT group_concat(name) FROM pragma_table_info('rechnung') WHERE name IN ('a', 'b')"), QStringLiteral("a,b"));
        QCOMPARE(report.otherTables, (QStringList{"Table2", "Table4"}));
        QCOMPARE(reportOf(report, "kunde").read, 2);
        QCOMPARE(reportOf(report, "kunde").declared, 2);
        // The source is only read.
        QFile f(source);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), bytes);
    }

private:
    // A new empty folder for every test.
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_target;
    Separators m_separators; // the user's regional settings the import writes numbers with
};

QTEST_GUILESS_MAIN(TestAccessImport)
#include "tst_accessimport.moc"
