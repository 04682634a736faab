#pragma once

#include "data/totals.h"
#include "framework/report/report.h"
#include "framework/report/runner.h"

#include <QWidget>

#include <vector>

class InvoiceData;
namespace einvoice {
struct Seller;
}

// What the letterhead and the foot of every page say, one text a line, and
// what stands in the logo's box.
struct Letterhead
{
    QString owner;
    QString street;
    QString phone;
    QString town;
    QString vat;
    QString paymentLine;
    // Under the payment line: "IBAN ... · C.F. ...", empty when neither is known.
    QString bankLine;
    // The business's own logo; without one the box shows `businessName`.
    QImage logo;
    QString businessName;

    // The program's own sample, for a file that holds no business data yet.
    static Letterhead sample();
    // The lines the business's stored data gives: "Tel. ...", "CAP Town (PR)",
    // "P.IVA ...". A business without any data of its own gives the sample.
    static Letterhead of(const einvoice::Seller &seller);
    bool operator==(const Letterhead &) const = default;
};

// The logo's box: the business's logo scaled into it, or its name set in
// the title font where it has none.
class LogoBox : public rpt::Picture
{
public:
    LogoBox(QString name, QRectF box, QImage image) : rpt::Picture(std::move(name), box, std::move(image)) {}
    rpt::TextBlock layOut(rpt::TextMeasure &measure) const override;
    void draw(const rpt::DrawTarget &target, const rpt::TextBlock &laid, const rpt::Piece &piece) const override;

    // Drawn when there is no picture.
    QString businessName;
    // The largest bold Verdana the name fits the box in, set by layOut().
    rpt::FontSpec nameFont() const { return m_nameFont; }

private:
    mutable rpt::FontSpec m_nameFont;
};

// The letterhead's elements on a page: the logo's box and the five lines
// under it, at the invoice's places.
struct LetterheadElements
{
    LogoBox *logo = nullptr;
    rpt::FixedText *owner = nullptr;
    rpt::FixedText *street = nullptr;
    rpt::FixedText *phone = nullptr;
    rpt::FixedText *town = nullptr;
    rpt::FixedText *vat = nullptr;

    // Adds them to `band`, for a document that fits the invoice's envelope.
    static LetterheadElements addTo(rpt::Band &band);
    // Shows the letterhead: its lines, and its logo scaled into the box
    // unless it is the program's own picture, which fits as it is.
    void show(const Letterhead &l) const;
};

// The window that holds the printed invoice's layout `layout`. It is never shown;
// a run draws its bands into pages for the preview and the printer.
// The document's title where the invoice has "Rechnung / Fattura". A credit
// note's title is set as large as its box allows, and the invoice it corrects
// (`reference`) stands on a line of its own in `referenceBox`; an invoice's
// title is laid out and drawn as any fixed text.
class DocumentTitle : public rpt::FixedText
{
public:
    static constexpr int DesignPoints = 9;
    using rpt::FixedText::FixedText;
    rpt::TextBlock layOut(rpt::TextMeasure &measure) const override;
    void draw(const rpt::DrawTarget &target, const rpt::TextBlock &laid, const rpt::Piece &piece) const override;

    bool creditNote = false;
    QString reference;
    QRectF referenceBox;

private:
    mutable rpt::FontSpec m_titleFont;
    mutable rpt::FontSpec m_referenceFont;
    mutable double m_referenceLineHeight = 0;
};

// The invoice's number on one line, as wide as it is, up to the date's
// column: a longer one (a credit note's "GS-2026-10") is set smaller rather
// than run into the date.
class InvoiceNumberText : public rpt::DataText
{
public:
    using rpt::DataText::DataText;
    rpt::TextBlock layOut(rpt::TextMeasure &measure) const override;
    void draw(const rpt::DrawTarget &target, const rpt::TextBlock &laid, const rpt::Piece &piece) const override;

    double maxWidth = 0;

private:
    mutable bool m_shrunk = false;
    mutable rpt::FontSpec m_fittedFont;
};

// A line's description; above the first line of each delivery note a
// deferred invoice names, the note's heading ("Lieferschein Nr. 12 vom
// 03.11.2026") in a row of its own, bold, in the description's column.
class LineDescription : public rpt::DataText
{
public:
    using rpt::DataText::DataText;
    void draw(const rpt::DrawTarget &target, const rpt::TextBlock &laid, const rpt::Piece &piece) const override;

    QString heading;
    QRectF headingBox;
    rpt::FontSpec headingFont;
};

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

    // Title band: "Rechnung / Fattura", or a credit note's title and its invoice
    DocumentTitle *title;
    // Title band: the letterhead and the picture
    LogoBox *logo;
    rpt::FixedText *letterheadOwner;
    rpt::FixedText *letterheadStreet;
    rpt::FixedText *letterheadPhone;
    rpt::FixedText *letterheadTown;
    rpt::FixedText *letterheadVat;

    // One line of the invoice
    LineDescription *lineDescription;
    // The line's exact amount, the one the totals add up.
    rpt::FixedText *lineAmountText;

    // The totals of an invoice whose lines are all at 10 %
    rpt::FixedText *netTotal;
    rpt::FixedText *taxTotal;
    rpt::FixedText *grossTotal;

    // The totals of any other invoice: one row per rate, the reasons for 0 %
    // and the stamp duty under them. Its elements are made for each run.
    rpt::Band *rateSummaryBand;

    // Foot of every page
    rpt::FixedText *paymentLine;
    rpt::FixedText *bankLine;

    // Hooks of the run.
    void startRun(rpt::Report &report, bool &goAhead);
    void showTotals(rpt::Band &band, bool &printIt);
    void showRateTotals(rpt::Band &band, bool &printIt);

private:
    void showLineAmount();
    void showDeliveryNoteHeading();
    void addPrintedLine();

    InvoiceData &m_data;
    InvoiceTotals m_printedTotals;
    QList<TotalsLine> m_printedLines; // of the run in progress, in print order
    // The delivery note of the line printed last, in the run in progress.
    QString m_lastDeliveryNote;
    // The line band's design, which a heading above a line moves down.
    struct DesignBox
    {
        double top;
        double height;
    };
    std::vector<DesignBox> m_lineDesign;
    double m_lineHeight = 0;
};
