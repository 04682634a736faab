#include "engine.h"
#include "errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <sqlite3.h>
#include <thread>
#include <unistd.h>

namespace {

Connection::BusyHook &installedBusyHook()
{
    static Connection::BusyHook hook;
    return hook;
}

// The operating system's reason, in the user's words; empty when it says
// nothing a user could act on or may not belong to the failure.
QString systemReason(int err)
{
    switch (err) {
    case 0:
        return QString();
    case EACCES:
    case EPERM:
        return QStringLiteral("Das Programm hat keine Berechtigung dafür (Zugriff verweigert)");
    case EROFS:
        return QStringLiteral("Der Datenträger ist nur zum Lesen eingebunden");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("Auf dem Datenträger ist kein Platz mehr frei");
    case EIO:
        return QStringLiteral("Der Datenträger meldet einen Lese- oder Schreibfehler");
    default:
        // Anything else may be left over from an earlier call (SQLite probes
        // for journals that are not there): better no reason than a wrong one.
        return QString();
    }
}

} // namespace

void Connection::setBusyHook(BusyHook hook) { installedBusyHook() = std::move(hook); }
const Connection::BusyHook &Connection::busyHook() { return installedBusyHook(); }

StatementReset::~StatementReset()
{
    if (m_st) {
        sqlite3_reset(m_st);
        sqlite3_clear_bindings(m_st);
    }
}

void StatementFinalizer::operator()(sqlite3_stmt *st) const { sqlite3_finalize(st); }

Connection::~Connection() { close(); }

QString Connection::describe(int rc, const QString &sqliteText, int systemErrno)
{
    QString text;
    // The file's inode is gone from its folder: SQLite refuses to write into
    // what would be a lost copy, but nothing is wrong with permissions.
    if (rc == SQLITE_READONLY_DBMOVED) {
        text = QStringLiteral("Die Datenbankdatei wurde verschoben, gelöscht oder durch eine andere ersetzt, während das Programm "
                              "lief; es wird nichts mehr in sie gespeichert. Bitte das Programm beenden und neu starten");
        return text;
    }
    const QString reason = systemReason(systemErrno);
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        text = QStringLiteral("Die Datenbank wird gerade von einem anderen Programm benutzt und ist gesperrt. Bitte später noch einmal versuchen");
        break;
    case SQLITE_READONLY:
        text = QStringLiteral("Die Datenbank ist schreibgeschützt; es kann nichts gespeichert werden");
        break;
    case SQLITE_NOTADB:
        text = QStringLiteral("Die Datei ist keine Datenbank dieses Programms oder sie ist beschädigt");
        break;
    case SQLITE_CORRUPT:
        text = QStringLiteral("Die Datenbankdatei ist beschädigt");
        break;
    case SQLITE_CANTOPEN:
        // Mostly the journal beside the file, which a write needs first.
        text = reason.isEmpty() ? QStringLiteral("Die Datenbankdatei oder ihre Journaldatei kann nicht geöffnet werden")
                                : QStringLiteral("Die Datenbankdatei oder ihre Journaldatei im selben Ordner kann nicht geöffnet werden: ")
                                      + reason;
        break;
    case SQLITE_FULL:
        text = QStringLiteral("Der Datenträger ist voll; es konnte nicht gespeichert werden");
        break;
    case SQLITE_IOERR:
        text = QStringLiteral("Beim Lesen oder Schreiben der Datenbankdatei ist ein Fehler aufgetreten");
        if (!reason.isEmpty())
            text += QStringLiteral(": ") + reason;
        break;
    case SQLITE_CONSTRAINT:
        text = QStringLiteral("Die Datenbank hat den Wert abgelehnt");
        break;
    case SQLITE_ERROR:
        if (sqliteText.startsWith(QLatin1String("no such table")))
            text = QStringLiteral("Die Tabelle wurde in der Datenbank nicht gefunden");
        else if (sqliteText.startsWith(QLatin1String("no such column")))
            text = QStringLiteral("Ein Feld wurde in der Datenbank nicht gefunden");
        else if (sqliteText.contains(QLatin1String("syntax error")) || sqliteText.contains(QLatin1String("unrecognized token")))
            text = QStringLiteral("Syntaxfehler in der Abfrage");
        else
            text = QStringLiteral("Die Datenbank hat die Anweisung abgelehnt");
        break;
    default:
        text = QStringLiteral("Datenbankfehler");
        break;
    }
    if (!sqliteText.isEmpty())
        text += QStringLiteral(" (") + sqliteText + QLatin1Char(')');
    return text;
}

void Connection::fail(int rc, const QString &what) const
{
    QString sqliteText = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(rc));
    // Extended codes are off for the callers; the connection still knows the
    // finer one, and the system's reason for an I/O failure.
    int code = rc;
    int systemErrno = 0;
    if (m_db && (sqlite3_extended_errcode(m_db) & 0xff) == (rc & 0xff)) {
        code = sqlite3_extended_errcode(m_db);
        systemErrno = sqlite3_system_errno(m_db);
    }
    QString msg = describe(code, sqliteText, systemErrno);
    if (!what.isEmpty())
        msg = what + QStringLiteral(": ") + msg;
    throw EngineError(msg);
}

void Connection::open(const QString &fileName, int busyTimeoutMs)
{
    close();
    const QFileInfo info(fileName);
    if (!info.exists())
        throw EngineError(QStringLiteral("Die Datenbankdatei '%1' wurde nicht gefunden").arg(info.absoluteFilePath()));
    if (info.isDir())
        throw EngineError(QStringLiteral("'%1' ist ein Ordner und keine Datenbankdatei").arg(info.absoluteFilePath()));

    // SQLite would only say "unable to open"; the reason is known here.
    if (!info.isReadable())
        throw EngineError(QStringLiteral("Die Datenbankdatei '%1' kann nicht gelesen werden: dem Benutzer fehlt die Leseberechtigung für sie")
                              .arg(info.absoluteFilePath()));
    // Every write first puts a journal beside the file; without it nothing
    // could be stored, which the user would only learn at the first store.
    if (::access(QFile::encodeName(info.absolutePath()).constData(), W_OK | X_OK) != 0)
        throw EngineError(QStringLiteral("Der Ordner '%1' der Datenbankdatei ist schreibgeschützt; das Programm braucht dort "
                                         "Schreibzugriff, um sicher speichern zu können")
                              .arg(QDir::toNativeSeparators(info.absolutePath())));

    sqlite3 *db = nullptr;
    // No SQLITE_OPEN_CREATE: a missing file must stay missing.
    // An absolute path, so that SQLite never reads a name as a "file:" URI.
    int rc = sqlite3_open_v2(QFile::encodeName(info.absoluteFilePath()).constData(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        QString sqliteText = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString();
        const int systemErrno = db ? sqlite3_system_errno(db) : 0;
        sqlite3_close(db);
        QString reason = rc == SQLITE_CANTOPEN && systemErrno ? systemReason(systemErrno) : describe(rc, sqliteText, systemErrno);
        throw EngineError(QStringLiteral("Die Datenbankdatei '%1' kann nicht geöffnet werden: ").arg(info.absoluteFilePath()) + reason);
    }
    sqlite3_extended_result_codes(db, 0);
    m_busyTimeoutMs = busyTimeoutMs;
    m_waiting = false;
    sqlite3_busy_handler(db, &Connection::busyHandler, this);
    // A statement's end is where a wait for the lock is over at the latest.
    sqlite3_trace_v2(db, SQLITE_TRACE_PROFILE, &Connection::traceHandler, this);
    m_db = db;
    m_fileName = fileName;

    // The probe: reading the schema touches the file header, so a foreign or
    // damaged file and a lock held by another writer show up now.
    auto probeFail = [&](int code) {
        QString sqliteText = QString::fromUtf8(sqlite3_errmsg(m_db));
        close();
        throw EngineError(QStringLiteral("Die Datenbankdatei '%1' kann nicht geöffnet werden: ").arg(info.absoluteFilePath())
                          + describe(code, sqliteText));
    };
    sqlite3_stmt *probe = nullptr;
    rc = sqlite3_prepare_v2(m_db, "SELECT count(*) FROM sqlite_master", -1, &probe, nullptr);
    if (rc != SQLITE_OK)
        probeFail(rc);
    rc = sqlite3_step(probe);
    sqlite3_finalize(probe);
    if (rc != SQLITE_ROW)
        probeFail(rc);
    if (sqlite3_db_readonly(m_db, "main") == 1) {
        close();
        throw EngineError(QStringLiteral("Die Datenbankdatei '%1' ist schreibgeschützt; das Programm braucht Schreibzugriff auf sie")
                              .arg(info.absoluteFilePath()));
    }
}

int Connection::busyHandler(void *self, int count)
{
    auto *c = static_cast<Connection *>(self);
    const auto now = std::chrono::steady_clock::now();
    if (count == 0) {
        c->m_waitStart = now;
        if (!c->m_waiting) {
            c->m_waiting = true;
            if (installedBusyHook())
                installedBusyHook()(true);
        }
    }
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(now - c->m_waitStart).count();
    if (waited >= c->m_busyTimeoutMs) {
        c->endWait();
        return 0;
    }
    // Short sleeps first: most locks are a moment's write of another program.
    static constexpr int steps[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50};
    const int step = count < int(std::size(steps)) ? steps[count] : 100;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min<qint64>(step, c->m_busyTimeoutMs - waited)));
    return 1;
}

int Connection::traceHandler(unsigned, void *self, void *, void *)
{
    static_cast<Connection *>(self)->endWait();
    return 0;
}

void Connection::endWait()
{
    if (!m_waiting)
        return;
    m_waiting = false;
    if (installedBusyHook())
        installedBusyHook()(false);
}

void Connection::close()
{
    endWait();
    for (auto &entry : m_cache)
        sqlite3_finalize(entry.second);
    m_cache.clear();
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

static bool onlyBlanksOrSemicolons(const char *tail)
{
    for (; tail && *tail; ++tail) {
        const char c = *tail;
        if (c != ';' && c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return false;
    }
    return true;
}

sqlite3_stmt *Connection::prepareUncached(const QByteArray &sql)
{
    if (!m_db)
        throw EngineError(QStringLiteral("Keine Verbindung zur Datenbank"));
    // SQLite would end the text there and report a syntax error somewhere else.
    if (sql.contains('\0'))
        throw EngineError(QStringLiteral("Die Abfrage enthält ein Nullzeichen (Zeichencode 0) und wird nicht ausgeführt"));
    sqlite3_stmt *st = nullptr;
    const char *tail = nullptr;
    int rc = sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &st, &tail);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(st);
        fail(rc);
    }
    // Only the first statement would run; refuse instead of silently
    // ignoring (or ever running) whatever follows it.
    if (!onlyBlanksOrSemicolons(tail)) {
        sqlite3_finalize(st);
        throw EngineError(QStringLiteral("Die Abfrage enthält mehr als eine Anweisung und wird nicht ausgeführt"));
    }
    if (!st)
        throw EngineError(QStringLiteral("Die Abfrage ist leer"));
    return st;
}

sqlite3_stmt *Connection::prepare(const QByteArray &sql)
{
    const std::string key(sql.constData(), size_t(sql.size()));
    auto it = m_cache.find(key);
    if (it != m_cache.end()) {
        sqlite3_reset(it->second);
        sqlite3_clear_bindings(it->second);
        return it->second;
    }
    sqlite3_stmt *st = prepareUncached(sql);
    m_cache.emplace(key, st);
    return st;
}

Connection::ColumnInfo Connection::columnInfo(const QByteArray &table, const QByteArray &column) const
{
    ColumnInfo info;
    const char *declType = nullptr;
    const char *collation = nullptr;
    int notNull = 0, primaryKey = 0, autoInc = 0;
    if (m_db && sqlite3_table_column_metadata(m_db, nullptr, table.constData(), column.constData(), &declType, &collation,
                                              &notNull, &primaryKey, &autoInc) == SQLITE_OK) {
        info.found = true;
        info.declType = declType ? QByteArray(declType) : QByteArray();
        info.primaryKey = primaryKey != 0;
        info.autoIncrement = autoInc != 0;
    }
    return info;
}
