#pragma once

// The Access files of ../shared/access (see its README.md) and ways to
// change them in memory: a table renamed into one of the program's, a text
// replaced, a page overwritten, the file cut short.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTest>

#include <algorithm>
#include <functional>

namespace fixtures {

inline QString path(const QString &name)
{
    return QDir(QStringLiteral(ACCESS_FIXTURES)).filePath(name);
}

inline QByteArray bytes(const QString &name)
{
    QFile f(path(name));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("cannot read the fixture %s", qPrintable(f.fileName()));
    return f.readAll();
}

inline void write(const QString &file, const QByteArray &content)
{
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(file));
}

inline int pageSize(const QByteArray &file)
{
    return file.at(0x14) == 0 ? 2048 : 4096;
}

// Replaces the one place where `from` occurs by `to` of the same length.
inline QByteArray replaced(QByteArray file, const QByteArray &from, const QByteArray &to)
{
    Q_ASSERT(from.size() == to.size());
    const qsizetype at = file.indexOf(from);
    if (at < 0 || file.indexOf(from, at + 1) >= 0)
        qFatal("the bytes to replace are not in the fixture exactly once");
    file.replace(at, from.size(), to);
    return file;
}

// Jet 4 keeps names as UTF-16; in the table of tables (the rows of the data
// pages that belong to page 2) a name of six characters is renamed into
// `to` of up to ten, written as compressed text ("\xff\xfe", one byte a
// character, each zero byte after it switching modes without a character),
// so the row keeps its length.
inline QByteArray renamedTable(QByteArray file, const QString &from, const QByteArray &to)
{
    Q_ASSERT(from.size() == 6 && to.size() <= 10);
    const QByteArray name(reinterpret_cast<const char *>(from.utf16()), from.size() * 2);
    QByteArray compressed = QByteArrayLiteral("\xff\xfe") + to;
    compressed.append(QByteArray(name.size() - compressed.size(), '\0'));
    const int page = pageSize(file);
    int renamed = 0;
    for (qsizetype at = file.indexOf(name); at >= 0; at = file.indexOf(name, at + 1)) {
        const auto *p = reinterpret_cast<const uchar *>(file.constData()) + at / page * page;
        const quint32 owner = p[4] | p[5] << 8 | p[6] << 16 | quint32(p[7]) << 24;
        if (p[0] == 0x01 && owner == 2) {
            file.replace(at, name.size(), compressed);
            ++renamed;
        }
    }
    if (renamed != 1)
        qFatal("the table %s is not named once in the table of tables", qPrintable(from));
    return file;
}

// The pages that hold the rows of the table of tables.
inline QList<int> catalogPages(const QByteArray &file)
{
    const int page = pageSize(file);
    QList<int> pages{2};
    for (int n = 3; n < file.size() / page; ++n) {
        const auto *p = reinterpret_cast<const uchar *>(file.constData()) + qsizetype(n) * page;
        if (p[0] == 0x01 && (p[4] | p[5] << 8 | p[6] << 16 | quint32(p[7]) << 24) == 2)
            pages << n;
    }
    return pages;
}

inline quint16 le16(const QByteArray &b, qsizetype at)
{
    return quint16(quint8(b.at(at)) | quint8(b.at(at + 1)) << 8);
}

inline void setLe16(QByteArray &b, qsizetype at, quint16 v)
{
    b[at] = char(v & 0xff);
    b[at + 1] = char(v >> 8);
}

// A row of Jet 4 or ACE taken apart: the number of columns it holds, the
// bytes of its fixed columns, each variable column's bytes, the null mask.
struct Jet4Row
{
    quint16 columns = 0;
    QByteArray fixed;
    QList<QByteArray> variable;
    QByteArray mask;

    static Jet4Row of(const QByteArray &row)
    {
        Jet4Row r;
        r.columns = le16(row, 0);
        const qsizetype maskBytes = (r.columns + 7) / 8;
        r.mask = row.right(maskBytes);
        const int count = le16(row, row.size() - maskBytes - 2);
        // The offsets from the row's start, the first variable column's
        // nearest the count, the end of the data last.
        QList<int> offsets;
        for (int k = 0; k <= count; ++k)
            offsets << le16(row, row.size() - maskBytes - 4 - 2 * k);
        r.fixed = row.mid(2, offsets.at(0) - 2);
        for (int k = 0; k < count; ++k)
            r.variable << row.mid(offsets.at(k), offsets.at(k + 1) - offsets.at(k));
        return r;
    }

    QByteArray bytes() const
    {
        QByteArray row(2, '\0');
        setLe16(row, 0, columns);
        row += fixed;
        QList<int> offsets;
        for (const QByteArray &v : variable) {
            offsets << int(row.size());
            row += v;
        }
        offsets << int(row.size());
        for (qsizetype k = offsets.size() - 1; k >= 0; --k) {
            row += QByteArray(2, '\0');
            setLe16(row, row.size() - 2, quint16(offsets.at(k)));
        }
        row += QByteArray(2, '\0');
        setLe16(row, row.size() - 2, quint16(variable.size()));
        return row + mask;
    }
};

// Jet 4 and ACE: every row of the data page that holds `marker` given to
// `change` (with the row's bytes; it returns the new ones), the page's rows
// packed anew from its end. The page must have room.
inline QByteArray changedRows(QByteArray file, const QByteArray &marker, const std::function<QByteArray(const QByteArray &)> &change)
{
    const int page = pageSize(file);
    const qsizetype at = file.indexOf(marker);
    if (at < 0 || file.indexOf(marker, at + 1) >= 0)
        qFatal("the marker is not in the fixture exactly once");
    const qsizetype base = at / page * page;
    QByteArray p = file.mid(base, page);
    const int count = le16(p, 12);
    QList<QByteArray> rows;
    int end = page;
    for (int i = 0; i < count; ++i) {
        const int start = le16(p, 14 + 2 * i) & 0x1fff;
        rows << change(p.mid(start, end - start));
        end = start;
    }
    const int header = 14 + 2 * count;
    end = page;
    for (int i = 0; i < count; ++i) {
        end -= int(rows.at(i).size());
        if (end < header)
            qFatal("the changed rows do not fit into their page");
        p.replace(end, rows.at(i).size(), rows.at(i));
        setLe16(p, 14 + 2 * i, quint16(end));
    }
    p.replace(header, end - header, QByteArray(end - header, '\0'));
    setLe16(p, 2, quint16(end - header));
    file.replace(base, page, p);
    return file;
}

// The definition page of the Jet 4 or ACE table whose columns have exactly
// `types` (in any order), and where its column descriptions begin.
struct Definition
{
    qsizetype page = -1;
    qsizetype columns = -1;
};

inline Definition definitionOf(const QByteArray &file, QList<int> types)
{
    const int page = pageSize(file);
    std::sort(types.begin(), types.end());
    Definition found;
    for (qsizetype n = 3; n < file.size() / page; ++n) {
        const qsizetype p = n * page;
        if (file.at(p) != 0x02 || file.at(p + 1) != 0x01 || le16(file, p + 45) != types.size())
            continue;
        const qsizetype columns = p + 63 + 12 * qsizetype(le16(file, p + 51));
        QList<int> have;
        for (qsizetype i = 0; i < types.size(); ++i)
            have << quint8(file.at(columns + 25 * i));
        std::sort(have.begin(), have.end());
        if (have != types)
            continue;
        if (found.page >= 0)
            qFatal("more than one table with these columns");
        found = Definition{p, columns};
    }
    if (found.page < 0)
        qFatal("no table with these columns");
    return found;
}

// Where the description of the column numbered `number` begins.
inline qsizetype columnEntry(const QByteArray &file, const Definition &d, int number)
{
    for (qsizetype i = 0; i < le16(file, d.page + 45); ++i) {
        if (le16(file, d.columns + 25 * i + 5) == number)
            return d.columns + 25 * i;
    }
    qFatal("no column %d", number);
}

// How a calculated column keeps its value: a header of 16 bytes, the
// value's length, the value, 3 bytes.
inline QByteArray calculatedValue(const QByteArray &value)
{
    QByteArray length(4, '\0');
    setLe16(length, 0, quint16(value.size()));
    return QByteArray(16, '\x11') + length + value + QByteArray(3, '\0');
}

// ace-test.accdb (or a copy) with Table1's column B made into a calculated
// column of `type` (a code of accessdb::ColumnType), its values stored the
// way Access stores a calculated column's (a memo's in the row).
inline QByteArray calculatedColumnB(QByteArray file, int type)
{
    const QByteArray first = QByteArrayLiteral("\xff\xfe" "abcdefg");
    const qsizetype entry = columnEntry(file, definitionOf(file, {0x0a, 0x0a, 0x02, 0x03, 0x04, 0x07, 0x08, 0x05, 0x01}), 1);
    file[entry] = char(type);
    file[entry + 16] = char(0xc0);
    return changedRows(file, first, [&](const QByteArray &row) {
        Jet4Row r = Jet4Row::of(row);
        QByteArray &b = r.variable[1];
        // A memo keeps its length and where its text is in 12 bytes; kept
        // in the row, the length's highest bit is set.
        if (type == 0x0c) {
            QByteArray header(12, '\0');
            setLe16(header, 0, quint16(b.size()));
            header[3] = char(0x80);
            b = header + b;
        }
        b = calculatedValue(b);
        return r.bytes();
    });
}

} // namespace fixtures
