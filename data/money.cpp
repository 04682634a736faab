#include "money.h"

#include "errors.h"

#include <cmath>

namespace {

__int128 absolute(__int128 v) { return v < 0 ? -v : v; }

// Ten to the power, 0 <= exponent <= 38.
__int128 powerOfTen(int exponent)
{
    __int128 p = 1;
    for (int i = 0; i < exponent; ++i)
        p *= 10;
    return p;
}

// The bound of every amount, 10^15, in cents.
constexpr __int128 CentsBound = __int128(100000000000000000LL);

// The number in cents, half away from zero; no value past the bound.
std::optional<qint64> centsOf(const ExactNumber &number)
{
    const ExactNumber rounded = roundHalfUp(number, 2);
    __int128 magnitude = absolute(rounded.digits);
    const int shift = 2 - rounded.scale;   // cents = digits × 10^shift, shift >= 0
    if (magnitude != 0 && shift > 0) {
        if (shift > 17 || __builtin_mul_overflow(magnitude, powerOfTen(shift), &magnitude))
            return std::nullopt;
    }
    if (magnitude >= CentsBound)
        return std::nullopt;
    return qint64(rounded.digits < 0 ? -magnitude : magnitude);
}

QString groupedDigits(qint64 whole, QChar thousands)
{
    QString digits = QString::number(whole);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, thousands);
    return digits;
}

} // namespace

QString formatMoney(Money amount, const Separators &separators)
{
    const qint64 magnitude = amount.cents < 0 ? -amount.cents : amount.cents;
    QString text = groupedDigits(magnitude / 100, separators.thousands) + separators.decimal
                   + QStringLiteral("%1").arg(magnitude % 100, 2, 10, QLatin1Char('0'));
    return amount.cents < 0 ? QLatin1Char('-') + text : text;
}

QString moneyWithDot(Money amount)
{
    const qint64 magnitude = amount.cents < 0 ? -amount.cents : amount.cents;
    const QString text = QStringLiteral("%1.%2").arg(magnitude / 100).arg(magnitude % 100, 2, 10, QLatin1Char('0'));
    return amount.cents < 0 ? QLatin1Char('-') + text : text;
}

ExactNumber roundHalfUp(const ExactNumber &number, int decimals)
{
    if (number.scale <= decimals)
        return number;
    const int dropped = number.scale - decimals;
    const __int128 magnitude = absolute(number.digits);
    // 18 significant digits lie far below half of 10^39.
    const __int128 rounded = dropped > 38 ? 0 : (magnitude + powerOfTen(dropped) / 2) / powerOfTen(dropped);
    return ExactNumber{number.digits < 0 ? -rounded : rounded, decimals};
}

std::optional<Money> roundToCents(const ExactNumber &number)
{
    if (const std::optional<qint64> cents = centsOf(number))
        return Money{*cents};
    return std::nullopt;
}

std::optional<Money> lineAmount(const QString &price, const QString &quantity, const Separators &separators)
{
    // Not trimmed on purpose: a text of blanks is not empty and must fail.
    if (price.isEmpty() || quantity.isEmpty())
        return std::nullopt;
    // The price first, so a row with two bad texts reports the price.
    const ExactNumber unitPrice = exactStoredNumber(price, separators);
    const ExactNumber count = exactStoredNumber(quantity, separators);
    // 18 digits each: the product fits 128 bits.
    const ExactNumber product{unitPrice.digits * count.digits, unitPrice.scale + count.scale};
    if (const std::optional<Money> amount = roundToCents(product))
        return amount;
    // The factor that is out of all proportion is the one to correct.
    const auto magnitude = [](const ExactNumber &n) {
        return static_cast<long double>(absolute(n.digits)) * std::pow(10.0L, static_cast<long double>(-n.scale));
    };
    const bool priceIsLarger = !(magnitude(unitPrice) < magnitude(count));
    throw ConversionError(QStringLiteral("'%1' ergibt keinen gültigen Betrag").arg(priceIsLarger ? price : quantity));
}

Money percentOf(Money amount, int percent)
{
    // At most 10^17 cents times a percent below 100: far inside 128 bits.
    return Money{*centsOf(ExactNumber{__int128(amount.cents) * percent, 4})};
}
