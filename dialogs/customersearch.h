#pragma once

#include <QDialog>

class DBGrid;
class InvoiceData;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The customer searchText: narrows the shared customer set by part of the name
// and makes the chosen customer current in the whole list.
class CustomerSearch : public QDialog
{
    Q_OBJECT
public:
    explicit CustomerSearch(InvoiceData &data, QWidget *parent = nullptr);

    // The opener: an earlier searchText text is cleared (which re-runs the
    // searchText), then the dialog is shown modally.
    void showSearch();

    void runSearch();
    void chooseCustomer();
    void chooseFromList();

    DBGrid *resultList = nullptr;
    QLabel *heading = nullptr;
    QGroupBox *searchBox = nullptr;
    QLineEdit *searchText = nullptr;
    QPushButton *okButton = nullptr;

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
