// Opening a record set: reading its source into the snapshot, checking its
// fields, and the view a link restricts it to.

#include "recordset_p.h"

#include "engine.h"

#include <algorithm>
#include <limits>

using namespace recordset_detail;

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
        sql = "SELECT * FROM " + m_conn.quoteIdentifier(m_table.toUtf8());
    else if (!m_sql.isEmpty())
        sql = m_sql.toUtf8();
    else
        raise(QStringLiteral("Keine Tabelle und keine Abfrage angegeben"));

    StatementHandle st = m_conn.prepare(sql, Database::Reuse::Once);
    if (!st->isReadOnly())
        throw EngineError(QStringLiteral("Die Abfrage darf nur lesen; sie wird nicht ausgeführt"));

    const int n = st->columnCount();
    struct Column { QByteArray name, decl, table, origin; FieldKind kind; };
    std::vector<Column> cols(static_cast<size_t>(n));
    QByteArray writeTable;
    bool oneTable = true;
    for (int i = 0; i < n; ++i) {
        Column &c = cols[size_t(i)];
        c.name = st->columnName(i);
        c.decl = st->columnDeclaredType(i);
        c.table = st->columnTable(i);
        c.origin = st->columnOrigin(i);
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
            if (d.optional && columnByName(d.name) < 0)
                continue;
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
    while (st->step()) {
        if (firstRow) {
            firstRow = false;
            for (const auto &[column, kind] : lateChecks) {
                const FieldKind found = kindFromStorageClass(st->columnType(statementColumns[size_t(column)]));
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
        snapshot.appendFromStatement(*st, statementColumns);
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
    m_positionColumn = -1;
    if (!m_positionField.isEmpty()) {
        if (Field *f = FindField(m_positionField); f && !f->isCalculated())
            m_positionColumn = f->m_column;
    }
    buildGroups();
}

size_t RecordSet::rowEstimate() const
{
    // Sizes the row table once; a table without an estimate grows as it reads.
    const qint64 n = m_conn.rowCountEstimate(m_table);
    // Ids far apart in a small table should not reserve much: a cap.
    return n > 0 ? size_t(std::min<qint64>(n, qint64(1) << 24)) : 0;
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
    g.insert(std::upper_bound(g.begin(), g.end(), row, [this](uint32_t a, uint32_t b) { return placedBefore(a, b); }), row);
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
    auto it = std::lower_bound(g->begin(), g->end(), row, [this](uint32_t a, uint32_t b) { return placedBefore(a, b); });
    // A row whose place changed since it was grouped is looked for.
    if (it == g->end() || *it != row)
        it = std::find(g->begin(), g->end(), row);
    if (it != g->end())
        g->erase(it);
}

void RecordSet::buildGroups()
{
    m_groups.clear();
    m_nullGroup.clear();
    if (m_sortColumn < 0)
        return;
    const uint32_t n = m_snapshot.rowCount();
    // The places are read here, in storage order, where the rows are read
    // anyway: checking each group's order later then needs no second visit.
    std::vector<double> places;
    if (m_positionColumn >= 0)
        places.assign(n, std::numeric_limits<double>::quiet_NaN());
    std::string key;
    for (uint32_t row = 0; row < n; ++row) {
        if (!m_snapshot.isLive(row))
            continue; // deleted
        if (m_positionColumn >= 0)
            places[row] = placeNumber(row);
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
    if (m_positionColumn >= 0) {
        orderByPlace(m_nullGroup.data(), m_nullGroup.data() + m_nullGroup.size(), &places);
        for (auto &g : m_groups)
            orderByPlace(g.second.data(), g.second.data() + g.second.size(), &places);
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
            orderByPlace(m_view.data(), m_view.data() + m_view.size());
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
