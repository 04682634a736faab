// Page placement on numbers alone: band tops in tenths of a millimetre, page
// breaks and footers, for the invoice's band heights on A4 with 12.7 mm margins.

#include "framework/report/placement.h"

#include <QtTest>

using rpt::BandPlacement;
using rpt::PagePlacer;
using rpt::StretchColumn;

namespace {

// The invoice's bands in tenths of a millimetre (whole 96-dpi pixels).
constexpr double Title = 406 * 254.0 / 96;   // 1074.21
constexpr double Detail = 19 * 254.0 / 96;   // 50.27
constexpr double Summary = 146 * 254.0 / 96; // 386.29
constexpr double Footer = 20 * 254.0 / 96;   // 52.92

PagePlacer a4() { return PagePlacer(2970, 127, 127, Footer); }

struct Outcome
{
    int pages = 0;
    int summaryPage = -1; // from 1
    int summaryTop = -1;
    QList<int> finished; // page numbers from 1, in the order they were finished
    QList<int> rowTops;
    QList<int> rowPages;
};

Outcome invoice(int rows)
{
    PagePlacer placer = a4();
    Outcome o;
    auto note = [&](const BandPlacement &p) {
        for (int f : p.finishedPages)
            o.finished << f + 1;
    };
    note(placer.place(Title));
    // An invoice without lines still prints one (empty) row.
    for (int i = 0; i < std::max(rows, 1); ++i) {
        const BandPlacement p = placer.place(Detail);
        note(p);
        o.rowTops << p.segments.front().top;
        o.rowPages << p.segments.front().page + 1;
    }
    const BandPlacement s = placer.place(Summary);
    note(s);
    o.summaryPage = s.segments.front().page + 1;
    o.summaryTop = s.segments.front().top;
    o.finished << placer.finishPage() + 1;
    o.pages = placer.pageCount();
    return o;
}

} // namespace

class TestPlacement : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roomAfterTitle()
    {
        PagePlacer p = a4();
        p.place(Title);
        // 2970 - 127 - 52.92 - (127 + 1074) = 1589.08
        QCOMPARE(p.position(), 1201);
        QCOMPARE(p.roomLeft(), 1589);
        QCOMPARE(p.footerTop(), 2790);
        QCOMPARE(p.pageBody(), 2716);
    }

    void rows_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("summaryPage");
        QTest::addColumn<int>("summaryTop");

        // Rows follow each other 50 apart from 1201 on page 1 and from 127 on
        // later pages; the summary needs 386 above the footer at 2790.08.
        QTest::newRow("no lines: one empty row, summary below it") << 0 << 1 << 1 << 1201 + 50;
        QTest::newRow("1 row, summary below it") << 1 << 1 << 1 << 1201 + 50;
        QTest::newRow("24 rows leave 389 for the summary") << 24 << 1 << 1 << 1201 + 24 * 50;
        QTest::newRow("25 rows leave 339: summary alone on page 2") << 25 << 2 << 2 << 127;
        QTest::newRow("31 rows fill page 1: summary alone on page 2") << 31 << 2 << 2 << 127;
        QTest::newRow("32nd row opens page 2, summary below it") << 32 << 2 << 2 << 127 + 50;
        QTest::newRow("76 rows: 45 on page 2 leave 413, summary fits") << 76 << 2 << 2 << 127 + 45 * 50;
        QTest::newRow("77 rows: 46 on page 2 leave 363, summary on page 3") << 77 << 3 << 3 << 127;
        QTest::newRow("84 rows: page 2 full with 53, summary on page 3") << 84 << 3 << 3 << 127;
    }

    void rows()
    {
        QFETCH(int, rows);
        QFETCH(int, pages);
        QFETCH(int, summaryPage);
        QFETCH(int, summaryTop);

        const Outcome o = invoice(rows);
        QCOMPARE(o.pages, pages);
        QCOMPARE(o.summaryPage, summaryPage);
        QCOMPARE(o.summaryTop, summaryTop);

        // Every page is finished once, in order, and so gets its footer.
        QList<int> expected;
        for (int i = 1; i <= pages; ++i)
            expected << i;
        QCOMPARE(o.finished, expected);

        // The first row begins at 120.1 mm; page 1 holds 31 rows, later pages 53.
        QCOMPARE(o.rowTops.front(), 1201);
        for (int i = 0; i < o.rowTops.size(); ++i) {
            const int page = i < 31 ? 1 : 2 + (i - 31) / 53;
            const int slot = i < 31 ? i : (i - 31) % 53;
            QCOMPARE(o.rowPages.at(i), page);
            QCOMPARE(o.rowTops.at(i), (page == 1 ? 1201 : 127) + slot * 50);
        }
    }

    void stretchingRowWithinThePage()
    {
        PagePlacer p = a4();
        p.place(Title);
        // Three lines of 33.9 in a box that holds one: the band grows by two lines.
        const StretchColumn text{2.6, 33.9, 3, 1};
        const BandPlacement b = p.place(Detail, {text});
        QCOMPARE(b.segments.size(), size_t(1));
        QCOMPARE(b.segments.front().endLine, std::vector<int>{3});
        QCOMPARE(p.position(), 1201 + int(std::lround(Detail + 2 * 33.9)));
        // The next row follows directly below the grown one.
        QCOMPARE(p.place(Detail).segments.front().top, 1201 + 118);
    }

    void stretchingRowCrossesThePageEnd()
    {
        PagePlacer p = a4();
        p.place(Title);
        for (int i = 0; i < 30; ++i)
            p.place(Detail);
        QCOMPARE(p.position(), 2701);
        // Room 89 takes the row's design height. Line 2 ends at 2701 + 2.6 +
        // 2 * 33.9 = 2771.4, above the footer area at 2790.08; line 3 would
        // end at 2805.3, so it continues at the top of page 2.
        const StretchColumn text{2.6, 33.9, 3, 1};
        const BandPlacement b = p.place(Detail, {text});
        QCOMPARE(b.finishedPages, std::vector<int>{0});
        QCOMPARE(b.segments.size(), size_t(2));
        QCOMPARE(b.segments[0].page, 0);
        QCOMPARE(b.segments[0].top, 2701);
        QCOMPARE(b.segments[0].firstLine, std::vector<int>{0});
        QCOMPARE(b.segments[0].endLine, std::vector<int>{2});
        QVERIFY(!b.segments[0].continuation);
        QCOMPARE(b.segments[1].page, 1);
        QCOMPARE(b.segments[1].top, 127);
        QVERIFY(b.segments[1].continuation);
        QCOMPARE(b.segments[1].firstLine, std::vector<int>{2});
        QCOMPARE(b.segments[1].endLine, std::vector<int>{3});
        // The continuation is as tall as the element's offset plus one line.
        QCOMPARE(p.position(), 127 + int(std::lround(2.6 + 33.9)));
        QCOMPARE(p.pageCount(), 2);
    }

    void textLongerThanAPageRunsOverSeveralPages()
    {
        PagePlacer p = a4();
        // 200 lines of 33.9 = 6780: page 1 from 127 takes 78 lines
        // (127 + 78 * 33.9 = 2771.2), every further page as many.
        const StretchColumn text{0, 33.9, 200, 1};
        const BandPlacement b = p.place(Detail, {text});
        QCOMPARE(b.segments.size(), size_t(3));
        QCOMPARE(b.segments[0].endLine, std::vector<int>{78});
        QCOMPARE(b.segments[1].endLine, std::vector<int>{156});
        QCOMPARE(b.segments[2].endLine, std::vector<int>{200});
        QCOMPARE(b.finishedPages, (std::vector<int>{0, 1}));
    }

    void bandTallerThanThePageBodyStaysWhereItIs()
    {
        PagePlacer p = a4();
        p.place(Title);
        const BandPlacement b = p.place(2800);
        QVERIFY(b.finishedPages.empty());
        QCOMPARE(b.segments.front().page, 0);
        QCOMPARE(b.segments.front().top, 1201);
    }

    void bandThatFitsNoPageIsPlacedAtTheTopOnce()
    {
        // Taller than the room of an empty page (2663) but not than its body
        // (2716): a new page would not help, so it stays at the top.
        PagePlacer p = a4();
        const BandPlacement first = p.place(2700);
        QCOMPARE(first.segments.front().top, 127);
        const BandPlacement second = p.place(2700);
        QCOMPARE(second.finishedPages, std::vector<int>{0});
        QCOMPARE(second.segments.front().page, 1);
        QCOMPARE(second.segments.front().top, 127);
    }

    void landscapePaper()
    {
        // 2100 long: rows after the title have 2100 - 127 - 52.92 - 1201 = 719 of room.
        PagePlacer p(2100, 127, 127, Footer);
        p.place(Title);
        QCOMPARE(p.footerTop(), 1920);
        QCOMPARE(p.roomLeft(), 719);
    }
};

QTEST_GUILESS_MAIN(TestPlacement)
#include "tst_placement.moc"
