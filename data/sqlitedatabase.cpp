#include "sqlitedatabase.h"
#include "errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <sqlite3.h>
#include <thread>
#include <unistd.h>

namespace {

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

// A statement of one SQLite connection. Cached ones live in the connection's
// cache until it closes; the others end when their handle does.
class SqliteStatement final : public Statement
{
public:
    SqliteStatement(const SqliteDatabase &db, sqlite3_stmt *st, bool cached) : m_db(db), m_st(st), m_cached(cached) {}
    ~SqliteStatement() override { sqlite3_finalize(m_st); }

    void bindNull(int index) override { check(sqlite3_bind_null(m_st, index)); }
    void bindInteger(int index, qint64 value) override { check(sqlite3_bind_int64(m_st, index, value)); }
    void bindReal(int index, double value) override { check(sqlite3_bind_double(m_st, index, value)); }
    // A null pointer would bind NULL: an empty text stays an empty text.
    void bindText(int index, std::string_view utf8) override
    {
        check(sqlite3_bind_text(m_st, index, utf8.data() ? utf8.data() : "", int(utf8.size()), SQLITE_TRANSIENT));
    }
    void bindBlob(int index, std::string_view bytes) override
    {
        check(sqlite3_bind_blob(m_st, index, bytes.data() ? bytes.data() : "", int(bytes.size()), SQLITE_TRANSIENT));
    }
    using Statement::bindText;

    bool step() override
    {
        const int rc = sqlite3_step(m_st);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            m_db.fail(rc);
        // Ready for the next run: SQLite takes no parameters while a run is open.
        sqlite3_reset(m_st);
        return false;
    }

    int columnCount() const override { return sqlite3_column_count(m_st); }
    QByteArray columnName(int column) const override { return QByteArray(sqlite3_column_name(m_st, column)); }
    QByteArray columnDeclaredType(int column) const override { return QByteArray(sqlite3_column_decltype(m_st, column)); }
    QByteArray columnTable(int column) const override { return QByteArray(sqlite3_column_table_name(m_st, column)); }
    QByteArray columnOrigin(int column) const override { return QByteArray(sqlite3_column_origin_name(m_st, column)); }
    bool isReadOnly() const override { return sqlite3_stmt_readonly(m_st) != 0; }

    Value::Type columnType(int column) const override { return typeOf(sqlite3_column_type(m_st, column)); }
    qint64 columnInteger(int column) const override { return sqlite3_column_int64(m_st, column); }
    double columnReal(int column) const override { return sqlite3_column_double(m_st, column); }
    std::string_view columnText(int column) const override
    {
        const char *p = sqlite3_column_type(m_st, column) == SQLITE_BLOB
                            ? static_cast<const char *>(sqlite3_column_blob(m_st, column))
                            : reinterpret_cast<const char *>(sqlite3_column_text(m_st, column));
        return p ? std::string_view(p, size_t(sqlite3_column_bytes(m_st, column))) : std::string_view();
    }

    void readRow(const int *columns, int count, FieldView *fields) const override
    {
        for (int i = 0; i < count; ++i) {
            FieldView &f = fields[i];
            f = FieldView();
            const int c = columns[i];
            if (c < 0)
                continue;
            // One look-up per column; the value lives until the next step, on this thread.
            sqlite3_value *v = sqlite3_column_value(m_st, c);
            switch (sqlite3_value_type(v)) {
            case SQLITE_INTEGER: f.type = Value::Integer; f.integer = sqlite3_value_int64(v); break;
            case SQLITE_FLOAT: f.type = Value::Real; f.real = sqlite3_value_double(v); break;
            case SQLITE_TEXT:
                f.type = Value::Text;
                f.data = sqlite3_value_text(v);
                f.size = size_t(sqlite3_value_bytes(v));
                break;
            case SQLITE_BLOB:
                f.type = Value::Blob;
                f.data = sqlite3_value_blob(v);
                f.size = size_t(sqlite3_value_bytes(v));
                break;
            default: break;
            }
        }
    }

    void rewind() noexcept
    {
        sqlite3_reset(m_st);
        sqlite3_clear_bindings(m_st);
    }

private:
    static Value::Type typeOf(int type)
    {
        switch (type) {
        case SQLITE_INTEGER: return Value::Integer;
        case SQLITE_FLOAT: return Value::Real;
        case SQLITE_TEXT: return Value::Text;
        case SQLITE_BLOB: return Value::Blob;
        default: return Value::Null;
        }
    }
    void check(int rc) const
    {
        if (rc != SQLITE_OK)
            m_db.fail(rc);
    }
    void release() noexcept override
    {
        if (m_cached)
            rewind();
        else
            delete this;
    }

    const SqliteDatabase &m_db;
    sqlite3_stmt *m_st;
    bool m_cached;
};

SqliteDatabase::SqliteDatabase() = default;
SqliteDatabase::~SqliteDatabase() { close(); }

QString SqliteDatabase::describe(int rc, const QString &sqliteText, int systemErrno)
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

void SqliteDatabase::fail(int rc, const QString &what) const
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

void SqliteDatabase::open(const QString &fileName, int busyTimeoutMs)
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
    sqlite3_busy_handler(db, &SqliteDatabase::busyHandler, this);
    // A statement's end is where a wait for the lock is over at the latest.
    sqlite3_trace_v2(db, SQLITE_TRACE_PROFILE, &SqliteDatabase::traceHandler, this);
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

int SqliteDatabase::busyHandler(void *self, int count)
{
    auto *c = static_cast<SqliteDatabase *>(self);
    const auto now = std::chrono::steady_clock::now();
    if (count == 0) {
        c->m_waitStart = now;
        if (!c->m_waiting) {
            c->m_waiting = true;
            if (busyHook())
                busyHook()(true);
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

int SqliteDatabase::traceHandler(unsigned, void *self, void *, void *)
{
    static_cast<SqliteDatabase *>(self)->endWait();
    return 0;
}

void SqliteDatabase::endWait()
{
    if (!m_waiting)
        return;
    m_waiting = false;
    if (busyHook())
        busyHook()(false);
}

void SqliteDatabase::close()
{
    endWait();
    m_cache.clear();
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
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

SqliteStatement *SqliteDatabase::prepareNew(const QByteArray &sql, bool cached)
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
    return new SqliteStatement(*this, st, cached);
}

StatementHandle SqliteDatabase::prepare(const QByteArray &sql, Reuse reuse)
{
    if (reuse == Reuse::Once)
        return StatementHandle(prepareNew(sql, false));
    const std::string key(sql.constData(), size_t(sql.size()));
    auto it = m_cache.find(key);
    if (it != m_cache.end()) {
        it->second->rewind();
        return StatementHandle(it->second.get());
    }
    std::unique_ptr<SqliteStatement> st(prepareNew(sql, true));
    SqliteStatement *p = st.get();
    m_cache.emplace(key, std::move(st));
    return StatementHandle(p);
}

void SqliteDatabase::exec(const QByteArray &sql, const QString &what)
{
    if (!m_db)
        throw EngineError(QStringLiteral("Keine Verbindung zur Datenbank"));
    const int rc = sqlite3_exec(m_db, sql.constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        fail(rc, what);
}

qint64 SqliteDatabase::lastInsertId() const { return sqlite3_last_insert_rowid(m_db); }
qint64 SqliteDatabase::changes() const { return sqlite3_changes64(m_db); }
bool SqliteDatabase::inTransaction() const { return m_db && sqlite3_get_autocommit(m_db) == 0; }

QByteArray SqliteDatabase::quoteIdentifier(const QByteArray &name) const
{
    QByteArray q = name;
    q.replace('"', "\"\"");
    return '"' + q + '"';
}

QByteArray SqliteDatabase::insertOrReplace(const QByteArray &table, const QList<QByteArray> &columns,
                                           const QByteArray &rows) const
{
    return "INSERT OR REPLACE INTO " + table + " (" + columns.join(", ") + ") " + rows;
}

QStringList SqliteDatabase::tableNames()
{
    StatementHandle st = prepare("SELECT name FROM sqlite_schema WHERE type = 'table'");
    QStringList names;
    while (st->step())
        names << st->columnString(0);
    return names;
}

QStringList SqliteDatabase::indexNames()
{
    StatementHandle st = prepare("SELECT name FROM sqlite_schema WHERE type = 'index'");
    QStringList names;
    while (st->step())
        names << st->columnString(0);
    return names;
}

namespace {

// SQLite reports a default as written but without the parentheses around an
// expression, which DEFAULT needs back; a plain literal is left as it is.
QByteArray defaultClause(const QByteArray &reported)
{
    static const QRegularExpression literal(
        QStringLiteral("^('([^']|'')*'|[+-]?[0-9]+(\\.[0-9]*)?([eE][+-]?[0-9]+)?|NULL|TRUE|FALSE|CURRENT_TIME|CURRENT_DATE|"
                       "CURRENT_TIMESTAMP|[xX]'[0-9a-fA-F]*')$"),
        QRegularExpression::CaseInsensitiveOption);
    if (literal.match(QString::fromUtf8(reported)).hasMatch())
        return reported;
    return '(' + reported + ')';
}

} // namespace

std::vector<ColumnInfo> SqliteDatabase::columns(const QString &table)
{
    StatementHandle st = prepare("SELECT name, type, pk, dflt_value FROM pragma_table_info(?1)");
    st->bindText(1, table);
    std::vector<ColumnInfo> columns;
    while (st->step()) {
        ColumnInfo c;
        c.found = true;
        c.name = st->columnValue(0).bytes;
        c.declType = st->columnValue(1).bytes;
        c.primaryKey = st->columnInteger(2) > 0;
        if (st->columnType(3) != Value::Null)
            c.defaultValue = defaultClause(st->columnValue(3).bytes);
        if (c.primaryKey)
            c.autoIncrement = columnInfo(table.toUtf8(), c.name).autoIncrement;
        columns.push_back(c);
    }
    return columns;
}

int SqliteDatabase::schemaVersion()
{
    StatementHandle st = prepare("PRAGMA user_version");
    return st->step() ? int(st->columnInteger(0)) : 0;
}

void SqliteDatabase::setSchemaVersion(int version)
{
    exec("PRAGMA user_version = " + QByteArray::number(version));
}

void SqliteDatabase::begin(bool writeLock) { exec(writeLock ? "BEGIN IMMEDIATE" : "BEGIN"); }
void SqliteDatabase::commit() { exec("COMMIT"); }
void SqliteDatabase::rollback() noexcept
{
    if (m_db)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool SqliteDatabase::outOfSpace(int rc, sqlite3 *db)
{
    // SQLite calls only ENOSPC "full"; a quota or a size limit ends the same way.
    const int systemError = db ? sqlite3_system_errno(db) : 0;
    return (rc & 0xff) == SQLITE_FULL
           || ((rc & 0xff) == SQLITE_IOERR && (systemError == ENOSPC || systemError == EDQUOT || systemError == EFBIG));
}

Database::FailureKind SqliteDatabase::lastFailure() const
{
    if (!m_db)
        return FailureKind::Other;
    const int rc = sqlite3_errcode(m_db);
    if (outOfSpace(rc, m_db))
        return FailureKind::OutOfSpace;
    if ((rc & 0xff) == SQLITE_IOERR)
        return FailureKind::InputOutput;
    return FailureKind::Other;
}

QString SqliteDatabase::lastErrorText() const
{
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("kein Speicher");
}

ColumnInfo SqliteDatabase::columnInfo(const QByteArray &table, const QByteArray &column) const
{
    ColumnInfo info;
    info.name = column;
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

qint64 SqliteDatabase::rowCountEstimate(const QString &table)
{
    // The highest rowid is found at the end of the table's b-tree, without a
    // scan, and bounds the row count.
    try {
        StatementHandle st = prepare("SELECT max(rowid) FROM " + quoteIdentifier(table.toUtf8()), Reuse::Once);
        return st->step() ? st->columnInteger(0) : 0;
    } catch (const AppError &) {
        // A table without rowid.
        return 0;
    }
}
