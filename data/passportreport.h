#pragma once

#include "plantpassport.h"

#include "amount.h"
#include "customerkind.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class Database;

// Which business customer got which plants: the proof a nursery must be able
// to give for three years under the plant passport rules. Read from the
// delivery notes, since the passport travels with them.

// What the list is searched for; an empty text finds every plant line.
enum class PassportSearch {
    BotanicalName,    // the line's name starts with the words typed
    TraceabilityCode, // the line's code (C) is the one typed
};

struct PassportQuery
{
    // Both dd.mm.yyyy, both days included.
    QString from = {};
    QString to = {};
    PassportSearch by = PassportSearch::BotanicalName;
    QString text = {};
};

// A plant line of a delivery note sent to a business customer.
struct PassportDelivery
{
    QDate date;
    int year = 0; // of the tables the note is kept in
    QString noteNr;
    // 0 when `kunde` has no row of the note's customer any more; the name
    // then says which number the note holds.
    qint64 customerId = 0;
    QString customerName;
    QString vatNumber;
    // The passport's A, C and D.
    QString botanicalName;
    QString traceabilityCode;
    QString origin;
    QString quantity; // as the file holds it
    QString unit;
    QString invoiceNr; // empty while the note is not invoiced
};

// The kind of a customer by id. data/ does not know where the e-invoice data
// keeps it, so the caller says (einvoice::customerKindOf).
using CustomerKindLookup = std::function<CustomerKind(qint64 customerId)>;

// The period's first and last day. Throws ConversionError with a German
// message when a date is not dd.mm.yyyy or the period ends before it starts.
struct DatePeriod
{
    QDate from;
    QDate to;
};
DatePeriod readPeriod(const QString &from, const QString &to);

// Whether a traceability code is the one typed: blanks around and case do not count.
bool isTraceabilityCode(const QString &code, const QString &typed);

// Every plant line (DeliveryLine::isPlant) of the period's delivery notes,
// of every year whose delivery tables the file has, that went to a customer
// who gets passports (customerGetsPassports) and matches the query, by date,
// note number and place. A note whose customer is no longer in `kunde` is
// listed as well: who got a lot must not be lost with a deleted customer.
// Throws ConversionError for a period readPeriod refuses, EngineError when
// the file cannot be read.
QList<PassportDelivery> passportDeliveries(Database &database, const Separators &separators, const PassportQuery &query,
                                           const CustomerKindLookup &kindOf);

// The list's columns, as the window and the CSV file head them.
const QStringList &passportColumns();
// The CSV file's rows (csvexport.h), a heading row first; the quantity
// with a decimal comma, read with the file's separators.
QList<QStringList> passportCsvRows(const QList<PassportDelivery> &deliveries, const Separators &separators);
