#pragma once

#include "amount.h"
#include "invoicelist.h"
#include "money.h"

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

class Database;

// An invoice or credit note nobody has marked paid, as the open items list it.
struct OpenItem
{
    int year = 0;
    qint64 headerId = 0;
    qint64 customerId = 0;
    QString customerName;
    QString number;
    QString date;      // as stored, dd.mm.yyyy
    bool creditNote = false;
    // Negative for a credit note: it lowers what is owed. None when a line
    // cannot be computed; `problem` then says why.
    std::optional<Money> gross;
    QString problem;
    // The header's faellig, or where it has none the date its terms give;
    // invalid when neither says.
    QDate due;
    // Days since the due date; 0 while it has not passed, none without one.
    std::optional<int> daysOverdue;
    // The paid date as the file holds it (a null QString for NULL): marking
    // the item paid writes only over what was read.
    QString paidAsRead;

    bool isOverdue() const { return daysOverdue.value_or(0) > 0; }
};

struct OpenItems
{
    // Oldest due first; items without a due date by their invoice's date.
    QList<OpenItem> items;
    // What is owed: the invoices less the credit notes, of every item whose
    // amount could be computed.
    Money total;
};

// Whether a header counts as paid: it has a paid date, or its terms say it was
// paid in cash at once ("bar", "bezahlt").
bool isPaid(const InvoiceHeader &header);

// One invoice as the open items list shows it on `today`; none when it is paid.
std::optional<OpenItem> openItemOf(const InvoiceSummary &summary, const QDate &today);

// The open items among invoices already read, their days overdue counted up
// to `today`.
OpenItems openItemsOf(const QList<InvoiceSummary> &summaries, const QDate &today);

// The open items of every year in the file. Throws EngineError when the file
// cannot be read.
OpenItems openItems(Database &database, const Separators &separators, const QDate &today);

// Marks a header of `year` paid on `paidOn`, unless another program changed
// its paid date since it was read as `paidAsRead` (or deleted the header):
// then nothing is written and it throws EngineError saying so. Throws
// ConversionError for a year made before paid dates.
void markPaid(Database &database, int year, qint64 headerId, const QString &paidAsRead, const QDate &paidOn);

// Why no payment reminder can go out for an invoice on `today`: it is paid,
// a credit note, its amount cannot be computed, it has no due date or is not
// yet overdue. Empty when one can.
QString reminderRefusal(const InvoiceSummary &summary, const QDate &today);

// One invoice of a year with its totals, as summariesOfYear gives each.
// Throws like InvoiceRepository::loadById.
InvoiceSummary summaryOfInvoice(Database &database, int year, qint64 headerId, const Separators &separators);
