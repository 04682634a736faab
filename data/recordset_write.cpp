// Changing rows: edit and insert state, storing, deleting, and what happens
// when another program changed a row first.

#include "recordset_p.h"

#include "engine.h"

#include <algorithm>

using namespace recordset_detail;

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
    // Asked before anything changes: a failure leaves the set as it was.
    const QList<std::pair<QString, QString>> startValues = m_newRowValues ? m_newRowValues() : QList<std::pair<QString, QString>>();
    const int pos = append ? RecordCount() : std::max(m_cur, 0);
    // May number the rows afresh first; like the values above, a failure
    // leaves the set as it was.
    const Value place = placeForNewRow(pos);
    m_appended = append;
    m_pendingPos = pos;
    m_cur = pos;
    m_state = DataSetState::Insert;
    m_work.assign(size_t(m_snapshot.columnCount()), Value());
    m_assigned.assign(m_work.size(), false);
    // The link fills the detail field without marking the row as modified.
    if (m_link && m_sortColumn >= 0 && m_link->masterActive())
        m_work[size_t(m_sortColumn)] = m_link->fillValue();
    // Its place, like the link's value, is the set's doing, not the typist's.
    if (m_positionColumn >= 0)
        m_work[size_t(m_positionColumn)] = place;
    for (const auto &[name, text] : startValues) {
        const Field *f = FindField(name);
        if (!f || f->isCalculated() || f->kind() == FieldKind::AutoInc || text.isEmpty())
            continue;
        m_work[size_t(f->m_column)] = Value::fromText(text);
        m_assigned[size_t(f->m_column)] = true;
    }
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
        sql += (i ? ", " : "") + m_conn.quoteIdentifier(m_originNames[i]);
    sql += " FROM " + m_conn.quoteIdentifier(m_writeTable) + " WHERE " + m_conn.quoteIdentifier(m_originNames[size_t(m_idColumn)]) + " = ?1";
    StatementHandle st = m_conn.prepare(sql);
    st->bindInteger(1, id);
    if (!st->step())
        return false;
    std::vector<int> identity(m_originNames.size());
    for (size_t i = 0; i < identity.size(); ++i)
        identity[i] = int(i);
    Snapshot one(m_snapshot.columnCount());
    one.appendFromStatement(*st, identity);
    m_snapshot.replaceFrom(row, one, 0);
    return true;
}

void RecordSet::rereadStoredRow(uint32_t row, qint64 id)
{
    // The row is in the file now: a read that fails afterwards (a lock, a
    // read error) must not leave it pending, or the next try would store it
    // a second time. The values written stand in for the stored ones; gone
    // meanwhile, it keeps them too.
    try {
        rereadRow(row, id);
    } catch (const AppError &) {
    }
}

void RecordSet::writeInsert()
{
    resolveWriteTarget();
    std::vector<int> columns;
    for (int c = 0; c < int(m_work.size()); ++c)
        if (c != m_idColumn
            && (m_assigned[size_t(c)] || ((c == m_sortColumn || c == m_positionColumn) && !m_work[size_t(c)].isNull())))
            columns.push_back(c);
    QByteArray sql = "INSERT INTO " + m_conn.quoteIdentifier(m_writeTable);
    if (columns.empty()) {
        sql += " DEFAULT VALUES";
    } else {
        QByteArray names, params;
        for (size_t i = 0; i < columns.size(); ++i) {
            names += (i ? ", " : "") + m_conn.quoteIdentifier(m_originNames[size_t(columns[i])]);
            params += (i ? ", ?" : "?") + QByteArray::number(qulonglong(i + 1));
        }
        sql += " (" + names + ") VALUES (" + params + ")";
    }
    {
        StatementHandle st = m_conn.prepare(sql);
        for (size_t i = 0; i < columns.size(); ++i)
            st->bind(int(i + 1), m_work[size_t(columns[i])]);
        st->run();
    }
    const qint64 id = m_conn.lastInsertId();
    std::vector<Value> values = m_work;
    values[size_t(m_idColumn)] = Value::fromInteger(id);
    const uint32_t row = m_snapshot.append(values);
    rereadStoredRow(row, id);
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
        const QByteArray col = m_conn.quoteIdentifier(m_originNames[size_t(columns[size_t(i)])]);
        sets += (i ? ", " : "") + col + " = ?" + QByteArray::number(i + 1);
        checks += " AND " + col + ' ' + m_conn.nullSafeEqual() + " ?" + QByteArray::number(k + 2 + i);
    }
    const QByteArray idName = m_conn.quoteIdentifier(m_originNames[size_t(m_idColumn)]);
    const QByteArray sql = "UPDATE " + m_conn.quoteIdentifier(m_writeTable) + " SET " + sets + " WHERE " + idName + " = ?"
                           + QByteArray::number(k + 1) + checks;
    {
        StatementHandle st = m_conn.prepare(sql);
        for (int i = 0; i < k; ++i) {
            st->bind(i + 1, m_work[size_t(columns[size_t(i)])]);
            // The value as read, in the storage class it was read in.
            st->bind(k + 2 + i, m_snapshot.value(row, columns[size_t(i)]));
        }
        st->bindInteger(k + 1, id);
        st->run();
    }
    if (m_conn.changes() == 0)
        raiseConflict(id, false);
    // A row under another master, or at another place, moves in the groups.
    const bool keyChanged = m_sortColumn >= 0
                            && (m_assigned[size_t(m_sortColumn)] || (m_positionColumn >= 0 && m_assigned[size_t(m_positionColumn)]));
    if (keyChanged)
        removeFromGroup(row);
    std::vector<Value> values;
    for (int c = 0; c < m_snapshot.columnCount(); ++c)
        values.push_back(m_assigned[size_t(c)] ? m_work[size_t(c)] : m_snapshot.value(row, c));
    m_snapshot.replace(row, values);
    rereadStoredRow(row, id);
    if (keyChanged)
        addToGroup(row);
}

void RecordSet::raiseConflict(qint64 id, bool whileDeleting)
{
    bool changed;
    {
        StatementHandle probe = m_conn.prepare("SELECT 1 FROM " + m_conn.quoteIdentifier(m_writeTable) + " WHERE "
                                               + m_conn.quoteIdentifier(m_originNames[size_t(m_idColumn)]) + " = ?1");
        probe->bindInteger(1, id);
        changed = probe->step();
    }
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
    const QByteArray idName = m_conn.quoteIdentifier(m_originNames[size_t(m_idColumn)]);
    QByteArray sql = "DELETE FROM " + m_conn.quoteIdentifier(m_writeTable) + " WHERE " + idName + " = ?1";
    for (int c = 0; c < m_snapshot.columnCount(); ++c)
        if (c != m_idColumn)
            sql += " AND " + m_conn.quoteIdentifier(m_originNames[size_t(c)]) + ' ' + m_conn.nullSafeEqual() + " ?"
                   + QByteArray::number(c + 2);
    {
        StatementHandle st = m_conn.prepare(sql);
        st->bindInteger(1, id);
        for (int c = 0; c < m_snapshot.columnCount(); ++c)
            if (c != m_idColumn)
                st->bind(c + 2, m_snapshot.value(row, c));
        st->run();
    }
    if (m_conn.changes() == 0)
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
