#include "engine.h"
#include "sqlitedatabase.h"

namespace {

Database::BusyHook &installedBusyHook()
{
    static Database::BusyHook hook;
    return hook;
}

} // namespace

void Database::setBusyHook(BusyHook hook) { installedBusyHook() = std::move(hook); }
const Database::BusyHook &Database::busyHook() { return installedBusyHook(); }

bool Database::hasTable(const QString &name)
{
    const QStringList names = tableNames();
    return std::any_of(names.begin(), names.end(), [&](const QString &n) { return n.compare(name, Qt::CaseInsensitive) == 0; });
}

void Statement::bindText(int index, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    bindText(index, std::string_view(utf8.constData(), size_t(utf8.size())));
}

void Statement::bind(int index, const Value &value)
{
    switch (value.type) {
    case Value::Null: bindNull(index); break;
    case Value::Integer: bindInteger(index, value.integer); break;
    case Value::Real: bindReal(index, value.real); break;
    case Value::Text: bindText(index, std::string_view(value.bytes.constData(), size_t(value.bytes.size()))); break;
    case Value::Blob: bindBlob(index, std::string_view(value.bytes.constData(), size_t(value.bytes.size()))); break;
    }
}

QString Statement::columnString(int column) const
{
    const std::string_view text = columnText(column);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

Value Statement::columnValue(int column) const
{
    switch (columnType(column)) {
    case Value::Integer: return Value::fromInteger(columnInteger(column));
    case Value::Real: return Value::fromReal(columnReal(column));
    case Value::Text: return Value::fromUtf8(columnText(column));
    case Value::Blob: {
        const std::string_view bytes = columnText(column);
        Value v;
        v.type = Value::Blob;
        v.bytes = QByteArray(bytes.data(), qsizetype(bytes.size()));
        return v;
    }
    case Value::Null: break;
    }
    return Value();
}

// Savepoints are the standard's, written alike by every engine.
Transaction::Transaction(Database &database, bool writeLock, QString what)
    : m_database(database), m_what(std::move(what)), m_nested(database.inTransaction())
{
    if (m_nested)
        m_database.exec("SAVEPOINT nested", m_what);
    else if (m_what.isEmpty())
        m_database.begin(writeLock);
    else
        withContext(m_what, [&] { m_database.begin(writeLock); });
}

Transaction::~Transaction()
{
    if (m_done)
        return;
    if (!m_nested) {
        m_database.rollback();
        return;
    }
    try {
        m_database.exec("ROLLBACK TO nested; RELEASE nested");
    } catch (...) {
        // The outer unit of work fails or is rolled back as a whole anyway.
    }
}

void Transaction::commit()
{
    if (m_nested)
        m_database.exec("RELEASE nested", m_what);
    else if (m_what.isEmpty())
        m_database.commit();
    else
        withContext(m_what, [&] { m_database.commit(); });
    m_done = true;
}

std::unique_ptr<Database> makeDatabase(const QString &)
{
    return std::make_unique<SqliteDatabase>();
}

std::unique_ptr<Database> openDatabase(const QString &location, int busyTimeoutMs)
{
    std::unique_ptr<Database> database = makeDatabase(location);
    database->open(location, busyTimeoutMs);
    return database;
}
