#pragma once

#include "amount.h"

#include <QString>
#include <compare>
#include <optional>

// An amount of money in whole cents: what invoices add up, tax and print. No
// binary fraction ever stands between the typed texts and the cents.
struct Money
{
    qint64 cents = 0;

    static constexpr Money fromCents(qint64 c) { return Money{c}; }
    constexpr Money operator+(Money other) const { return Money{cents + other.cents}; }
    constexpr Money operator-(Money other) const { return Money{cents - other.cents}; }
    constexpr Money &operator+=(Money other) { cents += other.cents; return *this; }
    constexpr Money operator-() const { return Money{-cents}; }
    constexpr auto operator<=>(const Money &) const = default;
    constexpr bool isZero() const { return cents == 0; }
    // The same value in extended precision, exact to the cent as formatting
    // reads it (18 significant digits).
    long double toLongDouble() const { return static_cast<long double>(cents) / 100; }
};

// With the amount pattern ("###,###0.00"): what formatAmount writes for the
// same value, digit for digit.
QString formatMoney(Money amount, const Separators &separators);
// "1234.50": as files for other programs write amounts.
QString moneyWithDot(Money amount);

// The number with at most `decimals` places after the point, those beyond
// rounded half away from zero; a number with fewer places stays as it is.
ExactNumber roundHalfUp(const ExactNumber &number, int decimals);

// Rounds an exact number to cents, half away from zero ("half up" as
// commercial rounding means it for either sign). No value when it is no
// amount (isValidAmount's bound, 10^15).
std::optional<Money> roundToCents(const ExactNumber &number);

// The amount of a line, unit price × quantity, from the texts as stored
// (exactStoredNumber), rounded half up to cents: no value when either is
// empty. A text that is not a number throws ConversionError with the plain
// conversion's message (the price first); a product that is no amount throws
// "'<factor>' ergibt keinen gültigen Betrag" naming the larger factor.
std::optional<Money> lineAmount(const QString &price, const QString &quantity, const Separators &separators);

// `percent` % of an amount, rounded half up to cents once.
Money percentOf(Money amount, int percent);
