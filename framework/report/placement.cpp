#include "placement.h"

#include <algorithm>
#include <cmath>

namespace rpt {

namespace {

int whole(double tenths) { return int(std::lround(tenths)); }

} // namespace

PagePlacer::PagePlacer(double paperLength, double topMargin, double bottomMargin, double footerHeight)
    : m_length(paperLength), m_top(topMargin), m_bottom(bottomMargin), m_footer(footerHeight)
{
}

int PagePlacer::footerTop() const { return whole(m_length - m_bottom - m_footer); }

int PagePlacer::roomLeft() const { return whole(m_length - m_bottom - m_footer - m_position); }

int PagePlacer::pageBody() const { return whole(m_length - m_top - m_bottom); }

void PagePlacer::startPage(BandPlacement &out)
{
    if (m_open)
        out.finishedPages.push_back(m_pages - 1);
    ++m_pages;
    m_open = true;
    m_position = whole(m_top);
}

int PagePlacer::finishPage()
{
    if (!m_open)
        return -1;
    m_open = false;
    return m_pages - 1;
}

int PagePlacer::linesFitting(const StretchColumn &c, double pieceTop, int firstLine, int from) const
{
    // The footer area starts at the exact (unrounded) limit; a line that ends
    // on it still fits.
    const double limit = m_length - m_bottom - m_footer;
    int end = from;
    while (end < c.lines && pieceTop + c.top + (end - firstLine + 1) * c.lineHeight <= limit + 1e-9)
        ++end;
    return end;
}

BandPlacement PagePlacer::place(double designHeight, const std::vector<StretchColumn> &stretch)
{
    BandPlacement out;
    if (!m_open)
        startPage(out);

    const int need = whole(designHeight);
    const bool atTop = m_position == whole(m_top);
    if (roomLeft() < need && !atTop && need <= pageBody())
        startPage(out);

    // First piece: the whole band, with each stretching text's lines as far
    // as they fit above the footer area. The lines of the design box always
    // count as placed: the room test above made room for the design height.
    BandSegment first;
    first.page = m_pages - 1;
    first.top = m_position;
    bool overflow = false;
    double growth = 0;
    for (const StretchColumn &c : stretch) {
        const int inBox = std::min(c.linesInBox, c.lines);
        const int end = linesFitting(c, m_position, 0, inBox);
        first.firstLine.push_back(0);
        first.endLine.push_back(end);
        overflow = overflow || end < c.lines;
        growth = std::max(growth, (end - inBox) * c.lineHeight);
    }
    out.segments.push_back(first);
    if (!overflow) {
        m_position += whole(designHeight + growth);
        return out;
    }

    // The remaining lines continue at the top of the following pages.
    std::vector<int> next = first.endLine;
    for (;;) {
        startPage(out);
        BandSegment piece;
        piece.page = m_pages - 1;
        piece.top = m_position;
        piece.continuation = true;
        bool more = false;
        double height = 0;
        for (size_t i = 0; i < stretch.size(); ++i) {
            const StretchColumn &c = stretch[i];
            int end = linesFitting(c, m_position, next[i], next[i]);
            // A line taller than a whole page still has to go somewhere.
            if (end == next[i] && end < c.lines)
                end = next[i] + 1;
            piece.firstLine.push_back(next[i]);
            piece.endLine.push_back(end);
            if (end > next[i])
                height = std::max(height, c.top + (end - next[i]) * c.lineHeight);
            more = more || end < c.lines;
            next[i] = end;
        }
        out.segments.push_back(piece);
        if (!more) {
            m_position += whole(height);
            return out;
        }
    }
}

} // namespace rpt
