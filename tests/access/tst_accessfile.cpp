// Reading Access files: every fixture's tables, columns and values as its
// README lists them, the text kinds of Jet, and damaged files refused with a
// German message instead of a crash.

#include "errorof.h"
#include "fixtures.h"

#include "access/accessfile.h"
#include "access/isolated.h"
#include "access/mdbchild.h"
#include "access/stream.h"
#include "data/errors.h"

#include <QTemporaryDir>
#include <QTimeZone>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace accessdb;

Q_DECLARE_METATYPE(accessdb::Value)

namespace {

QStringList tableNames(const AccessFile &file)
{
    QStringList names;
    for (const Table &t : file.tables())
        names << t.name;
    return names;
}

const Table &tableOf(const AccessFile &file, const QString &name)
{
    for (const Table &t : file.tables()) {
        if (t.name == name)
            return t;
    }
    qFatal("no table %s", qPrintable(name));
}

QStringList typeNames(const Table &t)
{
    QStringList names;
    for (const Column &c : t.columns)
        names << c.name + QLatin1Char(' ') + c.typeName();
    return names;
}

QDateTime day(int y, int m, int d)
{
    return QDateTime(QDate(y, m, d), QTime(0, 0), QTimeZone::utc());
}

// The message of reading the bytes, or "" when they were read.
QString failureOf(const QByteArray &bytes)
{
    return errorOf<EngineError>([&] { AccessFile file(bytes, QStringLiteral("kaputt.mdb")); });
}

} // namespace

class TestAccessFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // ---- the fixtures as their README lists them --------------------------

    void tablesAndRows_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("tables");
        QTest::addColumn<QList<int>>("rows");
        const QStringList four{QStringLiteral("Table1"), QStringLiteral("Table2"), QStringLiteral("Table3"), QStringLiteral("Table4")};
        QTest::newRow("jet3") << "jet3-test.mdb" << four << QList<int>{2, 0, 0, 0};
        QTest::newRow("jet4") << "jet4-test.mdb" << four << QList<int>{2, 0, 0, 0};
        QTest::newRow("jet4 numeric") << "jet4-numeric.mdb" << QStringList{QStringLiteral("test")} << QList<int>{1};
        QTest::newRow("jet4 empty") << "jet4-empty.mdb" << QStringList() << QList<int>();
        QTest::newRow("jet4 password") << "jet4-with-password.mdb" << QStringList{QStringLiteral("Table1")} << QList<int>{3};
        QTest::newRow("ace") << "ace-test.accdb" << four << QList<int>{2, 0, 0, 0};
    }

    void tablesAndRows()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, tables);
        QFETCH(QList<int>, rows);
        const AccessFile access(fixtures::path(file));
        QCOMPARE(tableNames(access), tables);
        for (qsizetype i = 0; i < tables.size(); ++i) {
            const Table &t = access.tables()[std::size_t(i)];
            QCOMPARE(qsizetype(t.rows.size()), qsizetype(rows.at(i)));
            QCOMPARE(t.declaredRows, qint64(rows.at(i)));
        }
    }

    void columnTypes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("columns");
        const QStringList table1{"A Text(50)", "B Text(100)", "C Byte", "D Integer", "E Long Integer",
                                 "F Double", "G DateTime", "H Currency", "I Boolean"};
        for (const char *file : {"jet3-test.mdb", "jet4-test.mdb", "ace-test.accdb"}) {
            QTest::addRow("%s Table1", file) << file << "Table1" << table1;
            QTest::addRow("%s Table3", file) << file << "Table3" << QStringList{"a Long Integer", "b Text(50)"};
            QTest::addRow("%s Table4", file) << file << "Table4" << QStringList{"name Text(50)", "data Replication ID"};
        }
        QTest::newRow("numeric") << "jet4-numeric.mdb" << "test"
                                 << QStringList{"col1 Memo", "col2 Numeric(18,0)", "col3 Numeric(18,0)", "col4 Numeric(18,0)",
                                                "col5 Numeric(18,0)", "col6 Numeric(18,0)", "col7 Numeric(18,0)"};
        QTest::newRow("password") << "jet4-with-password.mdb" << "Table1" << QStringList{"ID Long Integer", "Data Text(255)"};
    }

    void columnTypes()
    {
        QFETCH(QString, file);
        QFETCH(QString, table);
        QFETCH(QStringList, columns);
        QCOMPARE(typeNames(tableOf(AccessFile(fixtures::path(file)), table)), columns);
    }

    // "column1 ... column15 and more, all Text(50)"
    void manyColumns_data()
    {
        QTest::addColumn<QString>("file");
        for (const char *file : {"jet3-test.mdb", "jet4-test.mdb", "ace-test.accdb"})
            QTest::newRow(file) << file;
    }

    void manyColumns()
    {
        QFETCH(QString, file);
        const AccessFile access(fixtures::path(file));
        const Table &t = tableOf(access, QStringLiteral("Table2"));
        QVERIFY(t.columns.size() > 15);
        for (std::size_t i = 0; i < t.columns.size(); ++i)
            QCOMPARE(t.columns[i].name + QLatin1Char(' ') + t.columns[i].typeName(), QStringLiteral("column%1 Text(50)").arg(i + 1));
    }

    void table1Values_data()
    {
        QTest::addColumn<QString>("file");
        for (const char *file : {"jet3-test.mdb", "jet4-test.mdb", "ace-test.accdb"})
            QTest::newRow(file) << file;
    }

    void table1Values()
    {
        QFETCH(QString, file);
        const AccessFile access(fixtures::path(file));
        const Table &t = tableOf(access, QStringLiteral("Table1"));
        std::vector<Row> rows = t.rows;
        // The files differ in the order of the two rows.
        std::sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) { return std::get<QString>(a[0]) > std::get<QString>(b[0]); });
        const std::vector<Row> expected{
            {QStringLiteral("abcdefg"), QStringLiteral("hijklmnop"), qint64(2), qint64(222), qint64(333333333), 444.555,
             day(1974, 9, 21), Decimal{QStringLiteral("3.5000")}, true},
            {QStringLiteral("a"), QStringLiteral("b"), qint64(0), qint64(0), qint64(0), 0.0, day(1981, 12, 12),
             Decimal{QStringLiteral("0.0000")}, false},
        };
        QCOMPARE(rows.size(), expected.size());
        for (std::size_t r = 0; r < rows.size(); ++r) {
            for (std::size_t c = 0; c < expected[r].size(); ++c)
                QVERIFY2(rows[r][c] == expected[r][c], qPrintable(QStringLiteral("row %1, column %2").arg(r).arg(t.columns[c].name)));
        }
    }

    void numericValues()
    {
        const AccessFile access(fixtures::path(QStringLiteral("jet4-numeric.mdb")));
        const Table &t = tableOf(access, QStringLiteral("test"));
        QCOMPARE(t.rows.size(), std::size_t(1));
        const Row expected{QStringLiteral("some data"), Decimal{"1"}, Decimal{"0"}, Decimal{"0"}, Decimal{"4"}, Decimal{"-1"}, Decimal{"1"}};
        QVERIFY(t.rows[0] == expected);
    }

    void passwordFileReads()
    {
        const AccessFile file(fixtures::path(QStringLiteral("jet4-with-password.mdb")));
        const Table &t = tableOf(file, QStringLiteral("Table1"));
        const std::vector<Row> expected{{qint64(1), QStringLiteral("One")}, {qint64(2), QStringLiteral("Two")}, {qint64(3), QStringLiteral("Three")}};
        QVERIFY(t.rows == expected);
        QVERIFY(t.columns[0].autoNumber);
    }

    void formats_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("format");
        QTest::newRow("jet3") << "jet3-test.mdb" << "Jet 3 (Access 97)";
        QTest::newRow("jet4") << "jet4-test.mdb" << "Jet 4 (Access 2000-2003)";
        QTest::newRow("ace") << "ace-test.accdb" << "ACE 14 (Access 2010)";
    }

    void formats()
    {
        QFETCH(QString, file);
        QFETCH(QString, format);
        QCOMPARE(AccessFile(fixtures::path(file)).formatName(), format);
    }

    // ---- text as stored ----------------------------------------------------

    // Text outside ASCII, written into the fixtures in each of Jet's ways:
    // Jet 3 in the Windows code page, Jet 4 and ACE as compressed text (one
    // byte a character, a zero byte switching to two and back) or as UTF-16,
    // and a memo with a line break.
    void textAsStored_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("expected");
        QTest::newRow("jet3 code page") << "jet3-test.mdb" << QByteArray("abcdefg") << QByteArray("\x80\xe4\xf6\xfc\xdf" "fg")
                                        << "Table1" << 0 << QStringLiteral("€äöüßfg");
        for (const char *file : {"jet4-test.mdb", "ace-test.accdb"}) {
            QTest::addRow("%s compressed", file) << file << QByteArray("\xff\xfe" "abcdefg") << QByteArray("\xff\xfe\xe4\xf6\xfc\xdf" "efg")
                                                 << "Table1" << 0 << QStringLiteral("äöüßefg");
            QTest::addRow("%s compressed with UTF-16", file)
                << file << QByteArray("\xff\xfe" "abcdefg") << QByteArray("\xff\xfe" "a\x00\xac\x20\x00" "fg", 9) << "Table1" << 0
                << QStringLiteral("a€fg");
            QTest::addRow("%s UTF-16", file) << file << QByteArray("h\0i\0j\0", 6) << QByteArray("\x1e\x20\xac\x20j\0", 6) << "Table1" << 1
                                             << QStringLiteral("„€jklmnop");
        }
        QTest::newRow("memo with line break") << "jet4-numeric.mdb" << QByteArray("\xff\xfe" "some data")
                                              << QByteArray("\xff\xfe" "s\xfc\r\ne dat") << "test" << 0 << QStringLiteral("sü\r\ne dat");
    }

    void textAsStored()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QString, table);
        QFETCH(int, column);
        QFETCH(QString, expected);
        const AccessFile access(fixtures::replaced(fixtures::bytes(file), from, to), file);
        QStringList texts;
        for (const Row &r : tableOf(access, table).rows)
            texts << std::get<QString>(r[std::size_t(column)]);
        QVERIFY2(texts.contains(expected), qPrintable(texts.join(QStringLiteral(" | "))));
    }

    // A name in the table of tables written as compressed text, as the
    // import tests use it.
    void renamedTable()
    {
        const QByteArray bytes = fixtures::renamedTable(fixtures::bytes(QStringLiteral("jet4-test.mdb")), QStringLiteral("Table1"), "kunde");
        const AccessFile file(bytes, QStringLiteral("x.mdb"));
        QCOMPARE(tableNames(file), (QStringList{"kunde", "Table2", "Table3", "Table4"}));
        QCOMPARE(tableOf(file, QStringLiteral("kunde")).rows.size(), std::size_t(2));
    }

    // ---- what is an Access file ---------------------------------------------

    void isAccessFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("expected");
        for (const char *file : {"jet3-test.mdb", "jet4-test.mdb", "jet4-empty.mdb", "jet4-numeric.mdb", "jet4-with-password.mdb", "ace-test.accdb"})
            QTest::newRow(file) << fixtures::bytes(QString::fromLatin1(file)) << true;
        // The signature alone decides; the rest may be damaged.
        QTest::newRow("header only") << fixtures::bytes(QStringLiteral("jet4-test.mdb")).left(20) << true;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("text") << fixtures::bytes(QStringLiteral("README.md")) << false;
        QTest::newRow("sqlite") << QByteArray("SQLite format 3\0", 16) << false;
        QTest::newRow("signature cut") << fixtures::bytes(QStringLiteral("jet4-test.mdb")).left(18) << false;
        QTest::newRow("signature elsewhere") << QByteArray("    Standard Jet DB\0") << false;
    }

    void isAccessFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, expected);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("f.mdb"));
        fixtures::write(file, content);
        QCOMPARE(accessdb::isAccessFile(file), expected);
    }

    void isAccessFileWithoutFile()
    {
        QTemporaryDir dir;
        QVERIFY(!accessdb::isAccessFile(dir.filePath(QStringLiteral("fehlt.mdb"))));
        QVERIFY(!accessdb::isAccessFile(dir.path()));
    }

    // ---- damaged files --------------------------------------------------------

    void damaged_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        const QByteArray jet4 = fixtures::bytes(QStringLiteral("jet4-test.mdb"));
        const QByteArray jet3 = fixtures::bytes(QStringLiteral("jet3-test.mdb"));
        const QString damaged = QStringLiteral("Die Access-Datei 'kaputt.mdb' ist beschädigt und kann nicht gelesen werden: ");
        QTest::newRow("empty") << QByteArray() << "Die Datei 'kaputt.mdb' ist leer und keine Access-Datenbank";
        QTest::newRow("text") << fixtures::bytes(QStringLiteral("README.md")) << "Die Datei 'kaputt.mdb' ist keine Access-Datenbank";
        QTest::newRow("cut in the header") << jet4.left(21) << damaged + "sie endet schon im Kopf";
        QTest::newRow("cut in the first page") << jet4.left(1000) << damaged + "sie ist zu kurz (1000 Bytes)";
        QTest::newRow("two pages") << jet4.left(8192) << damaged + "sie ist zu kurz (8192 Bytes)";
        QTest::newRow("cut in a page")
            << jet4.left(jet4.size() - 100)
            << damaged + QStringLiteral("ihre Länge (%1 Bytes) ist kein Vielfaches der Seitengröße 4096; sie ist wohl abgeschnitten").arg(jet4.size() - 100);
        QTest::newRow("jet3 cut in a page")
            << jet3.left(10000) << damaged + "ihre Länge (10000 Bytes) ist kein Vielfaches der Seitengröße 2048; sie ist wohl abgeschnitten";
        // Cut after the table of tables, before the tables' own pages.
        QTest::newRow("cut between pages") << jet4.left(4096 * 8) << damaged + "das Verzeichnis ihrer Tabellen ist unlesbar";
        QByteArray catalog = jet4;
        catalog.replace(2 * 4096, 4096, QByteArray(4096, '\xaa'));
        QTest::newRow("table of tables overwritten") << catalog << damaged + "das Verzeichnis ihrer Tabellen ist unlesbar";
        QByteArray rows = jet4;
        const int rowsPage = fixtures::catalogPages(jet4).at(1);
        rows.replace(qsizetype(rowsPage) * 4096 + 16, 4096 - 16, QByteArray(4096 - 16, '\x55'));
        QTest::newRow("rows of the table of tables overwritten") << rows << damaged + "das Verzeichnis ihrer Tabellen ist unlesbar";
        QByteArray version = jet4;
        version[0x14] = 9;
        QTest::newRow("unknown version") << version << damaged + "ihr Kopf nennt die unbekannte Version 9";
        QByteArray ace = jet4;
        ace[0x14] = 3;
        QTest::newRow("version against signature") << ace << damaged + "ihr Kopf widerspricht sich in der Version";
    }

    void damaged()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        QCOMPARE(failureOf(content), message);
    }

    void missingFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("fehlt.mdb"));
        QVERIFY_THROWS_EXCEPTION(EngineError, AccessFile{file});
        try {
            AccessFile f(file);
        } catch (const EngineError &e) {
            QCOMPARE(e.message(), QStringLiteral("Die Datei '%1' wurde nicht gefunden").arg(file));
        }
        try {
            AccessFile f(dir.path());
        } catch (const EngineError &e) {
            QCOMPARE(e.message(), QStringLiteral("'%1' ist ein Ordner und keine Access-Datenbank").arg(dir.path()));
        }
    }

    // ---- the child process -----------------------------------------------------

    void childOutcomes_data()
    {
        QTest::addColumn<int>("behaviour");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("output");
        QTest::newRow("finishes") << 0 << int(isolated::Outcome::Finished) << 0 << QByteArray("fertig");
        QTest::newRow("fails") << 1 << int(isolated::Outcome::Finished) << 3 << QByteArray("halb");
        QTest::newRow("crashes") << 2 << int(isolated::Outcome::Crashed) << -1 << QByteArray("halb");
        QTest::newRow("aborts") << 3 << int(isolated::Outcome::Crashed) << -1 << QByteArray();
        QTest::newRow("hangs") << 4 << int(isolated::Outcome::Silent) << -1 << QByteArray("halb");
        // What came before the limit, as much as the pipe held at once.
        QTest::newRow("writes without end") << 5 << int(isolated::Outcome::TooMuch) << -1 << QByteArray();
    }

    void childOutcomes()
    {
        QFETCH(int, behaviour);
        QFETCH(int, outcome);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, output);
        const auto say = [](int fd, const char *text) { return ::write(fd, text, std::strlen(text)) > 0; };
        const isolated::Result r = isolated::run(
            [&](int fd) {
                switch (behaviour) {
                case 0:
                    say(fd, "fertig");
                    return 0;
                case 1:
                    say(fd, "halb");
                    return 3;
                case 2:
                    say(fd, "halb");
                    std::raise(SIGSEGV);
                    return 0;
                case 3:
                    std::abort();
                case 4:
                    say(fd, "halb");
                    for (;;)
                        ::pause();
                default: {
                    const QByteArray block(1024, 'x');
                    for (;;) {
                        if (::write(fd, block.constData(), std::size_t(block.size())) <= 0)
                            return 9;
                    }
                }
                }
            },
            isolated::Limits{300, 4096});
        QCOMPARE(int(r.outcome), outcome);
        QCOMPARE(r.exitCode, exitCode);
        if (r.outcome == isolated::Outcome::TooMuch)
            QVERIFY(r.output.size() <= 4096 && r.output.count('x') == r.output.size());
        else
            QCOMPARE(r.output, output);
    }

    // What the child hands over, cut short anywhere, is refused and never
    // taken for a complete file.
    void streamCutShort()
    {
        const QByteArray file = fixtures::bytes(QStringLiteral("jet4-numeric.mdb"));
        const isolated::Result r =
            isolated::run([&](int fd) { return child::readAll(file.constData(), std::size_t(file.size()), fd); });
        QCOMPARE(int(r.outcome), int(isolated::Outcome::Finished));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(stream::decode(r.output, QStringLiteral("x")).tables.size(), std::size_t(1));
        for (qsizetype cut = 0; cut < r.output.size(); ++cut)
            QVERIFY_THROWS_EXCEPTION(EngineError, stream::decode(r.output.left(cut), QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(EngineError, stream::decode(r.output + 'Z', QStringLiteral("x")));
    }
};

QTEST_GUILESS_MAIN(TestAccessFile)
#include "tst_accessfile.moc"
