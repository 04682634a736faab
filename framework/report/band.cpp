#include "band.h"

#include "fontmetrics.h"

#include "data/recordset.h"

#include <algorithm>
#include <cmath>

namespace rpt {

QString DataText::text() const
{
    if (!set)
        return QString();
    try {
        const Field *f = set->FindField(field);
        if (!f || !set->Active() || set->RecordCount() == 0 || f->IsNull())
            return QString();
        if (f->kind() == FieldKind::Memo)
            return f->AsString();
        return f->DisplayText();
    } catch (...) {
        // A field that cannot be read prints as nothing; the run goes on.
        return QString();
    }
}

int RoundedRectangle::cornerPixels() const
{
    return int(std::lround(box.width() * 96 / 25.4) * rounding);
}

QStringList paragraphs(const QString &text)
{
    QString flat = text;
    flat.remove(QLatin1Char('\n'));
    return flat.split(QLatin1Char('\r'));
}

namespace {

QString trimmedRight(const QString &s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    return s.left(n);
}

QStringList words(const QString &paragraph)
{
    QStringList out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < paragraph.size(); ++i) {
        const QChar c = paragraph.at(i);
        if (c == QLatin1Char(' ') || c == QLatin1Char('-')) {
            out.append(paragraph.mid(start, i + 1 - start));
            start = i + 1;
        }
    }
    if (start < paragraph.size())
        out.append(paragraph.mid(start));
    return out;
}

// The longest start of a word that fits; at least nothing.
QString cutToWidth(const QString &word, double width, const FontSpec &font, TextMeasure &measure)
{
    qsizetype lo = 0, hi = word.size();
    while (lo < hi) {
        const qsizetype mid = (lo + hi + 1) / 2;
        if (measure.width(font, word.left(mid)) <= width)
            lo = mid;
        else
            hi = mid - 1;
    }
    // Never split a surrogate pair.
    if (lo > 0 && lo < word.size() && word.at(lo - 1).isHighSurrogate())
        --lo;
    return word.left(lo);
}

// Lines that end within the box's height plus 0.1 mm.
int linesFitting(double boxHeight, double lineHeight)
{
    if (lineHeight <= 0)
        return 0;
    return int(std::floor((boxHeight + 0.1 + 1e-9) / lineHeight));
}

// The lines of one paragraph; `cut` is set when a word had to be cut.
QStringList wrap(const QString &paragraph, double width, const FontSpec &font, TextMeasure &measure, bool &cut)
{
    // A word is tried with the blank after it: a word that fits only
    // without its blank begins the next line. The blank is not drawn, so
    // the lines themselves end without it.
    auto fits = [&](const QString &s) { return measure.width(font, s) <= width + 1e-9; };
    QStringList lines;
    QString line;
    for (const QString &word : words(paragraph)) {
        if (!line.isEmpty()) {
            if (fits(line + word)) {
                line += word;
                continue;
            }
            lines.append(trimmedRight(line));
            line.clear();
        }
        if (fits(word)) {
            line = word;
            continue;
        }
        const QString bare = trimmedRight(word);
        const QString kept = cutToWidth(bare, width, font, measure);
        cut = cut || kept.size() < bare.size();
        lines.append(kept);
    }
    if (!line.isEmpty() || lines.isEmpty())
        lines.append(trimmedRight(line));
    return lines;
}

} // namespace

QStringList wrapParagraph(const QString &paragraph, double width, const FontSpec &font, TextMeasure &measure)
{
    bool cut = false;
    return wrap(paragraph, width, font, measure, cut);
}

TextBlock layoutText(const TextElement &element, const QString &text, TextMeasure &measure)
{
    TextBlock b;
    b.lineHeight = measure.lineHeight(element.font);
    const QStringList paras = paragraphs(text);
    if (element.sizing == Sizing::AutoWidth) {
        b.lines = paras;
        for (const QString &p : paras)
            b.width = std::max(b.width, measure.width(element.font, p));
    } else {
        b.width = element.box.width();
        bool cut = false;
        for (const QString &p : paras)
            b.lines += wrap(p, b.width, element.font, measure, cut);
        // A right-aligned fixed text is mostly an amount, and a cut amount is
        // a wrong one: rather than lose any of it, each paragraph stays on one
        // line and the box grows to the left, its right edge where it was.
        if (element.align == HAlign::Right && element.sizing == Sizing::Fixed
            && (cut || b.lines.size() > linesFitting(element.box.height(), b.lineHeight))) {
            b.lines = paras;
            for (const QString &p : paras)
                b.width = std::max(b.width, measure.width(element.font, p));
            b.grownLeft = b.width - element.box.width();
        }
    }
    b.linesInBox = std::min(int(b.lines.size()), linesFitting(element.box.height(), b.lineHeight));
    return b;
}

} // namespace rpt
