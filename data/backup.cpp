#include "backup.h"

#include "sqlitedatabase.h"
#include "errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace backup {

namespace {

QString systemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// The half-made copy is removed whatever happens, unless it was given its
// final name.
class PartialFile
{
public:
    explicit PartialFile(const QString &target)
    {
        m_path = partialFileName(target);
        QFile::remove(m_path); // a leftover of an earlier process with the same number
    }
    ~PartialFile()
    {
        if (!m_path.isEmpty()) {
            QFile::remove(m_path);
            QFile::remove(m_path + QStringLiteral("-journal"));
        }
    }
    PartialFile(const PartialFile &) = delete;
    PartialFile &operator=(const PartialFile &) = delete;

    const QString &path() const { return m_path; }
    void placed() { m_path.clear(); }

private:
    QString m_path;
};

EngineError copyFailed(const QString &target, const QString &reason)
{
    return EngineError(QStringLiteral("Die Sicherung '%1' konnte nicht geschrieben werden: %2").arg(target, reason));
}

// SQLite's own text after the German one, as the engine's messages have it.
QString reasonOf(int rc, sqlite3 *db)
{
    if (SqliteDatabase::outOfSpace(rc, db))
        return QStringLiteral("Auf dem Datenträger ist kein Platz mehr frei");
    return SqliteDatabase::describe(rc, db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc)));
}

// How a copy made on a thread of its own is steered: it copies a part at a
// time, says how far it got, and stops where it is once `abandoned` is set.
// Without `abandoned` the copy is made in one go.
struct Steering
{
    const std::atomic<bool> *abandoned = nullptr;
    std::function<void(int remaining, int total)> progress = {};
    // Told as soon as every page is copied: the source can be let go then.
    std::function<void()> sourceCopied = {};
    bool stopped() const { return abandoned && abandoned->load(); }
};

// A part of the copy: about a megabyte, so abandoning never waits long.
constexpr int PagesPerPart = 256;

void writeCopy(sqlite3 *source, const QString &file, const QString &target, const Steering &steering)
{
    sqlite3 *copy = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(file).constData(), &copy,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString reason = reasonOf(rc, copy);
        sqlite3_close(copy);
        throw copyFailed(target, reason);
    }
    sqlite3_extended_result_codes(copy, 1);
    sqlite3_backup *b = sqlite3_backup_init(copy, "main", source, "main");
    if (!b) {
        const QString reason = reasonOf(sqlite3_errcode(copy), copy);
        sqlite3_close(copy);
        throw copyFailed(target, reason);
    }
    // All pages in one step: the source stays read-locked for the whole copy,
    // so the copy is one consistent state even while another program writes.
    // The source's busy timeout covers a writer that holds the file just now.
    // A steered copy goes in parts; its caller holds a read transaction on the
    // source from start to end, which keeps it one state all the same.
    if (!steering.abandoned) {
        rc = sqlite3_backup_step(b, -1);
    } else {
        do {
            rc = sqlite3_backup_step(b, PagesPerPart);
            if (steering.progress && (rc == SQLITE_OK || rc == SQLITE_DONE))
                steering.progress(sqlite3_backup_remaining(b), sqlite3_backup_pagecount(b));
        } while (rc == SQLITE_OK && !steering.stopped());
    }
    const int finishRc = sqlite3_backup_finish(b);
    if (rc == SQLITE_OK && steering.stopped()) {
        sqlite3_close(copy);
        throw copyFailed(target, QStringLiteral("Die Sicherung wurde abgebrochen"));
    }
    if (rc == SQLITE_DONE)
        rc = finishRc;
    if (rc != SQLITE_OK && rc != SQLITE_DONE) {
        // Errors of the source side are reported on the source connection.
        const bool sourceSide = (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED;
        const QString reason = reasonOf(rc, sourceSide ? source : copy);
        sqlite3_close(copy);
        throw copyFailed(target, reason);
    }
    rc = sqlite3_close(copy);
    if (rc != SQLITE_OK)
        throw copyFailed(target, SqliteDatabase::describe(rc, QString::fromUtf8(sqlite3_errstr(rc))));
    if (steering.sourceCopied)
        steering.sourceCopied();
}

int stopWhenAbandoned(void *abandoned) { return static_cast<const std::atomic<bool> *>(abandoned)->load() ? 1 : 0; }

} // namespace

QString partialFileName(const QString &target)
{
    const QFileInfo info(target);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".entsteht-")
           + QString::number(::getpid());
}

static QString integrityProblem(const QString &file, const std::atomic<bool> *abandoned);

QString integrityProblem(const QString &file) { return integrityProblem(file, nullptr); }

// A check that stops, as a failed one, once `abandoned` is set.
static QString integrityProblem(const QString &file, const std::atomic<bool> *abandoned)
{
    const QFileInfo info(file);
    if (!info.exists())
        return QStringLiteral("Die Datei '%1' wurde nicht gefunden").arg(file);
    if (info.isDir())
        return QStringLiteral("'%1' ist ein Ordner und keine Datenbankdatei").arg(file);
    sqlite3 *db = nullptr;
    // Read-only and by absolute path: the check must never change the file,
    // and a name like "file:x" is a file name, not a URI.
    int rc = sqlite3_open_v2(QFile::encodeName(info.absoluteFilePath()).constData(), &db,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    QStringList problems;
    if (rc == SQLITE_OK && abandoned)
        sqlite3_progress_handler(db, 1000, stopWhenAbandoned, const_cast<std::atomic<bool> *>(abandoned));
    if (rc == SQLITE_OK) {
        sqlite3_stmt *st = nullptr;
        rc = sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr);
        if (rc == SQLITE_OK) {
            while ((rc = sqlite3_step(st)) == SQLITE_ROW)
                problems << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
            if (rc == SQLITE_DONE)
                rc = SQLITE_OK;
        }
        sqlite3_finalize(st);
    }
    if (rc != SQLITE_OK) {
        const QString reason = SqliteDatabase::describe(rc, db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString());
        sqlite3_close(db);
        return QStringLiteral("Die Datei '%1' kann nicht geprüft werden: %2").arg(file, reason);
    }
    sqlite3_close(db);
    if (problems == QStringList{QStringLiteral("ok")})
        return QString();
    // The first findings say enough; a badly damaged file has thousands.
    const QStringList shown = problems.mid(0, 3);
    return QStringLiteral("Die Datei '%1' ist beschädigt (%2)").arg(file, shown.join(QStringLiteral("; ")));
}

void moveIntoPlace(const QString &finished, const QString &target, bool replace)
{
    const QByteArray from = QFile::encodeName(finished);
    const QByteArray to = QFile::encodeName(target);
    if (replace) {
        if (std::rename(from.constData(), to.constData()) != 0)
            throw copyFailed(target, systemReason(errno));
        return;
    }
    // Atomic "rename unless the name is taken"; where the file system cannot
    // do that, a hard link gives the same guarantee.
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return;
    int error = errno;
    if (error == EINVAL || error == ENOSYS) {
        if (::link(from.constData(), to.constData()) == 0) {
            ::unlink(from.constData());
            return;
        }
        error = errno;
    }
    if (error == EEXIST)
        throw EngineError(QStringLiteral("Die Datei '%1' existiert bereits; sie wird nicht überschrieben").arg(target));
    throw copyFailed(target, systemReason(error));
}

static void copyDatabase(sqlite3 *source, const QString &target, bool replace, const Steering &steering = {});

// The online backup is SQLite's own: a database of another engine is saved
// by that engine's tools.
static sqlite3 *sqliteHandle(Database &database)
{
    auto *sqlite = dynamic_cast<SqliteDatabase *>(&database);
    if (!sqlite)
        throw EngineError(QStringLiteral("Diese Datenbank kann das Programm nicht selbst sichern"));
    if (!sqlite->handle())
        throw EngineError(QStringLiteral("Keine Verbindung zur Datenbank"));
    return sqlite->handle();
}

void copyDatabase(Database &source, const QString &target, bool replace)
{
    copyDatabase(sqliteHandle(source), target, replace);
}

static void copyDatabase(sqlite3 *source, const QString &target, bool replace, const Steering &steering)
{
    const QFileInfo info(target);
    if (info.isDir())
        throw copyFailed(target, QStringLiteral("Unter diesem Namen gibt es einen Ordner"));
    if (!replace && (info.exists() || info.isSymLink()))
        throw EngineError(QStringLiteral("Die Datei '%1' existiert bereits; sie wird nicht überschrieben").arg(target));
    if (!QFileInfo(info.absolutePath()).isDir())
        throw copyFailed(target, QStringLiteral("Der Ordner '%1' existiert nicht").arg(info.absolutePath()));
    PartialFile partial(target);
    writeCopy(source, partial.path(), target, steering);
    const QString problem = integrityProblem(partial.path(), steering.abandoned);
    if (!problem.isEmpty())
        throw copyFailed(target, QStringLiteral("Die Prüfung der Kopie ist fehlgeschlagen: ") + problem);
    moveIntoPlace(partial.path(), target, replace);
    partial.placed();
}

void copyFile(const QString &file, const QString &target)
{
    const QFileInfo info(file);
    if (!info.exists())
        throw EngineError(QStringLiteral("Die Datei '%1' wurde nicht gefunden").arg(file));
    if (info.isDir())
        throw EngineError(QStringLiteral("'%1' ist ein Ordner und keine Datenbankdatei").arg(file));
    sqlite3 *source = nullptr;
    // Read-only and by absolute path, as the integrity check opens it.
    const int rc = sqlite3_open_v2(QFile::encodeName(info.absoluteFilePath()).constData(), &source,
                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    struct Closer
    {
        sqlite3 *db;
        ~Closer() { sqlite3_close(db); }
    } closer{source};
    if (rc != SQLITE_OK)
        throw EngineError(QStringLiteral("Die Datei '%1' kann nicht geöffnet werden: %2")
                              .arg(file, SqliteDatabase::describe(rc, QString::fromUtf8(sqlite3_errmsg(source)))));
    // Waits for a short write of the program to finish.
    sqlite3_busy_timeout(source, 3000);
    copyDatabase(source, target, false);
}

QString dailyFileName(const QDate &day)
{
    return QStringLiteral("rechungen-") + day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".mdb");
}

static QDir folderBeside(const QString &databaseFile)
{
    return QDir(QFileInfo(databaseFile).absolutePath() + QLatin1Char('/') + FolderName);
}

static void makeFolder(const QDir &folder)
{
    if (!folder.exists() && !QDir().mkpath(folder.path()))
        throw EngineError(QStringLiteral("Der Ordner '%1' kann nicht angelegt werden").arg(folder.path()));
}

QString beforeVersionFileName(int version, const QDate &day)
{
    return QStringLiteral("rechungen-vor-Version-%1-%2.mdb").arg(version).arg(day.toString(QStringLiteral("yyyy-MM-dd")));
}

QString copyBeforeVersion(Database &source, const QString &databaseFile, int version, const QDate &today)
{
    const QDir folder = folderBeside(databaseFile);
    const QString target = folder.filePath(beforeVersionFileName(version, today));
    try {
        makeFolder(folder);
        copyDatabase(source, target, true);
    } catch (const AppError &e) {
        throw EngineError(QStringLiteral("Die Sicherung vor dem Ergänzen der Datenbank ist fehlgeschlagen. %1. Die Datenbank "
                                         "wurde nicht verändert")
                              .arg(e.message()));
    }
    return target;
}

static EngineError dailyCopyFailed(const QString &reason)
{
    return EngineError(QStringLiteral("Die tägliche Sicherung der Datenbank ist fehlgeschlagen. %1. Es kann "
                                      "normal weitergearbeitet werden; die Sicherung wird beim nächsten Start "
                                      "wieder versucht")
                           .arg(reason));
}

static QString dailyTarget(const QString &databaseFile, const QDate &today)
{
    return folderBeside(databaseFile).filePath(dailyFileName(today));
}

// The daily copy from the connection `source` gives, in the foreground or steered.
static QString makeDailyCopy(const std::function<sqlite3 *()> &source, const QString &databaseFile, const QDate &today,
                             const Steering &steering)
{
    const QDir folder = folderBeside(databaseFile);
    const QString target = dailyTarget(databaseFile, today);
    if (QFileInfo::exists(target))
        return QString();
    try {
        makeFolder(folder);
        copyDatabase(source(), target, false, steering);
    } catch (const AppError &e) {
        // A second copy of the program, started at the same moment, was quicker.
        if (!steering.stopped() && QFileInfo::exists(target) && integrityProblem(target).isEmpty())
            return QString();
        throw dailyCopyFailed(e.message());
    }

    // Only the program's own daily copies take part; names sort by date.
    static const QRegularExpression daily(QStringLiteral("^rechungen-\\d{4}-\\d{2}-\\d{2}\\.mdb$"));
    QStringList copies;
    for (const QString &name : folder.entryList(QDir::Files, QDir::Name)) {
        if (daily.match(name).hasMatch())
            copies << name;
    }
    // A copy that cannot be removed now is removed on a later day.
    for (qsizetype i = 0; i + KeptDailyCopies < copies.size(); ++i)
        QFile::remove(folder.filePath(copies.at(i)));
    return target;
}

QString makeDailyCopy(Database &source, const QString &databaseFile, const QDate &today)
{
    return makeDailyCopy([&] { return sqliteHandle(source); }, databaseFile, today, Steering());
}

namespace {

// A read-only connection of the copy's own that holds a read transaction, so
// the file cannot change until it is closed.
class ReadLockedSource
{
public:
    explicit ReadLockedSource(const QString &databaseFile)
    {
        const QFileInfo info(databaseFile);
        // Read-only and by absolute path, as the integrity check opens it.
        int rc = sqlite3_open_v2(QFile::encodeName(info.absoluteFilePath()).constData(), &m_db,
                                 SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc == SQLITE_OK) {
            // Waits for a short write of another program to finish.
            sqlite3_busy_timeout(m_db, 3000);
            rc = sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr);
        }
        if (rc == SQLITE_OK) {
            // The first read takes the lock the transaction keeps.
            rc = sqlite3_exec(m_db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
        }
        if (rc != SQLITE_OK) {
            const QString reason = QStringLiteral("Die Datei '%1' kann nicht gelesen werden: %2")
                                       .arg(databaseFile, reasonOf(rc, m_db));
            close();
            throw dailyCopyFailed(reason);
        }
    }
    ~ReadLockedSource() { close(); }
    ReadLockedSource(const ReadLockedSource &) = delete;
    ReadLockedSource &operator=(const ReadLockedSource &) = delete;

    sqlite3 *handle() const { return m_db; }
    // Ends the read transaction and the connection; the file is free for writers again.
    void close() noexcept
    {
        if (m_db) {
            sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close(m_db);
            m_db = nullptr;
        }
    }

private:
    sqlite3 *m_db = nullptr;
};

} // namespace

DailyCopyJob::~DailyCopyJob() { abandon(); }

bool DailyCopyJob::start(const QString &databaseFile, const QDate &today, Finished finished, Progress progress)
{
    abandon();
    if (QFileInfo::exists(dailyTarget(databaseFile, today)))
        return false;
    // Read-locked here, before the caller goes on, so that the copy is the
    // file as it is now even if the caller writes to it next.
    auto source = std::make_shared<ReadLockedSource>(databaseFile);
    m_abandoned = false;
    m_thread = std::thread([this, source, databaseFile, today, finished = std::move(finished), progress = std::move(progress)] {
        Steering steering{&m_abandoned, progress, [&] { source->close(); }};
        QString failure;
        try {
            makeDailyCopy([&] { return source->handle(); }, databaseFile, today, steering);
        } catch (const AppError &e) {
            failure = e.message();
        } catch (const std::exception &e) {
            failure = dailyCopyFailed(QString::fromLocal8Bit(e.what())).message();
        }
        source->close();
        if (!m_abandoned.load() && finished)
            finished(failure);
    });
    return true;
}

void DailyCopyJob::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

void DailyCopyJob::abandon()
{
    m_abandoned = true;
    wait();
}

} // namespace backup
