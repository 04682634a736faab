// The plain number conversion, the number patterns and money.
//
// Input: one control byte, then UTF-8 text. The text is converted; whatever
// converts to an amount must come back unchanged from a pattern without
// grouping, and the amount pattern must write the same number with grouping.
// The text is also used as a pattern, with the converted value or a fixed one.
// Read exactly, the text must be readable exactly where the stored-number
// conversion reads it, round to the cents nearest its value, and its cents
// come back unchanged from formatMoney; the text's halves around the first
// '*' give a line amount or a German refusal, never anything else.

#include "data/amount.h"
#include "data/errors.h"
#include "data/money.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstdio>

namespace {

void fail(const char *what, const QString &text, const QString &written)
{
    std::fprintf(stderr, "%s: text \"%s\" written \"%s\"\n", what, qPrintable(text), qPrintable(written));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t control = data[0];
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    Separators sep;
    if (control & 1) {
        sep.decimal = QLatin1Char('.');
        sep.thousands = QLatin1Char(',');
    }
    long double value = 0;
    const bool converted = tryTextToFloat(text, value, sep);
    try {
        const long double thrown = textToFloat(text, sep);
        if (!converted || !(thrown == value || (std::isnan(thrown) && std::isnan(value))))
            fail("textToFloat and tryTextToFloat disagree", text, QString());
    } catch (const ConversionError &) {
        if (converted)
            fail("textToFloat throws on a text tryTextToFloat takes", text, QString());
    }

    if (converted) {
        const double d = double(value);
        // From a tenth upwards, eighteen decimals hold all eighteen significant digits.
        if (isValidAmount(d) && (d == 0 || std::fabs(d) >= 0.1)) {
            const QString plain = formatFloat(QStringLiteral("0.##################"), d, sep);
            long double back = 0;
            if (!tryTextToFloat(plain, back, sep) || double(back) != d)
                fail("no round trip", text, plain);

            // The amount pattern groups thousands; without them it is the plain two-decimal form.
            QString grouped = formatAmount(d, sep);
            const QString cents = formatFloat(QStringLiteral("0.00"), d, sep);
            if (grouped.remove(sep.thousands) != cents)
                fail("amount pattern differs from its ungrouped form", text, cents);
        }
        formatFloat(QStringLiteral("###,###0.00;-###,###0.00;\"null\""), value, sep);
    }

    long double stored = 0;
    const bool readable = tryStoredNumber(text, stored, sep) != StoredNumber::Unreadable;
    ExactNumber exact;
    if (tryExactStoredNumber(text, exact, sep) != readable)
        fail("exact and stored readings disagree on readability", text, QString());
    if (readable) {
        if (const std::optional<Money> cents = roundToCents(exact)) {
            // Within half a cent of the value, give or take the last of 18 digits.
            const long double off = std::fabs(cents->toLongDouble() - stored);
            if (!(off <= 0.0050001L + std::fabs(stored) * 1e-16L))
                fail("cents are not the nearest", text, formatMoney(*cents, sep));
            const QString written = formatMoney(*cents, sep);
            ExactNumber back;
            QString plain = written;
            plain.remove(sep.thousands);
            if (!tryExactStoredNumber(plain, back, sep) || roundToCents(back) != cents)
                fail("money does not come back", text, written);
        } else if (std::fabs(stored) < 1e14L) {
            fail("an amount has no cents", text, QString());
        }
    }
    const qsizetype star = text.indexOf(QLatin1Char('*'));
    try {
        lineAmount(text.left(star < 0 ? text.size() : star), star < 0 ? QStringLiteral("1") : text.mid(star + 1), sep);
    } catch (const ConversionError &) {
        // refused in German: fine
    }

    // The text as a pattern: anything may come out, but nothing may break.
    formatFloat(text, converted ? value : -1234567.891L, sep);
    formatFloat(text, 0.0L, sep);
    return 0;
}
