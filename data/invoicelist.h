#pragma once

#include "amount.h"
#include "invoice.h"
#include "totals.h"

#include <QDate>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

class Database;

// The dates of a header (datum, faellig, bezahlt_am, bezug_datum) are texts
// written dd.mm.yyyy. An invalid QDate when the text is empty or no such date.
QDate storedDate(const QString &text);
QString storedDateText(const QDate &date);

// The totals of lines as a year's table holds them (lineAmount, vatRateOf).
// Throws ConversionError with the line's place ("Zeile 3: ...") when a
// line's amount or rate cannot be read.
InvoiceTotals totalsOfLines(const QList<InvoiceLine> &lines, const Separators &separators);

// An invoice of a list: open items, the year's overview, the accountant's CSV.
struct InvoiceSummary
{
    int year = 0;
    Invoice invoice;
    // Empty when a line cannot be computed; `problem` then says why.
    std::optional<InvoiceTotals> totals;
    QString problem;
};

// Every invoice and credit note of the year in the order they were stored,
// each with its totals. Throws ConversionError when the year has no tables,
// EngineError when the file cannot be read.
// Only those whose header `wanted` accepts, when it is given.
QList<InvoiceSummary> summariesOfYear(Database &database, int year, const Separators &separators,
                                      const std::function<bool(const InvoiceHeader &)> &wanted = {});
