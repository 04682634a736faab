#pragma once

// The windows around a report's runs: the preview, the progress window while
// printing, and the printer setup they share. The report itself only turns
// its layout into pages.

#include <QObject>

#include <memory>

class QWidget;

namespace rpt {

class PrinterSettings;
class Report;

class ReportRunner : public QObject
{
    Q_OBJECT
public:
    explicit ReportRunner(Report &report, QObject *parent = nullptr);
    ~ReportRunner() override;

    Report &report() const { return m_report; }

    // Lets pending input be handled; unless a run is in progress, opens the
    // preview window, runs the report into it and returns once the window
    // has been closed.
    void preview();
    // Unless a run is in progress: the run with the progress window, then
    // its pages to the printer of the settings.
    void print();

    // The choices of the printer setup, kept as long as the runner; the
    // orientation chosen there is the report's for every later run.
    PrinterSettings &printerSettings();

Q_SIGNALS:
    // The preview window of preview() exists and is shown.
    void previewOpened(QWidget *window);

private:
    Report &m_report;
    std::unique_ptr<PrinterSettings> m_printer;
};

} // namespace rpt
