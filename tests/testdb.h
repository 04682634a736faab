#pragma once

// Each test builds its own database in a temporary folder from the schema file.

#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

namespace testdb {

inline QString schemaText()
{
    QFile f(QStringLiteral(RECHNUNG_SCHEMA_FILE));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("cannot read schema %s", RECHNUNG_SCHEMA_FILE);
    return QString::fromUtf8(f.readAll());
}

// Runs SQL on a database file through a connection of its own (a "second
// program" from the point of view of the code under test).
inline void exec(const QString &file, const QString &sql)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        qFatal("cannot open %s", qPrintable(file));
    char *err = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK) {
        QString msg = QString::fromUtf8(err);
        sqlite3_free(err);
        sqlite3_close(db);
        qFatal("SQL failed: %s\n%s", qPrintable(msg), qPrintable(sql));
    }
    sqlite3_close(db);
}

// One value of a query, as text ("" for NULL); for checking what was stored.
inline QString scalar(const QString &file, const QString &sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK) {
        QString msg = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        qFatal("SQL failed: %s\n%s", qPrintable(msg), qPrintable(sql));
    }
    QString out;
    if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL)
        out = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

// A temporary folder holding "rechungen.mdb" made from the schema, plus
// optional SQL run on it.
class Fixture
{
public:
    explicit Fixture(const QString &sql = QString())
    {
        if (!m_dir.isValid())
            qFatal("no temporary folder");
        testdb::exec(file(), schemaText());
        if (!sql.isEmpty())
            testdb::exec(file(), sql);
    }
    QString dir() const { return m_dir.path(); }
    QString file() const { return m_dir.filePath(QStringLiteral("rechungen.mdb")); }
    QString scalar(const QString &sql) const { return testdb::scalar(file(), sql); }
    void exec(const QString &sql) const { testdb::exec(file(), sql); }

private:
    QTemporaryDir m_dir;
};

} // namespace testdb
