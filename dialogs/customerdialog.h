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

    void SpeedButton1Click();
    void SpeedButton2Click();

    QLabel *Label18 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    QGroupBox *GroupBox3 = nullptr;
    QGroupBox *GroupBox4 = nullptr;
    QGroupBox *GroupBox5 = nullptr;
    DBEdit *DBEdit2 = nullptr;
    DBEdit *DBEdit5 = nullptr;
    DBEdit *DBEdit6 = nullptr;
    DBEdit *DBEdit7 = nullptr;
    DBMemo *DBMemo1 = nullptr;
    FlatButton *SpeedButton1 = nullptr;
    FlatButton *SpeedButton2 = nullptr;

    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void showEvent(QShowEvent *e) override;

private:
    InvoiceData &m_data;
};
