#pragma once

// The Access files of ../shared/access (see its README.md) and ways to
// change them in memory: a table renamed into one of the program's, a text
// replaced, a page overwritten, the file cut short.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTest>

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

} // namespace fixtures
