#pragma once

#include <QString>

// What the invoice's payment terms (the header's `bezahlung`, typed freely)
// tell the e-invoice: when the money is due, or that it was paid in cash.
namespace einvoice {

struct PaymentTerms
{
    enum Kind {
        None,      // nothing typed
        Cash,      // "bezahlt", "Barzahlung", "Bar bei Lieferung"
        Days,      // "30 Tage", "60 gg", "30 giorni": due `days` after the invoice date
        Unknown,   // anything else: written without a due date, and said so
    };
    Kind kind = None;
    int days = 0;
};

// Reads the terms, blanks and case aside. Only what cannot be misread counts:
// "30 Tage", "innerhalb 30 Tagen", "30 Tage netto", "30 gg", "entro 30 giorni"
// give 30 days (at most 999, as the format allows); "bezahlt", "bar",
// "Barzahlung", "bar bezahlt", "Bar bei Lieferung", "pagato", "contanti" are
// cash.
PaymentTerms paymentTermsOf(const QString &bezahlung);

} // namespace einvoice
