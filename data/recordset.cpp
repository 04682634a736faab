#include "recordset.h"

#include "amount.h"
#include "engine.h"
#include "errors.h"

#include <algorithm>
#include <exception>
#include <sqlite3.h>
#include <unordered_set>

namespace {

constexpr int TextFieldLength = 50;

QByteArray quoteIdentifier(const QByteArray &name)
{
    QByteArray q = name;
    q.replace('"', "\"\"");
    return '"' + q + '"';
}

FieldKind kindFromDeclaredType(const QByteArray &declared, bool autoIncrement)
{
    const QByteArray t = declared.toUpper();
    if (t.isEmpty())
        return FieldKind::Unknown;
    if (t.contains("INT"))
        return autoIncrement ? FieldKind::AutoInc : FieldKind::Integer;
    if (t.contains("CHAR"))
        return FieldKind::Text;
    if (t.contains("TEXT") || t.contains("CLOB") || t.contains("MEMO"))
        return FieldKind::Memo;
    if (t.contains("BLOB") || t.contains("BINARY"))
        return FieldKind::Blob;
    return FieldKind::Float;
}

FieldKind kindFromStorageClass(int type)
{
    switch (type) {
    case SQLITE_INTEGER: return FieldKind::Integer;
    case SQLITE_FLOAT: return FieldKind::Float;
    case SQLITE_TEXT: return FieldKind::Text;
    case SQLITE_BLOB: return FieldKind::Blob;
    default: return FieldKind::Unknown;
    }
}

bool compatible(FieldKind declared, FieldKind found)
{
    if (found == FieldKind::Unknown)
        return true;
    switch (declared) {
    case FieldKind::AutoInc:
    case FieldKind::Integer: return found == FieldKind::AutoInc || found == FieldKind::Integer;
    case FieldKind::Text: return found == FieldKind::Text;
    case FieldKind::Memo: return found == FieldKind::Memo || found == FieldKind::Blob;
    case FieldKind::Blob: return found == FieldKind::Blob || found == FieldKind::Memo;
    case FieldKind::Float: return found == FieldKind::Float || found == FieldKind::Integer;
    default: return found == declared;
    }
}

QString truncatedText(const QString &text)
{
    if (text.size() <= TextFieldLength)
        return text;
    int n = TextFieldLength;
    // Never cut a surrogate pair in half.
    if (text.at(n - 1).isHighSurrogate())
        --n;
    return text.left(n);
}

QString generalNumber(double v)
{
    QString s = QString::number(v, 'g', 15);
    return s.replace(QLatin1Char('.'), Separators::current().decimal);
}

// Restores a member on scope exit (reading contexts nest).
template <class T>
struct Restore
{
    T &ref;
    T saved;
    explicit Restore(T &r) : ref(r), saved(r) {}
    ~Restore() { ref = saved; }
};

// Every listener hears the news even when one of them fails (a detail row
// that cannot be read, say); the first failure is reported afterwards.
template <class Items, class F>
void callEach(const Items &items, F &&f)
{
    std::exception_ptr failure;
    for (auto *item : items) {
        try {
            f(item);
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    if (failure)
        std::rethrow_exception(failure);
}

QString failureMessage(const std::exception_ptr &failure)
{
    if (!failure)
        return QString();
    try {
        std::rethrow_exception(failure);
    } catch (const AppError &e) {
        return e.message();
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
    }
    return QStringLiteral("?");
}

} // namespace

QString fieldKindName(FieldKind kind)
{
    switch (kind) {
    case FieldKind::AutoInc: return QStringLiteral("AutoInc");
    case FieldKind::Integer: return QStringLiteral("Integer");
    case FieldKind::Text: return QStringLiteral("WideString");
    case FieldKind::Memo: return QStringLiteral("Memo");
    case FieldKind::Blob: return QStringLiteral("Blob");
    case FieldKind::Float:
    case FieldKind::CalcFloat: return QStringLiteral("Float");
    case FieldKind::Unknown: return QStringLiteral("Unknown");
    }
    return QString();
}

// ---------------------------------------------------------------- Field

Value Field::value() const { return m_set->currentValue(this); }
bool Field::IsNull() const { return value().isNull(); }

QString Field::AsString() const
{
    const Value v = value();
    if (v.type == Value::Real)
        return generalNumber(v.real);
    return v.toText();
}

QString Field::DisplayText() const
{
    const Value v = value();
    if (v.type == Value::Real && !m_displayFormat.isEmpty())
        return formatFloat(m_displayFormat, v.real);
    return AsString();
}

long double Field::AsFloat() const
{
    const Value v = value();
    switch (v.type) {
    case Value::Null: return 0;
    case Value::Integer: return static_cast<long double>(v.integer);
    case Value::Real: return v.real;
    case Value::Text:
    case Value::Blob: return textToFloat(v.toText());
    }
    return 0;
}

qint64 Field::AsInteger() const
{
    const Value v = value();
    switch (v.type) {
    case Value::Integer: return v.integer;
    case Value::Real: return qint64(v.real);
    case Value::Text: return v.toText().trimmed().toLongLong();
    default: return 0;
    }
}

void Field::setAsString(const QString &text)
{
    if (m_kind == FieldKind::Integer) {
        bool ok = false;
        const qint64 v = text.trimmed().toLongLong(&ok);
        m_set->assign(this, ok ? Value::fromInteger(v) : Value::fromText(text));
        return;
    }
    if (m_kind == FieldKind::CalcFloat || m_kind == FieldKind::Float) {
        m_set->assign(this, text.isEmpty() ? Value() : Value::fromReal(double(textToFloat(text))));
        return;
    }
    m_set->assign(this, Value::fromText(text));
}

void Field::setAsInteger(qint64 v)
{
    if (m_kind == FieldKind::Text || m_kind == FieldKind::Memo)
        m_set->assign(this, Value::fromText(QString::number(v)));
    else if (m_kind == FieldKind::CalcFloat || m_kind == FieldKind::Float)
        m_set->assign(this, Value::fromReal(double(v)));
    else
        m_set->assign(this, Value::fromInteger(v));
}

void Field::setAsFloat(double v)
{
    if (m_kind == FieldKind::Text || m_kind == FieldKind::Memo)
        m_set->assign(this, Value::fromText(generalNumber(v)));
    else
        m_set->assign(this, Value::fromReal(v));
}

void Field::Clear() { m_set->assign(this, Value()); }

bool Field::Assigned() const
{
    const DataSetState state = m_set->m_state;
    if (isCalculated() || (state != DataSetState::Edit && state != DataSetState::Insert))
        return false;
    return m_set->m_assigned[size_t(m_column)];
}

// ---------------------------------------------------------------- DataSource

DataSource::DataSource(QString name, RecordSet *set) : m_name(std::move(name)), m_set(set)
{
    m_set->m_sources.push_back(this);
}

DataSource::~DataSource()
{
    const std::vector<DataLink *> links = m_links;
    for (DataLink *l : links)
        l->sourceDestroyed(this);
    auto &v = m_set->m_sources;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
}

bool DataSource::Edit()
{
    if (!m_set->Active())
        return false;
    const DataSetState s = m_set->State();
    if (s == DataSetState::Edit || s == DataSetState::Insert)
        return true;
    if (!AutoEdit)
        return false;
    m_set->Edit();
    return true;
}

void DataSource::attach(DataLink *link)
{
    if (std::find(m_links.begin(), m_links.end(), link) == m_links.end())
        m_links.push_back(link);
}

void DataSource::detach(DataLink *link) { m_links.erase(std::remove(m_links.begin(), m_links.end(), link), m_links.end()); }

void DataSource::notify(Notification n, Field *field)
{
    const std::vector<DataLink *> links = m_links; // a link may attach or detach while we call
    callEach(links, [&](DataLink *l) {
        if (std::find(m_links.begin(), m_links.end(), l) != m_links.end())
            l->dataEvent(n, field);
    });
}

void DataSource::masterClosing()
{
    const std::vector<DataLink *> links = m_links;
    callEach(links, [&](DataLink *l) { l->masterClosing(); });
}

// ---------------------------------------------------------------- RecordSet: basics

RecordSet::RecordSet(QString name, Connection &connection) : m_name(std::move(name)), m_conn(connection) {}

RecordSet::~RecordSet()
{
    if (m_link)
        m_link = nullptr;
}

void RecordSet::raise(const QString &message) const { throw RecordSetError(m_name, message); }

void RecordSet::checkActive() const
{
    if (!Active())
        raise(QStringLiteral("Operation bei geschlossener Datenmenge nicht ausführbar"));
}

void RecordSet::notify(Notification n, Field *field)
{
    const std::vector<DataSource *> sources = m_sources;
    callEach(sources, [&](DataSource *s) { s->notify(n, field); });
}

void RecordSet::setTableName(const QString &table)
{
    if (table == m_table)
        return;
    if (Active())
        raise(QStringLiteral("Operation bei geöffneter Datenmenge nicht ausführbar"));
    m_table = table;
    m_sql.clear();
}

void RecordSet::setSQL(const QString &sql)
{
    setActive(false);
    m_sql = sql;
    m_table.clear();
}

void RecordSet::declareField(const QString &name, FieldKind kind, const QString &displayFormat)
{
    m_declared.push_back({name, kind, displayFormat});
}

Field *RecordSet::FindField(const QString &name) const
{
    for (const auto &f : m_fields)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

Field *RecordSet::FieldByName(const QString &name) const
{
    Field *f = FindField(name);
    if (!f)
        raise(QStringLiteral("Feld '%1' nicht gefunden").arg(name));
    return f;
}

int RecordSet::RecordCount() const
{
    if (!Active())
        return 0;
    return storedCount() + (hasPending() ? 1 : 0);
}

int RecordSet::storedPos(int pos) const { return (hasPending() && pos > m_pendingPos) ? pos - 1 : pos; }
uint32_t RecordSet::rowAtPos(int pos) const { return m_view[size_t(storedPos(pos))]; }

size_t RecordSet::memoryBytes() const
{
    size_t bytes = m_snapshot.memoryBytes() + m_view.capacity() * sizeof(uint32_t) + m_nullGroup.capacity() * sizeof(uint32_t);
    // Node, bucket and vector storage of the link index.
    bytes += m_groups.bucket_count() * sizeof(void *);
    for (const auto &g : m_groups)
        bytes += sizeof(void *) * 2 + sizeof(g) + g.second.capacity() * sizeof(uint32_t)
                 + (g.first.capacity() > 15 ? g.first.capacity() + 1 : 0);
    return bytes;
}

// ---------------------------------------------------------------- values and reading

const Value &RecordSet::workValue(int column) const { return m_work[size_t(column)]; }

Value RecordSet::currentValue(const Field *f) const
{
    if (!Active())
        return Value();
    const bool reading = m_readingPos >= 0;
    const int pos = reading ? m_readingPos : m_cur;
    if (f->isCalculated()) {
        const auto &calc = reading ? m_readingCalc : m_calc;
        const auto &slot = calc.size() > size_t(f->m_column) ? calc[size_t(f->m_column)] : std::optional<double>();
        return slot ? Value::fromReal(*slot) : Value();
    }
    if (pos < 0)
        return Value();
    if ((m_state == DataSetState::Edit || m_state == DataSetState::Insert) && pos == m_cur)
        return workValue(f->m_column);
    return m_snapshot.value(rowAtPos(pos), f->m_column);
}

std::exception_ptr RecordSet::computeCalc(int pos, std::vector<std::optional<double>> &calc)
{
    std::vector<std::optional<double>> fresh(static_cast<size_t>(m_calcCount));
    std::exception_ptr failure;
    if (m_onCalc && pos >= 0) {
        // The handler sees the row being read as the current one.
        Restore<int> keepPos(m_readingPos);
        Restore<std::vector<std::optional<double>>> keepCalc(m_readingCalc);
        Restore<std::exception_ptr> keepError(m_readingCalcError);
        m_readingPos = pos;
        m_readingCalc = fresh;
        m_readingCalcError = nullptr;
        try {
            m_onCalc(*this);
            fresh = m_readingCalc;
        } catch (...) {
            // The row stays in view with its texts, so the user can see and
            // correct it; only its calculated fields stay empty.
            failure = std::current_exception();
        }
    }
    calc = std::move(fresh);
    return failure;
}

void RecordSet::readCurrent() { m_calcError = computeCalc(m_cur, m_calc); }

std::exception_ptr RecordSet::CalcError() const { return m_readingPos >= 0 ? m_readingCalcError : m_calcError; }

void RecordSet::readWhole(int targetPos)
{
    const int count = RecordCount();
    if (count == 0) {
        m_cur = -1;
        m_calc.assign(size_t(m_calcCount), std::nullopt);
        m_calcError = nullptr;
        return;
    }
    m_cur = std::clamp(targetPos, 0, count - 1);
    readCurrent();
}

void RecordSet::readAsAWhole(int targetPos, FlagRule rule, bool stateChanged, bool rowsChanged)
{
    readWhole(targetPos);
    switch (rule) {
    case FlagRule::AtFirst:
        m_bof = true;
        m_eof = IsEmpty();
        break;
    case FlagRule::AtLast:
        m_eof = true;
        m_bof = IsEmpty();
        break;
    case FlagRule::Cleared:
        m_bof = m_eof = IsEmpty();
        break;
    }
    if (stateChanged)
        notify(Notification::StateChanged);
    if (rowsChanged)
        notify(Notification::RowsChanged);
}

void RecordSet::readRowAt(int pos, const std::function<void()> &body)
{
    if (!Active() || pos < 0 || pos >= RecordCount())
        return;
    std::vector<std::optional<double>> calc;
    std::exception_ptr failure;
    if (pos == m_cur) {
        calc = m_calc;
        failure = m_calcError;
    } else {
        failure = computeCalc(pos, calc);
    }
    Restore<int> keepPos(m_readingPos);
    Restore<std::vector<std::optional<double>>> keepCalc(m_readingCalc);
    Restore<std::exception_ptr> keepError(m_readingCalcError);
    m_readingPos = pos;
    m_readingCalc = std::move(calc);
    m_readingCalcError = failure;
    body();
}

void RecordSet::assign(Field *f, Value v)
{
    if (f->isCalculated()) {
        if (m_readingPos < 0)
            raise(QStringLiteral("Das Feld '%1' kann nicht geändert werden").arg(f->FieldName()));
        m_readingCalc[size_t(f->m_column)] = v.isNull() ? std::nullopt : std::optional<double>(v.type == Value::Real ? v.real : double(v.integer));
        return;
    }
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        raise(QStringLiteral("Datenmenge weder im Editier- noch im Einfügemodus"));
    if (f->kind() == FieldKind::AutoInc)
        raise(QStringLiteral("Das Feld '%1' kann nicht geändert werden").arg(f->FieldName()));
    if (f->kind() == FieldKind::Text && v.type == Value::Text && v.bytes.size() > TextFieldLength)
        v = Value::fromText(truncatedText(QString::fromUtf8(v.bytes)));
    m_work[size_t(f->m_column)] = std::move(v);
    m_assigned[size_t(f->m_column)] = true;
    m_modified = true;
    // The assigned text stays even when the calculation rejects it; the
    // rejection is the typist's to see at once. A row that could not be
    // calculated before for the same reason (a bad price another program
    // wrote, and now a new description) is not reported at every key.
    const QString before = failureMessage(m_calcError);
    readCurrent();
    const std::exception_ptr calcError = m_calcError;
    notify(Notification::FieldAssigned, f);
    if (calcError && failureMessage(calcError) != before)
        std::rethrow_exception(calcError);
}

// ---------------------------------------------------------------- opening and closing

void RecordSet::resetData()
{
    m_snapshot = Snapshot();
    m_view.clear();
    m_view.shrink_to_fit();
    m_groups.clear();
    m_nullGroup.clear();
    m_cur = -1;
    m_bof = m_eof = true;
    m_modified = false;
    m_pendingPos = -1;
    m_work.clear();
    m_assigned.clear();
    m_calc.clear();
    m_calcError = nullptr;
    m_viewValid = false;
}

void RecordSet::openSource()
{
    QByteArray sql;
    if (!m_table.isEmpty())
        sql = "SELECT * FROM " + quoteIdentifier(m_table.toUtf8());
    else if (!m_sql.isEmpty())
        sql = m_sql.toUtf8();
    else
        raise(QStringLiteral("Keine Tabelle und keine Abfrage angegeben"));

    OwnedStatement st(m_conn.prepareUncached(sql));
    if (!sqlite3_stmt_readonly(st.get()))
        throw EngineError(QStringLiteral("Die Abfrage darf nur lesen; sie wird nicht ausgeführt"));

    const int n = sqlite3_column_count(st.get());
    struct Column { QByteArray name, decl, table, origin; FieldKind kind; };
    std::vector<Column> cols(static_cast<size_t>(n));
    QByteArray writeTable;
    bool oneTable = true;
    for (int i = 0; i < n; ++i) {
        Column &c = cols[size_t(i)];
        c.name = sqlite3_column_name(st.get(), i);
        const char *decl = sqlite3_column_decltype(st.get(), i);
        const char *table = sqlite3_column_table_name(st.get(), i);
        const char *origin = sqlite3_column_origin_name(st.get(), i);
        c.decl = decl ? QByteArray(decl) : QByteArray();
        c.table = table ? QByteArray(table) : QByteArray();
        c.origin = origin ? QByteArray(origin) : QByteArray();
        bool autoInc = false;
        if (!c.table.isEmpty()) {
            autoInc = m_conn.columnInfo(c.table, c.origin).autoIncrement;
            if (writeTable.isEmpty())
                writeTable = c.table;
            else if (writeTable != c.table)
                oneTable = false;
        }
        c.kind = kindFromDeclaredType(c.decl, autoInc);
    }
    auto columnByName = [&](const QString &name) {
        for (int i = 0; i < n; ++i)
            if (QString::fromUtf8(cols[size_t(i)].name).compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    };

    // Fields and the snapshot columns they read.
    std::vector<std::unique_ptr<Field>> fields;
    std::vector<int> statementColumns;
    std::vector<std::pair<int, FieldKind>> lateChecks; // columns typed by their first value
    int calcCount = 0;
    if (m_declared.empty()) {
        for (int i = 0; i < n; ++i) {
            FieldKind kind = cols[size_t(i)].kind;
            fields.emplace_back(new Field(this, QString::fromUtf8(cols[size_t(i)].name), kind, i, QString()));
            fields.back()->m_column = int(statementColumns.size());
            statementColumns.push_back(i);
        }
    } else {
        for (const Declared &d : m_declared) {
            fields.emplace_back(new Field(this, d.name, d.kind, int(fields.size()), d.displayFormat));
            Field *f = fields.back().get();
            if (d.kind == FieldKind::CalcFloat) {
                f->m_column = calcCount++;
                continue;
            }
            const int c = columnByName(d.name);
            if (c < 0)
                raise(QStringLiteral("Das Feld '%1' wurde nicht gefunden").arg(d.name));
            if (!compatible(d.kind, cols[size_t(c)].kind))
                raise(QStringLiteral("Unterschiedliche Typen für Feld '%1'; erwartet: %2, gefunden: %3")
                          .arg(d.name, fieldKindName(d.kind), fieldKindName(cols[size_t(c)].kind)));
            if (cols[size_t(c)].kind == FieldKind::Unknown)
                lateChecks.emplace_back(int(statementColumns.size()), d.kind);
            f->m_column = int(statementColumns.size());
            statementColumns.push_back(c);
        }
    }

    Snapshot snapshot(int(statementColumns.size()));
    if (!m_table.isEmpty())
        snapshot.reserve(rowEstimate());
    bool firstRow = true;
    for (;;) {
        const int rc = sqlite3_step(st.get());
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            m_conn.fail(rc);
        if (firstRow) {
            firstRow = false;
            for (const auto &[column, kind] : lateChecks) {
                const FieldKind found = kindFromStorageClass(sqlite3_column_type(st.get(), statementColumns[size_t(column)]));
                if (!compatible(kind, found)) {
                    const Field *f = nullptr;
                    for (const auto &x : fields)
                        if (!x->isCalculated() && x->m_column == column)
                            f = x.get();
                    raise(QStringLiteral("Unterschiedliche Typen für Feld '%1'; erwartet: %2, gefunden: %3")
                              .arg(f->FieldName(), fieldKindName(kind), fieldKindName(found)));
                }
            }
        }
        snapshot.appendFromStatement(st.get(), statementColumns);
    }

    // Where rows are written: the one table every column comes from, keyed by its id.
    m_fields = std::move(fields);
    m_calcCount = calcCount;
    m_snapshot = std::move(snapshot);
    m_columnNames.clear();
    m_originNames.clear();
    m_idColumn = -1;
    for (size_t i = 0; i < statementColumns.size(); ++i) {
        const Column &c = cols[size_t(statementColumns[i])];
        m_columnNames.push_back(c.name);
        m_originNames.push_back(c.origin.isEmpty() ? c.name : c.origin);
        if (c.origin.compare("id", Qt::CaseInsensitive) == 0 && (c.kind == FieldKind::AutoInc || c.kind == FieldKind::Integer))
            m_idColumn = int(i);
    }
    m_writeTable = (oneTable && m_idColumn >= 0) ? writeTable : QByteArray();

    m_sortColumn = -1;
    if (m_link) {
        if (Field *f = FindField(m_link->detailField()); f && !f->isCalculated())
            m_sortColumn = f->m_column;
    }
    buildGroups();
}

size_t RecordSet::rowEstimate() const
{
    // The highest rowid is found at the end of the table's b-tree, without a
    // scan, and bounds the row count well enough to size the row table once.
    try {
        OwnedStatement st(m_conn.prepareUncached("SELECT max(rowid) FROM " + quoteIdentifier(m_table.toUtf8())));
        if (sqlite3_step(st.get()) == SQLITE_ROW) {
            const qint64 n = sqlite3_column_int64(st.get(), 0);
            // Ids far apart in a small table should not reserve much: a cap.
            if (n > 0)
                return size_t(std::min<qint64>(n, qint64(1) << 24));
        }
    } catch (const AppError &) {
        // A table without rowid: no estimate, the table grows as it reads.
    }
    return 0;
}

void RecordSet::setActive(bool active)
{
    if (active == Active())
        return;
    if (!active) {
        // Details settle before their master goes (a detail that cannot store
        // its row keeps the master open); the set's own pending row is discarded.
        const std::vector<DataSource *> sources = m_sources;
        callEach(sources, [](DataSource *s) { s->masterClosing(); });
        m_state = DataSetState::Inactive;
        resetData();
        m_fields.clear();
        notify(Notification::StateChanged);
        return;
    }
    try {
        openSource();
    } catch (...) {
        resetData();
        m_fields.clear();
        throw;
    }
    m_state = DataSetState::Browse;
    m_criterion = m_link ? m_link->wanted() : Criterion();
    rebuildView();
    readAsAWhole(0, FlagRule::AtFirst, true, false);
}

// ---------------------------------------------------------------- link index and view

std::string RecordSet::keyOf(uint32_t row) const
{
    const std::string_view b = m_snapshot.bytes(row, m_sortColumn);
    if (m_snapshot.type(row, m_sortColumn) == Value::Text)
        return std::string(b);
    const QByteArray t = m_snapshot.value(row, m_sortColumn).toUtf8Text();
    return std::string(t.constData(), size_t(t.size()));
}

void RecordSet::addToGroup(uint32_t row)
{
    if (m_sortColumn < 0)
        return;
    std::vector<uint32_t> &g = m_snapshot.type(row, m_sortColumn) == Value::Null ? m_nullGroup : m_groups[keyOf(row)];
    g.insert(std::upper_bound(g.begin(), g.end(), row), row);
}

void RecordSet::removeFromGroup(uint32_t row)
{
    if (m_sortColumn < 0)
        return;
    std::vector<uint32_t> *g = &m_nullGroup;
    if (m_snapshot.type(row, m_sortColumn) != Value::Null) {
        auto it = m_groups.find(keyOf(row));
        if (it == m_groups.end())
            return;
        g = &it->second;
    }
    auto it = std::lower_bound(g->begin(), g->end(), row);
    if (it != g->end() && *it == row)
        g->erase(it);
}

void RecordSet::buildGroups()
{
    m_groups.clear();
    m_nullGroup.clear();
    if (m_sortColumn < 0)
        return;
    const uint32_t n = m_snapshot.rowCount();
    std::string key;
    for (uint32_t row = 0; row < n; ++row) {
        if (!m_snapshot.isLive(row))
            continue; // deleted
        if (m_snapshot.type(row, m_sortColumn) == Value::Null) {
            m_nullGroup.push_back(row);
            continue;
        }
        const std::string_view b = m_snapshot.bytes(row, m_sortColumn);
        if (m_snapshot.type(row, m_sortColumn) == Value::Text)
            key.assign(b.data(), b.size());
        else
            key = keyOf(row);
        m_groups[key].push_back(row); // rows arrive in storage order
    }
}

void RecordSet::rebuildView()
{
    m_view.clear();
    switch (m_criterion.mode) {
    case Criterion::All:
        if (m_sortColumn < 0) {
            m_view.reserve(m_snapshot.rowCount());
            for (uint32_t r = 0; r < m_snapshot.rowCount(); ++r)
                if (m_snapshot.isLive(r))
                    m_view.push_back(r);
        } else {
            // Ascending by the detail field as text; rows without a value first.
            std::vector<const std::pair<const std::string, std::vector<uint32_t>> *> groups;
            groups.reserve(m_groups.size());
            for (const auto &g : m_groups)
                groups.push_back(&g);
            std::sort(groups.begin(), groups.end(), [](auto *a, auto *b) { return a->first < b->first; });
            m_view.assign(m_nullGroup.begin(), m_nullGroup.end());
            for (auto *g : groups)
                m_view.insert(m_view.end(), g->second.begin(), g->second.end());
        }
        break;
    case Criterion::NoRows: break;
    case Criterion::Null:
        if (m_sortColumn >= 0)
            m_view.assign(m_nullGroup.begin(), m_nullGroup.end());
        break;
    case Criterion::Equals:
        if (m_sortColumn >= 0) {
            auto it = m_groups.find(m_criterion.text);
            if (it != m_groups.end())
                m_view.assign(it->second.begin(), it->second.end());
        }
        break;
    }
    m_viewCriterion = m_criterion;
    m_viewValid = true;
}

void RecordSet::setCriterion(const Criterion &c)
{
    m_criterion = c;
    if (!(m_viewCriterion == c))
        m_viewValid = false;
}

// ---------------------------------------------------------------- moving

void RecordSet::Settle()
{
    checkActive();
    notify(Notification::SettleRequest);
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert) {
        notify(Notification::HandOver);
        if (m_modified)
            Post();
        else
            Cancel();
    }
}

void RecordSet::First()
{
    Settle();
    if (!m_viewValid)
        rebuildView();
    readAsAWhole(0, FlagRule::AtFirst, false, true);
}

void RecordSet::Last()
{
    Settle();
    if (!m_viewValid)
        rebuildView();
    readAsAWhole(int(m_view.size()) - 1, FlagRule::AtLast, false, true);
}

int RecordSet::MoveBy(int n)
{
    Settle();
    if (n == 0)
        return 0;
    if ((n > 0 && m_eof) || (n < 0 && m_bof))
        return 0;
    m_bof = m_eof = false;
    const int count = RecordCount();
    const int target = std::clamp(m_cur + n, 0, std::max(count - 1, 0));
    const int moved = target - m_cur;
    if (moved != 0) {
        m_cur = target;
        readCurrent();
    }
    if (moved != n) {
        if (n > 0)
            m_eof = true;
        else
            m_bof = true;
    }
    notify(Notification::RowMoved);
    return moved;
}

void RecordSet::Next() { MoveBy(1); }
void RecordSet::Prior() { MoveBy(-1); }

// ---------------------------------------------------------------- editing

void RecordSet::Edit()
{
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return;
    checkActive();
    if (IsEmpty()) {
        Insert();
        return;
    }
    Settle();
    const uint32_t row = rowAtPos(m_cur);
    m_work.clear();
    for (int c = 0; c < m_snapshot.columnCount(); ++c)
        m_work.push_back(m_snapshot.value(row, c));
    m_assigned.assign(m_work.size(), false);
    m_modified = false;
    m_state = DataSetState::Edit;
    readCurrent();
    notify(Notification::StateChanged);
    notify(Notification::RowValuesChanged);
}

void RecordSet::Insert() { startInsert(false); }
void RecordSet::Append() { startInsert(true); }

void RecordSet::startInsert(bool append)
{
    checkActive();
    Settle();
    const int pos = append ? RecordCount() : std::max(m_cur, 0);
    m_appended = append;
    m_pendingPos = pos;
    m_cur = pos;
    m_state = DataSetState::Insert;
    m_work.assign(size_t(m_snapshot.columnCount()), Value());
    m_assigned.assign(m_work.size(), false);
    // The link fills the detail field without marking the row as modified.
    if (m_link && m_sortColumn >= 0 && m_link->masterActive())
        m_work[size_t(m_sortColumn)] = m_link->fillValue();
    m_modified = false;
    readCurrent();
    if (append) {
        m_eof = true;
        m_bof = false;
    }
    notify(Notification::StateChanged);
    notify(Notification::RowsChanged);
}

void RecordSet::resolveWriteTarget()
{
    if (m_writeTable.isEmpty() || m_idColumn < 0)
        raise(QStringLiteral("Die Datenmenge kann nicht geändert werden, weil ihre Abfrage keine einzelne Tabelle mit 'id' liest"));
}

bool RecordSet::rereadRow(uint32_t row, qint64 id)
{
    QByteArray sql = "SELECT ";
    for (size_t i = 0; i < m_originNames.size(); ++i)
        sql += (i ? ", " : "") + quoteIdentifier(m_originNames[i]);
    sql += " FROM " + quoteIdentifier(m_writeTable) + " WHERE " + quoteIdentifier(m_originNames[size_t(m_idColumn)]) + " = ?1";
    sqlite3_stmt *st = m_conn.prepare(sql);
    StatementReset reset(st);
    sqlite3_bind_int64(st, 1, id);
    const int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW) {
        if (rc != SQLITE_DONE)
            m_conn.fail(rc);
        return false;
    }
    std::vector<int> identity(m_originNames.size());
    for (size_t i = 0; i < identity.size(); ++i)
        identity[i] = int(i);
    Snapshot one(m_snapshot.columnCount());
    one.appendFromStatement(st, identity);
    m_snapshot.replaceFrom(row, one, 0);
    return true;
}

void RecordSet::writeInsert()
{
    resolveWriteTarget();
    std::vector<int> columns;
    for (int c = 0; c < int(m_work.size()); ++c)
        if (c != m_idColumn && (m_assigned[size_t(c)] || (c == m_sortColumn && !m_work[size_t(c)].isNull())))
            columns.push_back(c);
    QByteArray sql = "INSERT INTO " + quoteIdentifier(m_writeTable);
    if (columns.empty()) {
        sql += " DEFAULT VALUES";
    } else {
        QByteArray names, params;
        for (size_t i = 0; i < columns.size(); ++i) {
            names += (i ? ", " : "") + quoteIdentifier(m_originNames[size_t(columns[i])]);
            params += (i ? ", ?" : "?") + QByteArray::number(qulonglong(i + 1));
        }
        sql += " (" + names + ") VALUES (" + params + ")";
    }
    sqlite3_stmt *st = m_conn.prepare(sql);
    {
        StatementReset reset(st);
        for (size_t i = 0; i < columns.size(); ++i)
            bindValue(st, int(i + 1), m_work[size_t(columns[i])]);
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_DONE)
            m_conn.fail(rc);
    }
    const qint64 id = sqlite3_last_insert_rowid(m_conn.handle());
    std::vector<Value> values = m_work;
    values[size_t(m_idColumn)] = Value::fromInteger(id);
    const uint32_t row = m_snapshot.append(values);
    rereadRow(row, id); // gone meanwhile: keep what was written
    addToGroup(row);
    const int sp = std::clamp(m_pendingPos, 0, int(m_view.size()));
    m_view.insert(m_view.begin() + sp, row);
}

void RecordSet::writeUpdate()
{
    const uint32_t row = rowAtPos(m_cur);
    std::vector<int> columns;
    for (int c = 0; c < int(m_work.size()); ++c)
        if (c != m_idColumn && m_assigned[size_t(c)])
            columns.push_back(c);
    if (columns.empty())
        return;
    resolveWriteTarget();
    const qint64 id = m_snapshot.integer(row, m_idColumn);
    const int k = int(columns.size());
    QByteArray sets, checks;
    for (int i = 0; i < k; ++i) {
        const QByteArray col = quoteIdentifier(m_originNames[size_t(columns[size_t(i)])]);
        sets += (i ? ", " : "") + col + " = ?" + QByteArray::number(i + 1);
        checks += " AND " + col + " IS ?" + QByteArray::number(k + 2 + i);
    }
    const QByteArray idName = quoteIdentifier(m_originNames[size_t(m_idColumn)]);
    const QByteArray sql = "UPDATE " + quoteIdentifier(m_writeTable) + " SET " + sets + " WHERE " + idName + " = ?"
                           + QByteArray::number(k + 1) + checks;
    sqlite3_stmt *st = m_conn.prepare(sql);
    {
        StatementReset reset(st);
        for (int i = 0; i < k; ++i) {
            bindValue(st, i + 1, m_work[size_t(columns[size_t(i)])]);
            // The value as read, in the storage class it was read in.
            bindValue(st, k + 2 + i, m_snapshot.value(row, columns[size_t(i)]));
        }
        sqlite3_bind_int64(st, k + 1, id);
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_DONE)
            m_conn.fail(rc);
    }
    if (sqlite3_changes(m_conn.handle()) == 0)
        raiseConflict(id, false);
    const bool keyChanged = m_sortColumn >= 0 && m_assigned[size_t(m_sortColumn)];
    if (keyChanged)
        removeFromGroup(row);
    std::vector<Value> values;
    for (int c = 0; c < m_snapshot.columnCount(); ++c)
        values.push_back(m_assigned[size_t(c)] ? m_work[size_t(c)] : m_snapshot.value(row, c));
    m_snapshot.replace(row, values);
    rereadRow(row, id); // gone meanwhile: keep what was written
    if (keyChanged)
        addToGroup(row);
}

void RecordSet::raiseConflict(qint64 id, bool whileDeleting)
{
    sqlite3_stmt *probe = m_conn.prepare("SELECT 1 FROM " + quoteIdentifier(m_writeTable) + " WHERE "
                                         + quoteIdentifier(m_originNames[size_t(m_idColumn)]) + " = ?1");
    int rc;
    {
        StatementReset reset(probe);
        sqlite3_bind_int64(probe, 1, id);
        rc = sqlite3_step(probe);
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        m_conn.fail(rc);
    const bool changed = rc == SQLITE_ROW;
    QString message, question;
    if (changed && !whileDeleting) {
        message = QStringLiteral("Der Datensatz wurde inzwischen von einem anderen Programm geändert. "
                                 "Die Änderungen wurden nicht gespeichert; bitte abbrechen und neu laden");
        question = QStringLiteral("Der Datensatz wurde inzwischen von einem anderen Programm geändert. "
                                  "Ihre Änderungen verwerfen und den gespeicherten Stand laden?");
    } else if (!whileDeleting) {
        message = QStringLiteral("Der Datensatz wurde inzwischen von einem anderen Programm gelöscht. "
                                 "Die Änderungen wurden nicht gespeichert");
        question = QStringLiteral("Der Datensatz wurde inzwischen von einem anderen Programm gelöscht. "
                                  "Ihre Änderungen verwerfen?");
    } else if (changed) {
        message = QStringLiteral("Der Datensatz wurde inzwischen von einem anderen Programm geändert "
                                 "und deshalb nicht gelöscht");
        question = QStringLiteral("Der Datensatz wurde inzwischen von einem anderen Programm geändert "
                                  "und deshalb nicht gelöscht. Den gespeicherten Stand laden?");
    } else {
        message = QStringLiteral("Der Datensatz wurde inzwischen von einem anderen Programm gelöscht");
        question = QStringLiteral("Der Datensatz wurde inzwischen von einem anderen Programm gelöscht. "
                                  "Aus der Anzeige entfernen?");
    }
    throw ConflictError(message, question, [this, id] { reloadAfterConflict(id); });
}

void RecordSet::reloadAfterConflict(qint64 id)
{
    if (!Active())
        return;
    Cancel();
    int pos = -1;
    for (int p = 0; p < storedCount() && pos < 0; ++p)
        if (m_snapshot.integer(m_view[size_t(p)], m_idColumn) == id)
            pos = p;
    if (pos < 0)
        return;
    const uint32_t row = m_view[size_t(pos)];
    if (m_sortColumn >= 0)
        removeFromGroup(row);
    if (!rereadRow(row, id)) {
        m_snapshot.remove(row);
        m_view.erase(m_view.begin() + pos);
    } else if (m_sortColumn >= 0) {
        // Another program may have moved it under another master: it stays
        // in view until the next re-read of the view, like any stored row.
        addToGroup(row);
    }
    readAsAWhole(pos, FlagRule::Cleared, false, true);
}

void RecordSet::leaveEditState()
{
    m_state = DataSetState::Browse;
    m_pendingPos = -1;
    m_modified = false;
    m_work.clear();
    m_assigned.clear();
}

void RecordSet::Post()
{
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        raise(QStringLiteral("Datenmenge weder im Editier- noch im Einfügemodus"));
    notify(Notification::HandOver);
    notify(Notification::SettleRequest);
    if (m_beforePost)
        m_beforePost(*this);
    if (m_state == DataSetState::Insert)
        writeInsert();
    else
        writeUpdate();
    const int pos = m_cur;
    leaveEditState();
    readAsAWhole(pos, FlagRule::Cleared, true, true);
}

void RecordSet::Cancel()
{
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return;
    notify(Notification::SettleRequest);
    int target = m_cur;
    if (m_state == DataSetState::Insert)
        target = m_appended ? int(m_view.size()) - 1 : m_pendingPos;
    leaveEditState();
    readAsAWhole(target, FlagRule::Cleared, true, true);
}

void RecordSet::Delete()
{
    checkActive();
    if (IsEmpty())
        raise(QStringLiteral("Operation bei leerer Datenmenge nicht ausführbar"));
    if (m_state == DataSetState::Insert) {
        Cancel();
        return;
    }
    notify(Notification::SettleRequest);
    resolveWriteTarget();
    const uint32_t row = rowAtPos(m_cur);
    const qint64 id = m_snapshot.integer(row, m_idColumn);
    // Only the row as it was read is deleted: a change another program made
    // since would otherwise be lost without anyone seeing it.
    const QByteArray idName = quoteIdentifier(m_originNames[size_t(m_idColumn)]);
    QByteArray sql = "DELETE FROM " + quoteIdentifier(m_writeTable) + " WHERE " + idName + " = ?1";
    for (int c = 0; c < m_snapshot.columnCount(); ++c)
        if (c != m_idColumn)
            sql += " AND " + quoteIdentifier(m_originNames[size_t(c)]) + " IS ?" + QByteArray::number(c + 2);
    sqlite3_stmt *st = m_conn.prepare(sql);
    {
        StatementReset reset(st);
        sqlite3_bind_int64(st, 1, id);
        for (int c = 0; c < m_snapshot.columnCount(); ++c)
            if (c != m_idColumn)
                bindValue(st, c + 2, m_snapshot.value(row, c));
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_DONE)
            m_conn.fail(rc);
    }
    if (sqlite3_changes(m_conn.handle()) == 0)
        raiseConflict(id, true);
    const int sp = storedPos(m_cur);
    removeFromGroup(row);
    m_snapshot.remove(row);
    m_view.erase(m_view.begin() + sp);
    // In browse state nothing but the rows changed.
    const bool wasEditing = m_state != DataSetState::Browse;
    leaveEditState();
    readAsAWhole(sp, FlagRule::Cleared, wasEditing, true);
}

void RecordSet::Refresh()
{
    Settle();
    // The current row stays current, also when a new link criterion widens the view now.
    const uint32_t currentRow = m_cur >= 0 && m_cur < storedCount() ? m_view[size_t(m_cur)] : UINT32_MAX;
    if (!m_viewValid)
        rebuildView();
    if (m_idColumn >= 0 && !m_writeTable.isEmpty()) {
        // Stored values of the rows held, by id; rows added since stay out.
        std::unordered_map<qint64, uint32_t> byId;
        for (uint32_t r = 0; r < m_snapshot.rowCount(); ++r)
            if (m_snapshot.isLive(r))
                byId.emplace(m_snapshot.integer(r, m_idColumn), r);
        QByteArray sql = "SELECT ";
        for (size_t i = 0; i < m_originNames.size(); ++i)
            sql += (i ? ", " : "") + quoteIdentifier(m_originNames[i]);
        sql += " FROM " + quoteIdentifier(m_writeTable);
        OwnedStatement st(m_conn.prepareUncached(sql));
        std::vector<int> identity(m_originNames.size());
        for (size_t i = 0; i < identity.size(); ++i)
            identity[i] = int(i);
        Snapshot fresh(m_snapshot.columnCount());
        std::unordered_set<uint32_t> seen;
        for (;;) {
            const int rc = sqlite3_step(st.get());
            if (rc == SQLITE_DONE)
                break;
            if (rc != SQLITE_ROW)
                m_conn.fail(rc);
            auto it = byId.find(sqlite3_column_int64(st.get(), m_idColumn));
            if (it == byId.end())
                continue;
            const uint32_t f = fresh.appendFromStatement(st.get(), identity);
            m_snapshot.replaceFrom(it->second, fresh, f);
            seen.insert(it->second);
        }
        for (uint32_t r = 0; r < m_snapshot.rowCount(); ++r)
            if (m_snapshot.isLive(r) && !seen.count(r))
                m_snapshot.remove(r);
        buildGroups();
    }
    decltype(m_view) view;
    int target = 0;
    for (uint32_t r : m_view) {
        if (!m_snapshot.isLive(r))
            continue;
        if (r == currentRow)
            target = int(view.size());
        view.push_back(r);
    }
    m_view = std::move(view);
    readAsAWhole(target, FlagRule::Cleared, false, true);
}

bool RecordSet::Locate(const QString &fieldName, const QVariant &value, LocateOptions options)
{
    Settle();
    const bool rebuilt = !m_viewValid;
    if (rebuilt)
        rebuildView();
    // A search that finds nothing leaves the current row; after a new view
    // that is the first one, read as any read of the view as a whole.
    auto notFound = [&] {
        if (rebuilt)
            readAsAWhole(0, FlagRule::AtFirst, false, true);
        return false;
    };
    const Field *f = FindField(fieldName);
    if (!f || f->isCalculated())
        return notFound();
    const int col = f->m_column;
    const int count = storedCount();
    int found = -1;
    if (f->kind() == FieldKind::AutoInc || f->kind() == FieldKind::Integer) {
        bool ok = false;
        const qint64 wanted = value.toString().trimmed().toLongLong(&ok);
        if (!ok)
            return notFound();
        // Whole numbers always compare exactly, whatever the options.
        qint64 best = 0;
        for (int p = 0; p < count; ++p) {
            const uint32_t row = m_view[size_t(p)];
            if (m_snapshot.type(row, col) == Value::Null)
                continue;
            const qint64 v = m_snapshot.integer(row, col);
            if (v == wanted && (found < 0 || v < best)) {
                found = p;
                best = v;
            }
        }
    } else {
        const QString wanted = value.toString();
        const Qt::CaseSensitivity cs = options.caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
        QString best;
        for (int p = 0; p < count; ++p) {
            const QString v = m_snapshot.value(m_view[size_t(p)], col).toText();
            const bool match = options.partialKey ? v.startsWith(wanted, cs) : v.compare(wanted, cs) == 0;
            // Searched in ascending order of the field: the smallest match wins.
            if (match && (found < 0 || v < best)) {
                found = p;
                best = v;
            }
        }
    }
    if (found < 0)
        return notFound();
    readAsAWhole(found, FlagRule::Cleared, false, true);
    return true;
}

// ---------------------------------------------------------------- Link

Link::Link(DataSource *master, const QString &masterField, RecordSet *detail, const QString &detailField)
    : m_master(master), m_masterField(masterField), m_detail(detail), m_detailField(detailField)
{
    m_detail->m_link = this;
    m_master->attach(this);
}

Link::~Link()
{
    m_master->detach(this);
    if (m_detail->m_link == this)
        m_detail->m_link = nullptr;
}

bool Link::masterActive() const { return m_master->DataSet()->Active(); }

RecordSet::Criterion Link::wanted() const
{
    RecordSet::Criterion c;
    const RecordSet *m = m_master->DataSet();
    if (!m->Active())
        return c; // unrestricted
    if (m->State() == DataSetState::Insert || m->IsEmpty()) {
        c.mode = RecordSet::Criterion::NoRows;
        return c;
    }
    const Value v = m->FieldByName(m_masterField)->value();
    if (v.isNull()) {
        c.mode = RecordSet::Criterion::Null;
        return c;
    }
    c.mode = RecordSet::Criterion::Equals;
    const QByteArray t = v.toUtf8Text();
    c.text.assign(t.constData(), size_t(t.size()));
    return c;
}

Value Link::fillValue() const
{
    const RecordSet *m = m_master->DataSet();
    if (!m->Active() || m->IsEmpty())
        return Value();
    const Value v = m->FieldByName(m_masterField)->value();
    if (v.isNull())
        return v;
    // A customer's id goes in as its decimal text; a header's nr unchanged.
    const QByteArray text = v.toUtf8Text();
    return Value::fromUtf8(std::string_view(text.constData(), size_t(text.size())));
}

void Link::apply(bool force)
{
    if (!m_detail->Active()) {
        // A detail that opens later is restricted from the start; nothing stays owed.
        m_force = false;
        return;
    }
    m_detail->Settle();
    const RecordSet::Criterion c = wanted();
    if (force || !(c == m_detail->criterion())) {
        m_force = false;
        m_detail->setCriterion(c);
        m_detail->First();
    }
}

void Link::masterClosing()
{
    if (m_detail->Active())
        m_detail->Settle();
}

void Link::dataEvent(Notification n, Field *field)
{
    switch (n) {
    case Notification::StateChanged:
        if (!m_master->DataSet()->Active()) {
            if (m_detail->Active())
                m_detail->Settle();
            // From the detail's next read on it holds every row.
            m_detail->setCriterion(RecordSet::Criterion());
            m_force = true;
            return;
        }
        apply(m_force);
        return;
    case Notification::RowsChanged:
    case Notification::RowMoved:
    case Notification::RowValuesChanged:
        apply(false);
        return;
    case Notification::FieldAssigned:
        if (field && field->FieldName().compare(m_masterField, Qt::CaseInsensitive) == 0)
            apply(false);
        return;
    case Notification::SettleRequest:
        if (m_detail->Active())
            m_detail->Settle();
        return;
    case Notification::HandOver:
        return;
    }
}
