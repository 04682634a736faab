// The record set: its state, reading rows, moving, refreshing and searching.

#include "recordset_p.h"

#include "engine.h"

#include <algorithm>
#include <limits>
#include <unordered_set>

using namespace recordset_detail;

// ---------------------------------------------------------------- RecordSet: basics

RecordSet::RecordSet(QString name, Database &database) : m_name(std::move(name)), m_conn(database) {}

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

void RecordSet::declareOptionalField(const QString &name, FieldKind kind)
{
    m_declared.push_back({name, kind, QString(), true});
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
    const QString before = messageOf(m_calcError);
    readCurrent();
    const std::exception_ptr calcError = m_calcError;
    notify(Notification::FieldAssigned, f);
    if (calcError && messageOf(calcError) != before)
        std::rethrow_exception(calcError);
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

void RecordSet::Refresh()
{
    Settle();
    // The current row stays current, also when a new link criterion widens the view now.
    const uint32_t currentRow = m_cur >= 0 && m_cur < storedCount() ? m_view[size_t(m_cur)] : UINT32_MAX;
    if (!m_viewValid)
        rebuildView();
    if (m_idColumn >= 0 && !m_writeTable.isEmpty()) {
        // The table in id order (its own order when the id is its key); the
        // rows held are matched to it by id, and rows added since stay out.
        const QByteArray id = m_conn.quoteIdentifier(m_originNames[size_t(m_idColumn)]);
        QByteArray sql = "SELECT ";
        for (size_t i = 0; i < m_originNames.size(); ++i)
            sql += (i ? ", " : "") + m_conn.quoteIdentifier(m_originNames[i]);
        sql += " FROM " + m_conn.quoteIdentifier(m_writeTable) + " ORDER BY " + id;
        StatementHandle st = m_conn.prepare(sql, Database::Reuse::Once);
        std::vector<int> identity(m_originNames.size());
        for (size_t i = 0; i < identity.size(); ++i)
            identity[i] = int(i);
        // Read into a fresh snapshot under the same row numbers, which then
        // takes the old one's place: the records read before go with it, so
        // refreshing never adds to what the set holds, and a failed read
        // leaves the rows as they were. Rows not found stay empty: deleted.
        Snapshot fresh = m_snapshot.withSameRows();
        const uint32_t rows = m_snapshot.rowCount();
        // Rows held in id order, as a set that read its table holds them, are
        // matched in one pass over both; the order is checked on the way.
        bool ascending = true;
        uint32_t r = 0;
        qint64 held = 0; // the id of row r, the next live one
        auto nextLive = [&] {
            while (r < rows && !m_snapshot.isLive(r))
                ++r;
            if (r < rows) {
                const qint64 v = m_snapshot.integer(r, m_idColumn);
                ascending = ascending && v > held;
                held = v;
            }
        };
        held = std::numeric_limits<qint64>::min();
        nextLive();
        while (ascending && r < rows && st->step()) {
            const qint64 v = st->columnInteger(m_idColumn);
            while (ascending && r < rows && held < v) {
                ++r;
                nextLive();
            }
            if (ascending && r < rows && held == v) {
                fresh.setFromStatement(r++, *st, identity);
                nextLive();
            }
        }
        while (ascending && r < rows) {
            ++r;
            nextLive();
        }
        if (!ascending) {
            // Held in another order: by id, looked up. Of rows held twice
            // under one id, the first is kept.
            fresh = m_snapshot.withSameRows();
            StatementHandle again = m_conn.prepare(sql, Database::Reuse::Once);
            std::vector<std::pair<qint64, uint32_t>> byId;
            byId.reserve(rows);
            for (uint32_t row = 0; row < rows; ++row)
                if (m_snapshot.isLive(row))
                    byId.emplace_back(m_snapshot.integer(row, m_idColumn), row);
            std::sort(byId.begin(), byId.end());
            while (again->step()) {
                const qint64 v = again->columnInteger(m_idColumn);
                const auto at = std::lower_bound(byId.begin(), byId.end(), std::pair<qint64, uint32_t>(v, 0));
                if (at != byId.end() && at->first == v && !fresh.isLive(at->second))
                    fresh.setFromStatement(at->second, *again, identity);
            }
        }
        m_snapshot = std::move(fresh);
        buildGroups();
    }
    decltype(m_view) view;
    view.reserve(m_view.size());
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
