#pragma once

#include "einvoice/invoicedata.h"

namespace einvoice {

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
// which is kept as it is for the user to see.
Buyer buyerFromCustomer(const QString &name, const QString &name2, const QString &piva, const QString &adresse);

} // namespace einvoice
