#include "yearoverview.h"

#include <QHash>

#include <algorithm>

void Revenue::add(const InvoiceTotals &totals, bool creditNote)
{
    if (creditNote) {
        net += -totals.net;
        tax += -totals.tax;
        gross += -totals.gross;
    } else {
        net += totals.net;
        tax += totals.tax;
        gross += totals.gross;
    }
    ++documents;
}

QString monthName(int month)
{
    // Fixed, not the PC's language: the accountant's file must read the same everywhere.
    static const QStringList names{
        QStringLiteral("Januar"),    QStringLiteral("Februar"), QStringLiteral("März"),     QStringLiteral("April"),
        QStringLiteral("Mai"),       QStringLiteral("Juni"),    QStringLiteral("Juli"),     QStringLiteral("August"),
        QStringLiteral("September"), QStringLiteral("Oktober"), QStringLiteral("November"), QStringLiteral("Dezember"),
    };
    return month >= 1 && month <= 12 ? names.at(month - 1) : QString();
}

QString unknownCustomerName(const QString &kundennummer)
{
    return QStringLiteral("Kunde '%1' (nicht in der Kundenliste)").arg(kundennummer);
}

YearOverview yearOverview(int year, const QList<InvoiceSummary> &summaries)
{
    YearOverview overview;
    overview.year = year;
    // A customer's row by the customer's id; a header whose customer is gone
    // by the text it holds, so two such customers never merge.
    QHash<QString, qsizetype> customerRows;
    for (const InvoiceSummary &summary : summaries) {
        const InvoiceHeader &header = summary.invoice.header;
        const Customer &customer = summary.invoice.customer;
        const bool creditNote = header.isCreditNote();
        const QString customerName = customer.id != 0 ? customer.name : unknownCustomerName(header.kundennummer);
        if (!summary.totals) {
            overview.uncomputed.append({header.nr, header.datum, customerName, creditNote, summary.problem});
            continue;
        }
        const InvoiceTotals &totals = *summary.totals;
        overview.total.add(totals, creditNote);
        const QDate date = storedDate(header.datum);
        (date.isValid() ? overview.months[date.month() - 1] : overview.undated).add(totals, creditNote);

        const QString key = customer.id != 0 ? QString::number(customer.id) : QLatin1Char('?') + header.kundennummer;
        auto row = customerRows.constFind(key);
        if (row == customerRows.constEnd()) {
            row = customerRows.insert(key, overview.customers.size());
            overview.customers.append({customer.id, customerName, {}});
        }
        overview.customers[*row].revenue.add(totals, creditNote);
    }
    std::stable_sort(overview.customers.begin(), overview.customers.end(),
                     [](const CustomerRevenue &a, const CustomerRevenue &b) {
                         if (a.revenue.gross != b.revenue.gross)
                             return a.revenue.gross > b.revenue.gross;
                         // Not the PC's collation: the file lists them the same everywhere.
                         return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
                     });
    return overview;
}

YearOverview yearOverview(Database &database, int year, const Separators &separators)
{
    return yearOverview(year, summariesOfYear(database, year, separators));
}
