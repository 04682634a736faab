// The text of an e-invoice element.
//
// Input: one control byte (charset and length limit), then UTF-8 text.
// Either the text is refused with ConversionError, or what comes out fits
// the element: no control character, nothing beyond the charset, not too long.

#include "einvoice/text.h"
#include "data/errors.h"

#include <QList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const auto charset = (data[0] & 0x80) ? einvoice::Charset::BasicLatin : einvoice::Charset::Latin1;
    const int maxLength = data[0] & 0x7F;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const char32_t limit = charset == einvoice::Charset::Latin1 ? 0xFF : 0x7F;
    try {
        const QString out = einvoice::elementText(QStringLiteral("Feld"), text, maxLength, charset);
        if (out.size() > maxLength) {
            std::fprintf(stderr, "longer than %d: %s\n", maxLength, qPrintable(out));
            std::abort();
        }
        for (const char32_t c : out.toUcs4()) {
            if (c > limit || (c < 0x20 && c != U'\t' && c != U'\n' && c != U'\r')) {
                std::fprintf(stderr, "U+%04X let through in %s\n", unsigned(c), qPrintable(out));
                std::abort();
            }
        }
    } catch (const ConversionError &e) {
        if (e.message().isEmpty())
            std::abort();
    }
    return 0;
}
