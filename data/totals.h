#pragma once

#include "money.h"
#include "vatrates.h"

#include <QList>

// An invoice's figures: the amount of each line and what the lines add up
// to, per VAT rate and in all. The editor, the printed invoice and the
// e-invoice take them from here and from nowhere else, so that the three
// always show the same cents.
//
// Every figure is exact: a line's amount is its unit price × quantity rounded
// half up to cents (lineAmount, money.h); a rate's taxable sum is the sum of
// its lines' amounts, its tax that sum × the rate rounded half up once; the
// gross is net + tax.

// A line as the totals take it.
struct TotalsLine
{
    Money amount;           // 0 for a line without an amount
    VatRate rate = StandardRate;
};

// What the lines of one rate add up to.
struct RateTotals
{
    VatRate rate;
    Money taxable;
    Money tax;
    bool operator==(const RateTotals &) const = default;
};

// Stamp duty (imposta di bollo) an invoice bears when its lines free of VAT
// for a reason that needs it (VatNature::stampDuty) exceed this sum.
inline constexpr Money StampDutyThreshold{7747};
inline constexpr Money StampDutyAmount{200};

struct InvoiceTotals
{
    // One entry per rate and nature the lines carry: the highest rate first,
    // the natures of 0 % by their code.
    QList<RateTotals> rates;
    Money net;
    Money tax;
    Money gross;
    // Whether the invoice bears stamp duty (StampDutyAmount, paid virtually).
    // It is not part of the gross: it is the seller's to pay.
    bool stampDuty = false;
    bool operator==(const InvoiceTotals &) const = default;

    // Whether every line is at 10 %: the invoice then shows the one tax row
    // it has always shown.
    bool onlyStandardRate() const;
};

// The totals of the lines.
InvoiceTotals invoiceTotals(const QList<TotalsLine> &lines);
