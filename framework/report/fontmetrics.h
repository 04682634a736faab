#pragma once

#include "page.h"

#include <QFont>
#include <QFontMetricsF>
#include <deque>

namespace rpt {

// Text is measured and drawn with one and the same font object: ten times
// the 96-dpi pixel height, unhinted, so widths scale exactly from the
// measurement to every device and a line that fitted when the page was laid
// out still fits when it is drawn.
constexpr int ReferenceScale = 10;
constexpr double MmPerReferenceUnit = 25.4 / (96.0 * ReferenceScale);

QFont referenceFont(const FontSpec &wanted);

class TextMeasure
{
public:
    // Widths and heights in mm.
    double width(const FontSpec &font, const QString &text);
    double lineHeight(const FontSpec &font);

private:
    const QFontMetricsF &metrics(const FontSpec &font);

    struct Entry
    {
        FontSpec wanted;
        QFontMetricsF metrics;
    };
    std::deque<Entry> m_entries; // references to entries stay valid
};

} // namespace rpt
