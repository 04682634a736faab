#pragma once

#include "amount.h"
#include "invoice.h"

#include <QDate>
#include <QString>
#include <QStringList>

class Database;

// New documents made from a stored invoice: its credit note, and its copy
// for the next season. Both go into the year of `today` (its tables are made
// when the file has none yet), dated today, under a number the year does not
// have yet, so that their lines cannot mix with another document's.

// The prefix proposed for the credit notes of a year: "GS-2026-".
QString creditNotePrefix(int year);

// The next number of the series `prefix` + 1, 2, 3 ... among `taken` (the
// year's numbers): one past the highest of the series, gaps left as they are;
// a number that only starts like the series ("GS-2026-1a") is none of it.
// Compared without blanks around and without regard to case; never a number
// of `taken`.
QString nextInSeries(const QStringList &taken, const QString &prefix);

// The next invoice number after `invoiceNumbers` (credit notes left out by
// the caller): the highest number ending in digits counted on by one with its
// prefix and width kept ("2026-5" gives "2026-6", "7" gives "8", "2026-09"
// gives "2026-10"); "<year>-1" when there is none. Never a number of `taken`.
QString nextInvoiceNumberAfter(const QStringList &invoiceNumbers, const QStringList &taken, int year);

// The numbers of a year's documents as stored; empty when the year has no
// tables yet. Throws EngineError when the file cannot be read.
struct YearNumbers
{
    QStringList invoices;
    QStringList creditNotes;
    QStringList all() const { return invoices + creditNotes; }
};
YearNumbers numbersOfYear(Database &database, int year);

// The customers a copy can be made for, by name (any case), then by id;
// only id, name and kundennr are read.
QList<Customer> customersByName(Database &database);

// What the two menu items propose.
QString nextCreditNoteNumber(Database &database, int year, const QString &prefix);
QString nextInvoiceNumber(Database &database, int year);

// Whether `number` is already a document's number in `numbers` (trimmed,
// any case).
bool isNumberTaken(const QStringList &numbers, const QString &number);

// Refuse, with a German message (ConversionError), a credit note to a credit
// note and a credit note copied as an invoice: asked before anything else.
void checkCanBeCredited(const InvoiceHeader &source);
void checkCanBeCopied(const InvoiceHeader &source);

// The credit note of the invoice `sourceId` of `sourceYear`: the same
// customer, payment and destination, the invoice's number and date as its
// reference, and the invoice's lines as they are (a credit note's amounts are
// positive; the user deletes or changes the lines not credited). Stored in
// one transaction; returns it with the ids the file handed out. Throws
// ConversionError or EngineError with a German message, and stores nothing,
// when the number is empty, too long or taken, the invoice is gone or is a
// credit note itself, or the year's tables lack the columns a credit note needs.
Invoice makeCreditNote(Database &database, const Separators &separators, int sourceYear, qint64 sourceId,
                       const QString &number, const QDate &today);

// A new invoice with the lines of the invoice `sourceId` of `sourceYear`, their
// rates included, for the customer `customerId` (the same or another): no
// reference, no due or paid date; payment and destination as the source's
// when the customer is the same, the payment only when it is a term and not
// "bezahlt". The same refusals, and one for a customer that is gone.
Invoice copyInvoice(Database &database, const Separators &separators, int sourceYear, qint64 sourceId, qint64 customerId,
                    const QString &number, const QDate &today);
