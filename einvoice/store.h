#pragma once

#include "einvoice/fatturapa.h"
#include "einvoice/invoicedata.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

class Database;

// Where the e-invoice's data lives in the database file: the business's own
// data in the one-row table `firma`, each customer's e-invoice data in
// `kunde_efattura`, keyed by the customer's id (so `kunde` stays as it is).
// The tables' definition is the one in schema/rechungen.sql.
namespace einvoice {

// The refusal when a file has no business data to export with.
inline const QString NoBusinessData =
    QStringLiteral("Die Datenbank hat noch keine Firmendaten: bitte zuerst die Firmendaten eintragen.");

// Both tables exist. A file made before they were known lacks them.
bool hasBusinessTables(Database &connection);
// Creates whichever of the two tables is missing, in one transaction, with
// an empty business row. Throws EngineError with a German message.
void createBusinessTables(Database &connection);

// The stored business data; nothing when the file has no `firma` table. A
// column never filled in (NULL) keeps the default of Seller.
std::optional<Seller> loadSeller(Database &connection);
// Checks (checkSeller) and stores; nothing is stored when a check fails.
void saveSeller(Database &connection, const Seller &seller);

// A customer's stored e-invoice data, with the name and owner as `kunde`
// holds them now; nothing when none was stored yet. The kind is the stored
// one, or guessedCustomerKind where none is stored (or the file has no
// column for it yet).
std::optional<Buyer> loadBuyer(Database &connection, qint64 customerId);
// Checks (checkBuyer) and stores, replacing what was there, the kind too
// where the file has its column. A customer who is
// not in `kunde` gets nothing stored (EngineError).
void saveBuyer(Database &connection, qint64 customerId, const Buyer &buyer);
// Drops the row of a customer who was deleted.
void forgetBuyer(Database &connection, qint64 customerId);
// What the export starts from: the stored data, or else buyerFromCustomer of
// the customer's row, for the user to correct. Throws EngineError when the
// customer is not in `kunde`.
Buyer buyerOfCustomer(Database &connection, qint64 customerId);
// The customer's kind as buyerOfCustomer has it: stored, else guessed from
// the customer's record. What new invoice lines take their rate from
// (defaultLineRate). Throws EngineError when the customer is not in `kunde`.
CustomerKind customerKindOf(Database &connection, qint64 customerId);

// How an export goes.
struct ExportOptions
{
    // The invoice was exported before, and the user wants it exported again.
    bool again = false;
    // The clock the transmission number starts from; the current time when
    // not set.
    QDateTime now = QDateTime();
};

// What an export wrote, and what the user should know about it.
struct ExportResult
{
    QString path;
    QString transmissionNumber;
    // German, one sentence or two each (FatturaPA::notes).
    QStringList notes;
};

// The whole export, one path for the program and the tool: builds and
// validates the file of the year's invoice, writes it into the folder, and
// only then hands out its transmission number (exportrecord.h): the business
// data's next number moves on past it, and the record gets the file's name,
// number, time and SHA-256. Reading what numbers are taken and handing one
// out happen under one write lock, so two windows or the program and the tool
// never hand out one number twice. An invoice the record holds an export of
// is refused (with when and as what) unless `options.again`; a file without
// the record is exported unrecorded. A refusal (ConversionError, EngineError)
// leaves the folder, the number and the record as they were. The numbers in
// the lines are read with `separators`.
ExportResult exportInvoice(Database &connection, const Seller &seller, const Buyer &buyer, const Invoice &invoice,
                           int year, const QString &folder, const Separators &separators,
                           const ExportOptions &options = {});

} // namespace einvoice
