#pragma once

#include "data/database.h"

#include <QMainWindow>
#include <memory>

class DBEdit;
class DBGrid;
class DBMemo;
class DBNavigator;
class DBText;
class FlatButton;
class QAction;
class QActionGroup;
class QMenu;
class QGroupBox;
class QLabel;
class QTabWidget;

class AboutBox;
class InvoiceReport;
class InvoiceEditor;
class CustomerDialog;
class CustomerSearch;

// The main window: owns the connection and every shared record set, shows
// the current customer above and that customer's invoices of the chosen year
// below, and leads to every other window through its menu.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // Opens "rechungen.mdb" in the working directory; throws AppError when it cannot.
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    InvoiceData &data() { return *m_data; }

    // The other windows, created after this one and handed over here.
    struct Windows
    {
        AboutBox *about = nullptr;
        InvoiceReport *invoiceReport = nullptr;
        InvoiceEditor *invoiceEditor = nullptr;
        CustomerDialog *customerDialog = nullptr;
        CustomerSearch *customerSearch = nullptr;
    };
    void setWindows(const Windows &w) { m_windows = w; }
    const Windows &windows() const { return m_windows; }

    // The data the windows bind to (owned by m_data).
    RecordSet &customers() { return m_data->customers; }
    RecordSet &invoiceHeaders() { return m_data->invoiceHeaders; }
    RecordSet &invoiceLines() { return m_data->invoiceLines; }
    RecordSet &lastInvoiceNumber() { return m_data->lastInvoiceNumber; }

    // Controls, by their names.
    QTabWidget *PageControl1 = nullptr;
    QTabWidget *PageControl2 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QGroupBox *GroupBox3 = nullptr;
    QGroupBox *GroupBox4 = nullptr;
    DBEdit *DBEdit1 = nullptr;
    DBEdit *DBEdit2 = nullptr;
    DBEdit *DBEdit3 = nullptr;
    DBEdit *DBEdit4 = nullptr;
    DBMemo *DBMemo1 = nullptr;
    DBNavigator *DBNavigator1 = nullptr;
    FlatButton *SpeedButton1 = nullptr;
    FlatButton *SpeedButton2 = nullptr;
    FlatButton *SpeedButton3 = nullptr;
    FlatButton *SpeedButton4 = nullptr;
    QLabel *Label11 = nullptr;
    DBNavigator *DBNavigator3 = nullptr;
    QLabel *Label3 = nullptr;
    DBText *DBText1 = nullptr;
    FlatButton *SpeedButton5 = nullptr;
    QLabel *Label12 = nullptr;
    DBText *DBText6 = nullptr;
    DBGrid *DBGrid4 = nullptr;
    QAction *Beenden1 = nullptr;
    QAction *N20041 = nullptr;
    QAction *N20031 = nullptr;
    QAction *N20021 = nullptr;
    QAction *newYearAction = nullptr; // "&Neues Jahr anlegen ..."
    // The menu item of a year (the classic ones are also N20041, N20031, N20021).
    QAction *yearAction(int year) const;
    QAction *EditRechnung1 = nullptr;
    QAction *Drucken1 = nullptr;
    QAction *Hilfe1 = nullptr;
    QAction *About1 = nullptr;

    // Handlers.
    void Beenden1Click();
    void EditRechnung1Click();
    void Drucken1Click();
    void Hilfe1Click();
    void About1Click();
    void DBNavigator1Click();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void DBGrid4DblClick();
    // Asks for a year, makes its tables and changes to it.
    void addYear();

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    void buildMenu();
    void buildCustomerPanel(QWidget *page);
    void buildInvoiceList(QWidget *page);
    void chooseYear(int year);
    // One item per year found, newest first, the chosen one checked.
    void fillYearMenu();
    void showChosenYear();
    QMenu *m_yearMenu = nullptr;
    QActionGroup *m_yearGroup = nullptr;

    std::unique_ptr<InvoiceData> m_data;
    Windows m_windows;
};
