#include "totals.h"

#include <algorithm>

bool InvoiceTotals::onlyStandardRate() const
{
    return std::all_of(rates.begin(), rates.end(), [](const RateTotals &r) { return r.rate == StandardRate; });
}

InvoiceTotals invoiceTotals(const QList<TotalsLine> &lines)
{
    InvoiceTotals totals;
    for (const TotalsLine &line : lines) {
        auto group = std::find_if(totals.rates.begin(), totals.rates.end(),
                                  [&](const RateTotals &r) { return r.rate == line.rate; });
        if (group == totals.rates.end())
            group = totals.rates.insert(totals.rates.end(), RateTotals{line.rate, Money(), Money()});
        group->taxable += line.amount;
        totals.net += line.amount;
    }
    std::stable_sort(totals.rates.begin(), totals.rates.end(), [](const RateTotals &a, const RateTotals &b) {
        if (a.rate.percent != b.rate.percent)
            return a.rate.percent > b.rate.percent;
        return a.rate.nature < b.rate.nature;
    });
    Money exemptWithStampDuty;
    for (RateTotals &group : totals.rates) {
        group.tax = percentOf(group.taxable, group.rate.percent);
        totals.tax += group.tax;
        if (const VatNature *nature = vatNature(group.rate.nature); nature && nature->stampDuty)
            exemptWithStampDuty += group.taxable;
    }
    totals.gross = totals.net + totals.tax;
    totals.stampDuty = exemptWithStampDuty > StampDutyThreshold;
    return totals;
}
