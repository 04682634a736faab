#pragma once

// A band report: a title band, a detail band printed once for every row of a
// row source, summary bands and a page footer on every page. A run turns the
// layout and the current data into pages (display lists); the runner
// (runner.h) shows them in the preview window or sends them to the printer.

#include "band.h"
#include "page.h"
#include "placement.h"

#include <QObject>
#include <QPageLayout>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class RowSource;

namespace rpt {

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
    // The paper's orientation; the printer setup sets it for later runs.
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    RowSource *dataSet = nullptr; // drives the detail band
    bool printIfEmpty = true;     // one detail band even without rows
    QString title;
    // Dots per inch at which pictures are drawn one pixel per pixel; 0 takes
    // the screen's.
    double pixelDensity = 0;

    // Summary bands print after the detail rows in the order they were added;
    // of the other types a report has one band each.
    Band *addBand(BandType type, const QString &name, double height, double width);
    // The first band of the type.
    Band *band(BandType type) const;

    // Before a run lays out anything; clearing the flag stops the run.
    std::function<void(Report &, bool &goAhead)> BeforePrint;

    bool busy() const { return m_busy; }
    // A running run stops before its next row.
    void requestCancel(CancelMode mode);

    // One run into pages, reported to the sink as they are completed. Pending
    // events are handled before every detail row. Never throws: a failure
    // ends the run with what was produced and is returned in the result.
    RunResult run(PageSink *sink = nullptr);

    // Paper size in mm in the report's orientation.
    QSizeF paperSize() const;

private:
    class Run;

    bool m_busy = false;
    CancelMode m_cancel = CancelMode::None;
    std::vector<std::unique_ptr<Band>> m_bands; // in the order they were added
};

} // namespace rpt
