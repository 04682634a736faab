#pragma once

#include "controls/controllink.h"
#include "data/totals.h"

#include <QDialog>
#include <functional>

class DBEdit;
class DBGrid;
class DBNavigator;
class DBText;
class FlatButton;
class InvoiceData;
struct Separators;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The invoice editor: the lines of the current invoice, its totals and the
// 10 % deduction, shown modally over the main window. It owns no data; its
// controls are bound to the main window's record sets.
class InvoiceEditor : public QDialog
{
    Q_OBJECT
public:
    explicit InvoiceEditor(InvoiceData &data, QWidget *parent = nullptr);
    // What "[ Vorschau ]" opens: the print preview of the current invoice.
    void setOnPreview(std::function<void()> preview) { m_preview = std::move(preview); }
    // What the e-invoice button runs: the current invoice as a FatturaPA file.
    void setOnEInvoice(std::function<void()> exportFile) { m_eInvoice = std::move(exportFile); }

    // The two openers of the invoice list. The double-click does nothing for
    // an invoice without a number and resets the totals texts; the menu does neither.
    void openFromList(QWidget *mainWindow);
    void openFromMenu(QWidget *mainWindow);
    // Lies over the main window: inset by 4 at the sides, from 55 below its top to 3 above its bottom.
    void placeOver(QWidget *mainWindow);

    void closeEditor();
    void computeTotals();
    void showPreview();
    void insertDeductionLine();

    // The last computed totals; only "[ Berechnen ]" reads or writes them.
    const InvoiceTotals &totals() const { return m_totals; }
    Money summe() const { return m_totals.net; }
    Money steuer() const { return m_totals.tax; }
    Money brutto() const { return m_totals.gross; }

    QGroupBox *customerBox = nullptr;
    QGroupBox *invoiceBox = nullptr;
    QGroupBox *deductionBox = nullptr;
    QGroupBox *totalsBox = nullptr;
    DBText *customerName = nullptr;
    DBText *invoiceNumber = nullptr;
    DBText *invoiceDate = nullptr;
    DBText *paymentTerms = nullptr;
    DBText *destination = nullptr;
    // When the invoice is due and when it was paid (dd.mm.yyyy); a year made
    // before these dates has them disabled.
    DBEdit *dueDate = nullptr;
    DBEdit *paidDate = nullptr;
    FlatButton *previewButton = nullptr;
    FlatButton *insertDeductionButton = nullptr;
    DBNavigator *lineNavigator = nullptr;
    DBGrid *lineGrid = nullptr;
    QLineEdit *grossAmount = nullptr;
    QPushButton *computeButton = nullptr;
    QLineEdit *netTotal = nullptr;
    QLineEdit *taxTotal = nullptr;
    QLineEdit *grossTotal = nullptr;
    QPushButton *closeButton = nullptr;
    QPushButton *eInvoiceButton = nullptr;

    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent *e) override;

private:
    // The grid shows a line's rate and nature only where its year's table
    // has the columns.
    void showRateColumns(bool shown);
    void enablePaymentDates();
    void followLines(Notification n, Field *field);
    // The user picked a line's rate: 0 asks for the reason where the line
    // has none, any other rate clears it.
    void rateChosen(Field *rate);

    InvoiceData &m_data;
    ControlLink m_lineWatch;
    bool m_rateColumnsShown = false;
    bool m_askingNature = false;
    std::function<void()> m_preview;
    std::function<void()> m_eInvoice;
    InvoiceTotals m_totals;
};

// The text the deduction tool writes as a unit price: two decimals, the
// data's decimal separator and no thousands separator, so that the line
// amount reads it back as the same value.
QString unitPriceText(long double netAmount, const Separators &separators);
