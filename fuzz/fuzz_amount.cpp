// The plain number conversion and the number patterns.
//
// Input: one control byte, then UTF-8 text. The text is converted; whatever
// converts to an amount must come back unchanged from a pattern without
// grouping, and the amount pattern must write the same number with grouping.
// The text is also used as a pattern, with the converted value or a fixed one.

#include "data/amount.h"
#include "data/errors.h"

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

    // The text as a pattern: anything may come out, but nothing may break.
    formatFloat(text, converted ? value : -1234567.891L, sep);
    formatFloat(text, 0.0L, sep);
    return 0;
}
