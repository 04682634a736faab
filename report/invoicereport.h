#pragma once

#include "framework/report/report.h"

#include <QWidget>

class InvoiceData;

// The window that holds the printed invoice's layout `QR`. It is never shown;
// a run draws its bands into pages for the preview and the printer.
class InvoiceReport : public QWidget
{
    Q_OBJECT
public:
    explicit InvoiceReport(InvoiceData &data, QWidget *parent = nullptr);
    ~InvoiceReport() override;

    // "&Rechnung" -> "&Drucken" and the editor's "[ Vorschau ]": while no run
    // is in progress, the running total starts at 0 and the preview opens;
    // returns when the preview window has been closed. During a run: nothing.
    void showPreview();
    // The invoice straight to the printer, with the progress window.
    void print();

    // The running values of the runs, kept between runs.
    struct RunningValues
    {
        double total;
        double tax;
        double gross;
    };
    static RunningValues runningValues();

    rpt::Report QR;

    rpt::Band *TitleBand1;
    rpt::Band *DetailBand1;
    rpt::Band *SummaryBand1;
    rpt::Band *PageFooterBand1;

    // TitleBand1
    rpt::RoundedRectangle *QRShape13;
    rpt::FixedText *lblRechnung;
    rpt::FixedText *QRLabel3;
    rpt::DataText *QRDBText3;
    rpt::DataText *QRDBText5;
    rpt::FixedText *QRLabel1;
    rpt::DataText *QRDBText1;
    rpt::FixedText *QRLabel4;
    rpt::DataText *QRDBText7;
    rpt::FixedText *QRLabel7;
    rpt::Picture *QRImage1;
    rpt::FixedText *QRLabel9;
    rpt::FixedText *QRLabel10;
    rpt::FixedText *QRLabel11;
    rpt::FixedText *QRLabel12;
    rpt::FixedText *QRLabel15;
    rpt::FixedText *QRLabel16;
    rpt::FixedText *QRLabel20;
    rpt::LineShape *QRShape7;
    rpt::FixedText *QRLabel22;
    rpt::FixedText *QRLabel23;
    rpt::FixedText *QRLabel24;
    rpt::DataText *QRDBText10;
    rpt::LineShape *QRShape8;
    rpt::LineShape *QRShape9;
    rpt::LineShape *QRShape10;
    rpt::LineShape *QRShape11;
    rpt::RoundedRectangle *QRShape12;
    rpt::DataText *QRDBText6;
    rpt::DataText *QRDBText4;
    rpt::FixedText *QRLabel5;
    rpt::DataText *QRDBText2;
    rpt::LineShape *QRShape14;
    rpt::LineShape *QRShape15;
    rpt::LineShape *QRShape16;
    rpt::LineShape *QRShape17;
    rpt::FixedText *QRLabel19;
    rpt::DataText *QRDBText13;

    // DetailBand1
    rpt::DataText *QRDBText11;
    rpt::DataText *QRDBText12;
    rpt::FixedText *Punktstrich;
    rpt::LineShape *QRShape3;
    rpt::LineShape *QRShape4;
    rpt::DataText *QRDBText8;
    rpt::DataText *QRDBText9;
    rpt::LineShape *QRShape5;
    rpt::LineShape *QRShape6;
    rpt::FixedText *QRLabel26;

    // SummaryBand1
    rpt::LineShape *QRShape1;
    rpt::FixedText *QRLabel2;
    rpt::FixedText *lblIva;
    rpt::FixedText *QRLabel6;
    rpt::FixedText *QRLabel13;
    rpt::FixedText *QRLabel14;
    rpt::LineShape *QRShape2;
    rpt::FixedText *lblTotale;
    rpt::FixedText *QRLabel17;
    rpt::FixedText *QRLabel18;
    rpt::FixedText *summeohne;
    rpt::FixedText *mwst;
    rpt::FixedText *gesamt;
    rpt::FixedText *QRLabel25;

    // PageFooterBand1
    rpt::FixedText *QRLabel8;

    // Hooks of the run.
    void QRBeforePrint(rpt::Report &report, bool &goAhead);
    void DetailBand1AfterPrint(rpt::Band &band, bool printed);
    void SummaryBand1BeforePrint(rpt::Band &band, bool &printIt);

private:
    InvoiceData &m_data;
};
