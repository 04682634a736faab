#pragma once

#include "data/amount.h"
#include "data/invoice.h"
#include "einvoice/invoicedata.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

// The Italian electronic invoice (FatturaPA 1.2, format FPR12) of one printed
// invoice, with the same three totals to the cent.
namespace einvoice {

struct FatturaPA
{
    // IT<seller's VAT number>_<transmission number>.xml
    QString fileName;
    QByteArray xml;           // UTF-8
    // The totals as the file gives them (net, VAT, gross), with a dot.
    QString net;
    QString tax;
    QString gross;
    // What the user should know about the file before sending it, in German:
    // payment terms it could not take over, for one.
    QStringList notes;
};

// Builds the file's content without validating it. Refuses, with a German
// message that says what to fill in or correct (ConversionError): an invoice
// without lines, a line without description, a customer without VAT number
// and fiscal code, a business without VAT number, any field the checks of
// checks.h refuse, a date not of the form dd.mm.yyyy, a text the format
// cannot hold (text.h), an amount too large for the format, a line whose unit
// price and quantity, cut to the format's 8 decimals, no longer give its
// amount within 0.01; and what the exchange system would refuse: a date
// after `today`, an invoice number without a digit, a file over 5 MB, a
// deferred invoice whose delivery notes deliveryNoteReferences refuses. Line
// amounts and totals are the printed invoice's (data/totals.h); the numbers in the lines are read with `separators`, the
// ones they were typed in. Of the invoice only its header and lines count:
// the customer is the buyer's business.
FatturaPA buildFatturaPA(const Seller &seller, const Buyer &buyer, const Invoice &invoice,
                         const QString &transmissionNumber, const Separators &separators,
                         const QDate &today = QDate::currentDate());

// buildFatturaPA, then the schema check of validation.h: what comes back may
// be written.
FatturaPA makeFatturaPA(const Seller &seller, const Buyer &buyer, const Invoice &invoice,
                        const QString &transmissionNumber, const QString &schemaFile, const Separators &separators,
                        const QDate &today = QDate::currentDate());

// Writes the file into the folder and returns its path. A file of that name
// is never replaced: it was made with the same transmission number, and the
// exchange system would take the second as a duplicate.
QString saveFatturaPA(const FatturaPA &invoice, const QString &folder);

} // namespace einvoice
