#include "data/amount.h"
#include "data/errors.h"

#include <QEvent>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <utility>
#include <cstdio>
#include <locale.h>
#include <stdlib.h>

namespace {

// The decimal expansion of a magnitude: value = 0.digits × 10^pointPos, i.e.
// pointPos is the number of digits before the decimal point.
struct Decimal
{
    QByteArray digits;
    int pointPos = 0;
};

// printf is the only exact binary-to-decimal conversion at hand, but it writes
// the radix character of LC_NUMERIC, which Qt sets from the environment. Only
// the digits and the exponent are taken from its output, so whatever radix
// character (even a multi-byte one) it used does not matter.
Decimal significantDigits(long double magnitude, int count)
{
    char buf[128];
    std::snprintf(buf, sizeof buf, "%.*Le", count - 1, magnitude);
    Decimal d;
    const char *p = buf;
    for (; *p && *p != 'e' && *p != 'E'; ++p) {
        if (*p >= '0' && *p <= '9')
            d.digits.append(*p);
    }
    int exponent = 0;
    if (*p)
        exponent = std::atoi(p + 1);
    d.pointPos = exponent + 1;
    return d;
}

// Up to 15 significant digits, trailing zeros dropped, exponent form for very
// large or very small magnitudes, as the general number format writes it.
QString generalForm(long double value, QChar decimalSeparator)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        return QStringLiteral("0");

    constexpr int precision = 15;
    Decimal d = significantDigits(fabsl(value), precision);
    while (d.digits.size() > 1 && d.digits.endsWith('0'))
        d.digits.chop(1);
    const int exponent = d.pointPos - 1;

    QString out;
    if (value < 0)
        out += QLatin1Char('-');
    const QString digits = QString::fromLatin1(d.digits);
    if (exponent >= precision || exponent < -4) {
        out += digits.left(1);
        if (digits.size() > 1)
            out += decimalSeparator + digits.mid(1);
        out += QLatin1Char('E') + QString::number(exponent);
    } else if (exponent < 0) {
        out += QLatin1Char('0') + QString(decimalSeparator) + QString(-exponent - 1, QLatin1Char('0'))
               + digits;
    } else {
        const int intCount = exponent + 1;
        if (digits.size() <= intCount) {
            out += digits + QString(intCount - digits.size(), QLatin1Char('0'));
        } else {
            out += digits.left(intCount) + decimalSeparator + digits.mid(intCount);
        }
    }
    return out;
}

struct Section
{
    QString prefix;
    QString suffix;
    bool hasPlaceholder = false;
    bool grouping = false;
    int minIntegerDigits = 0;
    int decimals = 0;
    int minDecimals = 0;
};

// Splits at ';' outside quoted literals; quotes stay in the section text.
QStringList splitSections(const QString &pattern)
{
    QStringList sections;
    QString current;
    QChar quote;
    for (QChar c : pattern) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
        } else if (c == QLatin1Char(';')) {
            sections << current;
            current.clear();
            continue;
        }
        current += c;
    }
    sections << current;
    return sections;
}

Section parseSection(const QString &text)
{
    Section s;
    bool afterPoint = false;
    int decimalPlace = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        QString literal;
        if (c == QLatin1Char('#') || c == QLatin1Char('0')) {
            s.hasPlaceholder = true;
            if (afterPoint) {
                ++decimalPlace;
                s.decimals = decimalPlace;
                if (c == QLatin1Char('0'))
                    s.minDecimals = decimalPlace;
            } else if (c == QLatin1Char('0')) {
                ++s.minIntegerDigits;
            }
            continue;
        }
        if (c == QLatin1Char('.')) {
            afterPoint = true;
            continue;
        }
        if (c == QLatin1Char(',')) {
            s.grouping = true;
            continue;
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            qsizetype end = text.indexOf(c, i + 1);
            if (end < 0)
                end = text.size();
            literal = text.mid(i + 1, end - i - 1);
            i = end;
        } else {
            literal = c;
        }
        // Literals are kept around the number, never between its digits.
        if (s.hasPlaceholder)
            s.suffix += literal;
        else
            s.prefix += literal;
    }
    return s;
}

// The magnitude rounded half up at the given number of decimals, as the
// integer digits and exactly `decimals` fraction digits. The rounding works on
// the decimal digits so that a value printed as ...5 always goes up.
void roundDecimal(const Decimal &d, int decimals, QByteArray &integerPart, QByteArray &fraction)
{
    const int keep = d.pointPos + decimals;
    QByteArray scaled;  // magnitude × 10^decimals, as an integer
    if (keep >= d.digits.size()) {
        scaled = d.digits + QByteArray(keep - d.digits.size(), '0');
    } else if (keep >= 0) {
        scaled = d.digits.left(keep);
        if (d.digits.at(keep) >= '5') {
            int i = scaled.size() - 1;
            for (; i >= 0 && scaled.at(i) == '9'; --i)
                scaled[i] = '0';
            if (i >= 0)
                scaled[i] = char(scaled.at(i) + 1);
            else
                scaled.prepend('1');
        }
    }
    if (scaled.size() < decimals + 1)
        scaled.prepend(QByteArray(decimals + 1 - scaled.size(), '0'));
    integerPart = scaled.left(scaled.size() - decimals);
    fraction = scaled.right(decimals);
    int lead = 0;
    while (lead < integerPart.size() - 1 && integerPart.at(lead) == '0')
        ++lead;
    integerPart.remove(0, lead);
}

bool isZero(const QByteArray &integerPart, const QByteArray &fraction)
{
    return integerPart == "0" && fraction.count('0') == fraction.size();
}

QString writeNumber(const Section &s, QByteArray integerPart, QByteArray fraction,
                    const Separators &sep)
{
    if (integerPart == "0")
        integerPart.clear();
    if (integerPart.size() < s.minIntegerDigits)
        integerPart.prepend(QByteArray(s.minIntegerDigits - integerPart.size(), '0'));
    while (fraction.size() > s.minDecimals && fraction.endsWith('0'))
        fraction.chop(1);

    QString out = s.prefix;
    for (qsizetype i = 0; i < integerPart.size(); ++i) {
        if (s.grouping && i > 0 && (integerPart.size() - i) % 3 == 0)
            out += sep.thousands;
        out += QLatin1Char(integerPart.at(i));
    }
    if (!fraction.isEmpty())
        out += sep.decimal + QString::fromLatin1(fraction);
    out += s.suffix;
    return out;
}

bool isBlank(QChar c) { return c == QLatin1Char(' '); }
bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

locale_t cLocale()
{
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return loc;
}

} // namespace

Separators Separators::ofLocale(const QLocale &locale)
{
    const QString decimal = locale.decimalPoint();
    const QString group = locale.groupSeparator();
    Separators s;
    s.decimal = decimal.isEmpty() ? QLatin1Char('.') : decimal.at(0);
    s.thousands = group.isEmpty() ? QLatin1Char(',') : group.at(0);
    return s;
}

Separators Separators::fromSystem()
{
    return ofLocale(QLocale::system());
}

bool LocaleWatcher::eventFilter(QObject *, QEvent *event)
{
    if (event->type() == QEvent::LocaleChange && m_changed)
        m_changed(Separators::fromSystem());
    // Other receivers of the application must see the change as well.
    return false;
}

QString generalNumber(double value, const Separators &separators)
{
    QString s = QString::number(value, 'g', 15);
    return s.replace(QLatin1Char('.'), separators.decimal);
}

QString formatFloat(const QString &pattern, long double value, const Separators &sep)
{
    if (pattern.isEmpty() || !std::isfinite(value))
        return generalForm(value, sep.decimal);

    constexpr int significant = 18;
    const Decimal magnitude = significantDigits(fabsl(value), significant);
    if (magnitude.pointPos > significant)
        return generalForm(value, sep.decimal);

    const QStringList texts = splitSections(pattern);
    const auto sectionText = [&](int index) {
        return index < texts.size() ? texts.at(index) : QString();
    };

    Section section = parseSection(texts.at(0));
    bool writeMinus = value < 0;
    if (value < 0 && !sectionText(1).isEmpty()) {
        section = parseSection(sectionText(1));
        writeMinus = false;  // a negative section carries its own marks
    }

    QByteArray integerPart, fraction;
    roundDecimal(magnitude, section.decimals, integerPart, fraction);
    if (isZero(integerPart, fraction)) {
        writeMinus = false;
        const Section zero = parseSection(sectionText(2).isEmpty() ? texts.at(0) : sectionText(2));
        if (zero.decimals != section.decimals)
            roundDecimal(magnitude, zero.decimals, integerPart, fraction);
        section = zero;
    }
    if (!section.hasPlaceholder)
        return section.prefix + section.suffix;

    const QString number = writeNumber(section, integerPart, fraction, sep);
    return writeMinus ? QLatin1Char('-') + number : number;
}

namespace {

// The plain conversion's rules, once: the text as "[-]0digits[.digits][e[-]digits]"
// with a point, or false when it is no number.
bool normalizedNumber(const QString &text, QChar decimal, QByteArray &normalized)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && isBlank(text.at(i)))
        ++i;

    normalized.clear();
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        normalized.append(char(text.at(i++).unicode()));

    bool anyMantissa = false;
    normalized.append('0');  // lets a lone separator read as 0
    while (i < n && isDigit(text.at(i))) {
        normalized.append(char(text.at(i++).unicode()));
        anyMantissa = true;
    }
    if (i < n && text.at(i) == decimal) {
        ++i;
        anyMantissa = true;
        normalized.append('.');
        while (i < n && isDigit(text.at(i)))
            normalized.append(char(text.at(i++).unicode()));
    }
    if (!anyMantissa)
        return false;

    if (i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        ++i;
        QByteArray exponent("e");
        if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
            exponent.append(char(text.at(i++).unicode()));
        bool anyExponentDigit = false;
        while (i < n && isDigit(text.at(i))) {
            exponent.append(char(text.at(i++).unicode()));
            anyExponentDigit = true;
        }
        if (anyExponentDigit)
            normalized.append(exponent);
    }

    while (i < n && isBlank(text.at(i)))
        ++i;
    return i == n;
}

// The normalized text's exact value, its significant digits cut to 18 with
// decimal half-up rounding: as many as the formatting ever shows.
ExactNumber exactOfNormalized(const QByteArray &normalized)
{
    constexpr int MaxDigits = 18;
    const char *p = normalized.constData();
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    QByteArray digits;
    int scale = 0;
    bool afterPoint = false;
    for (; *p && *p != 'e'; ++p) {
        if (*p == '.') {
            afterPoint = true;
            continue;
        }
        if (digits.isEmpty() && *p == '0') {
            if (afterPoint)
                ++scale;
            continue;
        }
        digits.append(*p);
        if (afterPoint)
            ++scale;
    }
    // An exponent beyond any amount is clamped: the value is then far
    // outside every amount, or 0, either way.
    long exponent = 0;
    if (*p == 'e') {
        const char *e = p + 1;
        const bool negativeExponent = *e == '-';
        if (*e == '+' || *e == '-')
            ++e;
        for (; *e; ++e)
            exponent = std::min(exponent * 10 + (*e - '0'), 100000L);
        if (negativeExponent)
            exponent = -exponent;
    }
    long fullScale = long(scale) - exponent;
    bool roundUp = false;
    if (digits.size() > MaxDigits) {
        roundUp = digits.at(MaxDigits) >= '5';
        fullScale -= digits.size() - MaxDigits;
        digits.truncate(MaxDigits);
    }
    __int128 value = 0;
    for (const char c : std::as_const(digits))
        value = value * 10 + (c - '0');
    if (roundUp)
        ++value;
    while (value != 0 && value % 10 == 0 && fullScale > -100000) {
        value /= 10;
        --fullScale;
    }
    if (value == 0)
        fullScale = 0;
    ExactNumber exact;
    exact.digits = negative ? -value : value;
    exact.scale = int(std::clamp(fullScale, -200000L, 200000L));
    return exact;
}

} // namespace

namespace {

// The plain conversion with `decimal`, leaving the checked text in
// `normalized` for a reader of the exact digits.
bool convert(const QString &text, QChar decimal, long double &result, QByteArray &normalized)
{
    if (!normalizedNumber(text, decimal, normalized))
        return false;
    // strtold alone would follow LC_NUMERIC, which Qt takes from the
    // environment; the normalized text always uses '.'.
    const long double value = strtold_l(normalized.constData(), nullptr, cLocale());
    // An exponent too large for any number is no number either.
    if (std::isinf(value))
        return false;
    result = value;
    return true;
}

} // namespace

bool tryTextToFloat(const QString &text, long double &result, const Separators &separators)
{
    QByteArray normalized;
    return convert(text, separators.decimal, result, normalized);
}

long double textToFloat(const QString &text, const Separators &separators)
{
    long double result = 0;
    if (!tryTextToFloat(text, result, separators))
        throw ConversionError(QLatin1Char('\'') + text
                              + QStringLiteral("' ist kein gültiger Gleitkommawert"));
    return result;
}

namespace {

// The decimal separator a file of the other convention writes: only the
// point and the comma have one.
QChar otherDecimalSeparator(QChar decimal)
{
    if (decimal == QLatin1Char(','))
        return QLatin1Char('.');
    if (decimal == QLatin1Char('.'))
        return QLatin1Char(',');
    return QChar();
}

// Blanks, a sign, digits, `other`, one or two digits, blanks: nothing else,
// so the separator cannot be a thousands separator nor the text anything
// but a number with that decimal separator.
bool writtenWithOtherSeparator(const QString &text, QChar other)
{
    qsizetype i = 0;
    qsizetype n = text.size();
    while (i < n && isBlank(text.at(i)))
        ++i;
    while (n > i && isBlank(text.at(n - 1)))
        --n;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        ++i;
    while (i < n && isDigit(text.at(i)))
        ++i;
    if (i >= n || text.at(i) != other)
        return false;
    const qsizetype fractionDigits = n - i - 1;
    if (fractionDigits < 1 || fractionDigits > 2)
        return false;
    for (++i; i < n; ++i) {
        if (!isDigit(text.at(i)))
            return false;
    }
    return true;
}

} // namespace

namespace {

// tryStoredNumber, with the checked text in `normalized`.
StoredNumber readStored(const QString &text, long double &result, const Separators &separators, QByteArray &normalized)
{
    if (convert(text, separators.decimal, result, normalized))
        return StoredNumber::Read;
    const QChar other = otherDecimalSeparator(separators.decimal);
    if (other.isNull() || !writtenWithOtherSeparator(text, other))
        return StoredNumber::Unreadable;
    return convert(text, other, result, normalized) ? StoredNumber::ReadWithOtherSeparator : StoredNumber::Unreadable;
}

} // namespace

StoredNumber tryStoredNumber(const QString &text, long double &result, const Separators &separators)
{
    QByteArray normalized;
    return readStored(text, result, separators, normalized);
}

long double storedNumber(const QString &text, const Separators &separators)
{
    long double result = 0;
    if (tryStoredNumber(text, result, separators) == StoredNumber::Unreadable)
        return textToFloat(text, separators); // throws with the plain conversion's message
    return result;
}

bool tryExactStoredNumber(const QString &text, ExactNumber &result, const Separators &separators)
{
    // Read as the stored-number conversion reads it, so that the two agree
    // on what is a number; the exact value then comes from the same digits.
    long double ignored = 0;
    QByteArray normalized;
    if (readStored(text, ignored, separators, normalized) == StoredNumber::Unreadable)
        return false;
    result = exactOfNormalized(normalized);
    return true;
}

ExactNumber exactStoredNumber(const QString &text, const Separators &separators)
{
    ExactNumber result;
    if (!tryExactStoredNumber(text, result, separators))
        textToFloat(text, separators); // throws with the plain conversion's message
    return result;
}

bool isValidAmount(long double value)
{
    return std::isfinite(value) && std::fabs(value) < 1e15L;
}
