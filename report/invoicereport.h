#pragma once

#include "data/totals.h"
#include "framework/report/report.h"
#include "framework/report/runner.h"

#include <QWidget>

class InvoiceData;
namespace einvoice {
struct Seller;
}

// What the letterhead and the foot of every page say, one text a line.
struct Letterhead
{
    QString owner;
    QString street;
    QString phone;
    QString town;
    QString vat;
    QString paymentLine;

    // The program's own sample, for a file that holds no business data yet.
    static Letterhead sample();
    // The lines the business's stored data gives: "Tel. ...", "CAP Town (PR)",
    // "P.IVA ...". A business without any data of its own gives the sample.
    static Letterhead of(const einvoice::Seller &seller);
    bool operator==(const Letterhead &) const = default;
};

// The window that holds the printed invoice's layout `layout`. It is never shown;
// a run draws its bands into pages for the preview and the printer.
class InvoiceReport : public QWidget
{
    Q_OBJECT
public:
    explicit InvoiceReport(InvoiceData &data, QWidget *parent = nullptr);
    ~InvoiceReport() override;

    // "&Rechnung" -> "&Drucken" and the editor's "[ Vorschau ]": while no run
    // is in progress, the preview opens; returns when the preview window has
    // been closed. During a run: nothing.
    void showPreview();
    // The invoice straight to the printer, with the progress window.
    void print();

    // The business's letterhead and payment line, for every run from now on.
    void setLetterhead(const Letterhead &letterhead);
    Letterhead letterhead() const;

    // The totals the summary of the last run showed; none before its summary.
    const InvoiceTotals &printedTotals() const { return m_printedTotals; }

    rpt::Report layout;
    // Opens the preview and the printer's windows for the layout's runs.
    rpt::ReportRunner runner{layout};

    rpt::Band *titleBand;
    rpt::Band *lineBand;
    rpt::Band *summaryBand;
    rpt::Band *pageFooter;

    // Title band: the letterhead and the picture
    rpt::Picture *logo;
    rpt::FixedText *letterheadOwner;
    rpt::FixedText *letterheadStreet;
    rpt::FixedText *letterheadPhone;
    rpt::FixedText *letterheadTown;
    rpt::FixedText *letterheadVat;

    // One line of the invoice
    rpt::DataText *lineDescription;
    rpt::DataText *lineAmountText;

    // The totals
    rpt::FixedText *netTotal;
    rpt::FixedText *taxTotal;
    rpt::FixedText *grossTotal;

    // Foot of every page
    rpt::FixedText *paymentLine;

    // Hooks of the run.
    void startRun(rpt::Report &report, bool &goAhead);
    void showTotals(rpt::Band &band, bool &printIt);

private:
    void addPrintedLine();

    InvoiceData &m_data;
    InvoiceTotals m_printedTotals;
    QList<TotalsLine> m_printedLines; // of the run in progress, in print order
};
