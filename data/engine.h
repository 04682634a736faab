#pragma once

// The program's only way to the database engine. Callers write portable SQL
// with numbered parameters (?1, ?2, ...) and ask the engine for whatever is
// written differently from one engine to the next; an implementation (SQLite
// today) turns that into its own calls, and its failures into the program's
// German messages (EngineError).

#include "errors.h"
#include "value.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

// A prepared statement. It is reached through a StatementHandle, which puts it
// back (reset, parameters cleared) when it leaves scope, so a statement never
// keeps a read lock open after its caller is done with it.
class Statement
{
public:
    virtual ~Statement() = default;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    // Parameters count from 1. Text and blob bytes are copied.
    virtual void bindNull(int index) = 0;
    virtual void bindInteger(int index, qint64 value) = 0;
    virtual void bindReal(int index, double value) = 0;
    virtual void bindText(int index, std::string_view utf8) = 0;
    virtual void bindBlob(int index, std::string_view bytes) = 0;
    void bindText(int index, const char *utf8) { bindText(index, std::string_view(utf8)); }
    // An empty text is bound as '' and never as NULL.
    void bindText(int index, const QString &text);
    void bind(int index, const Value &value);

    // Runs to the next row: true when there is one, false when the statement
    // is done; it is then back at its start, its parameters kept, to be run
    // again. A failure throws EngineError.
    virtual bool step() = 0;
    // Runs the statement to its end (a write, or a read whose rows don't matter).
    void run()
    {
        while (step()) {
        }
    }

    // What the statement reads: its columns, their declared types, and for a
    // column read straight from a table, that table and column ("" otherwise).
    virtual int columnCount() const = 0;
    virtual QByteArray columnName(int column) const = 0;
    virtual QByteArray columnDeclaredType(int column) const = 0;
    virtual QByteArray columnTable(int column) const = 0;
    virtual QByteArray columnOrigin(int column) const = 0;
    // Whether running it can change nothing in the file.
    virtual bool isReadOnly() const = 0;

    // The current row's values, by 0-based column.
    virtual Value::Type columnType(int column) const = 0;
    virtual qint64 columnInteger(int column) const = 0;
    virtual double columnReal(int column) const = 0;
    // UTF-8 bytes of a text (the bytes of a blob), valid until the next step.
    virtual std::string_view columnText(int column) const = 0;
    QString columnString(int column) const;
    Value columnValue(int column) const;
    // The whole row in one call, for reads of many rows: fields[i] gets
    // column columns[i], NULL where that is negative. The bytes live until
    // the next step.
    virtual void readRow(const int *columns, int count, FieldView *fields) const = 0;

protected:
    Statement() = default;

private:
    friend class StatementHandle;
    // The handle is done with it: back to the start with no parameters, or
    // gone when it was prepared for one use.
    virtual void release() noexcept = 0;
};

class StatementHandle
{
public:
    explicit StatementHandle(Statement *statement) : m_statement(statement) {}
    StatementHandle(StatementHandle &&other) noexcept : m_statement(std::exchange(other.m_statement, nullptr)) {}
    StatementHandle &operator=(StatementHandle &&) = delete;
    ~StatementHandle()
    {
        if (m_statement)
            m_statement->release();
    }
    Statement *operator->() const { return m_statement; }
    Statement &operator*() const { return *m_statement; }

private:
    Statement *m_statement;
};

// A column of a table as the file declares it.
struct ColumnInfo
{
    QByteArray name;
    QByteArray declType;
    // What follows DEFAULT in a definition that gives the column the same
    // default; empty when it has none.
    QByteArray defaultValue;
    bool primaryKey = false;
    bool autoIncrement = false;
    bool found = false;
};

class Database
{
public:
    virtual ~Database() = default;
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Opens an existing database and checks at once that it can be read and
    // written; never creates one. Throws EngineError with a German message.
    virtual void open(const QString &location, int busyTimeoutMs = 3000) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The file (or server database) as it was opened.
    virtual QString fileName() const = 0;

    enum class Reuse {
        Cached, // kept by its text, for statements the program builds itself
        Once,   // finalized when the handle goes: text that varies with what a user typed
    };
    // Throws EngineError when the engine rejects the text, or when it holds a
    // second statement.
    virtual StatementHandle prepare(const QByteArray &sql, Reuse reuse = Reuse::Cached) = 0;
    // Runs one or more statements without parameters. `what`, when given,
    // goes in front of the engine's reason.
    virtual void exec(const QByteArray &sql, const QString &what = QString()) = 0;
    // The id the last insert on this connection handed out (an engine that
    // hands ids out from a sequence reads the sequence's last value).
    virtual qint64 lastInsertId() const = 0;
    // Rows the last insert, update or delete changed.
    virtual qint64 changes() const = 0;
    // Whether a transaction is open on this connection.
    virtual bool inTransaction() const = 0;

    // The SQL that is written differently from one engine to the next.
    virtual QByteArray quoteIdentifier(const QByteArray &name) const = 0;
    // The comparison under which NULL equals NULL ("a IS ?1").
    virtual QByteArray nullSafeEqual() const = 0;
    // "Insert the row, or replace the one with the same key": `rows` is a
    // VALUES list or a SELECT giving the columns in order; the first column
    // is the key.
    virtual QByteArray insertOrReplace(const QByteArray &table, const QList<QByteArray> &columns,
                                       const QByteArray &rows) const = 0;

    // The catalogue.
    virtual QStringList tableNames() = 0;
    // Tables compare without regard to case.
    bool hasTable(const QString &name);
    virtual QStringList indexNames() = 0;
    // In the table's order; empty for a table that is not there.
    virtual std::vector<ColumnInfo> columns(const QString &table) = 0;
    virtual ColumnInfo columnInfo(const QByteArray &table, const QByteArray &column) const = 0;
    // About how many rows a table holds, found without reading them (0: not known).
    virtual qint64 rowCountEstimate(const QString &table) = 0;
    // The version of the program's tables the file says it holds (0: none said).
    virtual int schemaVersion() = 0;
    virtual void setSchemaVersion(int version) = 0;

    // Transactions go through Transaction; nested ones become savepoints.
    virtual void begin(bool writeLock) = 0;
    virtual void commit() = 0;
    virtual void rollback() noexcept = 0;

    // What kind of failure the last failed call was, for callers that word
    // it themselves, and the engine's own (English) text for it.
    enum class FailureKind { Other, OutOfSpace, InputOutput };
    virtual FailureKind lastFailure() const = 0;
    virtual QString lastErrorText() const = 0;

    // Told when a statement starts waiting for another program's lock (true)
    // and when that wait is over (false), whether it got the lock or gave up.
    // One hook for the whole program; the window layer shows a wait cursor.
    using BusyHook = std::function<void(bool waiting)>;
    static void setBusyHook(BusyHook hook);
    static const BusyHook &busyHook();

protected:
    Database() = default;
};

// A unit of work: begun on construction, rolled back on destruction unless
// committed. Inside another one it is a savepoint of that one.
class Transaction
{
public:
    // writeLock takes the write lock at once, so that what is read inside
    // cannot be changed by another program before it is written. `what`
    // goes in front of a failure's reason.
    explicit Transaction(Database &database, bool writeLock = false, QString what = QString());
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    void commit();

private:
    Database &m_database;
    QString m_what;
    bool m_nested;
    bool m_done = false;
};

// The engine for a database's location, not yet open: today every location
// is a file, and SQLite keeps it.
std::unique_ptr<Database> makeDatabase(const QString &location);
// The same, opened (Database::open).
std::unique_ptr<Database> openDatabase(const QString &location, int busyTimeoutMs = 3000);

// Runs f; an EngineError it throws gets `what` in front of its reason.
template <class F>
decltype(auto) withContext(const QString &what, F &&f)
{
    try {
        return std::forward<F>(f)();
    } catch (const EngineError &e) {
        throw EngineError(what + QStringLiteral(": ") + e.message());
    }
}
