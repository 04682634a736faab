#pragma once

#include "invoicelist.h"
#include "money.h"

#include <QList>
#include <QString>

class Database;

// What a year's invoices and credit notes add up to, per month and per
// customer, for the owner's overview and the accountant. A credit note counts
// against the revenue: its figures are subtracted.

struct Revenue
{
    Money net;
    Money tax;
    Money gross;
    int documents = 0; // invoices and credit notes counted
    bool operator==(const Revenue &) const = default;

    // Adds an invoice's totals, or subtracts a credit note's.
    void add(const InvoiceTotals &totals, bool creditNote);
};

struct CustomerRevenue
{
    // 0 when the header names no customer that `kunde` has.
    qint64 customerId = 0;
    QString name;
    Revenue revenue;
};

// An invoice whose lines cannot be computed: it is in none of the sums.
struct UncomputedInvoice
{
    QString nr;
    QString datum;
    QString customer;
    bool creditNote = false;
    QString problem; // "Zeile 2: ..."
};

struct YearOverview
{
    int year = 0;
    // January to December; a month without invoices has a zero row.
    QList<Revenue> months = QList<Revenue>(12);
    // The invoices whose `datum` is no date (dd.mm.yyyy).
    Revenue undated;
    // Highest gross first; equal ones by name.
    QList<CustomerRevenue> customers;
    Revenue total;
    QList<UncomputedInvoice> uncomputed;
};

// The German month name of 1..12, as the overview shows it ("März").
QString monthName(int month);
// The row of `undated`.
inline const QString UndatedRow = QStringLiteral("ohne gültiges Datum");
// A customer row whose customer is not in `kunde`: it names the number the header holds.
QString unknownCustomerName(const QString &kundennummer);

YearOverview yearOverview(int year, const QList<InvoiceSummary> &summaries);
// The same from the file. Throws ConversionError when the year has no tables,
// EngineError when the file cannot be read.
YearOverview yearOverview(Database &database, int year, const Separators &separators);
