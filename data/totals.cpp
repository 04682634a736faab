#include "totals.h"

#include "errors.h"

#include <algorithm>
#include <cmath>

std::optional<double> lineAmount(const QString &price, const QString &quantity, const Separators &separators)
{
    // Not trimmed on purpose: a text of blanks is not empty and must fail.
    if (price.isEmpty() || quantity.isEmpty())
        return std::nullopt;
    // The price first, so a row with two bad texts reports the price.
    const double unitPrice = double(storedNumber(price, separators));
    const long double count = storedNumber(quantity, separators);
    const double amount = double(unitPrice * count);
    if (!isValidAmount(amount)) {
        // The factor that is out of all proportion is the one to correct.
        const bool priceIsLarger = !(std::fabs(static_cast<long double>(unitPrice)) < std::fabs(count));
        throw ConversionError(QStringLiteral("'%1' ergibt keinen gültigen Betrag").arg(priceIsLarger ? price : quantity));
    }
    return amount;
}

namespace {

// Sums are added in extended precision and kept as a double after every
// step: the figures the invoices have always shown depend on it.
double plus(double sum, double value)
{
    return double(static_cast<long double>(sum) + static_cast<long double>(value));
}

// A rate's tax of its taxable sum. Multiplying a double by a whole percent
// below 2^11 is exact in extended precision, so 10 % rounds exactly as a
// tenth of the sum does.
double taxAt(const VatRate &rate, double taxable)
{
    return double(static_cast<long double>(taxable) * rate.percent / 100);
}

} // namespace

InvoiceTotals invoiceTotals(const QList<TotalsLine> &lines)
{
    InvoiceTotals totals;
    for (const TotalsLine &line : lines) {
        auto group = std::find_if(totals.rates.begin(), totals.rates.end(),
                                  [&](const RateTotals &r) { return r.rate == line.rate; });
        if (group == totals.rates.end())
            group = totals.rates.insert(totals.rates.end(), RateTotals{line.rate, 0, 0});
        group->taxable = plus(group->taxable, line.amount);
        totals.net = plus(totals.net, line.amount);
    }
    for (RateTotals &group : totals.rates) {
        group.tax = taxAt(group.rate, group.taxable);
        totals.tax = plus(totals.tax, group.tax);
    }
    totals.gross = plus(totals.net, totals.tax);
    return totals;
}
