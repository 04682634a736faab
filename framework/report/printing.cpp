#include "printing.h"

#include "progresswindow.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>

namespace rpt {

PrinterSettings::PrinterSettings() = default;
PrinterSettings::~PrinterSettings() = default;

QPrinter &PrinterSettings::printer()
{
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_printer->setPageSize(QPageSize(QPageSize::A4));
        m_printer->setPageOrientation(m_orientation);
        m_printer->setFullPage(true);
        m_printer->setCopyCount(1);
        m_printer->setPrintRange(QPrinter::AllPages);
        m_printer->setDuplex(QPrinter::DuplexNone);
    }
    return *m_printer;
}

void PrinterSettings::setOrientation(QPageLayout::Orientation orientation)
{
    m_orientation = orientation;
    if (m_printer)
        m_printer->setPageOrientation(orientation);
    if (onOrientationChanged)
        onOrientationChanged(orientation);
}

bool PrinterSettings::canPrint()
{
    if (m_printer && !m_printer->outputFileName().isEmpty())
        return true;
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}

bool PrinterSettings::setup(QWidget *parent, int pageCount)
{
    QPrinter &p = printer();
    const int last = std::max(1, pageCount);
    if (p.printRange() != QPrinter::PageRange)
        p.setFromTo(1, last);
    QPrintDialog dialog(&p, parent);
    dialog.setMinMax(1, last);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    setOrientation(p.pageLayout().orientation());
    return true;
}

std::pair<int, int> PrinterSettings::range(int pageCount) const
{
    if (m_printer && m_printer->printRange() == QPrinter::PageRange && m_printer->fromPage() > 0) {
        const int from = std::clamp(m_printer->fromPage(), 1, std::max(1, pageCount));
        const int to = std::clamp(m_printer->toPage() > 0 ? m_printer->toPage() : pageCount, from, std::max(1, pageCount));
        return {from, to};
    }
    return {1, pageCount};
}

PrintResult drawOnPrinter(const Pages &pages, QPrinter &printer, int from, int to,
                          const std::function<bool(int)> &step)
{
    PrintResult result;
    from = std::max(from, 1);
    to = std::min(to, int(pages.size()));
    if (from > to)
        return result;

    // The pages keep their own orientation; the printer's setting comes back afterwards.
    const QPageLayout kept = printer.pageLayout();
    const QSizeF paper = pages[size_t(from - 1)]->paper;
    printer.setFullPage(true);
    printer.setPageOrientation(paper.width() > paper.height() ? QPageLayout::Landscape : QPageLayout::Portrait);

    QPainter painter;
    if (!painter.begin(&printer)) {
        printer.setPageLayout(kept);
        result.error = QStringLiteral("Der Drucker konnte nicht geöffnet werden.");
        return result;
    }
    // A printer that cannot make copies itself gets every page that often.
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    const int total = (to - from + 1) * copies;
    int done = 0;
    for (int copy = 0; copy < copies && !result.cancelled; ++copy) {
        for (int n = from; n <= to; ++n) {
            if (done > 0)
                printer.newPage();
            const QRectF device = printer.paperRect(QPrinter::DevicePixel);
            PaintTarget target;
            target.paper = QRectF(0, 0, device.width(), device.height());
            target.cornerMm = 25.4 / printer.resolution();
            paintPage(painter, *pages[size_t(n - 1)], target);
            ++done;
            if (copy == 0)
                ++result.printed;
            if (step && !step(done * 100 / total)) {
                result.cancelled = true;
                break;
            }
        }
    }
    painter.end();
    printer.setPageLayout(kept);
    return result;
}

PrintResult printWithProgress(const Pages &pages, PrinterSettings &settings)
{
    ProgressWindow progress;
    bool cancel = false;
    QObject::connect(&progress, &ProgressWindow::cancelRequested, &progress, [&cancel] { cancel = true; });
    progress.show();
    const auto [from, to] = settings.range(int(pages.size()));
    const PrintResult result = drawOnPrinter(pages, settings.printer(), from, to, [&](int percent) {
        progress.setProgress(percent);
        QCoreApplication::processEvents();
        return !cancel;
    });
    progress.close();
    return result;
}

} // namespace rpt
