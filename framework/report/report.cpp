#include "report.h"

#include "fontmetrics.h"

#include "data/errors.h"
#include "data/rowsource.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace rpt {

namespace {

double screenDensity()
{
    if (const QScreen *s = QGuiApplication::primaryScreen())
        return s->logicalDotsPerInchY();
    return 96;
}

} // namespace

// The state of one run: the pages in progress and where bands go on them.
class Report::Run
{
public:
    Run(Report &report, PageSink *sink)
        : m_report(report), m_sink(sink), m_paper(report.paperSize()),
          m_placer(m_paper.height() * 10, report.page.topMargin, report.page.bottomMargin, footerHeight(report)),
          m_density(report.pixelDensity > 0 ? report.pixelDensity : screenDensity())
    {
    }

    // A band with rows of its own prints once for each of them.
    void printBandOrGroup(Band &band)
    {
        if (!band.rows) {
            printBand(band);
            return;
        }
        for (band.rows->first(); !band.rows->atEnd(); band.rows->next())
            printBand(band);
    }

    void printBand(Band &band)
    {
        bool printIt = true;
        if (band.BeforePrint)
            band.BeforePrint(band, printIt);
        if (!printIt) {
            if (band.AfterPrint)
                band.AfterPrint(band, false);
            return;
        }
        Laid laid = layOut(band);
        const BandPlacement placement = m_placer.place(band.height * 10, laid.stretch);
        for (const BandSegment &segment : placement.segments)
            draw(band, laid, segment);
        for (int page : placement.finishedPages)
            finishPage(page);
        if (band.AfterPrint)
            band.AfterPrint(band, true);
    }

    // The last page gets its footer and goes out.
    void finish()
    {
        const int page = m_placer.finishPage();
        if (page >= 0)
            finishPage(page);
    }

    // The page in progress goes out as it is, without its footer.
    void endUnfinished()
    {
        const int page = m_placer.finishPage();
        if (page >= 0)
            deliver(page);
    }

    Pages pages() const { return m_done; }

private:
    struct Laid
    {
        std::vector<TextBlock> blocks;    // per element: what its layOut() gave
        std::vector<int> column;          // per element: its stretch column, or -1
        std::vector<StretchColumn> stretch;
    };

    static double footerHeight(const Report &r)
    {
        const Band *f = r.band(BandType::PageFooter);
        return f ? f->height * 10 : 0;
    }

    Laid layOut(const Band &band)
    {
        Laid laid;
        for (const auto &e : band.elements()) {
            laid.blocks.push_back(e->layOut(m_measure));
            if (const std::optional<StretchColumn> c = e->stretchColumn(laid.blocks.back())) {
                laid.column.push_back(int(laid.stretch.size()));
                laid.stretch.push_back(*c);
            } else {
                laid.column.push_back(-1);
            }
        }
        return laid;
    }

    Page &page(int index)
    {
        while (int(m_open.size()) <= index - m_firstOpen)
            m_open.push_back(std::make_shared<Page>(Page{m_paper, {}}));
        return *m_open[size_t(index - m_firstOpen)];
    }

    void draw(const Band &band, const Laid &laid, const BandSegment &segment)
    {
        const DrawTarget target{page(segment.page), QPointF(m_report.page.leftMargin / 10, segment.top / 10.0), m_density};
        const auto &elements = band.elements();
        for (size_t i = 0; i < elements.size(); ++i) {
            const int col = laid.column[i];
            Piece piece;
            if (segment.continuation) {
                // Only stretching texts go on, and only with lines left.
                if (col < 0)
                    continue;
                piece.continuation = true;
                piece.firstLine = segment.firstLine[size_t(col)];
                piece.endLine = segment.endLine[size_t(col)];
                if (piece.endLine <= piece.firstLine)
                    continue;
            } else {
                piece.endLine = col >= 0 ? segment.endLine[size_t(col)] : laid.blocks[i].linesInBox;
            }
            elements[i]->draw(target, laid.blocks[i], piece);
        }
    }

    void finishPage(int index)
    {
        if (Band *footer = m_report.band(BandType::PageFooter)) {
            bool printIt = true;
            if (footer->BeforePrint)
                footer->BeforePrint(*footer, printIt);
            if (printIt) {
                Laid laid = layOut(*footer);
                BandSegment segment;
                segment.page = index;
                segment.top = m_placer.footerTop();
                for (const StretchColumn &c : laid.stretch) {
                    segment.firstLine.push_back(0);
                    segment.endLine.push_back(std::min(c.lines, c.linesInBox));
                }
                draw(*footer, laid, segment);
            }
            if (footer->AfterPrint)
                footer->AfterPrint(*footer, printIt);
        }
        deliver(index);
    }

    // Pages go out in order: every page before this one is complete.
    void deliver(int index)
    {
        while (m_firstOpen <= index) {
            page(m_firstOpen);
            PagePtr done = std::move(m_open.front());
            m_open.erase(m_open.begin());
            ++m_firstOpen;
            m_done.push_back(done);
            if (m_sink)
                m_sink->pageReady(done);
        }
    }

    Report &m_report;
    PageSink *m_sink;
    QSizeF m_paper;
    PagePlacer m_placer;
    double m_density;
    TextMeasure m_measure;
    std::vector<std::shared_ptr<Page>> m_open; // pages from m_firstOpen on
    int m_firstOpen = 0;
    Pages m_done;
};

Report::Report(QObject *parent) : QObject(parent) {}

Report::~Report() = default;

Band *Report::addBand(BandType type, const QString &name, double height, double width)
{
    m_bands.push_back(std::make_unique<Band>(type, name, height, width));
    return m_bands.back().get();
}

Band *Report::band(BandType type) const
{
    for (const auto &b : m_bands)
        if (b->type() == type)
            return b.get();
    return nullptr;
}

void Report::requestCancel(CancelMode mode)
{
    if (!m_busy)
        return;
    // Giving the pages up outranks keeping them.
    if (m_cancel != CancelMode::Abandon)
        m_cancel = mode;
}

QSizeF Report::paperSize() const
{
    const QSizeF portrait(page.paperWidth / 10, page.paperLength / 10);
    return orientation == QPageLayout::Landscape ? portrait.transposed() : portrait;
}

RunResult Report::run(PageSink *sink)
{
    RunResult result;
    if (m_busy)
        return result;
    m_busy = true;
    m_cancel = CancelMode::None;
    struct Idle
    {
        bool &busy;
        ~Idle() { busy = false; }
    } idle{m_busy};

    Run run(*this, sink);
    try {
        bool goAhead = true;
        if (BeforePrint)
            BeforePrint(*this, goAhead);
        if (!goAhead) {
            result.end = RunEnd::Cancelled;
            return result;
        }
        if (dataSet)
            dataSet->first();
        const bool empty = !dataSet || dataSet->atEnd();
        if (Band *t = band(BandType::Title))
            run.printBandOrGroup(*t);
        Band *detail = band(BandType::Detail);
        bool stopped = false;
        if (empty) {
            if (detail && printIfEmpty)
                run.printBand(*detail);
        } else {
            const int total = std::max(1, dataSet->rowCount());
            int done = 0;
            while (!dataSet->atEnd()) {
                QCoreApplication::processEvents();
                if (m_cancel != CancelMode::None) {
                    stopped = true;
                    break;
                }
                if (detail)
                    run.printBand(*detail);
                dataSet->next();
                ++done;
                if (sink)
                    sink->progress(int(qint64(done) * 100 / total));
            }
        }
        if (!stopped)
            for (const auto &b : m_bands)
                if (b->type() == BandType::Summary)
                    run.printBandOrGroup(*b);
        if (m_cancel != CancelMode::Abandon)
            run.finish();
        result.end = stopped ? RunEnd::Cancelled : RunEnd::Completed;
    } catch (const AppError &e) {
        run.endUnfinished();
        result.end = RunEnd::Failed;
        result.error = e.message();
    } catch (const std::exception &e) {
        run.endUnfinished();
        result.end = RunEnd::Failed;
        result.error = QString::fromLocal8Bit(e.what());
    }
    result.pages = run.pages();
    return result;
}

} // namespace rpt
