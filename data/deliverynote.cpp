#include "deliverynote.h"

#include "engine.h"
#include "errors.h"
#include "schema.h"
#include "storedrow.h"
#include "years.h"

#include <QHash>
#include <algorithm>

namespace {

QByteArray quoted(Database &db, const QString &name) { return db.quoteIdentifier(name.toUtf8()); }

// The tables' columns, the id first. Texts are kept as the invoice tables
// keep theirs; a botanical name with its cultivar needs more room.
QStringList noteColumns()
{
    using namespace schema::deliveryNote;
    QStringList columns{Id + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT")};
    for (QLatin1StringView c : {Number, Date, CustomerId, Destination, Transport, Reason, Packages, InvoiceNumber})
        columns << c + QStringLiteral(" VARCHAR(50)");
    return columns;
}

QStringList lineColumns()
{
    using namespace schema::deliveryLine;
    return {Id + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT"),
            NoteNumber + QStringLiteral(" VARCHAR(50)"),
            Position + QStringLiteral(" DOUBLE PRECISION"),
            Description + QStringLiteral(" VARCHAR(50)"),
            Quantity + QStringLiteral(" VARCHAR(50)"),
            Unit + QStringLiteral(" VARCHAR(50)"),
            UnitPrice + QStringLiteral(" VARCHAR(50)"),
            VatRate + QStringLiteral(" VARCHAR(2)"),
            BotanicalName + QStringLiteral(" VARCHAR(100)"),
            Traceability + QStringLiteral(" VARCHAR(50)"),
            Origin + QStringLiteral(" VARCHAR(50)")};
}

QString selectNotes()
{
    using namespace schema::deliveryNote;
    return schema::columnList({Id, Number, Date, CustomerId, Destination, Transport, Reason, Packages, InvoiceNumber});
}

DeliveryNote readNote(const Statement &st, const Separators &separators)
{
    const auto text = [&](int column) { return storedText(st, column, separators); };
    return {text(1), text(2), text(3), text(4), text(5), text(6), text(7), text(8), st.columnInteger(0)};
}

// The note's number comes last, for a year's lines to be sorted to their notes.
QString selectLines()
{
    using namespace schema::deliveryLine;
    return schema::columnList(
        {Id, Description, Quantity, Unit, UnitPrice, VatRate, BotanicalName, Traceability, Origin, NoteNumber});
}
constexpr int LineNoteNumberColumn = 9;

DeliveryLine readLine(const Statement &st, const Separators &separators)
{
    const auto text = [&](int column) { return storedText(st, column, separators); };
    return {text(1), text(2), text(3), text(4), text(5), text(6), text(7), text(8), st.columnInteger(0)};
}

QString lineOrderOfNotes()
{
    using namespace schema::deliveryLine;
    return QStringLiteral("coalesce(%1, %2), %2").arg(Position, Id);
}

void requireTables(Database &db, int year)
{
    if (!hasDeliveryTables(db, year))
        throw ConversionError(QStringLiteral("Für das Jahr %1 gibt es noch keine Lieferscheine in der Datenbank.").arg(year));
}

} // namespace

DeliveryTables deliveryTablesOfYear(int year)
{
    return {year, schema::deliveryNote::tableOfYear(year), schema::deliveryLine::tableOfYear(year)};
}

bool hasDeliveryTables(Database &db, int year)
{
    const DeliveryTables tables = deliveryTablesOfYear(year);
    return withContext(QStringLiteral("Die Tabellen der Datenbank können nicht gelesen werden"),
                       [&] { return db.hasTable(tables.noteTable) && db.hasTable(tables.lineTable); });
}

std::vector<int> yearsWithoutDeliveryTables(Database &db)
{
    std::vector<int> missing;
    for (const YearTables &y : findYears(db))
        if (!hasDeliveryTables(db, y.year))
            missing.push_back(y.year);
    return missing;
}

void createDeliveryTables(Database &db, int year)
{
    const DeliveryTables tables = deliveryTablesOfYear(year);
    const QString what = QStringLiteral("Die Tabellen für die Lieferscheine des Jahres %1 konnten nicht angelegt werden").arg(year);
    Transaction transaction(db, false, what);
    withContext(what, [&] {
        if (!db.hasTable(tables.noteTable))
            db.exec("CREATE TABLE " + quoted(db, tables.noteTable) + " (" + noteColumns().join(QStringLiteral(", ")).toUtf8() + ')');
        if (!db.hasTable(tables.lineTable))
            db.exec("CREATE TABLE " + quoted(db, tables.lineTable) + " (" + lineColumns().join(QStringLiteral(", ")).toUtf8() + ')');
        // Notes are found by number and by customer, their lines by their note's number.
        createYearIndexes(db, {indexOn(tables.noteTable, schema::deliveryNote::Number),
                               indexOn(tables.noteTable, schema::deliveryNote::CustomerId),
                               indexOn(tables.lineTable, schema::deliveryLine::NoteNumber)});
    });
    transaction.commit();
}

const QStringList &transportChoices()
{
    static const QStringList choices{QStringLiteral("Mittente / Absender"), QStringLiteral("Vettore / Frachtführer"),
                                     QStringLiteral("Destinatario / Empfänger")};
    return choices;
}

const QStringList &reasonChoices()
{
    static const QStringList choices{QStringLiteral("Verkauf / Vendita"), QStringLiteral("Ansichtssendung / Conto visione"),
                                     QStringLiteral("Rücksendung / Reso"), QStringLiteral("Kommission / Conto deposito")};
    return choices;
}

qint64 DeliveryNote::customerId() const { return customerIdOf(kundennummer); }

DeliveryNoteRepository::DeliveryNoteRepository(Database &database, const Separators &separators)
    : m_database(database), m_separators(separators)
{
}

DeliveryNoteRecord DeliveryNoteRepository::loadByNumber(int year, const QString &nr)
{
    requireTables(m_database, year);
    const DeliveryTables tables = deliveryTablesOfYear(year);
    DeliveryNoteRecord record;
    record.year = year;
    withContext(QStringLiteral("Der Lieferschein %1 des Jahres %2 kann nicht gelesen werden").arg(nr).arg(year), [&] {
        using namespace schema::deliveryNote;
        StatementHandle st = m_database.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?1 ORDER BY %4 LIMIT 1")
                                                    .arg(selectNotes(), tables.noteTable, Number, Id)
                                                    .toUtf8());
        st->bindText(1, nr);
        if (!st->step())
            throw ConversionError(QStringLiteral("Den Lieferschein Nr. %1 gibt es im Jahr %2 nicht.").arg(nr).arg(year));
        record.note = readNote(*st, m_separators);
        record.customer = loadCustomer(m_database, record.note.customerId(), m_separators);
        StatementHandle lines = m_database.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?1 ORDER BY %4")
                                                       .arg(selectLines(), tables.lineTable, schema::deliveryLine::NoteNumber,
                                                            lineOrderOfNotes())
                                                       .toUtf8());
        lines->bindText(1, record.note.nr);
        while (lines->step())
            record.lines.append(readLine(*lines, m_separators));
    });
    return record;
}

QList<DeliveryNoteRecord> DeliveryNoteRepository::loadYear(int year, const std::function<bool(const DeliveryNote &)> &wanted)
{
    QList<DeliveryNoteRecord> records;
    if (!hasDeliveryTables(m_database, year))
        return records;
    const DeliveryTables tables = deliveryTablesOfYear(year);
    withContext(QStringLiteral("Die Lieferscheine des Jahres %1 können nicht gelesen werden").arg(year), [&] {
        QHash<qint64, Customer> customers;
        QHash<QByteArray, QList<qsizetype>> byNumber;
        {
            StatementHandle st = m_database.prepare(
                QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(selectNotes(), tables.noteTable, schema::deliveryNote::Id).toUtf8());
            while (st->step()) {
                DeliveryNoteRecord record;
                record.year = year;
                record.note = readNote(*st, m_separators);
                if (wanted && !wanted(record.note))
                    continue;
                const qint64 customerId = record.note.customerId();
                if (!customers.contains(customerId))
                    customers.insert(customerId, loadCustomer(m_database, customerId, m_separators));
                record.customer = customers.value(customerId);
                const Value nr = st->columnValue(1);
                if (!nr.isNull())
                    byNumber[nr.toUtf8Text()].append(records.size());
                records.append(record);
            }
        }
        if (records.isEmpty())
            return;
        StatementHandle st = m_database.prepare(
            QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(selectLines(), tables.lineTable, lineOrderOfNotes()).toUtf8());
        while (st->step()) {
            const Value nr = st->columnValue(LineNoteNumberColumn);
            if (nr.isNull())
                continue;
            const auto found = byNumber.constFind(nr.toUtf8Text());
            if (found == byNumber.constEnd())
                continue;
            const DeliveryLine line = readLine(*st, m_separators);
            for (qsizetype index : *found)
                records[index].lines.append(line);
        }
    });
    return records;
}

QString DeliveryNoteRepository::nextNumber(int year)
{
    if (!hasDeliveryTables(m_database, year))
        return QStringLiteral("1");
    const DeliveryTables tables = deliveryTablesOfYear(year);
    qint64 highest = 0;
    withContext(QStringLiteral("Die Lieferscheine des Jahres %1 können nicht gelesen werden").arg(year), [&] {
        StatementHandle st = m_database.prepare(
            QStringLiteral("SELECT %1 FROM %2").arg(schema::deliveryNote::Number, tables.noteTable).toUtf8());
        while (st->step()) {
            bool ok = false;
            const qint64 n = storedText(*st, 0, m_separators).trimmed().toLongLong(&ok);
            if (ok)
                highest = std::max(highest, n);
        }
    });
    return QString::number(highest + 1);
}

void DeliveryNoteRepository::insert(int year, DeliveryNoteRecord &record)
{
    const DeliveryTables tables = deliveryTablesOfYear(year);
    const QString what = QStringLiteral("Der Lieferschein %1 kann nicht gespeichert werden").arg(record.note.nr);
    const DeliveryNote &note = record.note;
    qint64 noteId = 0;
    std::vector<qint64> lineIds;

    Transaction transaction(m_database, true, what);
    if (!hasDeliveryTables(m_database, year))
        createDeliveryTables(m_database, year);
    withContext(what, [&] {
        {
            using namespace schema::deliveryNote;
            StatementHandle st = m_database.prepare(
                QStringLiteral("INSERT INTO %1 (%2) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)")
                    .arg(tables.noteTable,
                         schema::columnList({Number, Date, CustomerId, Destination, Transport, Reason, Packages, InvoiceNumber}))
                    .toUtf8());
            int i = 0;
            for (const QString *text : {&note.nr, &note.datum, &note.kundennummer, &note.bestimmungsort, &note.transport,
                                        &note.grund, &note.colli, &note.rechnung_nr})
                bindStored(*st, ++i, *text);
            st->run();
            noteId = m_database.lastInsertId();
        }
        using namespace schema::deliveryLine;
        StatementHandle st = m_database.prepare(
            QStringLiteral("INSERT INTO %1 (%2) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)")
                .arg(tables.lineTable, schema::columnList({NoteNumber, Position, Description, Quantity, Unit, UnitPrice,
                                                           VatRate, BotanicalName, Traceability, Origin}))
                .toUtf8());
        int place = 0;
        for (const DeliveryLine &l : record.lines) {
            bindStored(*st, 1, note.nr);
            st->bindInteger(2, ++place);
            int i = 2;
            for (const QString *text : {&l.beschreibung, &l.anzahl, &l.einheit, &l.einzelpreis, &l.steuersatz,
                                        &l.botanischer_name, &l.rueckverfolgung, &l.ursprung})
                bindStored(*st, ++i, *text);
            st->run();
            lineIds.push_back(m_database.lastInsertId());
        }
    });
    transaction.commit();

    // Only once stored: a failure leaves the record as it was handed in.
    record.year = year;
    record.note.id = noteId;
    for (qsizetype i = 0; i < record.lines.size(); ++i)
        record.lines[i].id = lineIds[size_t(i)];
}

void DeliveryNoteRepository::markInvoiced(int year, const QList<qint64> &noteIds, const QString &invoiceNr)
{
    requireTables(m_database, year);
    const DeliveryTables tables = deliveryTablesOfYear(year);
    const QString what = QStringLiteral("Die Lieferscheine können nicht als verrechnet vermerkt werden");
    Transaction transaction(m_database, true, what);
    withContext(what, [&] {
        using namespace schema::deliveryNote;
        // Only a note nobody invoiced meanwhile: two PCs never bill one delivery twice.
        StatementHandle st = m_database.prepare(
            QStringLiteral("UPDATE %1 SET %2 = ?1 WHERE %3 = ?2 AND (%2 IS NULL OR trim(%2) = '')")
                .arg(tables.noteTable, InvoiceNumber, Id)
                .toUtf8());
        for (qint64 id : noteIds) {
            st->bindText(1, invoiceNr);
            st->bindInteger(2, id);
            st->run();
            if (m_database.changes() == 1)
                continue;
            StatementHandle which = m_database.prepare(
                QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 = ?1").arg(Number, InvoiceNumber, tables.noteTable, Id).toUtf8());
            which->bindInteger(1, id);
            if (!which->step())
                throw EngineError(QStringLiteral("Ein Lieferschein des Jahres %1 wurde inzwischen gelöscht; "
                                                 "die Sammelrechnung wird nicht gespeichert.")
                                      .arg(year));
            throw EngineError(QStringLiteral("Der Lieferschein Nr. %1 wurde inzwischen mit der Rechnung %2 verrechnet; "
                                             "die Sammelrechnung wird nicht gespeichert.")
                                  .arg(storedText(*which, 0, m_separators), storedText(*which, 1, m_separators)));
        }
    });
    transaction.commit();
}
