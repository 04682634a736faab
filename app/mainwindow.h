#pragma once

#include "data/backup.h"
#include "data/database.h"
#include "data/invoice.h"

#include <QDate>
#include <QMainWindow>
#include <functional>
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
class BusinessDialog;
class BuyerDialog;
class CopyInvoiceDialog;
class CreditNoteDialog;
class InvoiceReport;
class InvoiceEditor;
class DeliveryNoteEditor;
class DeliveryNoteReport;
class CustomerDialog;
class CustomerSearch;
class DeferredInvoiceDialog;
class YearOverviewDialog;
class OpenItemsDialog;
class PassportReportDialog;
class ReminderLetter;
struct OpenItem;

// The main window: owns the connection and every shared record set, shows
// the current customer above and that customer's invoices of the chosen year
// below, and leads to every other window through its menu.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // Opens the database file, its numbers read and shown with the separators
    // it names, or with the user's `separators` when it names none; throws
    // AppError when it cannot.
    MainWindow(const QString &databaseFile, const Separators &separators, QWidget *parent = nullptr);
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
        DeliveryNoteEditor *deliveryNoteEditor = nullptr;
        DeliveryNoteReport *deliveryNoteReport = nullptr;
    };
    void setWindows(const Windows &w) { m_windows = w; }
    const Windows &windows() const { return m_windows; }

    // The data the windows bind to (owned by m_data).
    RecordSet &customers() { return m_data->customers; }
    RecordSet &invoiceHeaders() { return m_data->invoiceHeaders; }
    RecordSet &invoiceLines() { return m_data->invoiceLines; }
    RecordSet &lastInvoiceNumber() { return m_data->lastInvoiceNumber; }
    RecordSet &deliveryNotes() { return m_data->deliveryNotes; }
    RecordSet &deliveryLines() { return m_data->deliveryLines; }

    // Controls, by their names.
    QTabWidget *customerTabs = nullptr;
    QTabWidget *invoiceTabs = nullptr;
    QGroupBox *customerPanel = nullptr;
    QGroupBox *customerActions = nullptr;
    QGroupBox *searchBox = nullptr;
    DBEdit *customerName = nullptr;
    DBEdit *salutation = nullptr;
    DBEdit *ownerName = nullptr;
    DBEdit *vatNumber = nullptr;
    DBMemo *address = nullptr;
    DBNavigator *customerNavigator = nullptr;
    FlatButton *addCustomerButton = nullptr;
    FlatButton *searchButton = nullptr;
    FlatButton *changeCustomerButton = nullptr;
    FlatButton *deleteCustomerButton = nullptr;
    QLabel *invoiceHint = nullptr;
    // The open database's path, at the right end of the menu bar.
    QLabel *databasePath = nullptr;
    DBNavigator *invoiceNavigator = nullptr;
    QLabel *lastNumberLabel = nullptr;
    DBText *lastNumber = nullptr;
    FlatButton *lastNumberButton = nullptr;
    QLabel *chosenInvoiceLabel = nullptr;
    DBText *chosenInvoice = nullptr;
    DBGrid *invoiceList = nullptr;
    // The tab "Lieferscheine" beside the invoice list: the chosen customer's
    // delivery notes of the chosen year. A year without delivery tables has
    // it disabled, its tooltip and hint saying why.
    QWidget *deliveryNotesPage = nullptr;
    QLabel *deliveryNoteHint = nullptr;
    DBNavigator *deliveryNoteNavigator = nullptr;
    DBGrid *deliveryNoteList = nullptr;
    FlatButton *newDeliveryNoteButton = nullptr;
    FlatButton *editDeliveryNoteButton = nullptr;
    FlatButton *printDeliveryNoteButton = nullptr;
    FlatButton *deleteDeliveryNoteButton = nullptr;
    QAction *quitAction = nullptr;
    QAction *year2004Action = nullptr;
    QAction *year2003Action = nullptr;
    QAction *year2002Action = nullptr;
    QAction *newYearAction = nullptr; // "&Neues Jahr anlegen ..."
    // The menu item of a year (the classic ones are also year2004Action, year2003Action, year2002Action).
    QAction *yearAction(int year) const;
    QAction *editInvoiceAction = nullptr;
    QAction *printAction = nullptr;
    QAction *helpAction = nullptr;
    QAction *aboutAction = nullptr;

    // Handlers.
    void quit();
    void openEditorFromMenu();
    void printInvoice();
    void showHelp();
    void showAbout();
    void customerMoved();
    void addCustomer();
    void searchCustomers();
    void changeCustomer();
    void deleteCustomer();
    void showLastNumber();
    void openEditorFromList();
    // A new delivery note of the current customer (the next number, dated
    // today), stored and open in the editor.
    void newDeliveryNote();
    // The current delivery note in the editor (the button and a double-click).
    void editDeliveryNote();
    // The preview of the current delivery note as stored, once what is
    // pending is stored.
    void printDeliveryNote();
    // Deletes the current delivery note and its lines after asking; an
    // invoiced note is refused.
    void deleteDeliveryNote();
    // Asks for a year, makes its tables and changes to it.
    void addYear();
    // "&Datei" -> "&Firmendaten ...": edits and stores the business's data;
    // the letterhead follows at once.
    void editBusinessData();
    // "&Rechnung" -> "&Elektronische Rechnung (FatturaPA) ...": the current
    // invoice as a FatturaPA file in a folder the user picks.
    void exportEInvoice();
    // "&Rechnung" -> "&Gutschrift zu dieser Rechnung ..." and "&Rechnung
    // kopieren ...": a new document made from the current invoice in this
    // year's tables, which then is the current one, open in the editor.
    void makeCreditNote();
    void copyInvoice();
    // "&Rechnung" -> "&Offene Posten ...": every unpaid invoice of every year;
    // marks one paid, prints its reminder or opens it.
    void showOpenItems();
    // "&Rechnung" -> "&Zahlungserinnerung drucken ...": the reminder of the
    // current invoice, or a message why there is none.
    void printReminder();
    // The day open items are counted to: today, unless a test fixes one.
    void setFixedToday(const QDate &day)
    {
        m_fixedToday = day;
        m_data->setFixedToday(day);
    }
    // Prints with the business's stored letterhead (or the sample when the file holds none).
    void applyLetterhead();
    // A file whose tables are older than the program's is offered what they
    // lack once the window is shown; a file given the business's tables
    // opens their dialog at once.
    void offerSchemaUpgrade(const QDate &today);

    // "&Datei" -> "&Sicherung speichern ...": a checked copy of the database
    // in a file the user chooses.
    void saveBackup();
    // The first start of a day copies the database into "Sicherungen"
    // beside it, on a thread of its own, so the window does not wait; a
    // failure is one message and work goes on. Closing the window abandons
    // a copy still under way.
    void makeDailyBackup(const QDate &today);
    // Waits until the daily copy has ended (its message, if any, comes later
    // with the events).
    void waitForDailyBackup() { m_dailyBackup.wait(); }

    QAction *saveBackupAction = nullptr;
    QAction *businessDataAction = nullptr;
    QAction *eInvoiceAction = nullptr;
    QAction *creditNoteAction = nullptr;
    QAction *copyInvoiceAction = nullptr;
    CreditNoteDialog *creditNoteDialog = nullptr;
    CopyInvoiceDialog *copyInvoiceDialog = nullptr;
    QAction *openItemsAction = nullptr;
    QAction *reminderAction = nullptr;
    OpenItemsDialog *openItemsDialog = nullptr;
    BusinessDialog *businessDialog = nullptr;
    BuyerDialog *buyerDialog = nullptr;

    // "&Rechnung" -> "&Jahresübersicht ...": the revenue of a year the user
    // picks, per month and per customer, and its CSV for the accountant.
    void showYearOverview();
    QAction *yearOverviewAction = nullptr;
    YearOverviewDialog *yearOverviewDialog = nullptr;

    // "&Rechnung" -> "&Sammelrechnung aus Lieferscheinen ...": one invoice of
    // a customer's delivery notes of a month, which then is the current one,
    // open in the editor.
    void makeDeferredInvoice();
    QAction *deferredInvoiceAction = nullptr;
    DeferredInvoiceDialog *deferredInvoiceDialog = nullptr;
    // "&Rechnung" -> "&Pflanzenpass-Nachweis ...": which business customer
    // got plants of a species or a lot, from the delivery notes.
    void showPassportReport();
    QAction *passportReportAction = nullptr;
    PassportReportDialog *passportReportDialog = nullptr;

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    void buildMenu();
    void buildCustomerPanel(QWidget *page);
    void buildInvoiceList(QWidget *page);
    void buildDeliveryNoteList(QWidget *page);
    // The tab enabled where the year shows delivery notes, with why not where it does not.
    void showDeliveryNotesState();
    // Refuses when no delivery note is current.
    void requireDeliveryNote() const;
    void chooseYear(int year);
    // One item per year found, newest first, the chosen one checked.
    void fillYearMenu();
    void showChosenYear();
    // The current invoice's id, once what is pending is stored; refuses
    // when none is chosen.
    qint64 chosenInvoiceId();
    // Makes the tables of the year a new document goes into, after asking;
    // false when the user does not want them.
    bool offerYearOf(const QDate &today);
    // The new document current: its year, its customer, itself, in the editor.
    void showNewDocument(int year, const Invoice &document);
    void showInvoiceAgain(int year, const Invoice &invoice);
    QDate currentDay() const { return m_fixedToday.isValid() ? m_fixedToday : QDate::currentDate(); }
    void markItemPaid(const OpenItem &item, const QDate &paidOn);
    void printReminderFor(int year, qint64 headerId);
    // Makes the item's year, customer and invoice current and opens the editor.
    void openInvoiceOf(const OpenItem &item);
    // An invoice current in the main window (its year read again, its
    // customer among all should a search have left it out) and open in the
    // editor; `number` names it when it is gone.
    void openInvoice(int year, qint64 customerId, qint64 headerId, const QString &number);
    QDate m_fixedToday;
    std::unique_ptr<ReminderLetter> m_reminderLetter;
    QMenu *m_yearMenu = nullptr;
    QActionGroup *m_yearGroup = nullptr;

    std::unique_ptr<InvoiceData> m_data;
    backup::DailyCopyJob m_dailyBackup;
    Windows m_windows;
};
