#include "fontmetrics.h"

#include "framework/fonts.h"

namespace rpt {

QFont referenceFont(const FontSpec &wanted)
{
    static const bool registered = (registerFontSubstitutes(), true);
    Q_UNUSED(registered);
    QFont font(wanted.family);
    font.setPixelSize(wanted.pixels * ReferenceScale);
    font.setBold(wanted.bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

const QFontMetricsF &TextMeasure::metrics(const FontSpec &font)
{
    for (const Entry &e : m_entries)
        if (e.wanted == font)
            return e.metrics;
    m_entries.push_back(Entry{font, QFontMetricsF(referenceFont(font))});
    return m_entries.back().metrics;
}

double TextMeasure::width(const FontSpec &font, const QString &text)
{
    if (text.isEmpty())
        return 0;
    return metrics(font).horizontalAdvance(text) * MmPerReferenceUnit;
}

double TextMeasure::lineHeight(const FontSpec &font)
{
    // Ascent plus descent: the height of a "W" cell, without the leading.
    const QFontMetricsF &m = metrics(font);
    return (m.ascent() + m.descent()) * MmPerReferenceUnit;
}

} // namespace rpt
