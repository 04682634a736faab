#pragma once

#include "data/amount.h"
#include "data/sqlitedatabase.h"

#include <QByteArray>
#include <QString>
#include <memory>

// Making a new database file: the database tool's create, demo, generate and
// import, and the program's "Neue Datenbank anlegen ...", all go through here,
// so a file made by any of them is the same file.
namespace newdb {

// The tables of a new database, built into the program from schema/rechungen.sql.
const QByteArray &schema();

class PartialFileWatcher;

// A new database file under construction. It is built under a name of its
// own beside the target and renamed into place only by finish(): an
// interrupted run (Ctrl+C, a kill, a closed terminal, a power cut) never
// leaves a file under the target's name that looks finished, nor one that
// the next run refuses to overwrite. The half-made file itself is removed as
// well: by the destructor, by the tool's signal handlers
// (removePartialFileNow()), and for SIGKILL, which no handler sees, by a small
// watcher process that outlives us. Every failure is an EngineError with a
// German message naming the file as given.
class NewDatabase
{
public:
    // Refuses an existing target; never overwrites anything.
    explicit NewDatabase(const QString &file);
    ~NewDatabase();
    NewDatabase(const NewDatabase &) = delete;
    NewDatabase &operator=(const NewDatabase &) = delete;

    Database &connection() { return m_connection; }
    const QString &file() const { return m_file; }

    // Runs statements without parameters.
    void exec(const char *sql);
    // A statement on the new file, for the rows that fill it; every failure
    // of it is said as fail() says it.
    StatementHandle prepare(const QByteArray &sql);
    // The German message for the last failed call.
    [[noreturn]] void fail() const;
    // Runs f; a failure of the engine in it is said as fail() says it.
    template <class F>
    decltype(auto) guarded(F &&f)
    {
        try {
            return std::forward<F>(f)();
        } catch (const EngineError &) {
            fail();
        }
    }

    // "BEGIN", the schema and every migration, so the file is at the newest
    // version: everything up to finish() is one transaction,
    // so a crash half way leaves an empty file rather than one that looks complete.
    // The file names `separators` as those its amounts are written with.
    void startWithSchema(const Separators &separators);
    // Commits and gives the file its final name.
    void finish();

private:
    void discard();

    QString m_file;
    QString m_target;
    QString m_partial;
    SqliteDatabase m_connection;
    std::unique_ptr<PartialFileWatcher> m_watcher;
    bool m_created = false;
    bool m_finished = false;
};

// An empty database with the program's tables, as "rechnung-db create" makes
// it, its amounts to be written with `separators`: the regional settings of
// the PC that makes it. With a year, that year's tables as well (a new user
// starts writing into this year, not into the newest of the classic ones).
void createEmpty(const QString &file, const Separators &separators = Separators::fromSystem(), int alsoYear = 0);

// Removes the half-made file of the running NewDatabase, if any. Only calls
// unlink(), so a signal handler may call it.
void removePartialFileNow();

} // namespace newdb

