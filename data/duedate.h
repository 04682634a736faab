#pragma once

#include <QDate>
#include <QString>

// What an invoice's payment terms (the header's `bezahlung`, typed freely)
// say about when its money is due: the one reading for the due date the
// header keeps, the open items and the e-invoice.
struct PaymentTerms
{
    enum Kind {
        None,      // nothing typed
        Cash,      // "bezahlt", "Barzahlung", "Bar bei Lieferung": paid at once
        Days,      // "30 Tage", "60 gg", "30 giorni": due `days` after the invoice date
        Unknown,   // anything else: no due date follows from it
    };
    Kind kind = None;
    int days = 0;
};

// Reads the terms, blanks and case aside. Only what cannot be misread counts:
// "30 Tage", "innerhalb 30 Tagen", "30 Tage netto", "30 gg", "entro 30 giorni"
// give 30 days (at most 999, as the e-invoice allows); "bezahlt", "bar",
// "Barzahlung", "bar bezahlt", "Bar bei Lieferung", "pagato", "contanti" are
// cash.
PaymentTerms paymentTermsOf(const QString &bezahlung);

// The due date the terms give an invoice of `date`: the date itself for cash,
// `days` later for a number of days. Invalid when the terms name neither or
// the date is none.
QDate dueDateOf(const QDate &date, const PaymentTerms &terms);
// The same for a header's stored texts (datum dd.mm.yyyy); "" when none.
QString dueDateText(const QString &datum, const QString &bezahlung);

// The due date a header is stored with. `current` is its faellig as it is
// about to be stored, `stored` as the file holds it, `oldDatum`/`oldTerms`
// the date and terms the file holds, `datum`/`terms` those about to be stored.
// A due date the user typed himself stays; one that is empty, or still the
// one the old date and terms gave, follows the new ones. While the new date
// is no date, nothing can follow from it and `current` stays.
QString settledDueDate(const QString &current, const QString &stored, const QString &oldDatum, const QString &oldTerms,
                       const QString &datum, const QString &terms);
