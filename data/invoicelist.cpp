#include "invoicelist.h"

#include "errors.h"
#include "invoicerepository.h"
#include "money.h"
#include "vatrates.h"

namespace {
const QString DateFormat = QStringLiteral("dd.MM.yyyy");
}

QDate storedDate(const QString &text)
{
    return QDate::fromString(text.trimmed(), DateFormat);
}

QString storedDateText(const QDate &date)
{
    return date.toString(DateFormat);
}

InvoiceTotals totalsOfLines(const QList<InvoiceLine> &lines, const Separators &separators)
{
    QList<TotalsLine> read;
    read.reserve(lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const InvoiceLine &line = lines.at(i);
        try {
            read.append({lineAmount(line.einzelpreis, line.anzahl, separators).value_or(Money()),
                         vatRateOf(line.steuersatz, line.natura)});
        } catch (const ConversionError &e) {
            throw ConversionError(QStringLiteral("Zeile %1: %2").arg(i + 1).arg(e.message()));
        }
    }
    return invoiceTotals(read);
}

QList<InvoiceSummary> summariesOfYear(Database &database, int year, const Separators &separators,
                                      const std::function<bool(const InvoiceHeader &)> &wanted)
{
    QList<InvoiceSummary> summaries;
    for (Invoice &invoice : InvoiceRepository(database, separators).loadYear(year, wanted)) {
        InvoiceSummary summary;
        summary.year = year;
        try {
            summary.totals = totalsOfLines(invoice.lines, separators);
        } catch (const ConversionError &e) {
            summary.problem = e.message();
        }
        summary.invoice = std::move(invoice);
        summaries.append(std::move(summary));
    }
    return summaries;
}
