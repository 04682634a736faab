#pragma once

#include "amount.h"
#include "customerkind.h"
#include "deliverynote.h"
#include "invoice.h"
#include "money.h"

#include <QDate>
#include <QList>
#include <QString>

class Database;

// The month's invoice of a customer made from the delivery notes of that
// month (fattura differita, TD24): one invoice with every line of the notes,
// each line naming its note, and the notes marked invoiced with it.

// The month a text "YYYY-MM" names, as its first day. Throws ConversionError
// with a German message for anything else.
QDate deliveryMonthOf(const QString &text);
// "November 2026"
QString deliveryMonthName(const QDate &month);

// The last day a deferred invoice of the deliveries in `month` may carry: the
// 15th of the month after (DPR 633/1972 art. 21 c. 4 lett. a).
QDate latestDeferredInvoiceDate(const QDate &month);

// Refuses, with a German message (ConversionError), an invoice date after
// latestDeferredInvoiceDate and one before `lastDelivery` (the latest note's
// date): an invoice can neither come too late nor before the goods went.
void checkDeferredInvoiceDate(const QDate &month, const QDate &invoiceDate, const QDate &lastDelivery);

// The customer's delivery notes dated in `month` (any day of it) that are not
// invoiced yet, from that year's delivery tables, by date and then by number.
// None when the year has no delivery tables. Throws EngineError when the
// file cannot be read.
QList<DeliveryNoteRecord> notesToInvoice(Database &database, const Separators &separators, qint64 customerId,
                                         const QDate &month);

// What the note's lines add up to before VAT, as its invoice lines will: a
// line without price or quantity counts 0. Throws ConversionError naming the
// line when an amount cannot be read.
Money deliveryNoteNet(const DeliveryNoteRecord &record, const Separators &separators);

// The invoice lines of a note, in its order: description, quantity, price and
// rate as on the note, a missing price as 0, each with the note's number and
// date. A line at 0 % takes the reason the customer's kind gives a new line
// (defaultLineRate), none where that is not 0 %: the user picks it then.
QList<InvoiceLine> invoiceLinesOf(const DeliveryNoteRecord &record, CustomerKind kind);

struct DeferredInvoiceRequest
{
    qint64 customerId = 0;
    QDate month;  // any day of the month of the deliveries
    QDate date;   // the invoice's
    // The customer's VAT treatment, for the reason of lines at 0 %.
    CustomerKind kind = CustomerKind::ItalianBusiness;
    // Empty: the next invoice number of the invoice date's year.
    QString number = {};
    // The notes (by id) the user chose among notesToInvoice; empty: all of them.
    QList<qint64> noteIds = {};
};

// Makes the month's invoice: a header of kind DeferredInvoiceKind in the
// invoice date's year (its tables made when the file has none yet), dated
// as asked, without payment terms (the user's to fill in), with every line
// of the chosen notes in order; and marks those notes invoiced with its
// number. All in one transaction: nothing is stored when a note was invoiced
// or deleted by another program meanwhile (EngineError), when the date breaks
// the rule above, the number is taken or no note is left (ConversionError).
// Returns the invoice with the ids the file handed out.
Invoice makeDeferredInvoice(Database &database, const Separators &separators, const DeferredInvoiceRequest &request);
