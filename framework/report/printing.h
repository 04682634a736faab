#pragma once

// The printer setup kept for the report's lifetime, and pages sent to a
// printer: each page drawn at the printer's own resolution, stretched to its
// paper.

#include "page.h"

#include <QPageLayout>
#include <QString>

#include <functional>
#include <memory>
#include <utility>

class QPrinter;
class QWidget;

namespace rpt {

class PrinterSettings
{
public:
    PrinterSettings();
    ~PrinterSettings();
    PrinterSettings(const PrinterSettings &) = delete;
    PrinterSettings &operator=(const PrinterSettings &) = delete;

    // Made on first use (asking the system for printers takes time): the
    // default printer, A4, one copy, all pages, one-sided.
    QPrinter &printer();

    // The report's page orientation; every later run takes it.
    QPageLayout::Orientation orientation() const { return m_orientation; }
    void setOrientation(QPageLayout::Orientation orientation);
    // Told of every orientation set, the printer setup's included.
    std::function<void(QPageLayout::Orientation)> onOrientationChanged;

    // A printer is installed, or the output goes to a file.
    bool canPrint();

    // The system's print dialog with pages 1 to pageCount to choose from. OK
    // keeps copies, printer, orientation and range; Cancel changes nothing.
    bool setup(QWidget *parent, int pageCount);

    // First and last page to print (from 1), within 1..pageCount.
    std::pair<int, int> range(int pageCount) const;

private:
    std::unique_ptr<QPrinter> m_printer;
    QPageLayout::Orientation m_orientation = QPageLayout::Portrait;
};

struct PrintResult
{
    int printed = 0; // pages handed to the printer
    bool cancelled = false;
    QString error;
};

// Pages from..to (from 1) on the printer, with the copies it asks for;
// `step(percent)` after every page, and false from it stops the job with the
// pages printed so far.
PrintResult drawOnPrinter(const Pages &pages, QPrinter &printer, int from, int to,
                          const std::function<bool(int percent)> &step = {});

// The same with the progress window and its "Cancel", over the range of the
// settings.
PrintResult printWithProgress(const Pages &pages, PrinterSettings &settings);

} // namespace rpt
