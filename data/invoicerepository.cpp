#include "invoicerepository.h"

#include "engine.h"
#include "errors.h"
#include "schema.h"
#include "years.h"

#include <algorithm>
#include <vector>

namespace {

// A text as the record sets show it; NULL stays a null QString and an empty
// text an empty one, so that writing it back stores what was read.
QString storedText(const Statement &st, int column, const Separators &separators)
{
    const Value value = st.columnValue(column);
    if (value.isNull())
        return QString();
    QString text = value.toText(separators);
    if (text.isNull())
        text = QLatin1String("");
    return text;
}

void bindStored(Statement &st, int index, const QString &text)
{
    if (text.isNull())
        st.bindNull(index);
    else
        st.bindText(index, text);
}

YearTables existingTables(Database &database, int year)
{
    const std::vector<YearTables> years = findYears(database);
    if (std::none_of(years.begin(), years.end(), [&](const YearTables &y) { return y.year == year; }))
        throw ConversionError(QStringLiteral("Für das Jahr %1 gibt es keine Rechnungen in der Datenbank.").arg(year));
    return tablesOfYear(year);
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

Invoice InvoiceRepository::load(int year, Key key, const QString &nr, qint64 headerId)
{
    const YearTables tables = existingTables(m_database, year);
    const auto text = [&](const Statement &st, int column) { return storedText(st, column, m_separators); };

    Invoice invoice;
    // The lines belong to the header by the text of its nr, as the line set
    // follows the header set.
    Value lineKey;
    withContext(cannotRead(nr, year), [&] {
        using namespace schema::header;
        const QString where = key == Key::Number ? QStringLiteral("%1 = ?1 ORDER BY %2 LIMIT 1").arg(Number, Id)
                                                 : QStringLiteral("%1 = ?1").arg(Id);
        StatementHandle st = m_database.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                                                    .arg(schema::columnList({Id, Number, Date, Payment, CustomerId, Destination}),
                                                         tables.headerTable, where)
                                                    .toUtf8());
        if (key == Key::Number)
            st->bindText(1, nr);
        else
            st->bindInteger(1, headerId);
        if (!st->step()) {
            if (key == Key::Number)
                throw ConversionError(QStringLiteral("Die Rechnung Nr. %1 gibt es im Jahr %2 nicht.").arg(nr).arg(year));
            throw ConversionError(QStringLiteral("Diese Rechnung gibt es im Jahr %1 nicht mehr in der Datenbank.").arg(year));
        }
        InvoiceHeader &header = invoice.header;
        header.id = st->columnInteger(0);
        header.nr = text(*st, 1);
        header.datum = text(*st, 2);
        header.bezahlung = text(*st, 3);
        header.kundennummer = text(*st, 4);
        header.bestimmungsort = text(*st, 5);
        const Value stored = st->columnValue(1);
        if (!stored.isNull())
            lineKey = Value::fromUtf8(stored.toUtf8Text().toStdString());
    });

    withContext(cannotRead(invoice.header.nr, year), [&] {
        if (const qint64 customerId = invoice.header.customerId()) {
            using namespace schema::customer;
            StatementHandle st = m_database.prepare(
                QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?1")
                    .arg(schema::columnList({Id, Name, Address, Telephone, VatNumber, Salutation, CustomerNumber, Owner}), Table, Id)
                    .toUtf8());
            st->bindInteger(1, customerId);
            if (st->step()) {
                Customer &customer = invoice.customer;
                customer.id = st->columnInteger(0);
                customer.name = text(*st, 1);
                customer.adresse = text(*st, 2);
                customer.telefon = text(*st, 3);
                customer.piva = text(*st, 4);
                customer.ansprache = text(*st, 5);
                customer.kundennr = text(*st, 6);
                customer.name2 = text(*st, 7);
            }
        }

        using namespace schema::line;
        const bool rates = hasLineRates(m_database, tables.lineTable);
        const QString columns = rates ? schema::columnList({Id, Description, Quantity, UnitPrice, VatRate, Nature})
                                      : schema::columnList({Id, Description, Quantity, UnitPrice});
        StatementHandle st = m_database.prepare(
            QStringLiteral("SELECT %1 FROM %2 WHERE %3 %4 ?1 ORDER BY %5")
                .arg(columns, tables.lineTable, InvoiceNumber, QString::fromUtf8(m_database.nullSafeEqual()), Id)
                .toUtf8());
        st->bind(1, lineKey);
        while (st->step()) {
            InvoiceLine line{text(*st, 1), text(*st, 2), text(*st, 3), st->columnInteger(0)};
            if (rates) {
                line.steuersatz = text(*st, 4);
                line.natura = text(*st, 5);
            }
            invoice.lines.append(line);
        }
    });
    return invoice;
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
        StatementHandle st = m_database.prepare(
            QStringLiteral("INSERT INTO %1 (%2) VALUES (?1, ?2, ?3, ?4, ?5)")
                .arg(tables.headerTable, schema::columnList({Number, Date, Payment, CustomerId, Destination}))
                .toUtf8());
        bindStored(*st, 1, header.nr);
        bindStored(*st, 2, header.datum);
        bindStored(*st, 3, header.bezahlung);
        bindStored(*st, 4, header.kundennummer);
        bindStored(*st, 5, header.bestimmungsort);
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
        StatementHandle line = m_database.prepare(
            (rates ? QStringLiteral("INSERT INTO %1 (%2) VALUES (?1, ?2, ?3, ?4, ?5, ?6)")
                         .arg(tables.lineTable,
                              schema::columnList({InvoiceNumber, Description, Quantity, UnitPrice, VatRate, Nature}))
                   : QStringLiteral("INSERT INTO %1 (%2) VALUES (?1, ?2, ?3, ?4)")
                         .arg(tables.lineTable, schema::columnList({InvoiceNumber, Description, Quantity, UnitPrice})))
                .toUtf8());
        for (const InvoiceLine &l : invoice.lines) {
            bindStored(*line, 1, header.nr);
            bindStored(*line, 2, l.beschreibung);
            bindStored(*line, 3, l.anzahl);
            bindStored(*line, 4, l.einzelpreis);
            if (rates) {
                bindStored(*line, 5, l.steuersatz);
                bindStored(*line, 6, l.natura);
            }
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
