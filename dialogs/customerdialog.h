#pragma once

#include <QDialog>

class DBEdit;
class DBMemo;
class FlatButton;
class InvoiceData;
class QGroupBox;
class QLabel;

// The dialog in which a customer is added or changed. Its fields edit the
// current row of the shared customer set; it holds no data of its own.
class CustomerDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CustomerDialog(InvoiceData &data, QWidget *parent = nullptr);

    // The opener's two uses: heading and save caption, then shown modally.
    // Adding expects the new row to be appended already.
    void showAdding();
    void showChanging();

    void save();
    void closeDialog();

    QLabel *heading = nullptr;
    QGroupBox *salutationBox = nullptr;
    QGroupBox *nameBox = nullptr;
    QGroupBox *ownerBox = nullptr;
    QGroupBox *vatBox = nullptr;
    QGroupBox *addressBox = nullptr;
    DBEdit *salutation = nullptr;
    DBEdit *customerName = nullptr;
    DBEdit *ownerName = nullptr;
    DBEdit *vatNumber = nullptr;
    DBMemo *address = nullptr;
    FlatButton *saveButton = nullptr;
    FlatButton *closeButton = nullptr;

    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void showEvent(QShowEvent *e) override;

private:
    InvoiceData &m_data;
};
