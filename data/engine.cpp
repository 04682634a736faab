#include "engine.h"
#include "errors.h"

#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

StatementReset::~StatementReset()
{
    if (m_st) {
        sqlite3_reset(m_st);
        sqlite3_clear_bindings(m_st);
    }
}

void StatementFinalizer::operator()(sqlite3_stmt *st) const { sqlite3_finalize(st); }

Connection::~Connection() { close(); }

QString Connection::describe(int rc, const QString &sqliteText)
{
    QString text;
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
        text = QStringLiteral("Die Datenbankdatei kann nicht geöffnet werden");
        break;
    case SQLITE_FULL:
        text = QStringLiteral("Der Datenträger ist voll; es konnte nicht gespeichert werden");
        break;
    case SQLITE_IOERR:
        text = QStringLiteral("Beim Lesen oder Schreiben der Datenbankdatei ist ein Fehler aufgetreten");
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
    QString msg = describe(rc, sqliteText);
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

    sqlite3 *db = nullptr;
    // No SQLITE_OPEN_CREATE: a missing file must stay missing.
    // An absolute path, so that SQLite never reads a name as a "file:" URI.
    int rc = sqlite3_open_v2(QFile::encodeName(info.absoluteFilePath()).constData(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        QString sqliteText = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString();
        sqlite3_close(db);
        throw EngineError(QStringLiteral("Die Datenbankdatei '%1' kann nicht geöffnet werden: ").arg(info.absoluteFilePath())
                          + describe(rc, sqliteText));
    }
    sqlite3_extended_result_codes(db, 0);
    sqlite3_busy_timeout(db, busyTimeoutMs);
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

void Connection::close()
{
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
