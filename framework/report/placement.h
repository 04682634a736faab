#pragma once

// Where bands go on the pages, worked out on numbers only: every vertical
// position is a whole number of tenths of a millimetre from the paper's top
// edge, so the same rows always land on the same pages whatever the device.

#include <vector>

namespace rpt {

// One stretching text of a band, in tenths of a millimetre relative to the
// band's top edge.
struct StretchColumn
{
    double top = 0;        // the element's top edge
    double lineHeight = 0; // one text height
    int lines = 0;         // lines its text needs
    int linesInBox = 0;    // of them, the lines its design box holds
};

// A piece of a band on one page. The band's first piece holds every element;
// a continuation holds only the stretching texts' remaining lines.
struct BandSegment
{
    int page = 0;      // from 0
    int top = 0;       // tenths of a millimetre from the paper's top edge
    bool continuation = false;
    // Per stretching column: the lines [firstLine, endLine) drawn in this piece.
    std::vector<int> firstLine;
    std::vector<int> endLine;
};

struct BandPlacement
{
    std::vector<int> finishedPages; // pages completed while placing, in order
    std::vector<BandSegment> segments;
};

class PagePlacer
{
public:
    // Lengths in tenths of a millimetre.
    PagePlacer(double paperLength, double topMargin, double bottomMargin, double footerHeight);

    // Places a band of the given design height; stretching texts may make it
    // taller and carry their remaining lines over to further pages.
    BandPlacement place(double designHeight, const std::vector<StretchColumn> &stretch = {});

    // Finishes the page in progress; returns its number (from 0), or -1 when
    // no page is open.
    int finishPage();

    // Where the page footer's top edge lies on every page.
    int footerTop() const;
    // Room between the current position and the page footer, whole tenths.
    int roomLeft() const;
    int position() const { return m_position; }
    int pageCount() const { return m_pages; }
    bool pageOpen() const { return m_open; }
    // Height between the top and bottom margins, whole tenths: a band taller
    // than this could not fit on any page, so it is never moved to a new one.
    int pageBody() const;

private:
    void startPage(BandPlacement &out);
    // How many of a column's lines fit when the column's first drawn line
    // starts at `firstLine` and the piece starts at `pieceTop`.
    int linesFitting(const StretchColumn &c, double pieceTop, int firstLine, int from) const;

    double m_length;
    double m_top;
    double m_bottom;
    double m_footer;
    int m_position = 0;
    int m_pages = 0;
    bool m_open = false;
};

} // namespace rpt
