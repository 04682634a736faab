#pragma once

// The business and the two customers the e-invoice is written for: valid by
// every check, check digits included (the numbers are made up), with every
// field filled that the program stores.

#include "einvoice/invoicedata.h"

namespace sample {

inline einvoice::Seller nursery()
{
    einvoice::Seller s;
    s.businessName = QStringLiteral("Gärtnerei Rosengarten");
    s.owner = QStringLiteral("Josef Gruber");
    s.street = QStringLiteral("Bozner Straße 12");
    s.cap = QStringLiteral("39100");
    s.town = QStringLiteral("Bozen");
    s.province = QStringLiteral("BZ");
    s.vatNumber = QStringLiteral("01234567897");
    s.fiscalCode = QStringLiteral("GRBJSF60A01A952B");
    s.telephone = QStringLiteral("0471 000000");
    s.email = QStringLiteral("info@rosengarten.it");
    s.bankName = QStringLiteral("Südtiroler Sparkasse");
    s.iban = QStringLiteral("IT60 X054 2811 1010 0000 0123 456");
    s.bic = QStringLiteral("CRBZIT2B107");
    s.paymentLine = QStringLiteral("Bank: Südtiroler Sparkasse, IBAN IT60 X054 2811 1010 0000 0123 456");
    s.nextTransmissionNumber = QStringLiteral("00041");
    return s;
}

// A company with its own recipient code. First and last name are the
// owner's, as the pre-fill takes them from the customer's second name line.
inline einvoice::Buyer company()
{
    einvoice::Buyer b;
    b.name = QStringLiteral("Vivai Bernardi S.n.c.");
    b.owner = QStringLiteral("Marco Bernardi");
    b.firstName = QStringLiteral("Marco");
    b.lastName = QStringLiteral("Bernardi");
    b.vatNumber = QStringLiteral("00000000208");
    b.recipientCode = QStringLiteral("M5UXCR1");
    b.street = QStringLiteral("Via delle Camelie");
    b.houseNumber = QStringLiteral("7");
    b.cap = QStringLiteral("39040");
    b.town = QStringLiteral("Auer");
    b.province = QStringLiteral("BZ");
    return b;
}

// A private person, reached through a PEC address.
inline einvoice::Buyer consumer()
{
    einvoice::Buyer b;
    b.name = QStringLiteral("Käthe Öhlinger");
    b.kind = CustomerKind::ItalianPerson;
    b.isPerson = true;
    b.firstName = QStringLiteral("Käthe");
    b.lastName = QStringLiteral("Öhlinger");
    b.fiscalCode = QStringLiteral("HLNKTH70E41A952K");
    b.pec = QStringLiteral("k.oehlinger@pec.it");
    b.street = QStringLiteral("Promenade");
    b.houseNumber = QStringLiteral("3/B");
    b.cap = QStringLiteral("39012");
    b.town = QStringLiteral("Meran");
    b.province = QStringLiteral("BZ");
    return b;
}

} // namespace sample
