#pragma once

#include "data/invoice.h"
#include "dialogs/fieldform.h"

#include <functional>

class QComboBox;
class QLabel;

// What "&Gutschrift zu dieser Rechnung ..." asks: the series and the number.
struct CreditNoteNumber
{
    QString prefix;
    QString number;
};

// "&Rechnung" -> "&Gutschrift zu dieser Rechnung ...": the number of the new
// credit note, the next of its series proposed; a changed series proposes
// its own next number. Stays open with the error box while saving refuses.
class CreditNoteDialog : public FieldForm<CreditNoteNumber>
{
public:
    explicit CreditNoteDialog(QWidget *parent = nullptr);

    // Shows the invoice credited and `proposal`; `nextOf` gives the next
    // number of a series. True when `save` stored the credit note.
    bool ask(const QString &invoice, const CreditNoteNumber &proposal, std::function<QString(const QString &prefix)> nextOf,
             Save save);

    QLabel *invoiceLabel = nullptr;
    QLineEdit *prefix = nullptr;
    QLineEdit *number = nullptr;

private:
    std::function<QString(const QString &)> m_nextOf;
};

// What "&Rechnung kopieren ..." asks: for whom, under which number.
struct InvoiceCopyChoice
{
    QString number;
    qint64 customerId = 0;
};

// "&Rechnung" -> "&Rechnung kopieren ...": the customer of the copy from a
// pick list and its number, the next invoice number proposed.
class CopyInvoiceDialog : public FieldForm<InvoiceCopyChoice>
{
public:
    explicit CopyInvoiceDialog(QWidget *parent = nullptr);

    // `customers` in the order to show them; the one of `proposal` chosen.
    bool ask(const QString &invoice, const QList<Customer> &customers, const InvoiceCopyChoice &proposal, Save save);

    void setValue(const InvoiceCopyChoice &choice) override;
    InvoiceCopyChoice value() const override;

    QLabel *invoiceLabel = nullptr;
    QComboBox *customer = nullptr;
    QLineEdit *number = nullptr;
};
