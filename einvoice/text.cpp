#include "einvoice/text.h"

#include "data/errors.h"

#include <QList>

namespace einvoice {

namespace {

// Characters that word processors and keyboards put in for plain ones. Only
// these are replaced: anything else outside the element's range is the
// user's to decide.
QString asciiForm(char32_t c)
{
    switch (c) {
    case U'\u20AC': return QStringLiteral("EUR");
    case U'\u2018': case U'\u2019': case U'\u201A': case U'\u201B': case U'\u2032':
        return QStringLiteral("'");
    case U'\u201C': case U'\u201D': case U'\u201E': case U'\u201F': case U'\u2033':
        return QStringLiteral("\"");
    case U'\u2010': case U'\u2011': case U'\u2012': case U'\u2013': case U'\u2014': case U'\u2015':
    case U'\u2212':
        return QStringLiteral("-");
    case U'\u2026': return QStringLiteral("...");
    default: return QString();
    }
}

bool isControl(char32_t c)
{
    // XML cannot hold the other C0 characters at all; DEL and the C1
    // characters it could, but the exchange system refuses them like those.
    return (c < 0x20 && c != U'\t' && c != U'\n' && c != U'\r') || (c >= 0x7F && c <= 0x9F);
}

QString codePoint(char32_t c)
{
    return QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace

QString elementText(const QString &label, const QString &text, int maxLength, Charset charset)
{
    const char32_t limit = charset == Charset::Latin1 ? 0xFF : 0x7F;
    QString out;
    out.reserve(text.size());
    for (const uint u : text.trimmed().toUcs4()) {
        const char32_t c = u;
        if (c <= limit && !isControl(c)) {
            out += QString::fromUcs4(&c, 1);
            continue;
        }
        const QString replacement = asciiForm(c);
        if (!replacement.isEmpty()) {
            out += replacement;
            continue;
        }
        const QString shown = isControl(c) ? codePoint(c)
                                           : QStringLiteral("'%1' (%2)").arg(QString::fromUcs4(&c, 1), codePoint(c));
        throw ConversionError(QStringLiteral("Das Feld „%1“ enthält das Zeichen %2, das die elektronische Rechnung "
                                             "hier nicht erlaubt: bitte ersetzen.")
                                  .arg(label, shown));
    }
    if (out.size() > maxLength)
        throw ConversionError(QStringLiteral("Das Feld „%1“ ist %2 Zeichen lang, die elektronische Rechnung erlaubt "
                                             "höchstens %3: bitte kürzen.")
                                  .arg(label, QString::number(out.size()), QString::number(maxLength)));
    return out;
}

} // namespace einvoice
