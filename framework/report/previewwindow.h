#pragma once

#include "page.h"
#include "report.h"

#include <QImage>
#include <QWidget>

#include <array>

class FlatButton;
class QLabel;
class QScrollArea;
class QStatusBar;

namespace rpt {

class PageView;
class PrinterSettings;

// The print preview: pages appear while the run produces them; the tool bar
// zooms, turns pages, sets up the printer, prints, saves and loads pages.
// Keyboard input goes to the window as a whole.
class PreviewWindow : public QWidget, public PageSink
{
    Q_OBJECT
public:
    enum Tool {
        ZoomFit, Zoom100, ZoomWidth,
        FirstPage, PriorPage, NextPage, LastPage, GoToPage,
        PrinterSetup, Print,
        SaveReport, LoadReport,
        Close,
        ToolCount
    };

    PreviewWindow(PrinterSettings &settings, const QString &reportTitle, QWidget *parent = nullptr);
    ~PreviewWindow() override;

    // The run that fills the window.
    void beginRun();
    void pageReady(const PagePtr &page) override;
    void progress(int percent) override;
    void endRun();
    bool running() const { return m_running; }

    const Pages &pages() const { return m_pages; }
    int pageCount() const { return int(m_pages.size()); }
    int currentPage() const { return m_current; } // from 1
    int zoom() const { return m_zoom; }           // percent
    QString progressText() const;
    QString pageText() const;
    FlatButton *tool(Tool t) const { return m_tools[size_t(t)]; }
    // The paper at 100 %, in screen pixels.
    QSize pageSizeAt100() const;
    // Where the page is shown, as without scroll bars: the zooms that fit
    // the page to the window are worked out from it.
    QSize viewSize() const;
    // The page on show as the screen shows it.
    QImage renderedPage() const;

    void showPage(int number);
    void setZoom(int percent);
    void zoomToFit();
    void zoom100();
    void zoomToWidth();
    void goToPage();
    void printerSetup();
    void print();
    void saveReport();
    void loadReport();
    // With a message to the user on failure.
    bool savePages(const QString &path, bool asPdf);
    bool loadPages(const QString &path);

Q_SIGNALS:
    // Closing while pages are still coming: the run should stop.
    void cancelRequested();
    void closed();
    void pageAdded(int count);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    enum class ZoomMode { Fit, Actual, Width };

    void applyZoomMode();
    void updateView();
    void updatePageText();
    double screenDpi() const;
    QSizeF paperOnShow() const;

    PrinterSettings &m_settings;
    Pages m_pages;
    bool m_running = false;
    bool m_loaded = false;
    int m_current = 1;
    int m_zoom = 100;
    ZoomMode m_mode = ZoomMode::Width;
    int m_lastProgress = 0;

    std::array<FlatButton *, ToolCount> m_tools{};
    QScrollArea *m_scroll = nullptr;
    PageView *m_view = nullptr;
    QStatusBar *m_status = nullptr;
    QLabel *m_progress = nullptr;
    QLabel *m_pageLabel = nullptr;
};

} // namespace rpt
