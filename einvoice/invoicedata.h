#pragma once

#include "data/customerkind.h"

#include <QString>

// What an Italian electronic invoice (FatturaPA) is made from besides the
// invoice itself (data/invoice.h): the business's own data and the
// customer's. Plain values; where they are kept is the caller's business.
namespace einvoice {

// The business that issues the invoice (the "cedente/prestatore").
struct Seller
{
    QString businessName;
    QString owner;
    QString street;           // street and house number, one line
    QString cap;              // postcode, 5 digits
    QString town;             // Comune
    QString province;         // 2 capital letters
    QString country = QStringLiteral("IT");
    QString vatCountry = QStringLiteral("IT");
    QString vatNumber;        // without the country code
    QString fiscalCode;
    QString taxRegime = QStringLiteral("RF01");
    QString telephone;
    QString email;
    QString bankName;
    QString iban;             // spaces between the groups allowed
    QString bic;
    QString paymentLine;
    QString nextTransmissionNumber = QStringLiteral("00001");
    // The plant passport's B: the registration in the official register of
    // professional operators (RUOP), "IT-21-1234", and the site the plants
    // leave from. Empty while the business has none or the file has no place.
    QString registrationNumber;
    QString siteCode;
};

// The customer as the e-invoice needs it (the "cessionario/committente").
struct Buyer
{
    QString name;
    QString owner;
    // Decides the code the file is sent with, how the address is written
    // and the rate new lines start with (defaultLineRate).
    CustomerKind kind = CustomerKind::ItalianBusiness;
    // A consumer is named by first and last name instead of the business name.
    bool isPerson = false;
    QString firstName;
    QString lastName;
    QString vatCountry = QStringLiteral("IT");
    QString vatNumber;
    QString fiscalCode;
    // "0000000" reaches the customer through the PEC address or the revenue
    // agency's own mailbox, which is also what a consumer gets. A customer
    // abroad is sent with the code of the kind instead (recipientCodeOf).
    QString recipientCode = QStringLiteral("0000000");
    QString pec;
    QString street;
    QString houseNumber;
    QString cap;              // abroad the postcode as the country writes it ("6020")
    QString town;
    QString province;
    QString country = QStringLiteral("IT");
};

} // namespace einvoice
