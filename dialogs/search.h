#pragma once

#include <QDialog>

class DBGrid;
class InvoiceData;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The customer search: narrows the shared customer set by part of the name
// and makes the chosen customer current in the whole list.
class Tformsuch : public QDialog
{
    Q_OBJECT
public:
    explicit Tformsuch(InvoiceData &data, QWidget *parent = nullptr);

    // The opener: an earlier search text is cleared (which re-runs the
    // search), then the dialog is shown modally.
    void showSearch();

    void searchChange();
    void Button1Click();
    void DBGrid2DblClick();

    DBGrid *DBGrid2 = nullptr;
    QLabel *Label18 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QLineEdit *search = nullptr;
    QPushButton *Button1 = nullptr;

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void showEvent(QShowEvent *e) override;

private:
    // Closing the customer set would discard a pending customer: it is
    // stored or dropped as a move would, first.
    void settleCustomers();

    InvoiceData &m_data;
};
