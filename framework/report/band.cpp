#include "band.h"

#include "fontmetrics.h"

#include "data/rowsource.h"

#include <algorithm>
#include <cmath>

namespace rpt {

namespace {

// Pen widths are given in pixels of the 96-dpi design grid.
constexpr double MmPerPixel96 = 25.4 / 96;

} // namespace

TextBlock Element::layOut(TextMeasure &) const { return TextBlock(); }

std::optional<StretchColumn> Element::stretchColumn(const TextBlock &) const { return std::nullopt; }

TextBlock TextElement::layOut(TextMeasure &measure) const { return layoutText(*this, text(), measure); }

std::optional<StretchColumn> TextElement::stretchColumn(const TextBlock &laid) const
{
    if (sizing != Sizing::Stretch)
        return std::nullopt;
    return StretchColumn{box.top() * 10, laid.lineHeight * 10, int(laid.lines.size()), laid.linesInBox};
}

void TextElement::draw(const DrawTarget &target, const TextBlock &laid, const Piece &piece) const
{
    // The first piece keeps the design box and grows by the lines beyond it;
    // a continuation is as tall as the lines it carries.
    const int from = piece.continuation ? piece.firstLine : 0;
    const int to = piece.endLine;
    const double height = piece.continuation ? (to - from) * laid.lineHeight
                                             : box.height() + std::max(0, to - laid.linesInBox) * laid.lineHeight;
    TextRun run;
    run.font = font;
    run.box = QRectF(target.origin.x() + box.left() - laid.grownLeft, target.origin.y() + box.top(), laid.width, height);
    run.align = align;
    run.lineHeight = laid.lineHeight;
    run.lines = laid.lines.mid(from, to - from);
    target.page.ops.push_back(run);
}

QString DataText::text() const
{
    if (!rows)
        return QString();
    try {
        return rows->fieldText(field);
    } catch (...) {
        // A field that cannot be read prints as nothing; the run goes on.
        return QString();
    }
}

void LineShape::draw(const DrawTarget &target, const TextBlock &, const Piece &) const
{
    const QRectF r = box.translated(target.origin);
    LineRun run;
    run.style = style;
    run.width = penWidth * MmPerPixel96;
    if (direction == LineDirection::Horizontal) {
        run.from = QPointF(r.left(), r.center().y());
        run.to = QPointF(r.right(), r.center().y());
    } else {
        run.from = QPointF(r.center().x(), r.top());
        run.to = QPointF(r.center().x(), r.bottom());
    }
    target.page.ops.push_back(run);
}

int RoundedRectangle::cornerPixels() const
{
    return int(std::lround(box.width() * 96 / 25.4) * rounding);
}

void RoundedRectangle::draw(const DrawTarget &target, const TextBlock &, const Piece &) const
{
    RoundRectRun run;
    run.box = box.translated(target.origin);
    run.penWidth = penWidth * MmPerPixel96;
    run.cornerPixels = cornerPixels();
    run.filled = filled;
    run.invertBeneath = invertOutline;
    target.page.ops.push_back(run);
}

void Picture::draw(const DrawTarget &target, const TextBlock &, const Piece &) const
{
    ImageRun run;
    run.image = image;
    const QRectF at = box.translated(target.origin);
    run.clip = at;
    if (scaledToBox && !image.isNull()) {
        // A picture of any resolution: what counts is its shape.
        const QSizeF size = QSizeF(image.size()).scaled(at.size(), Qt::KeepAspectRatio);
        run.target = QRectF(QPointF(at.left(), at.top() + (at.height() - size.height()) / 2), size);
    } else {
        const double dpi = target.pixelDensity;
        run.target = QRectF(at.topLeft(), QSizeF(image.width() * 25.4 / dpi, image.height() * 25.4 / dpi));
    }
    target.page.ops.push_back(run);
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
