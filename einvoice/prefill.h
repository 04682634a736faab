#pragma once

#include "einvoice/invoicedata.h"

namespace einvoice {

// The customer's kind as the data suggests it, for the user to confirm: a
// VAT number of IT makes an Italian business; San Marino and the Vatican go
// by the country; another EU country's VAT number makes an EU business; in
// Italy a person (or a personal fiscal code without VAT number) is a private
// person; an EU country without VAT number a private person there; any
// other country is outside the EU.
CustomerKind guessedCustomerKind(const Buyer &buyer);

// The customer's e-invoice data as far as the customer's row tells it, for the
// user to correct and confirm the first time: the VAT number split into
// country and number ("IT01234567890" -> IT / 01234567890, digits alone ->
// IT; a personal fiscal code goes to the fiscal code), the address memo's
// last line that reads like "39100 Bozen (BZ)" (or "39100 Bozen") as CAP,
// town and province, and its first line as street and house number (the
// number being the last word when it starts with a digit) — or, when a line
// such as "z. Hd. Frau ..." comes first, the first line above the town that
// ends with a house number. The owner's name splits into first name and the
// rest. What fits no shape is left empty for the user, except a VAT number,
// which is kept as it is for the user to see. A VAT number of another
// country ("ATU12345678") gives the address's country too, and the town line
// may then have that country's postcode ("6020 Innsbruck", "A-6020
// Innsbruck"). The kind is guessedCustomerKind's, the recipient code the
// kind's own abroad.
Buyer buyerFromCustomer(const QString &name, const QString &name2, const QString &piva, const QString &adresse);

} // namespace einvoice
