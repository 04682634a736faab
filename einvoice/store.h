#pragma once

#include "einvoice/fatturapa.h"
#include "einvoice/invoicedata.h"

#include <QString>
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

// The whole export, one path for the program and the tool: builds and
// validates the file, writes it into the folder, and only then counts the
// business's transmission number up. The number is the one `firma` holds at
// that moment, not the seller's copy, and the database stays locked
// against other writers from reading it to counting it up, so two windows or
// the program and the tool never hand out one number twice. A refusal
// (ConversionError, EngineError) leaves the folder and the number as they
// were. The numbers in the lines are read with `separators`. Returns the
// file's path.
QString exportInvoice(Database &connection, const Seller &seller, const Buyer &buyer, const Invoice &invoice,
                      const QString &folder, const Separators &separators);

} // namespace einvoice
