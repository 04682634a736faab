#pragma once

// The names the database tool still reaches SQLite by. Everything else goes
// through Database; these go once the tool does too.

#include "data/newdatabase.h"
#include "data/sqlitedatabase.h"
#include "data/years.h"

#include <QByteArray>
#include <QString>

using Connection = SqliteDatabase;

inline void createYearTables(sqlite3 *db, int year)
{
    const std::unique_ptr<SqliteDatabase> database = SqliteDatabase::borrow(db);
    createYearTables(*database, year);
}

namespace backup {
void copyDatabase(sqlite3 *source, const QString &target, bool replace);
}

namespace newdb {

// A statement on a new database with the tool's old calls; every failure
// goes through NewDatabase::fail().
class Statement
{
public:
    Statement(NewDatabase &db, const char *sql) : m_db(db), m_statement(db.prepare(QByteArray(sql))) {}

    // nullptr stores NULL.
    void text(int index, const char *value)
    {
        m_db.guarded([&] { value ? m_statement->bindText(index, value) : m_statement->bindNull(index); });
    }
    void textNoCopy(int index, const char *value, int length)
    {
        m_db.guarded([&] { m_statement->bindText(index, std::string_view(value, size_t(length))); });
    }
    void integer(int index, long long value) { m_db.guarded([&] { m_statement->bindInteger(index, value); }); }
    void real(int index, double value) { m_db.guarded([&] { m_statement->bindReal(index, value); }); }
    void null(int index) { m_db.guarded([&] { m_statement->bindNull(index); }); }
    // The parameters stay bound for the next run.
    void run() { m_db.guarded([&] { m_statement->run(); }); }

private:
    NewDatabase &m_db;
    StatementHandle m_statement;
};

} // namespace newdb
