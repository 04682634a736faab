#pragma once

// A band report: a title band, a detail band printed once for every row of a
// record set, a summary band and a page footer on every page. A run turns the
// layout and the current data into pages (display lists), which go to the
// preview window, the printer or a file.

#include "band.h"
#include "page.h"
#include "placement.h"

#include <QObject>
#include <QPageLayout>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class RecordSet;

namespace rpt {

class PrinterSettings;

// The page as the layout keeps it: seven numbers in tenths of a millimetre,
// for portrait paper.
struct PageSetup
{
    double bottomMargin = 127;
    double paperLength = 2970;
    double topMargin = 127;
    double paperWidth = 2100;
    double leftMargin = 127;
    double rightMargin = 127;
    double columnSpace = 0;
};

// Where a run sends its pages as they are completed.
class PageSink
{
public:
    virtual ~PageSink() = default;
    virtual void pageReady(const PagePtr &page) = 0;
    // Rows printed so far as a whole percentage of all rows.
    virtual void progress(int percent) { (void)percent; }
};

enum class RunEnd {
    Completed, // every row and the summary
    Cancelled, // stopped before a row on request
    Failed,    // a row could not be read; `error` says why
    Refused,   // another run was in progress
};

struct RunResult
{
    RunEnd end = RunEnd::Refused;
    Pages pages;
    QString error;
};

enum class CancelMode {
    None,
    FinishPage, // the page in progress still gets its footer
    Abandon,    // the pages are no longer wanted
};

class Report : public QObject
{
    Q_OBJECT
public:
    explicit Report(QObject *parent = nullptr);
    ~Report() override;

    PageSetup page;
    RecordSet *dataSet = nullptr; // drives the detail band
    bool printIfEmpty = true;     // one detail band even without rows
    QString title;
    // Dots per inch at which pictures are drawn one pixel per pixel; 0 takes
    // the screen's.
    double pixelDensity = 0;

    Band *addBand(BandType type, const QString &name, double height, double width);
    Band *band(BandType type) const;

    // Before a run lays out anything; clearing the flag stops the run.
    std::function<void(Report &, bool &goAhead)> BeforePrint;

    bool busy() const { return m_busy; }
    // A running run stops before its next row.
    void requestCancel(CancelMode mode);

    // One run into pages, reported to the sink as they are completed. Pending
    // events are handled before every row. Never throws: a failure ends the
    // run with what was produced and is returned in the result.
    RunResult run(PageSink *sink = nullptr);

    // Lets pending input be handled; unless a run is in progress, opens the
    // preview window, runs the report into it and returns once the window
    // has been closed.
    void preview();
    // Unless a run is in progress: the run with the progress window, then
    // its pages to the printer of the settings.
    void print();

    // The choices of the printer setup, kept as long as the report.
    PrinterSettings &printerSettings();

    // Paper size in mm in the orientation of the printer settings.
    QSizeF paperSize() const;

Q_SIGNALS:
    // The preview window of preview() exists and is shown.
    void previewOpened(QWidget *window);

private:
    class Run;

    bool m_busy = false;
    CancelMode m_cancel = CancelMode::None;
    std::vector<std::unique_ptr<Band>> m_bands;
    std::unique_ptr<PrinterSettings> m_printer;
};

} // namespace rpt
