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

QString ReportRunner::currentSubject() const { return subject ? subject() : QString(); }

RunResult ReportRunner::runWithProgress(CancelMode onCancel, const QString &runSubject)
{
    InputGuard guard;
    ProgressWindow progress;
    connect(&progress, &ProgressWindow::cancelRequested, this, [this, onCancel] { m_report.requestCancel(onCancel); });
    progress.show();

    struct ToProgress : PageSink
    {
        ProgressWindow &window;
        explicit ToProgress(ProgressWindow &w) : window(w) {}
        void pageReady(const PagePtr &) override {}
        void progress(int percent) override { window.setProgress(percent); }
    } sink(progress);
    RunResult result = m_report.run(&sink);
    progress.close();
    guard.release();
    if (result.end == RunEnd::Failed) {
        // Pages that stop short of the failure can pass for the whole
        // document (an invoice without its last lines or its totals); neither
        // they nor an earlier preview of the same document, which the failure
        // shows to be out of date, may be printed or saved any more.
        result.pages.clear();
        closePreviewsOf(runSubject);
    }
    return result;
}

void ReportRunner::closePreviewsOf(const QString &runSubject)
{
    for (const OpenPreview &open : m_previews)
        if (open.window && open.subject == runSubject)
            open.window->close();
}

void ReportRunner::preview()
{
    QCoreApplication::processEvents();
    if (m_report.busy())
        return;
    // Opened from a modal window, the preview must belong to it, or that
    // window's modality would keep the preview from getting any input.
    QWidget *owner = QApplication::activeModalWidget();
    const QString runSubject = currentSubject();
    const RunResult result = runWithProgress(CancelMode::Abandon, runSubject);
    if (result.end == RunEnd::Failed)
        showErrorBox(result.error);
    if (result.end != RunEnd::Completed)
        return;

    QPointer<PreviewWindow> window = new PreviewWindow(printerSettings(), m_report.title, owner);
    m_previews.push_back({window, runSubject});
    window->show();
    window->beginRun();
    for (const PagePtr &page : result.pages)
        window->pageReady(page);
    window->endRun();
    Q_EMIT previewOpened(window);

    if (window && window->isVisible()) {
        QEventLoop loop;
        connect(window, &PreviewWindow::closed, &loop, &QEventLoop::quit);
        connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
        loop.exec();
    }
    delete window.data();
    std::erase_if(m_previews, [](const OpenPreview &open) { return !open.window; });
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
    // "Cancel" still prints the pages done so far, the last one with its footer.
    const RunResult result = runWithProgress(CancelMode::FinishPage, currentSubject());
    QString error;
    if (result.end != RunEnd::Failed) {
        const auto [from, to] = settings.range(int(result.pages.size()));
        error = drawOnPrinter(result.pages, settings.printer(), from, to).error;
    }
    if (result.end == RunEnd::Failed)
        showErrorBox(result.error);
    if (!error.isEmpty())
        showMessage(error);
}

} // namespace rpt
