// Reading Access files: every fixture's tables, columns and values as its
// README lists them, the text kinds of Jet, and damaged files refused with a
// German message instead of a crash.

#include "errorof.h"
#include "fixtures.h"

#include "access/accessfile.h"
#include "access/isolated.h"
#include "access/mdbchild.h"
#include "access/rowlayout.h"
#include "access/stream.h"
#include "data/errors.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QTest>
#include <QtEndian>

#include <array>
#include <csignal>
#include <numeric>
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

const QByteArray FirstRow = QByteArrayLiteral("\xff\xfe" "abcdefg");
// The kinds of Table1's columns A to I.
const QList<int> Table1Types{Text, Text, Byte, Integer, LongInteger, Double, DateTime, Currency, Boolean};

// The fixture with the row of Table1 that holds "abcdefg" changed.
QByteArray withFirstRow(const QString &file, const std::function<QByteArray(const QByteArray &)> &change)
{
    return fixtures::changedRows(fixtures::bytes(file), FirstRow,
                                 [&](const QByteArray &row) { return row.contains(FirstRow) ? change(row) : row; });
}

QByteArray withFirstRowParts(const QString &file, const std::function<void(fixtures::Jet4Row &)> &change)
{
    return withFirstRow(file, [&](const QByteArray &row) {
        fixtures::Jet4Row r = fixtures::Jet4Row::of(row);
        change(r);
        return r.bytes();
    });
}

const Row &rowOf(const Table &t, const QString &a)
{
    for (const Row &r : t.rows) {
        if (std::get_if<QString>(&r[0]) && std::get<QString>(r[0]) == a)
            return r;
    }
    qFatal("no row %s", qPrintable(a));
}

// RC4, as Jet encodes its pages and masks its header.
QByteArray rc4(const QByteArray &key, QByteArray data)
{
    std::array<quint8, 256> s;
    std::iota(s.begin(), s.end(), 0);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[std::size_t(i)] + quint8(key.at(i % key.size()))) % 256;
        std::swap(s[std::size_t(i)], s[std::size_t(j)]);
    }
    for (qsizetype n = 0, i = 0, j = 0; n < data.size(); ++n) {
        i = (i + 1) % 256;
        j = (j + s[std::size_t(i)]) % 256;
        std::swap(s[std::size_t(i)], s[std::size_t(j)]);
        data[n] = char(data.at(n) ^ s[(s[std::size_t(i)] + s[std::size_t(j)]) % 256]);
    }
    return data;
}

QByteArray littleEndian(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

// The file as Jet encodes it under `key`: every page but the first with RC4
// keyed by the key and the page's number, the key in the masked header.
QByteArray encoded(QByteArray file, quint32 key)
{
    const int page = fixtures::pageSize(file);
    for (qsizetype n = 1; n < file.size() / page; ++n)
        file.replace(n * page, page, rc4(littleEndian(key ^ quint32(n)), file.mid(n * page, page)));
    // The header from 0x18 on is masked; XOR with the key turns its 0 into the key.
    const QByteArray header = rc4(QByteArray("\xc7\xda\x39\x6b", 4), file.mid(0x18, 0x2a));
    Q_ASSERT(header.mid(0x3e - 0x18, 4) == QByteArray(4, '\0'));
    for (int i = 0; i < 4; ++i)
        file[0x3e + i] = char(file.at(0x3e + i) ^ littleEndian(key).at(i));
    return file;
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

    // Jet's own encoding of the pages needs no password and is undone.
    void encodedPages_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<quint32>("key");
        QTest::newRow("jet3") << "jet3-test.mdb" << quint32(0x1d2c3b4a);
        QTest::newRow("jet4") << "jet4-test.mdb" << quint32(0x8badf00d);
        QTest::newRow("jet4 numeric") << "jet4-numeric.mdb" << quint32(1);
    }

    void encodedPages()
    {
        QFETCH(QString, file);
        QFETCH(quint32, key);
        const QByteArray bytes = fixtures::bytes(file);
        const QByteArray scrambled = encoded(bytes, key);
        QVERIFY(scrambled.mid(2 * 4096, 4096) != bytes.mid(2 * 4096, 4096));
        const AccessFile plain(bytes, file), decoded(scrambled, file);
        QCOMPARE(tableNames(decoded), tableNames(plain));
        for (std::size_t i = 0; i < plain.tables().size(); ++i) {
            QVERIFY(decoded.tables()[i].rows == plain.tables()[i].rows);
            QCOMPARE(typeNames(decoded.tables()[i]), typeNames(plain.tables()[i]));
        }
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

    // ---- rows written before a column was added or deleted -----------------

    // Access does not rewrite the rows it holds when a column is added or
    // deleted: an older row holds fewer columns than the table now has (the
    // added ones read as empty) or more (the deleted ones stay in it).
    void rowsOfAnotherColumnCount_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<int>>("absent"); // columns of Table1 that read as empty
        for (const char *file : {"jet4-test.mdb", "ace-test.accdb"}) {
            QTest::addRow("%s as it is", file) << withFirstRowParts(file, [](fixtures::Jet4Row &) {}) << QList<int>{};
            QTest::addRow("%s two columns deleted", file) << withFirstRowParts(file, [](fixtures::Jet4Row &r) {
                r.columns = 11;
                r.variable << QByteArray("\x01\x02\x03", 3);
                r.mask = QByteArray("\xff\x07", 2);
            }) << QList<int>{};
            QTest::addRow("%s Currency and Yes/No added", file) << withFirstRowParts(file, [](fixtures::Jet4Row &r) {
                r.columns = 7;
                r.fixed.chop(8);
                r.mask = QByteArray("\x7f", 1);
            }) << QList<int>{7, 8};
            // The Yes/No column's bit would lie behind the row's null mask.
            QTest::addRow("%s Yes/No added", file) << withFirstRowParts(file, [](fixtures::Jet4Row &r) {
                r.columns = 8;
                r.mask = QByteArray("\xff", 1);
            }) << QList<int>{8};
            QTest::addRow("%s text beyond the row's offsets", file)
                << withFirstRowParts(file, [](fixtures::Jet4Row &r) { r.variable.removeLast(); }) << QList<int>{1};
        }
    }

    void rowsOfAnotherColumnCount()
    {
        QFETCH(QByteArray, content);
        QFETCH(QList<int>, absent);
        const AccessFile access(content, QStringLiteral("alt.mdb"));
        const Table &t = tableOf(access, QStringLiteral("Table1"));
        QCOMPARE(t.unreadable, QString());
        QCOMPARE(t.rows.size(), std::size_t(2));
        Row expected{QStringLiteral("abcdefg"), QStringLiteral("hijklmnop"), qint64(2), qint64(222), qint64(333333333), 444.555,
                     day(1974, 9, 21), Decimal{QStringLiteral("3.5000")}, true};
        for (int c : absent)
            expected[std::size_t(c)] = std::monostate{};
        const Row &row = rowOf(t, QStringLiteral("abcdefg"));
        for (std::size_t c = 0; c < expected.size(); ++c)
            QVERIFY2(row[c] == expected[c], qPrintable(t.columns[c].name));
        // The other row is untouched.
        QVERIFY(rowOf(t, QStringLiteral("a"))[8] == Value(false));
    }

    // The layout read from a row's own bytes, before libmdb is let at it.
    void rowLayout_data()
    {
        QTest::addColumn<QByteArray>("row");
        QTest::addColumn<bool>("jet3");
        QTest::addColumn<bool>("variable");
        QTest::addColumn<int>("columns"); // -1: refused
        QTest::addColumn<QString>("values"); // per column up to one past the row's: 1 value, 0 none, - absent
        QTest::addColumn<int>("dataEnd"); // the first offset past the data
        // Three columns: a fixed one of four bytes, a variable one "ab", one
        // empty; then the end of the data, the first offset, their count, the mask.
        const QByteArray jet4("\x03\x00" "\x11\x22\x33\x44" "ab" "\x08\x00" "\x06\x00" "\x01\x00" "\x05", 15);
        QTest::newRow("jet4") << jet4 << false << true << 3 << "101-" << 8;
        QTest::newRow("jet4 without variable columns") << jet4 << false << false << 3 << "101-" << 14;
        QTest::newRow("jet3") << QByteArray("\x02" "\x11" "a" "\x03" "\x02" "\x01" "\x02", 7) << true << true << 2 << "01-" << 3;
        QTest::newRow("no columns") << QByteArray("\x00\x00", 2) << false << false << 0 << "-" << 2;
        QByteArray many = jet4;
        many[0] = char(0xff);
        many[1] = char(0xff);
        QTest::newRow("columns beyond the row") << many << false << true << -1 << "" << 0;
        QByteArray offsets = jet4;
        offsets[12] = 0x7f;
        QTest::newRow("offsets beyond the row") << offsets << false << true << -1 << "" << 0;
        QTest::newRow("one byte") << QByteArray("\x01", 1) << false << false << -1 << "" << 0;
        QTest::newRow("nothing") << QByteArray() << true << false << -1 << "" << 0;
    }

    void rowLayout()
    {
        QFETCH(QByteArray, row);
        QFETCH(bool, jet3);
        QFETCH(bool, variable);
        QFETCH(int, columns);
        QFETCH(QString, values);
        QFETCH(int, dataEnd);
        const auto *bytes = reinterpret_cast<const unsigned char *>(row.constData());
        const std::optional<row::Layout> layout = row::Layout::of(row.isEmpty() ? nullptr : bytes, std::size_t(row.size()), jet3, variable);
        QCOMPARE(layout.has_value(), columns >= 0);
        if (!layout)
            return;
        QCOMPARE(int(layout->columns()), columns);
        QString read;
        for (unsigned c = 0; c <= layout->columns(); ++c)
            read += !layout->holds(c) ? QLatin1Char('-') : layout->hasValue(c) ? QLatin1Char('1') : QLatin1Char('0');
        QCOMPARE(read, values);
        const std::size_t begin = jet3 ? 1 : 2, end = std::size_t(dataEnd);
        QVERIFY(layout->inData(begin, end - begin));
        QVERIFY(layout->inData(end, 0));
        QVERIFY(!layout->inData(begin, end - begin + 1));
        QVERIFY(!layout->inData(begin - 1, 1));
        QVERIFY(!layout->inData(end + 1, 0));
        QVERIFY(!layout->inData(begin, std::size_t(-1)));
    }

    void calculatedValue_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("value"); // "-" when refused
        const auto stored = [](quint8 length, const QByteArray &rest) { return QByteArray(16, 'h') + char(length) + QByteArray(3, '\0') + rest; };
        QTest::newRow("value") << stored(2, "ab\0\0\0") << QByteArray("ab");
        QTest::newRow("empty") << stored(0, "") << QByteArray("");
        QTest::newRow("all of the rest") << stored(3, "abc") << QByteArray("abc");
        QTest::newRow("longer than the rest") << stored(4, "abc") << QByteArray("-");
        QTest::newRow("no length") << QByteArray(19, 'h') << QByteArray("-");
    }

    void calculatedValue()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, value);
        const std::optional<row::Span> span = row::calculatedValue(reinterpret_cast<const unsigned char *>(stored.constData()), std::size_t(stored.size()));
        QCOMPARE(span ? stored.mid(qsizetype(span->offset), qsizetype(span->size)) : QByteArray("-"), value);
    }

    // A row whose counts or offsets point outside it is passed over by
    // libmdb: its table yields fewer rows than it announces (which refuses
    // an import that needs it), and never a value from outside the row.
    void damagedRowPassedOver_data()
    {
        QTest::addColumn<QByteArray>("content");
        for (const char *file : {"jet4-test.mdb", "ace-test.accdb"}) {
            QTest::addRow("%s fixed value into the offsets", file) << withFirstRowParts(file, [](fixtures::Jet4Row &r) {
                r.fixed.chop(20);
                r.variable.clear();
            });
            QTest::addRow("%s columns beyond the row", file)
                << withFirstRowParts(file, [](fixtures::Jet4Row &r) { r.columns = 0xffff; });
            QTest::addRow("%s variable columns beyond the row", file) << withFirstRow(file, [](QByteArray row) {
                fixtures::setLe16(row, row.size() - 4, 0x7fff);
                return row;
            });
            QTest::addRow("%s end of the data beyond the row", file) << withFirstRow(file, [](QByteArray row) {
                fixtures::setLe16(row, row.size() - 2 - 2 - 2 * 3, 0x0fff);
                return row;
            });
        }
    }

    void damagedRowPassedOver()
    {
        QFETCH(QByteArray, content);
        const AccessFile access(content, QStringLiteral("alt.mdb"));
        const Table &t = tableOf(access, QStringLiteral("Table1"));
        QCOMPARE(t.unreadable, QString());
        QCOMPARE(t.declaredRows, 2);
        QCOMPARE(t.rows.size(), std::size_t(1));
        QVERIFY(t.rows[0][0] == Value(QStringLiteral("a")));
    }

    // A row libmdb reads but whose value cannot be decoded makes its table
    // unreadable, and only its table.
    void damagedRowMakesTableUnreadable_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("tables");
        // A calculated column whose stored value is too short to be one.
        QByteArray flagged = fixtures::bytes(QStringLiteral("ace-test.accdb"));
        flagged[fixtures::columnEntry(flagged, fixtures::definitionOf(flagged, Table1Types), 1) + 16] = char(0xc0);
        QTest::newRow("calculated value too short") << flagged << "Table1" << QStringList{"Table1", "Table2", "Table3", "Table4"};
        // A memo kept in the row (flag 0x80000000, 11 bytes) made into one
        // on a chain of pages starting nowhere.
        const QByteArray memo = QByteArrayLiteral("\xff\xfe" "some data");
        QTest::newRow("memo pointing nowhere")
            << fixtures::replaced(fixtures::bytes(QStringLiteral("jet4-numeric.mdb")),
                                  QByteArray("\x0b\x00\x00\x80", 4) + QByteArray(8, '\0') + memo,
                                  QByteArray("\x0b\x00\x00\x00", 4) + QByteArray(8, '\0') + memo)
            << "test" << QStringList{"test"};
    }

    void damagedRowMakesTableUnreadable()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, table);
        QFETCH(QStringList, tables);
        const AccessFile access(content, QStringLiteral("alt.mdb"));
        QCOMPARE(tableNames(access), tables);
        const Table &t = tableOf(access, table);
        QCOMPARE(t.unreadable, QStringLiteral("ihre Zeile 1 ist beschädigt"));
        QVERIFY(t.rows.empty());
        for (const QString &other : tables) {
            if (other != table)
                QCOMPARE(tableOf(access, other).unreadable, QString());
        }
    }

    // ---- what Access keeps besides the user's data -----------------------------

    void temporaryTablesLeftOut()
    {
        const QByteArray bytes = fixtures::renamedTable(fixtures::bytes(QStringLiteral("jet4-test.mdb")), QStringLiteral("Table2"), "~TMPCLP42");
        QCOMPARE(tableNames(AccessFile(bytes, QStringLiteral("x.mdb"))), (QStringList{"Table1", "Table3", "Table4"}));
    }

    // Access 2010 and later store the value of a calculated column after a
    // header of their own; ace-test.accdb's column B made into one.
    void calculatedColumns_data()
    {
        QTest::addColumn<int>("type"); // B's kind after the change
        QTest::addColumn<bool>("unread");
        QTest::addColumn<QStringList>("values"); // of rows "abcdefg" and "a"; "-" for empty
        QTest::newRow("text") << int(Text) << false << QStringList{"hijklmnop", "b"};
        QTest::newRow("memo kept in the row") << int(Memo) << false << QStringList{"hijklmnop", "b"};
        QTest::newRow("binary") << int(Binary) << true << QStringList{"-", "-"};
    }

    void calculatedColumns()
    {
        QFETCH(int, type);
        QFETCH(bool, unread);
        QFETCH(QStringList, values);
        const QByteArray bytes = fixtures::calculatedColumnB(fixtures::bytes(QStringLiteral("ace-test.accdb")), type);
        const AccessFile access(bytes, QStringLiteral("alt.accdb"));
        const Table &t = tableOf(access, QStringLiteral("Table1"));
        QCOMPARE(t.unreadable, QString());
        QVERIFY(t.columns[1].calculated);
        QCOMPARE(t.columns[1].unread, unread);
        QVERIFY(!t.columns[0].calculated);
        QStringList read;
        for (const char *a : {"abcdefg", "a"}) {
            const Value &v = rowOf(t, QString::fromLatin1(a))[1];
            read << (std::holds_alternative<std::monostate>(v) ? QStringLiteral("-") : std::get<QString>(v));
        }
        QCOMPARE(read, values);
        // The other columns as before.
        QVERIFY(rowOf(t, QStringLiteral("abcdefg"))[5] == Value(444.555));
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
        // The encoding key lies masked in the header; any other than 0 means
        // the pages are encrypted.
        const QString encrypted = QStringLiteral("Die Access-Datei 'kaputt.mdb' ist mit einem Kennwort verschlüsselt. Bitte in Access ohne "
                                                 "Kennwort speichern und erneut versuchen.");
        for (int at : {0x3e, 0x41}) {
            QByteArray key = fixtures::bytes(QStringLiteral("ace-test.accdb"));
            key[at] = char(key.at(at) ^ 0x5a);
            QTest::addRow("ACE encrypted, key byte %x", at) << key << encrypted;
        }
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

    // A table the child could not read comes after whatever of it was
    // handed over, or instead of it; its rows are void.
    void unreadableTablesInStream()
    {
        const auto text = [](const QByteArray &t) {
            QByteArray b(4, '\0');
            qToLittleEndian(quint32(t.size()), b.data());
            return b + t;
        };
        const auto u32 = [](quint32 v) {
            QByteArray b(4, '\0');
            qToLittleEndian(v, b.data());
            return b;
        };
        QByteArray bytes = "H" + u32(3);
        bytes += "T" + text("Table1") + u32(2) + QByteArray("\x02\x00", 2);
        bytes += text("A") + QByteArray("\x0a\x32\x00\x00\x00\x02", 6) + text("B") + QByteArray("\x09\x0a\x00\x00\x00\x06", 6);
        bytes += "R\x07" + text("x") + QByteArray(1, '\0');
        bytes += "T" + text("Table2") + u32(2) + QByteArray("\x01\x00", 2) + text("c") + QByteArray("\x04\x04\x00\x00\x00\x00", 6);
        bytes += "R\x03" + QByteArray("\x05\0\0\0\0\0\0\0", 8);
        bytes += "U" + text("Table2") + "\x04" + u32(2);
        bytes += "U" + text("Table3") + "\x03" + u32(0);
        const stream::Decoded decoded = stream::decode(bytes + "Z", QStringLiteral("x"));
        QCOMPARE(decoded.tables.size(), std::size_t(3));
        const Table &t1 = decoded.tables[0], &t2 = decoded.tables[1], &t3 = decoded.tables[2];
        QCOMPARE(t1.unreadable, QString());
        QCOMPARE(t1.rows.size(), std::size_t(1));
        QVERIFY(t1.columns[0].calculated && !t1.columns[0].unread);
        QVERIFY(t1.columns[1].calculated && t1.columns[1].unread);
        QCOMPARE(t2.unreadable, QStringLiteral("ihre Zeile 2 ist beschädigt"));
        QVERIFY(t2.rows.empty());
        QCOMPARE(t2.columns.size(), std::size_t(1));
        QCOMPARE(t3.name, QStringLiteral("Table3"));
        QCOMPARE(t3.unreadable, QStringLiteral("ihre Beschreibung ist beschädigt"));
        // No row may follow it.
        QVERIFY_THROWS_EXCEPTION(EngineError, stream::decode(bytes + "R\x00Z", QStringLiteral("x")));
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
