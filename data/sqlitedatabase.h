#pragma once

#include "engine.h"

#include <chrono>
#include <memory>
#include <string>
#include <unordered_map>

struct sqlite3;
class SqliteStatement;

// A database file through SQLite's C API. SQLite opens lazily and silently
// falls back to read-only, so opening probes the file at once: a missing,
// foreign, damaged, read-only or locked file is an EngineError here and not
// at the first write.
class SqliteDatabase final : public Database
{
public:
    SqliteDatabase();
    ~SqliteDatabase() override;

    // Never creates the file. Throws EngineError with a German message.
    void open(const QString &fileName, int busyTimeoutMs = 3000) override;
    void close() override;
    bool isOpen() const override { return m_db != nullptr; }
    QString fileName() const override { return m_fileName; }

    StatementHandle prepare(const QByteArray &sql, Reuse reuse = Reuse::Cached) override;
    void exec(const QByteArray &sql, const QString &what = QString()) override;
    qint64 lastInsertId() const override;
    qint64 changes() const override;
    bool inTransaction() const override;

    QByteArray quoteIdentifier(const QByteArray &name) const override;
    QByteArray nullSafeEqual() const override { return "IS"; }
    QByteArray insertOrReplace(const QByteArray &table, const QList<QByteArray> &columns,
                               const QByteArray &rows) const override;

    QStringList tableNames() override;
    QStringList indexNames() override;
    std::vector<ColumnInfo> columns(const QString &table) override;
    ColumnInfo columnInfo(const QByteArray &table, const QByteArray &column) const override;
    qint64 rowCountEstimate(const QString &table) override;
    int schemaVersion() override;
    void setSchemaVersion(int version) override;

    void begin(bool writeLock) override;
    void commit() override;
    void rollback() noexcept override;

    // The connection itself, for what only SQLite does (the online backup,
    // the integrity check) and for tests that break a file on purpose.
    sqlite3 *handle() const { return m_db; }

    // Builds the German error for a failed call, with SQLite's text appended.
    [[noreturn]] void fail(int rc, const QString &what = QString()) const;
    // rc may be an extended code; systemErrno is the operating system's
    // reason for an I/O failure (0 when unknown).
    static QString describe(int rc, const QString &sqliteText, int systemErrno = 0);
    FailureKind lastFailure() const override;
    QString lastErrorText() const override;
    // Whether a failed call ran out of room: a full disk, a quota or a file
    // size limit.
    static bool outOfSpace(int rc, sqlite3 *db);

private:
    static int busyHandler(void *self, int count);
    static int traceHandler(unsigned type, void *self, void *, void *);
    void endWait();
    SqliteStatement *prepareNew(const QByteArray &sql, bool cached);

    sqlite3 *m_db = nullptr;
    int m_busyTimeoutMs = 3000;
    bool m_waiting = false;
    std::chrono::steady_clock::time_point m_waitStart;
    QString m_fileName;
    std::unordered_map<std::string, std::unique_ptr<SqliteStatement>> m_cache;
};
