// The order of a record set's rows by a position field, and the place a new
// row takes among them.

#include "recordset_p.h"

#include "engine.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>

using namespace recordset_detail;

// The order the database gives for "ORDER BY coalesce(place, id), id":
// numbers first, compared exactly (a long double holds every id and every
// double), then text, then blobs, each by its bytes.
struct RecordSet::PlaceKey
{
    int rank = 0; // 0 number, 1 text, 2 blob
    long double number = 0;
    std::string_view bytes;
    qint64 id = 0;

    int compare(const PlaceKey &o) const
    {
        if (rank != o.rank)
            return rank < o.rank ? -1 : 1;
        if (rank == 0) {
            if (number != o.number)
                return number < o.number ? -1 : 1;
        } else if (const int c = bytes.compare(o.bytes); c != 0) {
            return c < 0 ? -1 : 1;
        }
        if (id != o.id)
            return id < o.id ? -1 : 1;
        return 0;
    }
};

void RecordSet::setPositionField(const QString &name)
{
    if (name == m_positionField)
        return;
    if (Active())
        raise(QStringLiteral("Operation bei geöffneter Datenmenge nicht ausführbar"));
    m_positionField = name;
}

RecordSet::PlaceKey RecordSet::placeOf(uint32_t row) const
{
    PlaceKey key;
    // A set read from a query without an id keeps its rows in the order read.
    key.id = m_idColumn >= 0 ? m_snapshot.integer(row, m_idColumn) : qint64(row);
    const FieldView place = m_snapshot.view(row, m_positionColumn);
    switch (place.type) {
    case Value::Null: key.number = (long double)key.id; break;
    case Value::Integer: key.number = (long double)place.integer; break;
    case Value::Real:
        if (std::isnan(place.real)) {
            // The database stores NaN as NULL; one read from elsewhere sorts as such.
            key.number = (long double)key.id;
        } else {
            key.number = place.real;
        }
        break;
    case Value::Text:
    case Value::Blob:
        key.rank = place.type == Value::Text ? 1 : 2;
        key.bytes = std::string_view(static_cast<const char *>(place.data), place.size);
        break;
    }
    return key;
}

double RecordSet::placeNumber(uint32_t row) const
{
    const PlaceKey key = placeOf(row);
    return key.rank == 0 ? double(key.number) : std::numeric_limits<double>::quiet_NaN();
}

bool RecordSet::placedBefore(uint32_t a, uint32_t b) const
{
    if (m_positionColumn < 0)
        return a < b;
    const int c = placeOf(a).compare(placeOf(b));
    return c != 0 ? c < 0 : a < b;
}

void RecordSet::orderByPlace(uint32_t *first, uint32_t *last, const std::vector<double> *places) const
{
    if (m_positionColumn < 0 || last - first < 2)
        return;
    // Rows mostly arrive in order already (places written 1, 2, 3 ... in id
    // order): one pass tells, and only a range out of order is sorted.
    bool ordered = true;
    for (uint32_t *r = first + 1; r != last && ordered; ++r) {
        // Rounding to double keeps the order of what it rounds, so a smaller
        // double is a smaller place; anything else is looked at exactly.
        if (places && (*places)[r[-1]] < (*places)[*r])
            continue;
        ordered = placedBefore(r[-1], *r);
    }
    if (ordered)
        return;
    std::vector<std::pair<PlaceKey, uint32_t>> keyed;
    keyed.reserve(size_t(last - first));
    for (uint32_t *r = first; r != last; ++r)
        keyed.emplace_back(placeOf(*r), *r);
    std::sort(keyed.begin(), keyed.end(), [](const auto &a, const auto &b) {
        const int c = a.first.compare(b.first);
        return c != 0 ? c < 0 : a.second < b.second;
    });
    for (size_t i = 0; i < keyed.size(); ++i)
        first[i] = keyed[i].second;
}

Value RecordSet::placeForNewRow(int viewPos)
{
    if (m_positionColumn < 0)
        return Value();
    auto between = [&]() -> std::optional<double> {
        const size_t count = m_view.size();
        std::optional<long double> before, after;
        for (const auto &[side, at] : {std::pair{&before, viewPos - 1}, std::pair{&after, viewPos}}) {
            if (at < 0 || size_t(at) >= count)
                continue;
            const PlaceKey key = placeOf(m_view[size_t(at)]);
            if (key.rank != 0)
                return std::nullopt; // a place that is no number leaves no room to count in
            *side = key.number;
        }
        double place = 1;
        if (before && after)
            place = double((*before + *after) / 2);
        else if (before)
            place = double(*before + 1);
        else if (after)
            place = double(*after - 1);
        if (!std::isfinite(place) || (before && !(place > *before)) || (after && !(place < *after)))
            return std::nullopt;
        return place;
    };
    std::optional<double> place = between();
    if (!place) {
        renumberView();
        place = between();
        if (!place)
            raise(QStringLiteral("Für die neue Zeile wurde kein Platz zwischen ihren Nachbarn gefunden"));
    }
    return Value::fromReal(*place);
}

void RecordSet::renumberView()
{
    resolveWriteTarget();
    const QByteArray place = m_conn.quoteIdentifier(m_originNames[size_t(m_positionColumn)]);
    const QByteArray id = m_conn.quoteIdentifier(m_originNames[size_t(m_idColumn)]);
    const QByteArray sql = "UPDATE " + m_conn.quoteIdentifier(m_writeTable) + " SET " + place + " = ?1 WHERE " + id
                           + " = ?2 AND " + place + ' ' + m_conn.nullSafeEqual() + " ?3";
    std::vector<std::pair<uint32_t, Value>> renumbered;
    {
        Transaction transaction(m_conn, true, QStringLiteral("Die Reihenfolge der Zeilen konnte nicht gespeichert werden"));
        StatementHandle st = m_conn.prepare(sql);
        for (size_t i = 0; i < m_view.size(); ++i) {
            const uint32_t row = m_view[i];
            const Value fresh = Value::fromReal(double(i + 1));
            const Value read = m_snapshot.value(row, m_positionColumn);
            if (read == fresh)
                continue;
            st->bind(1, fresh);
            st->bindInteger(2, m_snapshot.integer(row, m_idColumn));
            // Only the place as read is overwritten: another program that moved
            // or deleted a line meanwhile would otherwise be overruled unseen.
            st->bind(3, read);
            st->run();
            if (m_conn.changes() == 0) {
                const QString what = QStringLiteral("Die Reihenfolge der Zeilen wurde inzwischen von einem anderen Programm "
                                                    "geändert; die neue Zeile wurde nicht angelegt.");
                throw ConflictError(what + QStringLiteral(" Bitte neu laden und die Zeile noch einmal einfügen"),
                                    what + QStringLiteral(" Die Zeilen jetzt neu laden?"), [this] {
                                        if (!Active())
                                            return;
                                        Refresh();
                                        // Refresh keeps the rows where they were shown; read anew, they take their places.
                                        m_viewValid = false;
                                        First();
                                    });
            }
            renumbered.emplace_back(row, fresh);
        }
        transaction.commit();
    }
    // The rows as read are the rows as written now, so that the next store
    // or delete of one of them finds it unchanged. They leave their groups
    // under their old places and come back under the new ones.
    for (const auto &entry : renumbered)
        removeFromGroup(entry.first);
    for (const auto &[row, fresh] : renumbered) {
        std::vector<Value> values;
        values.reserve(size_t(m_snapshot.columnCount()));
        for (int c = 0; c < m_snapshot.columnCount(); ++c)
            values.push_back(c == m_positionColumn ? fresh : m_snapshot.value(row, c));
        m_snapshot.replace(row, values);
    }
    for (const auto &entry : renumbered)
        addToGroup(entry.first);
}
