#pragma once

#include <QDialog>
#include <functional>

class DBGrid;
class DBNavigator;
class DBText;
class FlatButton;
class InvoiceData;
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

    // The two openers of the invoice list. The double-click does nothing for
    // an invoice without a number and resets the totals texts; the menu does neither.
    void openFromList(QWidget *mainWindow);
    void openFromMenu(QWidget *mainWindow);
    // Lies over the main window: inset by 4 at the sides, from 55 below its top to 3 above its bottom.
    void placeOver(QWidget *mainWindow);

    void Button1Click();
    void Button2Click();
    void SpeedButton1Click();
    void SpeedButton3Click();

    // The last computed totals; only "[ Berechnen ]" reads or writes them.
    double summe() const { return m_net; }
    double steuer() const { return m_tax; }
    double brutto() const { return m_gross; }

    QGroupBox *GroupBox3 = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QGroupBox *GroupBox4 = nullptr;
    DBText *DBText1 = nullptr;
    DBText *DBText2 = nullptr;
    DBText *DBText3 = nullptr;
    DBText *DBText4 = nullptr;
    DBText *DBText5 = nullptr;
    FlatButton *SpeedButton1 = nullptr;
    FlatButton *SpeedButton3 = nullptr;
    DBNavigator *DBNavigator2 = nullptr;
    DBGrid *DBGrid2 = nullptr;
    QLineEdit *zahl = nullptr;
    QPushButton *Button2 = nullptr;
    QLineEdit *summeohne = nullptr;
    QLineEdit *mwst = nullptr;
    QLineEdit *gesamt = nullptr;
    QPushButton *Button1 = nullptr;

    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent *e) override;

private:
    InvoiceData &m_data;
    std::function<void()> m_preview;
    double m_net = 0;
    double m_tax = 0;
    double m_gross = 0;
};

// The text the deduction tool writes as a unit price: two decimals, the
// locale's decimal separator and no thousands separator, so that the line
// amount reads it back as the same value.
QString unitPriceText(long double netAmount);
