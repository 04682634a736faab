#pragma once

#include "data/amount.h"
#include "data/deliverynote.h"
#include "data/invoice.h"

#include <QDate>
#include <QDialog>
#include <functional>

class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableWidget;

// What "&Sammelrechnung aus Lieferscheinen ..." asks: whose month, the
// invoice's date and the notes that go into it.
struct DeferredInvoiceChoice
{
    qint64 customerId = 0;
    QDate month; // its first day
    QDate date;
    QList<qint64> noteIds;
};

// "&Rechnung" -> "&Sammelrechnung aus Lieferscheinen ...": a customer and a
// month, the notes of it not yet invoiced (each chosen at first), and the
// invoice's date with the last day the law allows for it. The dialog holds
// no data of its own: the main window hands it how the notes are read and
// how the invoice is made; while making refuses, the dialog stays open with
// the error box and lists the notes again.
class DeferredInvoiceDialog : public QDialog
{
    Q_OBJECT
public:
    using Loader = std::function<QList<DeliveryNoteRecord>(qint64 customerId, const QDate &month)>;
    using Make = std::function<void(const DeferredInvoiceChoice &)>;

    explicit DeferredInvoiceDialog(QWidget *parent = nullptr);

    // `customers` in the order to show them, `current` chosen; the month
    // before `today`'s and `today` as the date proposed. True when `make`
    // made the invoice.
    bool ask(const QList<Customer> &customers, qint64 current, const QDate &today, const Separators &separators,
             Loader load, Make make);

    // Lists the notes of the customer and month chosen.
    void reload();
    DeferredInvoiceChoice choice() const;

    QComboBox *customer = nullptr;
    QDateEdit *month = nullptr;
    QDateEdit *invoiceDate = nullptr;
    QLabel *deadline = nullptr;
    QTableWidget *noteList = nullptr;
    QLabel *totalText = nullptr;
    QPushButton *okButton = nullptr;
    QPushButton *cancelButton = nullptr;

private:
    void showNotes(const QList<DeliveryNoteRecord> &notes);
    void choiceChanged();
    void makeInvoice();

    Loader m_load;
    Make m_make;
    Separators m_separators;
    QList<DeliveryNoteRecord> m_notes;
};
