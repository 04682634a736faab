#include "report.h"

#include "fontmetrics.h"
#include "inputguard.h"
#include "previewwindow.h"
#include "printing.h"
#include "progresswindow.h"

#include "data/errors.h"
#include "data/recordset.h"
#include "framework/messages.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace rpt {

namespace {

constexpr double MmPerPixel96 = 25.4 / 96;

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
        std::vector<TextBlock> blocks;    // per element; empty for non-text
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
            const auto *text = dynamic_cast<const TextElement *>(e.get());
            laid.blocks.push_back(text ? layoutText(*text, text->text(), m_measure) : TextBlock());
            if (text && text->sizing == Sizing::Stretch) {
                const TextBlock &b = laid.blocks.back();
                laid.column.push_back(int(laid.stretch.size()));
                laid.stretch.push_back(StretchColumn{text->box.top() * 10, b.lineHeight * 10, int(b.lines.size()), b.linesInBox});
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

    static TextRun textRun(const TextElement &t, const TextBlock &b, QPointF origin, int from, int to, double height)
    {
        TextRun run;
        run.font = t.font;
        run.box = QRectF(origin.x() + t.box.left() - b.grownLeft, origin.y() + t.box.top(), b.width, height);
        run.align = t.align;
        run.lineHeight = b.lineHeight;
        run.lines = b.lines.mid(from, to - from);
        return run;
    }

    void draw(const Band &band, const Laid &laid, const BandSegment &segment)
    {
        Page &target = page(segment.page);
        const QPointF origin(m_report.page.leftMargin / 10, segment.top / 10.0);
        const auto &elements = band.elements();
        for (size_t i = 0; i < elements.size(); ++i) {
            const Element *e = elements[i].get();
            const int col = laid.column[i];
            if (segment.continuation) {
                if (col < 0)
                    continue;
                const int from = segment.firstLine[size_t(col)], to = segment.endLine[size_t(col)];
                if (to <= from)
                    continue;
                const auto &t = static_cast<const TextElement &>(*e);
                const TextBlock &b = laid.blocks[i];
                target.ops.push_back(textRun(t, b, origin, from, to, (to - from) * b.lineHeight));
                continue;
            }
            if (const auto *t = dynamic_cast<const TextElement *>(e)) {
                const TextBlock &b = laid.blocks[i];
                if (col >= 0) {
                    const int to = segment.endLine[size_t(col)];
                    const double grown = std::max(0, to - b.linesInBox) * b.lineHeight;
                    target.ops.push_back(textRun(*t, b, origin, 0, to, t->box.height() + grown));
                } else {
                    target.ops.push_back(textRun(*t, b, origin, 0, b.linesInBox, t->box.height()));
                }
            } else if (const auto *l = dynamic_cast<const LineShape *>(e)) {
                const QRectF r = l->box.translated(origin);
                LineRun run;
                run.style = l->style;
                run.width = l->penWidth * MmPerPixel96;
                if (l->direction == LineDirection::Horizontal) {
                    run.from = QPointF(r.left(), r.center().y());
                    run.to = QPointF(r.right(), r.center().y());
                } else {
                    run.from = QPointF(r.center().x(), r.top());
                    run.to = QPointF(r.center().x(), r.bottom());
                }
                target.ops.push_back(run);
            } else if (const auto *rr = dynamic_cast<const RoundedRectangle *>(e)) {
                RoundRectRun run;
                run.box = rr->box.translated(origin);
                run.penWidth = rr->penWidth * MmPerPixel96;
                run.cornerPixels = rr->cornerPixels();
                run.filled = rr->filled;
                run.invertBeneath = rr->invertOutline;
                target.ops.push_back(run);
            } else if (const auto *p = dynamic_cast<const Picture *>(e)) {
                ImageRun run;
                run.image = p->image;
                const QRectF box = p->box.translated(origin);
                run.target = QRectF(box.topLeft(), QSizeF(p->image.width() * 25.4 / m_density, p->image.height() * 25.4 / m_density));
                run.clip = box;
                target.ops.push_back(run);
            }
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

PrinterSettings &Report::printerSettings()
{
    if (!m_printer)
        m_printer = std::make_unique<PrinterSettings>();
    return *m_printer;
}

QSizeF Report::paperSize() const
{
    const QSizeF portrait(page.paperWidth / 10, page.paperLength / 10);
    const bool landscape = m_printer && m_printer->orientation() == QPageLayout::Landscape;
    return landscape ? portrait.transposed() : portrait;
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
            dataSet->First();
        const bool empty = !dataSet || dataSet->Eof();
        if (Band *t = band(BandType::Title))
            run.printBand(*t);
        Band *detail = band(BandType::Detail);
        bool stopped = false;
        if (empty) {
            if (detail && printIfEmpty)
                run.printBand(*detail);
        } else {
            const int total = std::max(1, dataSet->RecordCount());
            int done = 0;
            while (!dataSet->Eof()) {
                QCoreApplication::processEvents();
                if (m_cancel != CancelMode::None) {
                    stopped = true;
                    break;
                }
                if (detail)
                    run.printBand(*detail);
                dataSet->Next();
                ++done;
                if (sink)
                    sink->progress(int(qint64(done) * 100 / total));
            }
        }
        if (!stopped)
            if (Band *s = band(BandType::Summary))
                run.printBand(*s);
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

void Report::preview()
{
    QCoreApplication::processEvents();
    if (m_busy)
        return;
    InputGuard guard;
    // Opened from a modal window, the preview must belong to it, or that
    // window's modality would keep the preview from getting any input.
    QPointer<PreviewWindow> window = new PreviewWindow(printerSettings(), title, QApplication::activeModalWidget());
    connect(window, &PreviewWindow::cancelRequested, this, [this] { requestCancel(CancelMode::Abandon); });
    window->show();
    Q_EMIT previewOpened(window);

    window->beginRun();
    const RunResult result = run(window);
    guard.release();
    if (window)
        window->endRun();
    if (result.end == RunEnd::Failed)
        showErrorBox(result.error);

    if (window && window->isVisible()) {
        QEventLoop loop;
        connect(window, &PreviewWindow::closed, &loop, &QEventLoop::quit);
        connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
        loop.exec();
    }
    delete window.data();
}

void Report::print()
{
    if (m_busy)
        return;
    PrinterSettings &settings = printerSettings();
    if (!settings.canPrint()) {
        showMessage(QStringLiteral("Kein Drucker installiert."));
        return;
    }
    InputGuard guard;
    ProgressWindow progress;
    connect(&progress, &ProgressWindow::cancelRequested, this, [this] { requestCancel(CancelMode::FinishPage); });
    progress.show();

    struct ToProgress : PageSink
    {
        ProgressWindow &window;
        explicit ToProgress(ProgressWindow &w) : window(w) {}
        void pageReady(const PagePtr &) override {}
        void progress(int percent) override { window.setProgress(percent); }
    } sink(progress);
    const RunResult result = run(&sink);
    const auto [from, to] = settings.range(int(result.pages.size()));
    const QString error = drawOnPrinter(result.pages, settings.printer(), from, to).error;
    progress.close();
    guard.release();
    if (result.end == RunEnd::Failed)
        showErrorBox(result.error);
    if (!error.isEmpty())
        showMessage(error);
}

} // namespace rpt
