#include "runner.h"

#include "inputguard.h"
#include "previewwindow.h"
#include "printing.h"
#include "progresswindow.h"
#include "report.h"

#include "framework/messages.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>

namespace rpt {

ReportRunner::ReportRunner(Report &report, QObject *parent) : QObject(parent), m_report(report) {}

ReportRunner::~ReportRunner() = default;

PrinterSettings &ReportRunner::printerSettings()
{
    if (!m_printer) {
        m_printer = std::make_unique<PrinterSettings>();
        m_printer->setOrientation(m_report.orientation);
        m_printer->onOrientationChanged = [this](QPageLayout::Orientation o) { m_report.orientation = o; };
    }
    return *m_printer;
}

void ReportRunner::preview()
{
    QCoreApplication::processEvents();
    if (m_report.busy())
        return;
    InputGuard guard;
    // Opened from a modal window, the preview must belong to it, or that
    // window's modality would keep the preview from getting any input.
    QPointer<PreviewWindow> window = new PreviewWindow(printerSettings(), m_report.title, QApplication::activeModalWidget());
    connect(window, &PreviewWindow::cancelRequested, this, [this] { m_report.requestCancel(CancelMode::Abandon); });
    window->show();
    Q_EMIT previewOpened(window);

    window->beginRun();
    const RunResult result = m_report.run(window);
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

void ReportRunner::print()
{
    if (m_report.busy())
        return;
    PrinterSettings &settings = printerSettings();
    if (!settings.canPrint()) {
        showMessage(QStringLiteral("Kein Drucker installiert."));
        return;
    }
    InputGuard guard;
    ProgressWindow progress;
    connect(&progress, &ProgressWindow::cancelRequested, this, [this] { m_report.requestCancel(CancelMode::FinishPage); });
    progress.show();

    struct ToProgress : PageSink
    {
        ProgressWindow &window;
        explicit ToProgress(ProgressWindow &w) : window(w) {}
        void pageReady(const PagePtr &) override {}
        void progress(int percent) override { window.setProgress(percent); }
    } sink(progress);
    const RunResult result = m_report.run(&sink);
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
