#pragma once

// The windows around a report's runs: the preview, the progress window while
// a run goes on, and the printer setup they share. The report itself only
// turns its layout into pages.

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace rpt {

class PreviewWindow;
class PrinterSettings;
class Report;
struct RunResult;
enum class CancelMode;

class ReportRunner : public QObject
{
    Q_OBJECT
public:
    explicit ReportRunner(Report &report, QObject *parent = nullptr);
    ~ReportRunner() override;

    Report &report() const { return m_report; }

    // Lets pending input be handled; unless a run is in progress, runs the
    // report with the progress window, then shows its pages in the preview
    // window and returns once that has been closed.
    void preview();
    // Unless a run is in progress: the run with the progress window, then
    // its pages to the printer of the settings.
    //
    // Either way a run that fails shows nothing, prints nothing and closes
    // the previews still open on the same document: only its error is shown.
    void print();

    // The choices of the printer setup, kept as long as the runner; the
    // orientation chosen there is the report's for every later run.
    PrinterSettings &printerSettings();

    // Which document a run is about (an invoice, say), asked before the run.
    // Without it every preview of the report counts as the same document.
    std::function<QString()> subject;

Q_SIGNALS:
    // The preview window of preview() exists and shows the run's pages.
    void previewOpened(QWidget *window);

private:
    struct OpenPreview
    {
        QPointer<PreviewWindow> window;
        QString subject;
    };

    QString currentSubject() const;
    // One run behind the progress window; "Cancel" there asks the run to stop
    // as `onCancel` says. A failed run's pages are dropped.
    RunResult runWithProgress(CancelMode onCancel, const QString &subject);
    void closePreviewsOf(const QString &subject);

    Report &m_report;
    std::unique_ptr<PrinterSettings> m_printer;
    std::vector<OpenPreview> m_previews;
};

} // namespace rpt
