#include "invoicerepository.h"

#include "engine.h"
#include "errors.h"
#include "schema.h"
#include "storedrow.h"
#include "years.h"

#include <QHash>
#include <algorithm>
#include <vector>

namespace {

YearTables existingTables(Database &database, int year)
{
    const std::vector<YearTables> years = findYears(database);
    if (std::none_of(years.begin(), years.end(), [&](const YearTables &y) { return y.year == year; }))
        throw ConversionError(QStringLiteral("Für das Jahr %1 gibt es keine Rechnungen in der Datenbank.").arg(year));
    return tablesOfYear(year);
}

// The header's columns a year made before them lacks, and the member each fills.
struct OptionalHeaderColumn
{
    QLatin1StringView column;
    QString InvoiceHeader::*member;
};
constexpr OptionalHeaderColumn OptionalHeaderColumns[] = {
    {schema::header::DocumentKind, &InvoiceHeader::dokumentart},
    {schema::header::ReferenceNumber, &InvoiceHeader::bezug_nr},
    {schema::header::ReferenceDate, &InvoiceHeader::bezug_datum},
    {schema::header::DueDate, &InvoiceHeader::faellig},
    {schema::header::PaidDate, &InvoiceHeader::bezahlt_am},
};

// The same for a line: the rate and its nature, the delivery note it came with.
struct OptionalLineColumn
{
    QLatin1StringView column;
    QString InvoiceLine::*member;
};
constexpr OptionalLineColumn OptionalLineColumns[] = {
    {schema::line::VatRate, &InvoiceLine::steuersatz},
    {schema::line::Nature, &InvoiceLine::natura},
    {schema::line::DeliveryNoteNumber, &InvoiceLine::lieferschein_nr},
    {schema::line::DeliveryNoteDate, &InvoiceLine::lieferschein_datum},
};

template <class Column, size_t N>
std::vector<Column> presentColumns(Database &database, const QString &table, const Column (&all)[N])
{
    std::vector<Column> present;
    for (const Column &c : all)
        if (database.columnInfo(table.toUtf8(), schema::sql(c.column)).found)
            present.push_back(c);
    return present;
}

std::vector<OptionalHeaderColumn> presentHeaderColumns(Database &database, const QString &headerTable)
{
    return presentColumns(database, headerTable, OptionalHeaderColumns);
}

std::vector<OptionalLineColumn> presentLineColumns(Database &database, const QString &lineTable)
{
    return presentColumns(database, lineTable, OptionalLineColumns);
}

// A value the object has for a column the table lacks is refused rather than dropped.
template <class Object, class Column, size_t N>
void refuseMissingColumns(const Object &object, const std::vector<Column> &present, const Column (&all)[N], const QString &table)
{
    for (const Column &c : all) {
        const bool there = std::any_of(present.begin(), present.end(), [&](const Column &p) { return p.column == c.column; });
        if (!there && !(object.*c.member).isEmpty())
            throw EngineError(QStringLiteral("Die Tabelle '%1' hat noch keine Spalte '%2': bitte die Datenbank "
                                             "zuerst ergänzen lassen.")
                                  .arg(table, c.column));
    }
}

QString cannotRead(const QString &nr, int year)
{
    if (nr.isNull())
        return QStringLiteral("Die Rechnung des Jahres %1 kann nicht gelesen werden").arg(year);
    return QStringLiteral("Die Rechnung %1 des Jahres %2 kann nicht gelesen werden").arg(nr).arg(year);
}

} // namespace

InvoiceRepository::InvoiceRepository(Database &database, const Separators &separators)
    : m_database(database), m_separators(separators)
{
}

Invoice InvoiceRepository::loadByNumber(int year, const QString &nr)
{
    return load(year, Key::Number, nr, 0);
}

Invoice InvoiceRepository::loadById(int year, qint64 headerId)
{
    return load(year, Key::Id, QString(), headerId);
}

// The statements' columns and how a row of each becomes its struct, for one
// invoice and for a whole year alike.
namespace {

struct Columns
{
    std::vector<OptionalHeaderColumn> optionalHeader;
    std::vector<OptionalLineColumn> optionalLine;

    Columns(Database &database, const YearTables &tables)
        : optionalHeader(presentHeaderColumns(database, tables.headerTable)),
          optionalLine(presentLineColumns(database, tables.lineTable))
    {
    }

    QString header() const
    {
        using namespace schema::header;
        QString columns = schema::columnList({Id, Number, Date, Payment, CustomerId, Destination});
        for (const OptionalHeaderColumn &c : optionalHeader)
            columns += QStringLiteral(", ") + c.column;
        return columns;
    }
    // The line's invoice number comes last, for the year's lines to be sorted to their headers.
    QString line() const
    {
        using namespace schema::line;
        QString columns = schema::columnList({Id, Description, Quantity, UnitPrice, InvoiceNumber});
        for (const OptionalLineColumn &c : optionalLine)
            columns += QStringLiteral(", ") + c.column;
        return columns;
    }
};

InvoiceHeader readHeader(const Statement &st, const std::vector<OptionalHeaderColumn> &optional, const Separators &separators)
{
    InvoiceHeader header;
    header.id = st.columnInteger(0);
    header.nr = storedText(st, 1, separators);
    header.datum = storedText(st, 2, separators);
    header.bezahlung = storedText(st, 3, separators);
    header.kundennummer = storedText(st, 4, separators);
    header.bestimmungsort = storedText(st, 5, separators);
    for (size_t i = 0; i < optional.size(); ++i)
        header.*optional[i].member = storedText(st, 6 + int(i), separators);
    return header;
}

InvoiceLine readLine(const Statement &st, const std::vector<OptionalLineColumn> &optional, const Separators &separators)
{
    const auto text = [&](int column) { return storedText(st, column, separators); };
    InvoiceLine line{text(1), text(2), text(3), st.columnInteger(0)};
    for (size_t i = 0; i < optional.size(); ++i)
        line.*optional[i].member = text(5 + int(i));
    return line;
}

} // namespace

Invoice InvoiceRepository::load(int year, Key key, const QString &nr, qint64 headerId)
{
    const YearTables tables = existingTables(m_database, year);

    Invoice invoice;
    // The lines belong to the header by the text of its nr, as the line set
    // follows the header set.
    Value lineKey;
    const Columns columns = withContext(cannotRead(nr, year), [&] { return Columns(m_database, tables); });
    withContext(cannotRead(nr, year), [&] {
        using namespace schema::header;
        const QString where = key == Key::Number ? QStringLiteral("%1 = ?1 ORDER BY %2 LIMIT 1").arg(Number, Id)
                                                 : QStringLiteral("%1 = ?1").arg(Id);
        StatementHandle st = m_database.prepare(
            QStringLiteral("SELECT %1 FROM %2 WHERE %3").arg(columns.header(), tables.headerTable, where).toUtf8());
        if (key == Key::Number)
            st->bindText(1, nr);
        else
            st->bindInteger(1, headerId);
        if (!st->step()) {
            if (key == Key::Number)
                throw ConversionError(QStringLiteral("Die Rechnung Nr. %1 gibt es im Jahr %2 nicht.").arg(nr).arg(year));
            throw ConversionError(QStringLiteral("Diese Rechnung gibt es im Jahr %1 nicht mehr in der Datenbank.").arg(year));
        }
        invoice.header = readHeader(*st, columns.optionalHeader, m_separators);
        const Value stored = st->columnValue(1);
        if (!stored.isNull())
            lineKey = Value::fromUtf8(stored.toUtf8Text().toStdString());
    });

    withContext(cannotRead(invoice.header.nr, year), [&] {
        invoice.customer = loadCustomer(m_database, invoice.header.customerId(), m_separators);

        using namespace schema::line;
        StatementHandle st = m_database.prepare(
            QStringLiteral("SELECT %1 FROM %2 WHERE %3 %4 ?1 ORDER BY %5")
                .arg(columns.line(), tables.lineTable, InvoiceNumber, QString::fromUtf8(m_database.nullSafeEqual()),
                     lineOrder(m_database, tables.lineTable))
                .toUtf8());
        st->bind(1, lineKey);
        while (st->step())
            invoice.lines.append(readLine(*st, columns.optionalLine, m_separators));
    });
    return invoice;
}

QList<Invoice> InvoiceRepository::loadYear(int year, const std::function<bool(const InvoiceHeader &)> &wanted)
{
    const YearTables tables = existingTables(m_database, year);
    QList<Invoice> invoices;
    withContext(QStringLiteral("Die Rechnungen des Jahres %1 können nicht gelesen werden").arg(year), [&] {
        const Columns columns(m_database, tables);
        QHash<qint64, Customer> customers;
        {
            StatementHandle st = m_database.prepare(
                QStringLiteral("SELECT %1 FROM %2").arg(customerColumns(), schema::customer::Table).toUtf8());
            while (st->step()) {
                Customer c = readCustomer(*st, m_separators);
                customers.insert(c.id, c);
            }
        }
        // A header's lines are those whose invoice number has the text of its nr.
        QHash<QByteArray, QList<qsizetype>> byNumber;
        {
            StatementHandle st = m_database.prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                                                        .arg(columns.header(), tables.headerTable, schema::header::Id)
                                                        .toUtf8());
            while (st->step()) {
                Invoice invoice;
                invoice.header = readHeader(*st, columns.optionalHeader, m_separators);
                if (wanted && !wanted(invoice.header))
                    continue;
                invoice.customer = customers.value(invoice.header.customerId());
                const Value nr = st->columnValue(1);
                if (!nr.isNull())
                    byNumber[nr.toUtf8Text()].append(invoices.size());
                invoices.append(invoice);
            }
        }
        StatementHandle st = m_database.prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                                                    .arg(columns.line(), tables.lineTable, lineOrder(m_database, tables.lineTable))
                                                    .toUtf8());
        while (st->step()) {
            const Value nr = st->columnValue(4);
            if (nr.isNull())
                continue;
            const auto found = byNumber.constFind(nr.toUtf8Text());
            if (found == byNumber.constEnd())
                continue;
            const InvoiceLine line = readLine(*st, columns.optionalLine, m_separators);
            for (qsizetype index : *found)
                invoices[index].lines.append(line);
        }
    });
    return invoices;
}

void InvoiceRepository::insert(int year, Invoice &invoice)
{
    const YearTables tables = tablesOfYear(year);
    const QString what = QStringLiteral("Die Rechnung %1 kann nicht gespeichert werden").arg(invoice.header.nr);
    const InvoiceHeader &header = invoice.header;
    qint64 headerId = 0;
    std::vector<qint64> lineIds;

    Transaction transaction(m_database, true, what);
    withContext(what, [&] {
        using namespace schema::header;
        const std::vector<OptionalHeaderColumn> optional = presentHeaderColumns(m_database, tables.headerTable);
        refuseMissingColumns(header, optional, OptionalHeaderColumns, tables.headerTable);
        QString columns = schema::columnList({Number, Date, Payment, CustomerId, Destination});
        QString values = QStringLiteral("?1, ?2, ?3, ?4, ?5");
        for (size_t i = 0; i < optional.size(); ++i) {
            columns += QStringLiteral(", ") + optional[i].column;
            values += QStringLiteral(", ?%1").arg(6 + i);
        }
        StatementHandle st = m_database.prepare(
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(tables.headerTable, columns, values).toUtf8());
        bindStored(*st, 1, header.nr);
        bindStored(*st, 2, header.datum);
        bindStored(*st, 3, header.bezahlung);
        bindStored(*st, 4, header.kundennummer);
        bindStored(*st, 5, header.bestimmungsort);
        for (size_t i = 0; i < optional.size(); ++i)
            bindStored(*st, 6 + int(i), header.*optional[i].member);
        st->run();
        headerId = m_database.lastInsertId();

        using namespace schema::line;
        const bool rates = hasLineRates(m_database, tables.lineTable);
        if (!rates && std::any_of(invoice.lines.begin(), invoice.lines.end(), [](const InvoiceLine &l) {
                return !l.steuersatz.isEmpty() || !l.natura.isEmpty();
            }))
            throw EngineError(QStringLiteral("Die Tabelle '%1' hat noch keine Spalte für den Steuersatz: bitte die "
                                             "Datenbank zuerst ergänzen lassen.")
                                  .arg(tables.lineTable));
        const std::vector<OptionalLineColumn> optionalLine = presentLineColumns(m_database, tables.lineTable);
        for (const InvoiceLine &l : invoice.lines)
            refuseMissingColumns(l, optionalLine, OptionalLineColumns, tables.lineTable);
        const bool positions = hasLinePositions(m_database, tables.lineTable);
        QString lineColumns = schema::columnList({InvoiceNumber, Description, Quantity, UnitPrice});
        QString lineValues = QStringLiteral("?1, ?2, ?3, ?4");
        for (size_t i = 0; i < optionalLine.size(); ++i) {
            lineColumns += QStringLiteral(", ") + optionalLine[i].column;
            lineValues += QStringLiteral(", ?%1").arg(5 + i);
        }
        // The lines' places are their order here: 1, 2, 3 ...
        const int positionIndex = 5 + int(optionalLine.size());
        if (positions) {
            lineColumns += QStringLiteral(", ") + Position;
            lineValues += QStringLiteral(", ?%1").arg(positionIndex);
        }
        StatementHandle line = m_database.prepare(
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(tables.lineTable, lineColumns, lineValues).toUtf8());
        int place = 0;
        for (const InvoiceLine &l : invoice.lines) {
            bindStored(*line, 1, header.nr);
            bindStored(*line, 2, l.beschreibung);
            bindStored(*line, 3, l.anzahl);
            bindStored(*line, 4, l.einzelpreis);
            for (size_t i = 0; i < optionalLine.size(); ++i)
                bindStored(*line, 5 + int(i), l.*optionalLine[i].member);
            if (positions)
                line->bindInteger(positionIndex, ++place);
            line->run();
            lineIds.push_back(m_database.lastInsertId());
        }
    });
    transaction.commit();

    // Only once stored: a failure leaves the invoice as it was handed in.
    invoice.header.id = headerId;
    for (qsizetype i = 0; i < invoice.lines.size(); ++i)
        invoice.lines[i].id = lineIds[size_t(i)];
}
