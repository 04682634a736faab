#include "data/newdatabase.h"

#include "data/backup.h"
#include "data/errors.h"
#include "data/fileseparators.h"
#include "data/migrations.h"
#include "data/years.h"
#include "generated/data/schema.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace newdb {

const QByteArray &schema()
{
    static const QByteArray text = QByteArray::fromRawData(SchemaSql, sizeof SchemaSql - 1);
    return text;
}

namespace {

// The names are kept in plain buffers because a signal handler and the
// forked watcher may only call unlink().
char g_partialFile[4096];
char g_partialJournal[4096];

void rememberPartialFile(const QString &absolutePath)
{
    const QByteArray file = QFile::encodeName(absolutePath);
    const QByteArray journal = file.isEmpty() ? QByteArray() : file + "-journal";
    g_partialFile[0] = g_partialJournal[0] = '\0';
    if (size_t(file.size()) < sizeof g_partialFile && size_t(journal.size()) < sizeof g_partialJournal) {
        std::memcpy(g_partialJournal, journal.constData(), size_t(journal.size()) + 1);
        std::memcpy(g_partialFile, file.constData(), size_t(file.size()) + 1);
    }
}

// A file size limit (ulimit -f) makes a write fail with EFBIG, which SQLite
// reports as a plain I/O error rather than as a full disk.
bool atFileSizeLimit(const QString &partial)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return false;
    const qint64 size = qMax(QFileInfo(partial).size(), QFileInfo(partial + QStringLiteral("-journal")).size());
    // Within the largest page SQLite writes.
    return size + 65536 >= qint64(limit.rlim_cur);
}

// A full disk gets a sentence of its own instead of SQLite's English one.
EngineError sqliteFailure(const QString &file, const QString &partial, const Database &db, const QString &sqliteText)
{
    const Database::FailureKind kind = db.lastFailure();
    if (kind == Database::FailureKind::OutOfSpace || (kind == Database::FailureKind::InputOutput && atFileSizeLimit(partial)))
        return EngineError(QStringLiteral("Auf dem Datenträger ist kein Platz mehr frei (oder die erlaubte Dateigröße ist "
                                          "erreicht); die Datei '%1' wurde nicht angelegt.")
                               .arg(file));
    return EngineError(QStringLiteral("SQLite-Fehler in '%1': %2").arg(file, sqliteText));
}

} // namespace

void removePartialFileNow()
{
    if (g_partialFile[0])
        ::unlink(g_partialFile);
    if (g_partialJournal[0])
        ::unlink(g_partialJournal);
}

// The watcher waits on a pipe whose other end only we hold. The end of file
// comes when we die, however we die; a byte comes when the file is in place.
class PartialFileWatcher
{
public:
    PartialFileWatcher()
    {
        int fds[2];
        // Without the pipe or the process the signal handlers still cover
        // everything but SIGKILL.
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[1]);
            // A Ctrl+C reaches the whole process group; the watcher must
            // outlive us to clean up after us.
            for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE})
                std::signal(sig, SIG_IGN);
            // Whoever reads our output must not wait for the watcher.
            const int null = ::open("/dev/null", O_RDWR);
            if (null >= 0) {
                for (int fd = 0; fd <= 2; ++fd)
                    ::dup2(null, fd);
            }
            char c = 0;
            ssize_t n;
            while ((n = ::read(fds[0], &c, 1)) < 0 && errno == EINTR) {
            }
            if (n <= 0)
                removePartialFileNow();
            ::_exit(0);
        }
        ::close(fds[0]);
        if (pid < 0) {
            ::close(fds[1]);
            return;
        }
        m_pipe = fds[1];
        m_pid = pid;
    }

    ~PartialFileWatcher() { release(false); }
    PartialFileWatcher(const PartialFileWatcher &) = delete;
    PartialFileWatcher &operator=(const PartialFileWatcher &) = delete;

    // The file has its final name (or has been removed by us): nothing left to watch.
    void release(bool placed)
    {
        if (m_pipe < 0)
            return;
        if (placed)
            (void)!::write(m_pipe, "x", 1);
        ::close(m_pipe);
        m_pipe = -1;
        while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }

private:
    int m_pipe = -1;
    pid_t m_pid = -1;
};

NewDatabase::NewDatabase(const QString &file) : m_file(file)
{
    const QFileInfo info(file);
    if (info.exists() || info.isSymLink())
        throw EngineError(QStringLiteral("Die Datei '%1' existiert bereits; sie wird nicht überschrieben.").arg(file));
    const QString dir = info.absolutePath();
    if (!QFileInfo(dir).isDir())
        throw EngineError(QStringLiteral("Die Datei '%1' kann nicht angelegt werden: Der Ordner '%2' existiert nicht.")
                              .arg(file, dir));
    m_target = info.absoluteFilePath();
    m_partial = backup::partialFileName(m_target);
    // A leftover of an earlier process that had our number.
    QFile::remove(m_partial);
    QFile::remove(m_partial + QStringLiteral("-journal"));

    // The watcher is there before the file: a kill between the two would
    // otherwise leave a half-made file nobody removes.
    rememberPartialFile(m_partial);
    m_watcher = std::make_unique<PartialFileWatcher>();
    QFile f(m_partial);
    if (!f.open(QIODevice::NewOnly)) {
        // Not ours to remove: the watcher goes without touching it.
        m_watcher->release(true);
        rememberPartialFile(QString());
        throw EngineError(QStringLiteral("Die Datei '%1' kann nicht angelegt werden: %2").arg(file, f.errorString()));
    }
    f.close();
    m_created = true;

    // The file exists now, and the program's connection never creates one;
    // it also opens by the absolute path, so that SQLite cannot take a name
    // like "file:x.db" as a URI and write into x.db instead.
    try {
        m_connection.open(m_partial);
    } catch (const EngineError &e) {
        // A throwing constructor gets no destructor call: clean up here.
        discard();
        throw EngineError(QStringLiteral("SQLite-Fehler in '%1': %2").arg(file, e.message()));
    }
}

NewDatabase::~NewDatabase()
{
    if (!m_finished)
        discard();
}

void NewDatabase::exec(const char *sql)
{
    try {
        m_connection.exec(sql);
    } catch (const EngineError &) {
        fail();
    }
}

StatementHandle NewDatabase::prepare(const QByteArray &sql)
{
    return guarded([&] { return m_connection.prepare(sql); });
}

void NewDatabase::fail() const
{
    throw sqliteFailure(m_file, m_partial, m_connection, m_connection.lastErrorText());
}

void NewDatabase::startWithSchema(const Separators &separators)
{
    exec("BEGIN");
    exec(schema().constData());
    // The schema file is where every file starts; the migrations bring a new
    // one to the newest version as they bring an old one, without a question.
    const std::vector<Migration> &migrations = programMigrations();
    guarded([&] {
        applyMigrations(m_connection, pendingMigrations(m_connection, migrations), latestVersion(migrations), separators);
        // The schema has made the table already, so the migration did not fill it.
        storeSeparators(m_connection, separators);
    });
}

void NewDatabase::finish()
{
    exec("COMMIT");
    m_connection.close();
    // Someone may have made a file of that name meanwhile: theirs stays, and
    // moveIntoPlace() says so.
    backup::moveIntoPlace(m_partial, m_target, false);
    m_finished = true;
    rememberPartialFile(QString());
    m_watcher->release(true);
}

void NewDatabase::discard()
{
    m_connection.close();
    if (m_created) {
        QFile::remove(m_partial);
        QFile::remove(m_partial + QStringLiteral("-journal"));
        m_created = false;
        rememberPartialFile(QString());
    }
    if (m_watcher)
        m_watcher->release(false);
}

void createEmpty(const QString &file, const Separators &separators, int alsoYear)
{
    NewDatabase db(file);
    db.startWithSchema(separators);
    if (alsoYear > 0)
        db.guarded([&] { ensureYearTables(db.connection(), alsoYear); });
    db.finish();
}

} // namespace newdb
