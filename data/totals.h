#pragma once

#include "amount.h"

#include <QList>
#include <QString>
#include <optional>

// An invoice's figures: the amount of each line and what the lines add up
// to, per VAT rate and in all. The editor, the printed invoice and the
// e-invoice take them from here and from nowhere else, so that the three
// always show the same cents.

// The VAT rate a line is taxed at. A rate of 0 says why in `nature` (the
// e-invoice's Natura code).
struct VatRate
{
    int percent = 10;
    QString nature;
    bool operator==(const VatRate &) const = default;
};

// The rate every line is taxed at: lines carry no rate of their own yet.
inline const VatRate StandardRate{10, QString()};

// The amount of a line, unit price times quantity, from the texts as stored
// (storedNumber: a text written with the other decimal separator is read
// where it cannot mean anything else): no value when either is empty. A text
// that is not a number, or a product that is no amount, throws ConversionError.
std::optional<double> lineAmount(const QString &price, const QString &quantity, const Separators &separators);

// A line as the totals take it.
struct TotalsLine
{
    double amount = 0;      // 0 for a line without an amount
    VatRate rate = StandardRate;
};

// What the lines of one rate add up to.
struct RateTotals
{
    VatRate rate;
    double taxable = 0;
    double tax = 0;
    bool operator==(const RateTotals &) const = default;
};

struct InvoiceTotals
{
    // One entry per rate the lines carry, in the order the rates first occur.
    QList<RateTotals> rates;
    double net = 0;
    double tax = 0;
    double gross = 0;
    bool operator==(const InvoiceTotals &) const = default;
};

// The totals of the lines, in the order the invoice lists them.
InvoiceTotals invoiceTotals(const QList<TotalsLine> &lines);
