#pragma once

#include "data/invoice.h"
#include "einvoice/invoicedata.h"

#include <QDate>
#include <QList>
#include <QString>

// The checks on the business's and the customer's e-invoice data. Each throws
// ConversionError with a German message that names the field, so a dialog can
// show it as it is and store nothing.
namespace einvoice {

// The field names the messages use; a dialog labels its fields the same way.
namespace field {
inline const QString BusinessName = QStringLiteral("Firmenname");
inline const QString Owner = QStringLiteral("Inhaber");
inline const QString StreetAndNumber = QStringLiteral("Straße und Hausnummer");
inline const QString Street = QStringLiteral("Straße");
inline const QString HouseNumber = QStringLiteral("Hausnummer");
inline const QString Cap = QStringLiteral("PLZ (CAP)");
inline const QString Town = QStringLiteral("Ort (Comune)");
inline const QString Province = QStringLiteral("Provinz");
inline const QString Country = QStringLiteral("Land");
inline const QString VatCountry = QStringLiteral("Land der MwSt.-Nummer");
inline const QString VatNumber = QStringLiteral("MwSt.-Nummer (Partita IVA)");
inline const QString FiscalCode = QStringLiteral("Steuernummer (Codice fiscale)");
inline const QString TaxRegime = QStringLiteral("Steuerregime");
inline const QString Telephone = QStringLiteral("Telefon");
inline const QString Email = QStringLiteral("E-Mail");
inline const QString BankName = QStringLiteral("Bank");
inline const QString Iban = QStringLiteral("IBAN");
inline const QString Bic = QStringLiteral("BIC");
inline const QString PaymentLine = QStringLiteral("Zahlungszeile");
inline const QString TransmissionNumber = QStringLiteral("Übertragungsnummer");
inline const QString RegistrationNumber = QStringLiteral("Registriernummer (RUOP)");
inline const QString SiteCode = QStringLiteral("Standortcode");
inline const QString Name = QStringLiteral("Name");
inline const QString FirstName = QStringLiteral("Vorname");
inline const QString LastName = QStringLiteral("Nachname");
inline const QString RecipientCode = QStringLiteral("Empfängercode (Codice destinatario)");
inline const QString Pec = QStringLiteral("PEC-Adresse");
inline const QString Kind = QStringLiteral("Kundenart");
inline const QString Nr = QStringLiteral("Nr");
inline const QString Datum = QStringLiteral("Datum");
inline const QString Beschreibung = QStringLiteral("Beschreibung");
inline const QString Anzahl = QStringLiteral("Anzahl");
inline const QString Einzelpreis = QStringLiteral("Einzelpreis");
inline const QString ReferenceNumber = QStringLiteral("zu Rechnung Nr.");
inline const QString ReferenceDate = QStringLiteral("zu Rechnung vom");
inline const QString DeliveryNoteNumber = QStringLiteral("Lieferschein Nr.");
inline const QString DeliveryNoteDate = QStringLiteral("Lieferschein vom");
} // namespace field

// The tax regimes the schema knows, in the order of their codes. RF03 was
// withdrawn and is missing from the schema, so it is missing here too.
struct TaxRegime
{
    QString code;
    QString description;      // Italian, as the revenue agency words it
};
const QList<TaxRegime> &taxRegimes();

// A VAT number without its country code: for IT 11 digits whose last is the
// check digit of the others; for another EU member state the form that
// state gives its numbers (ATU12345678 -> "U12345678"); elsewhere 1 to 28
// letters and digits.
void checkVatNumber(const QString &label, const QString &country, const QString &number);
// 11 digits with the check digit of a VAT number (a business) or 16 capital
// letters and digits ending in their check letter (a person).
void checkFiscalCode(const QString &label, const QString &code);
// The check digit of an Italian VAT number: every second digit doubled (less
// 9 when that gives two digits), the sum of all eleven a multiple of 10.
bool hasValidCheckDigit(const QString &vatNumber);
// The check letter of a person's fiscal code, from the other fifteen
// characters by the tables of D.M. 23/12/1976.
bool hasValidCheckLetter(const QString &fiscalCode);
// One of the member states of the EU other than Italy; Greece as "EL" (its
// VAT numbers) or "GR" (its addresses).
bool isOtherEuMember(const QString &country);
void checkCap(const QString &label, const QString &cap);
void checkProvince(const QString &label, const QString &province);
// Two capital letters, for the address and the VAT number alike.
void checkCountry(const QString &label, const QString &country);
// The check digits by ISO 13616 (mod 97); blanks between groups are allowed.
void checkIban(const QString &label, const QString &iban);
void checkBic(const QString &label, const QString &bic);
void checkEmail(const QString &label, const QString &email);
// 1 to 5 characters [0-9A-Za-z], as the file name allows.
void checkTransmissionNumber(const QString &label, const QString &number);
void checkTaxRegime(const QString &label, const QString &code);
// The plant passport's registration number: the country's two capital
// letters, a hyphen and the rest ("IT-21-1234").
void checkRegistrationNumber(const QString &label, const QString &number);
// 7 capital letters or digits.
void checkRecipientCode(const QString &label, const QString &code);

// Every check on the business's data, in the order of the fields; the message
// starts with "Firmendaten: ". What the e-invoice needs must be filled in.
void checkSeller(const Seller &seller);
// The same but for the e-mail address, which the file does not hold: what
// an export needs.
void checkSellerForFile(const Seller &seller);
// Every check on the customer's data, by the customer's kind; the message
// starts with "Kunde: ".
void checkBuyer(const Buyer &buyer);

// The exchange system's own certified mail address ("sdi01@pec.fatturapa.it"):
// it delivers nothing sent to it.
bool isExchangeSystemPec(const QString &pec);

// The code a customer abroad is sent with: "XXXXXXX" (the exchange system
// delivers nothing, the customer gets the file from the seller), "2R4GTO8"
// for San Marino (its tax office passes it on); empty for a customer in
// Italy, whose own code counts.
QString foreignRecipientCode(CustomerKind kind);
// The code the file is written with.
QString recipientCodeOf(const Buyer &buyer);
// Anywhere but Italy: the address is written the foreign way.
bool isAbroad(CustomerKind kind);

// A deferred invoice (TD24) names the delivery notes its goods went with:
// one DatiDDT per note, in the order of its first line, with the numbers
// (NumeroLinea, 1, 2, 3 ...) of the lines delivered with it.
struct DeliveryNoteReference
{
    QString number;
    QDate date;
    QList<int> lineNumbers;
};
// The notes the lines name (lieferschein_nr, lieferschein_datum); a line
// without one (freight added by hand) names none. Refuses, with a German
// message naming the line, what the exchange system refuses of a TD24: no
// line naming a note, a note's number empty or longer than 20 characters, a
// note without its date, or dated after the invoice.
QList<DeliveryNoteReference> deliveryNoteReferences(const QList<InvoiceLine> &lines, const QDate &invoiceDate);

// The IBAN as the e-invoice writes it: no blanks, capital letters.
QString compactIban(const QString &iban);

// The transmission number for the file after this one: each run of digits and
// of letters counts on like an odometer ("00009" -> "00010", "A00Z9" ->
// "A01A0"). Throws when five characters are not enough any more.
QString followingTransmissionNumber(const QString &number);

} // namespace einvoice
