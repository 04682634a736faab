#include "einvoice/store.h"

#include "data/engine.h"
#include "data/errors.h"
#include "data/migrations.h"
#include "data/schema.h"
#include "einvoice/checks.h"
#include "einvoice/exportrecord.h"
#include "einvoice/refusal.h"
#include "einvoice/prefill.h"
#include "einvoice/validation.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <vector>

namespace einvoice {

namespace {

using namespace schema;

// Each field and its column, so that reading and writing cannot disagree.
struct SellerColumn
{
    QLatin1StringView column;
    QString Seller::*member;
};
const SellerColumn sellerColumns[] = {
    {business::Name, &Seller::businessName},
    {business::Owner, &Seller::owner},
    {business::Street, &Seller::street},
    {business::Cap, &Seller::cap},
    {business::Town, &Seller::town},
    {business::Province, &Seller::province},
    {business::Country, &Seller::country},
    {business::VatCountry, &Seller::vatCountry},
    {business::VatNumber, &Seller::vatNumber},
    {business::FiscalCode, &Seller::fiscalCode},
    {business::TaxRegime, &Seller::taxRegime},
    {business::Telephone, &Seller::telephone},
    {business::Email, &Seller::email},
    {business::Bank, &Seller::bankName},
    {business::Iban, &Seller::iban},
    {business::Bic, &Seller::bic},
    {business::PaymentLine, &Seller::paymentLine},
    {business::NextTransmissionNumber, &Seller::nextTransmissionNumber},
};
// Columns a file made before them lacks until the user takes the upgrade:
// such a file reads them empty.
struct LaterSellerColumn
{
    SellerColumn column;
    const QString &label;
};
const LaterSellerColumn laterSellerColumns[] = {
    {{business::RegistrationNumber, &Seller::registrationNumber}, field::RegistrationNumber},
    {{business::SiteCode, &Seller::siteCode}, field::SiteCode},
};

// The person flag is stored as 0/1 in `person` before these.
struct BuyerColumn
{
    QLatin1StringView column;
    QString Buyer::*member;
};
const BuyerColumn buyerColumns[] = {
    {customerEInvoice::FirstName, &Buyer::firstName},
    {customerEInvoice::LastName, &Buyer::lastName},
    {customerEInvoice::VatCountry, &Buyer::vatCountry},
    {customerEInvoice::VatNumber, &Buyer::vatNumber},
    {customerEInvoice::FiscalCode, &Buyer::fiscalCode},
    {customerEInvoice::RecipientCode, &Buyer::recipientCode},
    {customerEInvoice::Pec, &Buyer::pec},
    {customerEInvoice::Street, &Buyer::street},
    {customerEInvoice::HouseNumber, &Buyer::houseNumber},
    {customerEInvoice::Cap, &Buyer::cap},
    {customerEInvoice::Town, &Buyer::town},
    {customerEInvoice::Province, &Buyer::province},
    {customerEInvoice::Country, &Buyer::country},
};

template <class Columns>
QByteArray columnList(const Columns &columns, const char *prefix = "")
{
    QByteArray list;
    for (const auto &c : columns) {
        if (!list.isEmpty())
            list += ", ";
        list += prefix;
        list += schema::sql(c.column);
    }
    return list;
}

template <class Columns>
QList<QByteArray> columnNames(const Columns &columns)
{
    QList<QByteArray> names;
    for (const auto &c : columns)
        names << schema::sql(c.column);
    return names;
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

std::optional<QString> columnText(const Statement &st, int column)
{
    if (st.columnType(column) == Value::Null)
        return std::nullopt;
    return st.columnString(column);
}

// One step of a statement that yields a row or is done; anything else is the
// engine's error, said in the words of `what`.
bool nextRow(Statement &st, const QString &what)
{
    return withContext(what, [&] { return st.step(); });
}

bool tableExists(Database &connection, const QString &table)
{
    return withContext(QStringLiteral("Die Tabellen der Datenbank können nicht gelesen werden"),
                       [&] { return connection.hasTable(table); });
}

void requireTable(Database &connection, const QString &table)
{
    if (!tableExists(connection, table))
        throw EngineError(NoBusinessData);
}

const QString ReadBusinessData = QStringLiteral("Die Firmendaten können nicht gelesen werden");
const QString StoreBusinessData = QStringLiteral("Die Firmendaten können nicht gespeichert werden");
const QString ReadCustomerData = QStringLiteral("Die Daten des Kunden für die elektronische Rechnung können nicht gelesen werden");
const QString CountNumberUp =
    QStringLiteral("Die Übertragungsnummer der elektronischen Rechnung kann nicht weitergezählt werden");
const QString StoreCustomerData =
    QStringLiteral("Die Daten des Kunden für die elektronische Rechnung können nicht gespeichert werden");

// A file from before the customer's kind lacks its column: the kind is then
// guessed on every reading, and stored once the file has the column.
bool hasKindColumn(Database &connection)
{
    return connection.columnInfo(sql(customerEInvoice::Table), sql(customerEInvoice::Kind)).found;
}

// The business's columns this file has: every one of the first version,
// and of the later ones those it was given.
std::vector<SellerColumn> sellerColumnsOf(Database &connection)
{
    std::vector<SellerColumn> columns(std::begin(sellerColumns), std::end(sellerColumns));
    for (const LaterSellerColumn &later : laterSellerColumns)
        if (connection.columnInfo(sql(business::Table), sql(later.column.column)).found)
            columns.push_back(later.column);
    return columns;
}

// A value the file has no column for would be lost without a word.
void requireColumnsFor(Database &connection, const Seller &seller)
{
    for (const LaterSellerColumn &later : laterSellerColumns) {
        if ((seller.*later.column.member).isEmpty()
            || connection.columnInfo(sql(business::Table), sql(later.column.column)).found)
            continue;
        throw EngineError(StoreBusinessData
                          + QStringLiteral(": Die Datenbank hat noch keinen Platz für das Feld „%1“. Bitte starten Sie "
                                           "das Programm neu und nehmen Sie die angebotene Aktualisierung der Datenbank "
                                           "an; bis dahin lassen Sie das Feld bitte leer.")
                                .arg(later.label));
    }
}

} // namespace

bool hasBusinessTables(Database &connection)
{
    return isInFile(connection, businessTablesMigration());
}

void createBusinessTables(Database &connection)
{
    // The first migration's tables, asked for by hand: the file's version is
    // left to the question at start-up, which finds them there.
    const QString what = QStringLiteral("Die Tabellen für die Firmendaten konnten nicht angelegt werden");
    Transaction transaction(connection, true, what);
    connection.exec(businessTablesMigration().definition, what);
    transaction.commit();
}

std::optional<Seller> loadSeller(Database &connection)
{
    if (!tableExists(connection, business::Table))
        return std::nullopt;
    const std::vector<SellerColumn> columns = sellerColumnsOf(connection);
    StatementHandle st = connection.prepare("SELECT " + columnList(columns) + " FROM " + sql(business::Table) +
                                            " WHERE " + sql(business::Id) + " = " + firstBusinessRow());
    Seller seller;
    if (nextRow(*st, ReadBusinessData)) {
        int column = 0;
        for (const SellerColumn &c : columns) {
            if (const std::optional<QString> value = columnText(*st, column++))
                seller.*c.member = *value;
        }
    }
    return seller;
}

void saveSeller(Database &connection, const Seller &seller)
{
    checkSeller(seller);
    requireTable(connection, business::Table);
    requireColumnsFor(connection, seller);
    const std::vector<SellerColumn> columns = sellerColumnsOf(connection);
    // Updated in place where the row is there: what the seller does not
    // hold (the logo) stays as it is.
    QByteArray assignments;
    int index = 1;
    for (const SellerColumn &c : columns)
        assignments += (assignments.isEmpty() ? "" : ", ") + sql(c.column) + " = ?" + QByteArray::number(index++);
    Transaction transaction(connection, true, StoreBusinessData);
    StatementHandle update = connection.prepare("UPDATE " + sql(business::Table) + " SET " + assignments + " WHERE " +
                                                sql(business::Id) + " = " + firstBusinessRow());
    index = 1;
    for (const SellerColumn &c : columns)
        update->bindText(index++, seller.*c.member);
    nextRow(*update, StoreBusinessData);
    if (connection.changes() == 0) {
        const int count = int(columns.size());
        StatementHandle insert = connection.prepare(
            "INSERT INTO " + sql(business::Table) + " (" + sql(business::Id) + ", " + columnList(columns) +
            ") VALUES (1, " + placeholders(count, 1) + ")");
        index = 1;
        for (const SellerColumn &c : columns)
            insert->bindText(index++, seller.*c.member);
        nextRow(*insert, StoreBusinessData);
    }
    transaction.commit();
}

std::optional<Buyer> loadBuyer(Database &connection, qint64 customerId)
{
    if (!tableExists(connection, customerEInvoice::Table))
        return std::nullopt;
    const bool withKind = hasKindColumn(connection);
    StatementHandle st = connection.prepare(
        QStringLiteral("SELECT e.%1, k.%2, k.%3, ").arg(customerEInvoice::Person, customer::Name, customer::Owner).toUtf8() +
        columnList(buyerColumns, "e.") + (withKind ? ", e." + sql(customerEInvoice::Kind) : QByteArray()) +
        QStringLiteral(" FROM %1 e LEFT JOIN %2 k ON k.%3 = e.%4 WHERE e.%4 = ?1")
            .arg(customerEInvoice::Table, customer::Table, customer::Id, customerEInvoice::CustomerId)
            .toUtf8());
    st->bindInteger(1, customerId);
    if (!nextRow(*st, ReadCustomerData))
        return std::nullopt;
    Buyer buyer;
    buyer.isPerson = st->columnInteger(0) != 0;
    buyer.name = columnText(*st, 1).value_or(QString());
    buyer.owner = columnText(*st, 2).value_or(QString());
    int column = 3;
    for (const BuyerColumn &c : buyerColumns) {
        if (const std::optional<QString> value = columnText(*st, column++))
            buyer.*c.member = *value;
    }
    bool known = false;
    if (withKind)
        buyer.kind = customerKindOfCode(columnText(*st, column).value_or(QString()), &known);
    if (!known)
        buyer.kind = guessedCustomerKind(buyer);
    return buyer;
}

void saveBuyer(Database &connection, qint64 customerId, const Buyer &buyer)
{
    checkBuyer(buyer);
    requireTable(connection, customerEInvoice::Table);
    const bool withKind = hasKindColumn(connection);
    const int count = int(std::size(buyerColumns)) + (withKind ? 1 : 0);
    QList<QByteArray> columns =
        QList<QByteArray>{sql(customerEInvoice::CustomerId), sql(customerEInvoice::Person)} + columnNames(buyerColumns);
    if (withKind)
        columns << sql(customerEInvoice::Kind);
    // Only for a customer that is there: a row of nobody's would never be read.
    StatementHandle st = connection.prepare(connection.insertOrReplace(
        sql(customerEInvoice::Table), columns,
        "SELECT ?1, ?2, " + placeholders(count, 3) + " WHERE EXISTS (SELECT 1 FROM " + sql(customer::Table) + " WHERE " +
            sql(customer::Id) + " = ?1)"));
    st->bindInteger(1, customerId);
    st->bindInteger(2, buyer.isPerson ? 1 : 0);
    int index = 3;
    for (const BuyerColumn &c : buyerColumns)
        st->bindText(index++, buyer.*c.member);
    if (withKind)
        st->bindText(index++, customerKindCode(buyer.kind));
    nextRow(*st, StoreCustomerData);
    if (connection.changes() == 0)
        throw EngineError(StoreCustomerData + QStringLiteral(": Den Kunden gibt es in der Datenbank nicht mehr."));
}

void forgetBuyer(Database &connection, qint64 customerId)
{
    if (!tableExists(connection, customerEInvoice::Table))
        return;
    StatementHandle st = connection.prepare("DELETE FROM " + sql(customerEInvoice::Table) + " WHERE " +
                                            sql(customerEInvoice::CustomerId) + " = ?1");
    st->bindInteger(1, customerId);
    nextRow(*st, QStringLiteral("Die Daten des Kunden für die elektronische Rechnung können nicht gelöscht werden"));
}

Buyer buyerOfCustomer(Database &connection, qint64 customerId)
{
    if (std::optional<Buyer> stored = loadBuyer(connection, customerId))
        return *stored;
    StatementHandle st = connection.prepare(QStringLiteral("SELECT %1, %2, %3, %4 FROM %5 WHERE %6 = ?1")
                                                .arg(customer::Name, customer::Owner, customer::VatNumber, customer::Address,
                                                     customer::Table, customer::Id)
                                                .toUtf8());
    st->bindInteger(1, customerId);
    if (!nextRow(*st, ReadCustomerData))
        throw EngineError(QStringLiteral("Den Kunden mit der Nummer %1 gibt es in der Datenbank nicht.").arg(customerId));
    const auto text = [&](int column) { return columnText(*st, column).value_or(QString()); };
    return buyerFromCustomer(text(0), text(1), text(2), text(3));
}

CustomerKind customerKindOf(Database &connection, qint64 customerId)
{
    return buyerOfCustomer(connection, customerId).kind;
}

ExportResult exportInvoice(Database &connection, const Seller &seller, const Buyer &buyer, const Invoice &invoice,
                           int year, const QString &folder, const Separators &separators, const ExportOptions &options)
{
    requireTable(connection, "firma");
    const QDateTime now = options.now.isValid() ? options.now : QDateTime::currentDateTime();
    Transaction transaction(connection, true, CountNumberUp);
    QString stored;
    {
        StatementHandle st = connection.prepare(QByteArray("SELECT naechste_uebertragung FROM firma WHERE id = ") +
                                              firstBusinessRow());
        if (!nextRow(*st, ReadBusinessData))
            throw EngineError(NoBusinessData);
        stored = columnText(*st, 0).value_or(QString());
    }
    inContext(QStringLiteral("Firmendaten"), [&] { checkTransmissionNumber(field::TransmissionNumber, stored); });
    const bool recorded = hasExportRecord(connection);
    if (recorded && !options.again) {
        if (const std::optional<PreviousExport> previous = lastExport(connection, year, invoice.header.nr))
            throw ConversionError(exportedBefore(*previous)
                                  + QStringLiteral(" Eine zweite Datei derselben Rechnung weist das Austauschsystem "
                                                   "(SdI) als Doppel ab: sie wird nur auf ausdrücklichen Wunsch noch einmal "
                                                   "exportiert."));
    }

    // Every number taken: the record's, and the files of this seller's in the
    // folder, signed ones (.xml.p7m) too, whatever the case of their names.
    QSet<qint64> taken;
    if (recorded) {
        for (const QString &number : recordedTransmissionNumbers(connection))
            if (const std::optional<qint64> value = transmissionValue(number))
                taken.insert(*value);
    }
    const QRegularExpression sellersFile(
        QRegularExpression::anchoredPattern(QRegularExpression::escape(seller.vatCountry + seller.vatNumber)
                                            + QStringLiteral("_([0-9A-Za-z]{1,5})\\.xml(?:\\.p7m)?")),
        QRegularExpression::CaseInsensitiveOption);
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (const QRegularExpressionMatch m = sellersFile.match(name); m.hasMatch())
            taken.insert(transmissionValue(m.captured(1)).value());
    }
    qint64 value = std::max(transmissionValue(clockTransmissionNumber(now)).value(), transmissionValue(stored).value());
    while (taken.contains(value))
        ++value;
    // Before the file is written: a number that leaves none to follow it
    // must not be used at all.
    const std::optional<QString> number = transmissionNumberOf(value);
    const std::optional<QString> following = transmissionNumberOf(value + 1);
    if (!number || !following)
        throw ConversionError(QStringLiteral("Die Übertragungsnummer '%1' lässt sich nicht weiterzählen: bitte in den "
                                             "Firmendaten eine neue eintragen, die noch nicht verwendet wurde.")
                                  .arg(stored));

    Seller current = seller;
    current.nextTransmissionNumber = *number;
    const FatturaPA made = makeFatturaPA(current, buyer, invoice, *number, bundledSchemaFile(), separators);
    const QString path = saveFatturaPA(made, folder);
    try {
        StatementHandle st = connection.prepare(QByteArray("UPDATE firma SET naechste_uebertragung = ?1 WHERE id = ") +
                                              firstBusinessRow());
        st->bindText(1, *following);
        nextRow(*st, CountNumberUp);
        if (recorded)
            recordExport(connection, year, invoice.header.nr, made.fileName, *number, now,
                         QString::fromLatin1(QCryptographicHash::hash(made.xml, QCryptographicHash::Sha256).toHex()));
        transaction.commit();
    } catch (...) {
        // The number was not handed out, so the next export may use it
        // again: a file under it must not stay behind to be sent.
        QFile::remove(path);
        throw;
    }
    return {path, *number, made.notes};
}

} // namespace einvoice
