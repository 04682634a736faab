#include "newdocumentdialogs.h"

#include <QComboBox>
#include <QLabel>

namespace {

// As long as a number the year's tables hold.
constexpr int LongestNumber = 50;

QLabel *invoiceLine(QWidget *parent, const char *name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

CreditNoteDialog::CreditNoteDialog(QWidget *parent)
    : FieldForm(QStringLiteral("gutschrift"), QStringLiteral("Gutschrift zu dieser Rechnung"), parent)
{
    invoiceLabel = invoiceLine(this, "gutschriftRechnung");
    addRow(QStringLiteral("Rechnung:"), invoiceLabel);
    prefix = addField("prefix", QStringLiteral("Nummernkreis"), &CreditNoteNumber::prefix, LongestNumber);
    number = addField("number", QStringLiteral("Nummer der Gutschrift"), &CreditNoteNumber::number, LongestNumber);
    finish();
    // Another series: its own next number, never one the year has.
    connect(prefix, &QLineEdit::textEdited, this, [this](const QString &typed) {
        if (m_nextOf)
            guarded([&] { number->setText(m_nextOf(typed)); });
    });
}

bool CreditNoteDialog::ask(const QString &invoice, const CreditNoteNumber &proposal,
                           std::function<QString(const QString &)> nextOf, Save save)
{
    invoiceLabel->setText(invoice);
    invoiceLabel->setAccessibleName(QStringLiteral("Rechnung: ") + invoice);
    m_nextOf = std::move(nextOf);
    number->setFocus();
    return edit(proposal, std::move(save));
}

CopyInvoiceDialog::CopyInvoiceDialog(QWidget *parent)
    : FieldForm(QStringLiteral("rechnungkopieren"), QStringLiteral("Rechnung kopieren"), parent)
{
    invoiceLabel = invoiceLine(this, "kopieRechnung");
    addRow(QStringLiteral("Vorlage:"), invoiceLabel);
    customer = new QComboBox(this);
    customer->setObjectName(QStringLiteral("customer"));
    customer->setAccessibleName(QStringLiteral("Kunde"));
    addRow(QStringLiteral("Kunde:"), customer);
    number = addField("number", QStringLiteral("Rechnungsnummer"), &InvoiceCopyChoice::number, LongestNumber);
    finish();
}

bool CopyInvoiceDialog::ask(const QString &invoice, const QList<Customer> &customers, const InvoiceCopyChoice &proposal,
                            Save save)
{
    invoiceLabel->setText(invoice);
    invoiceLabel->setAccessibleName(QStringLiteral("Vorlage: ") + invoice);
    customer->clear();
    for (const Customer &c : customers) {
        // Two customers of one name are told apart by their number.
        const QString shown = c.kundennr.trimmed().isEmpty() ? c.name : QStringLiteral("%1 (%2)").arg(c.name, c.kundennr.trimmed());
        customer->addItem(shown, c.id);
    }
    number->setFocus();
    return edit(proposal, std::move(save));
}

void CopyInvoiceDialog::setValue(const InvoiceCopyChoice &choice)
{
    FieldForm::setValue(choice);
    customer->setCurrentIndex(customer->findData(choice.customerId));
}

InvoiceCopyChoice CopyInvoiceDialog::value() const
{
    InvoiceCopyChoice choice = FieldForm::value();
    choice.customerId = customer->currentIndex() < 0 ? 0 : customer->currentData().toLongLong();
    return choice;
}
