#include "page.h"

#include "fontmetrics.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPen>

namespace rpt {

QStringList Page::texts() const
{
    QStringList out;
    for (const DrawOp &op : ops)
        if (const auto *t = std::get_if<TextRun>(&op))
            out += t->lines;
    return out;
}

bool samePages(const Pages &a, const Pages &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!(*a[i] == *b[i]))
            return false;
    return true;
}

namespace {

constexpr double UnitsPerMm = 1.0 / MmPerReferenceUnit;

QPointF units(QPointF mm) { return mm * UnitsPerMm; }
QRectF units(const QRectF &mm) { return QRectF(mm.topLeft() * UnitsPerMm, mm.size() * UnitsPerMm); }

Qt::Alignment qtAlign(HAlign a)
{
    switch (a) {
    case HAlign::Right: return Qt::AlignRight;
    case HAlign::Center: return Qt::AlignHCenter;
    case HAlign::Left: break;
    }
    return Qt::AlignLeft;
}

class Painter
{
public:
    Painter(QPainter &p, const PaintTarget &t) : m_p(p), m_target(t) {}

    void operator()(const TextRun &t)
    {
        const QRectF box = units(t.box);
        if (t.opaque)
            m_p.fillRect(box, Qt::white);
        if (t.lines.isEmpty())
            return;
        m_p.setFont(font(t.font));
        m_p.setPen(Qt::black);
        const double step = t.lineHeight * UnitsPerMm;
        const int flags = int(qtAlign(t.align)) | Qt::AlignTop | Qt::TextDontClip | Qt::TextSingleLine;
        for (qsizetype i = 0; i < t.lines.size(); ++i) {
            if (t.lines.at(i).isEmpty())
                continue;
            m_p.drawText(QRectF(box.left(), box.top() + i * step, box.width(), step), flags, t.lines.at(i));
        }
    }

    void operator()(const LineRun &l)
    {
        m_p.setRenderHint(QPainter::Antialiasing, false);
        QPen pen(Qt::black, l.width * UnitsPerMm, l.style == PenStyle::Dotted ? Qt::DotLine : Qt::SolidLine, Qt::FlatCap);
        m_p.setPen(pen);
        m_p.drawLine(units(l.from), units(l.to));
    }

    void operator()(const RoundRectRun &r)
    {
        m_p.save();
        m_p.setRenderHint(QPainter::Antialiasing, false);
        const double w = r.penWidth * UnitsPerMm;
        const QRectF inside = units(r.box).adjusted(w / 2, w / 2, -w / 2, -w / 2);
        const double radius = r.cornerPixels * m_target.cornerMm * UnitsPerMm / 2;
        m_p.setPen(QPen(Qt::black, w, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        m_p.setBrush(r.filled ? QBrush(Qt::white) : QBrush(Qt::NoBrush));
        if (r.invertBeneath && m_p.paintEngine() && m_p.paintEngine()->hasFeature(QPaintEngine::RasterOpModes)) {
            // Fill and outline separately: only the outline combines with the page.
            if (r.filled) {
                m_p.setPen(Qt::NoPen);
                m_p.drawRoundedRect(inside, radius, radius);
                m_p.setPen(QPen(Qt::black, w, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
            }
            m_p.setBrush(Qt::NoBrush);
            m_p.setCompositionMode(QPainter::RasterOp_SourceOrNotDestination);
        }
        m_p.drawRoundedRect(inside, radius, radius);
        m_p.restore();
    }

    void operator()(const ImageRun &i)
    {
        if (i.image.isNull())
            return;
        m_p.save();
        m_p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        m_p.setClipRect(units(i.clip), Qt::IntersectClip);
        m_p.drawImage(units(i.target), i.image);
        m_p.restore();
    }

private:
    const QFont &font(const FontSpec &wanted)
    {
        for (const auto &f : m_fonts)
            if (f.first == wanted)
                return f.second;
        m_fonts.emplace_back(wanted, referenceFont(wanted));
        return m_fonts.back().second;
    }

    QPainter &m_p;
    const PaintTarget &m_target;
    std::vector<std::pair<FontSpec, QFont>> m_fonts;
};

} // namespace

void paintPage(QPainter &painter, const Page &page, const PaintTarget &target)
{
    if (page.paper.isEmpty())
        return;
    painter.save();
    painter.translate(target.paper.topLeft());
    painter.scale(target.paper.width() / (page.paper.width() * UnitsPerMm),
                  target.paper.height() / (page.paper.height() * UnitsPerMm));
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    Painter draw(painter, target);
    for (const DrawOp &op : page.ops)
        std::visit(draw, op);
    painter.restore();
}

} // namespace rpt
