#pragma once

#include "data/amount.h"
#include "data/customerkind.h"
#include "data/deliverynote.h"
#include "einvoice/invoicedata.h"
#include "framework/report/fontmetrics.h"
#include "framework/report/placement.h"
#include "framework/report/report.h"
#include "framework/report/runner.h"
#include "report/invoicereport.h"

#include <QImage>
#include <QWidget>

#include <memory>
#include <optional>

// The EU flag as the plant passport carries it, drawn by the program: twelve
// golden five-pointed stars in a circle on blue, 3:2, `height` pixels high.
QImage europeanFlag(int height);

// The printed delivery note ("Lieferschein / Documento di trasporto"), A4 and
// bilingual like the invoice: letterhead, the buyer's address window, the
// DDT's facts (number, date, destination, carrier, reason, packages), one
// row per line and, for a customer who gets plant passports, each plant
// line's passport below it; the signatures of driver and recipient at the
// end. A note too long for one page goes on over further pages, each with a
// short header, and no line is ever split between two pages.
class DeliveryNoteReport : public QWidget
{
    Q_OBJECT
public:
    explicit DeliveryNoteReport(QWidget *parent = nullptr);
    ~DeliveryNoteReport() override;

    // The business's own logo, which the stored business data does not
    // hold; without one the letterhead is what the data gives.
    void setLogo(const QImage &logo);

    // What the next run prints. Throws ConversionError (NoRegistrationNumber)
    // when the note's plants need passports and the business has no
    // registration number to put under B; then the layout is left as it was.
    void setNote(const DeliveryNoteRecord &note, const einvoice::Seller &seller, CustomerKind kind,
                 const Separators &separators);

    // The preview of the note, from which the user prints or saves a PDF;
    // returns once it has been closed. Refused as setNote() refuses.
    void preview(const DeliveryNoteRecord &note, const einvoice::Seller &seller, CustomerKind kind,
                 const Separators &separators);
    // The note as a PDF file at `path`. Throws ConversionError with a German
    // message when it cannot be written, or as setNote() does.
    void exportPdf(const DeliveryNoteRecord &note, const einvoice::Seller &seller, CustomerKind kind,
                   const Separators &separators, const QString &path);

    rpt::Report layout;
    rpt::ReportRunner runner{layout};

    rpt::Band *titleBand;
    rpt::Band *lineBand;
    rpt::Band *signatureBand;
    rpt::Band *pageFooter;

    // The letterhead, as on the invoice.
    LetterheadElements letterhead;
    // Under it: the seller's registration number and site, when known.
    rpt::FixedText *registration;
    rpt::FixedText *site;

    // The buyer's address window.
    rpt::FixedText *salutation;
    rpt::FixedText *customerName;
    rpt::FixedText *customerOwner;
    rpt::FixedText *customerAddress;
    rpt::FixedText *customerVat;

    rpt::FixedText *title;
    rpt::FixedText *number;
    rpt::FixedText *date;
    rpt::FixedText *destination;
    rpt::FixedText *carrier;
    rpt::FixedText *reason;
    rpt::FixedText *packages;

    rpt::FixedText *pageNumber;

    // The height of the header a continued page starts with, in mm.
    static constexpr double ContinuationHeader = 18.0;

private:
    class Lines;

    void startRun(bool &goAhead);
    void showLine(rpt::Band &band, bool &printIt);
    void showSignatures(rpt::Band &band, bool &printIt);
    // Adds the header of a continued page at the band's top when the band
    // will not fit the page in progress; returns how far the band's own
    // elements must move down.
    double headerIfNewPage(rpt::Band &band, double height);
    void placed(double height);

    std::unique_ptr<Lines> m_lines;
    einvoice::Seller m_seller;
    bool m_passports = false;
    Separators m_separators;
    std::optional<QImage> m_logo;
    QImage m_flag;

    // Where the engine will put the next band: the same placement, run
    // alongside, so that a band that starts a new page can bring the header.
    std::unique_ptr<rpt::PagePlacer> m_placer;
    rpt::TextMeasure m_measure;
    int m_pagesFooted = 0;
};
