#pragma once

#include "vatrates.h"

#include <QString>

// A customer's VAT treatment: where the customer is and whether a business.
// It decides the rate new lines get and how the e-invoice names the customer.
enum class CustomerKind {
    ItalianBusiness,
    ItalianPerson,
    EuBusiness,      // with a valid VAT number of another member state
    EuPerson,
    OutsideEu,
    SanMarino,
    Vatican,
};

// As the column `kunde_efattura.kundenart` stores it: "it_firma",
// "it_privat", "eu_firma", "eu_privat", "drittland", "san_marino", "vatikan".
QString customerKindCode(CustomerKind kind);
// The kind a stored code names; ItalianBusiness for one not known.
CustomerKind customerKindOfCode(const QString &code, bool *known = nullptr);
// German, for a pick list.
QString customerKindName(CustomerKind kind);

// The rate a new invoice line of such a customer starts with: 0 % N3.2 for an
// EU business (intra-EU supply), N3.3 for San Marino, N3.1 outside the EU
// and into the Vatican;
// otherwise the standard 10 %.
VatRate defaultLineRate(CustomerKind kind);
