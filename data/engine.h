#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <unordered_map>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

// The one connection to the database file. SQLite opens lazily and silently
// falls back to read-only, so opening probes the file at once: a missing,
// foreign, damaged, read-only or locked file is an EngineError here and not
// at the first write.
class Connection
{
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Never creates the file. Throws EngineError with a German message.
    void open(const QString &fileName, int busyTimeoutMs = 3000);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    QString fileName() const { return m_fileName; }
    sqlite3 *handle() const { return m_db; }

    // A cached prepared statement, reset and unbound. Throws EngineError when
    // SQLite rejects the text, or when the text holds a second statement.
    sqlite3_stmt *prepare(const QByteArray &sql);
    // A statement of its own, finalized by the caller (for one-off reads).
    sqlite3_stmt *prepareUncached(const QByteArray &sql);

    // Builds the German error for a failed call, with SQLite's text appended.
    [[noreturn]] void fail(int rc, const QString &what = QString()) const;
    // rc may be an extended code; systemErrno is the operating system's
    // reason for an I/O failure (0 when unknown).
    static QString describe(int rc, const QString &sqliteText, int systemErrno = 0);

    // Told when a statement starts waiting for another program's lock (true)
    // and when that wait is over (false), whether it got the lock or gave up.
    // One hook for the whole program; the window layer shows a wait cursor.
    using BusyHook = std::function<void(bool waiting)>;
    static void setBusyHook(BusyHook hook);
    static const BusyHook &busyHook();

    // Declared types and auto-increment flag of a table column, from the schema.
    struct ColumnInfo { QByteArray declType; bool autoIncrement = false; bool primaryKey = false; bool found = false; };
    ColumnInfo columnInfo(const QByteArray &table, const QByteArray &column) const;

private:
    static int busyHandler(void *self, int count);
    static int traceHandler(unsigned type, void *self, void *, void *);
    void endWait();

    sqlite3 *m_db = nullptr;
    int m_busyTimeoutMs = 3000;
    bool m_waiting = false;
    std::chrono::steady_clock::time_point m_waitStart;
    QString m_fileName;
    std::unordered_map<std::string, sqlite3_stmt *> m_cache;
};

// Resets a cached statement when it leaves scope, so it never holds a read lock.
class StatementReset
{
public:
    explicit StatementReset(sqlite3_stmt *st) : m_st(st) {}
    ~StatementReset();
    StatementReset(const StatementReset &) = delete;
    StatementReset &operator=(const StatementReset &) = delete;
private:
    sqlite3_stmt *m_st;
};

// Finalizes an uncached statement when it leaves scope.
struct StatementFinalizer
{
    void operator()(sqlite3_stmt *st) const;
};
using OwnedStatement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;
