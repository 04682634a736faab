#include "einvoice/store.h"

#include "data/engine.h"
#include "data/errors.h"
#include "data/years.h"
#include "einvoice/businesstables.h"
#include "einvoice/checks.h"
#include "einvoice/prefill.h"
#include "einvoice/validation.h"

#include <QFile>

#include <sqlite3.h>

namespace einvoice {

namespace {

// Each field and its column, so that reading and writing cannot disagree.
struct SellerColumn
{
    const char *column;
    QString Seller::*member;
};
const SellerColumn sellerColumns[] = {
    {"name", &Seller::businessName},
    {"inhaber", &Seller::owner},
    {"strasse", &Seller::street},
    {"cap", &Seller::cap},
    {"ort", &Seller::town},
    {"provinz", &Seller::province},
    {"land", &Seller::country},
    {"ust_land", &Seller::vatCountry},
    {"ust_nr", &Seller::vatNumber},
    {"steuernummer", &Seller::fiscalCode},
    {"steuerregime", &Seller::taxRegime},
    {"telefon", &Seller::telephone},
    {"email", &Seller::email},
    {"bank", &Seller::bankName},
    {"iban", &Seller::iban},
    {"bic", &Seller::bic},
    {"zahlungszeile", &Seller::paymentLine},
    {"naechste_uebertragung", &Seller::nextTransmissionNumber},
};

// The person flag is stored as 0/1 in `person` before these.
struct BuyerColumn
{
    const char *column;
    QString Buyer::*member;
};
const BuyerColumn buyerColumns[] = {
    {"vorname", &Buyer::firstName},
    {"nachname", &Buyer::lastName},
    {"ust_land", &Buyer::vatCountry},
    {"ust_nr", &Buyer::vatNumber},
    {"steuernummer", &Buyer::fiscalCode},
    {"empfaengercode", &Buyer::recipientCode},
    {"pec", &Buyer::pec},
    {"strasse", &Buyer::street},
    {"hausnummer", &Buyer::houseNumber},
    {"cap", &Buyer::cap},
    {"ort", &Buyer::town},
    {"provinz", &Buyer::province},
    {"land", &Buyer::country},
};

template <class Columns>
QByteArray columnList(const Columns &columns, const char *prefix = "")
{
    QByteArray list;
    for (const auto &c : columns) {
        if (!list.isEmpty())
            list += ", ";
        list += prefix;
        list += c.column;
    }
    return list;
}

QByteArray placeholders(int count, int first)
{
    QByteArray list;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            list += ", ";
        list += '?' + QByteArray::number(first + i);
    }
    return list;
}

void bindText(Connection &connection, sqlite3_stmt *st, int index, const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    // An empty text is stored as '' and not as NULL, so it comes back as it went.
    const int rc = sqlite3_bind_text(st, index, utf8.isNull() ? "" : utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        connection.fail(rc);
}

void bindInteger(Connection &connection, sqlite3_stmt *st, int index, qint64 value)
{
    const int rc = sqlite3_bind_int64(st, index, value);
    if (rc != SQLITE_OK)
        connection.fail(rc);
}

std::optional<QString> columnText(sqlite3_stmt *st, int column)
{
    if (sqlite3_column_type(st, column) == SQLITE_NULL)
        return std::nullopt;
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, column)),
                             sqlite3_column_bytes(st, column));
}

// One step of a statement that yields a row or is done; anything else is the
// engine's error, said in the words of `what`.
bool nextRow(Connection &connection, sqlite3_stmt *st, const QString &what)
{
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        connection.fail(rc, what);
    return false;
}

void execute(Connection &connection, const char *sql, const QString &what)
{
    const int rc = sqlite3_exec(connection.handle(), sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        connection.fail(rc, what);
}

bool tableExists(Connection &connection, const char *table)
{
    sqlite3_stmt *st = connection.prepare("SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?1 COLLATE NOCASE");
    const StatementReset reset(st);
    bindText(connection, st, 1, QString::fromLatin1(table));
    return nextRow(connection, st, QStringLiteral("Die Tabellen der Datenbank können nicht gelesen werden"));
}

void requireTable(Connection &connection, const char *table)
{
    if (!tableExists(connection, table))
        throw EngineError(NoBusinessData);
}

// A unit of work of its own when the connection is in none, else a savepoint
// in the caller's; rolled back unless committed.
class Transaction
{
public:
    // writeLock takes the database's write lock at once, so that what is read
    // inside cannot be changed by another program before it is written.
    Transaction(Connection &connection, bool writeLock, QString what)
        : m_connection(connection), m_nested(sqlite3_get_autocommit(connection.handle()) == 0), m_what(std::move(what))
    {
        execute(m_connection, m_nested ? "SAVEPOINT einvoice_store" : writeLock ? "BEGIN IMMEDIATE" : "BEGIN", m_what);
    }
    ~Transaction()
    {
        if (!m_committed)
            sqlite3_exec(m_connection.handle(),
                         m_nested ? "ROLLBACK TO einvoice_store; RELEASE einvoice_store" : "ROLLBACK", nullptr, nullptr,
                         nullptr);
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    void commit()
    {
        execute(m_connection, m_nested ? "RELEASE einvoice_store" : "COMMIT", m_what);
        m_committed = true;
    }

private:
    Connection &m_connection;
    bool m_nested;
    QString m_what;
    bool m_committed = false;
};

const QString ReadBusinessData = QStringLiteral("Die Firmendaten können nicht gelesen werden");
const QString StoreBusinessData = QStringLiteral("Die Firmendaten können nicht gespeichert werden");
const QString ReadCustomerData = QStringLiteral("Die Daten des Kunden für die elektronische Rechnung können nicht gelesen werden");
const QString CountNumberUp =
    QStringLiteral("Die Übertragungsnummer der elektronischen Rechnung kann nicht weitergezählt werden");
const QString StoreCustomerData =
    QStringLiteral("Die Daten des Kunden für die elektronische Rechnung können nicht gespeichert werden");

// The first row counts, should a file ever hold more than one.
const char *const FirstBusinessRow = "(SELECT min(id) FROM firma)";

} // namespace

bool hasBusinessTables(Connection &connection)
{
    return tableExists(connection, "firma") && tableExists(connection, "kunde_efattura");
}

void createBusinessTables(Connection &connection)
{
    const QString what = QStringLiteral("Die Tabellen für die Firmendaten konnten nicht angelegt werden");
    Transaction transaction(connection, true, what);
    execute(connection, BusinessTablesSql, what);
    transaction.commit();
}

std::optional<Seller> loadSeller(Connection &connection)
{
    if (!tableExists(connection, "firma"))
        return std::nullopt;
    sqlite3_stmt *st = connection.prepare("SELECT " + columnList(sellerColumns) + " FROM firma WHERE id = " +
                                          FirstBusinessRow);
    const StatementReset reset(st);
    Seller seller;
    if (nextRow(connection, st, ReadBusinessData)) {
        int column = 0;
        for (const SellerColumn &c : sellerColumns) {
            if (const std::optional<QString> value = columnText(st, column++))
                seller.*c.member = *value;
        }
    }
    return seller;
}

void saveSeller(Connection &connection, const Seller &seller)
{
    checkSeller(seller);
    requireTable(connection, "firma");
    const int count = int(std::size(sellerColumns));
    sqlite3_stmt *st = connection.prepare("INSERT OR REPLACE INTO firma (id, " + columnList(sellerColumns) +
                                          ") VALUES (coalesce(" + FirstBusinessRow + ", 1), " +
                                          placeholders(count, 1) + ")");
    const StatementReset reset(st);
    int index = 1;
    for (const SellerColumn &c : sellerColumns)
        bindText(connection, st, index++, seller.*c.member);
    nextRow(connection, st, StoreBusinessData);
}

std::optional<Buyer> loadBuyer(Connection &connection, qint64 customerId)
{
    if (!tableExists(connection, "kunde_efattura"))
        return std::nullopt;
    sqlite3_stmt *st = connection.prepare("SELECT e.person, k.name, k.name2, " + columnList(buyerColumns, "e.") +
                                          " FROM kunde_efattura e LEFT JOIN kunde k ON k.id = e.kunde_id"
                                          " WHERE e.kunde_id = ?1");
    const StatementReset reset(st);
    bindInteger(connection, st, 1, customerId);
    if (!nextRow(connection, st, ReadCustomerData))
        return std::nullopt;
    Buyer buyer;
    buyer.isPerson = sqlite3_column_int(st, 0) != 0;
    buyer.name = columnText(st, 1).value_or(QString());
    buyer.owner = columnText(st, 2).value_or(QString());
    int column = 3;
    for (const BuyerColumn &c : buyerColumns) {
        if (const std::optional<QString> value = columnText(st, column++))
            buyer.*c.member = *value;
    }
    return buyer;
}

void saveBuyer(Connection &connection, qint64 customerId, const Buyer &buyer)
{
    checkBuyer(buyer);
    requireTable(connection, "kunde_efattura");
    const int count = int(std::size(buyerColumns));
    // Only for a customer that is there: a row of nobody's would never be read.
    sqlite3_stmt *st = connection.prepare("INSERT OR REPLACE INTO kunde_efattura (kunde_id, person, " +
                                          columnList(buyerColumns) + ") SELECT ?1, ?2, " +
                                          placeholders(count, 3) +
                                          " WHERE EXISTS (SELECT 1 FROM kunde WHERE id = ?1)");
    const StatementReset reset(st);
    bindInteger(connection, st, 1, customerId);
    bindInteger(connection, st, 2, buyer.isPerson ? 1 : 0);
    int index = 3;
    for (const BuyerColumn &c : buyerColumns)
        bindText(connection, st, index++, buyer.*c.member);
    nextRow(connection, st, StoreCustomerData);
    if (sqlite3_changes(connection.handle()) == 0)
        throw EngineError(StoreCustomerData + QStringLiteral(": Den Kunden gibt es in der Datenbank nicht mehr."));
}

void forgetBuyer(Connection &connection, qint64 customerId)
{
    if (!tableExists(connection, "kunde_efattura"))
        return;
    sqlite3_stmt *st = connection.prepare("DELETE FROM kunde_efattura WHERE kunde_id = ?1");
    const StatementReset reset(st);
    bindInteger(connection, st, 1, customerId);
    nextRow(connection, st, QStringLiteral("Die Daten des Kunden für die elektronische Rechnung können nicht gelöscht werden"));
}

Buyer buyerOfCustomer(Connection &connection, qint64 customerId)
{
    if (std::optional<Buyer> stored = loadBuyer(connection, customerId))
        return *stored;
    sqlite3_stmt *st = connection.prepare("SELECT name, name2, piva, adresse FROM kunde WHERE id = ?1");
    const StatementReset reset(st);
    bindInteger(connection, st, 1, customerId);
    if (!nextRow(connection, st, ReadCustomerData))
        throw EngineError(QStringLiteral("Den Kunden mit der Nummer %1 gibt es in der Datenbank nicht.").arg(customerId));
    const auto text = [&](int column) { return columnText(st, column).value_or(QString()); };
    return buyerFromCustomer(text(0), text(1), text(2), text(3));
}

StoredInvoice loadInvoice(Connection &connection, int year, const QString &nr)
{
    bool found = false;
    for (const YearTables &y : findYears(connection.handle()))
        found = found || y.year == year;
    if (!found)
        throw ConversionError(QStringLiteral("Für das Jahr %1 gibt es keine Rechnungen in der Datenbank.").arg(year));
    const YearTables tables = tablesOfYear(year);
    const QString read = QStringLiteral("Die Rechnung %1 des Jahres %2 kann nicht gelesen werden").arg(nr).arg(year);

    StoredInvoice invoice;
    {
        sqlite3_stmt *st = connection.prepare(QStringLiteral("SELECT kundennummer, nr, datum FROM %1 WHERE nr = ?1 "
                                                             "ORDER BY id LIMIT 1")
                                                  .arg(tables.headerTable)
                                                  .toUtf8());
        const StatementReset reset(st);
        bindText(connection, st, 1, nr);
        if (!nextRow(connection, st, read))
            throw ConversionError(QStringLiteral("Die Rechnung Nr. %1 gibt es im Jahr %2 nicht.").arg(nr).arg(year));
        bool isNumber = false;
        const qint64 customerId = columnText(st, 0).value_or(QString()).trimmed().toLongLong(&isNumber);
        invoice.customerId = isNumber ? customerId : 0;
        invoice.header.nr = columnText(st, 1).value_or(QString());
        invoice.header.datum = columnText(st, 2).value_or(QString());
    }
    sqlite3_stmt *st = connection.prepare(QStringLiteral("SELECT beschreibung, anzahl, einzelpreis FROM %1 "
                                                         "WHERE rechnungsnummer = ?1 ORDER BY id")
                                              .arg(tables.lineTable)
                                              .toUtf8());
    const StatementReset reset(st);
    bindText(connection, st, 1, nr);
    while (nextRow(connection, st, read)) {
        const auto text = [&](int column) { return columnText(st, column).value_or(QString()); };
        invoice.lines.append({text(0), text(1), text(2)});
    }
    return invoice;
}

QString exportInvoice(Connection &connection, const Seller &seller, const Buyer &buyer, const InvoiceHeader &header,
                      const QList<InvoiceLine> &lines, const QString &folder, const Separators &separators)
{
    requireTable(connection, "firma");
    Transaction transaction(connection, true, CountNumberUp);
    QString number;
    {
        sqlite3_stmt *st = connection.prepare(QByteArray("SELECT naechste_uebertragung FROM firma WHERE id = ") +
                                              FirstBusinessRow);
        const StatementReset reset(st);
        if (!nextRow(connection, st, ReadBusinessData))
            throw EngineError(NoBusinessData);
        number = columnText(st, 0).value_or(QString());
    }
    Seller current = seller;
    current.nextTransmissionNumber = number;
    const FatturaPA invoice = makeFatturaPA(current, buyer, header, lines, number, bundledSchemaFile(), separators);
    // Before the file is written: a number that cannot be counted on any
    // further must not be used at all.
    const QString following = followingTransmissionNumber(number);
    const QString path = saveFatturaPA(invoice, folder);
    try {
        sqlite3_stmt *st = connection.prepare(QByteArray("UPDATE firma SET naechste_uebertragung = ?1 WHERE id = ") +
                                              FirstBusinessRow);
        const StatementReset reset(st);
        bindText(connection, st, 1, following);
        nextRow(connection, st, CountNumberUp);
        transaction.commit();
    } catch (...) {
        // The number was not counted up, so the next export would use it
        // again: a file under it must not stay behind to be sent.
        QFile::remove(path);
        throw;
    }
    return path;
}

} // namespace einvoice
